// The real-number kernel: wrapping, the zero test, products with aliased outputs and the
// eigenvalues of symmetric matrices.
#include "cellsieve/real_helpers.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "tests/bomb_trap.hpp"

namespace cellsieve {
namespace {

using sgl::testing::Bombed;
using sgl::testing::BombTrap;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(NearOrigin, BringsEachComponentIntoMinusHalfToHalf) {
  struct Case {
    double in, out;
  };
  const Case cases[] = {
      {0.5, 0.5},          // the upper bound stays
      {-0.5, 0.5},         // the lower bound is excluded
      {1.7, (1.7 - 1.0) - 1.0},  // by exact steps of 1: about -0.3, as the steps round
      {0.0, 0.0},
      {-2.5, 0.5},
      {3.25, 0.25},
      {1e9 + 0.25, 0.25},  // large values jump in bulk and end where the steps would
  };
  for (const Case& c : cases) {
    Vec3 w{};
    near_origin(kIdentity3, kIdentity3, {c.in, 0.0, 0.0}, w);
    EXPECT_EQ(w[0], c.out) << c.in;
  }
}

TEST(NearOrigin, AppliesBothMatricesAndAllowsAliasing) {
  // A scales to cell coordinates (cell of edge 2), B scales back.
  const Mat3 a = {0.5, 0, 0, 0, 0.5, 0, 0, 0, 0.5};
  const Mat3 b = {2, 0, 0, 0, 2, 0, 0, 0, 2};
  Vec3 v = {1.5, -1.5, 3.0};  // cell coordinates 0.75, -0.75, 1.5
  near_origin(a, b, v, v);
  EXPECT_DOUBLE_EQ(v[0], -0.5);
  EXPECT_DOUBLE_EQ(v[1], 0.5);
  EXPECT_DOUBLE_EQ(v[2], 1.0);
}

TEST(NearOrigin, RefusesValuesThatAreNotFinite) {
  for (double bad : {kNaN, kInf, -kInf}) {
    BombTrap trap;
    Vec3 w{};
    testing::internal::CaptureStdout();
    EXPECT_THROW(near_origin(kIdentity3, kIdentity3, {0.0, bad, 0.0}, w), Bombed);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " Error in near_origin:  coordinate not finite\n");
  }
}

TEST(Unitcell, WrapsIntoTheUnitIntervalWithTheLibraryTolerance) {
  struct Case {
    double in, out;
  };
  const Case cases[] = {
      {1.0, 0.0},       {2.25, 0.25},  {-0.25, 0.75},
      {1 - 1e-13, (1 - 1e-13) - 1.0},  // within 1e-12 of 1: lowered, then not raised again
      {-1e-13, -1e-13},                // within 1e-12 of 0: left alone
      {-7.75, 0.25},
  };
  for (const Case& c : cases) {
    Vec3 v = {c.in, 0.5, 0.0};
    unitcell(kIdentity3, kIdentity3, v, v);
    EXPECT_EQ(v[0], c.out) << c.in;
    EXPECT_EQ(v[1], 0.5);
  }
}

TEST(Unitcell, RefusesValuesThatAreNotFinite) {
  BombTrap trap;
  Vec3 w{};
  testing::internal::CaptureStdout();
  EXPECT_THROW(unitcell(kIdentity3, kIdentity3, {kInf, 0.0, 0.0}, w), Bombed);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " Error in zero_to_one:  coordinate not finite\n");
}

TEST(Ncmpd, CountsOneTenthOfANanoAsNonzero) {
  struct Case {
    double x;
    int32_t expect;
  };
  const Case cases[] = {{1e-10, 1}, {9.9e-11, 0}, {-1e-10, 1}, {0.0, 0}, {-0.0, 0},
                        {kNaN, 0},  {kInf, 1},    {1e-7, 1}};  // the library's test would say 0
  for (const Case& c : cases) EXPECT_EQ(ncmpd(c.x), c.expect) << c.x;
}

TEST(Products, AliasedOutputsMatchSeparateOutputs) {
  const Mat3 a = {1, 2, 3, 4, 5, 6, 7, 8, 10};
  const Mat3 b = {0.5, -1, 2, 3, 0.25, -2, 1, 1, 1};
  Mat3 r{};
  matrix_mlt(a, b, r);
  // Row 1 of A times column 1 of B: 1*0.5 + 4*(-1) + 7*2.
  EXPECT_DOUBLE_EQ(at(r, 1, 1), 10.5);
  Mat3 left = a;
  matrix_mlt(left, b, left);
  EXPECT_EQ(left, r);
  Mat3 right = b;
  matrix_mlt(a, right, right);
  EXPECT_EQ(right, r);

  Vec3 v = {1, -2, 0.5};
  Vec3 w{};
  vector_mlt(a, v, w);
  EXPECT_DOUBLE_EQ(w[0], 1 - 8 + 3.5);
  vector_mlt(a, v, v);
  EXPECT_EQ(v, w);

  Vec3 x = {1, 2, 3};
  vector_add(x, x, x);
  EXPECT_EQ(x, (Vec3{2, 4, 6}));
  vector_sub(x, Vec3{1, 1, 1}, x);
  EXPECT_EQ(x, (Vec3{1, 3, 5}));
}

TEST(Detmat, ExpandsAlongTheFirstRow) {
  EXPECT_EQ(detmat(kIdentity3), 1.0);
  EXPECT_EQ(detmat(Mat3{1, 2, 3, 4, 5, 6, 7, 8, 10}), -3.0);
  EXPECT_EQ(detmat(Mat3{1, 2, 3, 2, 4, 6, 0, 1, 5}), 0.0);  // two parallel columns
  EXPECT_EQ(detmat(Mat3{0, 1, 0, 1, 0, 0, 0, 0, 1}), -1.0);  // a swap of axes
}

TEST(Jacobi, DiagonalMatrixReturnsAtOnceUnchanged) {
  Mat3 a = {3, 7, 8, 0, -1, 9, 0, 0, 2};  // entries below the diagonal are never read
  const Mat3 before = a;
  Vec3 d{};
  jacobi(a, d);
  EXPECT_EQ(d, (Vec3{3, -1, 2}));
  EXPECT_EQ(a, before);
}

TEST(Jacobi, TwoOnTheDiagonalOneAbove) {
  Mat3 a = {2, 0, 0, 1, 2, 0, 1, 1, 2};
  Vec3 d{};
  jacobi(a, d);
  EXPECT_NEAR(d[0], 1.0, 1e-14);
  EXPECT_NEAR(d[1], 4.0, 1e-14);
  EXPECT_NEAR(d[2], 1.0, 1e-14);
  EXPECT_EQ(at(a, 1, 2), 0.0);
  EXPECT_EQ(at(a, 1, 3), 0.0);
  EXPECT_EQ(at(a, 2, 3), 0.0);
  EXPECT_EQ(at(a, 1, 1), 2.0);  // the diagonal is kept
  EXPECT_EQ(at(a, 2, 1), 0.0);  // and so is the part below it
}

// The eigenvalues of a symmetric matrix keep its trace, determinant and Frobenius norm.
TEST(Jacobi, KeepsTheInvariantsOfRandomSymmetricMatrices) {
  std::mt19937_64 rng(20031208);
  std::uniform_real_distribution<double> entry(-2.0, 2.0);
  for (int trial = 0; trial < 500; ++trial) {
    Mat3 a{};
    for (int j = 1; j <= 3; ++j)
      for (int i = 1; i <= j; ++i) at(a, i, j) = at(a, j, i) = entry(rng);
    if (trial % 5 == 0) at(a, 1, 2) = at(a, 2, 1) = 1e-9;  // nearly diagonal pairs too
    const Mat3 sym = a;
    double frob = 0.0;
    for (double x : sym) frob += x * x;
    Vec3 d{};
    jacobi(a, d);
    const double trace = at(sym, 1, 1) + at(sym, 2, 2) + at(sym, 3, 3);
    EXPECT_NEAR(d[0] + d[1] + d[2], trace, 1e-12);
    EXPECT_NEAR(d[0] * d[1] * d[2], detmat(sym), 1e-11);
    EXPECT_NEAR(d[0] * d[0] + d[1] * d[1] + d[2] * d[2], frob, 1e-11);
  }
}

TEST(Jacobi, EntryNotFiniteGivesNaNEigenvaluesAtOnce) {
  for (double bad : {kNaN, kInf}) {
    Mat3 a = {1, 0, 0, bad, 1, 0, 0.5, 0, 1};
    const Mat3 before = a;
    Vec3 d{};
    jacobi(a, d);
    for (double x : d) EXPECT_TRUE(std::isnan(x));
    EXPECT_EQ(std::memcmp(a.data(), before.data(), sizeof a), 0);
  }
}

}  // namespace
}  // namespace cellsieve
