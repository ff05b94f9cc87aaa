// Test support for the lattice geometry: column-major 3x3 helpers, bases from lattice parameters,
// random rotations, unimodular matrices and symmetric positive matrices.
#pragma once

#include <array>
#include <cmath>
#include <random>

#include "library/types.hpp"

namespace sgl::testing {

using Mat3 = std::array<double, 9>;  // column-major: (i, j) 1-based at (j - 1) * 3 + i - 1

inline double& at3(Mat3& m, int i, int j) { return m[(j - 1) * 3 + (i - 1)]; }
inline double at3(const Mat3& m, int i, int j) { return m[(j - 1) * 3 + (i - 1)]; }

inline Mat3 identity3() { return {1, 0, 0, 0, 1, 0, 0, 0, 1}; }

inline Mat3 mul3(const Mat3& a, const Mat3& b) {
  Mat3 r{};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j)
      for (int k = 1; k <= 3; ++k) at3(r, i, j) += at3(a, i, k) * at3(b, k, j);
  return r;
}

inline Mat3 transpose3(const Mat3& a) {
  Mat3 r{};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) at3(r, i, j) = at3(a, j, i);
  return r;
}

inline Mat3 to_real(const Mat3i& m) {
  Mat3 r{};
  for (int k = 0; k < 9; ++k) r[k] = m[k];
  return r;
}

// The largest entry of |a - b|.
inline double max_diff(const Mat3& a, const Mat3& b) {
  double d = 0.0;
  for (int k = 0; k < 9; ++k) d = std::fmax(d, std::fabs(a[k] - b[k]));
  return d;
}

// Cartesian basis (columns) with the given lattice parameters: a along x, b in the xy plane.
inline Mat3 basis_from_parameters(const std::array<double, 6>& p) {
  const double rad = std::acos(-1.0) / 180.0;
  const double ca = std::cos(p[3] * rad), cb = std::cos(p[4] * rad), cg = std::cos(p[5] * rad);
  const double sg = std::sin(p[5] * rad);
  const double cx = p[2] * cb, cy = p[2] * (ca - cb * cg) / sg;
  return {p[0], 0, 0, p[1] * cg, p[1] * sg, 0, cx, cy, std::sqrt(p[2] * p[2] - cx * cx - cy * cy)};
}

// A random proper rotation (from a random unit quaternion).
inline Mat3 random_rotation(std::mt19937& rng) {
  std::normal_distribution<double> n(0.0, 1.0);
  double w = n(rng), x = n(rng), y = n(rng), z = n(rng);
  const double s = std::sqrt(w * w + x * x + y * y + z * z);
  w /= s, x /= s, y /= s, z /= s;
  return {1 - 2 * (y * y + z * z), 2 * (x * y + w * z),     2 * (x * z - w * y),
          2 * (x * y - w * z),     1 - 2 * (x * x + z * z), 2 * (y * z + w * x),
          2 * (x * z + w * y),     2 * (y * z - w * x),     1 - 2 * (x * x + y * y)};
}

// A random integer matrix of determinant +1 or -1: a product of elementary shears and sign
// changes, with entries of moderate size.
inline Mat3i random_unimodular(std::mt19937& rng, int steps) {
  Mat3i m{1, 0, 0, 0, 1, 0, 0, 0, 1};
  std::uniform_int_distribution<int> pick(1, 3), factor(-2, 2), coin(0, 5);
  for (int s = 0; s < steps; ++s) {
    const int i = pick(rng);
    int j = pick(rng);
    if (j == i) j = i % 3 + 1;
    const int f = factor(rng);
    for (int r = 1; r <= 3; ++r) m3(m, r, i) += f * m3(m, r, j);  // column i += f column j
    if (coin(rng) == 0)
      for (int r = 1; r <= 3; ++r) m3(m, r, i) = -m3(m, r, i);
  }
  return m;
}

}  // namespace sgl::testing
