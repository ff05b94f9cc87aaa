// The bound on the tab width: each program refuses a TABSIZE above 1000 at start-up, before it
// reads any input, and stops as it stops for an unset XTALDIR; the widest tab it accepts changes
// nothing in a run whose input has no tabs.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "library/text/tab_size.hpp"
#include "text_io_child.hpp"

namespace {

struct ProgramRun {
  std::string out, err, log;
  int status = -1;
};

// Runs a program in a fresh working directory with the data tables at XTALDIR, the entries
// NAME=VALUE added to and the names removed from its environment, and the example `input`
// (none: empty input); collects its log too.
ProgramRun run_program(const std::string& program, const std::vector<std::string>& environment,
                const std::vector<std::string>& unset, const std::string& input) {
  text_io_test::ChildOptions options;
  options.cwd = text_io_test::temp_dir();
  options.environment = environment;
  options.unset = unset;
  if (std::find(unset.begin(), unset.end(), "XTALDIR") == unset.end())
    options.environment.push_back(std::string("XTALDIR=") + SGL_DATA_DIR);
  if (!input.empty()) options.input_file = std::string(SGL_SOURCE_DIR) + "/examples/" + input;
  const auto r = text_io_test::run_child({std::string(SGL_BIN_DIR) + "/" + program}, options);
  ProgramRun run{r.out, r.err, text_io_test::slurp(options.cwd + "/" + program + ".log"), r.status};
  std::system(("rm -rf '" + options.cwd + "'").c_str());
  return run;
}

// duopath's banner holds the date and time of the run (its third line): left out of comparisons.
std::string without_date(const std::string& program, std::string text) {
  if (program != "duopath") return text;
  std::size_t start = 0;
  for (int k = 0; k < 2 && start != std::string::npos; ++k) start = text.find('\n', start) + 1;
  const std::size_t end = text.find('\n', start);
  if (start != 0 && end != std::string::npos) text.replace(start, end - start, "@DATE@");
  return text;
}

struct Program {
  const char* name;
  const char* example;  // an input without tabs
};

const Program kPrograms[] = {
    {"duopath", "nacl_cscl.in"},
    {"cellsieve", "cellsieve/rutile.in"},
    {"vibrex", "vibrex/nacl.in"},
};

TEST(TextTabSize, EachProgramStopsAtStartUpOnATabWiderThanTheBound) {
  ASSERT_EQ(sgl::kMaxTabWidth, 1000);
  const std::string xtaldir_message = "Error:  XTALDIR environment variable not defined\n";
  const std::string tab_message = "Error:  TABSIZE environment variable too large (at most 1000)\n";
  for (const Program& p : kPrograms) {
    SCOPED_TRACE(p.name);
    // The stop for an unset XTALDIR, with the message of the tab width in its place.
    ProgramRun expected = run_program(p.name, {}, {"XTALDIR", "TABSIZE"}, "");
    const std::size_t at = expected.out.find(xtaldir_message);
    ASSERT_NE(at, std::string::npos) << expected.out;
    expected.out.replace(at, xtaldir_message.size(), tab_message);
    // Just beyond the bound, far beyond it, and beyond what an int holds (with the example's input,
    // which is never read).
    for (const char* tabsize : {"1001", "1000000", "99999999999999999999"}) {
      SCOPED_TRACE(tabsize);
      const ProgramRun r = run_program(p.name, {std::string("TABSIZE=") + tabsize}, {}, p.example);
      EXPECT_EQ(without_date(p.name, r.out), without_date(p.name, expected.out));
      EXPECT_EQ(r.err, expected.err);
      EXPECT_EQ(r.status, expected.status);
      EXPECT_EQ(without_date(p.name, r.log), without_date(p.name, expected.log));
    }
  }
}

TEST(TextTabSize, TheWidestTabAllowedChangesNothing) {
  for (const Program& p : kPrograms) {
    SCOPED_TRACE(p.name);
    const ProgramRun plain = run_program(p.name, {}, {"TABSIZE"}, p.example);
    const ProgramRun widest = run_program(p.name, {"TABSIZE=1000"}, {}, p.example);
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(without_date(p.name, widest.out), without_date(p.name, plain.out));
    EXPECT_EQ(widest.err, plain.err);
    EXPECT_EQ(widest.status, plain.status);
    EXPECT_EQ(without_date(p.name, widest.log), without_date(p.name, plain.log));
  }
}

}  // namespace
