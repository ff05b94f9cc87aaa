// The cyclic Jacobi method with threshold sweeps.
#include "library/geometry/jacobi.hpp"

#include <cmath>
#include <cstddef>
#include <vector>

#include "library/exact/linalg_support.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace sgl {

namespace {

using linalg::at;
using linalg::require_storage;
using linalg::storage_needed;

constexpr int kMaxSweeps = 100;

// Applies the plane rotation (s, tau = s / (1 + c)) to the pair x, y.
inline void rotate(double& x, double& y, double s, double tau) {
  const double g = x, h = y;
  x = g - s * (h + g * tau);
  y = h + s * (g - h * tau);
}

}  // namespace

void jacobi(std::span<double> a, int n, std::span<double> d, std::span<double> v, int lda) {
  if (n <= 0) return;
  require_storage(a.size(), storage_needed(n, n, lda));
  require_storage(v.size(), storage_needed(n, n, lda));
  require_storage(d.size(), n);
  auto e = [&](int i, int j) -> double& { return a[at(i, j, lda)]; };
  auto ev = [&](int i, int j) -> double& { return v[at(i, j, lda)]; };

  // The diagonal of the last completed sweep (start) and the changes to it within the current
  // sweep (shift): summing the changes separately keeps the diagonal accurate.
  std::vector<double> start(static_cast<std::size_t>(lda)), shift(static_cast<std::size_t>(lda));
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= n; ++i) ev(i, j) = i == j ? 1.0 : 0.0;
    start[j - 1] = d[j - 1] = e(j, j);
    shift[j - 1] = 0.0;
  }

  for (int sweep = 1; sweep <= kMaxSweeps; ++sweep) {
    double off = 0.0;
    for (int p = 1; p < n; ++p)
      for (int q = p + 1; q <= n; ++q) off += std::fabs(e(p, q));
    if (off == 0.0) return;
    const double threshold = sweep < 4 ? 0.2 * off / (static_cast<double>(n) * n) : 0.0;

    for (int p = 1; p < n; ++p) {
      for (int q = p + 1; q <= n; ++q) {
        const double apq = e(p, q);
        const double g = 100.0 * std::fabs(apq);
        const double dp = d[p - 1], dq = d[q - 1];
        if (sweep > 4 && std::fabs(dp) + g == std::fabs(dp) && std::fabs(dq) + g == std::fabs(dq)) {
          e(p, q) = 0.0;
          continue;
        }
        if (!(std::fabs(apq) > threshold)) continue;
        // The rotation angle that zeroes A(p, q): t = tan(phi), the smaller root of
        // t^2 + 2 theta t - 1 = 0, or apq / h when theta is too large to square.
        const double h = dq - dp;
        double t;
        if (std::fabs(h) + g == std::fabs(h)) {
          t = apq / h;
        } else {
          const double theta = 0.5 * h / apq;
          t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
          if (theta < 0.0) t = -t;
        }
        const double c = 1.0 / std::sqrt(1.0 + t * t);
        const double s = t * c;
        const double tau = s / (1.0 + c);
        const double change = t * apq;
        shift[p - 1] -= change;
        shift[q - 1] += change;
        d[p - 1] -= change;
        d[q - 1] += change;
        e(p, q) = 0.0;
        // The rest of rows and columns p and q, in the upper triangle only.
        for (int j = 1; j < p; ++j) rotate(e(j, p), e(j, q), s, tau);
        for (int j = p + 1; j < q; ++j) rotate(e(p, j), e(j, q), s, tau);
        for (int j = q + 1; j <= n; ++j) rotate(e(p, j), e(q, j), s, tau);
        for (int j = 1; j <= n; ++j) rotate(ev(j, p), ev(j, q), s, tau);
      }
    }
    for (int p = 1; p <= n; ++p) {
      start[p - 1] += shift[p - 1];
      d[p - 1] = start[p - 1];
      shift[p - 1] = 0.0;
    }
  }
  write_free(6, {"error in jacobi:  did not converge"});
  bomb();
}

}  // namespace sgl
