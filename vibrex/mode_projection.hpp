// Mode projection: the displacement modes of one Wyckoff orbit that transform like a little
// irrep through a given site irrep, by the projection-operator method, and the displacement
// vectors of an atom of the orbit for the coefficients of such a mode.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "library/types.hpp"
#include "vibrex/mode_tables.hpp"

namespace vibrex {

// Coefficient arrays of modes and vector blocks: extent (3, 48, *), entry (b, a, n) at
// ((n - 1) * 48 + (a - 1)) * 3 + (b - 1).
inline constexpr int32_t kCoefColumns = 48;
inline std::size_t coef_index(int32_t b, int32_t a, int32_t n) {
  return static_cast<std::size_t>(((n - 1) * kCoefColumns + (a - 1)) * 3 + (b - 1));
}

// The number of modes for a site irrep listed with multiplicity p: p, doubled unless the site
// irrep is real (sreal 1), divided by 1, 4 or 2 for a little irrep of reality type 1, 2 or 3.
// An indivisible multiplicity stops through bomb().
int32_t mode_multiplicity(int32_t p, int32_t reality, int32_t sreal);

// The modes of little irrep ir at parameter values kpar on position w (index in the group) of
// the atom with site operations siteops, through site irrep r of the site point group: m (0 when
// r is not listed for the position), the orientation list lo matched to the site operations, and
// the coefficients modes(b, a, n) (site basis function b, irrep basis function a, mode n), each
// mode scaled to a largest magnitude of 1. Stops through bomb() on an indivisible multiplicity,
// site operations that fit no orientation list, a stored or real irrep error, an irrep of
// reality type 3 without a stored transformation (with a line naming it) and fewer than m
// independent candidates.
void project(const Tables& t, int32_t ir, const sgl::RationalVector& kpar, int32_t w,
             std::span<const sgl::SpaceOp> siteops, int32_t r, int32_t& lo, int32_t& m, std::vector<float>& modes);

// The vectors of the coefficient blocks coef (nblocks blocks of ncol columns of sdim site-irrep
// components) for site irrep r of point group pg in orientation list lo, kind 1 polar or 2 axial,
// carried by point operation op: one block of vectors per block of coef and per vector slot of
// the point group that holds r, in slot order. vec(1..3, j, n) in the layout above; nvec the
// number of blocks written. A site irrep whose slots would run past the third stops through
// bomb() with a line.
void project_vector(const Tables& t, int32_t pg, int32_t lo, int32_t r, int32_t ncol, int32_t sdim, int32_t kind,
                    int32_t op, int32_t nblocks, std::span<const float> coef, int32_t& nvec, std::vector<float>& vec);

}  // namespace vibrex
