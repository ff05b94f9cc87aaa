// Integer row echelon form with its companion, and the diagonal form P A Q.
#include "library/exact/smith_normal_form.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "library/exact/row_echelon.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/linalg_test_support.hpp"

namespace {

using sgl::testing::Bombed;
using sgl::testing::BombTrap;
using sgl_test::by_rows;
using sgl_test::widen;

std::vector<int32_t> unit(int n) {
  std::vector<int32_t> u(static_cast<size_t>(n) * n, 0);
  for (int i = 0; i < n; ++i) u[i * n + i] = 1;
  return u;
}

TEST(RowEchelonForm, Examples) {
  struct Case {
    const char* what;
    int m, n;
    std::vector<int32_t> a, a_out, b_out;  // by rows
  };
  const Case cases[] = {
      {"a column beyond A is made positive in the companion", 2, 1, {2, 4}, {2, 0},
       {1, 0, 2, -1}},
      {"the smallest entry becomes the pivot, negated", 2, 2, {4, 1, -3, 2}, {1, 3, 0, 11},
       {1, 1, 3, 4}},
      {"a zero column is not skipped", 2, 2, {0, 5, 0, 7}, {0, 5, 0, 7}, {1, 0, 0, 1}},
      {"remainders until one entry is left", 3, 1, {6, 10, 15}, {1, 0, 0},
       {1, 1, -1, 5, 3, -4, 0, 3, -2}},
  };
  for (const Case& c : cases) {
    std::vector<int32_t> a = by_rows(c.m, c.n, c.a), b = unit(c.m);
    sgl::row_echelon_form(a, c.m, c.n, c.m, b, c.m);
    EXPECT_EQ(a, by_rows(c.m, c.n, c.a_out)) << c.what;
    EXPECT_EQ(b, by_rows(c.m, c.m, c.b_out)) << c.what;
  }
}

TEST(RowEchelonForm, LeadingDimensionsAreChecked) {
  BombTrap trap;
  std::vector<int32_t> a(6, 1), b(9, 0);
  EXPECT_THROW(sgl::row_echelon_form(a, 3, 2, 2, b, 3), Bombed);
  EXPECT_THROW(sgl::row_echelon_form(a, 3, 2, 3, b, 2), Bombed);
}

// Echelon shape of W = [A | B]: column i has zeros below row i and W(i, i) >= 0.
void expect_echelon(const std::vector<int32_t>& a, const std::vector<int32_t>& b, int m, int n,
                    int lda, int ldb) {
  auto w = [&](int i, int j) { return j < n ? a[j * lda + i] : b[(j - n) * ldb + i]; };
  for (int i = 0; i < m; ++i) {
    EXPECT_GE(w(i, i), 0);
    for (int r = i + 1; r < m; ++r) EXPECT_EQ(w(r, i), 0);
  }
}

TEST(RowEchelonForm, RandomMatricesWithUnimodularCompanions) {
  std::mt19937 rng(1108);
  std::uniform_int_distribution<int> dim(1, 6);
  for (int t = 0; t < 500; ++t) {
    const int m = dim(rng), n = dim(rng), lda = m + t % 2, ldb = m + t % 3;
    const std::vector<int32_t> a0 = sgl_test::random_matrix(rng, lda, n, -20, 20);
    std::vector<int32_t> a = a0, b(static_cast<size_t>(ldb) * m, 0);
    for (int i = 0; i < m; ++i) b[i * ldb + i] = 1;
    sgl::row_echelon_form(a, m, n, lda, b, ldb);
    expect_echelon(a, b, m, n, lda, ldb);
    // B A0 = A exactly, and B is unimodular.
    const std::vector<int64_t> ba = sgl_test::mul(widen(b), m, m, ldb, widen(a0), n, lda);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < m; ++i) EXPECT_EQ(ba[j * m + i], a[j * lda + i]) << "trial " << t;
    std::vector<int64_t> bc;
    for (int j = 0; j < m; ++j)
      for (int i = 0; i < m; ++i) bc.push_back(b[j * ldb + i]);
    const sgl_test::i128 d = sgl_test::det(bc, m);
    EXPECT_TRUE(d == 1 || d == -1) << "trial " << t;

    // Started from another companion C, the same row operations give U C (when m <= n; with
    // more rows the columns of the companion take part in the reduction).
    if (m <= n) {
      const std::vector<int32_t> c0 = sgl_test::random_matrix(rng, m, m, -3, 3);
      std::vector<int32_t> a2 = a0, c = c0;
      sgl::row_echelon_form(a2, m, n, lda, c, m);
      EXPECT_EQ(a2, a);
      EXPECT_EQ(widen(c), sgl_test::mul(widen(b), m, m, ldb, widen(c0), m, m));
    }
  }
}

struct SmithCase {
  const char* what;
  int m, n;
  std::vector<int32_t> a, d, p, q;  // by rows
};

TEST(SmithNormalForm, Examples) {
  const SmithCase cases[] = {
      {"a diagonal matrix is returned unchanged", 2, 2, {2, 0, 0, 3}, {2, 0, 0, 3},
       {1, 0, 0, 1}, {1, 0, 0, 1}},
      {"rows are swapped", 2, 2, {0, 1, 1, 0}, {1, 0, 0, 1}, {0, 1, 1, 0}, {1, 0, 0, 1}},
      {"a negative entry is made positive by P", 1, 1, {-2}, {2}, {-1}, {1}},
      {"one row, two columns", 1, 2, {2, 4}, {2, 0}, {1}, {1, 2, 0, -1}},
      {"zero matrix", 2, 3, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {1, 0, 0, 1},
       {1, 0, 0, 0, 1, 0, 0, 0, 1}},
  };
  for (const SmithCase& c : cases) {
    std::vector<int32_t> a = by_rows(c.m, c.n, c.a), p(c.m * c.m, 9), q(c.n * c.n, 9);
    sgl::smith_normal_form(a, c.m, c.n, c.m, p, c.m, q, c.n);
    EXPECT_EQ(a, by_rows(c.m, c.n, c.d)) << c.what;
    EXPECT_EQ(p, by_rows(c.m, c.m, c.p)) << c.what;
    EXPECT_EQ(q, by_rows(c.n, c.n, c.q)) << c.what;
  }
}

TEST(SmithNormalForm, StorageOfPAndQAndLeadingDimensions) {
  // P and Q are cleared over all their stored rows; rows of A beyond m are not touched.
  std::vector<int32_t> a{0, 3, 7, 2, 0, 7}, p(3 * 2, 5), q(4 * 2, 5);  // A: ((0, 2), (3, 0))
  sgl::smith_normal_form(a, 2, 2, 3, p, 3, q, 4);
  EXPECT_EQ(a, (std::vector<int32_t>{3, 0, 7, 0, 2, 7}));
  EXPECT_EQ(p, (std::vector<int32_t>{0, 1, 0, 1, 0, 0}));
  EXPECT_EQ(q, (std::vector<int32_t>{1, 0, 0, 0, 0, 1, 0, 0}));

  BombTrap trap;
  // The diagonal of this matrix is (1, 1, 1, 2, 25097), but its P and Q need entries beyond
  // 32 bits: the run stops instead of returning wrapped values.
  std::vector<int32_t> wide = by_rows(5, 5, {3,  11, 12, -1,  -7, -5, 4,  -7, -5, 8, 6, 6, 6,
                                             11, -1, 3,  -8, -7, 1, -7, -9, 8, 9, -10, 3});
  std::vector<int32_t> p5(25), q5(25);
  EXPECT_THROW(sgl::smith_normal_form(wide, 5, 5, 5, p5, 5, q5, 5), Bombed);

  std::vector<int32_t> big(64, 1);
  EXPECT_THROW(sgl::smith_normal_form(big, 3, 2, 2, big, 3, big, 2), Bombed);
  EXPECT_THROW(sgl::smith_normal_form(big, 3, 2, 3, big, 2, big, 2), Bombed);
  EXPECT_THROW(sgl::smith_normal_form(big, 3, 2, 3, big, 3, big, 1), Bombed);
}

TEST(SmithNormalForm, RandomMatricesGiveExactUnimodularTransformations) {
  std::mt19937 rng(1109);
  std::uniform_int_distribution<int> dim(1, 5);
  for (int t = 0; t < 500; ++t) {
    const int m = dim(rng), n = dim(rng);
    const int range = m * n <= 9 ? 12 : 4;  // larger sizes and entries can outgrow 32 bits
    std::vector<int32_t> a0 = sgl_test::random_matrix(rng, m, n, -range, range);
    if (t % 7 == 0)  // a rank-deficient matrix: one row repeats another
      for (int j = 0; j < n && m > 1; ++j) a0[j * m + m - 1] = 2 * a0[j * m];
    std::vector<int32_t> a = a0, p(m * m), q(n * n);
    sgl::smith_normal_form(a, m, n, m, p, m, q, n);
    const std::vector<int64_t> paq =
        sgl_test::mul(sgl_test::mul(widen(p), m, m, m, widen(a0), n, m), m, n, m, widen(q), n, n);
    EXPECT_EQ(paq, widen(a)) << "trial " << t;
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < m; ++i) {
        if (i != j) {
          EXPECT_EQ(a[j * m + i], 0) << "trial " << t;
        } else {
          EXPECT_GE(a[j * m + i], 0) << "trial " << t;
        }
      }
    const sgl_test::i128 dp = sgl_test::det(widen(p), m), dq = sgl_test::det(widen(q), n);
    EXPECT_TRUE(dp == 1 || dp == -1) << "trial " << t;
    EXPECT_TRUE(dq == 1 || dq == -1) << "trial " << t;
    if (m == n) {
      sgl_test::i128 prod = 1, d0 = sgl_test::det(widen(a0), n);
      for (int i = 0; i < n; ++i) prod *= a[i * m + i];
      EXPECT_TRUE(prod == d0 || prod == -d0) << "trial " << t;
    }
  }
}

}  // namespace
