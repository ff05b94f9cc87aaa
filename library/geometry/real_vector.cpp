// Small routines on double-precision vectors and matrices.
#include "library/geometry/real_vector.hpp"

#include <cmath>
#include <cstddef>
#include <vector>

#include "library/exact/linalg_support.hpp"

namespace sgl {

namespace {

using linalg::at;
using linalg::require_storage;
using linalg::storage_needed;

constexpr double kWrapTolerance = 1e-12;

// Lowers v by 1 while it is above 1 or within 1e-12 of 1, then raises it by 1 while it is below 0
// and not within 1e-12 of 0.
double wrap_into_unit(double v) {
  if (!std::isfinite(v)) linalg::stop_with_message(linalg::msg::kCoordinateNotFinite);
  return linalg::reduce_by_whole_steps(
      v, [](double t) { return t > 1.0 || iszero(t - 1.0, kWrapTolerance); },
      [](double t) { return t < 0.0 && !iszero(t, kWrapTolerance); });
}

}  // namespace

void zero_to_one(std::span<double, 3> x) {
  for (double& v : x) v = wrap_into_unit(v);
}

void dvsub(std::span<const double> a, std::span<const double> b, std::span<double> d, int n) {
  if (n <= 0) return;
  require_storage(a.size(), n);
  require_storage(b.size(), n);
  require_storage(d.size(), n);
  for (int i = 0; i < n; ++i) d[i] = a[i] - b[i];
}

double vdot(int n, std::span<const double> a, std::span<const double> b) {
  double sum = 0.0;
  if (n <= 0) return sum;
  require_storage(a.size(), n);
  require_storage(b.size(), n);
  for (int i = 0; i < n; ++i) sum += a[i] * b[i];
  return sum;
}

double dvdot(int n, std::span<const double> a, std::span<const double> b) { return vdot(n, a, b); }

double vlength(int n, std::span<const double> v) { return std::sqrt(vdot(n, v, v)); }

double dvlength(int n, std::span<const double> v) { return vlength(n, v); }

void xvmlt(std::span<const double> a, std::span<const double> x, std::span<double> y, int m, int n,
           int lda) {
  if (m <= 0) return;
  require_storage(y.size(), m);
  if (n > 0) {
    require_storage(a.size(), storage_needed(m, n, lda));
    require_storage(x.size(), n);
  }
  std::vector<double> work(static_cast<std::size_t>(m), 0.0);
  for (int i = 1; i <= m; ++i) {
    double sum = 0.0;
    for (int j = 1; j <= n; ++j) sum += a[at(i, j, lda)] * x[j - 1];
    work[i - 1] = sum;
  }
  for (int i = 0; i < m; ++i) y[i] = work[i];
}

void dvmlt(std::span<const double> a, std::span<const double> x, std::span<double> y, int m, int n,
           int lda) {
  xvmlt(a, x, y, m, n, lda);
}

void dmatmlt(std::span<const double> a, std::span<const double> b, std::span<double> r, int l,
             int m, int n, int lda, int ldb, int ldr) {
  if (l <= 0 || n <= 0) return;
  require_storage(r.size(), storage_needed(l, n, ldr));
  if (m > 0) {
    require_storage(a.size(), storage_needed(l, m, lda));
    require_storage(b.size(), storage_needed(m, n, ldb));
  }
  std::vector<double> work(static_cast<std::size_t>(l) * static_cast<std::size_t>(n), 0.0);
  for (int k = 1; k <= n; ++k)
    for (int i = 1; i <= l; ++i) {
      double sum = 0.0;
      for (int j = 1; j <= m; ++j) sum += a[at(i, j, lda)] * b[at(j, k, ldb)];
      work[at(i, k, l)] = sum;
    }
  for (int k = 1; k <= n; ++k)
    for (int i = 1; i <= l; ++i) r[at(i, k, ldr)] = work[at(i, k, l)];
}

double ddet3(std::span<const double, 9> a) {
  auto e = [&](int i, int j) { return a[at(i, j, 3)]; };
  return e(1, 1) * (e(2, 2) * e(3, 3) - e(2, 3) * e(3, 2)) +
         e(1, 2) * (e(2, 3) * e(3, 1) - e(2, 1) * e(3, 3)) +
         e(1, 3) * (e(2, 1) * e(3, 2) - e(2, 2) * e(3, 1));
}

}  // namespace sgl
