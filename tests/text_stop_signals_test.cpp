// A run stopped from outside (Ctrl-C, kill, a closed terminal) keeps every complete line it had
// produced: the pending output of standard output and of the files goes out before the signal
// ends the run, as it would have ended it without the layer.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "text_io_child.hpp"

namespace {

using text_io_test::slurp;
using text_io_test::spill;

// The driver in a fresh working directory, standard output on `out_fd`; `ignored` is set to be
// ignored before the driver starts (the setting passes to it), as nohup or a background job
// leaves SIGHUP or SIGINT.
pid_t start_driver(const std::vector<std::string>& args, const std::string& dir, int out_fd, int ignored = 0) {
  std::vector<std::string> full{text_io_test::driver_path()};
  full.insert(full.end(), args.begin(), args.end());
  struct sigaction before {};
  if (ignored != 0) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(ignored, &ignore, &before);
  }
  const pid_t pid = text_io_test::start_child(full, dir, "", out_fd);
  if (ignored != 0) ::sigaction(ignored, &before, nullptr);
  return pid;
}

// Waits up to 20 s for the file to appear.
bool appears(const std::string& path) {
  for (int k = 0; k < 2000; ++k) {
    if (std::filesystem::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// Exit status, or 1000 + the signal that ended the process.
int wait_for(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

// Three lines on standard output and two in a log that held more before: held back in their
// buffers until the signal, then written, the log cut after its last line and its open line left
// out; the signal still ends the run.
TEST(TextStopSignals, PendingLinesAreWrittenBeforeTheSignalEndsTheRun) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    const std::string dir = text_io_test::temp_dir();
    spill(dir + "/run.log", "an older log, longer than what this run writes\nsecond old line\n");
    const int out = ::open((dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t pid = start_driver({"stopped", "run.log"}, dir, out);
    ::close(out);
    ASSERT_TRUE(appears(dir + "/ready"));
    // Nothing has gone out yet: the lines wait for a full block.
    EXPECT_EQ(slurp(dir + "/stdout"), "");
    ::kill(pid, sig);
    EXPECT_EQ(wait_for(pid), 1000 + sig);
    EXPECT_EQ(slurp(dir + "/stdout"), "out 1\nout 2\nout 3\n");
    EXPECT_EQ(slurp(dir + "/run.log"), "log 1\nlog 2\n");
    std::filesystem::remove_all(dir);
  }
}

// A signal that the run's parent ignores stays ignored; the next one that is not stops the run.
TEST(TextStopSignals, AnIgnoredSignalStaysIgnored) {
  const std::string dir = text_io_test::temp_dir();
  const int out = ::open((dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const pid_t pid = start_driver({"stopped", "run.log"}, dir, out, SIGHUP);
  ::close(out);
  ASSERT_TRUE(appears(dir + "/ready"));
  ::kill(pid, SIGHUP);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int status = 0;
  EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the run ended on an ignored SIGHUP";
  EXPECT_EQ(slurp(dir + "/stdout"), "");
  ::kill(pid, SIGTERM);
  EXPECT_EQ(wait_for(pid), 1000 + SIGTERM);
  EXPECT_EQ(slurp(dir + "/stdout"), "out 1\nout 2\nout 3\n");
  std::filesystem::remove_all(dir);
}

// The signal arrives while a block is being written to a pipe that nobody reads (the writer
// waits in the middle of the write): the block is finished when the pipe drains, then the rest
// of the complete lines follow, each line once and none lost, and the signal ends the run.
TEST(TextStopSignals, ASignalDuringAWriteWaitsForItToEnd) {
  const std::string dir = text_io_test::temp_dir();
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t pid = start_driver({"flood"}, dir, fds[1]);
  ::close(fds[1]);
  std::string seen;
  char buffer[65536];
  auto read_some = [&](int wait_ms) {
    pollfd p{fds[0], POLLIN, 0};
    if (::poll(&p, 1, wait_ms) <= 0) return false;
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n <= 0) return false;
    seen.append(buffer, static_cast<std::size_t>(n));
    return true;
  };
  while (seen.size() < 200000)
    if (!read_some(20000)) break;
  // The pipe fills and the driver stops inside its write.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(pid, SIGTERM);
  while (read_some(20000)) {
  }
  ::close(fds[0]);
  EXPECT_EQ(wait_for(pid), 1000 + SIGTERM);
  ASSERT_GT(seen.size(), 200000u);
  ASSERT_EQ(seen.back(), '\n');
  // "line" and a number in nine columns: consecutive numbers from 1, every line whole.
  const std::size_t lines = seen.size() / 14;
  ASSERT_EQ(seen.size(), lines * 14);
  for (std::size_t k = 0; k < lines; ++k) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "line%9zu\n", k + 1);
    ASSERT_EQ(seen.compare(k * 14, 14, expected), 0) << "line " << k + 1;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
