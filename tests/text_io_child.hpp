// Runs a test program as a child process with given standard input, working directory and
// environment, and collects its standard output, standard error and exit status.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace text_io_test {

struct ChildResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or 1000 + signal number
};

struct ChildOptions {
  std::string input;
  std::string cwd;                       // empty: the test's own
  std::vector<std::string> environment;  // NAME=VALUE entries added to the child's environment
  std::vector<std::string> unset;        // names removed from the child's environment
  bool merge_err = false;                // standard error into the same file (or pipe) as standard output
  bool closed_stdout = false;            // standard output a pipe whose reader has gone
  std::string input_file;                // read standard input from this file instead of `input`
  std::vector<int> closed;               // standard descriptors (0, 1, 2) closed before the start
  // A run still going after this long is killed: its status is then ChildGuard::kStillRunning and
  // its standard error says so, so that a test of a run that hangs fails instead of waiting.
  std::chrono::seconds deadline{120};
};

// Exit status, or 1000 + the signal that ended the process, from a waitpid status.
inline int decoded_status(int wstatus) {
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 1000 + WTERMSIG(wstatus);
}

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

inline void spill(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// A fresh temporary directory.
inline std::string temp_dir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                      "/text_io_test.XXXXXX";
  std::vector<char> buffer(templ.begin(), templ.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) std::abort();
  return buffer.data();
}

// In a forked child: the names removed from the environment and the NAME=VALUE entries added,
// then the program (argv[0] its path) in place of the child; never returns.
[[noreturn]] inline void exec_child(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                                    const std::vector<std::string>& unset = {}) {
  for (const std::string& name : unset) unsetenv(name.c_str());
  for (const std::string& entry : environment) {
    const auto eq = entry.find('=');
    setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
  }
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// A child process that a test started and owns: whatever way the test leaves (a failed assertion
// included), the child is killed and reaped when the guard goes, so that no test leaves a run
// behind, waiting for a signal that never comes or writing for ever. Signals go through the
// guard, which never sends one once the child has been reaped (its number may then belong to
// another process) or when it was never started.
class ChildGuard {
 public:
  static constexpr int kStillRunning = -2;

  explicit ChildGuard(pid_t pid) : pid_(pid), running_(pid > 0) {}
  ~ChildGuard() {
    if (!running_) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  ChildGuard(const ChildGuard&) = delete;
  ChildGuard& operator=(const ChildGuard&) = delete;

  // Sends a signal to the child while it has not been reaped; returns whether it was sent.
  bool signal(int sig) { return running_ && ::kill(pid_, sig) == 0; }

  // Waits at most `limit` for the child to end. Returns its exit status or 1000 + the signal
  // that ended it, or kStillRunning when it is still running then (the guard kills it later).
  int wait(std::chrono::milliseconds limit) {
    if (!running_) return status_;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    useconds_t pause = 50;
    for (;;) {
      int wstatus = 0;
      const pid_t done = ::waitpid(pid_, &wstatus, WNOHANG);
      if (done == pid_) {
        running_ = false;
        status_ = decoded_status(wstatus);
        return status_;
      }
      if (done < 0 && errno != EINTR) return kStillRunning;
      if (std::chrono::steady_clock::now() >= deadline) return kStillRunning;
      // Short runs are seen ending at once, long ones polled every 5 ms.
      ::usleep(pause);
      pause = std::min(2 * pause, 5000u);
    }
  }

 private:
  const pid_t pid_;
  bool running_;  // started and not yet reaped
  int status_ = kStillRunning;
};

inline std::string driver_path() { return std::string(SGL_DRIVER_DIR) + "/text_io_driver"; }

inline ChildResult run_child(const std::vector<std::string>& args, const ChildOptions& options = {}) {
  const std::string dir = temp_dir();
  const std::string in_path = dir + "/stdin", out_path = dir + "/stdout", err_path = dir + "/stderr";
  spill(in_path, options.input);
  int pipe_fds[2] = {-1, -1};
  if (options.closed_stdout && pipe(pipe_fds) != 0) std::abort();
  const pid_t pid = fork();
  if (pid == 0) {
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(127);
    const int in = open(options.input_file.empty() ? in_path.c_str() : options.input_file.c_str(), O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = options.merge_err ? out : open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    if (options.closed_stdout) {
      close(pipe_fds[0]);
      dup2(pipe_fds[1], 1);
    } else {
      dup2(out, 1);
    }
    dup2(options.merge_err && options.closed_stdout ? pipe_fds[1] : err, 2);
    // Only the standard descriptors remain, so that a closed one is the lowest free number.
    for (int fd : {in, out, err}) {
      if (fd > 2) close(fd);
    }
    for (int fd : options.closed) close(fd);
    exec_child(args, options.environment, options.unset);
  }
  if (options.closed_stdout) {
    close(pipe_fds[0]);
    close(pipe_fds[1]);
  }
  ChildResult result;
  {
    ChildGuard child(pid);
    result.status = child.wait(options.deadline);
  }  // a child past its deadline is killed and reaped here
  result.out = slurp(out_path);
  result.err = options.merge_err ? "" : slurp(err_path);
  if (result.status == ChildGuard::kStillRunning) {
    result.err += "\n[killed: still running after " + std::to_string(options.deadline.count()) + " s]\n";
  }
  std::system(("rm -rf '" + dir + "'").c_str());
  return result;
}

// Starts a program (argv[0] its path) in the working directory dir with its standard input from
// the file input (none: the test's own) and its standard output on out_fd, the environment
// entries NAME=VALUE added, and returns at once with its process id.
inline pid_t start_child(const std::vector<std::string>& args, const std::string& dir, const std::string& input,
                         int out_fd, const std::vector<std::string>& environment = {}) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    if (!input.empty()) dup2(open(input.c_str(), O_RDONLY), 0);
    dup2(out_fd, 1);
    exec_child(args, environment);
  }
  return pid;
}

inline ChildResult run_driver(const std::vector<std::string>& args, const ChildOptions& options = {}) {
  std::vector<std::string> full{driver_path()};
  full.insert(full.end(), args.begin(), args.end());
  return run_child(full, options);
}

}  // namespace text_io_test
