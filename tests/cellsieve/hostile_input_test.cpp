// cellsieve on mistaken and hostile input: every answer that would give a wrong or empty result,
// a numerical failure deep in the search, or a runaway allocation stops the run after its echo
// with its numbered message and one plain line; a damaged symmetry.dat (a patched copy of the
// data directory) stops it at start-up naming the record. Inputs that are unusual but sound are
// searched to the summary.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/cellsieve/process_support.hpp"

namespace cellsieve {
namespace {

using testing::DataDir;
using testing::kBanner;
using testing::kBombed;
using testing::Outcome;
using testing::run_cellsieve;

using Lines = std::vector<std::string>;

// Input up to the form answer, with scope 1, displacement tolerances 0.1 and 0.01.
std::string head(const std::string& form) { return "title\n1\n0.1 0.01\n0.1 0.01\n" + form + "\n"; }
const std::string kCubic = head("2") + "3 3 3 90 90 90\n";
const std::string kIdentityCell = "1 0 0\n0 1 0\n0 0 1\n";
std::string cubic_atoms(const std::string& types, const std::string& positions) {
  const int n = static_cast<int>(std::count(positions.begin(), positions.end(), '\n'));
  return kCubic + kIdentityCell + std::to_string(n) + "\n" + types + "\n" + positions;
}
const std::string kOneAtom = cubic_atoms("1", "0 0 0\n");

std::string error(const std::string& code, const std::string& line) {
  return " Error " + code + " in cellsieve\n " + line + "\n";
}

const std::string kSummaryHead = "Summary\n \nSpace group               Points    rms position   rms strain\n";

struct Case {
  const char* what;
  std::string input;
  int status;
  std::string log_tail;  // the log ends with this (status 1)
  std::string errors;    // standard output beyond the log (status 1)
  std::function<void(Lines&)> doctor = nullptr;  // patches the copy of symmetry.dat
};

TEST(HostileInput, EachMistakeStopsWithItsMessage) {
  const std::string same = "Invalid input:  atoms 1 and 2 of type 1 lie at the same point";
  const std::string two_types = "Invalid input:  atoms 1 and 2 of types 1 and 2 lie at the same point";
  const std::string angles = "Invalid input:  angles alpha,beta,gamma must lie strictly between 0 and 180";
  const std::string lengths = "Invalid input:  lengths a,b,c must lie between 0.0001 and 10000";
  const std::string cell_lengths = "Invalid input:  unit-cell vectors must be between 0.0001 and 10000 long";
  const std::string params = "Lattice parameters, a,b,c,alpha,beta,gamma:\n";
  const std::string cell_echo = "Vectors defining the unit cell (dimensionless coordinates):\n";
  const std::string h02 = " Error in symmetry.dat:  record 49 (3 h02):  ";
  const Case cases[] = {
      // Two atoms of one type at one point: every operation, the identity included, maps both
      // onto one, and the summary had no group at all.
      {"two atoms of one type at one point", cubic_atoms("1 1", "0 0 0\n0 0 0\n"), 1,
       "   2   0.00000   0.00000   0.00000\n", error("044", same)},
      {"at one point modulo the unit cell", cubic_atoms("1 1", "0.25 0 0\n1.25 -1 2\n"), 1,
       "   2   1.25000  -1.00000   2.00000\n", error("044", same)},
      {"at one point up to rounding, tolerance 1e-300",
       "title\n1\n1e-300 0\n0.1 0.01\n2\n3 3 5 90 90 120\n" + kIdentityCell + "2\n1 1\n0.1 0.2 0.3\n1.1 -0.8 2.3\n", 1,
       "   2   1.10000  -0.80000   2.30000\n", error("044", same)},
      {"within 1e-4 of one point", cubic_atoms("1 1", "0 0 0\n0.00003 0 0\n"), 1,
       "   2   0.00003   0.00000   0.00000\n", error("044", same)},
      // The distance itself, 1e-4, from both sides: 0.99e-4 apart is one point, 1.01e-4 two.
      {"0.99e-4 apart", cubic_atoms("1 2", "0.5 0.5 0.5\n0.500033 0.5 0.5\n"), 1,
       "   2   0.50003   0.50000   0.50000\n", error("044", two_types)},
      {"1.01e-4 apart", cubic_atoms("1 2", "0.5 0.5 0.5\n0.5000336667 0.5 0.5\n"), 0, "", ""},
      // Atoms of two types at one point describe no structure either (Pm-3m was reported).
      {"atoms of two types at one point", cubic_atoms("1 2", "0 0 0\n0 0 0\n"), 1,
       "   2   0.00000   0.00000   0.00000\n", error("044", two_types)},
      {"two types at one point across the cell face", cubic_atoms("1 2", "0.99999 0.5 0.5\n0.00001 0.5 0.5\n"), 1,
       "   2   0.00001   0.50000   0.50000\n", error("044", two_types)},
      // Atoms of one type closer together than the displacement tolerance (a split site, a short
      // bond) are searched.
      {"one type, within the displacement tolerance", cubic_atoms("1 1", "0 0 0\n0.02 0 0\n"), 0, "", ""},
      {"one type, within the tolerance across the cell face", cubic_atoms("1 1", "0.99 0.5 0.5\n0.005 0.5 0.5\n"),
       0, "", ""},
      {"one type, farther apart than the tolerance", cubic_atoms("1 1", "0 0 0\n0.04 0 0\n"), 0, "", ""},
      // Angles and lengths that describe no cell.
      {"angle -90", head("2") + "3 3 3 -90 90 90\n", 1,
       params + "   3.00000   3.00000   3.00000 -90.00000  90.00000  90.00000\n", error("040", angles)},
      {"angle 1e300", head("2") + "3 3 3 1e300 90 90\n", 1,
       params + "   3.00000   3.00000   3.00000**********  90.00000  90.00000\n", error("040", angles)},
      {"angle 180", head("2") + "3 3 3 90 180 90\n", 1,
       params + "   3.00000   3.00000   3.00000  90.00000 180.00000  90.00000\n", error("040", angles)},
      {"angle 0", head("2") + "3 3 3 90 90 0\n", 1,
       params + "   3.00000   3.00000   3.00000  90.00000  90.00000   0.00000\n", error("040", angles)},
      {"length -3", head("2") + "-3 3 3 90 90 90\n", 1,
       params + "  -3.00000   3.00000   3.00000  90.00000  90.00000  90.00000\n",
       error("039", "Invalid input:  lengths a,b,c must be positive")},
      {"length 0", head("2") + "3 0 3 90 90 90\n", 1,
       params + "   3.00000   0.00000   3.00000  90.00000  90.00000  90.00000\n",
       error("039", "Invalid input:  lengths a,b,c must be positive")},
      // Absurd magnitudes and ill-conditioned cells, which ended in bare numbered errors of the
      // search (008, 001, 035, 004) or in wrong groups.
      {"unit-cell vector 1 0 1e10", kCubic + "1 0 1e10\n0 1 0\n0 0 1\n", 1,
       "   0.00000   0.00000   1.00000\n", error("041", cell_lengths)},
      {"unit-cell vector 1 0 1e300", kCubic + "1 0 1e300\n0 1 0\n0 0 1\n", 1,
       cell_echo + "   1.00000   0.00000**********\n   0.00000   1.00000   0.00000\n   0.00000   0.00000   1.00000\n",
       error("041", cell_lengths)},
      {"unit-cell vector 1e-6 0 0", kCubic + "1e-6 0 0\n0 1 0\n0 0 1\n", 1, "   0.00000   0.00000   1.00000\n",
       error("041", cell_lengths)},
      {"sheared unit cell 1 0 1000", kCubic + "1 0 1000\n0 1 0\n0 0 1\n", 1, "   0.00000   0.00000   1.00000\n",
       error("042", "Invalid input:  unit cell too oblique or too unequal in length")},
      {"length 1e5", head("2") + "3 3 1e5 90 90 90\n", 1,
       params + "   3.00000   3.00000**********  90.00000  90.00000  90.00000\n", error("041", lengths)},
      {"length 1e-5", head("2") + "3 3 1e-5 90 90 90\n", 1,
       params + "   3.00000   3.00000   0.00001  90.00000  90.00000  90.00000\n", error("041", lengths)},
      {"gamma 0.01 degrees", head("2") + "3 3 3 90 90 0.01\n", 1,
       params + "   3.00000   3.00000   3.00000  90.00000  90.00000   0.01000\n",
       error("042", "Invalid input:  vectors a,b,c too oblique or too unequal in length")},
      {"lattice vector of length 1e5", head("1") + "1 0 0\n0 1 0\n0 0 1e5\n", 1,
       params + "   1.00000   1.00000**********  90.00000  90.00000  90.00000\n", error("041", lengths)},
      {"lattice vector infinite", head("1") + "1 0 0\n0 1 0\n0 0 inf\n", 1,
       params + "   1.00000   1.00000       INF      -NaN      -NaN  90.00000\n",
       error("037", "Invalid input:  numbers must be finite")},
      {"atom 1e5 lattice vectors away", cubic_atoms("1 2", "0 0 0\n1e5 0 0\n"), 1,
       "   2**********   0.00000   0.00000\n",
       error("041", "Invalid input:  atom 2 lies farther than 10000 from the origin")},
      // Values the echo and the report write in f10.5 must fit it: a length of 10000 was taken
      // and printed as asterisks, and so were coordinates from -1000 on down.
      {"length 10000", head("2") + "3 3 10000 90 90 90\n", 1,
       params + "   3.00000   3.00000**********  90.00000  90.00000  90.00000\n", error("041", lengths)},
      {"lattice vector component -1000.5", head("1") + "-1000.5 0 0\n0 1 0\n0 0 1\n", 1,
       params + "1000.50000   1.00000   1.00000  90.00000  90.00000  90.00000\n",
       error("041", "Invalid input:  lattice vector components must lie between -999.99999 and 9999.99999")},
      {"unit-cell vector component 10000", head("2") + "0.001 0.001 0.001 90 90 90\n10000 0 0\n0 1 0\n0 0 1\n", 1,
       "   0.00000   0.00000   1.00000\n",
       error("041", "Invalid input:  unit-cell vector components must lie between -999.99999 and 9999.99999")},
      {"atom coordinate -1000.5", cubic_atoms("1", "-1000.5 0 0\n"), 1, "   1**********   0.00000   0.00000\n",
       error("041", "Invalid input:  atom coordinates must lie between -999.99999 and 9999.99999")},
      // Tolerances below zero accept nothing, not even the identity.
      {"negative maximum displacement", "t\n1\n-0.1 0\n", 1,
       "Maximum and minimum rms average atomic displacements\n-0.100E+00 0.000E+00\n",
       error("038", "Invalid input:  maximum rms displacement must not be negative")},
      {"negative maximum strain", "t\n1\n0.1 0\n-1e-3 0\n", 1,
       "Maximum and minimum rms average strain\n-0.100E-02 0.000E+00\n",
       error("038", "Invalid input:  maximum rms strain must not be negative")},
      // An atom count whose arrays no memory holds is refused before they are made (and zeroed).
      {"2,000,000,000 atoms", kCubic + kIdentityCell + "2000000000\n1 1\n", 1,
       "Number of atoms in unit cell:\n****\n",
       error("043", "Invalid input:  2000000000 atoms need more memory than is available")},
      // symmetry.dat damaged: a slash typed for a decimal point ends the free-format read of
      // record h02's matrix, which stays mostly zero (ZnO came out as Cmc21); a swapped pair of
      // rotations is orthogonal but names the wrong operations; an absurd entry.
      {"symmetry.dat: -0/5 for -0.5 in h02", kOneAtom, 1, "",
       h02 + "matrix is not orthogonal with determinant +1 or -1\n",
       [](Lines& l) { l[97].replace(0, 4, "-0/5"); }},
      {"symmetry.dat: h02 and h03 matrices swapped", kOneAtom, 1, "",
       h02 + "matrix is not the operation 50 of the library\n", [](Lines& l) { std::swap(l[97], l[99]); }},
      {"symmetry.dat: an entry of 1e300", kOneAtom, 1, "",
       " Error in symmetry.dat:  record 2 (2 c02):  matrix is not orthogonal with determinant +1 or -1\n",
       [](Lines& l) { l[3] = "-1 0 0 0 -1 0 0 0 1e300"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DataDir data;
    sgl::testing::TempDir work;
    if (c.doctor) {
      Lines lines = data.symmetry_lines();
      ASSERT_EQ(lines.size(), 128u);
      c.doctor(lines);
      data.write_symmetry(lines);
    }
    const Outcome r = run_cellsieve(c.input, data.slash(), work.path());
    EXPECT_EQ(r.status, c.status) << r.out;
    if (c.status == 0) {
      EXPECT_EQ(r.err, "");
      const std::size_t summary = r.out.find(kSummaryHead);
      ASSERT_NE(summary, std::string::npos) << r.out;
      EXPECT_GT(r.out.size(), summary + kSummaryHead.size()) << "a searchable input yields at least P1";
      EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
      continue;
    }
    EXPECT_EQ(r.err, kBombed);
    if (c.doctor) {
      EXPECT_EQ(r.log, kBanner);
    }
    ASSERT_GE(r.log.size(), c.log_tail.size()) << r.log;
    EXPECT_EQ(r.log.substr(r.log.size() - c.log_tail.size()), c.log_tail);
    EXPECT_EQ(r.out, r.log + c.errors);
  }

  // Failures of input and output that the program does not handle (exit status 255) name their
  // line or file: a number that cannot be read, a symmetry.dat without line ends (a link to
  // /dev/zero grew without bound).
  struct Unhandled {
    const char* what;
    std::string input;
    std::string err;
    bool zero_symmetry = false;
  };
  DataDir probe;
  const Unhandled unhandled[] = {
      {"tolerance not a number", "t\n1\n0.1 O.01\n",
       "? Input/Output Error:\n? Illegal character in numeric input\n? READ(UNIT=5,...\n"
       "? Line 3 of standard input: 0.1 O.01\n"},
      {"symmetry.dat a link to /dev/zero", kOneAtom,
       "? Input/Output Error:\n? Input line too long (more than 1048576 characters)\n? READ(UNIT=51,...\n? File: " +
           probe.slash() + "symmetry.dat\n? Line 1\n",
       true},
  };
  for (const Unhandled& c : unhandled) {
    SCOPED_TRACE(c.what);
    sgl::testing::TempDir work;
    if (c.zero_symmetry) {
      std::filesystem::remove(probe.file("symmetry.dat"));
      std::filesystem::create_symlink("/dev/zero", probe.file("symmetry.dat"));
    }
    const Outcome r = run_cellsieve(c.input, probe.slash(), work.path());
    EXPECT_EQ(r.status, 255) << r.out;
    EXPECT_EQ(r.err, c.err);
  }
}

}  // namespace
}  // namespace cellsieve
