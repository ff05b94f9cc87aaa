// The splitting of a Wyckoff orbit of a space group G into the orbits of a subgroup H.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "library/types.hpp"

namespace sgl {

struct CommonSpace;
struct CommonWyckoff;

// How the free parameters of a new (subgroup) position depend on those of the old position:
// a 5 x 3 integer array stored by columns. Column q (q = 1, 2, 3 for x', y', z') holds
// (c0, cx, cy, cz, den) and means q' = (c0 + cx x + cy y + cz z) / den, x, y, z being the free
// parameters of the old position's table matrix. den > 0 when the new position has parameter
// q', 0 when it has not (the other entries of the column are then 0). The column is not brought
// to lowest terms. 64-bit entries: the coefficients are scaled by a product of denominators.
using WyckoffRelation = std::array<int64_t, 15>;

// 1-based access to entry (i, q) of a relation.
constexpr int64_t& rel(WyckoffRelation& r, int i, int q) { return r[(q - 1) * 5 + (i - 1)]; }
constexpr int64_t rel(const WyckoffRelation& r, int i, int q) { return r[(q - 1) * 5 + (i - 1)]; }

// The message line written before the stop when the caller's room for orbits runs out.
inline constexpr std::string_view kMaxNewCountTooSmall =
    "Error in get_new_wyckoff:  maxnewcount too small";

// Sizes met in one call (for statistics; callers may ignore them).
struct GetNewWyckoffTrace {
  int64_t largest_scale = 0;     // the largest product D of denominators that scaled an equation
  int64_t largest_equation = 0;  // the largest magnitude of an equation entry, before or after
                                 // the reduction
  int64_t largest_relation = 0;  // the largest magnitude of a relation entry written
  int32_t wide_shifts = 0;       // orbits that needed a shift beyond 1 in magnitude
};

// Splits Wyckoff position `wyckoff` of G into the orbits of H.
//   group, subgroup in:  the space-group numbers of G and H (1 .. 230).
//   basis           in:  columns = H's basis vectors (of its setting "pml") in G's primitive
//                        coordinates; a point x of G has the H coordinates basis^-1 (x - origin).
//   origin          in:  H's origin in G's primitive coordinates (numerators, denominator).
//   wyckoff         in:  the index of the old position within G (1 .. its Wyckoff count).
//   new_count       out: the number of H orbits found.
//   new_wyckoff     out: entries 0 .. new_count-1: the Wyckoff index within H of each orbit.
//   relation        out: entries 0 .. new_count-1: its parameters in terms of the old ones.
//   maxnewcount     in:  the room the caller has; both lists must hold that many entries.
// The atoms of the old orbit in one cell of H fall into classes under H's operators, in the order
// of the cell's coset translations (outer) and the orbit's positions (inner); each class is named
// by the first position of H in table order with the same site point group whose point, moved by
// a lattice vector with components from 0, 1, -1 (then, only if none fits, up to 3 in magnitude),
// holds one of its atoms for every value of the old parameters.
// More orbits than maxnewcount: the line kMaxNewCountTooSmall and one with the value on standard
// output, then the fatal stop. Inconsistent input (an image that is no atom of the orbit, an atom
// claimed by two orbits, a site that is no point group, an orbit no position fits): fatal stop.
void get_new_wyckoff(const CommonSpace& cs, const CommonWyckoff& cw, int32_t group,
                     int32_t subgroup, const Mat3i& basis, const RationalVector& origin,
                     int32_t wyckoff, int32_t& new_count, std::span<int32_t> new_wyckoff,
                     std::span<WyckoffRelation> relation, int32_t maxnewcount,
                     GetNewWyckoffTrace* trace = nullptr);

}  // namespace sgl
