// Fraction-free Gauss-Jordan reduction: integer (rowop, rowop2) and real (drowop2).
#include "library/exact/row_operations.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "tests/bomb_trap.hpp"
#include "tests/linalg_test_support.hpp"

namespace {

using sgl::testing::Bombed;
using sgl::testing::BombTrap;
using sgl_test::by_rows;

// rowop works on a matrix with leading dimension 50: place a small matrix there and back.
std::vector<int32_t> rowop_rows(int nrow, int ncol, const std::vector<int32_t>& rows) {
  const std::vector<int32_t> compact = by_rows(nrow, ncol, rows);
  std::vector<int32_t> a(50 * ncol, 77);  // rows beyond nrow must not change
  for (int j = 0; j < ncol; ++j)
    for (int i = 0; i < nrow; ++i) a[j * 50 + i] = compact[j * nrow + i];
  sgl::rowop(a, nrow, ncol);
  std::vector<int32_t> out;
  for (int i = 0; i < nrow; ++i)
    for (int j = 0; j < ncol; ++j) out.push_back(a[j * 50 + i]);
  for (int j = 0; j < ncol; ++j)
    for (int i = nrow; i < 50; ++i) EXPECT_EQ(a[j * 50 + i], 77);
  return out;
}

TEST(RowOp, Examples) {
  struct Case { const char* what; int nrow, ncol; std::vector<int32_t> in, out; };
  const Case cases[] = {
      {"zero first column is skipped", 2, 3, {0, 2, 4, 0, 1, 3}, {0, 1, 0, 0, 0, 1}},
      {"rows are swapped to bring a pivot up", 2, 2, {0, 1, 1, 0}, {1, 0, 0, 1}},
      {"pivot row unchanged, others divided by their gcd, signs kept", 2, 2, {-2, 1, 4, 3},
       {1, 0, 0, -1}},
      {"pivot row keeps its common factor", 2, 2, {4, 6, 0, 0}, {4, 6, 0, 0}},
      {"more rows than columns: stops when the columns run out", 3, 2, {1, 2, 2, 4, 3, 7},
       {1, 0, 0, 1, 0, 0}},
      {"a row cleared to zero is swapped down for a later pivot", 3, 3,
       {1, 1, 0, 2, 2, 0, 0, 0, 3}, {1, 1, 0, 0, 0, 3, 0, 0, 0}},
      {"a zero first row is swapped with the first pivot row", 3, 2, {0, 0, 1, 1, 2, 3},
       {1, 0, 0, 1, 0, 0}},
      {"a row cleared to zero stays when no pivot follows", 3, 3, {1, 2, 3, 2, 4, 6, 0, 0, 0},
       {1, 2, 3, 0, 0, 0, 0, 0, 0}},
      {"a dependent row is cleared with the factor removed", 3, 3, {2, 4, 6, 1, 3, 5, 3, 7, 11},
       {1, 0, -1, 0, 1, 2, 0, 0, 0}},
      {"intermediate products beyond 32 bits are divided out", 2, 2,
       {100000, 7, 100000, 100000}, {1, 0, 0, 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(rowop_rows(c.nrow, c.ncol, c.in), c.out) << c.what;
}

TEST(RowOp, LeadingDimensionAndOverflowChecks) {
  BombTrap trap;
  std::vector<int32_t> a(51 * 2, 1);
  EXPECT_THROW(sgl::rowop(a, 51, 2), Bombed);
  EXPECT_THROW(sgl::rowop2(a, 3, 2, 2), Bombed);
  EXPECT_THROW(sgl::rowop2(a, 3, 40, 3), Bombed);  // the array is too short for 40 columns
  // Row 2 ends as (0, -3, 4294967294) with no common factor: it does not fit 32 bits.
  std::vector<int32_t> big = by_rows(2, 3, {2, 1, 0, 3, 0, 2147483647});
  EXPECT_THROW(sgl::rowop2(big, 2, 3, 2), Bombed);
}

// The reduced matrix spans the same rows (over the rationals), and each pivot column holds one
// non-zero entry.
TEST(RowOp, RandomMatricesKeepTheirRowSpace) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> dim(1, 6);
  for (int t = 0; t < 400; ++t) {
    const int nrow = dim(rng), ncol = dim(rng), lda = nrow + t % 3;
    std::vector<int32_t> a = sgl_test::random_matrix(rng, lda, ncol, -9, 9);
    if (t % 4 == 0)
      for (int i = 0; i < lda; ++i) a[i] = 0;  // a zero first column
    const std::vector<int32_t> before = a;
    sgl::rowop2(a, nrow, ncol, lda);

    std::vector<int64_t> in, out, both;
    for (int j = 0; j < ncol; ++j) {
      for (int i = 0; i < nrow; ++i) in.push_back(before[j * lda + i]);
      for (int i = 0; i < nrow; ++i) out.push_back(a[j * lda + i]);
      for (int i = 0; i < nrow; ++i) both.push_back(before[j * lda + i]);
      for (int i = 0; i < nrow; ++i) both.push_back(a[j * lda + i]);
    }
    const int r = sgl_test::rank(in, nrow, ncol);
    EXPECT_EQ(sgl_test::rank(out, nrow, ncol), r);
    EXPECT_EQ(sgl_test::rank(both, 2 * nrow, ncol), r);
    for (int j = 0; j < ncol; ++j)
      for (int i = nrow; i < lda; ++i) EXPECT_EQ(a[j * lda + i], before[j * lda + i]);

    // Pivots: the first non-zero of each non-zero row; their columns are otherwise zero.
    for (int i = 0; i < nrow; ++i) {
      int c = 0;
      while (c < ncol && a[c * lda + i] == 0) ++c;
      if (c == ncol) continue;
      for (int k = 0; k < nrow; ++k)
        if (k != i) {
          EXPECT_EQ(a[c * lda + k], 0) << "trial " << t;
        }
    }
  }
}

TEST(DRowOp2, UnitPivotsAndTheZeroTolerance) {
  // ((2, 4, 6), (1, 3, 5)) -> ((1, 0, -1), (0, 1, 2)).
  std::vector<double> a{2, 1, 4, 3, 6, 5};
  sgl::drowop2(a, 2, 3, 2);
  EXPECT_EQ(a, (std::vector<double>{1, 0, 0, 1, -1, 2}));

  // 1e-7 counts as zero: never a pivot, and its row is left untouched in that column's step.
  std::vector<double> b{1e-7, 2, 1, 3};  // ((1e-7, 1), (2, 3))
  sgl::drowop2(b, 2, 2, 2);
  EXPECT_EQ(b, (std::vector<double>{1 - 1e-7 * 1.5, 1e-7, 0, 1}));

  // A first column that is zero within the tolerance is skipped and its small entries are
  // carried along by the later eliminations; padding rows stay.
  std::vector<double> c{5e-7, 0, 99, 2, 1, 99, 4, 3, 99};  // lda 3: ((5e-7, 2, 4), (0, 1, 3))
  sgl::drowop2(c, 2, 3, 3);
  const double row2 = 0 - 5e-7 * 1;  // row 2 after the first step: (-5e-7, 0, 1)
  EXPECT_EQ(c, (std::vector<double>{5e-7 - row2 * 2, row2, 99, 1, 0, 99, 0, 1, 99}));
}

TEST(DRowOp2, WyckoffParametersFromAReducedSystem) {
  // Directions (1, 1, 0) and (0, 0, 1), end point (0.3, 0.3, 0.25): parameters 0.3 and 0.25.
  std::vector<double> a{1, 1, 0, 0, 0, 0, 0, 0, 1, 0.3, 0.3, 0.25};
  sgl::drowop2(a, 3, 4, 3);
  EXPECT_EQ(a, (std::vector<double>{1, 0, 0, 0, 0, 0, 0, 1, 0, 0.3, 0.25, 0}));

  BombTrap trap;
  EXPECT_THROW(sgl::drowop2(a, 3, 4, 2), Bombed);
}

}  // namespace
