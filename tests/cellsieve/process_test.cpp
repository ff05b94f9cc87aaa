// cellsieve as a process: start-up, the dialogue and its errors, valid runs, and the log file,
// which holds standard output less the error lines and the first blank line of the summary.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>

#include "tests/cellsieve/process_support.hpp"

namespace cellsieve {
namespace {

using testing::DataDir;
using testing::kBanner;
using testing::kBombed;
using testing::Outcome;
using testing::run_cellsieve;

const std::string kSummary =
    " \nSummary\n \nSpace group               Points    rms position   rms strain\n";

std::string title_line(const std::string& title) { return title + std::string(80 - title.size(), ' ') + "\n"; }

const std::string kScopePrompt =
    "Scope:  1 = all subgroups,  2 = only supergroups\n"
    "        3 = only superlattices,  4 = only supergroups of superlattices\n";
const std::string kFormPrompt = "Form of lattice parameters:  1 = vectors, 2 = lengths and angles\n";
const std::string kParamsPrompt = "Lattice parameters, a,b,c,alpha,beta,gamma:\n";
const std::string kIdentityCell =
    "Vectors defining the unit cell (dimensionless coordinates):\n"
    "   1.00000   0.00000   0.00000\n"
    "   0.00000   1.00000   0.00000\n"
    "   0.00000   0.00000   1.00000\n";

// Input up to the form answer, with scope 1 and ordinary tolerances.
std::string head(const std::string& form) { return "title\n1\n0.1 0.01\n0.1 0.01\n" + form + "\n"; }
const std::string kCellAndOneAtom = "1 0 0\n0 1 0\n0 0 1\n1\n7\n0 0 0\n";

enum class Xtal { committed, unset, blank, no_slash, short_space, no_symmetry };

struct Case {
  const char* what;
  Xtal xtal;
  std::string input;
  int status;
  std::string log_tail;  // the log ends with this
  std::string errors;    // what standard output has beyond the log (status 1)
};

TEST(Process, StartUpAndDialogueErrors) {
  const std::string xtal_error = "Error:  XTALDIR environment variable not defined\n";
  const std::string coplanar = " Error 009 in cellsieve\n Invalid input:  vectors a,b,c are coplanar\n";
  const std::string finite = " Error 037 in cellsieve\n Invalid input:  numbers must be finite\n";
  const Case cases[] = {
      {"XTALDIR unset", Xtal::unset, "", 1, kBanner, xtal_error},
      {"XTALDIR blank", Xtal::blank, "", 1, kBanner, xtal_error},
      {"XTALDIR without a slash", Xtal::no_slash, "", 1, kBanner, "(glued path)"},
      {"short data_space.bin", Xtal::short_space, "", 255, kBanner, ""},
      {"missing symmetry.dat", Xtal::no_symmetry, "", 255, kBanner, ""},
      {"end of input at the title", Xtal::committed, "", 255, kBanner, ""},
      {"scope 7", Xtal::committed, "t\n7\n", 1, kScopePrompt + " 7\n",
       " Error 034 in cellsieve\n Invalid input:  must be 1, 2, 3 or 4.\n"},
      {"scope 100", Xtal::committed, "t\n100\n", 1, kScopePrompt + "**\n",
       " Error 034 in cellsieve\n Invalid input:  must be 1, 2, 3 or 4.\n"},
      {"scope 0", Xtal::committed, "t\n0\n", 1, kScopePrompt + " 0\n",
       " Error 034 in cellsieve\n Invalid input:  must be 1, 2, 3 or 4.\n"},
      {"form 3", Xtal::committed, head("3"), 1, kFormPrompt + "3\n",
       " Error 010 in cellsieve\n Invalid input for choice of form of lattice parameters.\n Must be 1 or 2.\n"},
      {"coplanar lattice vectors", Xtal::committed, head("1") + "1 0 0\n0 1 0\n1 1 0\n", 1,
       kParamsPrompt + "   1.00000   1.00000   1.41421  45.00000  45.00000  90.00000\n", coplanar},
      {"angles 100 100 170", Xtal::committed, head("2") + "1 1 1 100 100 170\n", 1,
       kParamsPrompt + "   1.00000   1.00000   1.00000 100.00000 100.00000 170.00000\n", coplanar},
      {"angles 120 120 120", Xtal::committed, head("2") + "1 1 1 120 120 120\n", 1,
       kParamsPrompt + "   1.00000   1.00000   1.00000 120.00000 120.00000 120.00000\n", coplanar},
      {"lattice parameter NaN", Xtal::committed, head("2") + "1 NaN 1 90 90 90\n", 1,
       kParamsPrompt + "   1.00000       NaN   1.00000  90.00000  90.00000  90.00000\n", finite},
      {"coplanar unit cell", Xtal::committed, head("2") + "1 1 1 90 90 90\n1 0 0\n0 1 0\n1 1 0\n", 1,
       "   1.00000   1.00000   0.00000\n",
       " Error 007 in cellsieve\n Invalid input:  basis vectors of unit cell are coplanar\n"},
      {"no atoms", Xtal::committed, head("2") + "1 1 1 90 90 90\n" + "1 0 0\n0 1 0\n0 0 1\n0\n", 1,
       "Number of atoms in unit cell:\n   0\n",
       " Error 036 in cellsieve\n Invalid input:  number of atoms must be positive\n"},
      {"displacement tolerance NaN", Xtal::committed, "t\n1\nnan 0\n", 1,
       "Maximum and minimum rms average atomic displacements\n       NaN 0.000E+00\n", finite},
      {"unit-cell vector infinite", Xtal::committed, head("2") + "1 1 1 90 90 90\n1 0 0\n0 inf 0\n0 0 1\n", 1,
       "   0.00000       INF   0.00000\n   0.00000   0.00000   1.00000\n", finite},
      {"atom position NaN", Xtal::committed, head("2") + "1 1 1 90 90 90\n" + "1 0 0\n0 1 0\n0 0 1\n2\n1 1\n0 0 0\n0 nan 0\n",
       1, "   1   0.00000   0.00000   0.00000\n   2   0.00000       NaN   0.00000\n", finite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DataDir data;
    sgl::testing::TempDir work;
    std::optional<std::string> xtal = data.slash();
    switch (c.xtal) {
      case Xtal::committed: break;
      case Xtal::unset: xtal.reset(); break;
      case Xtal::blank: xtal = "   "; break;
      case Xtal::no_slash: xtal = data.slash().substr(0, data.slash().size() - 1); break;
      case Xtal::short_space: {
        const std::string full = sgl::testing::slurp(data.file("data_space.bin"));
        std::ofstream(data.file("data_space.bin"), std::ios::binary | std::ios::trunc) << full.substr(0, 1000);
        break;
      }
      case Xtal::no_symmetry: std::filesystem::remove(data.file("symmetry.dat")); break;
    }
    const Outcome r = run_cellsieve(c.input, xtal, work.path());
    EXPECT_EQ(r.status, c.status);
    ASSERT_GE(r.log.size(), c.log_tail.size()) << r.log;
    EXPECT_EQ(r.log.substr(r.log.size() - c.log_tail.size()), c.log_tail);
    if (c.status == 255) {
      EXPECT_EQ(r.err.substr(0, 2), "? ") << r.err;
      EXPECT_EQ(r.out, r.log);
      continue;
    }
    EXPECT_EQ(r.err, kBombed);
    std::string errors = c.errors;
    if (c.xtal == Xtal::no_slash)  // the file name is glued to the last directory name
      errors = " Error: cannot open file " + *xtal + "data_space.bin\n";
    EXPECT_EQ(r.out, r.log + errors);
  }
}

// Standard output as the log holds it: without the one empty line before "Summary".
std::string without_blank_before_summary(std::string out) {
  const std::size_t at = out.rfind(" \nSummary\n");
  if (at != std::string::npos) out.erase(at, 2);
  return out;
}

// The input of a full run with the lattice of form 1 given as orthogonal vectors of lengths 2, 3
// and 4, and tolerances of exactly 0 and -0.0.
TEST(Process, ValidRunOfForm1LineForLine) {
  DataDir data;
  sgl::testing::TempDir work;
  // An old, longer log is cut after the last line written.
  std::ofstream(work.path() / "cellsieve.log") << std::string(20000, 'x') << "\n";
  const std::string input =
      "Orthorhombic test cell\n1\n0.1 0\n-0.0 0.01\n1\n2 0 0\n0 3 0\n0 0 4\n1 0 0\n0 1 0\n0 0 1\n2\n1 2\n"
      "0 0 0\n0.5 0.5 0.5\n";
  const Outcome r = run_cellsieve(input, data.slash(), work.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::string log_expected = std::string(kBanner) + title_line("Orthorhombic test cell") + kScopePrompt +
                                   " 1\n"
                                   "Maximum and minimum rms average atomic displacements\n"
                                   " 0.100E+00 0.000E+00\n"
                                   "Maximum and minimum rms average strain\n"
                                   "-0.000E+00 0.100E-01\n" +
                                   kFormPrompt +
                                   "1\n"
                                   "Lattice vectors in cartesian coordinates:\n"
                                   "   2.00000   0.00000   0.00000\n"
                                   "   0.00000   3.00000   0.00000\n"
                                   "   0.00000   0.00000   4.00000\n" +
                                   kParamsPrompt +
                                   "   2.00000   3.00000   4.00000  90.00000  90.00000  90.00000\n" + kIdentityCell +
                                   "Number of atoms in unit cell:\n"
                                   "   2\n"
                                   "Type of each atom:\n"
                                   "  1  2\n"
                                   "Position of each atom (dimensionless coordinates)\n"
                                   "   1   0.00000   0.00000   0.00000\n"
                                   "   2   0.50000   0.50000   0.50000\n";
  // The dialogue, then the search (whose report the search tests check), then the summary.
  EXPECT_EQ(r.log.substr(0, log_expected.size()), log_expected);
  EXPECT_NE(r.log.find(kSummary.substr(2)), std::string::npos);
  EXPECT_EQ(without_blank_before_summary(r.out), r.log);
}

TEST(Process, ValidRunOfForm2With25TypesOverThreeLines) {
  DataDir data;
  sgl::testing::TempDir work;
  std::string input = head("2") + "3 3 5 90 90 120\n" + "1 0 0\n0 1 0\n0 0 1\n25\n";
  input += "1 2 3 4 5 6 7 8 9 10\n11 12 13 14 15 16 17 18 19 20\n21 22 23 24 25 99 99\n";
  for (int n = 1; n <= 25; ++n) input += "0 0 " + std::to_string(n / 100.0) + "\n";
  const Outcome r = run_cellsieve(input, data.slash(), work.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::string types =
      "Type of each atom:\n"
      "  1  2  3  4  5  6  7  8  9 10 11 12 13 14 15 16 17 18 19 20\n"
      " 21 22 23 24 25\n"
      "Position of each atom (dimensionless coordinates)\n"
      "   1   0.00000   0.00000   0.01000\n";
  EXPECT_NE(r.log.find(kParamsPrompt + "   3.00000   3.00000   5.00000  90.00000  90.00000 120.00000\n"),
            std::string::npos);
  EXPECT_NE(r.log.find(types), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("  25   0.00000   0.00000   0.25000\n \nLooking for additional lattice points\n"),
            std::string::npos);
  EXPECT_NE(r.log.find(kSummary.substr(2)), std::string::npos);
  EXPECT_EQ(without_blank_before_summary(r.out), r.log);
}

}  // namespace
}  // namespace cellsieve
