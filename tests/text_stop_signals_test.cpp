// A run ended from outside (Ctrl-C, kill, a closed terminal, the CPU-time limit or the alarm of a
// batch system) keeps every complete line it had produced: the pending output of standard output
// and of the files goes out before the signal ends the run, as it would have ended it without
// the layer.
//
// Every wait here has a deadline and every read loop a byte limit, and each driver is owned by a
// guard that kills and reaps it: a broken stop makes these tests fail in seconds, never hang or
// fill the memory, and leaves no driver running.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "text_io_child.hpp"

namespace {

using namespace std::chrono_literals;
using text_io_test::ChildGuard;
using text_io_test::slurp;
using text_io_test::spill;

// How long a driver may take to end once its signal is sent; it needs milliseconds.
constexpr auto kEndLimit = 10s;

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
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::filesystem::exists(path)) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

std::string signal_name(int sig) {
  const char* name = strsignal(sig);
  return std::to_string(sig) + " " + (name != nullptr ? name : "?");
}

// Whole lines "line" and a number in nine columns, consecutive from 1 (the layout of the drivers
// "flood" and "cpu_limited"). Returns an empty text, or what is wrong.
std::string numbered_lines_fault(const std::string& text) {
  if (text.empty()) return "no lines";
  if (text.back() != '\n') return "the last line is cut";
  if (text.size() % 14 != 0) return "a line is cut";
  for (std::size_t k = 0; k < text.size() / 14; ++k) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "line%9zu\n", k + 1);
    if (text.compare(k * 14, 14, expected) != 0) return "line " + std::to_string(k + 1) + " differs";
  }
  return "";
}

// Three lines on standard output and two in a log that held more before: held back in their
// buffers until the signal, then written, the log cut after its last line and its open line left
// out; the signal still ends the run. Every signal whose default action ends a process and that
// can be caught.
TEST(TextStopSignals, PendingLinesAreWrittenBeforeTheSignalEndsTheRun) {
  std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT, SIGILL,    SIGTRAP, SIGABRT, SIGUSR1,
                              SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,   SIGXCPU, SIGXFSZ, SIGVTALRM,
                              SIGPROF, SIGIO,   SIGSYS,  SIGSTKFLT, SIGPWR,  SIGRTMIN, SIGRTMAX};
#ifndef SGL_SANITIZE_BUILD
  // The sanitizers keep these for their own reports.
  signals.insert(signals.end(), {SIGSEGV, SIGBUS, SIGFPE});
#endif
  for (int sig : signals) {
    SCOPED_TRACE(signal_name(sig));
    const std::string dir = text_io_test::temp_dir();
    spill(dir + "/run.log", "an older log, longer than what this run writes\nsecond old line\n");
    const int out = ::open((dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ChildGuard driver(start_driver({"stopped", "run.log"}, dir, out));
    ::close(out);
    ASSERT_TRUE(appears(dir + "/ready"));
    // Nothing has gone out yet: the lines wait for a full block.
    EXPECT_EQ(slurp(dir + "/stdout"), "");
    driver.signal(sig);
    // A run that does not end fails the test at once: the next signals would wait as long.
    ASSERT_EQ(driver.wait(kEndLimit), 1000 + sig);
    EXPECT_EQ(slurp(dir + "/stdout"), "out 1\nout 2\nout 3\n");
    EXPECT_EQ(slurp(dir + "/run.log"), "log 1\nlog 2\n");
    std::filesystem::remove_all(dir);
  }
}

// A signal that the run's parent ignores stays ignored; the next one that is not stops the run.
TEST(TextStopSignals, AnIgnoredSignalStaysIgnored) {
  for (int sig : {SIGHUP, SIGUSR1}) {
    SCOPED_TRACE(signal_name(sig));
    const std::string dir = text_io_test::temp_dir();
    const int out = ::open((dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ChildGuard driver(start_driver({"stopped", "run.log"}, dir, out, sig));
    ::close(out);
    ASSERT_TRUE(appears(dir + "/ready"));
    driver.signal(sig);
    EXPECT_EQ(driver.wait(200ms), ChildGuard::kStillRunning) << "the run ended on an ignored signal";
    EXPECT_EQ(slurp(dir + "/stdout"), "");
    driver.signal(SIGTERM);
    EXPECT_EQ(driver.wait(kEndLimit), 1000 + SIGTERM);
    EXPECT_EQ(slurp(dir + "/stdout"), "out 1\nout 2\nout 3\n");
    std::filesystem::remove_all(dir);
  }
}

// The signal arrives while a block is being written to a pipe that nobody reads (the writer
// waits in the middle of the write): the block is finished when the pipe drains, then the rest
// of the complete lines follow, each line once and none lost, and the signal ends the run.
TEST(TextStopSignals, ASignalDuringAWriteWaitsForItToEnd) {
  for (int sig : {SIGTERM, SIGUSR1}) {
    SCOPED_TRACE(signal_name(sig));
    const std::string dir = text_io_test::temp_dir();
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ChildGuard driver(start_driver({"flood"}, dir, fds[1]));
    ::close(fds[1]);
    std::string seen;
    char buffer[65536];
    // Reads what the pipe holds, waiting up to a second; false at the end of the output, or when
    // the deadline has passed or more than `limit` bytes have come.
    auto read_some = [&](std::chrono::steady_clock::time_point deadline, std::size_t limit) {
      if (std::chrono::steady_clock::now() >= deadline || seen.size() > limit) return false;
      pollfd p{fds[0], POLLIN, 0};
      if (::poll(&p, 1, 1000) < 0) return false;
      if ((p.revents & (POLLIN | POLLHUP)) == 0) return true;  // nothing yet: ask again
      const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
      if (n <= 0) return false;
      seen.append(buffer, static_cast<std::size_t>(n));
      return true;
    };
    const auto start_deadline = std::chrono::steady_clock::now() + 20s;
    while (seen.size() < 200000 && read_some(start_deadline, 200000)) {
    }
    ASSERT_GE(seen.size(), 200000u) << "the driver did not write its lines";
    // The pipe fills and the driver stops inside its write.
    std::this_thread::sleep_for(300ms);
    driver.signal(sig);
    // After the signal only the pipe's contents, the block being written and the complete lines
    // pending behind it may come: far less than a megabyte. A run that goes on writing is cut
    // off at that limit.
    const std::size_t at_signal = seen.size();
    const std::size_t limit = at_signal + (std::size_t{1} << 20);
    const auto end_deadline = std::chrono::steady_clock::now() + kEndLimit;
    while (read_some(end_deadline, limit)) {
    }
    ::close(fds[0]);
    ASSERT_LE(seen.size(), limit) << "the run went on writing after the signal";
    EXPECT_EQ(driver.wait(kEndLimit), 1000 + sig);
    EXPECT_EQ(numbered_lines_fault(seen), "");
    std::filesystem::remove_all(dir);
  }
}

// A real CPU-time limit (setrlimit in the driver, as `ulimit -t` sets it): SIGXCPU comes at an
// unforeseen moment of a run that computes and writes, and both the report and the log still end
// on a whole line, every line before it there once.
TEST(TextStopSignals, ACpuTimeLimitEndsTheRunOnAWholeLine) {
  const std::string dir = text_io_test::temp_dir();
  const int out = ::open((dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ChildGuard driver(start_driver({"cpu_limited", "run.log"}, dir, out));
  ::close(out);
  // One second of CPU time; the wall time may be longer on a busy machine.
  ASSERT_EQ(driver.wait(60s), 1000 + SIGXCPU);
  EXPECT_EQ(numbered_lines_fault(slurp(dir + "/stdout")), "");
  EXPECT_EQ(numbered_lines_fault(slurp(dir + "/run.log")), "");
  std::filesystem::remove_all(dir);
}

}  // namespace
