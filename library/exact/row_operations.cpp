// Fraction-free Gauss-Jordan reduction of the rows of a matrix.
#include "library/exact/row_operations.hpp"

#include <cstddef>
#include <utility>
#include <vector>

#include "library/text/bomb.hpp"
#include "library/exact/linalg_support.hpp"
#include "library/geometry/real_vector.hpp"

namespace sgl {

namespace {

using linalg::WorkMatrix;

// Finds the pivot of row i: the column c = i + skipped, with rows swapped to bring a non-zero
// entry up and columns without one skipped. Returns 0 when the columns are used up.
template <class IsNonZero, class SwapRows>
int find_pivot_column(int i, int nrow, int ncol, int& skipped, IsNonZero nonzero, SwapRows swap) {
  for (;;) {
    const int c = i + skipped;
    if (c > ncol) return 0;
    if (nonzero(i, c)) return c;
    for (int r = i + 1; r <= nrow; ++r) {
      if (nonzero(r, c)) {
        swap(i, r);
        return c;
      }
    }
    ++skipped;
  }
}

// Reduces rows 1..nrow, columns 1..ncol of the 64-bit work matrix w in place.
void reduce_work_rows(WorkMatrix& w, int nrow, int ncol, const char* routine) {
  std::vector<int64_t> row(static_cast<std::size_t>(ncol));
  int skipped = 0;
  for (int i = 1; i <= nrow; ++i) {
    const int c = find_pivot_column(
        i, nrow, ncol, skipped, [&](int r, int col) { return w(r, col) != 0; },
        [&](int r1, int r2) { w.swap_rows(r1, r2); });
    if (c == 0) break;
    const int64_t pivot = w(i, c);
    for (int k = 1; k <= nrow; ++k) {
      const int64_t akc = w(k, c);
      if (k == i || akc == 0) continue;
      for (int j = 1; j <= ncol; ++j) {
        row[j - 1] = j == c ? 0
                            : sub64(mul64(pivot, w(k, j), routine),
                                            mul64(w(i, j), akc, routine), routine);
      }
      factor64(row, routine);
      for (int j = 1; j <= ncol; ++j) w(k, j) = row[j - 1];
    }
  }
}

void reduce_integer_rows(std::span<int32_t> a, int nrow, int ncol, int lda, const char* routine) {
  if (nrow <= 0 || ncol <= 0) return;
  if (lda < nrow) bomb();
  WorkMatrix w(nrow, ncol);
  linalg::load(w, a, nrow, ncol, lda);
  reduce_work_rows(w, nrow, ncol, routine);
  linalg::store(w, a, nrow, ncol, lda, routine);
}

}  // namespace

void rowop(std::span<int32_t> a, int nrow, int ncol) {
  if (nrow > kRowopLeadingDim) bomb();
  reduce_integer_rows(a, nrow, ncol, kRowopLeadingDim, "rowop");
}

void rowop2(std::span<int32_t> a, int nrow, int ncol, int lda) {
  reduce_integer_rows(a, nrow, ncol, lda, "rowop2");
}

void rowop2_64(std::span<int64_t> a, int nrow, int ncol, int lda, const char* routine) {
  if (nrow <= 0 || ncol <= 0) return;
  if (lda < nrow) bomb();
  linalg::require_storage(a.size(), linalg::storage_needed(nrow, ncol, lda));
  WorkMatrix w(nrow, ncol);
  for (int j = 1; j <= ncol; ++j)
    for (int i = 1; i <= nrow; ++i) w(i, j) = a[linalg::at(i, j, lda)];
  reduce_work_rows(w, nrow, ncol, routine);
  for (int j = 1; j <= ncol; ++j)
    for (int i = 1; i <= nrow; ++i) a[linalg::at(i, j, lda)] = w(i, j);
}

void drowop2(std::span<double> a, int nrow, int ncol, int lda) {
  if (nrow <= 0 || ncol <= 0) return;
  if (lda < nrow) bomb();
  linalg::require_storage(a.size(), linalg::storage_needed(nrow, ncol, lda));
  auto e = [&](int i, int j) -> double& { return a[linalg::at(i, j, lda)]; };
  int skipped = 0;
  for (int i = 1; i <= nrow; ++i) {
    const int c = find_pivot_column(
        i, nrow, ncol, skipped, [&](int r, int col) { return ncmpd(e(r, col)); },
        [&](int r1, int r2) {
          for (int j = 1; j <= ncol; ++j) std::swap(e(r1, j), e(r2, j));
        });
    if (c == 0) break;
    const double pivot = e(i, c);
    for (int j = c; j <= ncol; ++j) e(i, j) = e(i, j) / pivot;
    for (int k = 1; k <= nrow; ++k) {
      const double akc = e(k, c);
      if (k == i || !ncmpd(akc)) continue;
      for (int j = 1; j <= ncol; ++j)
        if (j != c) e(k, j) = e(k, j) - e(i, j) * akc;
      e(k, c) = 0.0;
    }
  }
}

}  // namespace sgl
