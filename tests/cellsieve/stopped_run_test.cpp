// A long cellsieve run (copper in a 2x2x2 supercell, every subgroup fitted: some 8 MB of report)
// stopped part-way through its report, on purpose with SIGTERM or by a CPU-time limit of one
// second (`ulimit -S -t 1`, SIGXCPU, as a batch system ends a job): the report and the log that
// it leaves end on a line end and hold exactly what an uninterrupted run writes up to there.
//
// Every wait has a deadline and every child a guard that kills and reaps it, so that a run that
// does not stop fails the test instead of hanging it or outliving it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/table_files.hpp"
#include "tests/text_io_child.hpp"

namespace {

using namespace std::chrono_literals;
using sgl::testing::slurp;
using text_io_test::ChildGuard;

// Starts cellsieve in dir with the copper input on standard input and standard output on out_fd,
// through the shell command `prefix` when it is not empty.
pid_t start_cellsieve(const std::filesystem::path& dir, int out_fd, const std::string& prefix = "") {
  const std::string program = std::string(SGL_BIN_DIR) + "/cellsieve";
  std::vector<std::string> args{program};
  // "$0" is the program: the shell sets the limit for itself and then becomes cellsieve.
  if (!prefix.empty()) args = {"/bin/sh", "-c", prefix + " && exec \"$0\"", program};
  return text_io_test::start_child(args, dir.string(),
                                   std::string(SGL_SOURCE_DIR) + "/tests/cellsieve/data/cu_2x2x2.in", out_fd,
                                   {std::string("XTALDIR=") + SGL_DATA_DIR});
}

// Waits up to a minute for the file to hold at least `size` bytes.
bool grows_to(const std::filesystem::path& file, std::uintmax_t size) {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code ec;
    if (std::filesystem::file_size(file, ec) >= size && !ec) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

struct Stop {
  const char* what;
  int sig;             // the signal that ends the run
  const char* prefix;  // shell command run before cellsieve ("": none, and the test sends sig)
};

TEST(StoppedRun, AReportStoppedPartWayEndsOnAWholeLine) {
  const Stop stops[] = {
      {"SIGTERM from outside", SIGTERM, ""},
      {"CPU-time limit", SIGXCPU, "ulimit -S -t 1"},
  };
  for (const Stop& stop : stops) {
    SCOPED_TRACE(stop.what);
    sgl::testing::TempDir stopped, whole;
    // The run to stop: its report goes to a file, block by block.
    const int out = ::open((stopped.path() / "report").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ChildGuard run(start_cellsieve(stopped.path(), out, stop.prefix));
    ::close(out);
    if (*stop.prefix == '\0') {
      // Once a few blocks are there it is in the middle of its report, with more lines pending.
      ASSERT_TRUE(grows_to(stopped.path() / "report", 40000));
      run.signal(stop.sig);
    }
    // The whole run takes some seconds of CPU time; the limit ends it after one.
    ASSERT_EQ(run.wait(120s), 1000 + stop.sig) << "the run ended otherwise, or not at all";
    const std::string report = slurp(stopped.path() / "report");
    const std::string log = slurp(stopped.path() / "cellsieve.log");
    ASSERT_FALSE(report.empty());
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(report.back(), '\n');
    EXPECT_EQ(log.back(), '\n');

    // The same run read through a pipe until it has written as much, then killed: the stopped
    // report is exactly the beginning of that one.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ChildGuard reference(start_cellsieve(whole.path(), fds[1]));
    ::close(fds[1]);
    std::string seen;
    char buffer[65536];
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (seen.size() < report.size() && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fds[0], POLLIN, 0};
      if (::poll(&p, 1, 1000) <= 0) continue;
      const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
      if (n <= 0) break;
      seen.append(buffer, static_cast<std::size_t>(n));
    }
    reference.signal(SIGKILL);
    ::close(fds[0]);
    reference.wait(20s);
    ASSERT_GE(seen.size(), report.size());
    EXPECT_TRUE(seen.compare(0, report.size(), report) == 0);
    // The log of the killed reference holds whole blocks; both logs agree as far as both go.
    const std::string reference_log = slurp(whole.path() / "cellsieve.log");
    const std::size_t common = std::min(log.size(), reference_log.size());
    EXPECT_GT(common, 0u);
    EXPECT_TRUE(log.compare(0, common, reference_log, 0, common) == 0);
  }
}

}  // namespace
