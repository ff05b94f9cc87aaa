// Invariant tensors: index packing, factorials, the permutation and rotation tables, and the
// multiplicities and bases of the tensor representations.
#include "vibrex/tensors.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "library/groups/space_group.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/vibrex/irrep_builder.hpp"
#include "tests/vibrex/loaded_fixture.hpp"
#include "vibrex/stored_irrep.hpp"

namespace vibrex {
namespace {

using sgl::testing::Bombed;
using sgl::testing::BombTrap;

TEST(TensorIndex, PackAndUnpackAreInverseBase3Codes) {
  struct Case {
    int rank;
    std::vector<int32_t> idx;
    int32_t code;
  };
  const Case cases[] = {{2, {1, 2}, 1}, {2, {2, 1}, 3}, {2, {3, 3}, 8},     {2, {2, 3}, 5},
                        {0, {}, 0},     {1, {3}, 2},    {3, {3, 1, 2}, 19}, {6, {3, 3, 3, 3, 3, 3}, 728}};
  for (const Case& c : cases) {
    common_tensor().tensor_rank = c.rank;
    int32_t code = -1;
    tensor_pack(c.idx, code);
    EXPECT_EQ(code, c.code) << "rank " << c.rank;
    std::vector<int32_t> back(static_cast<std::size_t>(c.rank), 0);
    tensor_unpack(c.code, back);
    EXPECT_EQ(back, c.idx);
  }
}

TEST(TensorIndex, Factorials) {
  const int32_t expected[] = {1, 1, 2, 6, 24, 120, 720};
  for (int n = 0; n <= 6; ++n) EXPECT_EQ(ifactorial(n), expected[n]);
  BombTrap trap;
  EXPECT_THROW(ifactorial(-1), Bombed);
}

// The sign of a permutation counted by its inversions.
int inversion_sign(const Permutation& p, int n) {
  int s = 1;
  for (int a = 0; a < n; ++a)
    for (int b = a + 1; b < n; ++b)
      if (p.to[a] > p.to[b]) s = -s;
  return s;
}

TEST(PermutationTable, OrderAndSignsOfThreePositions) {
  const std::vector<Permutation>& table = permutation_table();
  const std::array<std::array<int, 3>, 6> perms{{{1, 2, 3}, {2, 1, 3}, {1, 3, 2}, {3, 1, 2}, {2, 3, 1}, {3, 2, 1}}};
  const int signs[] = {1, -1, -1, 1, 1, -1};
  for (int e = 0; e < 6; ++e) {
    for (int t = 0; t < 3; ++t) EXPECT_EQ(table[e].to[t], perms[e][t]) << "entry " << e + 1;
    for (int t = 3; t < 6; ++t) EXPECT_EQ(table[e].to[t], t + 1);
    EXPECT_EQ(table[e].sign, signs[e]);
  }
}

TEST(PermutationTable, AllPermutationsOfSixDistinctWithTheirParity) {
  const std::vector<Permutation>& table = permutation_table();
  ASSERT_EQ(table.size(), 720u);
  std::vector<std::array<int32_t, 6>> seen;
  for (std::size_t e = 0; e < table.size(); ++e) {
    const Permutation& p = table[e];
    std::array<int32_t, 6> sorted = p.to;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::array<int32_t, 6>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(p.sign, inversion_sign(p, 6)) << "entry " << e + 1;
    seen.push_back(p.to);
    // The first s! entries move the first s positions only.
    for (int s = 1; s <= 6; ++s) {
      if (e >= static_cast<std::size_t>(ifactorial(s))) continue;
      for (int t = s; t < 6; ++t) EXPECT_EQ(p.to[t], t + 1);
    }
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
}

TEST(RotationTable, CartesianMatricesAreOrthogonalWithTheirTraces) {
  const auto& loaded = testing::standard_tables();
  const auto& table = rotation_table(*loaded.space);
  for (int p = 1; p <= 72; ++p) {
    const Mat3f& r = table[static_cast<std::size_t>(p - 1)];
    double trace = 0, itrace = 0;
    for (int i = 1; i <= 3; ++i) {
      trace += at3(r, i, i);
      itrace += loaded.space->point_op_rot(i, i, p);
      for (int j = 1; j <= 3; ++j) {
        double dot = 0;
        for (int k = 1; k <= 3; ++k) dot += at3(r, k, i) * at3(r, k, j);
        EXPECT_NEAR(dot, i == j ? 1.0 : 0.0, 2e-5) << "operation " << p;
      }
    }
    EXPECT_NEAR(trace, itrace, 2e-5) << "operation " << p;
  }
}

constexpr std::array<int32_t, 4> kSymmetricPair{2, 1, 2, 0};

struct Result {
  int32_t mult = -1, nind = -1;
  std::vector<float> basis;
  std::vector<int32_t> ind;
};

Result run_basis(const Tables& t, int32_t irrep, int32_t parity, int32_t rank, std::span<const int32_t> index_groups) {
  Result r;
  tensor_basis(t, irrep, parity, rank, index_groups, r.mult, r.basis, r.nind, r.ind);
  return r;
}

class TensorBasisTest : public ::testing::Test {
 protected:
  TensorBasisTest() : run_(testing::standard_fixture()), builder_(run_.loaded()) {
    // 6: the vector representation of P23 (T, three-dimensional); 7: the identity of P6/mmm;
    // 8: twice the identity of P1 (not irreducible); 9: the identity of P6/mmm labelled at X.
    builder_.add(6, 195, "GM4", 3, 3, [&](const sgl::SpaceOp& op) { return builder_.rotation(op); });
    builder_.add(7, 191, "GM1+", 4, 1, [](const sgl::SpaceOp&) { return testing::IntMatrix{1}; });
    builder_.add(8, 1, "GM1", 5, 2, [](const sgl::SpaceOp&) { return testing::IntMatrix{1, 0, 0, 1}; });
    builder_.add(9, 191, "X1", 4, 1, [](const sgl::SpaceOp&) { return testing::IntMatrix{1}; });
  }
  Tables tables() const { return run_.tables(); }

  testing::FixtureRun run_;
  testing::IrrepBuilder builder_;
};

TEST_F(TensorBasisTest, MultiplicitiesByParityRankAndIrrep) {
  // P-1: the even irrep holds every polar symmetric rank-2 component and every axial vector, the
  // odd one every axial rank-2 component and every polar vector. The rotation about z is not
  // invariant in P6/mmm (a vertical mirror reverses it).
  const std::array<int32_t, 1> none{0};
  struct Case {
    int32_t irrep, parity, rank;
    bool pair;
    int32_t mult;
  };
  const Case cases[] = {{1, 1, 2, true, 6},  {2, 1, 2, true, 0},  {1, -1, 2, true, 0},  {2, -1, 2, true, 6},
                        {2, 1, 1, false, 3}, {1, 1, 1, false, 0}, {1, 1, 2, false, 9},  {6, 1, 2, true, 1},
                        {6, 1, 1, false, 1}, {7, 1, 2, true, 2},  {7, -1, 1, false, 0}, {1, -1, 1, false, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE("irrep " + std::to_string(c.irrep) + " parity " + std::to_string(c.parity) + " rank " +
                 std::to_string(c.rank));
    const Result r = c.pair ? run_basis(tables(), c.irrep, c.parity, c.rank, kSymmetricPair)
                            : run_basis(tables(), c.irrep, c.parity, c.rank, none);
    EXPECT_EQ(r.mult, c.mult);
  }
}

TEST_F(TensorBasisTest, SymmetricPairHasSixComponents) {
  const Result r = run_basis(tables(), 1, 1, 2, kSymmetricPair);
  EXPECT_EQ(r.nind, 6);
  EXPECT_EQ(r.ind, (std::vector<int32_t>{0, 1, 2, 4, 5, 8}));
  // Every component is invariant in P-1: the basis is the six unit tensors in order.
  ASSERT_EQ(r.basis.size(), 36u);
  for (int t = 0; t < 6; ++t)
    for (int d = 0; d < 6; ++d) EXPECT_FLOAT_EQ(r.basis[t * 6 + d], d == t ? 1.0f : 0.0f);
}

TEST_F(TensorBasisTest, BasisOfTheVectorIrrepOfTIsYzXzXy) {
  const Result r = run_basis(tables(), 6, 1, 2, kSymmetricPair);
  ASSERT_EQ(r.mult, 1);
  ASSERT_EQ(r.basis.size(), 18u);
  // Rows 1, 2, 3 of the irrep: yz (component 5), xz (3), xy (2).
  const int component[] = {5, 3, 2};
  for (int b = 0; b < 3; ++b)
    for (int d = 1; d <= 6; ++d) EXPECT_FLOAT_EQ(r.basis[b * 6 + d - 1], d == component[b] ? 1.0f : 0.0f) << b << d;
}

TEST_F(TensorBasisTest, HexagonalIdentityGivesXxPlusYyAndZz) {
  const Result r = run_basis(tables(), 7, 1, 2, kSymmetricPair);
  ASSERT_EQ(r.mult, 2);
  const std::vector<float> expected{1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1};
  ASSERT_EQ(r.basis.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(r.basis[i], expected[i], 1e-4) << i;
}

TEST_F(TensorBasisTest, RefusedIrrepsAndArguments) {
  BombTrap trap;
  // A label outside the zone centre; a representation that is not irreducible; rank 7.
  EXPECT_THROW(run_basis(tables(), 3, 1, 2, kSymmetricPair), Bombed);
  EXPECT_THROW(run_basis(tables(), 9, 1, 2, kSymmetricPair), Bombed);
  EXPECT_THROW(run_basis(tables(), 8, 1, 2, kSymmetricPair), Bombed);
  EXPECT_THROW(run_basis(tables(), 1, 1, 7, kSymmetricPair), Bombed);
}

// Over the committed tables: every zone-centre stored irrep of every group occurs in the
// symmetric polar rank-2 tensors as often as the character formula with traces of the
// conventional rotations says: sum chi(g) ((tr R)^2 + tr(R^2)) / 2 over sum chi(g)^2.
TEST(TensorBasisSweep, RamanMultiplicityMatchesTheCharacterFormula) {
  VIBREX_REQUIRE_MODE_TABLES();
  const Tables t = testing::real_tables().tables();
  setenv("XTALDIR", SGL_DATA_DIR "/", 1);
  for (int32_t sg = 1; sg <= 230; ++sg) {
    int32_t nop = 0;
    std::array<sgl::SpaceOp, sgl::kMaxGroupOps> ops{};
    sgl::generate_space_group(t.space, sg, nop, ops);
    for (int32_t m = 1; m <= t.little.little_irrep_count(1, sg); ++m) {
      const int32_t l = t.little.little_irrep_number(m, 1, sg);
      if (l == 0) continue;
      const int32_t irrep = t.little.little_irrep_to_irrep(l);
      ASSERT_NE(irrep, 0);
      double num = 0, den = 0;
      for (int32_t n = 0; n < nop; ++n) {
        float chi = 0;
        StoredMatrix unused{};
        int32_t error = 0;
        get_irrep(t, 1, irrep, ops[n], chi, unused, error);
        const int32_t p = ops[n][4];
        const int32_t p2 = t.space.point_op_product(p, p);
        double tr = 0, tr2 = 0;
        for (int i = 1; i <= 3; ++i) {
          tr += t.space.point_op_rot(i, i, p);
          tr2 += t.space.point_op_rot(i, i, p2);
        }
        num += chi * (tr * tr + tr2) / 2;
        den += static_cast<double>(chi) * chi;
      }
      const Result r = run_basis(t, irrep, 1, 2, kSymmetricPair);
      EXPECT_EQ(r.mult, std::lround(num / den)) << "group " << sg << " irrep " << irrep;
    }
  }
  unsetenv("XTALDIR");
}

}  // namespace
}  // namespace vibrex
