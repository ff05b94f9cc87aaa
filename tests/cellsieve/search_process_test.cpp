// Whole runs of the search: the transcript of a one-atom simple cubic structure line for line,
// and runs on faulty input.
#include <gtest/gtest.h>

#include <string>

#include "tests/cellsieve/process_support.hpp"
#include "tests/table_files.hpp"

namespace cellsieve {
namespace {

using testing::DataDir;
using testing::Outcome;
using testing::run_cellsieve;

std::string data_file(const char* name) {
  return sgl::testing::slurp(std::string(SGL_SOURCE_DIR) + "/tests/cellsieve/data/" + name);
}

// The transcript was checked line by line against the layouts of the prompts, the translation,
// basis and operation tables, the group report and the summary; the group (Pm-3m, a = 3, one
// atom at the origin, 48 operations) is what the structure has.
TEST(SearchProcess, SimpleCubicTranscript) {
  DataDir data;
  sgl::testing::TempDir work;
  const Outcome r = run_cellsieve(data_file("simple_cubic.in"), data.slash(), work.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, data_file("simple_cubic.out"));
  EXPECT_EQ(r.log, data_file("simple_cubic.log"));
  // The log is standard output without the empty line before "Summary".
  std::string out = r.out;
  out.erase(out.rfind(" \nSummary\n"), 2);
  EXPECT_EQ(out, r.log);
}

// A perturbed valid structure (SrTiO3 doubled along a, cell and positions moved at random) runs
// to its end: the closure of its fitted groups once stopped it with error 028 (and similar inputs
// with 004 or 008), through reductions by a slightly inexact inverse of the sheared basis.
TEST(SearchProcess, PerturbedSupercellRunsToTheEnd) {
  DataDir data;
  sgl::testing::TempDir work;
  const Outcome r = run_cellsieve(data_file("srtio3_2x1x1_perturbed.in"), data.slash(), work.path());
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
  const std::size_t summary = r.out.find("Summary");
  ASSERT_NE(summary, std::string::npos);
  EXPECT_NE(r.out.find("221  Pm-3m     Pm-3m         2", summary), std::string::npos) << r.out.substr(summary);
}

std::string one_atom(const std::string& tolerances, const std::string& natoms, const std::string& atoms) {
  return "Fault\n1\n" + tolerances + "\n0.01 0.001\n2\n3 3 3 90 90 90\n1 0 0\n0 1 0\n0 0 1\n" + natoms + "\n" +
         atoms;
}

TEST(SearchProcess, Faults) {
  struct Case {
    const char* what;
    std::string input;
    int status;
    std::string in_out;      // text expected on standard output
    std::string not_in_out;  // text that must not appear there
  } cases[] = {
      {"no atoms", one_atom("0.01 0.001", "0", ""), 1, "Error 036 in cellsieve", "Looking for"},
      {"a NaN position", one_atom("0.01 0.001", "1", "1\nnan 0 0\n"), 1, "Error 037 in cellsieve", "Looking for"},
      {"a coordinate of 1e300", one_atom("0.01 0.001", "2", "1 1\n0 0 0\n1e300 0.5 0.5\n"), 1,
       "Error 041 in cellsieve", "Looking for"},
      {"a negative dmax", one_atom("-0.01 0.001", "1", "1\n0 0 0\n"), 1, "Error 038 in cellsieve",
       "Looking for"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DataDir data;
    sgl::testing::TempDir work;
    const Outcome r = run_cellsieve(c.input, data.slash(), work.path());
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.out.find(c.in_out), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(c.not_in_out), std::string::npos) << r.out;
    if (c.status == 0) {
      EXPECT_EQ(r.err, "");
      EXPECT_TRUE(r.out.ends_with("rms strain\n") || r.out.find("Space Group") != std::string::npos);
    }
  }
}

}  // namespace
}  // namespace cellsieve
