// A lattice pair: a trial lattice of crystal 1 (three of its short vectors) and the three short
// vectors of crystal 2 that the cell correspondence matches with them.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "duopath/prepared_crystal.hpp"
#include "library/types.hpp"

namespace duopath {

// A stored trial lattice: its size and cell (columns in crystal 1's primitive coordinates).
struct TrialLattice {
  int32_t cell_size = 0;
  sgl::Mat3i cell{};
};

struct LatticePair {
  int32_t cell_size = 0;
  std::array<int32_t, 3> vector_triple1{};
  std::array<int32_t, 3> vector_triple2{};
  sgl::Mat3i cell1{};
  sgl::Mat3i cell1_inverse{};
  int32_t cell1_inverse_den = 1;
  sgl::Mat3i cell2{};
  int32_t cell2_size = 0;
  sgl::Mat3i cell2_inverse{};
  int32_t cell2_inverse_den = 1;
  std::array<double, 9> cartesian_cell1{};
  std::array<double, 9> cartesian_cell2{};
  std::array<double, 3> principal_stretches{};
  std::array<double, 9> metric1{};
  std::array<double, 9> metric2{};
  // cell1^-1 R(p) cell1 in lowest terms, per point-operation number of crystal 1's operators.
  std::array<sgl::Mat3i, kPointOpSlots> lattice_ops1{};
  std::array<int32_t, kPointOpSlots> lattice_ops1_den{};
  // Lengths of vector i_a - i_b of crystal 1 for (a, b) = (2, 1), (3, 1), (3, 2).
  std::array<double, 3> pair_distances1{};
};

// The pair-distance test of one crystal-1 distance p: the ratio |a - b| / p within [low, high],
// with the difference, its squared length (summed from the first component) and the square root
// taken as dvsub and vlength take them. The squared length alone decides when it lies outside the
// squared bounds widened by a relative 1e-9, or inside them narrowed by as much (rounding moves
// the ratio by a few parts in 10^16); only a distance within that margin of a bound takes the
// square root and the division. Bounds or a distance that are not positive and finite always
// take them.
class DistanceWindow {
 public:
  DistanceWindow(double p, double low, double high) : p_(p), low_(low), high_(high) {
    shortcut_ = std::isfinite(p) && std::isfinite(low) && std::isfinite(high) && p > 0.0 && low > 0.0 && high > 0.0;
    if (!shortcut_) return;
    const double l = low * p, h = high * p;
    out_low_ = l * l * (1.0 - 1e-9);
    in_low_ = l * l * (1.0 + 1e-9);
    in_high_ = h * h * (1.0 - 1e-9);
    out_high_ = h * h * (1.0 + 1e-9);
  }
  bool fits(const std::array<double, 3>& a, const std::array<double, 3>& b) const {
    double sum = 0.0;
    for (std::size_t i = 0; i < 3; ++i) {
      const double d = a[i] - b[i];
      sum += d * d;
    }
    if (shortcut_) {
      if (sum < out_low_ || sum > out_high_) return false;
      if (sum > in_low_ && sum < in_high_) return true;
    }
    const double ratio = std::sqrt(sum) / p_;
    return ratio >= low_ && ratio <= high_;
  }

 private:
  double p_, low_, high_;
  bool shortcut_ = false;
  double out_low_ = 0.0, in_low_ = 0.0, in_high_ = 0.0, out_high_ = 0.0;
};

// The columns of basis x cell over den, each "(x,y,z)" with components in lowest terms, joined
// by ",": cell vectors in conventional coordinates.
std::string cell_vectors_text(const sgl::Mat3i& basis, int32_t den, const sgl::Mat3i& cell);

// The Hermite normal form of the lattice spanned by the columns of a cell of positive
// determinant: the basis (a,0,0), (b,c,0), (d,e,f) with a, c, f > 0, 0 <= b, d < a, 0 <= e < c,
// as (a, b, c, d, e, f). Two cells span the same lattice exactly when their forms agree.
std::array<int64_t, 6> lattice_key(const sgl::Mat3i& cell);

// The determinant of an integer cell, exact for any 32-bit entries (a product of three of them
// needs 94 bits), clamped into 64 bits: its sign, and whether it is a given cell size, stay.
int64_t cell_determinant(const sgl::Mat3i& m);

// Whether cell_inverse / den times m is an integer matrix.
bool integral_product(const sgl::Mat3i& cell_inverse, int32_t den, const sgl::Mat3i& m);

}  // namespace duopath
