// Metric tensors and lattice parameters of real lattices.
#include "library/geometry/lattice_metric.hpp"

#include <array>
#include <cmath>

#include "library/geometry/real_vector.hpp"

namespace sgl {

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kRadiansToDegrees = 57.29577951308232;

std::span<const double, 3> column(std::span<const double, 9> b, int j) {
  return b.subspan(static_cast<std::size_t>(j - 1) * 3).first<3>();
}

}  // namespace

bool forms_cell(double alpha, double beta, double gamma, double min_height2) {
  const double cx = std::cos(beta);
  const double cy = (std::cos(alpha) - std::cos(gamma) * std::cos(beta)) / std::sin(gamma);
  const double height2 = 1.0 - cx * cx - cy * cy;
  return height2 > min_height2;
}

void dget_gmat(std::span<const double, 6> abc, std::span<double, 9> g) {
  const double a = abc[0], b = abc[1], c = abc[2];
  const double cos_alpha = std::cos(abc[3] * kDegreesToRadians);
  const double cos_beta = std::cos(abc[4] * kDegreesToRadians);
  const double cos_gamma = std::cos(abc[5] * kDegreesToRadians);
  g[0] = a * a;
  g[4] = b * b;
  g[8] = c * c;
  g[3] = g[1] = a * b * cos_gamma;
  g[6] = g[2] = a * c * cos_beta;
  g[7] = g[5] = b * c * cos_alpha;
}

void dget_gmat2(std::span<const double, 9> b, std::span<double, 9> g) {
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= j; ++i) {
      const double dot = dvdot(3, column(b, i), column(b, j));
      g[(j - 1) * 3 + (i - 1)] = dot;
      g[(i - 1) * 3 + (j - 1)] = dot;
    }
}

double dvlength2(std::span<const double, 3> v, std::span<const double, 9> g) {
  std::array<double, 3> gv;
  dvmlt(g, v, gv, 3, 3, 3);
  return std::sqrt(dvdot(3, v, gv));
}

void dgetabc(std::span<const double, 9> b, std::span<double, 6> abc) {
  const auto first = column(b, 1), second = column(b, 2), third = column(b, 3);
  const double a = dvlength(3, first), bl = dvlength(3, second), c = dvlength(3, third);
  abc[0] = a;
  abc[1] = bl;
  abc[2] = c;
  abc[3] = std::acos(dvdot(3, second, third) / bl / c) * kRadiansToDegrees;
  abc[4] = std::acos(dvdot(3, third, first) / c / a) * kRadiansToDegrees;
  abc[5] = std::acos(dvdot(3, first, second) / a / bl) * kRadiansToDegrees;
}

}  // namespace sgl
