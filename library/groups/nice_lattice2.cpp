// Greedy shortening of a lattice basis.
#include "library/groups/nice_lattice2.hpp"

#include <array>

#include "library/exact/arithmetic.hpp"
#include "library/exact/checked_int.hpp"
#include "library/tables/common_space.hpp"
#include "library/text/bomb.hpp"

namespace sgl {

namespace {

constexpr const char* kRoutine = "nice_lattice2";

Mat3i transform_matrix(const CommonSpace& cs, int m, int32_t bravais) {
  Mat3i t;
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) m3(t, i, j) = cs.lattice_transform(i, j, m, bravais);
  return t;
}

using Column = std::array<int64_t, 3>;

int64_t measure(const Column& v) {
  int64_t s = 0;
  for (int64_t x : v) s = add64(s, mul64(x, x, kRoutine), kRoutine);
  return s;
}

}  // namespace

void nice_lattice2(const CommonSpace& cs, int32_t bravais, const Mat3i& lattice, Mat3i& reduced) {
  if (bravais < 1 || bravais > kBravaisTypeCount) bomb();
  const Mat3i m1 = transform_matrix(cs, 1, bravais);
  const Mat3i m2 = transform_matrix(cs, 2, bravais);
  const int32_t e = cs.lattice_transform_den(1, bravais);

  std::array<Column, 3> k{};
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) {
      int64_t s = 0;
      for (int l = 0; l < 3; ++l)
        s = add64(s, mul64(m3(m2, i + 1, l + 1), m3(lattice, l + 1, j + 1), kRoutine), kRoutine);
      k[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)] = s;
    }

  // Every replacement lowers the sum of the three measures, so the sweeps end.
  for (bool changed = true; changed;) {
    changed = false;
    for (std::size_t i = 0; i < 3; ++i) {
      const int64_t s = measure(k[i]);
      bool replaced = false;
      for (std::size_t j = 0; j < 3 && !replaced; ++j) {
        if (j == i) continue;
        for (int64_t sign : {int64_t{-1}, int64_t{1}}) {
          Column v;
          for (std::size_t r = 0; r < 3; ++r)
            v[r] = add64(k[i][r], mul64(sign, k[j][r], kRoutine), kRoutine);
          if (measure(v) < s) {
            k[i] = v;
            replaced = changed = true;
            break;
          }
        }
      }
    }
  }

  Mat3i out;
  int32_t den = e;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) {
      int64_t s = 0;
      for (int l = 0; l < 3; ++l)
        s = add64(s, mul64(m3(m1, i + 1, l + 1), k[static_cast<std::size_t>(j)][static_cast<std::size_t>(l)], kRoutine), kRoutine);
      m3(out, i + 1, j + 1) = narrow32(s, kRoutine);
    }
  reduc3(out, den);
  if (den != 1) bomb();
  reduced = out;
}

}  // namespace sgl
