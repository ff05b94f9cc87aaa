// Helpers shared by the tests of the linear-algebra routines: small exact matrix helpers on
// column-major arrays.
#pragma once

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "library/exact/int128.hpp"

namespace sgl_test {

// 128-bit integers keep the reference computations of the tests free of overflow.
using i128 = sgl::Int128;

// A dense rows x cols column-major matrix written row by row in the source.
inline std::vector<int32_t> by_rows(int rows, int cols, std::vector<int32_t> row_major) {
  std::vector<int32_t> m(static_cast<size_t>(rows) * cols);
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) m[j * rows + i] = row_major[i * cols + j];
  return m;
}

// Product of a (l x m, leading dimension lda) and b (m x n, leading dimension ldb), compact.
inline std::vector<int64_t> mul(const std::vector<int64_t>& a, int l, int m, int lda,
                                const std::vector<int64_t>& b, int n, int ldb) {
  std::vector<int64_t> r(static_cast<size_t>(l) * n, 0);
  for (int i = 0; i < l; ++i)
    for (int k = 0; k < n; ++k)
      for (int j = 0; j < m; ++j) r[k * l + i] += a[j * lda + i] * b[k * ldb + j];
  return r;
}

inline std::vector<int64_t> widen(const std::vector<int32_t>& a) {
  return std::vector<int64_t>(a.begin(), a.end());
}

// Determinant of an n x n matrix (compact, column-major) by fraction-free elimination (Bareiss).
inline i128 det(std::vector<int64_t> a, int n) {
  std::vector<i128> w(a.begin(), a.end());
  auto e = [&](int i, int j) -> i128& { return w[j * n + i]; };
  i128 sign = 1, prev = 1;
  for (int k = 0; k < n; ++k) {
    int p = k;
    while (p < n && e(p, k) == 0) ++p;
    if (p == n) return 0;
    if (p != k) {
      for (int j = 0; j < n; ++j) std::swap(e(k, j), e(p, j));
      sign = -sign;
    }
    for (int i = k + 1; i < n; ++i)
      for (int j = k + 1; j < n; ++j) e(i, j) = (e(i, j) * e(k, k) - e(i, k) * e(k, j)) / prev;
    prev = e(k, k);
  }
  return sign * e(n - 1, n - 1);
}

// Rank of a rows x cols matrix (compact, column-major) over the rationals.
inline int rank(const std::vector<int64_t>& a, int rows, int cols) {
  std::vector<i128> w(a.begin(), a.end());
  auto e = [&](int i, int j) -> i128& { return w[j * rows + i]; };
  int r = 0;
  for (int c = 0; c < cols && r < rows; ++c) {
    int p = r;
    while (p < rows && e(p, c) == 0) ++p;
    if (p == rows) continue;
    for (int j = 0; j < cols; ++j) std::swap(e(r, j), e(p, j));
    for (int i = r + 1; i < rows; ++i) {
      const i128 f = e(i, c), g = e(r, c);
      for (int j = 0; j < cols; ++j) e(i, j) = e(i, j) * g - e(r, j) * f;
      i128 h = 0;  // keep the entries small
      for (int j = 0; j < cols; ++j) {
        i128 x = e(i, j) < 0 ? -e(i, j) : e(i, j), y = h;
        while (x) { i128 t = y % x; y = x; x = t; }
        h = y;
      }
      if (h > 1)
        for (int j = 0; j < cols; ++j) e(i, j) /= h;
    }
    ++r;
  }
  return r;
}

// A matrix with entries drawn from [lo, hi].
inline std::vector<int32_t> random_matrix(std::mt19937& rng, int rows, int cols, int lo, int hi) {
  std::uniform_int_distribution<int32_t> pick(lo, hi);
  std::vector<int32_t> m(static_cast<size_t>(rows) * cols);
  for (auto& v : m) v = pick(rng);
  return m;
}

}  // namespace sgl_test
