// The numeric kernel: single-precision stores, zero tests, reductions, determinant, Cartesian
// basis and angle helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "vibrex/numeric_kernel.hpp"
#include "vibrex/single_precision.hpp"

namespace vibrex {
namespace {

TEST(SinglePrecision, ExpressionsRoundOnceAtTheStore) {
  const float a = 1.0f + std::ldexp(1.0f, -12);
  const float c = -(1.0f + std::ldexp(1.0f, -11));
  // In float the product rounds to 1 + 2^-11 first and the sum is 0.
  const float in_float = a * a + c;
  EXPECT_EQ(in_float, 0.0f);
  EXPECT_EQ(store_single(wide(a) * wide(a) + wide(c)), std::ldexp(1.0f, -24));
  // The complex type does the same per part.
  const Complex8 z = Complex8(a, 0.0f) * Complex8(a, 0.0f) + Complex8(c, 0.0f);
  EXPECT_EQ(z.re, std::ldexp(1.0f, -24));
  EXPECT_EQ(z.im, 0.0f);
  const Complex8 w = Complex8(0.0f, a) * Complex8(a, 0.0f) + Complex8(0.0f, c);
  EXPECT_EQ(w.re, 0.0f);
  EXPECT_EQ(w.im, std::ldexp(1.0f, -24));
}

TEST(SinglePrecision, ComplexArithmetic) {
  const Complex8 p = Complex8(1.0f, 2.0f) * Complex8(3.0f, -1.0f);
  EXPECT_EQ(p, Complex8(5.0f, 5.0f));
  const Complex8 q = Complex8(5.0f, 5.0f) / Complex8(3.0f, -1.0f);
  EXPECT_EQ(q, Complex8(1.0f, 2.0f));
  const Complex8 r = conj(Complex8(1.0f, -2.0f));
  EXPECT_EQ(r, Complex8(1.0f, 2.0f));
}

TEST(NumericKernel, ZeroTests) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float x;
    int expected;
  } reals[] = {{0.001f, 0},  {0.0011f, 1}, {-0.0011f, 1}, {-0.001f, 0}, {nan, 0}, {0.0f, 0},
               {std::nextafter(0.001f, 1.0f), 1}, {std::numeric_limits<float>::infinity(), 1}};
  for (const auto& c : reals) EXPECT_EQ(ncmp(c.x), c.expected) << c.x;
  const struct {
    Complex8 z;
    int expected;
  } complexes[] = {{{0.0006f, 0.0006f}, 1}, {{0.0006f, -0.0006f}, 1}, {{0.0004f, 0.0005f}, 0},
                   {{0.0f, 0.0011f}, 1},    {{nan, 0.0f}, 0},          {{0.0f, 0.0f}, 0}};
  for (const auto& c : complexes) EXPECT_EQ(ncmpz(c.z), c.expected) << c.z.re << " " << c.z.im;
}

TEST(NumericKernel, AnglesUseTheSinglePrecisionPi) {
  EXPECT_EQ(cos_d(90.0f), static_cast<float>(std::cos(90.0 / 180.0 * static_cast<double>(3.1415927f))));
  EXPECT_NE(cos_d(90.0f), 0.0f);
  EXPECT_NEAR(cos_d(90.0f), -4.37e-8f, 0.01e-8f);
  EXPECT_EQ(sin_d(30.0f), static_cast<float>(std::sin(30.0 / 180.0 * static_cast<double>(3.1415927f))));
  EXPECT_EQ(cos_d(0.0f), 1.0f);
  EXPECT_FLOAT_EQ(cos_d(120.0f), -0.5f);
}

// A matrix of lda rows, filled from rows given in order.
std::vector<float> by_rows(int lda, int m, std::initializer_list<std::initializer_list<float>> rows) {
  std::vector<float> a(static_cast<std::size_t>(lda) * m, 0.0f);
  int i = 0;
  for (const auto& row : rows) {
    int j = 0;
    for (float v : row) a[static_cast<std::size_t>(j++) * lda + i] = v;
    ++i;
  }
  return a;
}

float at(const std::vector<float>& a, int lda, int i, int j) { return a[static_cast<std::size_t>(j - 1) * lda + i - 1]; }

TEST(NumericKernel, ReductionLeavesSmallEntriesAndPivotsOnTheFirstNonzeroRow) {
  // A first column within the tolerance: row 1 pivots in column 2, the small entries stay.
  auto a = by_rows(kRowopLead, 2, {{0.0005f, 2.0f}, {0.0002f, 4.0f}});
  xrowop(a, 2, 2);
  EXPECT_EQ(at(a, kRowopLead, 1, 1), 0.0005f);  // left of the pivot: not divided
  EXPECT_EQ(at(a, kRowopLead, 1, 2), 1.0f);
  EXPECT_EQ(at(a, kRowopLead, 2, 1), store_single(wide(0.0002f) - wide(0.0005f) * 4.0));
  EXPECT_EQ(at(a, kRowopLead, 2, 2), 0.0f);

  // Rows (0, 1), (1, 0.0004), (2, 0.0009): the pivot of column 1 is row 2 (value 1), not the
  // largest (row 3); its entry 0.0004 stays in row 1 as a tolerated zero.
  auto b = by_rows(kRowopLead, 2, {{0.0f, 1.0f}, {1.0f, 0.0004f}, {2.0f, 0.0009f}});
  xrowop(b, 3, 2);
  EXPECT_EQ(at(b, kRowopLead, 1, 1), 1.0f);
  EXPECT_EQ(at(b, kRowopLead, 1, 2), 0.0004f);
  EXPECT_EQ(at(b, kRowopLead, 2, 1), 0.0f);
  EXPECT_EQ(at(b, kRowopLead, 2, 2), 1.0f);
  EXPECT_EQ(at(b, kRowopLead, 3, 1), 0.0f);
  EXPECT_EQ(at(b, kRowopLead, 3, 2), store_single(wide(0.0009f) - wide(0.0004f) * 2.0));

  // The spec-sheet example rows (0, 1), (1, 0), (5, 2) in a leading dimension of 3.
  auto c = by_rows(3, 2, {{0.0f, 1.0f}, {1.0f, 0.0f}, {5.0f, 2.0f}});
  xrowop2(c, 3, 2, 3);
  EXPECT_EQ(c, by_rows(3, 2, {{1.0f, 0.0f}, {0.0f, 1.0f}, {0.0f, 0.0f}}));
}

TEST(NumericKernel, ReductionOfNothingChangesNothing) {
  auto a = by_rows(kRowopLead, 2, {{3.0f, 2.0f}, {1.0f, 4.0f}});
  const auto before = a;
  xrowop(a, 0, 2);
  EXPECT_EQ(a, before);
  xrowop(a, 2, 0);
  EXPECT_EQ(a, before);
}

TEST(NumericKernel, ComplexReductionSolvesASystem) {
  // i y = 2i and (1+i) x = 2: x = 1 - i, y = 2, after the row swap.
  std::vector<Complex8> a(static_cast<std::size_t>(kRowopLead) * 3);
  auto z = [&](int i, int j) -> Complex8& { return a[static_cast<std::size_t>(j - 1) * kRowopLead + i - 1]; };
  z(1, 2) = {0.0f, 1.0f};
  z(1, 3) = {0.0f, 2.0f};
  z(2, 1) = {1.0f, 1.0f};
  z(2, 3) = {2.0f, 0.0f};
  zrowop(a, 2, 3);
  EXPECT_EQ(z(1, 1), Complex8(1.0f, 0.0f));
  EXPECT_EQ(z(1, 2), Complex8(0.0f, 0.0f));
  EXPECT_EQ(z(1, 3), Complex8(1.0f, -1.0f));
  EXPECT_EQ(z(2, 2), Complex8(1.0f, 0.0f));
  EXPECT_EQ(z(2, 3), Complex8(2.0f, 0.0f));
  // The same with a leading dimension of 2.
  std::vector<Complex8> b{z(1, 1), z(2, 1), z(1, 2), z(2, 2), z(1, 3), z(2, 3)};
  const auto before = b;
  zrowop2(b, 2, 3, 2);
  EXPECT_EQ(b, before);
}

TEST(NumericKernel, Determinant) {
  auto run = [](std::initializer_list<std::initializer_list<Complex8>> rows) {
    std::vector<Complex8> a(static_cast<std::size_t>(kDetLead) * kDetLead);
    int i = 0;
    for (const auto& row : rows) {
      int j = 0;
      for (Complex8 v : row) a[static_cast<std::size_t>(j++) * kDetLead + i] = v;
      ++i;
    }
    return zdet(a, i);
  };
  EXPECT_EQ(run({{{0, 0}, {1, 0}}, {{1, 0}, {0, 0}}}), Complex8(-1.0f, 0.0f));
  EXPECT_EQ(run({{{0, 0}, {1, 0}, {2, 0}}, {{0, 0}, {3, 0}, {1, 0}}, {{0, 0}, {5, 0}, {7, 0}}}), Complex8(0.0f, 0.0f));
  EXPECT_EQ(run({{{1, 1}, {2, 0}}, {{3, 0}, {4, -1}}}), Complex8(-1.0f, 3.0f));
  // A singular last pivot.
  EXPECT_EQ(run({{{1, 0}, {2, 0}}, {{2, 0}, {4, 0}}}), Complex8(0.0f, 0.0f));
  EXPECT_EQ(run({}), Complex8(1.0f, 0.0f));
}

TEST(NumericKernel, CartesianBasis) {
  Mat3f b{}, binv{};
  int32_t ierr = -1;
  get_cartesian(1, 1, 1, 90, 90, 90, b, binv, ierr);
  EXPECT_EQ(ierr, 0);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) {
      EXPECT_NEAR(at3(b, i, j), i == j ? 1.0f : 0.0f, 1e-7f);
      EXPECT_NEAR(at3(binv, i, j), i == j ? 1.0f : 0.0f, 1e-7f);
    }
  }
  // A triclinic cell: B Binv = I and the lengths and angles come back.
  get_cartesian(3.1f, 4.2f, 5.3f, 80.0f, 95.0f, 105.0f, b, binv, ierr);
  EXPECT_EQ(ierr, 0);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) {
      double s = 0;
      for (int k = 1; k <= 3; ++k) s += static_cast<double>(at3(b, i, k)) * at3(binv, k, j);
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-5);
    }
  }
  auto col = [&](int j) { return std::array<double, 3>{at3(b, 1, j), at3(b, 2, j), at3(b, 3, j)}; };
  auto dot = [](std::array<double, 3> u, std::array<double, 3> v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; };
  EXPECT_NEAR(std::sqrt(dot(col(3), col(3))), 5.3, 1e-5);
  EXPECT_NEAR(dot(col(2), col(3)) / (4.2 * 5.3), std::cos(80.0 * M_PI / 180), 1e-6);
  EXPECT_NEAR(dot(col(1), col(3)) / (3.1 * 5.3), std::cos(95.0 * M_PI / 180), 1e-6);
  EXPECT_NEAR(dot(col(1), col(2)) / (3.1 * 4.2), std::cos(105.0 * M_PI / 180), 1e-6);

  // No cell: the root of a negative number; a length within the tolerance; binv left alone.
  const Mat3f untouched{9, 9, 9, 9, 9, 9, 9, 9, 9};
  const float bad[][6] = {{1, 1, 1, 120, 120, 120}, {1, 1, 0.0005f, 90, 90, 90}, {0.0005f, 1, 1, 90, 90, 90}};
  for (const auto& p : bad) {
    binv = untouched;
    get_cartesian(p[0], p[1], p[2], p[3], p[4], p[5], b, binv, ierr);
    EXPECT_EQ(ierr, 2);
    EXPECT_EQ(binv, untouched);
  }
}

}  // namespace
}  // namespace vibrex
