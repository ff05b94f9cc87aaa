// Runs phases of a duopath run object in a child process whose standard input is the given text
// and whose working directory is fresh; the child hands a description of the run state back
// through a file, beside its standard output and exit status.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "duopath/run.hpp"
#include "tests/text_io_child.hpp"

namespace duopath_test {

struct PhaseRun {
  std::string out;    // standard output
  std::string state;  // what the child described
  int status = -1;    // exit status
};

// The child runs start-up, crystal input and keywords, then `rest`, which returns the state
// description; a stop inside `rest` leaves the state empty.
inline PhaseRun run_phases(const std::string& input, const std::function<std::string(duopath::Run&)>& rest) {
  const std::string dir = text_io_test::temp_dir();
  text_io_test::spill(dir + "/stdin", input);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(2);
    const int in = open("stdin", O_RDONLY);
    const int out = open("stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    setenv("XTALDIR", SGL_DATA_DIR, 1);
    duopath::Run run;
    run.start_up();
    run.read_crystals();
    run.read_keywords();
    const std::string state = rest(run);
    text_io_test::spill("state", state);
    sgl::flush(6);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  PhaseRun result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = text_io_test::slurp(dir + "/stdout");
  if (result.status == 0) result.state = text_io_test::slurp(dir + "/state");
  std::system(("rm -rf '" + dir + "'").c_str());
  return result;
}

// Preparation, short vectors and rotations, as a whole run does them before its search (crystals
// whose compositions differ stop the run in the preparation).
inline bool prepare(duopath::Run& run) {
  run.prepare_crystals();
  run.short_vectors();
  run.prepare_rotations();
  return true;
}

}  // namespace duopath_test
