// Real vectors and matrices: zero tests, wrapping into the unit cell, products, determinant.
#include "library/geometry/real_vector.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "tests/bomb_trap.hpp"
#include "tests/linalg_test_support.hpp"

namespace {

using sgl::testing::Bombed;
using sgl::testing::BombTrap;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(RealVector, ZeroTestsCompareStrictlyAndTreatNaNAsZero) {
  struct Case { double x; bool nonzero; };
  for (const Case& c : {Case{1e-6, false}, Case{-1e-6, false}, Case{-1.5e-6, true},
                        Case{2e-6, true}, Case{0.0, false}, Case{kNaN, false}, Case{kInf, true}})
    EXPECT_EQ(sgl::ncmpd(c.x), c.nonzero) << c.x;

  struct TolCase { double x, tol; bool zero; };
  for (const TolCase& c : {TolCase{1e-12, 1e-12, false}, TolCase{-0.5e-12, 1e-12, true},
                           TolCase{-1e-12, 1e-12, false}, TolCase{kNaN, 1e-12, true},
                           TolCase{0.0, 0.0, false}, TolCase{3.0, 5.0, true}})
    EXPECT_EQ(sgl::iszero(c.x, c.tol), c.zero) << c.x << " " << c.tol;
}

// The wrapping as plain single steps.
double wrap_by_single_steps(double v) {
  while (v > 1.0 || std::fabs(v - 1.0) < 1e-12) v -= 1.0;
  while (v < 0.0 && !(std::fabs(v) < 1e-12)) v += 1.0;
  return v;
}

TEST(RealVector, ZeroToOneWrapsEachComponent) {
  struct Case { std::array<double, 3> in, out; };
  const Case cases[] = {
      {{1, -0.25, 2.5}, {0, 0.75, 0.5}},
      {{3, -1, -5.75}, {0, 0, 0.25}},
      {{1e-13, -1e-13, 0.5}, {1e-13, -1e-13, 0.5}},
      {{1 - 1e-13, 1 - 1e-10, 0}, {(1 - 1e-13) - 1, 1 - 1e-10, 0}},
      {{2 - 1e-13, -2.25, 7}, {(2 - 1e-13) - 1 - 1, 0.75, 0}},
  };
  for (const Case& c : cases) {
    std::array<double, 3> v = c.in;
    sgl::zero_to_one(v);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(v[i], c.out[i]) << c.in[i];
  }
}

TEST(RealVector, ZeroToOneJumpsGiveTheBitsOfSingleSteps) {
  std::mt19937 rng(20261210);
  std::uniform_real_distribution<double> frac(-1.0, 1.0);
  std::uniform_int_distribution<int> whole(-3000, 3000);
  std::uniform_int_distribution<int> kind(0, 3);
  for (int t = 0; t < 20000; ++t) {
    const double w = whole(rng);
    double x = 0;
    switch (kind(rng)) {
      case 0: x = w + frac(rng); break;
      case 1: x = w + 1e-13 * frac(rng); break;         // within the tolerance of a whole number
      case 2: x = w + 1e-12 * (frac(rng) > 0 ? 1 : -1); break;  // at the tolerance
      default: x = w * (1 + 1e-9 * frac(rng)); break;
    }
    std::array<double, 3> v{x, -x, x / 3};
    sgl::zero_to_one(v);
    EXPECT_EQ(v[0], wrap_by_single_steps(x)) << x;
    EXPECT_EQ(v[1], wrap_by_single_steps(-x)) << -x;
    EXPECT_EQ(v[2], wrap_by_single_steps(x / 3)) << x / 3;
  }
}

TEST(RealVector, ZeroToOneEndsForHugeValuesAndStopsOnNonFinite) {
  for (double x : {1e300, -1e300, 9007199254740993.0, -9007199254740992.0, 4.5e15 + 0.5}) {
    std::array<double, 3> v{x, 0.5, 0.5};
    sgl::zero_to_one(v);
    EXPECT_GE(v[0], -1e-12) << x;
    EXPECT_LT(v[0], 1.0) << x;
  }
  BombTrap trap;
  for (double x : {kInf, -kInf, kNaN}) {
    std::array<double, 3> v{0.5, x, 0.5};
    EXPECT_THROW(sgl::zero_to_one(v), Bombed) << x;
  }
}

TEST(RealVector, DifferencesLengthsAndDotProducts) {
  std::vector<double> a{1.5, -2, 4}, b{0.5, 1, 1};
  std::vector<double> d{9, 9, 9};
  sgl::dvsub(a, b, d, 0);
  EXPECT_EQ(d, (std::vector<double>{9, 9, 9}));
  EXPECT_EQ(sgl::vlength(0, a), 0.0);
  EXPECT_EQ(sgl::vdot(0, a, b), 0.0);
  EXPECT_EQ(sgl::dvdot(-1, a, b), 0.0);

  sgl::dvsub(a, b, a, 3);  // the output is the first input
  EXPECT_EQ(a, (std::vector<double>{1, -3, 3}));
  sgl::dvsub(b, a, a, 2);  // only the first two components, output the second input
  EXPECT_EQ(a, (std::vector<double>{-0.5, 4, 3}));

  const std::vector<double> v{3, 4, 12};
  EXPECT_EQ(sgl::vlength(2, v), 5.0);
  EXPECT_EQ(sgl::dvlength(3, v), 13.0);
  EXPECT_EQ(sgl::vdot(3, v, v), 169.0);
  EXPECT_EQ(sgl::dvdot(3, v, b), 0.5 * 3 + 4 + 12);

  // The terms are added in increasing index order, from 0.
  const std::vector<double> big{1e16, 1, -1e16}, ones{1, 1, 1};
  EXPECT_EQ(sgl::vdot(3, big, ones), (1e16 + 1) - 1e16);
}

TEST(RealVector, MatrixVectorProductInPlaceAndOnASubmatrix) {
  // 3 x 3 block stored with leading dimension 4 (row 4 is padding that must not be read).
  const std::vector<double> a{1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 10, 99};
  std::vector<double> x{1, -1, 2};
  sgl::xvmlt(a, x, x, 3, 3, 4);  // y is x: the old components are used throughout
  EXPECT_EQ(x, (std::vector<double>{1 - 4 + 14, 2 - 5 + 16, 3 - 6 + 20}));

  std::vector<double> y{7, 7, 7};
  sgl::dvmlt(a, std::vector<double>{1, 1}, y, 2, 2, 4);  // rows 1..2, columns 1..2 only
  EXPECT_EQ(y, (std::vector<double>{5, 7, 7}));

  sgl::xvmlt(a, std::vector<double>{}, y, 3, 0, 4);  // no columns: zeros
  EXPECT_EQ(y, (std::vector<double>{0, 0, 0}));
}

TEST(RealVector, MatrixProductMayOverwriteEitherFactor) {
  const std::vector<double> a0{1, 3, 2, 4};  // ((1, 2), (3, 4))
  const std::vector<double> b0{0, 1, 5, -1};  // ((0, 5), (1, -1))
  const std::vector<double> ab{2, 4, 3, 11};  // ((2, 3), (4, 11))
  std::vector<double> a = a0, b = b0;
  sgl::dmatmlt(a, b, a, 2, 2, 2, 2, 2, 2);
  EXPECT_EQ(a, ab);
  a = a0;
  sgl::dmatmlt(a, b, b, 2, 2, 2, 2, 2, 2);
  EXPECT_EQ(b, ab);

  // A 2 x 3 times 3 x 1 with padded leading dimensions.
  const std::vector<double> l{1, 4, -9, 2, 5, -9, 3, 6, -9};  // lda 3, rows 1..2 used
  const std::vector<double> r{1, 0, -1, -9};                  // ldb 4
  std::vector<double> out{0, 0, 42};
  sgl::dmatmlt(l, r, out, 2, 3, 1, 3, 4, 3);
  EXPECT_EQ(out, (std::vector<double>{-2, -2, 42}));
}

TEST(RealVector, Determinant) {
  EXPECT_EQ(sgl::ddet3(std::array<double, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1}), 1.0);
  EXPECT_EQ(sgl::ddet3(std::array<double, 9>{1, 2, 3, 1, 2, 3, 4, 5, 7}), 0.0);
  // ((2, 0, 1), (1, 3, 0), (0, 1, 4)) by rows: 2*12 + 0 + 1*1 = 25.
  EXPECT_EQ(sgl::ddet3(std::array<double, 9>{2, 1, 0, 0, 3, 1, 1, 0, 4}), 25.0);
  // Odd permutation of the identity's columns.
  EXPECT_EQ(sgl::ddet3(std::array<double, 9>{0, 1, 0, 1, 0, 0, 0, 0, 1}), -1.0);
}

TEST(RealVector, ArraysShorterThanTheDimensionsStop) {
  BombTrap trap;
  std::vector<double> a{1, 2}, b{1, 2, 3}, d(3);
  EXPECT_THROW(sgl::dvsub(a, b, d, 3), Bombed);
  EXPECT_THROW(sgl::vdot(3, a, b), Bombed);
  EXPECT_THROW(sgl::xvmlt(b, a, d, 2, 2, 2), Bombed);  // needs 4 matrix entries
}

}  // namespace
