// LU decomposition, substitution and the 3x3 inverse.
#include "library/geometry/lu_decomposition.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "library/exact/linalg_support.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/text/bomb.hpp"

namespace sgl {

namespace {

using linalg::at;
using linalg::require_storage;
using linalg::storage_needed;

constexpr double kTinyPivot = 1e-20;

}  // namespace

void dludcmp(std::span<double> a, int n, int np, std::span<int32_t> indx, double& d) {
  d = 1.0;
  if (n <= 0) return;
  require_storage(a.size(), storage_needed(n, n, np));
  require_storage(indx.size(), n);
  auto e = [&](int i, int j) -> double& { return a[at(i, j, np)]; };

  // Implicit scaling: each row is weighed by the inverse of its largest magnitude. A row without
  // an entry above 1e-6 marks the matrix singular before anything is changed.
  std::vector<double> scale(static_cast<std::size_t>(n));
  for (int i = 1; i <= n; ++i) {
    double largest = 0.0;
    for (int j = 1; j <= n; ++j) {
      const double magnitude = std::fabs(e(i, j));
      if (magnitude > largest) largest = magnitude;
    }
    if (!ncmpd(largest)) {
      d = 0.0;
      return;
    }
    scale[i - 1] = 1.0 / largest;
  }

  for (int j = 1; j <= n; ++j) {
    // Column j of U above the diagonal.
    for (int i = 1; i < j; ++i) {
      double sum = e(i, j);
      for (int k = 1; k < i; ++k) sum -= e(i, k) * e(k, j);
      e(i, j) = sum;
    }
    // The candidates for the pivot, on and below the diagonal; the largest scaled one wins.
    double best = 0.0;
    int pivot_row = j;
    for (int i = j; i <= n; ++i) {
      double sum = e(i, j);
      for (int k = 1; k < j; ++k) sum -= e(i, k) * e(k, j);
      e(i, j) = sum;
      const double weighed = scale[i - 1] * std::fabs(sum);
      if (weighed >= best) {
        best = weighed;
        pivot_row = i;
      }
    }
    if (pivot_row != j) {
      for (int k = 1; k <= n; ++k) std::swap(e(pivot_row, k), e(j, k));
      d = -d;
      scale[pivot_row - 1] = scale[j - 1];
    }
    indx[j - 1] = pivot_row;
    if (e(j, j) == 0.0) e(j, j) = kTinyPivot;
    if (j != n) {
      const double inverse = 1.0 / e(j, j);
      for (int i = j + 1; i <= n; ++i) e(i, j) *= inverse;
    }
  }
}

void dlubksb(std::span<const double> a, int n, int np, std::span<const int32_t> indx,
             std::span<double> b) {
  if (n <= 0) return;
  require_storage(a.size(), storage_needed(n, n, np));
  require_storage(indx.size(), n);
  require_storage(b.size(), n);
  for (int i = 0; i < n; ++i)
    if (indx[i] < 1 || indx[i] > n) bomb();
  auto e = [&](int i, int j) { return a[at(i, j, np)]; };

  // Forward pass with L, undoing the interchanges on the way; first_nonzero is the first entry
  // of b that is not 0, and the sums start there.
  int first_nonzero = 0;
  for (int i = 1; i <= n; ++i) {
    const int row = indx[i - 1];
    double sum = b[row - 1];
    b[row - 1] = b[i - 1];
    if (first_nonzero != 0) {
      for (int j = first_nonzero; j < i; ++j) sum -= e(i, j) * b[j - 1];
    } else if (sum != 0.0) {
      first_nonzero = i;
    }
    b[i - 1] = sum;
  }
  // Back substitution with U.
  for (int i = n; i >= 1; --i) {
    double sum = b[i - 1];
    for (int j = i + 1; j <= n; ++j) sum -= e(i, j) * b[j - 1];
    b[i - 1] = sum / e(i, i);
  }
}

void dmatinv(std::span<const double, 9> a, std::span<double, 9> b, int32_t& err) {
  err = 0;
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) b[at(i, j, 3)] = i == j ? 1.0 : 0.0;
  std::array<double, 9> factors;
  for (int k = 0; k < 9; ++k) factors[k] = a[k];
  std::array<int32_t, 3> indx{};
  double d = 0.0;
  dludcmp(factors, 3, 3, indx, d);
  if (d == 0.0) {
    err = 1;
    return;
  }
  for (int j = 1; j <= 3; ++j) {
    std::array<double, 3> column{};
    column[j - 1] = 1.0;
    dlubksb(factors, 3, 3, indx, column);
    for (int i = 1; i <= 3; ++i) b[at(i, j, 3)] = column[i - 1];
  }
}

}  // namespace sgl
