// Isotropy subgroups: the superlattice of k vectors, invariant subspaces and the greedy search.
#include "vibrex/isotropy.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "tests/bomb_trap.hpp"
#include "tests/vibrex/loaded_fixture.hpp"
#include "vibrex/real_irrep.hpp"

namespace vibrex {
namespace {

using sgl::Mat3i;
using sgl::RationalVector;
using sgl::testing::Bombed;
using sgl::testing::BombTrap;

// Columns of a basis.
Mat3i columns(std::array<int32_t, 3> a, std::array<int32_t, 3> b, std::array<int32_t, 3> c) {
  return {a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2]};
}

TEST(Newlat, SuperlatticesOfKVectors) {
  struct Case {
    std::vector<RationalVector> ks;
    Mat3i v;
  };
  const Case cases[] = {
      {{{1, 0, 0, 2}}, columns({2, 0, 0}, {0, 1, 0}, {0, 0, 1})},
      {{{1, 1, 0, 2}}, columns({1, -1, 0}, {1, 1, 0}, {0, 0, 1})},
      {{{1, 1, 1, 3}}, columns({1, -1, 0}, {0, 1, -1}, {1, 1, 1})},
      {{{0, 0, 1, 4}}, columns({1, 0, 0}, {0, 1, 0}, {0, 0, 4})},
      {{{0, 0, 0, 1}}, columns({1, 0, 0}, {0, 1, 0}, {0, 0, 1})},
      {{{1, 0, 0, 2}, {0, 1, 0, 2}}, columns({2, 0, 0}, {0, 2, 0}, {0, 0, 1})},
      {{{1, 0, 0, 64}}, columns({64, 0, 0}, {0, 1, 0}, {0, 0, 1})},
  };
  for (const Case& c : cases) {
    Mat3i v{};
    newlat(c.ks, v);
    EXPECT_EQ(v, c.v) << "first k (" << c.ks[0][0] << "," << c.ks[0][1] << "," << c.ks[0][2] << ")/" << c.ks[0][3];
  }
}

TEST(Newlat, BoundAbove64IsRefused) {
  BombTrap trap;
  const RationalVector k{1, 0, 0, 65};
  Mat3i v{};
  EXPECT_THROW(newlat(std::span<const RationalVector>(&k, 1), v), Bombed);
}

// P-1 at GP (little irrep 5, two arms, real, dimension 2): the inversion is the swap of the two
// basis functions, a lattice translation t a rotation by 2 pi k.t. P1 at GP (little irrep 6) is
// complex, of dimension 2 in real form.
class IsotropyTest : public ::testing::Test {
 protected:
  IsotropyTest() : run_(testing::standard_fixture()) {
    irrep_cache() = IrrepCache{};
    transform_type1_state() = TransformType1State{};
  }
  Tables tables() const { return run_.tables(); }
  testing::FixtureRun run_;
};

TEST_F(IsotropyTest, InvariantSubspaceBasisPutsOneOnTheLowestFreeComponent) {
  // The inversion after a translation of half a period is minus the swap: invariant (1, -1).
  const RationalVector kpar{1, 0, 0, 4};
  const Mat3i v = columns({4, 0, 0}, {0, 1, 0}, {0, 0, 1});
  std::vector<float> basis;
  int32_t ndim = -1;
  const std::vector<sgl::SpaceOp> shifted{{2, 0, 0, 1, 25}};
  subgroup_to_orderparam(tables(), 5, kpar, basis, ndim, v, shifted);
  ASSERT_EQ(ndim, 1);
  EXPECT_NEAR(basis[0], 1.0f, 1e-6);
  EXPECT_NEAR(basis[1], -1.0f, 1e-6);
  // Without operations the translations of the superlattice act as the identity.
  subgroup_to_orderparam(tables(), 5, kpar, basis, ndim, v, {});
  ASSERT_EQ(ndim, 2);
  EXPECT_EQ(std::vector<float>(basis.begin(), basis.begin() + 2), (std::vector<float>{1, 0}));
  EXPECT_EQ(std::vector<float>(basis.begin() + kBasisLead, basis.begin() + kBasisLead + 2), (std::vector<float>{0, 1}));
  // On the parent lattice the translation (1, 0, 0) turns by a quarter: nothing is invariant.
  subgroup_to_orderparam(tables(), 5, kpar, basis, ndim, columns({1, 0, 0}, {0, 1, 0}, {0, 0, 1}), {});
  EXPECT_EQ(ndim, 0);
}

TEST_F(IsotropyTest, SearchAddsTheInversion) {
  for (int32_t den : {4, 64}) {
    SCOPED_TRACE("k = (1/" + std::to_string(den) + ", 0, 0)");
    int32_t ndim = 0, nops = -1;
    std::vector<float> basis;
    Mat3i v{};
    std::vector<sgl::SpaceOp> ops;
    find_isotropy_subgroup(tables(), 5, {1, 0, 0, den}, ndim, basis, v, nops, ops);
    EXPECT_EQ(v, columns({den, 0, 0}, {0, 1, 0}, {0, 0, 1}));
    EXPECT_EQ(ndim, 1);
    ASSERT_EQ(nops, 1);
    EXPECT_EQ(ops[0], (sgl::SpaceOp{0, 0, 0, 1, 25}));
    EXPECT_NEAR(basis[0], 1.0f, 1e-6);
    EXPECT_NEAR(basis[1], 1.0f, 1e-6);
  }
}

TEST_F(IsotropyTest, ComplexIrrepNeedsTheTranslationsOnly) {
  int32_t ndim = 0, nops = -1;
  std::vector<float> basis;
  Mat3i v{};
  std::vector<sgl::SpaceOp> ops;
  find_isotropy_subgroup(tables(), 6, {1, 1, 0, 2}, ndim, basis, v, nops, ops);
  EXPECT_EQ(ndim, 2);
  EXPECT_EQ(nops, 0);
  EXPECT_EQ(v, columns({1, -1, 0}, {1, 1, 0}, {0, 0, 1}));
}

TEST_F(IsotropyTest, KVectorBeyondSixtyFourCellsStops) {
  BombTrap trap;
  int32_t ndim = 0, nops = 0;
  std::vector<float> basis;
  Mat3i v{};
  std::vector<sgl::SpaceOp> ops;
  EXPECT_THROW(find_isotropy_subgroup(tables(), 5, {1, 0, 0, 65}, ndim, basis, v, nops, ops), Bombed);
}

}  // namespace
}  // namespace vibrex
