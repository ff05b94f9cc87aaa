// Isotropy subgroups: the superlattice of k vectors, invariant subspaces and the greedy search.
#include "vibrex/isotropy.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/groups/get_new_fractionals.hpp"
#include "library/groups/space_group.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/vibrex/loaded_fixture.hpp"
#include "vibrex/constants.hpp"
#include "vibrex/induced_irrep.hpp"
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
  // The double-precision reduction gives the same subspace, written the same way.
  std::vector<float> twice;
  int32_t ndouble = -1;
  IrrepMatrixCache matrices;
  invariant_subspace_double(tables(), 5, kpar, orderparam_generators(tables().little.little_irrep_sg(5), v, shifted),
                            matrices, twice, ndouble);
  EXPECT_EQ(ndouble, 1);
  EXPECT_NEAR(twice[0], 1.0f, 1e-6);
  EXPECT_NEAR(twice[1], -1.0f, 1e-6);
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

// Over the committed tables: irreps of dimension 48 and 24 (GP of Fd-3m, Q of Fd-3c, V2 of
// Ia-3d) at parameter values where the single-precision reduction keeps rounding that its zero
// test cannot tell from equations. The reference is the kernel of A = sum over the generators
// of (D - 1)^T (D - 1), whose vectors are exactly those every generator keeps (D orthogonal:
// x^T (D - 1)^T (D - 1) x = |D x - x|^2), found with the Jacobi eigenvalue method in double
// precision.
class IsotropyRealTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VIBREX_REQUIRE_MODE_TABLES();
    setenv("XTALDIR", SGL_DATA_DIR "/", 1);
    reset();
  }
  void TearDown() override {
    reset();
    unsetenv("XTALDIR");
  }
  static void reset() {
    const_common() = ConstCommon{};
    irrep_cache() = IrrepCache{};
    transform_type1_state() = TransformType1State{};
  }
  static Tables tables() { return testing::real_tables().tables(); }
};

// Eigenvalues of a symmetric n x n matrix (by columns), cyclic Jacobi rotations.
std::vector<double> symmetric_eigenvalues(std::vector<double> a, int32_t n) {
  auto at = [&](int32_t i, int32_t j) -> double& { return a[static_cast<std::size_t>(j * n + i)]; };
  for (int32_t sweep = 0; sweep < 60; ++sweep) {
    double off = 0;
    for (int32_t p = 0; p < n; ++p)
      for (int32_t q = p + 1; q < n; ++q) off += at(p, q) * at(p, q);
    if (off < 1e-26) break;
    for (int32_t p = 0; p < n; ++p) {
      for (int32_t q = p + 1; q < n; ++q) {
        if (std::fabs(at(p, q)) < 1e-300) continue;
        const double theta = (at(q, q) - at(p, p)) / (2 * at(p, q));
        const double tan = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1 / std::sqrt(tan * tan + 1), s = tan * c;
        for (int32_t k = 0; k < n; ++k) {
          const double kp = at(k, p), kq = at(k, q);
          at(k, p) = c * kp - s * kq;
          at(k, q) = s * kp + c * kq;
        }
        for (int32_t k = 0; k < n; ++k) {
          const double pk = at(p, k), qk = at(q, k);
          at(p, k) = c * pk - s * qk;
          at(q, k) = s * pk + c * qk;
        }
      }
    }
  }
  std::vector<double> d(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) d[static_cast<std::size_t>(i)] = at(i, i);
  return d;
}

// The irrep matrices of the generators, in double precision, dim x dim by columns.
std::vector<std::vector<double>> generator_matrices(const Tables& t, int32_t l, const RationalVector& kpar,
                                                    const std::vector<sgl::SpaceOp>& gens) {
  const int32_t dim = t.little.little_irrep_dimension(l);
  std::vector<std::vector<double>> out;
  for (const sgl::SpaceOp& g : gens) {
    RealMatrix d{};
    float x = 0;
    int32_t error = 0;
    get_irrep2(t, 2, l, g, kpar, x, d, error);
    EXPECT_EQ(error, 0);
    std::vector<double> m(static_cast<std::size_t>(dim * dim));
    for (int32_t c = 1; c <= dim; ++c)
      for (int32_t r = 1; r <= dim; ++r) m[static_cast<std::size_t>((c - 1) * dim + r - 1)] = rat(d, r, c);
    out.push_back(std::move(m));
  }
  return out;
}

// The dimension of the subspace every matrix keeps: the eigenvalues of A below 1e-6 (rounding of
// single-precision matrices: 1e-13 here). The others are 1 or more for these irreps; none may lie
// between the two classes.
int32_t kept_dimension(const std::vector<std::vector<double>>& mats, int32_t dim) {
  std::vector<double> a(static_cast<std::size_t>(dim * dim), 0.0);
  for (const std::vector<double>& m : mats)
    for (int32_t i = 0; i < dim; ++i)
      for (int32_t j = 0; j < dim; ++j) {
        double sum = 0;
        for (int32_t r = 0; r < dim; ++r) {
          const double ri = m[static_cast<std::size_t>(i * dim + r)] - (r == i ? 1 : 0);
          const double rj = m[static_cast<std::size_t>(j * dim + r)] - (r == j ? 1 : 0);
          sum += ri * rj;
        }
        a[static_cast<std::size_t>(j * dim + i)] += sum;
      }
  int32_t kept = 0;
  for (double e : symmetric_eigenvalues(a, dim)) {
    EXPECT_TRUE(e < 1e-6 || e > 1e-2) << "eigenvalue " << e << " between the two classes";
    kept += e < 1e-6 ? 1 : 0;
  }
  return kept;
}

// Every basis vector is kept by every matrix, and has 1 on its free component with zeros below:
// the components run lowest first, each vector's 1 above the previous one's.
void expect_kept_basis(const std::vector<std::vector<double>>& mats, int32_t dim, const std::vector<float>& basis,
                       int32_t ndim) {
  int32_t last_one = -1;
  for (int32_t n = 0; n < ndim; ++n) {
    const float* b = basis.data() + static_cast<std::size_t>(n) * kBasisLead;
    int32_t first = 0;
    while (first < dim && b[first] == 0.0f) ++first;
    ASSERT_LT(first, dim);
    EXPECT_EQ(b[first], 1.0f) << "basis vector " << n;
    EXPECT_GT(first, last_one) << "basis vector " << n;
    last_one = first;
    for (const std::vector<double>& m : mats)
      for (int32_t r = 0; r < dim; ++r) {
        double moved = -b[r];
        for (int32_t c = 0; c < dim; ++c) moved += m[static_cast<std::size_t>(c * dim + r)] * b[c];
        EXPECT_LT(std::fabs(moved), 1e-4) << "basis vector " << n << " component " << r + 1;
      }
  }
}

// Little irreps, parameter values and operations of trials that the search met, at which the
// single-precision reduction cannot decide: its 50 rows fill with rounding (dimensions 48 and 24)
// or a kept row loses its pivot (dimensions 8 and 12). The whole search ends with a subspace its
// operations keep; the trial, decided in double precision, agrees with the reference; its trial
// without the last operation, which single precision decides, is decided alike in double.
TEST_F(IsotropyRealTablesTest, TrialsTheSinglePrecisionReductionCannotDecide) {
  struct Case {
    int32_t sg;
    int32_t l;
    RationalVector kpar;
    std::vector<sgl::SpaceOp> ops;
  };
  const Case cases[] = {
      {227, 10222, {15, 20, 12, 60}, {{6, 3, 6, 2, 20}}},                // GP 1/4 1/3 1/5
      {228, 10236, {1, 0, 0, 8}, {{1, 0, 0, 2, 4}, {4, 6, -1, 2, 12}}},  // Q 1/8
      {230, 10283, {5, 6, 0, 30}, {{1, 0, 1, 2, 2}, {4, 0, 2, 1, 5}}},   // V2 1/6 1/5
      {141, 8527, {5, 6, 0, 30}, {{1, 0, 1, 2, 2}, {5, -4, 1, 2, 3}}},   // V3 1/6 1/5
      {176, 9126, {3, 8, 0, 24}, {{2, 4, 3, 2, 53}}},                    // V4 1/8 1/3
  };
  const Tables t = tables();
  for (const Case& c : cases) {
    SCOPED_TRACE("little irrep " + std::to_string(c.l) + " of group " + std::to_string(c.sg));
    ASSERT_EQ(t.little.little_irrep_sg(c.l), c.sg);
    const int32_t dim = t.little.little_irrep_dimension(c.l);
    IrrepMatrixCache cache;
    int32_t ndim = 0, nops = 0;
    std::vector<float> basis;
    Mat3i v{};
    std::vector<sgl::SpaceOp> ops;
    find_isotropy_subgroup(t, c.l, c.kpar, ndim, basis, v, nops, ops, &cache);
    const std::vector<std::vector<double>> found =
        generator_matrices(t, c.l, c.kpar, orderparam_generators(c.sg, v, ops));
    EXPECT_EQ(ndim, kept_dimension(found, dim));
    expect_kept_basis(found, dim, basis, ndim);

    const std::vector<sgl::SpaceOp> gens = orderparam_generators(c.sg, v, c.ops);
    std::vector<float> single, twice;
    int32_t nsingle = -1, ndouble = -1;
    EXPECT_FALSE(invariant_subspace_single(t, c.l, c.kpar, gens, cache, single, nsingle));
    EXPECT_EQ(nsingle, -1);
    invariant_subspace_double(t, c.l, c.kpar, gens, cache, twice, ndouble);
    const std::vector<std::vector<double>> mats = generator_matrices(t, c.l, c.kpar, gens);
    EXPECT_EQ(ndouble, kept_dimension(mats, dim));
    expect_kept_basis(mats, dim, twice, ndouble);
    subgroup_to_orderparam(t, c.l, c.kpar, single, nsingle, v, c.ops, &cache);
    EXPECT_EQ(nsingle, ndouble);
    EXPECT_EQ(single, twice);

    const std::vector<sgl::SpaceOp> fewer =
        orderparam_generators(c.sg, v, std::span<const sgl::SpaceOp>(c.ops).first(c.ops.size() - 1));
    ASSERT_TRUE(invariant_subspace_single(t, c.l, c.kpar, fewer, cache, single, nsingle));
    invariant_subspace_double(t, c.l, c.kpar, fewer, cache, twice, ndouble);
    EXPECT_EQ(nsingle, kept_dimension(generator_matrices(t, c.l, c.kpar, fewer), dim));
    ASSERT_EQ(nsingle, ndouble);
    for (int32_t i = 0; i < kBasisLead * nsingle; ++i)
      EXPECT_NEAR(single[static_cast<std::size_t>(i)], twice[static_cast<std::size_t>(i)], 2e-5) << "entry " << i;
  }
}

}  // namespace
}  // namespace vibrex
