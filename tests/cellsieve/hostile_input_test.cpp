// cellsieve on mistaken and hostile input: every answer that would give a wrong or empty result,
// a numerical failure deep in the search, or a runaway allocation stops the run after its echo
// with its numbered message and one plain line; a damaged symmetry.dat (a patched copy of the
// data directory) stops it at start-up naming the record. Inputs that are unusual but sound are
// searched to the summary. A number typed in a form the reads cannot take whole, and input that
// ends early, stop with exit status 255 naming the line, or what the read still expected; the
// memory of a run on short input follows the input, not the atom count it gives.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>
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

// The BaTiO3 example (16 lines, 5 atoms), its first `keep` lines with the lines numbered in
// `replaced` (from 1) changed.
std::string batio3(const std::map<int, std::string>& replaced = {}, int keep = 16) {
  std::istringstream example(sgl::testing::slurp(std::string(SGL_SOURCE_DIR) + "/examples/cellsieve/batio3.in"));
  std::string input;
  int number = 0;
  for (std::string line; number < keep && std::getline(example, line);) {
    const auto r = replaced.find(++number);
    input += (r == replaced.end() ? line : r->second) + "\n";
  }
  return input;
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
  const std::string lengths =
      "Invalid input:  lengths a,b,c must be at least 0.0001 and print in ten columns, below 9999.999995";
  const std::string cell_lengths = "Invalid input:  unit-cell vectors must be at least 0.0001 and below 9999.999995 long";
  const std::string ten_columns = " must print in ten columns, above -999.999995 and below 9999.999995";
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
      // and printed as asterisks, and so were coordinates from -1000 on down. The message states
      // the bound that applies: 9999.999995 rounds to 10000.00000 and is refused.
      {"length 10000", head("2") + "3 3 10000 90 90 90\n", 1,
       params + "   3.00000   3.00000**********  90.00000  90.00000  90.00000\n", error("041", lengths)},
      {"length 9999.999995", head("2") + "3 3 9999.999995 90 90 90\n", 1,
       params + "   3.00000   3.00000**********  90.00000  90.00000  90.00000\n", error("041", lengths)},
      {"lattice vector component -1000.5", head("1") + "-1000.5 0 0\n0 1 0\n0 0 1\n", 1,
       params + "1000.50000   1.00000   1.00000  90.00000  90.00000  90.00000\n",
       error("041", "Invalid input:  lattice vector components" + ten_columns)},
      {"unit-cell vector component 10000", head("2") + "0.001 0.001 0.001 90 90 90\n10000 0 0\n0 1 0\n0 0 1\n", 1,
       "   0.00000   0.00000   1.00000\n", error("041", "Invalid input:  unit-cell vector components" + ten_columns)},
      {"coordinate -1000.5 of atom 2", cubic_atoms("1 2", "0 0 0\n-1000.5 0 0\n"), 1,
       "   2**********   0.00000   0.00000\n", error("041", "Invalid input:  coordinates of atom 2" + ten_columns)},
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
      {"symmetry.dat: -0/ for -0.5 in h02", kOneAtom, 1, "",
       h02 + "matrix is not orthogonal with determinant +1 or -1\n",
       [](Lines& l) { l[97].replace(0, 4, "-0/ "); }},
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
  // /dev/zero grew without bound). A number is read whole or not at all: 0.48.2 was read as
  // 0.48, and a slash ended the read of 0 0 1/4, leaving z = 1 (graphite came out as P3m1 at rms
  // 0). An input that ends early names the answer that the read still expected.
  struct Unhandled {
    const char* what;
    std::string input;
    std::string err;
    bool zero_symmetry = false;
    std::function<void(Lines&)> doctor = nullptr;
    bool little_memory = false;  // the run stays far below the memory of its atom count
  };
  const std::string io_error = "? Input/Output Error:\n";
  const std::string read5 = "? READ(UNIT=5,...\n";
  const auto ended = [&](const std::string& after, const std::string& awaited) {
    return io_error + "? Attempt to read past end of file\n" + read5 + "? Standard input " + after +
           "; expected: " + awaited + "\n";
  };
  const auto after = [](int line) { return "ends after line " + std::to_string(line); };
  const std::string graphite = head("2") + "2.464 2.464 6.711 90 90 120\n" + kIdentityCell +
                               "4\n1 1 1 1\n0 0 1/4\n0 0 0.75\n0.333333 0.666667 0.25\n0.666667 0.333333 0.75\n";
  DataDir probe;
  const Unhandled unhandled[] = {
      {"BaTiO3 with z typed 0.48.2", batio3({{13, "0.500000 0.500000 0.48.2"}}),
       io_error + "? Illegal character in numeric input\n" + read5 +
           "? Line 13 of standard input: 0.500000 0.500000 0.48.2\n"},
      {"graphite with z typed 1/4", graphite,
       io_error + "? Fraction in numeric input: write the value as a decimal number (0.25, not 1/4)\n" + read5 +
           "? Line 12 of standard input: 0 0 1/4\n"},
      // The input cut after each answer of the BaTiO3 example (form 2), and within the lattice
      // vectors of form 1 and the types.
      {"empty input", "", ended("is empty", "the title")},
      {"only a title", "only a title\n", ended(after(1), "the scope (1, 2, 3 or 4)")},
      {"ends after the scope", batio3({}, 2), ended(after(2), "the displacement tolerances DMAX and DMIN")},
      {"ends within the tolerances", batio3({{3, "0.01"}}, 3), ended(after(3), "the displacement tolerances DMAX and DMIN")},
      {"ends after the displacements", batio3({}, 3), ended(after(3), "the strain tolerances SMAX and SMIN")},
      {"ends after the strains", batio3({}, 4), ended(after(4), "the form of the lattice parameters (1 or 2)")},
      {"ends after the form", batio3({}, 5), ended(after(5), "the lattice parameters a, b, c, alpha, beta, gamma")},
      {"ends after the parameters", batio3({}, 6), ended(after(6), "unit-cell vector 1 of 3")},
      {"ends after two cell vectors", batio3({}, 8), ended(after(8), "unit-cell vector 3 of 3")},
      {"ends after the cell", batio3({}, 9), ended(after(9), "the number of atoms")},
      {"ends after the count", batio3({}, 10), ended(after(10), "the types of the 5 atoms")},
      {"ends within the types", batio3({{11, "1 2 3"}}, 11), ended(after(11), "the types of the 5 atoms")},
      {"ends after two positions", batio3({}, 13), ended(after(13), "the position of atom 3 of 5")},
      {"ends before the last position", batio3({}, 15), ended(after(15), "the position of atom 5 of 5")},
      {"form 1, ends after vector a", head("1") + "1 0 0\n", ended(after(6), "the cartesian components of lattice vector b")},
      // A count of a million atoms typed into the 5-atom example: the per-atom tables (about
      // 800 MB) were made and zeroed before the first type was read.
      {"a million atoms, the types end", batio3({{10, "1000000"}}, 11),
       ended(after(11), "the types of the 1000000 atoms"), false, nullptr, true},
      {"a million atoms of one type, the positions end", batio3({{10, "1000000"}, {11, "1000000*1"}}),
       ended(after(16), "the position of atom 6 of 1000000"), false, nullptr, true},
      {"tolerance not a number", "t\n1\n0.1 O.01\n",
       "? Input/Output Error:\n? Illegal character in numeric input\n? READ(UNIT=5,...\n"
       "? Line 3 of standard input: 0.1 O.01\n"},
      {"tolerance as a fraction", "t\n1\n0.1 1/100\n",
       "? Input/Output Error:\n? Fraction in numeric input: write the value as a decimal number (0.25, not 1/4)\n"
       "? READ(UNIT=5,...\n? Line 3 of standard input: 0.1 1/100\n"},
      {"symmetry.dat: -0/5 for -0.5 in h02", kOneAtom,
       "? Input/Output Error:\n? Fraction in numeric input: write the value as a decimal number (0.25, not 1/4)\n"
       "? READ(UNIT=51,...\n? File: " + probe.slash() + "symmetry.dat\n"
       "? Line 98: -0/5 0.8660254037844386 0 -0.8660254037844386 -0.5 0 0 0 1\n",
       false, [](Lines& l) { l[97].replace(0, 4, "-0/5"); }},
      {"symmetry.dat a link to /dev/zero", kOneAtom,
       "? Input/Output Error:\n? Input line too long (more than 1048576 characters)\n? READ(UNIT=51,...\n? File: " +
           probe.slash() + "symmetry.dat\n? Line 1\n",
       true},
  };
  for (const Unhandled& c : unhandled) {
    SCOPED_TRACE(c.what);
    sgl::testing::TempDir work;
    if (c.doctor) {
      Lines lines = probe.symmetry_lines();
      c.doctor(lines);
      probe.write_symmetry(lines);
    }
    if (c.zero_symmetry) {
      std::filesystem::remove(probe.file("symmetry.dat"));
      std::filesystem::create_symlink("/dev/zero", probe.file("symmetry.dat"));
    }
    const Outcome r = run_cellsieve(c.input, probe.slash(), work.path());
    EXPECT_EQ(r.status, 255) << r.out;
    EXPECT_EQ(r.err, c.err);
    if (c.little_memory) {
      // The largest peak of the children so far: every earlier run is small, so a large value is
      // this run's.
      rusage usage{};
      ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
      EXPECT_LT(usage.ru_maxrss, 256L * 1024) << "peak resident kilobytes";
    }
  }
}

}  // namespace
}  // namespace cellsieve
