// Small vector helpers of the mapping search and the path acceptance: a column-major 3x3 matrix
// (real or integer) times a vector, each component summed from 0 in increasing column order, and
// the length of a vector as the root of its squares summed in order.
#pragma once

#include <cmath>

#include "duopath/mapping_search.hpp"

namespace duopath {

template <class Matrix>
inline Vec3 times(const Matrix& a, const Vec3& x) {
  Vec3 y{};
  for (int i = 0; i < 3; ++i) {
    double s = 0.0;
    for (int j = 0; j < 3; ++j) s += a[j * 3 + i] * x[j];
    y[i] = s;
  }
  return y;
}

inline double dot(const Vec3& a, const Vec3& b) {
  double s = 0.0;
  for (int i = 0; i < 3; ++i) s += a[i] * b[i];
  return s;
}

inline double length(const Vec3& v) { return std::sqrt(dot(v, v)); }

}  // namespace duopath
