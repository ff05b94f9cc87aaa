// Preparation of the two crystals: volumes and nearest distances against textbook values, the
// composition check, the distance limit, equal volumes, given lattices, crystals without atoms
// or with lattice parameters that lack their group's symmetry, and proper operations first.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "duopath/prepared_crystal.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "tests/duopath/duopath_child.hpp"

namespace {

using duopath_test::run_duopath;

// The number printed after a label at the start of a line, NaN when no line has it.
double after(const std::string& out, const std::string& label) {
  const std::size_t p = out.find("\n" + label);
  if (p == std::string::npos) return std::nan("");
  return std::stod(out.substr(p + 1 + label.size()));
}

std::string two(const std::string& crystal1, const std::string& crystal2, const std::string& keywords = "") {
  return "t\n" + crystal1 + crystal2 + keywords;
}

TEST(Preparation, VolumePerAtomAndNearestDistanceOfKnownStructures) {
  struct Case {
    std::string name, crystal;
    double volume, nearest;
  };
  const double s3 = std::sqrt(3.0);
  const double a_hcp = 3.209, c_hcp = 5.211, a_w = 3.25, c_w = 5.207, u = 0.382;
  const std::vector<Case> cases = {
      {"bcc", "229\n2.8664 2.8664 2.8664 90 90 90\n1\nFe a\n", std::pow(2.8664, 3) / 2, s3 * 2.8664 / 2},
      {"fcc", "225\n3.6468 3.6468 3.6468 90 90 90\n1\nFe a\n", std::pow(3.6468, 3) / 4, 3.6468 / std::sqrt(2.0)},
      {"hcp", "194\n3.209 3.209 5.211 90 90 120\n1\nMg c\n", s3 / 2 * a_hcp * a_hcp * c_hcp / 2,
       std::min(a_hcp, std::sqrt(a_hcp * a_hcp / 3 + c_hcp * c_hcp / 4))},
      {"rocksalt", "225\n5.64 5.64 5.64 90 90 90\n2\nNa a\nCl b\n", std::pow(5.64, 3) / 8, 5.64 / 2},
      {"wurtzite", "186\n3.25 3.25 5.207 90 90 120\n2\nZn b 0 0 0\nO b 0 0 0.382\n", s3 / 2 * a_w * a_w * c_w / 4,
       std::min(u * c_w, std::sqrt(a_w * a_w / 3 + std::pow(c_w * (0.5 - u), 2)))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto run = run_duopath(two(c.crystal, c.crystal, "trace lattice1\n"));
    EXPECT_EQ(run.status, 0);
    for (int k = 1; k <= 2; ++k) {
      const std::string n = std::to_string(k);
      EXPECT_NEAR(after(run.out, "Volume/atom in crystal " + n + ": "), c.volume, 5.01e-4);
      EXPECT_NEAR(after(run.out, "Nearest distance between atoms in crystal " + n + ": "), c.nearest, 5.01e-5);
    }
  }
}

TEST(Preparation, CompositionCheck) {
  // 2 A and 4 B against 1 A and 2 B passes; B missing from crystal 2 fails: the message, and
  // the run stops like any other on an error.
  const std::string a2b4 = "1\n4 4 4 90 90 90\n6\nA 0 0 0\nA .5 0 0\nB 0 .5 0\nB 0 0 .5\nB .5 .5 0\nB .5 0 .5\n";
  const std::string a1b2 = "1\n3 3 3 90 90 90\n3\nA 0 0 0\nB .5 0 0\nB 0 .5 0\n";
  const std::string a1 = "1\n3 3 3 90 90 90\n1\nA 0 0 0\n";
  const auto pass = run_duopath(two(a2b4, a1b2, "trace lattice1\n"));
  EXPECT_EQ(pass.status, 0);
  EXPECT_NE(pass.out.find("Number of atoms in primitive unit cell of crystal 1:   6\n"
                          "Number of atoms in primitive unit cell of crystal 2:   3\n"),
            std::string::npos)
      << pass.out;
  const auto fail = run_duopath(two(a2b4, a1));
  EXPECT_EQ(fail.status, 1);
  const std::string tail =
      "Second crystal:\n"
      "  Space group:   1 P1        \n"
      "  Lattice parameters:    3.0000   3.0000   3.0000  90.0000  90.0000  90.0000\n"
      "  Number of Wyckoff positions:   1\n"
      "  A, Wyckoff position a,    0.00000   0.00000   0.00000 \n"
      " Error:  relative number of types of atoms do not match in the two crystals\n"
      "This program has bombed\nexit\n";
  ASSERT_GE(fail.out.size(), tail.size());
  EXPECT_EQ(fail.out.substr(fail.out.size() - tail.size()), tail);
  EXPECT_EQ(fail.log.find("Error:"), std::string::npos);
}

TEST(Preparation, StopsAndMessages) {
  struct Case {
    std::string name, input, message;
    int status;
  };
  const std::string sc = "221\n3 3 3 90 90 90\n1\nX a\n";
  const std::string none = "221\n3 3 3 90 90 90\n0\n";
  const std::vector<Case> cases = {
      // Exactly 0.1 between atoms passes, 0.0999 stops.
      {"0.1", two("221\n.1 .1 .1 90 90 90\n1\nX a\n", sc, "trace lattice1\n"),
       "Nearest distance between atoms in crystal 1:    0.1000\n", 0},
      {"0.0999", two("221\n.0999 .0999 .0999 90 90 90\n1\nX a\n", sc),
       "Nearest distance between atoms in crystal 1:    0.0999\n Error: atoms too close together\n", 1},
      // A given vector that is no lattice vector of the crystal, named by its crystal number.
      {"half vector 2", two(sc, sc, "lattice 1 1,0,0 0,1,0 0,0,1 1/2,0,0 0,1,0 0,0,1\n"),
       "Invalid lattice vectors chosen for subgroup wrt crystal 2\n", 1},
      {"half vector 1", two(sc, sc, "lattice 1 1/2,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1\n"),
       "Invalid lattice vectors chosen for subgroup wrt crystal 1\n", 1},
      // A subgroup whose primitive cell is no lattice of the crystal: I-centred on a cubic P cell.
      {"centred subgroup", two(sc, sc, "lattice 139 1,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1\n"),
       "Invalid lattice vectors chosen for subgroup wrt crystal 1\n", 1},
      // Crystals without atoms, crystal 1 first.
      {"no atoms 1", two(none, none), "Error: no atoms in crystal 1\nThis program has bombed\n", 1},
      {"no atoms 2", two(sc, none), "Error: no atoms in crystal 2\nThis program has bombed\n", 1},
      // Lattice parameters without the group's symmetry.
      {"cubic c", two("221\n3 3 3.09 90 90 90\n1\nX a\n", sc),
       "Error: lattice parameters of crystal 1 do not fit its space group\nThis program has bombed\n", 1},
      {"hexagonal gamma", two(sc, "194\n3 3 5 90 90 90\n1\nX c\n"),
       "Error: lattice parameters of crystal 2 do not fit its space group\nThis program has bombed\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto run = run_duopath(c.input);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
    if (c.status == 1) {
      EXPECT_EQ(run.log.find(c.message), std::string::npos);
    }
  }
}

TEST(Preparation, SameVolume) {
  const std::string sc2 = "221\n2 2 2 90 90 90\n1\nX a\n";
  const auto equal = run_duopath(two(sc2, sc2, "samevolume\ntrace lattice1\n"));
  EXPECT_NE(equal.out.find("Volume strain:    1.000\n"
                           "  Adjusted crystal 2:    2.0000   2.0000   2.0000  90.0000  90.0000  90.0000\n"),
            std::string::npos)
      << equal.out;
  // Crystal 2 twice as dense: its cell edges grow by the cube root of 2; the volumes per atom
  // keep their first values, the nearest distance follows the scaled cell.
  const auto dense = run_duopath(two(sc2, "221\n1.587401052 1.587401052 1.587401052 90 90 90\n1\nX a\n",
                                     "samevolume\ntrace lattice1\n"));
  EXPECT_NE(dense.out.find("Volume/atom in crystal 2:      4.000\n"
                           "Volume strain:    0.500\n"
                           "  Adjusted crystal 2:    2.0000   2.0000   2.0000  90.0000  90.0000  90.0000\n"
                           "Nearest distance between atoms in crystal 1:    2.0000\n"
                           "Nearest distance between atoms in crystal 2:    2.0000\n"),
            std::string::npos)
      << dense.out;
  EXPECT_NE(dense.log.find("Volume strain:    0.500\n"), std::string::npos);
}

TEST(Preparation, PercentageLimitOfZeroWritesNothing) {
  const std::string sc = "221\n3 3 3 90 90 90\n1\nX a\n";
  const auto zero = run_duopath(two(sc, sc, "neighbor 0%\ntrace lattice1\n"));
  // The keyword's own echo comes before the preparation's lines.
  const std::string prepared = zero.out.substr(zero.out.find("Nearest distance between atoms in crystal 2"));
  EXPECT_EQ(prepared.find("Minimum distance between atoms:"), std::string::npos) << zero.out;
  const auto half = run_duopath(two(sc, sc, "neighbor 50%\ntrace lattice1\n"));
  EXPECT_NE(half.out.find("\nMinimum distance between atoms:    1.500\n"), std::string::npos) << half.out;
}

class TablesLoaded : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    sgl::load_common_space(SGL_DATA_DIR);
    sgl::load_common_wyckoff(SGL_DATA_DIR);
  }
};

TEST_F(TablesLoaded, ProperOperationsMustComeFirst) {
  // P2/m lists 1, 2, -1, m; with the second and third operators swapped in a copy of the tables
  // an improper operation comes before the last proper one.
  const sgl::CommonSpace& cs = sgl::common_space();
  duopath::PreparedCrystal p;
  duopath::CrystalInput crystal;
  crystal.space_group = 10;
  auto copy = std::make_unique<sgl::CommonSpace>(cs);
  duopath::make_operators(cs, sgl::common_wyckoff(), crystal, p);
  ASSERT_EQ(p.operator_count, 4);
  EXPECT_EQ(duopath::proper_operator_count(cs, p), 2);
  const int32_t first = copy->sg_first_op(10);
  for (int i = 1; i <= 5; ++i) std::swap(copy->sg_op_table(i, first + 1), copy->sg_op_table(i, first + 2));
  duopath::PreparedCrystal swapped;
  duopath::make_operators(*copy, sgl::common_wyckoff(), crystal, swapped);
  ASSERT_FALSE(cs.point_op_proper(swapped.operators[1][4]).value);
  EXPECT_EQ(duopath::proper_operator_count(*copy, swapped), -1);
  // Every group of the tables keeps its proper operations first.
  for (int32_t sg = 1; sg <= 230; ++sg) {
    crystal.space_group = sg;
    duopath::make_operators(cs, sgl::common_wyckoff(), crystal, p);
    EXPECT_GE(duopath::proper_operator_count(cs, p), p.operator_count / 2) << sg;
  }
}

}  // namespace
