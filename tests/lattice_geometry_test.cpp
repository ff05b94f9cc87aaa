// Metrics, lattice parameters, the LU inverse, the Jacobi eigensolver and principal stretches.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "library/geometry/jacobi.hpp"
#include "library/geometry/lattice_metric.hpp"
#include "library/geometry/lu_decomposition.hpp"
#include "library/geometry/magic_strain.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/geometry_test_support.hpp"
#include "tests/text_io_child.hpp"

namespace {

using sgl::testing::at3;
using sgl::testing::basis_from_parameters;
using sgl::testing::identity3;
using sgl::testing::Mat3;
using sgl::testing::max_diff;
using sgl::testing::mul3;
using sgl::testing::transpose3;

Mat3 random_basis(std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-6.0, 6.0);
  Mat3 b;
  do {
    for (double& v : b) v = u(rng);
  } while (std::fabs(mul3(transpose3(b), b)[0]) < 1.0 ||
           std::fabs(b[0] * (b[4] * b[8] - b[7] * b[5]) - b[3] * (b[1] * b[8] - b[7] * b[2]) +
                     b[6] * (b[1] * b[5] - b[4] * b[2])) < 5.0);
  return b;
}

// --- metrics and lattice parameters ---

TEST(LatticeMetric, ParametersOfABasisBuiltFromThem) {
  const std::array<std::array<double, 6>, 5> cells{{
      {4.2, 4.2, 4.2, 90, 90, 90},
      {3.1, 3.1, 5.05, 90, 90, 120},
      {5.6, 7.3, 4.9, 90, 104.5, 90},
      {6.1, 7.7, 8.3, 71.3, 84.9, 113.2},
      {2.5, 2.5, 2.5, 60, 60, 60},
  }};
  for (const auto& p : cells) {
    const Mat3 b = basis_from_parameters(p);
    std::array<double, 6> abc;
    sgl::dgetabc(b, abc);
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(abc[k], p[k], 1e-12 * std::fabs(p[k])) << k;
    // The metric from the parameters is the metric of the basis.
    Mat3 g1, g2;
    sgl::dget_gmat(p, g1);
    sgl::dget_gmat2(b, g2);
    EXPECT_LT(max_diff(g1, g2), 1e-12 * g2[8]);
    EXPECT_EQ(g1, transpose3(g1));
  }
}

TEST(LatticeMetric, RandomBasesAgreeThroughTheirParameters) {
  std::mt19937 rng(1201);
  for (int trial = 0; trial < 200; ++trial) {
    const Mat3 b = random_basis(rng);
    std::array<double, 6> abc;
    sgl::dgetabc(b, abc);
    Mat3 from_parameters, from_basis;
    sgl::dget_gmat(abc, from_parameters);
    sgl::dget_gmat2(b, from_basis);
    EXPECT_EQ(from_basis, transpose3(from_basis));
    double scale = 0.0;
    for (double v : from_basis) scale = std::max(scale, std::fabs(v));
    EXPECT_LT(max_diff(from_parameters, from_basis), 1e-12 * scale) << trial;
  }
}

TEST(LatticeMetric, LengthsInAMetric) {
  Mat3 hex;  // a = 2, c = 3, gamma = 120
  sgl::dget_gmat(std::array<double, 6>{2, 2, 3, 90, 90, 120}, hex);
  struct Case {
    std::array<double, 3> v;
    double length;
  };
  const Case cases[] = {
      {{1, 0, 0}, 2.0},
      {{1, 1, 0}, 2.0},                    // a + b of a hexagonal cell is as long as a
      {{1, -1, 0}, 2.0 * std::sqrt(3.0)},  // the long diagonal
      {{0, 0, -1}, 3.0},
      {{0.5, 0.5, 0.5}, std::sqrt(1.0 + 2.25)},
      {{0, 0, 0}, 0.0},
  };
  for (const Case& c : cases) EXPECT_NEAR(sgl::dvlength2(c.v, hex), c.length, 1e-14);
  // A negative quadratic form gives NaN, unguarded.
  const Mat3 indefinite{1, 0, 0, 0, -1, 0, 0, 0, 1};
  EXPECT_TRUE(std::isnan(sgl::dvlength2(std::array<double, 3>{0, 1, 0}, indefinite)));
}

// --- LU decomposition and inverse ---

// Angles that span a cell against angles that leave c in the a-b plane (their squared height
// is 0 up to rounding) or span nothing: the sum of the three reaching 360 degrees, one angle the
// sum or difference of the other two, a zero gamma (0 / 0), NaN.
TEST(LatticeMetric, AnglesThatSpanACell) {
  const double degree = 0.017453292519943295;
  struct Case {
    double alpha, beta, gamma;
    bool cell;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {90, 90, 90, true},       {90, 90, 120, true},    {60, 60, 60, true},     {119.99, 119.99, 119.99, true},
      {100, 80, 45, true},      {120, 120, 120, false}, {130, 120, 110, false}, {60, 60, 120, false},
      {30, 70, 40, false},      {90, 90, 0, false},     {nan, 90, 90, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sgl::forms_cell(c.alpha * degree, c.beta * degree, c.gamma * degree, 1e-12), c.cell)
        << c.alpha << " " << c.beta << " " << c.gamma;
  }
  // The threshold: 119.99 degrees give a squared height of 9.07e-4.
  EXPECT_TRUE(sgl::forms_cell(119.99 * degree, 119.99 * degree, 119.99 * degree, 9e-4));
  EXPECT_FALSE(sgl::forms_cell(119.99 * degree, 119.99 * degree, 119.99 * degree, 1e-3));
}

TEST(LuDecomposition, SingularRowsAndTheirThreshold) {
  struct Case {
    const char* what;
    Mat3 a;  // by columns
    bool singular;
  };
  const Case cases[] = {
      {"row of zeros", {1, 0, 2, 3, 0, 4, 5, 0, 7}, true},
      {"row of 1e-6 at most", {1, 1e-6, 2, 3, -1e-6, 4, 5, 0.5e-6, 7}, true},
      {"row with 2e-6", {1, 2e-6, 2, 3, 0, 4, 5, 0, 7}, false},
      {"zero matrix", {0, 0, 0, 0, 0, 0, 0, 0, 0}, true},
      // Two equal rows with large entries are not seen as singular: the zero pivot becomes 1e-20.
      {"equal rows", {1, 1, 3, 2, 2, 5, 3, 3, 4}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Mat3 a = c.a;
    std::array<int32_t, 3> indx{};
    double d = 7.0;
    sgl::dludcmp(a, 3, 3, indx, d);
    if (c.singular) {
      EXPECT_EQ(d, 0.0);
      EXPECT_EQ(a, c.a);
    } else {
      EXPECT_TRUE(d == 1.0 || d == -1.0);
    }

    Mat3 inverse{9, 9, 9, 9, 9, 9, 9, 9, 9};
    int32_t err = -1;
    sgl::dmatinv(c.a, inverse, err);
    EXPECT_EQ(err, c.singular ? 1 : 0);
    if (c.singular) {
      EXPECT_EQ(inverse, identity3());
    }
  }
}

TEST(LuDecomposition, InversesAndSolutions) {
  // A permutation needs every interchange; its inverse is its transpose.
  const Mat3 permutation{0, 0, 1, 1, 0, 0, 0, 1, 0};
  Mat3 inverse;
  int32_t err = -1;
  sgl::dmatinv(permutation, inverse, err);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(inverse, transpose3(permutation));

  std::mt19937 rng(1202);
  for (int trial = 0; trial < 200; ++trial) {
    const Mat3 a = random_basis(rng);
    sgl::dmatinv(a, inverse, err);
    ASSERT_EQ(err, 0);
    EXPECT_LT(max_diff(mul3(a, inverse), identity3()), 1e-12) << trial;
  }

  // A 5x5 system in a 7x7 array, with right-hand sides whose leading entries are 0.
  const int n = 5, np = 7;
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> a(np * np, 99.0);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) a[j * np + i] = u(rng) + (i == j ? 3.0 : 0.0);
  const std::vector<double> original = a;
  std::vector<int32_t> indx(n);
  double d = 0.0;
  sgl::dludcmp(a, n, np, indx, d);
  ASSERT_NE(d, 0.0);
  for (int lead = 0; lead < n; ++lead) {
    std::vector<double> x(n, 0.0);
    for (int i = lead; i < n; ++i) x[i] = u(rng);
    std::vector<double> b(n, 0.0);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) b[i] += original[j * np + i] * x[j];
    sgl::dlubksb(a, n, np, indx, b);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(b[i], x[i], 1e-13) << lead << " " << i;
  }
  for (int j = 0; j < np; ++j)  // the unused part of the array is left alone
    for (int i = (j < n ? n : 0); i < np; ++i) EXPECT_EQ(a[j * np + i], 99.0);
}

// --- Jacobi ---

// Checks V orthonormal and V diag(d) V^T = A for a symmetric n x n matrix in an lda array.
void expect_eigensystem(const std::vector<double>& a, int n, int lda, const std::vector<double>& d,
                        const std::vector<double>& v, double tol) {
  double scale = 0.0;
  for (double x : a) scale = std::max(scale, std::fabs(x));
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double dot = 0.0, rebuilt = 0.0;
      for (int k = 0; k < n; ++k) {
        dot += v[i * lda + k] * v[j * lda + k];
        rebuilt += v[k * lda + i] * d[k] * v[k * lda + j];
      }
      EXPECT_NEAR(dot, i == j ? 1.0 : 0.0, tol) << i << " " << j;
      EXPECT_NEAR(rebuilt, a[j * lda + i], tol * scale) << i << " " << j;
    }
}

TEST(Jacobi, DiagonalMatrixReturnsAtOnce) {
  std::vector<double> a{3, 0, 0, 0, -1, 0, 0, 0, 2};
  std::vector<double> d(3), v(9, 5.0);
  sgl::jacobi(a, 3, d, v, 3);
  EXPECT_EQ(d, (std::vector<double>{3, -1, 2}));
  EXPECT_EQ(v, (std::vector<double>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
}

TEST(Jacobi, RandomSymmetricMatrices) {
  std::mt19937 rng(1203);
  std::uniform_real_distribution<double> u(-5.0, 5.0);
  for (int trial = 0; trial < 100; ++trial) {
    const int n = 2 + trial % 6, lda = n + trial % 3;
    std::vector<double> a(lda * n, 0.0);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i <= j; ++i) a[j * lda + i] = a[i * lda + j] = u(rng);
    if (trial % 4 == 0)  // a repeated eigenvalue: a multiple of the identity plus a rank-one term
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) a[j * lda + i] = (i == j ? 2.0 : 0.0) + 0.5 * (i + 1) * (j + 1);
    std::vector<double> work = a, d(n), v(lda * n);
    sgl::jacobi(work, n, d, v, lda);
    SCOPED_TRACE("trial " + std::to_string(trial));
    expect_eigensystem(a, n, lda, d, v, 1e-12);
    for (int j = 0; j < n; ++j)  // the diagonal and the lower triangle are kept
      for (int i = j; i < n; ++i) EXPECT_EQ(work[j * lda + i], a[j * lda + i]);
  }
}

TEST(Jacobi, NotANumberDoesNotConverge) {
  std::vector<double> a{1, 0, 0, std::numeric_limits<double>::quiet_NaN(), 1, 0, 0, 0, 1};
  std::vector<double> d(3), v(9);
  sgl::testing::BombTrap trap;
  EXPECT_THROW(sgl::jacobi(a, 3, d, v, 3), sgl::testing::Bombed);
}

// --- principal stretches ---

TEST(MagicStrain, KnownDeformations) {
  const Mat3 a = basis_from_parameters({5.0, 6.0, 7.0, 80, 95, 105});
  std::mt19937 rng(1204);
  const Mat3 rotation = sgl::testing::random_rotation(rng);
  Mat3 doubled = a;
  for (double& x : doubled) x *= 2.0;
  struct Case {
    const char* what;
    Mat3 a, b;
    std::array<double, 3> stretches;
    Mat3 b_after;
  };
  const Case cases[] = {
      {"unchanged", a, a, {1, 1, 1}, a},
      {"rotated", a, mul3(rotation, a), {1, 1, 1}, a},
      {"doubled", a, doubled, {2, 2, 2}, doubled},
      {"axes",
       identity3(),
       {0.5, 0, 0, 0, 2, 0, 0, 0, 1},
       {2, 1, 0.5},
       {0.5, 0, 0, 0, 2, 0, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Mat3 b = c.b;
    std::array<double, 3> s;
    sgl::magic_strain(c.a, b, s);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(s[k], c.stretches[k], 1e-12);
    EXPECT_LT(max_diff(b, c.b_after), 1e-11);
  }
}

TEST(MagicStrain, RotationAndStretchOfRandomCells) {
  std::mt19937 rng(1205);
  std::uniform_real_distribution<double> stretch(0.7, 1.4);
  for (int trial = 0; trial < 100; ++trial) {
    const Mat3 a = random_basis(rng);
    // U = Q diag(e) Q^T, symmetric positive with known eigenvalues e.
    const Mat3 q = sgl::testing::random_rotation(rng);
    std::array<double, 3> e{stretch(rng), stretch(rng), stretch(rng)};
    Mat3 diag{e[0], 0, 0, 0, e[1], 0, 0, 0, e[2]};
    const Mat3 u = mul3(mul3(q, diag), transpose3(q));
    Mat3 b = mul3(mul3(sgl::testing::random_rotation(rng), u), a);
    std::array<double, 3> s;
    sgl::magic_strain(a, b, s);
    std::sort(e.begin(), e.end(), std::greater<>());
    SCOPED_TRACE("trial " + std::to_string(trial));
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(s[k], e[k], 1e-9);
    double scale = 0.0;
    for (double x : a) scale = std::max(scale, std::fabs(x));
    EXPECT_LT(max_diff(b, mul3(u, a)), 1e-9 * scale);
  }
}

TEST(MagicStrain, SingularReferenceCellStops) {
  const Mat3 flat{1, 0, 0, 0, 1, 0, 0, 0, 0};
  Mat3 b = identity3();
  std::array<double, 3> s;
  sgl::testing::BombTrap trap;
  EXPECT_THROW(sgl::magic_strain(flat, b, s), sgl::testing::Bombed);
}

// The messages written before those stops, from a child process.
TEST(GeometryMessages, OneFreeFormatLineThenTheStop) {
  struct Case {
    const char* which;
    const char* out;
    const char* err;
  };
  const Case cases[] = {
      {"magic_singular", " Error in magic_strain: xmatinv failed\nThis program has bombed\nexit\n",
       " STOP  \n"},
      {"jacobi_nan", " error in jacobi:  did not converge\nThis program has bombed\nexit\n",
       " STOP  \n"},
      {"initds_empty", "", " STOP  At A in sderfc\n"},
      {"initds_short", "", " STOP  At B in sderfc\n"},
      {"dcsevl_empty", "", " STOP  At C in sderfc\n"},
      {"dcsevl_long", "", " STOP  At D in sderfc\n"},
      {"dcsevl_outside", "", " STOP  At E in sderfc\n"},
  };
  const std::string driver = std::string(SGL_DRIVER_DIR) + "/geometry_driver";
  for (const Case& c : cases) {
    const auto r = text_io_test::run_child({driver, c.which});
    EXPECT_EQ(r.out, c.out) << c.which;
    EXPECT_EQ(r.err, c.err) << c.which;
    EXPECT_EQ(r.status, 1) << c.which;
  }
  // Arguments just inside the limits end normally.
  const auto r = text_io_test::run_child({driver, "dcsevl_edge"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

}  // namespace
