// The program vibrex as a process: start-up, structure input, k lines and their headers, the
// closing lines, and the ways a run stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/table_files.hpp"
#include "tests/text_io_child.hpp"
#include "tests/vibrex/loaded_fixture.hpp"
#include "tests/vibrex/mode_table_fixture.hpp"

namespace vibrex {
namespace {

using text_io_test::ChildOptions;
using text_io_test::ChildResult;

// A directory holding the standard fixture's files, written once per test process.
const std::string& fixture_dir() {
  static sgl::testing::TempDir dir;
  static const bool written = [] {
    testing::standard_fixture().write(dir.path());
    return true;
  }();
  static_cast<void>(written);
  static const std::string slash = dir.slash();
  return slash;
}

ChildResult run_vibrex(const std::string& input, const std::string& xtaldir = fixture_dir()) {
  ChildOptions options;
  options.input = input;
  options.environment = {"XTALDIR=" + xtaldir};
  return text_io_test::run_child({std::string(SGL_BIN_DIR) + "/vibrex"}, options);
}

std::string pad78(const std::string& s) { return s + std::string(78 - s.size(), ' '); }

// The output without the irrep blocks of the analysis (each from its asterisk line up to the next
// asterisk line): the lines this driver writes itself.
std::string headers_only(const std::string& out) {
  const std::string stars = std::string(47, '*') + "\n";
  std::string kept;
  std::size_t at = 0;
  while (at < out.size()) {
    const std::size_t end = out.find('\n', at);
    const std::size_t next = end == std::string::npos ? out.size() : end + 1;
    if (out.compare(at, stars.size(), stars) == 0 && out.compare(next, 6, "Irrep ") == 0) {
      const std::size_t block_end = out.find(stars, next);
      at = block_end == std::string::npos ? out.size() : block_end;
      continue;
    }
    kept.append(out, at, next - at);
    at = next;
  }
  return kept;
}
std::string kStarsLine() { return std::string(47, '*') + "\n"; }
// The asterisk line and a k-vector line, 50 characters wide.
std::string kline(const std::string& s) { return kStarsLine() + s + std::string(50 - s.size(), ' ') + "\n"; }

const std::string kBanner =
    "VIBREX, version 1.2.4, January 1999\n"
    "Irreducible representations of atomic displacements at k vectors\n"
    "Group-theory tables of images, irreps, little groups and isotropy subgroups\n";
const std::string kStars = "***********************************************\n";

// The structure part of the standard input, and its report.
const std::string kStructure =
    "Fixture structure in P-1\n"
    "2\n"
    "3.0 4.0 5.0 90 95 100\n"
    "2\n"
    "Si 1a\n"
    "O  2i 0.1 -0.2 0.3\n";
const std::string kStructureReport = kBanner + pad78("Fixture structure in P-1") + "\n" +
                                     "Space Group:\n"
                                     "  2 P-1       \n"
                                     "Lattice Parameters (a,b,c,alpha,beta,gamma)\n"
                                     "   3.00000   4.00000   5.00000  90.00000  95.00000 100.00000\n"
                                     "Wyckoff position of each type of atom\n" +
                                     pad78("Si 1a") + "\n" + pad78("O  2i 0.1 -0.2 0.3") + "\n";

TEST(Driver, WholeOutput) {
  const ChildResult r = run_vibrex(kStructure + "4\nGM\nX\nGP 1/2 1/3 1/4\nGP -1/8 3 1/-3\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(headers_only(r.out), kStructureReport + kline("k vector GM = (0,0,0)") + kline("k vector X = (1/2,0,0)") +
                       kline("k vector GP = (1/2,1/3,1/4)") + kline("k vector GP = (-1/8,3,-1/3)") + kStars +
                       "End of output\n");
}

TEST(Driver, NoKVectors) {
  for (const char* nk : {"0\n", "-2\n"}) {
    const ChildResult r = run_vibrex(kStructure + nk);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kStructureReport + kStars + "End of output\n");
  }
}

TEST(Driver, EquivalentParameterSpellings) {
  const ChildResult r = run_vibrex(kStructure + "3\nGP 1/2 1/3 -1/5\nGP 2/4 2/6 1/-5\nGP 3 -1/2 4/20\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(headers_only(r.out), kStructureReport + kline("k vector GP = (1/2,1/3,-1/5)") + kline("k vector GP = (1/2,1/3,-1/5)") +
                       kline("k vector GP = (3,-1/2,1/5)") + kStars + "End of output\n");
}

}  // namespace
}  // namespace vibrex

namespace vibrex {
namespace {

// The last n lines of a text (each with its line feed).
std::string tail(const std::string& text, int n) {
  std::size_t at = text.size();
  for (int i = 0; i < n && at > 0; ++i) {
    const std::size_t nl = at >= 2 ? text.rfind('\n', at - 2) : std::string::npos;
    at = nl == std::string::npos ? 0 : nl + 1;
  }
  return text.substr(at);
}

const std::string kBombed = "This program has bombed\nexit\n";

std::string structure_with(const std::string& isg, const std::string& cell, const std::string& atoms) {
  return "Fixture structure\n" + isg + "\n" + cell + "\n" + atoms;
}

struct BadInput {
  const char* what;
  std::string input;
  std::string out_tail;  // the last lines of standard output
  std::string err;       // standard error; "?" for the diagnostic of an unhandled failure
  int status;
};
void PrintTo(const BadInput& b, std::ostream* os) { *os << b.what; }

class DriverBadInputs : public ::testing::TestWithParam<BadInput> {};

TEST_P(DriverBadInputs, StopsWithItsMessage) {
  const BadInput& b = GetParam();
  const ChildResult r = run_vibrex(b.input);
  EXPECT_EQ(r.status, b.status);
  if (b.err == "?") {
    EXPECT_EQ(r.err.substr(0, 2), "? ") << r.err;
  } else {
    EXPECT_EQ(r.err, b.err);
  }
  const int lines = static_cast<int>(std::count(b.out_tail.begin(), b.out_tail.end(), '\n'));
  EXPECT_EQ(tail(headers_only(r.out), lines), b.out_tail) << r.out;
}

const std::string kCell = "3.0 4.0 5.0 90 95 100";
const std::string kCellLine = "   3.00000   4.00000   5.00000  90.00000  95.00000 100.00000\n";
std::string stop(const std::string& text) { return " STOP " + text + "\n"; }
// The diagnostic of a read that failed: its message, the unit read ("5" or "INTERNAL" for a word
// of a line) and the line that names the place.
std::string read_failure(const std::string& message, const std::string& unit, const std::string& place) {
  return "? Input/Output Error:\n? " + message + "\n? READ(UNIT=" + unit + ",...\n? " + place + "\n";
}
std::string input_ends(const std::string& place) {
  return read_failure("Attempt to read past end of file", "5", place);
}
std::string word_unreadable(const std::string& line_number, const std::string& line,
                            const std::string& message = "Illegal character in numeric input") {
  return read_failure(message, "INTERNAL", "Line " + line_number + " of standard input: " + line);
}
// A structure whose k vectors are analysed on a superlattice of 64 cells along a of 160 A.
const std::string kLongCell = "160 4.0 5.0 90 95 100";

INSTANTIATE_TEST_SUITE_P(
    Driver, DriverBadInputs,
    ::testing::Values(
        BadInput{"space group 0", structure_with("0", kCell, ""), pad78("Fixture structure") + "\n",
                 stop("Error:  invalid space group 0"), 1},
        BadInput{"space group 231", structure_with("231", kCell, ""), pad78("Fixture structure") + "\n",
                 stop("Error:  invalid space group 231"), 1},
        // Careless inputs: nothing dropped silently, no empty report, every stop names its line.
        BadInput{"space group 221.7", structure_with("221.7", kCell, ""), pad78("Fixture structure") + "\n",
                 "? Input/Output Error:\n? Illegal character in numeric input\n? READ(UNIT=5,...\n"
                 "? Line 2 of standard input: 221.7\n",
                 255},
        BadInput{"no atoms", structure_with("2", kCell, "0\n1\nGM\n"), kCellLine,
                 stop("Error:  no atoms: the number of atom types is 0"), 1},
        BadInput{"negative atom count", structure_with("2", kCell, "-3\n"), kCellLine,
                 stop("Error:  no atoms: the number of atom types is -3"), 1},
        BadInput{"rhombohedral group in hexagonal axes", structure_with("166", "4.386 4.386 30.497 90 90 120", "2\n"),
                 "   4.38600   4.38600  30.49700  90.00000  90.00000 120.00000\n",
                 stop("Error:  lattice parameters do not fit space group 166 (rhombohedral axes: a = b = c, alpha = "
                      "beta = gamma; from hexagonal axes aH, cH: a = sqrt(aH^2/3 + cH^2/9), sin(alpha/2) = 3 aH / (2 "
                      "sqrt(3 aH^2 + cH^2)); these hexagonal axes give a = 10.47631, alpha = 24.16611)"),
                 1},
        BadInput{"tetragonal cell with a and b unequal", structure_with("99", "4 4.1 5 90 90 90", "1\n"),
                 "   4.00000   4.10000   5.00000  90.00000  90.00000  90.00000\n",
                 stop("Error:  lattice parameters do not fit space group 99 (tetragonal: a = b, alpha = beta = gamma = 90)"),
                 1},
        BadInput{"monoclinic cell with gamma 100", structure_with("14", kCell, "1\n"), kCellLine,
                 stop("Error:  lattice parameters do not fit space group 14 (monoclinic, unique axis b: alpha = gamma = 90)"),
                 1},
        BadInput{"length 10000", structure_with("221", "10000 10000 10000 90 90 90", "1\n"),
                 "******************************  90.00000  90.00000  90.00000\n",
                 stop("Error:  invalid lattice parameter a: a length must be below 10000"), 1},
        BadInput{"atom line aligned by tabs", structure_with("2", kCell, "1\nO\t\t\t\t\t\t\t\t\t\t2i\n"), pad78("O") + "\n",
                 stop("Error:  text beyond column 78 (after tabs are expanded) on line: O" + std::string(79, ' ') + "2i"), 1},
        BadInput{"k parameter past column 78", kStructure + "1\nGP 1/2 1/3" + std::string(69, ' ') + "1/5\n",
                 pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 stop("Error:  text beyond column 78 (after tabs are expanded) on line: GP 1/2 1/3" + std::string(69, ' ') +
                      "1/5"),
                 1},
        BadInput{"Wyckoff letter without multiplicity", structure_with("2", kCell, "1\nO i 0.1 0.2 0.3\n"),
                 pad78("O i 0.1 0.2 0.3") + "\n",
                 stop("Error:  Wyckoff position not in data base: write i as 2i (multiplicity and letter)"), 1},
        BadInput{"no cell", structure_with("2", "1 1 1 120 120 120", "0\n"),
                 "   1.00000   1.00000   1.00000 120.00000 120.00000 120.00000\n",
                 stop("Error: invalid lattice parameters"), 1},
        BadInput{"21 atom types", structure_with("2", kCell, "21\n"), kCellLine,
                 stop("Error:  too many atom types: 21 (at most 20)"), 1},
        // A typed count is no allocation: the count of atom types is refused at once, that of k
        // lines only bounds the loop, which meets the end of the input.
        BadInput{"atom count 10000000", structure_with("2", kCell, "10000000\nSi 1a\n"), kCellLine,
                 stop("Error:  too many atom types: 10000000 (at most 20)"), 1},
        BadInput{"k count 10000000", kStructure + "10000000\nGM\n", kline("k vector GM = (0,0,0)"),
                 input_ends("Standard input ends after line 8; expected: k line 2 of 10000000"), 255},
        BadInput{"k count beyond 32 bits", kStructure + "2147483648\nGM\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 read_failure("Integer out of range in numeric input", "5", "Line 7 of standard input: 2147483648"),
                 255},
        BadInput{"atom line of one word", structure_with("2", kCell, "1\nSi\n"), pad78("Si") + "\n",
                 stop("Error:  insufficient input on line: Si (atom line 1 of 1 needs a name and a Wyckoff label)"), 1},
        BadInput{"blank atom line", structure_with("2", kCell, "2\nSi 1a\n\n"), pad78("") + "\n",
                 stop("Error:  insufficient input on line: a blank line (atom line 2 of 2 needs a name and a Wyckoff "
                      "label)"),
                 1},
        BadInput{"label in the wrong case", structure_with("2", kCell, "1\nSi 1A\n"), pad78("Si 1A") + "\n",
                 stop("Error:  Wyckoff position not in data base"), 1},
        BadInput{"label with a suffix", structure_with("2", kCell, "1\nSi 1a1\n"), pad78("Si 1a1") + "\n",
                 stop("Error:  Wyckoff position not in data base"), 1},
        BadInput{"fraction as a Wyckoff parameter", structure_with("2", kCell, "1\nO 2i 1/2 0 0\n"),
                 pad78("O 2i 1/2 0 0") + "\n", stop("Error:  invalid Wyckoff parameter"), 1},
        BadInput{"repeat count as a Wyckoff parameter", structure_with("2", kCell, "1\nO 2i 2*0.3\n"),
                 pad78("O 2i 2*0.3") + "\n", stop("Error:  invalid Wyckoff parameter"), 1},
        BadInput{"two values in one word", structure_with("2", kCell, "1\nO 2i 0.1,0.2\n"),
                 pad78("O 2i 0.1,0.2") + "\n", stop("Error:  invalid Wyckoff parameter"), 1},
        BadInput{"not a number", structure_with("2", kCell, "1\nO 2i 0.1 nan\n"), pad78("O 2i 0.1 nan") + "\n",
                 stop("Error:  invalid Wyckoff parameter"), 1},
        BadInput{"infinite", structure_with("2", kCell, "1\nO 2i 0.1 0.2 -inf\n"), pad78("O 2i 0.1 0.2 -inf") + "\n",
                 stop("Error:  invalid Wyckoff parameter"), 1},
        // A word of an atom or k line that is no number names its line.
        BadInput{"unreadable Wyckoff parameter", structure_with("2", kCell, "1\nO 2i 0.1 abc\n"),
                 pad78("O 2i 0.1 abc") + "\n", word_unreadable("5", "O 2i 0.1 abc"), 255},
        BadInput{"Wyckoff parameter with a letter after it", structure_with("2", kCell, "1\nO 2i 0 0 0.3Z\n"),
                 pad78("O 2i 0 0 0.3Z") + "\n", word_unreadable("5", "O 2i 0 0 0.3Z"), 255},
        BadInput{"hexadecimal Wyckoff parameter", structure_with("2", kCell, "1\nO 2i 0x10\n"),
                 pad78("O 2i 0x10") + "\n", word_unreadable("5", "O 2i 0x10"), 255},
        BadInput{"Wyckoff parameter beyond single precision", structure_with("2", kCell, "1\nO 2i 0.1 1e39\n"),
                 pad78("O 2i 0.1 1e39") + "\n",
                 word_unreadable("5", "O 2i 0.1 1e39", "Real out of range in numeric input"), 255},
        // Numbers read in part would place the atom elsewhere.
        BadInput{"two decimal points in a Wyckoff parameter", structure_with("2", kCell, "1\nO 2i 0.30.48\n"),
                 pad78("O 2i 0.30.48") + "\n", word_unreadable("5", "O 2i 0.30.48"), 255},
        BadInput{"a difference as a Wyckoff parameter", structure_with("2", kCell, "1\nO 2i 0 0 0.5-0.1\n"),
                 pad78("O 2i 0 0 0.5-0.1") + "\n", word_unreadable("5", "O 2i 0 0 0.5-0.1"), 255},
        // A number in a place whose coordinate the position fixes must be 0 or that coordinate,
        // in the setting the input uses (I4_1/amd, origin choice 2: 8e is (0,1/4,z)); anything
        // else is a parameter in the wrong place.
        BadInput{"parameter of a (0,1/4,z) position in the x place",
                 structure_with("141", "3.785 3.785 9.514 90 90 90", "2\nTi 4a\nO 8e 0.0831\n"),
                 pad78("O 8e 0.0831") + "\n",
                 stop("Error:  8e is (0,1/4,z): give z as the third number, on line: O 8e 0.0831"), 1},
        BadInput{"two parameters for an (x,x,0) position",
                 structure_with("136", "4.594 4.594 2.959 90 90 90", "2\nTi 2a\nO 4f 0.3048 0.31\n"),
                 pad78("O 4f 0.3048 0.31") + "\n",
                 stop("Error:  4f is (x,x,0): give x as the first number, on line: O 4f 0.3048 0.31"), 1},
        BadInput{"coordinate of a position without parameters mistyped",
                 structure_with("221", "3.905 3.905 3.905 90 90 90", "1\nSr 1b 0.5 0.5 0.4\n"),
                 pad78("Sr 1b 0.5 0.5 0.4") + "\n",
                 stop("Error:  1b is (1/2,1/2,1/2): it has no free parameters, on line: Sr 1b 0.5 0.5 0.4"), 1},
        // The end of the input names what each read awaited.
        BadInput{"empty input", "", "Group-theory tables of images, irreps, little groups and isotropy subgroups\n",
                 input_ends("Standard input is empty; expected: the title"), 255},
        BadInput{"only a title", "Fixture structure\n", pad78("Fixture structure") + "\n",
                 input_ends("Standard input ends after line 1; expected: the space group number"), 255},
        BadInput{"three lattice parameters", "Fixture structure\n2\n3.0 4.0 5.0\n", "  2 P-1       \n",
                 input_ends("Standard input ends after line 3; expected: the lattice parameters a b c alpha beta "
                            "gamma"),
                 255},
        BadInput{"end of input before the atom count", structure_with("2", kCell, ""), kCellLine,
                 input_ends("Standard input ends after line 3; expected: the number of atom types"), 255},
        BadInput{"end of input among the atom lines", structure_with("2", kCell, "3\nSi 1a\n"), pad78("Si 1a") + "\n",
                 input_ends("Standard input ends after line 5; expected: atom line 2 of 3"), 255},
        BadInput{"end of input before the k count", structure_with("2", kCell, "1\nSi 1a\n"), pad78("Si 1a") + "\n",
                 input_ends("Standard input ends after line 5; expected: the number of k vectors"), 255},
        BadInput{"blank k line", kStructure + "1\n\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 stop("Error:  insufficient input on line: a blank line (k line 1 of 1 needs a k-vector label)"), 1},
        BadInput{"unknown k label", kStructure + "1\nQ\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 stop("Error:  k vector not in data base: Q, on line: Q"), 1},
        BadInput{"unknown k label as the second of three k lines", kStructure + "3\nGM\nQ 1/4\nX\n",
                 kline("k vector GM = (0,0,0)"), stop("Error:  k vector not in data base: Q, on line: Q 1/4"), 1},
        BadInput{"k label in the wrong case", kStructure + "1\ngm\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 stop("Error:  k vector not in data base: gm, on line: gm"), 1},
        BadInput{"k vector without irreps in the group", structure_with("1", kCell, "1\nSi 1a\n1\nGM\n"),
                 pad78("Si 1a") + "\n", stop("Error:  k vector not in data base: GM, on line: GM"), 1},
        BadInput{"missing parameters", kStructure + "1\nGP 1/2 1/3\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 stop("Error:  missing k-vector parameters: GP takes 3, on line: GP 1/2 1/3"), 1},
        BadInput{"special point of P-1", kStructure + "2\nGP 1/3 1/4 1/5\nGP 1/2 0 0\n",
                 kline("k vector GP = (1/3,1/4,1/5)"), stop("Error:  k vector parameters give a special point"), 1},
        BadInput{"special point of P1", structure_with("1", kCell, "1\nSi 1a\n1\nGP 1/2 0 0\n"), pad78("Si 1a") + "\n",
                 stop("Error:  k vector parameters give a special point"), 1},
        BadInput{"k vector of 65 cells", kStructure + "1\nGP 1/65 0 0\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 stop("Error:  k vector needs a superlattice of more than 64 cells"), 1},
        BadInput{"65 cells written 2/-130", kStructure + "1\nGP 0 2/-130 0\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 stop("Error:  k vector needs a superlattice of more than 64 cells"), 1},
        BadInput{"390 cells from small denominators", kStructure + "1\nGP 1/2 1/3 1/65\n",
                 pad78("O  2i 0.1 -0.2 0.3") + "\n", stop("Error:  k vector needs a superlattice of more than 64 cells"),
                 1},
        BadInput{"denominators whose product overflows 32 bits", kStructure + "1\nGP 1/100000 1/100003 -1/100019\n",
                 pad78("O  2i 0.1 -0.2 0.3") + "\n", stop("Error:  k vector needs a superlattice of more than 64 cells"),
                 1},
        BadInput{"72 cells on the second k line", kStructure + "2\nGP 1/3 1/4 1/5\nGP 1/8 1/8 1/9\n",
                 kline("k vector GP = (1/3,1/4,1/5)"),
                 stop("Error:  k vector needs a superlattice of more than 64 cells"), 1},
        BadInput{"zero denominator", kStructure + "1\nGP 1/0 1/3 1/4\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 stop("Error:  k-vector parameter 1/0 has a zero denominator"), 1},
        BadInput{"zero denominator written 0/0", kStructure + "1\nGP 1/3 1/4 0/0\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 stop("Error:  k-vector parameter 0/0 has a zero denominator"), 1},
        BadInput{"k parameter 2147483647", kStructure + "1\nGP 2147483647 1/3 1/4\n",
                 pad78("O  2i 0.1 -0.2 0.3") + "\n", stop("Error:  k-vector parameter 2147483647 out of range -10 to 10"),
                 1},
        BadInput{"k parameter -2147483648", kStructure + "1\nGP 1/3 -2147483648 1/4\n",
                 pad78("O  2i 0.1 -0.2 0.3") + "\n", stop("Error:  k-vector parameter -2147483648 out of range -10 to 10"),
                 1},
        BadInput{"k parameter just above 10", kStructure + "1\nGP 1/3 1/4 -41/4\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 stop("Error:  k-vector parameter -41/4 out of range -10 to 10"), 1},
        BadInput{"k parameter large over a negative denominator", kStructure + "1\nGP 100000001/-4 1/3 1/4\n",
                 pad78("O  2i 0.1 -0.2 0.3") + "\n", stop("Error:  k-vector parameter 100000001/-4 out of range -10 to 10"),
                 1},
        BadInput{"repeat count as a k parameter", kStructure + "1\nGP 2*3 1/3 1/4\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 stop("Error:  invalid k-vector parameter 2*3"), 1},
        BadInput{"two values in one k word", kStructure + "1\nGP 1/2,3 1/3 1/4\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 stop("Error:  invalid k-vector parameter 1/2,3"), 1},
        BadInput{"two slashes", kStructure + "1\nGP 1/2/3 1/3 1/4\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 stop("Error:  invalid k-vector parameter 1/2/3"), 1},
        BadInput{"k word longer than 20 characters", kStructure + "1\nGP 1/3 1/4 2000000000/4000000001\n",
                 pad78("O  2i 0.1 -0.2 0.3") + "\n", stop("Error:  invalid k-vector parameter 2000000000/400000000..."),
                 1},
        BadInput{"Wyckoff parameter 2147483648", structure_with("2", kCell, "1\nO 2i 0.1 2147483648\n"),
                 pad78("O 2i 0.1 2147483648") + "\n", stop("Error:  Wyckoff parameter 2147483648 out of range -10 to 10"),
                 1},
        BadInput{"Wyckoff parameter just below -10", structure_with("2", kCell, "1\nO 2i 0.1 0.2 -10.001\n"),
                 pad78("O 2i 0.1 0.2 -10.001") + "\n", stop("Error:  Wyckoff parameter -10.001 out of range -10 to 10"),
                 1},
        BadInput{"Wyckoff word longer than 20 characters", structure_with("2", kCell, "1\nO 2i 0.000000000000000000035e19\n"),
                 pad78("O 2i 0.000000000000000000035e19") + "\n", stop("Error:  invalid Wyckoff parameter"), 1},
        BadInput{"one atom line twice", structure_with("2", kCell, "2\nSi 1a\nSi 1a\n"), pad78("Si 1a") + "\n",
                 stop("Error:  two atoms at the same point: Si 1a and Si 1a"), 1},
        BadInput{"general position on an inversion centre", structure_with("2", kCell, "1\nO 2i 0.5 0 0.5\n"),
                 pad78("O 2i 0.5 0 0.5") + "\n", stop("Error:  two atoms at the same point: O 2i and O 2i"), 1},
        BadInput{"an orbit on another type's point", structure_with("2", kCell, "2\nSi 1a\nO 2i 0 0.0004 1\n"),
                 pad78("O 2i 0 0.0004 1") + "\n", stop("Error:  two atoms at the same point: Si 1a and O 2i"), 1},
        BadInput{"lattice length inf", structure_with("2", "inf 4.0 5.0 90 95 100", "0\n"),
                 "       INF   4.00000   5.00000  90.00000  95.00000 100.00000\n",
                 stop("Error:  invalid lattice parameter a: a length must be positive and finite"), 1},
        BadInput{"lattice length NaN", structure_with("2", "3.0 nan 5.0 90 95 100", "0\n"),
                 "   3.00000       NaN   5.00000  90.00000  95.00000 100.00000\n",
                 stop("Error:  invalid lattice parameter b: a length must be positive and finite"), 1},
        BadInput{"lattice length 0", structure_with("2", "3.0 4.0 0 90 95 100", "0\n"),
                 "   3.00000   4.00000   0.00000  90.00000  95.00000 100.00000\n",
                 stop("Error:  invalid lattice parameter c: a length must be positive and finite"), 1},
        BadInput{"lattice length negative", structure_with("2", "-3.0 4.0 5.0 90 95 100", "0\n"),
                 "  -3.00000   4.00000   5.00000  90.00000  95.00000 100.00000\n",
                 stop("Error:  invalid lattice parameter a: a length must be positive and finite"), 1},
        BadInput{"lattice length -inf", structure_with("2", "3.0 -inf 5.0 90 95 100", "0\n"),
                 "   3.00000      -INF   5.00000  90.00000  95.00000 100.00000\n",
                 stop("Error:  invalid lattice parameter b: a length must be positive and finite"), 1},
        BadInput{"angle 0", structure_with("2", "3.0 4.0 5.0 0 95 100", "0\n"),
                 "   3.00000   4.00000   5.00000   0.00000  95.00000 100.00000\n",
                 stop("Error:  invalid lattice parameter alpha: an angle must lie between 0 and 180 degrees"), 1},
        BadInput{"angle 180", structure_with("2", "3.0 4.0 5.0 90 180 100", "0\n"),
                 "   3.00000   4.00000   5.00000  90.00000 180.00000 100.00000\n",
                 stop("Error:  invalid lattice parameter beta: an angle must lie between 0 and 180 degrees"), 1},
        BadInput{"angle -90", structure_with("2", "3.0 4.0 5.0 90 95 -90", "0\n"),
                 "   3.00000   4.00000   5.00000  90.00000  95.00000 -90.00000\n",
                 stop("Error:  invalid lattice parameter gamma: an angle must lie between 0 and 180 degrees"), 1},
        BadInput{"angle 1e30", structure_with("2", "3.0 4.0 5.0 90 95 1e30", "0\n"),
                 "   3.00000   4.00000   5.00000  90.00000  95.00000**********\n",
                 stop("Error:  invalid lattice parameter gamma: an angle must lie between 0 and 180 degrees"), 1},
        BadInput{"angle NaN", structure_with("2", "3.0 4.0 5.0 nan 95 100", "0\n"),
                 "   3.00000   4.00000   5.00000       NaN  95.00000 100.00000\n",
                 stop("Error:  invalid lattice parameter alpha: an angle must lie between 0 and 180 degrees"), 1},
        BadInput{"angles that do not close a cell", structure_with("2", "3 4 5 10 10 150", "0\n"),
                 "   3.00000   4.00000   5.00000  10.00000  10.00000 150.00000\n",
                 stop("Error: invalid lattice parameters"), 1},
        BadInput{"decimal k parameter", kStructure + "1\nGP 0.5 1/3 1/4\n", pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 word_unreadable("8", "GP 0.5 1/3 1/4"), 255},
        BadInput{"decimal k parameter on the second k line", kStructure + "2\nGM\nGP 1/2 0.25 1/4\n",
                 kline("k vector GM = (0,0,0)"), word_unreadable("9", "GP 1/2 0.25 1/4"), 255},
        BadInput{"k parameter without its denominator", kStructure + "1\nGP 1/3 1/ 1/4\n",
                 pad78("O  2i 0.1 -0.2 0.3") + "\n",
                 read_failure("Attempt to read past end of file", "INTERNAL", "Line 8 of standard input: GP 1/3 1/ 1/4") +
                     "? Expected: k-vector parameter 2 as an integer n or a fraction n/d\n",
                 255},
        BadInput{"end of input among the k lines", kStructure + "2\nGP 1/3 1/4 1/5\n",
                 kline("k vector GP = (1/3,1/4,1/5)"),
                 input_ends("Standard input ends after line 8; expected: k line 2 of 2"), 255},
        // The superlattice vectors and atom positions are written as f10.5 (-999.99999 to
        // 9999.99999): a supercell beyond is refused, not written as asterisks. A k vector with
        // parameters is refused before its header, on the superlattice of k.
        BadInput{"superlattice of 64 cells of 160 A", structure_with("2", kLongCell, "1\nSi 1a\n1\nGP 1/64 0 0\n"),
                 pad78("Si 1a") + "\n",
                 stop("Error:  supercell too large for the report: a superlattice vector component of 10240.00000, "
                      "beyond the -999.99999 to 9999.99999 of its columns, on line: GP 1/64 0 0"),
                 1},
        BadInput{"superlattice of exactly 10000 A", structure_with("2", "156.25 4.0 5.0 90 95 100", "1\nSi 1a\n1\nGP 1/64 0 0\n"),
                 pad78("Si 1a") + "\n",
                 stop("Error:  supercell too large for the report: a superlattice vector component of 10000.00000, "
                      "beyond the -999.99999 to 9999.99999 of its columns, on line: GP 1/64 0 0"),
                 1},
        // Vectors that fit with an atom whose position does not: refused with the irrep's block.
        BadInput{"atom position below -1000 A", structure_with("2", "2000 2000 2000 100 110 110", "1\nO 2i 0 0.9 0.9\n1\nGM\n"),
                 kline("k vector GM = (0,0,0)"),
                 stop("Error:  supercell too large for the report: an atom position component of -1231.27258, beyond "
                      "the -999.99999 to 9999.99999 of its columns, irrep GM1+, on line: GM"),
                 1}));

// A k vector whose reduced denominator is 64 or less passes the k line's superlattice bound and
// is analysed; numerators beyond the bound do not count.
TEST(Driver, SuperlatticeBoundAdmits64Cells) {
  for (const char* k : {"GP 1/4 1/16 1/64", "GP 65/64 0 0", "GP 2/128 -1/2 0"}) {
    SCOPED_TRACE(k);
    const ChildResult r = run_vibrex(kStructure + "1\n" + k + "\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("k vector GP = ("), std::string::npos) << r.out;
    EXPECT_EQ(tail(r.out, 2), kStars + "End of output\n");
  }
  // 64 cells of 156 A: a superlattice vector of 9984 A, which its column still holds.
  const ChildResult r = run_vibrex(structure_with("2", "156 4.0 5.0 90 95 100", "1\nSi 1a\n1\nGP 1/64 0 0\n"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("\n9984.00000   0.00000   0.00000\n"), std::string::npos) << r.out;
}

// Parameters up to 10 in magnitude are accepted: a k vector moved by a reciprocal lattice vector
// and an atom moved by a lattice vector give the same report but for the k-vector line and the
// atom line.
TEST(Driver, ParametersOfTenAreAccepted) {
  // Parameters exact in single precision, so that the moved atom folds back exactly.
  const ChildResult near = run_vibrex(structure_with("2", kCell, "1\nO 2i 0.125 -0.25 0.3\n1\nGP 0 0 1/3\n"));
  const ChildResult far = run_vibrex(structure_with("2", kCell, "1\nO 2i 9.125 -9.25 0.3\n1\nGP 10 -10 1/3\n"));
  EXPECT_EQ(far.status, 0);
  EXPECT_EQ(far.err, "");
  std::string expected = near.out;
  const auto swap = [&](const std::string& from, const std::string& to) {
    const std::size_t at = expected.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    expected.replace(at, from.size(), to);
  };
  swap(pad78("O 2i 0.125 -0.25 0.3"), pad78("O 2i 9.125 -9.25 0.3"));
  swap(kline("k vector GP = (0,0,1/3)"), kline("k vector GP = (10,-10,1/3)"));
  EXPECT_EQ(far.out, expected);
}

// Numbers in the places of coordinates that a position fixes are accepted when they are 0 or
// those coordinates (within 1e-4, modulo 1), and then change nothing: the report is that of the
// parameter alone but for the echoed atom line.
TEST(Driver, NumbersInFixedPlacesAreZeroOrTheCoordinate) {
  VIBREX_REQUIRE_MODE_TABLES();
  const std::string data = SGL_DATA_DIR;
  const std::string anatase = "Anatase\n141\n3.785 3.785 9.514 90 90 90\n2\nTi 4a\n";
  const ChildResult plain = run_vibrex(anatase + "O 8e 0 0 0.2083\n1\nGM\n", data);
  ASSERT_EQ(plain.status, 0);
  for (const char* line : {"O 8e 0 0.25 0.2083", "O 8e 1 -0.75 0.2083", "O 8e 0.00009 0.25009 0.2083"}) {
    SCOPED_TRACE(line);
    const ChildResult r = run_vibrex(anatase + line + "\n1\nGM\n", data);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::string expected = plain.out;
    const std::size_t at = expected.find(pad78("O 8e 0 0 0.2083"));
    ASSERT_NE(at, std::string::npos);
    expected.replace(at, 78, pad78(line));
    EXPECT_EQ(r.out, expected);
  }
  // Just beyond the tolerance the number is taken for a misplaced parameter.
  const ChildResult r = run_vibrex(anatase + "O 8e 0 0.2502 0.2083\n0\n", data);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, stop("Error:  8e is (0,1/4,z): give z as the third number, on line: O 8e 0 0.2502 0.2083"));
}

// Counts beyond the three columns of their field keep all their digits: garnet at V2 has a
// supercell of 1200 atoms and 2880 modes in one irrep. An atom number of four digits takes one
// blank of the gap after it, so the name and the coordinates stay in their columns; no field of
// the report is written as asterisks.
TEST(Driver, CountsBeyond999KeepTheirDigits) {
  VIBREX_REQUIRE_MODE_TABLES();
  const std::string garnet = testing::read_file(std::filesystem::path(SGL_SOURCE_DIR) / "examples/vibrex/garnet.in");
  const std::size_t structure_end = garnet.find("\n4\nGM\n");
  ASSERT_NE(structure_end, std::string::npos);
  const ChildResult r = run_vibrex(garnet.substr(0, structure_end + 1) + "1\nV2 1/6 1/5\n", SGL_DATA_DIR);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("\nTotal number of modes: 2880\n"), std::string::npos);
  EXPECT_NE(r.out.find("\n999   O    "), std::string::npos);
  EXPECT_NE(r.out.find("\n1000  O    "), std::string::npos);
  EXPECT_NE(r.out.find("\n1200  O    "), std::string::npos);
  EXPECT_EQ(r.out.find("\n1201 "), std::string::npos);
  std::size_t at = 0;
  while ((at = r.out.find('*', at)) != std::string::npos) {
    const std::size_t begin = r.out.rfind('\n', at) + 1;
    ASSERT_EQ(r.out.compare(begin, kStars.size(), kStars), 0) << r.out.substr(begin, 80);
    at = begin + kStars.size();
  }
}

TEST(Driver, WordsAfterTheFifthAreIgnored) {
  const ChildResult r = run_vibrex(structure_with("2", kCell, "1\nO 2i 0.1 0.2 0.3 0.4 junk\n0\n"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(tail(r.out, 3), pad78("O 2i 0.1 0.2 0.3 0.4 junk") + "\n" + kStars + "End of output\n");
}

// A copy of the fixture directory with one file changed.
class FixtureCopy {
 public:
  FixtureCopy() {
    for (const auto& entry : std::filesystem::directory_iterator(fixture_dir())) {
      std::filesystem::copy_file(entry.path(), dir_.path() / entry.path().filename());
    }
  }
  const sgl::testing::TempDir& dir() const { return dir_; }

 private:
  sgl::testing::TempDir dir_;
};

TEST(Driver, StartUpFailures) {
  {
    ChildOptions options;
    options.input = kStructure + "0\n";
    options.unset = {"XTALDIR"};
    const ChildResult r = text_io_test::run_child({std::string(SGL_BIN_DIR) + "/vibrex"}, options);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Error:  XTALDIR environment variable not defined\n" + kBombed);
  }
  {
    // Without its final "/" the directory runs into the file name.
    std::string dir = fixture_dir();
    dir.pop_back();
    const ChildResult r = run_vibrex(kStructure + "0\n", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, " Error: cannot open file " + dir + "data_space.bin\n" + kBombed);
  }
  {
    FixtureCopy copy;
    std::filesystem::remove(copy.dir().path() / "data_little.bin");
    const ChildResult r = run_vibrex(kStructure + "0\n", copy.dir().slash());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, " Error: cannot open file " + copy.dir().slash() + "data_little.bin\n" + kBombed);
  }
  for (const char* file : {"data_images.bin", "data_irreps.bin", "data_little.bin", "data_isotropy.bin"}) {
    SCOPED_TRACE(file);
    // One byte short: the record ends early; nothing is written, not even the banner.
    FixtureCopy copy;
    const auto path = copy.dir().path() / file;
    std::string bytes = testing::read_file(path);
    const int32_t n = static_cast<int32_t>(bytes.size()) - 9;
    bytes.erase(bytes.size() - 5, 1);
    std::memcpy(bytes.data(), &n, 4);
    std::memcpy(bytes.data() + bytes.size() - 4, &n, 4);
    std::ofstream(path, std::ios::binary) << bytes;
    const ChildResult r = run_vibrex(kStructure + "0\n", copy.dir().slash());
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.substr(0, 2), "? ");
  }
  {
    // A table entry that fails validation stops the run before the banner.
    FixtureCopy copy;
    testing::ModeFixture f = testing::standard_fixture();
    f.little.set("little_irrep_to_irrep", {1}, 0);
    testing::write_record(copy.dir().path() / "data_little.bin", f.little.bytes());
    const ChildResult r = run_vibrex(kStructure + "0\n", copy.dir().slash());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, " Error: invalid data table entry little_irrep_to_irrep(1) in " + copy.dir().slash() +
                         "data_little.bin\n" + kBombed);
  }
}

}  // namespace
}  // namespace vibrex

namespace vibrex {
namespace {

// The committed tables: SrTiO3 (Pm-3m) at the zone centre runs to the closing line; a k vector
// of the lattice at which the tables hold no irreps for the group is refused, not reported empty.
TEST(Driver, CommittedTables) {
  VIBREX_REQUIRE_MODE_TABLES();
  const std::string data = SGL_DATA_DIR;
  const std::string srtio3 = "SrTiO3\n221\n3.905 3.905 3.905 90 90 90\n3\nSr 1b\nTi 1a\nO 3d\n";
  const std::string report = kBanner + pad78("SrTiO3") + "\nSpace Group:\n221 Pm-3m     \n" +
                             "Lattice Parameters (a,b,c,alpha,beta,gamma)\n" +
                             "   3.90500   3.90500   3.90500  90.00000  90.00000  90.00000\n" +
                             "Wyckoff position of each type of atom\n" + pad78("Sr 1b") + "\n" + pad78("Ti 1a") +
                             "\n" + pad78("O 3d") + "\n";
  const ChildResult gm = run_vibrex(srtio3 + "1\nGM\n", data);
  EXPECT_EQ(gm.status, 0);
  EXPECT_EQ(gm.err, "");
  EXPECT_EQ(gm.out.substr(0, report.size()), report);
  EXPECT_NE(gm.out.find(kline("k vector GM = (0,0,0)")), std::string::npos) << gm.out;
  EXPECT_EQ(tail(gm.out, 2), kStars + "End of output\n");

  // The k vectors of cP without irreps of Pm-3m in the tables (none once they are complete).
  const std::unique_ptr<testing::LoadedTables> loaded = testing::load_directory(data);
  const Tables t = loaded->tables();
  const int32_t lattice = t.space.sg_bravais(221);
  for (int32_t j = 1; j <= t.little.kvec_count(lattice); ++j) {
    if (t.little.little_irrep_count(j, 221) != 0) continue;
    const int32_t npar = t.little.kvec_parameter_count(j, lattice);
    // Generic parameter values, so no special point is met first, with a small common
    // denominator, so the superlattice bound is not met first.
    const char* values[] = {" 1/7", " 2/7", " 3/7"};
    std::string line(t.little.kvec_label(j, lattice).trimmed());
    for (int32_t p = 0; p < npar; ++p) line += values[p];
    SCOPED_TRACE(line);
    const ChildResult r = run_vibrex(srtio3 + "1\n" + line + "\n", data);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, stop("Error:  k vector not in data base"));
    EXPECT_EQ(r.out, report);
  }

  // The superlattice bound belongs to the k line: DT 1/65 is refused before its header whether
  // or not the tables cover DT; DT 1/64 passes it and is then either analysed or, while the
  // tables hold no irreps at DT, refused as not covered, again before its header.
  const ChildResult dt65 = run_vibrex(srtio3 + "2\nGM\nDT 1/65\n", data);
  EXPECT_EQ(dt65.status, 1);
  EXPECT_EQ(dt65.err, stop("Error:  k vector needs a superlattice of more than 64 cells"));
  // The whole GM report, then nothing more: the closing lines are not written after a stop.
  const std::string closing = kStars + "End of output\n";
  EXPECT_EQ(dt65.out, gm.out.substr(0, gm.out.size() - closing.size()));
  const ChildResult alone = run_vibrex(srtio3 + "1\nDT 1/65\n", data);
  EXPECT_EQ(alone.status, 1);
  EXPECT_EQ(alone.err, stop("Error:  k vector needs a superlattice of more than 64 cells"));
  EXPECT_EQ(alone.out, report);
  const int32_t dt = [&] {
    for (int32_t j = 1; j <= t.little.kvec_count(lattice); ++j)
      if (t.little.kvec_label(j, lattice).trimmed() == "DT") return j;
    return 0;
  }();
  ASSERT_NE(dt, 0);
  const ChildResult dt64 = run_vibrex(srtio3 + "1\nDT 1/64\n", data);
  if (t.little.little_irrep_count(dt, 221) == 0) {
    EXPECT_EQ(dt64.status, 1);
    EXPECT_EQ(dt64.err, stop("Error:  k vector not in data base"));
    EXPECT_EQ(dt64.out, report);
  } else {
    EXPECT_EQ(dt64.status, 0);
    EXPECT_EQ(dt64.err, "");
    EXPECT_NE(dt64.out.find(kline("k vector DT = (0,1/64,0)")), std::string::npos);
    EXPECT_EQ(tail(dt64.out, 2), kStars + "End of output\n");
  }
}

}  // namespace
}  // namespace vibrex
