// Runs the built duopath as a child process in a fresh working directory, with XTALDIR at the
// committed data tables unless the case says otherwise.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/text_io_child.hpp"

namespace duopath_test {

struct DuopathRun {
  std::string out, err, log, for020;
  int status = -1;
  bool log_exists = false;
};

struct DuopathOptions {
  std::vector<std::string> environment{std::string("XTALDIR=") + SGL_DATA_DIR};
  std::vector<std::string> unset;
  bool read_only_directory = false;  // a working directory where no file can be created
  bool log_is_directory = false;     // a directory named duopath.log in the working directory
  std::string input_file;            // standard input from this file instead of the input text
  std::vector<int> closed;           // standard descriptors closed at the start
  // Memory the run may take, in MiB (0: no limit): its address space, or, in the sanitizer build
  // (whose shadow memory needs a vast address space), the largest single allocation.
  int memory_limit_mb = 0;
};

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

inline DuopathRun run_duopath(const std::string& input, const DuopathOptions& options = {}) {
  const std::string dir = text_io_test::temp_dir();
  text_io_test::ChildOptions child;
  child.input = input;
  child.cwd = dir;
  if (options.read_only_directory) {
    // Permission bits do not hold back the superuser; /proc takes no new files from anyone.
    if (geteuid() == 0) {
      child.cwd = "/proc";
    } else {
      chmod(dir.c_str(), 0555);
    }
  }
  if (options.log_is_directory) mkdir((dir + "/duopath.log").c_str(), 0755);
  child.input_file = options.input_file;
  child.closed = options.closed;
  child.environment = options.environment;
  child.unset = options.unset;
  std::vector<std::string> command{std::string(SGL_BIN_DIR) + "/duopath"};
  if (options.memory_limit_mb > 0) {
    const std::string mb = std::to_string(options.memory_limit_mb);
    if (kAddressSanitizer) {
      child.environment.push_back("ASAN_OPTIONS=max_allocation_size_mb=" + mb + ":allocator_may_return_null=0");
    } else {
      command = {"/bin/sh", "-c", "ulimit -v " + std::to_string(options.memory_limit_mb * 1024) + " && exec \"$0\"",
                 command[0]};
    }
  }
  const text_io_test::ChildResult r = text_io_test::run_child(command, child);
  DuopathRun result;
  result.out = r.out;
  result.err = r.err;
  result.status = r.status;
  struct stat st {};
  result.log_exists = stat((dir + "/duopath.log").c_str(), &st) == 0;
  if (result.log_exists) result.log = text_io_test::slurp(dir + "/duopath.log");
  if (stat((dir + "/FOR020.DAT").c_str(), &st) == 0) result.for020 = text_io_test::slurp(dir + "/FOR020.DAT");
  chmod(dir.c_str(), 0755);
  std::system(("rm -rf '" + dir + "'").c_str());
  return result;
}

}  // namespace duopath_test
