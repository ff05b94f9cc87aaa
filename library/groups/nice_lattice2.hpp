// Greedy shortening of a lattice basis, the starting basis of the subgroup identification.
#pragma once

#include <cstdint>

#include "library/types.hpp"

namespace sgl {

struct CommonSpace;

// Shortens a basis greedily.
//   bravais in:  the Bravais type L (1 .. 14) of the primitive coordinates the basis is given in.
//   lattice in:  columns = the basis in the primitive coordinates of L.
//   reduced out: the shortened basis in the same coordinates; may be the same object as lattice.
// Lengths are measured as the sum of squares of the integer coordinates along L's conventional
// axes (lattice transform matrix 2 times a column), not with a metric. A sweep replaces column i
// (i = 1, 2, 3) by the first of column i - column j, column i + column j (j = 1, 2, 3, j != i)
// that is strictly shorter, at most once per column and sweep; sweeps repeat until one changes
// nothing. Every step adds a multiple of another column, so the determinant is kept. A result
// that is not an integer matrix in primitive coordinates stops the run.
void nice_lattice2(const CommonSpace& cs, int32_t bravais, const Mat3i& lattice, Mat3i& reduced);

}  // namespace sgl
