// The irrep analysis: the isotropy choice and the transverse directions as pure functions, and
// the report of whole runs on the fixture tables.
#include "vibrex/irrep_analysis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "library/groups/space_group.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/table_files.hpp"
#include "tests/text_io_child.hpp"
#include "tests/vibrex/loaded_fixture.hpp"
#include "tests/vibrex/mode_table_fixture.hpp"
#include "vibrex/stored_irrep.hpp"

namespace vibrex {
namespace {

using sgl::testing::Bombed;
using sgl::testing::BombTrap;

TEST(IsotropyChoice, RowsOfParametersDeterminantsOrdersAndInversion) {
  struct Case {
    const char* what;
    std::vector<IsotropyCandidate> rows;  // {p, det, order, inversion}
    int32_t chosen, minpar;
  };
  const Case cases[] = {
      {"smaller determinant first", {{2, 1, 4, 0}, {1, 2, 8, 1}, {1, 1, 4, 0}}, 1, 1},
      {"tie won by order", {{2, 1, 4, 0}, {1, 2, 8, 1}, {1, 1, 8, 0}}, 3, 1},
      {"tie won by inversion", {{2, 1, 4, 0}, {1, 2, 8, 1}, {1, 1, 4, 1}}, 3, 1},
      {"full tie keeps the earlier", {{1, 1, 4, 1}, {1, 1, 4, 1}}, 1, 1},
      {"more parameters passed over", {{1, 4, 2, 0}, {2, 1, 48, 1}}, 1, 1},
      {"determinant 100 wins alone", {{1, 100, 1, 0}}, 1, 1},
      {"determinant 101 never wins", {{1, 101, 48, 1}}, 0, 1},
      {"101 then 100", {{1, 101, 48, 1}, {1, 100, 2, 0}}, 2, 1},
      {"signed determinant", {{1, 2, 4, 0}, {1, -2, 2, 0}}, 2, 1},
      {"no entries", {}, 0, 100},
  };
  for (const Case& c : cases) {
    int32_t minpar = -1;
    EXPECT_EQ(choose_isotropy(c.rows, minpar), c.chosen) << c.what;
    EXPECT_EQ(minpar, c.minpar) << c.what;
  }
}

TEST(TransverseDirection, ByDimensionAndZeroComponents) {
  struct Case {
    int32_t dim;
    std::array<float, 3> c, t;
  };
  const Case cases[] = {{2, {0.6f, 0.8f, 0}, {-0.8f, 0.6f, 0}},
                        {3, {0.6f, 0.8f, 0}, {0, 0, 1}},
                        {3, {0, 0.6f, 0.8f}, {1, 0, 0}},
                        {3, {0.0005f, 0, 1}, {1, 0, 0}},
                        {3, {0.577f, 0.577f, 0.577f}, {-0.577f, 0.577f, 0}}};
  for (const Case& c : cases) EXPECT_EQ(transverse_direction(c.dim, c.c), c.t) << c.dim << " " << c.c[0];
  BombTrap trap;
  EXPECT_THROW(transverse_direction(1, {1, 0, 0}), Bombed);
  EXPECT_THROW(transverse_direction(4, {1, 0, 0}), Bombed);
}

// The standard fixture with a line through the zone centre along a* (LN) and one along a* that
// misses it (LM), written once per test process.
const std::string& fixture_dir() {
  static sgl::testing::TempDir dir;
  static const bool written = [] {
    testing::ModeFixture f = testing::standard_fixture();
    f.little.set("kvec_count", {1}, 5);
    f.little.set_text("kvec_label", {4, 1}, "LN");
    f.little.set_text("kvec_label", {5, 1}, "LM");
    for (int j = 4; j <= 5; ++j) {
      for (int c = 1; c <= 4; ++c) f.little.set("kvec_matrix", {4, c, j, 1}, 1);
      f.little.set("kvec_parameter_count", {j, 1}, 1);
      f.little.set("kvec_matrix", {1, 2, j, 1}, 1);
    }
    f.little.set("kvec_matrix", {2, 1, 5, 1}, 1);
    f.little.set("kvec_matrix", {4, 1, 5, 1}, 2);
    f.write(dir.path());
    return true;
  }();
  static_cast<void>(written);
  static const std::string slash = dir.slash();
  return slash;
}

text_io_test::ChildResult run_vibrex(const std::string& input) {
  text_io_test::ChildOptions options;
  options.input = input;
  options.environment = {"XTALDIR=" + fixture_dir()};
  return text_io_test::run_child({std::string(SGL_BIN_DIR) + "/vibrex"}, options);
}

// P-1, a = 3, b = 4, c = 5 with right angles: Si on the inversion centre, O on the general
// position.
std::string structure(const std::string& atoms = "2\nSi 1a\nO 2i 0.1 0.2 0.3\n") {
  return "Analysis fixture\n2\n3 4 5 90 90 90\n" + atoms;
}

bool has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

int count(const std::string& out, const std::string& text) {
  int n = 0;
  for (std::size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1)) ++n;
  return n;
}

TEST(IrrepReport, ZoneCentreCountsActivitiesAndModes) {
  const auto r = run_vibrex(structure() + "1\nGM\n");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string odd =
      "Irrep GM1-           \n"
      "Degeneracy:  1\n"
      "Total number of modes:   6\n"
      "These include 3 translational modes\n"
      "IR active\n"
      "Vectors defining superlattice\n"
      "   3.00000   0.00000   0.00000\n"
      "   0.00000   4.00000   0.00000\n"
      "   0.00000   0.00000   5.00000\n"
      "atom  type   position\n"
      "  1   Si     0.00000   0.00000   0.00000\n"
      "  2   O      0.30000   0.80000   1.50000\n"
      "  3   O      2.70000   3.20000   3.50000\n"
      "Symmetry modes:\n"
      "The following include 3 translational modes\n"
      "atom  type   displacement\n"
      "------------------------------------------\n"
      "  1   Si     1.00000   0.00000   0.00000\n";
  EXPECT_TRUE(has(r.out, odd)) << r.out;
  const std::string even =
      "Irrep GM1+           \n"
      "Degeneracy:  1\n"
      "Total number of modes:   3\n"
      "Raman active\n"
      "Vectors defining superlattice\n";
  EXPECT_TRUE(has(r.out, even)) << r.out;
  // Modes list only the atoms that move: the O pair moves apart in GM1+.
  EXPECT_TRUE(has(r.out, "  2   O      1.00000   0.00000   0.00000\n  3   O     -1.00000   0.00000   0.00000\n"))
      << r.out;
  EXPECT_EQ(count(r.out, "------------------------------------------\n"), 9);
}

TEST(IrrepReport, IrrepsThatNoAtomReachesWriteNothing) {
  // Si alone on the inversion centre: the even irreps at GM and X have no modes.
  const auto r = run_vibrex(structure("1\nSi 1a\n") + "2\nGM\nX\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(has(r.out, "Irrep GM1+")) << r.out;
  EXPECT_FALSE(has(r.out, "Irrep X1+")) << r.out;
  EXPECT_TRUE(has(r.out, "Irrep X1-            \nDegeneracy:  1\nTotal number of modes:   3\nVectors")) << r.out;
  // X doubles the cell along a: the two Si move in opposite senses.
  EXPECT_TRUE(has(r.out, "   6.00000   0.00000   0.00000\n")) << r.out;
  EXPECT_TRUE(has(r.out, "  1   Si     1.00000   0.00000   0.00000\n  2   Si    -1.00000   0.00000   0.00000\n"))
      << r.out;
}

TEST(IrrepReport, LongitudinalDirectionNeedsAThirdWord) {
  const auto two = run_vibrex(structure("1\nSi 1a\n") + "1\nGM LN\n");
  ASSERT_EQ(two.status, 0) << two.err;
  EXPECT_FALSE(has(two.out, "longitudinal")) << two.out;
  const auto three = run_vibrex(structure("1\nSi 1a\n") + "1\nGM LN x\n");
  ASSERT_EQ(three.status, 0) << three.err;
  EXPECT_TRUE(has(three.out, "Modes are longitudinal along the LN direction,\n   1.00000   0.00000   0.00000\n"))
      << three.out;
  // The one-dimensional odd irrep takes the direction as its order parameter: one block only.
  EXPECT_EQ(count(three.out, "Irrep GM1-"), 1);
}

TEST(IrrepReport, RefusedDirectionsAndKVectors) {
  struct Case {
    std::string k, stop;
  };
  const Case cases[] = {
      {"GM ZZ x", " STOP Error:  k vector not in data base: ZZ, on line: GM ZZ x\n"},
      {"GM X x", " STOP Error: invalid direction of longitudinal mode\n"},
      {"GM LM x", " STOP Error: invalid direction of longitudinal mode\n"},
      {"GP 1/65 1/3 1/5", " STOP Error:  k vector needs a superlattice of more than 64 cells\n"},
  };
  for (const Case& c : cases) {
    const auto r = run_vibrex(structure("1\nSi 1a\n") + "1\n" + c.k + "\n");
    EXPECT_EQ(r.err, c.stop) << c.k;
    EXPECT_FALSE(has(r.out, "Irrep ")) << c.k;
  }
}

// Over the committed tables: at the zone centre of every group each irrep holds the vector
// representation as often as sum chi(g) tr R(g) / sum chi(g)^2 says (traces of the conventional
// rotations), and the acoustic modes add up to three.
TEST(ZoneCentreSweep, TranslationalModesByCharacters) {
  VIBREX_REQUIRE_MODE_TABLES();
  const Tables t = testing::real_tables().tables();
  setenv("XTALDIR", SGL_DATA_DIR "/", 1);
  for (int32_t sg = 1; sg <= 230; ++sg) {
    ZoneCentreCounts counts;
    count_zone_centre_modes(t, sg, {0, 0, 0, 1}, counts);
    int32_t nop = 0;
    std::array<sgl::SpaceOp, sgl::kMaxGroupOps> ops{};
    sgl::generate_space_group(t.space, sg, nop, ops);
    int32_t total = 0;
    for (int32_t m = 1; m <= t.little.little_irrep_count(1, sg); ++m) {
      const int32_t l = t.little.little_irrep_number(m, 1, sg);
      if (l == 0) continue;
      double num = 0, den = 0;
      for (int32_t n = 0; n < nop; ++n) {
        float chi = 0;
        StoredMatrix unused{};
        int32_t error = 0;
        get_irrep(t, 1, t.little.little_irrep_to_irrep(l), ops[n], chi, unused, error);
        double tr = 0;
        for (int i = 1; i <= 3; ++i) tr += t.space.point_op_rot(i, i, ops[n][4]);
        num += chi * tr;
        den += static_cast<double>(chi) * chi;
      }
      EXPECT_EQ(counts.trans_mode_count[m - 1], std::lround(num / den)) << "group " << sg << " slot " << m;
      total += t.little.little_irrep_dimension(l) * counts.trans_mode_count[m - 1];
    }
    EXPECT_EQ(total, 3) << "group " << sg;
  }
  unsetenv("XTALDIR");
}

}  // namespace
}  // namespace vibrex
