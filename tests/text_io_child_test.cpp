// The child runner of the tests: a run that hangs is killed at its deadline and reported as
// such, so that a test of a broken stop fails in seconds instead of waiting for ever.
#include "tests/text_io_child.hpp"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using text_io_test::ChildGuard;
using text_io_test::ChildOptions;
using text_io_test::run_child;

TEST(TextIoChild, ARunPastItsDeadlineIsKilledAndSaysSo) {
  ChildOptions options;
  options.deadline = std::chrono::seconds(1);
  const auto start = std::chrono::steady_clock::now();
  const text_io_test::ChildResult r = run_child({"/bin/sleep", "600"}, options);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.status, ChildGuard::kStillRunning);
  EXPECT_NE(r.err.find("[killed: still running after 1 s]"), std::string::npos) << r.err;
  EXPECT_LT(took, std::chrono::seconds(30));
}

TEST(TextIoChild, ARunWithinItsDeadlineGivesItsStatusAndOutput) {
  ChildOptions options;
  options.input = "three words here\n";
  options.deadline = std::chrono::seconds(60);
  const text_io_test::ChildResult r = run_child({"/bin/sh", "-c", "cat; exit 3"}, options);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "three words here\n");
  EXPECT_EQ(r.err, "");
}

}  // namespace
