// Real linear equations and minimum-norm fits.
#include "cellsieve/real_equations.hpp"

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace cellsieve {

namespace {

// Index of entry (m, k), 1-based, of a table with leading dimension lda.
std::size_t idx(int32_t m, int32_t k, int32_t lda) {
  return static_cast<std::size_t>(k - 1) * static_cast<std::size_t>(lda) +
         static_cast<std::size_t>(m - 1);
}

}  // namespace

void solve_eqs(std::span<double> a, int32_t neq, int32_t ncol, int32_t lda) {
  auto e = [&](int32_t m, int32_t k) -> double& { return a[idx(m, k, lda)]; };
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
    const double* __restrict row_i = &e(1, i);
    for (int32_t k = 1; k <= neq; ++k) {
      if (k == i || ncmpd(e(p, k)) == 0) continue;
      const double factor = e(p, k);
      // Every entry but the pivot column's, in two runs the compiler can vectorise (each entry
      // is still one product and one difference, rounded as written).
      double* __restrict row_k = &e(1, k);
      for (int32_t m = 0; m < p - 1; ++m) row_k[m] -= row_i[m] * factor;
      for (int32_t m = p; m < ncol; ++m) row_k[m] -= row_i[m] * factor;
      row_k[p - 1] = 0.0;
    }
  }
}

void rm_zero_eqs(std::span<const double> a, int32_t& neq, int32_t ncol, int32_t lda) {
  for (int32_t k = neq; k >= 1; --k)
    for (int32_t m = 1; m <= ncol; ++m)
      if (ncmpd(a[idx(m, k, lda)]) != 0) {
        neq = k;
        return;
      }
  neq = 0;
}

void minimize_variables(std::span<double> a, int32_t& neq, int32_t nvar, int32_t lo, int32_t hi,
                        int32_t& flag, int32_t lda, std::span<int32_t> pivots,
                        std::span<int32_t> free_vars) {
  auto e = [&](int32_t m, int32_t k) -> double& { return a[idx(m, k, lda)]; };
  solve_eqs(a, neq, nvar + 1, lda);
  rm_zero_eqs(a, neq, nvar + 1, lda);

  std::vector<char> used(static_cast<std::size_t>(nvar > 0 ? nvar : 0) + 1, 0);
  int32_t first = 0;
  int32_t last = 0;
  for (int32_t n = 1; n <= neq; ++n) {
    int32_t m = 1;
    while (m <= nvar && ncmpd(e(m, n)) == 0) ++m;
    if (m > nvar) {  // 0 = c with c nonzero: no solution
      flag = 1;
      return;
    }
    pivots[static_cast<std::size_t>(n - 1)] = m;
    used[static_cast<std::size_t>(m)] = 1;
    if (m >= lo && m <= hi) {
      if (first == 0) first = n;
      last = n;
    }
  }
  if (first == 0) {
    first = 1;
    last = 0;
  }
  int32_t nfree = 0;
  for (int32_t v = 1; v <= nvar; ++v)
    if (used[static_cast<std::size_t>(v)] == 0) free_vars[static_cast<std::size_t>(nfree++)] = v;

  // d/dx_g of the sum of squares, with the pivot variables expressed by the free ones, is zero:
  // sum over the pivot equations in the range of A(g, n) x_{p_n}, minus x_g when g is in range.
  for (int32_t t = 0; t < nfree; ++t) {
    const int32_t g = free_vars[static_cast<std::size_t>(t)];
    ++neq;
    for (int32_t m = 1; m <= nvar + 1; ++m) e(m, neq) = 0.0;
    for (int32_t n = first; n <= last; ++n) e(pivots[static_cast<std::size_t>(n - 1)], neq) = e(g, n);
    if (g >= lo && g <= hi) e(g, neq) = -1.0;
  }
  solve_eqs(a, neq, nvar + 1, lda);
  rm_zero_eqs(a, neq, nvar + 1, lda);
  flag = 0;
}

void matrix_inverse(const Mat3& a, Mat3& b, int32_t& err) {
  for (double x : a)
    if (!std::isfinite(x)) {  // NaN would pass the zero tests as 0 and give a garbage inverse
      err = 1;
      return;
    }
  constexpr int32_t kLda = 10;
  std::vector<double> t(static_cast<std::size_t>(kLda) * 9, 0.0);
  auto e = [&](int32_t m, int32_t k) -> double& { return t[idx(m, k, kLda)]; };
  for (int32_t i = 1; i <= 3; ++i)
    for (int32_t j = 1; j <= 3; ++j) {
      const int32_t eq = (i - 1) * 3 + j;
      for (int32_t l = 1; l <= 3; ++l) e((i - 1) * 3 + l, eq) = at(a, j, l);
      e(10, eq) = i == j ? 1.0 : 0.0;
    }
  solve_eqs(t, 9, 10, kLda);
  int32_t neq = 9;
  rm_zero_eqs(t, neq, 10, kLda);
  if (neq != 9) {
    err = 1;
    return;
  }
  Mat3 x{};
  for (int32_t i = 1; i <= 3; ++i)
    for (int32_t l = 1; l <= 3; ++l) at(x, l, i) = e(10, (i - 1) * 3 + l);
  // The elimination leaves entries below its absolute zero test in place and the read-back
  // ignores them, so a matrix with small but real entries (a slightly sheared cell) gets an
  // inverse that is off by up to about 1e-10 relative. Lattice reductions through such an inverse
  // move vectors by that much, enough to break the exact tests of the group closure. One step of
  // residual correction, x + x (I - a x), restores full precision; for an exact inverse the
  // residual is zero and x stays as it is.
  Mat3 r{};
  for (int32_t i = 1; i <= 3; ++i)
    for (int32_t j = 1; j <= 3; ++j) {
      double sum = 0.0;
      for (int32_t k = 1; k <= 3; ++k) sum += at(a, i, k) * at(x, k, j);
      at(r, i, j) = (i == j ? 1.0 : 0.0) - sum;
    }
  for (int32_t i = 1; i <= 3; ++i)
    for (int32_t j = 1; j <= 3; ++j) {
      double sum = 0.0;
      for (int32_t k = 1; k <= 3; ++k) sum += at(x, i, k) * at(r, k, j);
      at(b, i, j) = at(x, i, j) + sum;
    }
  err = 0;
}

}  // namespace cellsieve
