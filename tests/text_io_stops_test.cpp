// The three ends of a run, seen from outside: standard output, standard error, exit status.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

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
  EXPECT_EQ(r.err, "? Input/Output Error:\n? Attempt to read past end of file\n? READ(UNIT=5,...\n"
                   "? Standard input is empty\n");
  EXPECT_EQ(r.status, 255);
}

// The end of the input names how many lines came before it and what the read expected; a word
// read from a line names that line when it is no number.
TEST(TextStops, EndOfInputAndWordsNameTheirPlace) {
  const std::string dir = text_io_test::temp_dir();
  const std::string one_line = dir + "/one.txt";
  text_io_test::spill(one_line, "1\n");
  const std::string end = "? Input/Output Error:\n? Attempt to read past end of file\n";
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string input;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"empty", {"read_awaited"}, "", end + "? READ(UNIT=5,...\n? Standard input is empty; expected: the first value\n"},
      {"only blank lines", {"read_awaited"}, "\n \n", end + "? READ(UNIT=5,...\n? Standard input ends after line 2; expected: the first value\n"},
      {"after the first", {"read_awaited"}, "1.5\n", end + "? READ(UNIT=5,...\n? Standard input ends after line 1; expected: the second value\n"},
      {"last line without line end", {"read_awaited"}, "1.5\n2", ""},
      {"file", {"read_file_bad", one_line}, "", end + "? READ(UNIT=31,...\n? File: " + one_line + "\n? The file ends after line 1\n"},
      {"word of a line", {"read_word_of_line"}, "O 0.3Z 1\n",
       "? Input/Output Error:\n? Illegal character in numeric input\n? READ(UNIT=INTERNAL,...\n"
       "? Line 1 of standard input: O 0.3Z 1\n"},
      {"fraction", {"read_default_bad"}, "\n1/4\n",
       "? Input/Output Error:\n? Fraction in numeric input: write the value as a decimal number (0.25, not 1/4)\n"
       "? READ(UNIT=*,...\n? Line 2 of standard input: 1/4\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ChildOptions options;
    options.input = c.input;
    const auto r = run_driver(c.args, options);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.err.empty() ? 0 : 255);
  }
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(TextStops, UnhandledFailuresNameTheirUnit) {
  ChildOptions input;
  input.input = "12x\n";
  auto r = run_driver({"read_default_bad"}, input);
  EXPECT_EQ(r.err,
            "? Input/Output Error:\n? Illegal character in numeric input\n? READ(UNIT=*,...\n"
            "? Line 1 of standard input: 12x\n");
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

// A failed read names where it failed: the line of standard input (its number and text), or the
// text file and its line; a line without end is refused at the bound, naming its number only.
TEST(TextStops, UnhandledReadFailuresNameTheirLine) {
  const std::string dir = text_io_test::temp_dir();
  const std::string numbers = dir + "/numbers.txt";
  text_io_test::spill(numbers, "1\n2x\n");
  const std::string long_line(std::size_t{1} << 21, '7');
  const std::string too_long = "? Input/Output Error:\n? Input line too long (more than 1048576 characters)\n";
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string input, input_file;
    std::string err;
  };
  const std::vector<Case> cases = {
      // Blank lines count: the value stands on line 3.
      {"standard input", {"read_default_bad"}, "\n\n 12x \n", "",
       "? Input/Output Error:\n? Illegal character in numeric input\n? READ(UNIT=*,...\n"
       "? Line 3 of standard input:  12x \n"},
      {"text file", {"read_file_bad", numbers}, "", "",
       "? Input/Output Error:\n? Illegal character in numeric input\n? READ(UNIT=31,...\n? File: " + numbers +
           "\n? Line 2: 2x\n"},
      // Only the first 200 characters of a line are shown.
      {"long line shown cut", {"read_default_bad"}, std::string(300, '9') + "x\n", "",
       "? Input/Output Error:\n? Illegal character in numeric input\n? READ(UNIT=*,...\n"
       "? Line 1 of standard input: " + std::string(200, '9') + "...\n"},
      {"standard input without line feeds", {"read_default_bad"}, "", "/dev/zero",
       too_long + "? READ(UNIT=*,...\n? Line 1 of standard input\n"},
      // "1" is read on line 1; the second value fails on the long line 2.
      {"line beyond the bound", {"prompts"}, "1\n" + long_line + "\n", "",
       too_long + "? READ(UNIT=5,...\n? Line 2 of standard input\n"},
      {"file without line feeds", {"read_file_bad", "/dev/zero"}, "", "",
       too_long + "? READ(UNIT=31,...\n? File: /dev/zero\n? Line 1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ChildOptions options;
    options.input = c.input;
    options.input_file = c.input_file;
    const auto r = run_driver(c.args, options);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, c.err);
  }
  std::system(("rm -rf '" + dir + "'").c_str());
}

// The standard descriptors closed at the start: no file the run opens may take their numbers.
TEST(TextStops, ClosedStandardDescriptors) {
  const std::string dir = text_io_test::temp_dir();
  const std::string log = dir + "/log.txt";
  // Standard output closed: the run stops at once, before its log is created (which would take
  // descriptor 1 and receive the report).
  ChildOptions options;
  options.closed = {1};
  auto r = run_driver({"log", log}, options);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "? Input/Output Error:\n? Standard output is not open\n? WRITE(UNIT=6,...\n");
  EXPECT_EQ(access(log.c_str(), F_OK), -1);
  // Standard error closed: the stop's line is lost, not written into the log.
  options.closed = {2};
  r = run_driver({"log_stop", log}, options);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(text_io_test::slurp(log), "logged\n");
  // Standard input closed: an empty input.
  options.closed = {0};
  r = run_driver({"read_end"}, options);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "before\n");
  EXPECT_EQ(r.err, "? Input/Output Error:\n? Attempt to read past end of file\n? READ(UNIT=5,...\n"
                   "? Standard input is empty\n");
  std::system(("rm -rf '" + dir + "'").c_str());
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
