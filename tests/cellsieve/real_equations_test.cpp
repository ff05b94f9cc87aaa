// The real equation solvers: reduced echelon form, dropping emptied equations, minimum-norm
// completion and the 3x3 inverse.
#include "cellsieve/real_equations.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace cellsieve {
namespace {

// An equation table built from rows of (coefficients..., right-hand side), one row per equation,
// with a few spare columns for the completion.
struct System {
  int32_t lda;
  std::vector<double> a;
  int32_t neq;
  System(int32_t nvar, std::initializer_list<std::initializer_list<double>> eqs, int32_t spare = 0)
      : lda(nvar + 1), neq(static_cast<int32_t>(eqs.size())) {
    const int32_t cols = std::max(neq, nvar) + spare;
    a.assign(static_cast<std::size_t>(lda) * cols, 0.0);
    int32_t k = 0;
    for (const auto& eq : eqs) {
      int32_t m = 0;
      for (double v : eq) a[static_cast<std::size_t>(k) * lda + m++] = v;
      ++k;
    }
  }
  double& e(int32_t m, int32_t k) { return a[static_cast<std::size_t>(k - 1) * lda + (m - 1)]; }
  double rhs(int32_t k) { return e(lda, k); }
};

struct MinCase {
  const char* what;
  int32_t nvar, lo, hi;
  std::initializer_list<std::initializer_list<double>> eqs;
  int32_t flag;
  std::vector<double> x;  // the solution read as x_k = rhs(k); empty when flag is 1
};

TEST(MinimizeVariables, EdgeCases) {
  const MinCase cases[] = {
      {"x + y = 2, both minimised", 2, 1, 2, {{1, 1, 2}}, 0, {1, 1}},
      {"x + y = 2, only y minimised", 2, 2, 2, {{1, 1, 2}}, 0, {2, 0}},
      {"x + 2y + 3z = 14", 3, 1, 3, {{1, 2, 3, 14}}, 0, {1, 2, 3}},
      {"free translation absorbs the common part", 3, 2, 3, {{1, 1, 0, 1}, {1, 0, 1, 3}}, 0, {2, -1, 1}},
      {"no free variables: one reduction", 2, 1, 2, {{1, 1, 3}, {1, -1, 1}}, 0, {2, 1}},
      {"x = 1 and x = 2 contradict", 1, 1, 1, {{1, 1}, {1, 2}}, 1, {}},
      {"right-hand side 1e-11 with zero coefficients is 0 = 0", 2, 1, 2, {{1, 1, 2}, {0, 0, 1e-11}}, 0, {1, 1}},
      {"no variables and an equation", 0, 1, 0, {{1}}, 1, {}},
  };
  for (const MinCase& c : cases) {
    System s(c.nvar, c.eqs, 2);
    std::vector<int32_t> pivots(static_cast<std::size_t>(c.nvar) + 1), free(static_cast<std::size_t>(c.nvar) + 1);
    int32_t flag = -1;
    minimize_variables(s.a, s.neq, c.nvar, c.lo, c.hi, flag, s.lda, pivots, free);
    EXPECT_EQ(flag, c.flag) << c.what;
    if (c.flag != 0) continue;
    ASSERT_EQ(s.neq, c.nvar) << c.what;
    for (int32_t k = 1; k <= c.nvar; ++k) {
      EXPECT_EQ(s.e(k, k), 1.0) << c.what;
      EXPECT_NEAR(s.rhs(k), c.x[static_cast<std::size_t>(k - 1)], 1e-14) << c.what << " x" << k;
    }
  }
}

// A free variable outside the range that no equation in the range involves gets an empty
// completion equation, which is dropped: it stays free.
TEST(MinimizeVariables, UncoupledVariableOutsideTheRangeStaysFree) {
  System s(3, {{0, 1, 0, 2}}, 2);  // y = 2; x free and outside lo..hi = 2..3; z free, minimised
  std::vector<int32_t> pivots(4), free(4);
  int32_t flag = -1;
  minimize_variables(s.a, s.neq, 3, 2, 3, flag, s.lda, pivots, free);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(s.neq, 2);  // y = 2 and z = 0
  EXPECT_EQ(s.e(2, 1), 1.0);
  EXPECT_EQ(s.rhs(1), 2.0);
  EXPECT_EQ(s.e(3, 2), 1.0);
  EXPECT_EQ(s.rhs(2), 0.0);
}

// Seeded property: the result satisfies the equations and equals the minimum-norm solution over
// lo..hi, computed independently by eliminating the variables outside the range and solving the
// normal equations of the rest in long double.
TEST(MinimizeVariables, EqualsIndependentMinimumNormSolution) {
  std::mt19937_64 rng(16);
  std::uniform_int_distribution<int> small(-3, 3);
  int checked = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const int32_t nvar = 2 + trial % 5;
    const int32_t neq = 1 + static_cast<int32_t>(rng() % static_cast<unsigned>(nvar - 1));
    const int32_t lo = 1 + static_cast<int32_t>(rng() % 2);  // sometimes x_1 is a free translation
    const int32_t hi = nvar;
    // Random integer coefficients of full row rank, and a consistent right-hand side.
    System s(nvar, {}, 0);
    s.neq = neq;
    s.a.assign(static_cast<std::size_t>(s.lda) * (neq + nvar + 1), 0.0);
    for (int32_t k = 1; k <= neq; ++k) {
      for (int32_t v = 1; v <= nvar; ++v) s.e(v, k) = small(rng);
      s.e(nvar + 1, k) = small(rng);
    }
    std::vector<int32_t> pivots(nvar), free(nvar);
    System copy = s;
    int32_t flag = -1;
    minimize_variables(s.a, s.neq, nvar, lo, hi, flag, s.lda, pivots, free);
    if (flag != 0 || s.neq != nvar) continue;  // contradictory or rank-deficient draw, or x_1 left free

    std::vector<double> x(static_cast<std::size_t>(nvar));
    for (int32_t k = 1; k <= nvar; ++k) {
      ASSERT_NEAR(s.e(k, k), 1.0, 1e-12);  // residues below the tolerance may touch a pivot
      x[static_cast<std::size_t>(k - 1)] = s.rhs(k);
    }
    // The equations hold.
    for (int32_t k = 1; k <= neq; ++k) {
      double sum = 0.0;
      for (int32_t v = 1; v <= nvar; ++v) sum += copy.e(v, k) * x[static_cast<std::size_t>(v - 1)];
      EXPECT_NEAR(sum, copy.e(nvar + 1, k), 1e-9);
    }
    // Independent: minimise |x_lo..x_hi|^2 subject to A x = b by Lagrange multipliers, the
    // (nvar + neq) square system [D A^T; A 0] [x; l] = [0; b], D = diag(1 in range, 0 outside),
    // solved by Gaussian elimination with partial pivoting in long double.
    const int32_t n = nvar + neq;
    std::vector<std::vector<long double>> kkt(static_cast<std::size_t>(n), std::vector<long double>(n + 1, 0.0L));
    for (int32_t v = 1; v <= nvar; ++v) {
      if (v >= lo && v <= hi) kkt[v - 1][v - 1] = 1.0L;
      for (int32_t k = 1; k <= neq; ++k) kkt[v - 1][nvar + k - 1] = copy.e(v, k);
    }
    for (int32_t k = 1; k <= neq; ++k) {
      for (int32_t v = 1; v <= nvar; ++v) kkt[nvar + k - 1][v - 1] = copy.e(v, k);
      kkt[nvar + k - 1][n] = copy.e(nvar + 1, k);
    }
    bool singular = false;
    for (int32_t c = 0; c < n && !singular; ++c) {
      int32_t best = c;
      for (int32_t r = c + 1; r < n; ++r)
        if (std::fabs(kkt[r][c]) > std::fabs(kkt[best][c])) best = r;
      if (std::fabs(kkt[best][c]) < 1e-12L) singular = true;
      std::swap(kkt[c], kkt[best]);
      for (int32_t r = 0; r < n && !singular; ++r) {
        if (r == c) continue;
        const long double f = kkt[r][c] / kkt[c][c];
        for (int32_t j = c; j <= n; ++j) kkt[r][j] -= f * kkt[c][j];
      }
    }
    if (singular) continue;  // the minimum is not unique: no independent reference
    for (int32_t v = 1; v <= nvar; ++v)
      EXPECT_NEAR(x[v - 1], static_cast<double>(kkt[v - 1][n] / kkt[v - 1][v - 1]), 1e-9)
          << "trial " << trial << " x" << v;
    ++checked;
  }
  EXPECT_GT(checked, 150) << checked;
}

TEST(SolveEqs, ZeroFirstColumnShiftsEveryPivot) {
  System s(3, {{0, 1, 2, 3}, {0, 2, 1, 3}}, 0);
  solve_eqs(s.a, 2, 4, s.lda);
  EXPECT_EQ(s.e(2, 1), 1.0);  // pivot of equation 1 in column 2
  EXPECT_EQ(s.e(3, 1), 0.0);
  EXPECT_EQ(s.e(3, 2), 1.0);  // and of equation 2 in column 3
  EXPECT_EQ(s.e(2, 2), 0.0);
  EXPECT_DOUBLE_EQ(s.rhs(1), 1.0);
  EXPECT_DOUBLE_EQ(s.rhs(2), 1.0);
}

TEST(SolveEqs, KeepsATinyPivotInEquationOrder) {
  System s(2, {{2e-10, 1, 1}, {1, 1, 2}}, 0);
  solve_eqs(s.a, 2, 3, s.lda);
  // Equation 1 was divided by 2e-10, not swapped with equation 2.
  EXPECT_EQ(s.e(1, 1), 1.0);
  EXPECT_EQ(s.e(1, 2), 0.0);
  EXPECT_EQ(s.e(2, 2), 1.0);
  EXPECT_NEAR(s.rhs(2), 1.0, 1e-6);
}

TEST(SolveEqs, ContradictionEndsAsAPivotInTheRightHandSide) {
  System s(1, {{1, 1}, {1, 2}}, 0);
  solve_eqs(s.a, 2, 2, s.lda);
  EXPECT_EQ(s.e(1, 2), 0.0);
  EXPECT_EQ(s.e(2, 2), 1.0);
  int32_t neq = 2;
  rm_zero_eqs(s.a, neq, 2, s.lda);
  EXPECT_EQ(neq, 2);
}

// The elimination as first written, every entry of every other row updated: the reference of
// solve_eqs, which skips the updates that cannot change an entry.
void literal_solve_eqs(std::span<double> a, int32_t neq, int32_t ncol, int32_t lda) {
  auto e = [&](int32_t m, int32_t k) -> double& { return a[static_cast<std::size_t>(k - 1) * lda + (m - 1)]; };
  int32_t shift = 0;
  for (int32_t i = 1; i <= neq; ++i) {
    int32_t p = 0;
    for (;;) {
      p = i + shift;
      if (p > ncol) return;
      if (ncmpd(e(p, i)) != 0) break;
      int32_t found = 0;
      for (int32_t k = i + 1; k <= neq && found == 0; ++k)
        if (ncmpd(e(p, k)) != 0) found = k;
      if (found != 0) {
        for (int32_t m = 1; m <= ncol; ++m) std::swap(e(m, i), e(m, found));
        break;
      }
      ++shift;
    }
    const double pivot = e(p, i);
    for (int32_t m = p; m <= ncol; ++m) e(m, i) /= pivot;
    for (int32_t k = 1; k <= neq; ++k) {
      if (k == i || ncmpd(e(p, k)) == 0) continue;
      const double factor = e(p, k);
      for (int32_t m = 1; m <= ncol; ++m)
        if (m != p) e(m, k) -= e(m, i) * factor;
      e(p, k) = 0.0;
    }
  }
}

// Seeded sparse systems of the shapes of the fits, with exact zeros of both signs, entries below
// the tolerance, repeated and dependent rows and, now and then, an infinite or NaN entry: the
// result is bit for bit the literal elimination's (signs of zeros and NaN included).
TEST(SolveEqs, SameBitsAsTheLiteralElimination) {
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> kind(0, 19), small(-3, 3);
  std::uniform_real_distribution<double> real(-2.0, 2.0);
  int differing = 0;
  for (int trial = 0; trial < 600; ++trial) {
    const int32_t nvar = 3 + trial % 40;
    const int32_t neq = 1 + (trial * 7) % (nvar + 6);
    const int32_t lda = nvar + 1 + trial % 3;
    std::vector<double> a(static_cast<std::size_t>(lda) * (neq + 1), 0.0);
    for (int32_t k = 0; k < neq; ++k)
      for (int32_t m = 0; m <= nvar; ++m) {
        double& v = a[static_cast<std::size_t>(k) * lda + m];
        const int c = kind(rng);
        if (c < 10) v = c % 2 == 0 ? 0.0 : -0.0;
        else if (c < 14) v = small(rng);
        else if (c < 18) v = real(rng);
        else if (c == 18) v = 3e-11 * small(rng);
        else v = trial % 50 == 0 ? std::numeric_limits<double>::infinity() : 0.5;
      }
    if (neq > 2 && trial % 4 == 0)  // a row repeated with a negative factor
      for (int32_t m = 0; m <= nvar; ++m) a[static_cast<std::size_t>(neq - 1) * lda + m] = -2.0 * a[m];
    std::vector<double> fast = a, literal = a;
    solve_eqs(fast, neq, nvar + 1, lda);
    literal_solve_eqs(literal, neq, nvar + 1, lda);
    if (std::memcmp(fast.data(), literal.data(), fast.size() * sizeof(double)) != 0) ++differing;
  }
  EXPECT_EQ(differing, 0);
}

TEST(RmZeroEqs, DropsTrailingEquationsBelowTheTolerance) {
  struct Case {
    std::initializer_list<std::initializer_list<double>> eqs;
    int32_t neq;
  };
  const Case cases[] = {
      {{{1, 0, 0}, {9e-11, -9e-11, 5e-11}}, 1},
      {{{0, 0, 0}, {0, 1e-10, 0}}, 2},  // 1e-10 itself counts
      {{{0, 0, 0}, {0, 0, 0}}, 0},
      {{{0, 0, 0}, {1, 0, 0}, {0, 0, 0}}, 2},  // an empty equation before a full one stays
      {{{std::numeric_limits<double>::quiet_NaN(), 0, 0}}, 0},
  };
  for (const Case& c : cases) {
    System s(2, c.eqs, 0);
    int32_t neq = s.neq;
    rm_zero_eqs(s.a, neq, 3, s.lda);
    EXPECT_EQ(neq, c.neq);
  }
}

TEST(MatrixInverse, Cases) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    Mat3 a;
    int32_t err;
  };
  const Case cases[] = {
      {"identity", kIdentity3, 0},
      {"general", {2, 1, 0, 0, 3, 1, 1, 0, 4}, 0},
      {"zero leading entry", {0, 1, 0, 1, 0, 0, 0, 0, 2}, 0},
      // A fitted basis of a slightly sheared cell: the elimination leaves products of the small
      // entries below its zero test, which the inverse must still account for.
      {"slightly sheared cell",
       {0.000019204865423, 3.905009226799961, 0, 0, 0, 3.904716130380654, 3.905009226799961, 0.000019204865423, 0},
       0},
      {"two equal rows", {1, 1, 3, 2, 2, 5, 3, 3, 7}, 1},
      {"all entries near 1e-11", {1e-11, 2e-11, 0, 0, 1e-11, 3e-11, 2e-11, 0, 1e-11}, 1},
      {"a NaN entry", {1, 0, 0, 0, 1, 0, 0, 0, nan}, 1},
      {"an infinite entry", {std::numeric_limits<double>::infinity(), 0, 0, 0, 1, 0, 0, 0, 1}, 1},
  };
  for (const Case& c : cases) {
    Mat3 b;
    b.fill(7.0);
    int32_t err = -1;
    matrix_inverse(c.a, b, err);
    EXPECT_EQ(err, c.err) << c.what;
    if (err != 0) {
      for (double x : b) EXPECT_EQ(x, 7.0) << c.what << ": B untouched";
      continue;
    }
    Mat3 p{};
    matrix_mlt(c.a, b, p);
    for (int j = 1; j <= 3; ++j)
      for (int i = 1; i <= 3; ++i) EXPECT_NEAR(at(p, i, j), i == j ? 1.0 : 0.0, 1e-15) << c.what;
  }
  Mat3 same = {2, 0, 0, 0, 4, 0, 0, 0, 0.5};
  int32_t err = -1;
  matrix_inverse(same, same, err);
  EXPECT_EQ(err, 0);
  EXPECT_EQ(same, (Mat3{0.5, 0, 0, 0, 0.25, 0, 0, 0, 2}));
}

}  // namespace
}  // namespace cellsieve
