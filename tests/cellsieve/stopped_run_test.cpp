// A long cellsieve run (copper in a 2x2x2 supercell, every subgroup fitted: some 8 MB of report)
// stopped on purpose with SIGTERM part-way through its report: the report and the log that it
// leaves end on a line end and hold exactly what an uninterrupted run writes up to there.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/table_files.hpp"
#include "tests/text_io_child.hpp"

namespace {

using sgl::testing::slurp;

// Starts cellsieve in dir with the copper input on standard input and standard output on out_fd.
pid_t start_cellsieve(const std::filesystem::path& dir, int out_fd) {
  return text_io_test::start_child({std::string(SGL_BIN_DIR) + "/cellsieve"}, dir.string(),
                                   std::string(SGL_SOURCE_DIR) + "/tests/cellsieve/data/cu_2x2x2.in", out_fd,
                                   {std::string("XTALDIR=") + SGL_DATA_DIR});
}

int wait_for(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

TEST(StoppedRun, AReportStoppedBySigtermEndsOnAWholeLine) {
  sgl::testing::TempDir stopped, whole;
  // The run to stop: its report goes to a file, block by block; once a few blocks are there it
  // is in the middle of its report, with more lines pending.
  const int out = ::open((stopped.path() / "report").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const pid_t pid = start_cellsieve(stopped.path(), out);
  ::close(out);
  bool reporting = false;
  for (int k = 0; k < 6000 && !reporting; ++k) {
    std::error_code ec;
    reporting = std::filesystem::file_size(stopped.path() / "report", ec) >= 40000 && !ec;
    if (!reporting) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(reporting);
  ::kill(pid, SIGTERM);
  ASSERT_EQ(wait_for(pid), 1000 + SIGTERM) << "the run ended before the signal came";
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
  const pid_t reference = start_cellsieve(whole.path(), fds[1]);
  ::close(fds[1]);
  std::string seen;
  char buffer[65536];
  while (seen.size() < report.size()) {
    pollfd p{fds[0], POLLIN, 0};
    if (::poll(&p, 1, 60000) <= 0) break;
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    seen.append(buffer, static_cast<std::size_t>(n));
  }
  ::kill(reference, SIGKILL);
  ::close(fds[0]);
  wait_for(reference);
  ASSERT_GE(seen.size(), report.size());
  EXPECT_TRUE(seen.compare(0, report.size(), report) == 0);
  // The log of the killed reference holds whole blocks; both logs agree as far as both go.
  const std::string reference_log = slurp(whole.path() / "cellsieve.log");
  const std::size_t common = std::min(log.size(), reference_log.size());
  EXPECT_GT(common, 0u);
  EXPECT_TRUE(log.compare(0, common, reference_log, 0, common) == 0);
}

}  // namespace
