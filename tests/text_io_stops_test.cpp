// The three ends of a run, seen from outside: standard output, standard error, exit status.
#include <gtest/gtest.h>

#include "text_io_child.hpp"

namespace {

using text_io_test::ChildOptions;
using text_io_test::run_driver;

TEST(TextStops, StopEndAndBomb) {
  struct Case {
    const char* mode;
    const char* out;
    const char* err;
    int status;
  };
  const Case cases[] = {
      {"stop_text", "out\n", " STOP done\n", 1},
      {"stop_none", "", " STOP\n", 1},
      {"stop_empty", "", " STOP\n", 1},
      {"end", "line\n", "", 0},
      // BOMB: its two lines on standard output after the caller's message, a stop with a text
      // of one blank.
      {"bomb", " Error: something\nThis program has bombed\nexit\n", " STOP  \n", 1},
      // The fatal failure for memory: header and message, no operation line.
      {"no_memory", "before\n", "? Input/Output Error:\n? Buffer allocation failed\n", 255},
  };
  for (const Case& c : cases) {
    const auto r = run_driver({c.mode});
    EXPECT_EQ(r.out, c.out) << c.mode;
    EXPECT_EQ(r.err, c.err) << c.mode;
    EXPECT_EQ(r.status, c.status) << c.mode;
  }
}

TEST(TextStops, FailedAllocationIsTheFatalFailureOnceTheHandlerIsInstalled) {
  auto r = run_driver({"allocation_fails"});
  EXPECT_EQ(r.out, "before\n");
  EXPECT_EQ(r.err, "? Input/Output Error:\n? Buffer allocation failed\n");
  EXPECT_EQ(r.status, 255);
  // Writing output does not install it.
  r = run_driver({"allocation_fails", "uninstalled"});
  EXPECT_EQ(r.out, "before\nno handler\n");
  EXPECT_EQ(r.status, 0);
}

TEST(TextStops, StandardOutputAndErrorKeepTheirOrder) {
  ChildOptions merged;
  merged.merge_err = true;
  const auto r = run_driver({"interleave"}, merged);
  EXPECT_EQ(r.out, "o1\ne1\no2e2\n..o3\n");
  EXPECT_EQ(r.status, 0);
}

TEST(TextStops, UnhandledEndOfInputIsFatalAfterPendingOutput) {
  const auto r = run_driver({"read_end"});
  EXPECT_EQ(r.out, "before\n");
  EXPECT_EQ(r.err,
            "? Input/Output Error:\n? Attempt to read past end of file\n? READ(UNIT=5,...\n");
  EXPECT_EQ(r.status, 255);
}

TEST(TextStops, UnhandledFailuresNameTheirUnit) {
  ChildOptions input;
  input.input = "12x\n";
  auto r = run_driver({"read_default_bad"}, input);
  EXPECT_EQ(r.err,
            "? Input/Output Error:\n? Illegal character in numeric input\n? READ(UNIT=*,...\n");
  EXPECT_EQ(r.status, 255);
  r = run_driver({"read_text_huge"});
  EXPECT_EQ(r.err, "? Input/Output Error:\n? Real out of range in numeric input\n"
                   "? READ(UNIT=INTERNAL,...\n");
  EXPECT_EQ(r.status, 255);
  r = run_driver({"read_text_bad"});
  EXPECT_EQ(r.err, "? Input/Output Error:\n? Illegal character in numeric input\n"
                   "? READ(UNIT=INTERNAL,...\n");
  EXPECT_EQ(r.status, 255);
}

TEST(TextStops, ClosedPipeOnStandardOutputIsAWriteFailure) {
  ChildOptions options;
  options.closed_stdout = true;
  auto r = run_driver({"many_lines"}, options);
  EXPECT_EQ(r.status, 255);  // not death by SIGPIPE
  EXPECT_EQ(r.err, "? System Error:\n? Broken pipe\n? WRITE(UNIT=6,...\n");
  // Standard error on the same closed pipe: the report of the failure cannot be written either,
  // and the run still ends with status 255.
  options.merge_err = true;
  r = run_driver({"many_lines"}, options);
  EXPECT_EQ(r.status, 255);
}

}  // namespace
