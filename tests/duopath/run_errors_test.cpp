// Faulty inputs and environments: the message on standard output (from the message on, with the
// fatal stop's lines), standard error, the exit status, and that the log holds no message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/duopath/duopath_child.hpp"

namespace {

using duopath_test::DuopathOptions;
using duopath_test::run_duopath;

const std::string kBombed = "This program has bombed\nexit\n";
const std::string kStop = " STOP  \n";

// Crystal blocks of NaCl and CsCl, with the two types Na and Cl.
const std::string kCrystals =
    "NaCl and CsCl\n"
    "225\n5.64 5.64 5.64 90 90 90\n2\nNa a\nCl b\n"
    "221\n4.12 4.12 4.12 90 90 90\n2\nNa a\nCl b\n";

// Input up to the first atom line of crystal 1 (space group 221).
std::string crystal1(const std::string& lattice, const std::string& atoms, int count = 1) {
  return "title\n221\n" + lattice + "\n" + std::to_string(count) + "\n" + atoms;
}
const std::string kCubic = "4 4 4 90 90 90";

struct ErrorCase {
  const char* what;
  std::string input;
  std::string tail;  // standard output from the message on
  std::string err = kStop;
  int status = 1;
  std::string echo = "";  // the report lines right before the message, which the log ends with
};

void check(const ErrorCase& c, const DuopathOptions& options = {}) {
  SCOPED_TRACE(c.what);
  const auto run = run_duopath(c.input, options);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.err, c.err);
  const std::string tail = c.echo + c.tail;
  ASSERT_GE(run.out.size(), tail.size());
  EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail) << run.out;
  // The message begins a line of its own.
  const std::size_t start = run.out.size() - tail.size();
  EXPECT_TRUE(start == 0 || run.out[start - 1] == '\n') << run.out;
  // Messages go to standard output only: the log ends with the report lines before them.
  ASSERT_GE(run.log.size(), c.echo.size());
  EXPECT_EQ(run.log.substr(run.log.size() - c.echo.size()), c.echo);
  if (!c.tail.empty()) {
    const std::string first = c.tail.substr(0, c.tail.find('\n'));
    EXPECT_EQ(run.log.find(first), std::string::npos) << run.log;
  }
  EXPECT_EQ(run.log.find("bombed"), std::string::npos);
}

TEST(RunErrors, CrystalInput) {
  const std::vector<ErrorCase> cases = {
      {"space group 0", "t\n0\n", " Error:  invalid space group number   0\n" + kBombed},
      {"space group 231", "t\n231\n", " Error:  invalid space group number   231\n" + kBombed},
      {"space group line cut short", "t\n/\n", " Error:  invalid space group number   0\n" + kBombed},
      {"length 0", "t\n221\n4 0 4 90 90 90\n", " Error:  invalid lattice parameter   0.000000000000000\n" + kBombed},
      {"negative length", "t\n221\n-4 4 4 90 90 90\n", " Error:  invalid lattice parameter  -4.00000000000000\n" + kBombed},
      {"angle 180", "t\n221\n4 4 4 90 180 90\n", " Error:  invalid lattice parameter   180.000000000000\n" + kBombed},
      {"NaN length", "t\n221\n4 nan 4 90 90 90\n", " Error:  invalid lattice parameter   NaN\n" + kBombed},
      {"infinite length", "t\n221\n4 4 inf 90 90 90\n", " Error:  invalid lattice parameter   INF\n" + kBombed},
      {"NaN angle", "t\n221\n4 4 4 90 90 NaN\n", " Error:  invalid lattice parameter   NaN\n" + kBombed},
      {"lattice line cut short", "t\n221\n4 4 4 90 90 /\n", " Error:  invalid lattice parameter   0.000000000000000\n" + kBombed},
      {"angles 150 150 150", "t\n221\n4 4 4 150 150 150\n", " Error:  lattice angles do not form a cell\n" + kBombed},
      {"angles 60 60 150", "t\n221\n4 4 4 60 60 150\n", " Error:  lattice angles do not form a cell\n" + kBombed},
      {"angles 120 120 120", "t\n221\n4 4 4 120 120 120\n", " Error:  lattice angles do not form a cell\n" + kBombed},
      {"angles 100 100 160", "t\n221\n4 4 4 100 100 160\n", " Error:  lattice angles do not form a cell\n" + kBombed},
      {"blank atom line", crystal1(kCubic, "\n"), "Error: insufficient input on line:\n\n" + kBombed},
      {"comment-only atom line", crystal1(kCubic, "! Na a\n"), "Error: insufficient input on line:\n! Na a\n" + kBombed},
      {"type only", crystal1(kCubic, "Na   \n"), "Error: insufficient input on line:\nNa\n" + kBombed},
      {"type and comment", crystal1(kCubic, "Na !a\n"), "Error: insufficient input on line:\nNa !a\n" + kBombed},
      {"coordinates short", crystal1(kCubic, "Na 0 0\n"), "Error: insufficient input on line:\nNa 0 0\n" + kBombed},
      {"two-letter symbol", crystal1(kCubic, "Na ab\n"), "Error: invalid Wyckoff symbol in line: \nNa ab\n" + kBombed},
      {"letter beyond the group", crystal1(kCubic, "Na o\n"), "Error: invalid Wyckoff position in line: \nNa o\n" + kBombed},
      {"six words", crystal1(kCubic, "Na a 0 0 0 0\n"), "Error: extra data in line: \nNa a 0 0 0 0\n" + kBombed},
      {"fraction as parameter", crystal1(kCubic, "Na e 1/3 0 0\n"), "Error: invalid number in line: \nNa e 1/3 0 0\n" + kBombed},
      {"two numbers in a word", crystal1(kCubic, "Na 0.5,1 0 0\n"), "Error: invalid number in line: \nNa 0.5,1 0 0\n" + kBombed},
      {"leading comma", crystal1(kCubic, "Na 0 ,5 0\n"), "Error: invalid number in line: \nNa 0 ,5 0\n" + kBombed},
      {"infinite coordinate", crystal1(kCubic, "Na 0 0 1e400\n"), "Error: invalid number in line: \nNa 0 0 1e400\n" + kBombed},
      {"NaN parameter", crystal1(kCubic, "Na e nan\n"), "Error: invalid number in line: \nNa e nan\n" + kBombed},
      {"upper-case letter is a coordinate", crystal1(kCubic, "Na A 0 0\n"), "Error: invalid number in line: \nNa A 0 0\n" + kBombed},
      {"type word of 11 characters", crystal1(kCubic, "Natriumchlo a\n"),
       "Error: atom type longer than 10 characters in line: \nNatriumchlo a\n" + kBombed},
      {"unknown type in crystal 2", kCrystals.substr(0, kCrystals.size() - 5) + "Cs b\n",
       "Error: type of atom in crystal not found in crystal 1\n" + kBombed},
      {"long type word in crystal 2", "t\n221\n" + kCubic + "\n1\nNatriumchl a\n221\n" + kCubic + "\n1\nNatriumchlo a\n",
       "Error: type of atom in crystal not found in crystal 1\n" + kBombed},
      {"no types in crystal 1", "t\n221\n" + kCubic + "\n0\n221\n" + kCubic + "\n1\nNa a\n",
       "Error: no atoms in crystal 1\n" + kBombed, kStop, 1, "  Number of Wyckoff positions:   0\n"},
  };
  for (const ErrorCase& c : cases) check(c);
}

const std::string kEndOfInput = "? Input/Output Error:\n? Attempt to read past end of file\n? READ(UNIT=5,...\n";

TEST(RunErrors, UncheckedFailuresExit255) {
  const std::vector<ErrorCase> cases = {
      {"no input", "", "", kEndOfInput + "? Standard input is empty; expected: the title line\n", 255},
      {"end inside crystal 1", crystal1(kCubic, "Na a\n", 2), "",
       kEndOfInput + "? Standard input ends after line 5; expected: atom line 2 of 2 of crystal 1\n", 255,
       "  Na, Wyckoff position a,    0.00000   0.00000   0.00000 \n"},
      {"end before crystal 2", crystal1(kCubic, "Na a\n"), "",
       kEndOfInput + "? Standard input ends after line 5; expected: the space group of crystal 2\n", 255,
       "  Na, Wyckoff position a,    0.00000   0.00000   0.00000 \nSecond crystal:\n"},
      {"space group not a number", "t\nP1\n", "",
       "? Input/Output Error:\n? Illegal character in numeric input\n? READ(UNIT=5,...\n? Line 2 of standard input: P1\n",
       255, "First crystal:\n"},
      {"lattice length beyond the range of reals", "t\n221\n4 4 1e400 90 90 90\n", "",
       "? Input/Output Error:\n? Real out of range in numeric input\n? READ(UNIT=5,...\n"
       "? Line 3 of standard input: 4 4 1e400 90 90 90\n",
       255, "  Space group: 221 Pm-3m     \n"},
      {"end inside a kelmo block", kCrystals + "kelmo\nNa 1\n", "",
       kEndOfInput + "? Standard input ends after line 13; expected: line 2 of 2 of the kelmo block (one line per atom type)\n",
       255, "Use KELMO to estimate energy barrier\n"},
      {"end inside a madelung block", kCrystals + "madelung\n", "",
       kEndOfInput + "? Standard input ends after line 12; expected: line 1 of 2 of the madelung block (one line per atom type)\n",
       255, "Use madelung energy to estimate energy barrier\n"},
      {"quanthop without end", kCrystals + "quanthop\nNa 11\nCl 17\n END\n", "",
       kEndOfInput + "? Standard input ends after line 15; expected: the line \"end\" that closes the quanthop block\n", 255,
       "Use quanthop to estimate energy barrier\n"},
      {"second kelmo", kCrystals + "kelmo\nNa 1\nCl 2 5\nkelmo\nNa 1\nCl 2 5\n",
       "",
       "? Allocation Error:\n? the table of \"kelmo\" is already made; the keyword may come once\n", 255, "Use KELMO to estimate energy barrier\nUse KELMO to estimate energy barrier\n"},
      {"second quanthop", kCrystals + "quanthop\nNa 11\nCl 17\nend\nquanthop\n",
       "",
       "? Allocation Error:\n? the table of \"quanthop\" is already made; the keyword may come once\n", 255, "Use quanthop to estimate energy barrier\nUse quanthop to estimate energy barrier\n"},
      {"second madelung", kCrystals + "madelung\nNa 1\nCl -1\nmadelung\nNa 1\nCl -1\n",
       "",
       "? Allocation Error:\n? the table of \"madelung\" is already made; the keyword may come once\n", 255, "Use madelung energy to estimate energy barrier\nUse madelung energy to estimate energy barrier\n"},
  };
  for (const ErrorCase& c : cases) check(c);
}

std::string form_w(const std::string& word20, const std::string& line) {
  return " syntax error: " + word20 + "\n in line: " + line + "\n" + kBombed;
}
std::string form_l(const std::string& line) { return " syntax error: " + line + "\n" + kBombed; }
std::string form_u(const std::string& line) { return "syntax error: \n" + line + "\n" + kBombed; }
std::string form_t(const std::string& word) { return "Error: atom type " + word + " not found\n" + kBombed; }
std::string pad20(const std::string& w) { return w + std::string(20 - w.size(), ' '); }

TEST(RunErrors, KeywordLines) {
  const std::string blank20(20, ' ');
  const std::string eleven_bonds = [] {
    std::string s;
    for (int k = 0; k < 11; ++k) s += "bonds2 * * 1 0.1\n";
    return s;
  }();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Strain 0.8 1.2", form_u("Strain 0.8 1.2")},
      {"strains 0.8 1.2", form_u("strains 0.8 1.2")},
      {"strain 0.8 ! max missing", form_w(blank20, "strain 0.8")},
      {"strain 0.8 1/2", form_w(pad20("1/2"), "strain 0.8 1/2")},
      {"strain 0.8 1e400", form_w(pad20("1e400"), "strain 0.8 1e400")},
      {"size 2.5", form_w(pad20("2.5"), "size 2.5")},
      {"size 2 x", form_w(pad20("x"), "size 2 x")},
      {"bonds 2 3", form_l("bonds 2 3")},
      {"bonds", form_l("bonds")},
      {"bonds 2,5", form_w(pad20("2,5"), "bonds 2,5")},
      {"bonds2 * * 2", form_l("bonds2 * * 2")},
      {"bonds2 Xx * 2 1", form_t("Xx")},
      {"bonds2 * Natrium 2 1", form_t("Natrium")},
      {"bonds2 * * -1 1", form_w(pad20("-1"), "bonds2 * * -1 1")},
      {"bonds2 * * 100 1", form_w(pad20("100"), "bonds2 * * 100 1")},
      {"bonds2 * * 2 nan", form_w(pad20("nan"), "bonds2 * * 2 nan")},
      {eleven_bonds.substr(0, eleven_bonds.size() - 1), " Error: too many bond cases\n" + kBombed},
      {"shuffle 0.5 Xx", form_t("Xx")},
      {"shuffle 1/2", form_w(pad20("1/2"), "shuffle 1/2")},
      {"shuffle", form_w(blank20, "shuffle")},
      {"neighbor %", form_w(pad20("%"), "neighbor %")},
      {"neighbor 5%% Na", form_w(pad20("5%%"), "neighbor 5%% Na")},
      {"neighbor 5 Xx", form_t("Xx")},
      {"neighbor x% Xx", form_t("Xx")},
      {"neighbor 1e400%", form_w(pad20("1e400%"), "neighbor 1e400%")},
      {"subgroup 1", form_w(blank20, "subgroup 1")},
      {"output", form_l("output")},
      {"output atom", form_u("output atom")},
      {"lattice 10 1,0,0 0,1,0 0,0,1 1,0,0 0,1,0", form_l("lattice 10 1,0,0 0,1,0 0,0,1 1,0,0 0,1,0")},
      {"lattice 0 1,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1", form_w(pad20("0"), "lattice 0 1,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1")},
      {"lattice 231 1,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1", form_w(pad20("231"), "lattice 231 1,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1")},
      {"lattice 10 1,0,0 0,1,0 0,0,1 1,0 0,1,0 0,0,1", form_w(pad20("1 0"), "lattice 10 1,0,0 0,1,0 0,0,1 1,0 0,1,0 0,0,1")},
      {"lattice 10 1,0,0 0,1,0 0,0,1,0 1,0,0 0,1,0 0,0,1", form_w(pad20("0 0 1 0"), "lattice 10 1,0,0 0,1,0 0,0,1,0 1,0,0 0,1,0 0,0,1")},
      {"lattice 10 1/0,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1", form_w(pad20("1/0"), "lattice 10 1/0,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1")},
      {"lattice 10 1,0.5,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1", form_w(pad20("0.5"), "lattice 10 1,0.5,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1")},
      {"lattice 10 1,,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1", form_w(blank20, "lattice 10 1,,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1")},
      // The refusals name the crystal and its three vectors, whichever of them is at fault.
      {"lattice 10 1,0,0 0,1,0 1,1,0 1,0,0 0,1,0 0,0,1",
       "Lattice vectors of crystal 1 (1,0,0 0,1,0 1,1,0) are not linearly independent: they span no cell\n" + kBombed},
      {"lattice 10 0,1,0 1,0,0 0,0,1 1,0,0 0,1,0 0,0,1",
       "Lattice vectors of crystal 1 (0,1,0 1,0,0 0,0,1) are not right-handed: swap two of them\n" + kBombed},
      {"lattice 10 1,0,0 0,1,0 0,0,1 0,1,0 1,0,0 0,0,2",
       "Lattice vectors of crystal 2 (0,1,0 1,0,0 0,0,2) are not right-handed: swap two of them\n" + kBombed},
      {"lattice 10 1,0,0 0,1,0 0,0,1 0,0,0 0,1,0 0,0,1",
       "Lattice vectors of crystal 2 (0,0,0 0,1,0 0,0,1) are not linearly independent: they span no cell\n" + kBombed},
      // The common denominator of a vector in lowest terms must fit 32 bits.
      {"lattice 10 1/65537,1/65539,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1",
       form_w(pad20("1/65537 1/65539 0"), "lattice 10 1/65537,1/65539,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1")},
  };
  for (const auto& [keywords, tail] : cases) check({keywords.c_str(), kCrystals + keywords + "\n", tail});
}

TEST(RunErrors, KeywordBlocks) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"map 4 1\n1 1 1\nmap 4 1\n", " You can only map atoms once!\n" + kBombed},
      {"map 4 1\n1 1 1\nmap\n", " You can only map atoms once!\n" + kBombed},
      {"map 4\n", form_l("map 4")},
      {"map x 1\n", form_w(pad20("x"), "map x 1")},
      {"map 4 1/2\n", form_w(pad20("1/2"), "map 4 1/2")},
      {"map 4 1\n0 1 1\n", " invalid value for map in line: 0 1 1\n" + kBombed},
      {"map 4 1\n1 5 1\n", " invalid value for map in line: 1 5 1\n" + kBombed},
      {"map 4 1\n1 2 28\n", " invalid value for map in line: 1 2 28\n" + kBombed},
      {"map 4 1\n1 2 -1\n", " invalid value for map in line: 1 2 -1\n" + kBombed},
      {"map 4 1\n1 /\n", " invalid value for map in line: 1 /\n" + kBombed},
      {"map 4 1\n1 2\n", " syntax error in line: 1 2\n" + kBombed},
      {"map 4 1\n1 2 x\n", " syntax error in line: 1 2 x\n" + kBombed},
      {"map 4 1\n1 2 0.5\n", " syntax error in line: 1 2 0.5\n" + kBombed},
      {"kelmo\nNa\n", "Use KELMO to estimate energy barrier\nError: no s electrons in line: \nNa\n" + kBombed},
      {"kelmo\nNa 0 1 ! zero s electrons\n", "Use KELMO to estimate energy barrier\nError: no s electrons in line: \nNa 0 1\n" + kBombed},
      {"kelmo\nNa 1\nNa 1\n", "Use KELMO to estimate energy barrier\nError: atom type ,Na listed more than once\n" + kBombed},
      {"kelmo\n\n", "Use KELMO to estimate energy barrier\nError: invalid type of atom in line: \n\n" + kBombed},
      {"kelmo\n! only a comment\n", "Use KELMO to estimate energy barrier\nError: invalid type of atom in line: \n\n" + kBombed},
      {"kelmo\nK 1\n", "Use KELMO to estimate energy barrier\nError: invalid type of atom in line: \nK 1\n" + kBombed},
      {"kelmo\nNa 1 2 3 4 5\n", "Use KELMO to estimate energy barrier\n" + form_l("Na 1 2 3 4 5")},
      {"kelmo\nNa 1 x\n", "Use KELMO to estimate energy barrier\n" + form_w(pad20("x"), "Na 1 x")},
      {"quanthop\nNa\n", "Use quanthop to estimate energy barrier\n" + form_w(std::string(20, ' '), "Na")},
      {"quanthop\nNa 11\nNa 12\n", "Use quanthop to estimate energy barrier\nError: atom type ,Na listed more than once\n" + kBombed},
      {"quanthop\nNaCl 11\n", "Use quanthop to estimate energy barrier\nError: invalid type of atom in line: \nNaCl 11\n" + kBombed},
      {"madelung\nNa one\n", "Use madelung energy to estimate energy barrier\n" + form_w(pad20("one"), "Na one")},
      {"madelung\nNa 1e400\n", "Use madelung energy to estimate energy barrier\n" + form_w(pad20("1e400"), "Na 1e400")},
      {"madelung\nXx 1\n", "Use madelung energy to estimate energy barrier\nError: invalid type of atom in line: \nXx 1\n" + kBombed},
  };
  for (const auto& [keywords, tail] : cases) {
    // The energy blocks echo their keyword before they read their lines.
    const std::size_t echo_end = tail.rfind(" barrier\n");
    const std::string echo = echo_end == std::string::npos ? "" : tail.substr(0, echo_end + 9);
    check({keywords.c_str(), kCrystals + keywords, tail.substr(echo.size()), kStop, 1, echo});
  }
}

// Inputs that once overflowed, hung or were taken for valid: sizes beyond the search's capacity,
// lattice vectors and coordinates of absurd magnitude, lengths and charges that leave the range
// of reals in later phases. Each stops with a message naming the value and its line, or runs.
TEST(RunErrors, HostileInputs) {
  const std::string fe =
      "Fe\n225\n3.6468 3.6468 3.6468 90 90 90\n1\nFe a\n229\n2.8664 2.8664 2.8664 90 90 90\n1\nFe a\n";
  const std::string fe_p = "Fe\n225\n3.6468 3.6468 3.6468 90 90 90\n1\nFe a\n221\n2.4 2.4 2.4 90 90 90\n1\nFe a\n";
  const std::string bain = "lattice 139 1/2,-1/2,0 1/2,1/2,0 0,0,1 1,0,0 0,1,0 0,0,1\n";
  const std::string sizes = "Minimum size of unit cell:   1\nMaximum size of unit cell: ***\n";
  const auto too_large = [](const std::string& size, const std::string& limit, const std::string& line) {
    return "Error: cell size " + size + " too large (the largest size allowed " + limit + ") in line: \n" + line +
           "\n" + kBombed;
  };
  const std::string nacl_echo = "  Number of Wyckoff positions:   1\n";
  const std::string crystal2_xx = "221\n4 4 4 90 90 90\n1\nXx 0 0 0\n";
  const std::string nacl_r =
      "NaCl\n225\n5.6402 5.6402 5.6402 90 90 90\n2\nNa a\nCl b\n221\n4.123 4.123 4.123 90 90 90\n2\nNa a\nCl b\n"
      "samevolume\n";
  const std::string ti =
      "Ti\n229\n3.3065 3.3065 3.3065 90 90 90\n1\nTi a\n194\n2.9508 2.9508 4.6855 90 90 120\n1\nTi c\n"
      "strain 0.8 1.25\nshuffle 1.0\n";
  const std::string kDone = " \n---------------------------------------\ndone\n";
  const std::string wurtzite = "ZnO\n186\n3.2496 3.2496 5.2042 90 90 120\n2\nZn b 0 0 0\n";
  const std::string zinc_echo = "  Zn, Wyckoff position b,    0.33333   0.66667   0.00000 \n";
  const std::string cobalt = "Co\n225\n3.5447 3.5447 3.5447 90 90 90\n1\nCo a\n194\n2.5071 2.5071 4.0695 90 90 120\n1\nCo c\n";
  const std::string titanium_omega =
      "Ti\n229\n3.3065 3.3065 3.3065 90 90 90\n1\nTi a\n191\n4.625 4.625 2.813 90 90 120\n2\nTi a\nTi d\n";
  const std::string nacl_example = text_io_test::slurp(std::string(SGL_SOURCE_DIR) + "/examples/nacl_cscl.in");
  const std::string simple_cubic = "221\n3 3 3 90 90 90\n1\nX a\n";
  const std::vector<ErrorCase> cases = {
      // Sizes: the count of crystal 1's short vectors, the cube of the search side, overflowed
      // 64 bits at 2097152 and the search ran on without end.
      {"size 2097152", kCrystals + "size 2097152\n", too_large("2097152", "is 99", "size 2097152"), kStop, 1, sizes},
      {"size 100, one beyond the capacity", kCrystals + "size 1 100 ! comment\n",
       too_large("100", "is 99", "size 1 100"), kStop, 1,
       "Minimum size of unit cell:   1\nMaximum size of unit cell: 100\n"},
      {"dim2 after the size line", kCrystals + "size 1000\ndim2\n",
       too_large("1000", "with dim2 is 999", "size 1000"), kStop, 1, sizes + "2-Dimensional Crystals\n"},
      {"the last size line is named", kCrystals + "size 2 3\nsize 500\n", too_large("500", "is 99", "size 500"), kStop, 1,
       "Minimum size of unit cell:   2\nMaximum size of unit cell: 500\n"},
      {"size with a given lattice", fe + bain + "size 2147483647 2147483647\n",
       too_large("2147483647", "is 99", "size 2147483647 2147483647"), kStop, 1,
       "Minimum size of unit cell: ***\nMaximum size of unit cell: ***\n"},
      {"smallest size far below 1", fe + bain + "size -2147483648 1\n", form_l("size -2147483648 1")},
      // Lattice vectors: a determinant beyond 32 bits stopped with the overflow line of ndet; a
      // large numerator over a large denominator with that of vmlt.
      {"lattice vectors of 99999 cells", fe + "lattice 139 99999,0,0 0,99999,0 0,0,99999 1,0,0 0,1,0 0,0,1\n",
       "Error: lattice vector 99999,0,0 too large (components of at most 1000 allowed) in line: \n"
       "lattice 139 99999,0,0 0,99999,0 0,0,99999 1,0,0 0,1,0 0,0,1\n" + kBombed},
      {"crystal 2's vector of -1000.5 cells", fe + "lattice 139 1/2,-1/2,0 1/2,1/2,0 0,0,1 1,0,0 0,1,0 0,0,-2001/2\n",
       "Error: lattice vector 0,0,-2001/2 too large (components of at most 1000 allowed) in line: \n"
       "lattice 139 1/2,-1/2,0 1/2,1/2,0 0,0,1 1,0,0 0,1,0 0,0,-2001/2\n" + kBombed},
      {"large numerators over a large denominator",
       fe_p + "lattice 1 0,1/2,1/2 1/2,0,1/2 1000,1000,1/2147483 1,0,0 0,1,0 0,0,1\n",
       "Invalid lattice vectors chosen for subgroup wrt crystal 1\n" + kBombed, kStop, 1,
       "Lattice vectors of subgroup   1:\n  crystal 1: (0,1/2,1/2),(1/2,0,1/2),(1000,1000,1/2147483)\n"
       "  crystal 2: (1,0,0),(0,1,0),(0,0,1)\n"},
      // Coordinates and Wyckoff parameters: 1e300 was taken as a whole number of cells and
      // identified as position a.
      {"coordinate 1e300", crystal1(kCubic, "Na 1e300 0 0\n"),
       "Error: coordinate 1e300 too large (more than 10 in magnitude) in line: \nNa 1e300 0 0\n" + kBombed, kStop, 1,
       nacl_echo},
      // The path report writes the subgroup's parameters in f8.5: 999.38 came out as asterisks.
      {"Wyckoff parameter 999.38", crystal1(kCubic, "Na e 999.38\n"),
       "Error: coordinate 999.38 too large (more than 10 in magnitude) in line: \nNa e 999.38\n" + kBombed, kStop,
       1, nacl_echo},
      {"Wyckoff parameter -10.5", crystal1(kCubic, "Na e -10.5\n"),
       "Error: coordinate -10.5 too large (more than 10 in magnitude) in line: \nNa e -10.5\n" + kBombed, kStop,
       1, nacl_echo},
      {"coordinate 10 is taken", crystal1(kCubic, "Na 10 0.5 -0.5\n") + crystal2_xx,
       "Error: type of atom in crystal not found in crystal 1\n" + kBombed, kStop, 1, nacl_echo},
      // Lattice lengths: 1e200 overflowed the test of the angles ("do not form a cell"), and a
      // tiny c underflowed it.
      {"length 1e200", "t\n221\n1e200 1e200 1e200 90 90 90\n",
       " Error:  invalid lattice parameter   1.000000000000000E+200\n" + kBombed, kStop, 1,
       "  Space group: 221 Pm-3m     \n"},
      {"length 10000", "t\n1\n4 4 10000 90 90 90\n", " Error:  invalid lattice parameter   10000.0000000000\n" + kBombed,
       kStop, 1, "  Space group:   1 P1        \n"},
      {"length 9999.9999 is taken", "t\n1\n4 4 9999.9999 90 90 90\n1\nNa 0 0 0\n1\n" + kCubic + "\n1\nXx 0 0 0\n",
       "Error: type of atom in crystal not found in crystal 1\n" + kBombed, kStop, 1, nacl_echo},
      {"length 1e-200 reaches the nearest distance", "t\n1\n4 4 1e-200 90 90 90\n1\nNa 0 0 0\n1\n" + kCubic + "\n1\nNa 0 0 0\n",
       " Error: atoms too close together\n" + kBombed, kStop, 1,
       "Nearest distance between atoms in crystal 1:    0.0000\n"},
      // Text beyond the columns read: a value pushed past column 78 by tabs became 0, and a
      // quanthop line was cut at 80 characters.
      {"atom line aligned by tabs", crystal1(kCubic, "Na\t\ta\t\t\t0\t\t\t0\t\t\t0.5\n"),
       "Error: text beyond column 78 (after tabs are expanded) in line: \nNa" + std::string(14, ' ') + "a" +
           std::string(23, ' ') + "0" + std::string(23, ' ') + "0" + std::string(23, ' ') + "0.5\n" + kBombed,
       kStop, 1, nacl_echo},
      {"keyword value past column 78", kCrystals + "shuffle" + std::string(71, ' ') + "1.0\n",
       "Error: text beyond column 78 (after tabs are expanded) in line: \nshuffle" + std::string(71, ' ') + "1.0\n" +
           kBombed},
      {"energy type line past column 78", kCrystals + "madelung\nNa" + std::string(78, ' ') + "1\n",
       "Error: text beyond column 78 (after tabs are expanded) in line: \nNa" + std::string(78, ' ') + "1\n" + kBombed,
       kStop, 1, "Use madelung energy to estimate energy barrier\n"},
      {"quanthop line past column 80", kCrystals + "quanthop\nNa 11\nCl 17\n" + std::string(81, 'x') + "\n",
       "Error: text beyond column 80 (after tabs are expanded) in line: \n" + std::string(81, 'x') + "\n" + kBombed,
       kStop, 1, "Use quanthop to estimate energy barrier\n"},
      // A map line is read whole: its last number past column 80 is taken.
      {"map line read whole", kCrystals + "map 2 1\n1" + std::string(80, ' ') + "2 0\nmap\n",
       " You can only map atoms once!\n" + kBombed, kStop, 1, "Map atoms\n   1   2   0\n"},
      // A lattice pair given with "lattice" that fails a bound left a report without a path.
      {"given lattice outside the strain bounds", nacl_r + "size 1\nlattice 166 1/2,0,1/2 1/2,1/2,0 0,1/2,1/2 0,0,1 -1,0,0 0,-1,0\n",
       "The lattice given with the keyword lattice was rejected: its principal stretches 1.260, 1.260, 0.630 lie "
       "outside the strain bounds 0.660 to 1.500\n" + kDone, "", 0},
      {"given lattice outside the size range", ti + "size 1\nlattice 63 0,0,1 -1,1,0 -1,-1,0 0,-1,0 2,1,0 0,0,1\n",
       "The lattice given with the keyword lattice was rejected: its cell size 2 lies outside the size range 1 to 1\n" +
           kDone, "", 0},
      {"given lattice of unequal cells", kCrystals + "size 2\nlattice 10 1/2,1/2,0 -1/2,1/2,0 0,0,1 1,0,0 0,1,0 0,0,1\n",
       "The lattice given with the keyword lattice was rejected: its cells hold 4 atoms in crystal 1 and 2 in crystal 2\n" +
           kDone, "", 0},
      // Keyword values that select nothing.
      {"strain bounds swapped", kCrystals + "strain 1.5 0.66\n", form_l("strain 1.5 0.66")},
      {"strain 0 0", kCrystals + "strain 0 0\n", form_l("strain 0 0")},
      {"negative strain", kCrystals + "strain -0.5 1.2\n", form_l("strain -0.5 1.2")},
      {"sizes swapped", kCrystals + "size 2 1\n", form_l("size 2 1")},
      {"size 0", kCrystals + "size 0\n", form_l("size 0")},
      {"size below an earlier smallest size", kCrystals + "size 3 4\nsize 2\n", form_l("size 2"), kStop, 1,
       "Minimum size of unit cell:   3\nMaximum size of unit cell:   4\n"},
      {"subgroups swapped", kCrystals + "subgroup 200 1\n", form_l("subgroup 200 1")},
      {"subgroups beyond 230", kCrystals + "subgroup 300 400\n", form_l("subgroup 300 400")},
      {"subgroups below 1", kCrystals + "subgroup -5 0\n", form_l("subgroup -5 0")},
      {"negative shuffle", kCrystals + "shuffle -1\n", form_l("shuffle -1")},
      {"negative shuffle of a type", kCrystals + "shuffle -1 Na\n", form_l("shuffle -1 Na")},
      {"negative bonds", kCrystals + "bonds -2\n", form_l("bonds -2")},
      {"negative bond change", kCrystals + "bonds2 * * 2 -0.1\n", form_l("bonds2 * * 2 -0.1")},
      {"negative neighbor", kCrystals + "neighbor -1\n", form_l("neighbor -1")},
      {"negative neighbor percentage", kCrystals + "neighbor -5% Cl\n", form_l("neighbor -5% Cl")},
      // Messages that pointed elsewhere or exited 0.
      {"no atoms in crystal 1", "t\n221\n" + kCubic + "\n0\n", "Error: no atoms in crystal 1\n" + kBombed, kStop, 1,
       "  Number of Wyckoff positions:   0\n"},
      {"compositions differ", "t\n225\n5.64 5.64 5.64 90 90 90\n2\nNa a\nCl b\n221\n4 4 4 90 90 90\n1\nNa a\n",
       " Error:  relative number of types of atoms do not match in the two crystals\n" + kBombed},
      {"a cell of 99 against one of 4", "t\n221\n99 99 99 90 90 90\n1\nNa a\n221\n" + kCubic + "\n1\nNa a\n",
       " Error: more than maxshort vectors\n Crystal 2 would need more than 1000000 short vectors to match the longest "
       "ones of crystal 1: give a smaller maximum strain or size, or check that both cells are in the same unit\n" +
           kBombed},
      // The multiplicity written with the letter, as vibrex takes it.
      {"Wyckoff label with multiplicity", crystal1(kCubic, "Na 1a\n"),
       "Error: invalid Wyckoff symbol 1a (give the letter alone: a) in line: \nNa 1a\n" + kBombed, kStop, 1,
       nacl_echo},
      // A runtime stop on standard input names the line.
      {"space group 221.7", "t\n221.7\n", "",
       "? Input/Output Error:\n? Illegal character in numeric input\n? READ(UNIT=5,...\n"
       "? Line 2 of standard input: 221.7\n",
       255, "First crystal:\n"},
      // Madelung charges: 1e300 gave an energy of NaN.
      {"charge 1e300", kCrystals + "madelung\nNa 1e300\n", form_w(pad20("1e300"), "Na 1e300"), kStop, 1,
       "Use madelung energy to estimate energy barrier\n"},
      {"charge -1001", kCrystals + "madelung\nNa 1\nCl -1001\n", form_w(pad20("-1001"), "Cl -1001"), kStop, 1,
       "Use madelung energy to estimate energy barrier\n"},

      // Slips that gave the report of another structure, an empty report read as "no transition",
      // a report of asterisks, or a stop that named nothing.
      // Numbers read in part: c = 5.20 was taken from "5.20.42".
      {"lattice length of two points", "t\n186\n3.2496 3.2496 5.20.42 90 90 120\n", "",
       "? Input/Output Error:\n? Illegal character in numeric input\n? READ(UNIT=5,...\n"
       "? Line 3 of standard input: 3.2496 3.2496 5.20.42 90 90 120\n",
       255, "  Space group: 186 P63mc     \n"},
      {"fraction in the lattice line", "t\n221\n4 4 4 90 90 1/2\n", "",
       "? Input/Output Error:\n? Fraction in numeric input: write the value as a decimal number (0.25, not 1/4)\n"
       "? READ(UNIT=5,...\n? Line 3 of standard input: 4 4 4 90 90 1/2\n",
       255, "  Space group: 221 Pm-3m     \n"},
      // Numbers in places that the position fixes: "O b 0.3819" put the oxygen onto the zinc.
      {"parameter in a fixed place", wurtzite + "O  b 0.3819\n",
       "Error: Wyckoff position b is (1/3,2/3,z): give z as the third number, in line: \nO  b 0.3819\n" + kBombed,
       kStop, 1, zinc_echo},
      {"two fixed places", "t\n47\n3 4 5 90 90 90\n1\nB u 0.1 0.2 0.3\n",
       "Error: Wyckoff position u is (0,y,z): give y and z as the second and third numbers, in line: \n"
       "B u 0.1 0.2 0.3\n" + kBombed,
       kStop, 1, "  Number of Wyckoff positions:   1\n"},
      {"the triple's coordinates, modulo 1, are taken", wurtzite + "O  b 1.33333 -0.33333 0.3819\n" + crystal2_xx,
       "Error: type of atom in crystal not found in crystal 1\n" + kBombed, kStop, 1,
       "  O, Wyckoff position b,    0.33333   0.66667   0.38190 \nSecond crystal:\n  Space group: 221 Pm-3m     \n"
       "  Lattice parameters:    4.0000   4.0000   4.0000  90.0000  90.0000  90.0000\n"
       "  Number of Wyckoff positions:   1\n"},
      // Searches that came up empty: the last line says at which step, and which bound to widen.
      {"no size holds whole cells of crystal 2", cobalt,
       "No path found: the cell size 1 holds no whole number of primitive cells of crystal 2 (1 atom in a primitive "
       "cell of crystal 1, 2 in one of crystal 2); the sizes that do are the multiples of 2 (size 2)\n" + kDone, "", 0},
      {"bcc to omega at sizes 1 and 2", titanium_omega + "size 2\n",
       "No path found: the cell sizes 1 to 2 hold no whole number of primitive cells of crystal 2 (1 atom in a "
       "primitive cell of crystal 1, 3 in one of crystal 2); the sizes that do are the multiples of 3 (size 3)\n" + kDone,
       "", 0},
      {"no lattice pair within the strain bounds", nacl_example + "strain 0.99 1.01\n",
       "No path found: no cell of crystal 2 matches a cell of crystal 1 of sizes 1 to 2 within the strain bounds 0.990 "
       "to 1.010: widen them with strain\n" + kDone, "", 0},
      {"every mapping too close", nacl_example + "neighbor 100\n",
       "No path found: every atom mapping of the 10 lattice pairs within the strain bounds breaks the bound of "
       "neighbor: widen it\n" + kDone, "", 0},
      {"mappings of a smaller cell only", nacl_example + "size 2 2\nshuffle 0.7\n",
       "No path found: every atom mapping of the 9 lattice pairs within the strain bounds breaks the bound of shuffle "
       "or repeats a path of a cell smaller than size 2: widen it, or start the sizes lower\n" + kDone, "", 0},
      {"subgroups outside the range", nacl_example + "subgroup 200 230\n",
       "No path found: the common subgroups of the 2 paths found (space groups 59 to 166) lie outside the subgroup "
       "range 200 to 230: widen it\n" + kDone, "", 0},
      // An input that ends inside a map block stopped nothing: 27 paths without the map.
      {"end inside the map block", nacl_example + "size 1\nmap 2 2\n", "",
       kEndOfInput + "? Standard input ends after line 19; expected: line 1 of 2 of the map block (atom, partner, cell)\n",
       255, "Map atoms\n"},
      {"size 0 2", kCrystals + "size 0 2\n", form_l("size 0 2")},
      {"subgroup 0 230", kCrystals + "subgroup 0 230\n", form_l("subgroup 0 230")},
      {"subgroup 1 231", kCrystals + "subgroup 1 231\n", form_l("subgroup 1 231")},
      // Stops that named nothing.
      {"end in crystal 2's lattice line", crystal1(kCubic, "Na a\n") + "221\n4 4 4\n", "",
       kEndOfInput +
           "? Standard input ends after line 7; expected: the lattice parameters of crystal 2 (a b c alpha beta gamma)\n",
       255, "Second crystal:\n  Space group: 221 Pm-3m     \n"},
      {"map for another atom count", "t\n" + simple_cubic + simple_cubic + "map 8 1\n1 1 14\n",
       " Number of atoms in common unit cell (1) does not equal\n"
       " number of atoms entered following the map keyword (8)\n" + kBombed,
       kStop, 1, "Nearest distance between atoms in crystal 2:    3.0000\n"},
      // Fields that overflowed in reports that ended normally.
      {"bcc tungsten scaled to 130", "t\n229\n130 130 130 90 90 90\n1\nW a\n229\n3.16 3.16 3.16 90 90 90\n1\nW a\n",
       "Error: volume per atom of crystal 1 too large (1098500.000, at most 999999.999): check its lattice parameters\n" +
           kBombed,
       kStop, 1, "Number of atoms in primitive unit cell of crystal 2:   1\n"},
      {"shuffle 100", kCrystals + "shuffle 100\n", form_w(pad20("100"), "shuffle 100")},
      {"shuffle 100000 for a type", kCrystals + "shuffle 100000 Na\n", form_w(pad20("100000"), "shuffle 100000 Na")},
      {"neighbor 99999", kCrystals + "neighbor 99999\n", form_w(pad20("99999"), "neighbor 99999")},
      {"neighbor 9999999%", kCrystals + "neighbor 9999999%\n", form_w(pad20("9999999%"), "neighbor 9999999%")},
      {"bonds 1e308", kCrystals + "bonds 1e308\n", form_w(pad20("1e308"), "bonds 1e308")},
      {"strain -0 1.25", kCrystals + "strain -0 1.25\n", form_w(pad20("-0"), "strain -0 1.25")},
      {"a percentage beyond the report", kCrystals + "neighbor 999999% Cl\n",
       "Error: neighbor 999999.0% for Cl is a minimum distance of 31940.091, more than the report can show "
       "(9999.999): give a smaller percentage\n" + kBombed,
       kStop, 1, "Nearest distance between atoms in crystal 2:    3.5680\n"},
      {"samevolume across units", kCrystals.substr(0, kCrystals.find("4.12")) + "80 80 80 90 90 90\n2\nNa a\nCl b\nsamevolume\n",
       "Error: volumes per atom 22.426 and 256000.000 too far apart for samevolume: check that both cells are given in "
       "the same unit\n" + kBombed,
       kStop, 1, "Volume/atom in crystal 2: 256000.000\n"},
      {"subgroups from 100 take the columns they need", kCrystals + "subgroup 100 230\nstrain 1 1\n", form_l("strain 1 1"), kStop,
       1, "Select subgroups  100 through 230\n"},
  };
  for (const ErrorCase& c : cases) check(c);

  // Typed counts size nothing: a count of ten million in an input of a few lines reads what is
  // there, in a few megabytes, and stops at its end naming what it waited for.
  DuopathOptions small_memory;
  small_memory.memory_limit_mb = 256;
  const std::vector<ErrorCase> counts = {
      {"ten million atom lines announced", crystal1(kCubic, "Na a\n", 10000000), "",
       kEndOfInput + "? Standard input ends after line 5; expected: atom line 2 of 10000000 of crystal 1\n", 255,
       "  Number of Wyckoff positions:  10000000\n  Na, Wyckoff position a,    0.00000   0.00000   0.00000 \n"},
      {"ten million map lines announced", kCrystals + "map 4 10000000\n1 1 0\n", "",
       kEndOfInput +
           "? Standard input ends after line 13; expected: line 2 of 10000000 of the map block (atom, partner, cell)\n",
       255, "Map atoms\n   1   1   0\n"},
      {"a map of ten million atoms", kCrystals + "map 10000000 1\n10000000 9999999 27\n",
       " Number of atoms in common unit cell (2) does not equal\n"
       " number of atoms entered following the map keyword (10000000)\n" + kBombed,
       kStop, 1, "Nearest distance between atoms in crystal 2:    3.5680\n"},
  };
  for (const ErrorCase& c : counts) check(c, small_memory);

  // Faults of the environment: an input without line ends, a log that cannot be opened, a closed
  // standard output (whose descriptor the log took, receiving the report twice).
  DuopathOptions zero_input, log_directory, closed_output;
  zero_input.input_file = "/dev/zero";
  log_directory.log_is_directory = true;
  closed_output.closed = {1};
  const std::vector<std::pair<ErrorCase, DuopathOptions>> environments = {
      {{"input without line ends", "", "",
        "? Input/Output Error:\n? Input line too long (more than 1048576 characters)\n? READ(UNIT=5,...\n"
        "? Line 1 of standard input\n",
        255},
       zero_input},
      {{"a directory named duopath.log", kCrystals, "",
        "? System Error:\n? Is a directory\n? OPEN(UNIT=30,...\n? File: duopath.log\n", 255},
       log_directory},
      {{"standard output closed", kCrystals, "",
        "? Input/Output Error:\n? Standard output is not open\n? WRITE(UNIT=6,...\n", 255},
       closed_output},
  };
  for (const auto& [c, options] : environments) check(c, options);
}

TEST(RunErrors, Environment) {
  const std::string data_less = text_io_test::temp_dir();
  const std::vector<std::pair<ErrorCase, DuopathOptions>> cases = {
      {{"XTALDIR unset", kCrystals, "Error:  XTALDIR environment variable not defined\n" + kBombed},
       {.environment = {}, .unset = {"XTALDIR"}, .read_only_directory = false, .log_is_directory = false, .input_file = {}, .closed = {}}},
      {{"XTALDIR blank", kCrystals, "Error:  XTALDIR environment variable not defined\n" + kBombed},
       {.environment = {"XTALDIR=   "}, .unset = {}, .read_only_directory = false, .log_is_directory = false, .input_file = {}, .closed = {}}},
      {{"XTALDIR without the tables", kCrystals,
        " Error: cannot open file " + data_less + "/data_space.bin\n" + kBombed},
       {.environment = {"XTALDIR=" + data_less + "/"}, .unset = {}, .read_only_directory = false, .log_is_directory = false, .input_file = {}, .closed = {}}},
      {{"unwritable working directory", kCrystals, "",
        "? System Error:\n? " + std::string(geteuid() == 0 ? "No such file or directory" : "Permission denied") +
            "\n? OPEN(UNIT=30,...\n? File: duopath.log\n",
        255},
       {.environment = {std::string("XTALDIR=") + SGL_DATA_DIR}, .unset = {}, .read_only_directory = true, .log_is_directory = false, .input_file = {}, .closed = {}}},
  };
  for (const auto& [c, options] : cases) check(c, options);
  std::system(("rm -rf '" + data_less + "'").c_str());
}

}  // namespace
