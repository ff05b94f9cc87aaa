// The real-number kernel of cellsieve.
#include "cellsieve/real_helpers.hpp"

#include <cmath>
#include <limits>
#include <span>

#include "library/exact/linalg_support.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace cellsieve {

double detmat(const Mat3& a) { return sgl::ddet3(std::span<const double, 9>(a)); }

void unitcell(const Mat3& a, const Mat3& b, const Vec3& v, Vec3& w) {
  Vec3 r{};
  vector_mlt(a, v, r);
  sgl::zero_to_one(r);
  vector_mlt(b, r, w);
}

void near_origin(const Mat3& a, const Mat3& b, const Vec3& v, Vec3& w) {
  Vec3 r{};
  vector_mlt(a, v, r);
  for (double& x : r) {
    if (!std::isfinite(x)) {
      sgl::write_free(6, {"Error in near_origin:  coordinate not finite"});
      sgl::bomb();
    }
    x = sgl::linalg::reduce_by_whole_steps(
        x, [](double t) { return t > 0.5; }, [](double t) { return t <= -0.5; });
  }
  vector_mlt(b, r, w);
}

void jacobi(Mat3& a, Vec3& d) {
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= j; ++i)
      if (!std::isfinite(at(a, i, j))) {
        d.fill(std::numeric_limits<double>::quiet_NaN());
        return;
      }
  Mat3 v = kIdentity3;
  Vec3 b{};
  Vec3 z{};
  for (int i = 1; i <= 3; ++i) b[i - 1] = d[i - 1] = at(a, i, i);
  // The threshold factor 0.2 is the single-precision value, widened.
  const double fifth = static_cast<double>(0.2f);
  auto rotate = [](double& x, double& y, double s, double tau) {
    const double g = x;
    const double h = y;
    x = g - s * (h + g * tau);
    y = h + s * (g - h * tau);
  };
  for (int sweep = 1; sweep <= 100; ++sweep) {
    const double sm = std::fabs(at(a, 1, 2)) + std::fabs(at(a, 1, 3)) + std::fabs(at(a, 2, 3));
    if (sm == 0.0) return;
    const double thresh = sweep < 4 ? fifth * sm / 9.0 : 0.0;
    for (int p = 1; p <= 2; ++p)
      for (int q = p + 1; q <= 3; ++q) {
        const double g = 100.0 * std::fabs(at(a, p, q));
        const double dp = std::fabs(d[p - 1]);
        const double dq = std::fabs(d[q - 1]);
        if (sweep > 4 && dp + g == dp && dq + g == dq) {
          at(a, p, q) = 0.0;
        } else if (std::fabs(at(a, p, q)) > thresh) {
          double h = d[q - 1] - d[p - 1];
          double t;
          if (std::fabs(h) + g == std::fabs(h)) {
            t = at(a, p, q) / h;
          } else {
            const double theta = 0.5 * h / at(a, p, q);
            t = 1.0 / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
            if (theta < 0.0) t = -t;
          }
          const double c = 1.0 / std::sqrt(t * t + 1.0);
          const double s = t * c;
          const double tau = s / (1.0 + c);
          h = t * at(a, p, q);
          z[p - 1] -= h;
          z[q - 1] += h;
          d[p - 1] -= h;
          d[q - 1] += h;
          at(a, p, q) = 0.0;
          for (int j = 1; j <= p - 1; ++j) rotate(at(a, j, p), at(a, j, q), s, tau);
          for (int j = p + 1; j <= q - 1; ++j) rotate(at(a, p, j), at(a, j, q), s, tau);
          for (int j = q + 1; j <= 3; ++j) rotate(at(a, p, j), at(a, q, j), s, tau);
          for (int j = 1; j <= 3; ++j) rotate(at(v, j, p), at(v, j, q), s, tau);
        }
      }
    for (int i = 0; i < 3; ++i) {
      b[i] += z[i];
      d[i] = b[i];
      z[i] = 0.0;
    }
  }
  sgl::write_free(6, {"error in jacobi:  did not converge"});
  sgl::bomb();
}

}  // namespace cellsieve
