// Reduction of a lattice basis by short integer combinations of its vectors.
#include "library/geometry/lattice_reduction.hpp"

#include <array>
#include <cmath>
#include <cstdint>

#include "library/text/bomb.hpp"

namespace sgl {

namespace {

constexpr double kShorter = 1.0 - 1e-10;
// Bound on the entries of m; it keeps every entry of the inverse within 2^29.
constexpr int64_t kMaxEntry = int64_t{1} << 14;
constexpr int kMaxReplacements = 10000;

constexpr int idx(int i, int j) { return (j - 1) * 3 + (i - 1); }

// The other two indices of i, in increasing order.
constexpr std::array<int, 2> others(int i) {
  return i == 1   ? std::array<int, 2>{2, 3}
         : i == 2 ? std::array<int, 2>{1, 3}
                  : std::array<int, 2>{1, 2};
}

// Replaces column i of m by column i + ej column j + ek column k; false (m unchanged) when an
// entry would grow beyond the bound.
bool combine(Mat3i& m, int i, int j, int64_t ej, int k, int64_t ek) {
  std::array<int32_t, 3> column;
  for (int r = 1; r <= 3; ++r) {
    const int64_t value = int64_t{m3(m, r, i)} + ej * m3(m, r, j) + ek * m3(m, r, k);
    if (value > kMaxEntry || value < -kMaxEntry) return false;
    column[r - 1] = static_cast<int32_t>(value);
  }
  for (int r = 1; r <= 3; ++r) m3(m, r, i) = column[r - 1];
  return true;
}

// One replacement, or false when none applies. gm is the metric of the current basis.
bool replace_one(const std::array<double, 9>& gm, Mat3i& m) {
  // Jumps by a multiple of one other vector, when the multiple is 2 or more.
  for (int i = 1; i <= 3; ++i) {
    const double gii = gm[idx(i, i)];
    for (int j : others(i)) {
      const double gjj = gm[idx(j, j)];
      if (!(gjj > 0.0)) continue;
      const double ratio = gm[idx(i, j)] / gjj;
      if (!(std::fabs(ratio) >= 1.5 && std::fabs(ratio) < static_cast<double>(kMaxEntry))) continue;
      const double n = std::nearbyint(ratio);
      const double length2 = gii - 2.0 * n * gm[idx(i, j)] + n * n * gjj;
      if (length2 < gii * kShorter && combine(m, i, j, -static_cast<int64_t>(n), j == 1 ? 2 : 1, 0))
        return true;
    }
  }
  // Single steps: b_i + e_j b_j + e_k b_k.
  for (int i = 1; i <= 3; ++i) {
    const auto [j, k] = others(i);
    const double gii = gm[idx(i, i)];
    for (int ej = -1; ej <= 1; ++ej)
      for (int ek = -1; ek <= 1; ++ek) {
        if (ej == 0 && ek == 0) continue;
        const double length2 = gii + ej * ej * gm[idx(j, j)] + ek * ek * gm[idx(k, k)] +
                               2.0 * ej * gm[idx(i, j)] + 2.0 * ek * gm[idx(i, k)] +
                               2.0 * ej * ek * gm[idx(j, k)];
        if (length2 < gii * kShorter && combine(m, i, j, ej, k, ek)) return true;
      }
  }
  return false;
}

}  // namespace

void transform_metric(std::span<const double, 9> g, const Mat3i& m, std::span<double, 9> g_new) {
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) {
      double sum = 0.0;
      for (int k = 1; k <= 3; ++k)
        for (int l = 1; l <= 3; ++l)
          sum += static_cast<double>(m3(m, k, i)) * g[idx(k, l)] * static_cast<double>(m3(m, l, j));
      g_new[idx(i, j)] = sum;
    }
}

Mat3i unimodular_inverse(const Mat3i& m) {
  auto e = [&](int i, int j) { return int64_t{m3(m, i, j)}; };
  const int64_t det = e(1, 1) * (e(2, 2) * e(3, 3) - e(2, 3) * e(3, 2)) -
                      e(1, 2) * (e(2, 1) * e(3, 3) - e(2, 3) * e(3, 1)) +
                      e(1, 3) * (e(2, 1) * e(3, 2) - e(2, 2) * e(3, 1));
  if (det != 1 && det != -1) bomb();
  Mat3i inverse;
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      // Cofactor of entry (j, i): rows other than j, columns other than i.
      const auto [r1, r2] = others(j);
      const auto [c1, c2] = others(i);
      int64_t cof = e(r1, c1) * e(r2, c2) - e(r1, c2) * e(r2, c1);
      if ((i + j) % 2 != 0) cof = -cof;
      m3(inverse, i, j) = static_cast<int32_t>(cof * det);
    }
  return inverse;
}

bool reduce_lattice_basis(std::span<const double, 9> g, Mat3i& m) {
  m = Mat3i{1, 0, 0, 0, 1, 0, 0, 0, 1};
  std::array<double, 9> gm;
  for (int k = 0; k < 9; ++k) gm[k] = g[k];
  bool replaced = false;
  for (int count = 0; count < kMaxReplacements; ++count) {
    if (!replace_one(gm, m)) break;
    replaced = true;
    transform_metric(g, m, gm);
  }
  return replaced;
}

}  // namespace sgl
