// Mode projection: the multiplicity rule, projected modes on the positions of P-1 and P1, and
// the displacement vectors of the vector slots.
#include "vibrex/mode_projection.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "library/groups/wyckoff_orbits.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/vibrex/analysis_fixture.hpp"
#include "tests/vibrex/loaded_fixture.hpp"
#include "vibrex/real_irrep.hpp"

namespace vibrex {
namespace {

using sgl::SpaceOp;
using sgl::testing::Bombed;
using sgl::testing::BombTrap;

TEST(ModeMultiplicity, TypeTimesSiteTypeTimesListed) {
  struct Case {
    int32_t p, reality, sreal;
    std::optional<int32_t> m;  // none: the run stops
  };
  const Case cases[] = {{1, 1, 1, 1},  {2, 1, 1, 2},  {1, 1, 2, 2}, {0, 1, 1, 0}, {4, 2, 1, 1},  {2, 2, 2, 1},
                        {1, 2, 2, {}}, {1, 2, 1, {}}, {1, 3, 2, 1}, {2, 3, 1, 1}, {1, 3, 1, {}}, {3, 3, 3, 3}};
  BombTrap trap;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.p) + " " + std::to_string(c.reality) + " " + std::to_string(c.sreal));
    if (c.m) {
      EXPECT_EQ(mode_multiplicity(c.p, c.reality, c.sreal), *c.m);
    } else {
      EXPECT_THROW(mode_multiplicity(c.p, c.reality, c.sreal), Bombed);
    }
  }
}

class ProjectTest : public ::testing::Test {
 protected:
  ProjectTest() : run_(testing::standard_fixture()) {
    irrep_cache() = IrrepCache{};
    transform_type1_state() = TransformType1State{};
  }
  Tables tables() const { return run_.tables(); }

  // The first position of the group whose site point group is pg, and its site operations.
  int32_t position(int32_t sg, int32_t pg, std::vector<SpaceOp>& ops) const {
    const Tables t = tables();
    for (int32_t w = 1; w <= t.wyckoff.wyc_count(sg); ++w) {
      const int32_t wyc = t.wyckoff.wyc_first(sg) + w - 1;
      if (t.wyckoff.wyc_site_point_group(wyc) != pg) continue;
      sgl::WyckoffMatrix m{};
      for (int c = 1; c <= 4; ++c)
        for (int r = 1; r <= 4; ++r) sgl::m4(m, r, c) = t.wyckoff.wyc_matrix_table(r, c, wyc);
      for (int c = 1; c <= 4; ++c)
        if (sgl::m4(m, 4, c) == 0) sgl::m4(m, 4, c) = 1;
      ops.assign(static_cast<std::size_t>(t.space.pg_order(pg)), SpaceOp{});
      sgl::wyc_pg_elements(t.space, t.wyckoff, sg, "pml", wyc, m, ops);
      return w;
    }
    ADD_FAILURE() << "no position";
    return 0;
  }

  testing::FixtureRun run_;
};

TEST_F(ProjectTest, OddIrrepOnAnInversionCentre) {
  std::vector<SpaceOp> ops;
  const int32_t w = position(2, 2, ops);
  int32_t lo = 0, m = -1;
  std::vector<float> modes;
  project(tables(), 2, {0, 0, 0, 1}, w, ops, 2, lo, m, modes);
  EXPECT_EQ(m, 1);
  EXPECT_EQ(lo, tables().wyckoff.pg_list_first(2));
  EXPECT_EQ(modes[coef_index(1, 1, 1)], 1.0f);
  // The even irrep does not list Au there; the odd one does not list Ag.
  project(tables(), 1, {0, 0, 0, 1}, w, ops, 2, lo, m, modes);
  EXPECT_EQ(m, 0);
  project(tables(), 2, {0, 0, 0, 1}, w, ops, 1, lo, m, modes);
  EXPECT_EQ(m, 0);
}

TEST_F(ProjectTest, InducedModeTransformsLikeTheSiteIrrep) {
  // P-1 at GP: the two-arm irrep on an inversion centre through Au: the inversion's real matrix
  // takes the projected mode to its negative.
  std::vector<SpaceOp> ops;
  const int32_t w = position(2, 2, ops);
  const sgl::RationalVector kpar{1, 2, 3, 10};
  int32_t lo = 0, m = -1;
  std::vector<float> modes;
  project(tables(), 5, kpar, w, ops, 2, lo, m, modes);
  ASSERT_EQ(m, 1);
  RealMatrix d{};
  float x = 0;
  int32_t error = 0;
  get_irrep2(tables(), 2, 5, {0, 0, 0, 1, 25}, kpar, x, d, error);
  float largest = 0;
  for (int a = 1; a <= 2; ++a) {
    const double image = rat(d, a, 1) * modes[coef_index(1, 1, 1)] + rat(d, a, 2) * modes[coef_index(1, 2, 1)];
    EXPECT_NEAR(image, -modes[coef_index(1, a, 1)], 1e-5);
    largest = std::max(largest, std::fabs(modes[coef_index(1, a, 1)]));
  }
  EXPECT_FLOAT_EQ(largest, 1.0f);
}

TEST_F(ProjectTest, ComplexIrrepWithoutStoredTransformationStops) {
  std::vector<SpaceOp> ops;
  const int32_t w = position(1, 1, ops);
  run_.loaded().little->little_irrep_transform_start(6) = 0;
  int32_t lo = 0, m = 0;
  std::vector<float> modes;
  bool bombed = false;
  const std::string out = testing::output_of(
      [&] {
        project(tables(), 6, {1, 0, 0, 4}, w, ops, 1, lo, m, modes);
      },
      bombed);
  EXPECT_TRUE(bombed);
  EXPECT_NE(out.find("Error in project: no stored transformation for little irrep"), std::string::npos) << out;
}

TEST_F(ProjectTest, ComplexIrrepWithItsTransformation) {
  // P1 at GP, reality 3, through the real identity irrep of point group 1: listed once it is not
  // divisible by 2 and the run stops; listed twice it gives one mode.
  std::vector<SpaceOp> ops;
  const int32_t w = position(1, 1, ops);
  int32_t lo = 0, m = 0;
  std::vector<float> modes;
  BombTrap trap;
  EXPECT_THROW(project(tables(), 6, {1, 0, 0, 4}, w, ops, 1, lo, m, modes), Bombed);
  run_.loaded().wyckoff->irrep_wyc_multiplicity(3) = 2;
  run_.loaded().little->little_irrep_wyc_multiplicity(3) = 2;
  project(tables(), 6, {1, 0, 0, 4}, w, ops, 1, lo, m, modes);
  EXPECT_EQ(m, 1);
}

int32_t operation_with(const sgl::CommonSpace& cs, std::array<int, 9> r) {
  for (int32_t p = 1; p <= 48; ++p)
    if (testing::rotation(cs, p) == r) return p;
  return 0;
}

TEST_F(ProjectTest, VectorsOfTheSlotsByKindAndOperation) {
  const Tables t = tables();
  const int32_t lo = t.wyckoff.pg_list_first(2);
  const int32_t inversion = 25;
  const int32_t fourfold = operation_with(t.space, {0, 1, 0, -1, 0, 0, 0, 0, 1});
  ASSERT_NE(fourfold, 0);
  struct Case {
    int32_t r, kind, op;
    int32_t nvec;
    double sign;  // the vectors are sign times the rotated unit vectors
  };
  const Case cases[] = {{2, 1, 1, 3, 1}, {2, 1, inversion, 3, 1}, {1, 2, inversion, 3, -1},
                        {1, 2, 1, 3, 1}, {1, 1, 1, 0, 1},         {2, 1, fourfold, 3, 1}};
  std::vector<float> coef(3 * kCoefColumns, 0.0f);
  coef[coef_index(1, 1, 1)] = 1.0f;
  for (const Case& c : cases) {
    SCOPED_TRACE("r " + std::to_string(c.r) + " kind " + std::to_string(c.kind) + " op " + std::to_string(c.op));
    int32_t nvec = -1;
    std::vector<float> vec;
    project_vector(t, 2, lo, c.r, 1, 1, c.kind, c.op, 1, coef, nvec, vec);
    ASSERT_EQ(nvec, c.nvec);
    // Block k holds the slot-k unit vector, rotated.
    for (int k = 1; k <= nvec; ++k)
      for (int i = 1; i <= 3; ++i)
        EXPECT_FLOAT_EQ(vec[coef_index(i, 1, k)], c.sign * t.space.point_op_rot(i, k, c.op)) << k << i;
  }
  // A two-dimensional site irrep listed in slot 1 also fills slot 3, which has no partner.
  int32_t nvec = 0;
  std::vector<float> vec;
  bool bombed = false;
  testing::output_of([&] { project_vector(t, 2, lo, 2, 1, 2, 1, 1, 1, coef, nvec, vec); }, bombed);
  EXPECT_TRUE(bombed);
}

}  // namespace
}  // namespace vibrex
