// Induced irreps: the complex matrices (or the character) of the irrep of a space group induced
// from a small irrep of the little co-group of k over the star of k. The last little irrep's
// star, operators, arm map and small-irrep matrices are cached for the next call.
#pragma once

#include <array>
#include <cstdint>

#include "library/types.hpp"
#include "vibrex/mode_tables.hpp"
#include "vibrex/single_precision.hpp"
#include "vibrex/stars.hpp"

namespace vibrex {

inline constexpr int kInducedLead = 48;
using InducedMatrix = std::array<Complex8, kInducedLead * kInducedLead>;

// The cache of the last induced irrep: zero at program start (key 0), so the first call builds it.
struct IrrepCache {
  std::array<Complex8, kMaxSmallDimension * kMaxSmallDimension * kMaxOps> matrix{};  // (6, 6, 48)
  std::array<Complex8, kMaxOps> char1d{};
  int32_t key = 0;
  int32_t bravais = 0;
  int32_t nop = 0;
  std::array<sgl::SpaceOp, kMaxOps> ops{};
  int32_t small_dim = 0;
  std::array<sgl::SpaceOp, kMaxOps> coset{};
  std::array<sgl::SpaceOp, kMaxOps> coset_inv{};
  KMatrix kmat{};
  std::array<int32_t, sgl::kPointOpCount + 1> cogroup_pos{};  // by point operation, 0 when absent
  std::array<int32_t, kMaxOps * kMaxOps> arm_map{};            // (arm a, operator j), by columns
  int32_t narm = 0;
  int32_t sg = 0;
  int32_t kvec = 0;
  int32_t small_irrep = 0;
  int32_t builds = 0;  // how often the cache was built (a diagnostic count)

  Complex8& small(int32_t r, int32_t c, int32_t e) {
    return matrix[static_cast<std::size_t>(((e - 1) * kMaxSmallDimension + (c - 1)) * kMaxSmallDimension + (r - 1))];
  }
  int32_t& map(int32_t a, int32_t j) { return arm_map[static_cast<std::size_t>((j - 1) * kMaxOps + (a - 1))]; }
};

// The program's cache.
IrrepCache& irrep_cache();

// The character (mode 1) or the matrix (mode 2, dimension narm * s, every s x s block written,
// leading dimension 48) of little irrep l for op, an operator of l's group in "pml" whose
// translation may differ from the listed one by a lattice vector, at parameter values par (only
// the k vector's own parameters are used). Block (a, b) is exp(2 pi i k.t) times the small-irrep
// matrix of h = g_a^-1 op g_b = (t, R) when h lies in the little group, else zero. error = 1
// (nothing written) when op's point operation is not in the group or its translation is not the
// listed one plus a lattice vector. Inconsistent tables and a mode other than 1 or 2 stop through
// bomb().
void get_irrep_complex(const Tables& t, int32_t mode, int32_t l, const sgl::SpaceOp& op,
                       const sgl::RationalVector& par, Complex8& z, InducedMatrix& zm, int32_t& error);

}  // namespace vibrex
