// Site-symmetry groups and orbits of Wyckoff positions, exactly, from the space-group and
// Wyckoff tables.
//
// A Wyckoff position is named by its index w within its space group (1 .. count of the group) or
// by its global index in the Wyckoff tables (first index of the group + w - 1). Its matrix holds
// the fixed point in column 1 and the directions of the free parameters x, y, z in columns 2-4,
// each column over its own denominator in row 4 (0: the parameter does not occur). Results go
// into caller-supplied lists of 48 entries at most; a list too short stops the run.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "library/types.hpp"

namespace sgl {

struct CommonSpace;
struct CommonWyckoff;

// The site operators of the position with global index wyc (matrix w, in "pml"): every operator
// (R, t) of the group that maps the fixed point onto a lattice translate of itself and fixes each
// present direction, stored as the exact stabiliser (R, p - R p) of the fixed point p, ordered by
// the first element list of the site point group that holds all their point operations, and
// changed from "pml" into the given setting. Their number is the order of the site point group.
// Stops the run when the position's site point group lies outside 1 .. 32, when that number is
// not met, or when no element list of the site point group holds the operators.
void wyc_pg_elements(const CommonSpace& cs, const CommonWyckoff& cw, int32_t space_group,
                     std::string_view setting, int32_t wyc, const WyckoffMatrix& w,
                     std::span<SpaceOp> site_ops);

// Left coset representatives of the site group given by its nsite operators in the group: the
// group's operators in table order, each taken when no earlier representative's coset holds it
// (cosets are told apart by point operations). Stops the run when a product falls outside the
// group, an operator is reached twice, or the cosets do not fill the group.
void wyc_pg_cosets(const CommonSpace& cs, int32_t space_group, int32_t nsite,
                   std::span<const SpaceOp> site_ops, int32_t& ncosets,
                   std::span<SpaceOp> representatives);

// The orbit of Wyckoff position w (1 .. count) of the group in "pml": position 1 is the table
// matrix with every zero denominator made 1, position m the image of position 1 under coset
// representative m (columns in lowest terms, not reduced modulo 1).
void get_wyckoff_all(const CommonSpace& cs, const CommonWyckoff& cw, int32_t space_group, int32_t w,
                     int32_t& npos, std::span<WyckoffMatrix> orbit);

// The point of a position for parameter values x: column 1 plus x(j) times column j + 1, each
// over its own denominator; a column with denominator 0 adds nothing. Double precision, in that
// order. The point may be the parameter array itself.
void dget_wyc_xyz(const std::array<double, 3>& x, const WyckoffMatrix& w,
                  std::array<double, 3>& point);

// The same routine under its second name.
inline void get_wyc_xyz(const std::array<double, 3>& x, const WyckoffMatrix& w,
                        std::array<double, 3>& point) {
  dget_wyc_xyz(x, w, point);
}

}  // namespace sgl
