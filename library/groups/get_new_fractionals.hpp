// The coset representatives of a sublattice in the primitive lattice of a space group.
#pragma once

#include <cstdint>
#include <span>

#include "library/types.hpp"

namespace sgl {

// Lists the vectors of the primitive lattice that lie in the cell spanned by a sublattice basis,
// one representative of each coset of the sublattice, the zero vector first.
//   cell        in:  columns = a basis of the sublattice in primitive coordinates (det not 0;
//                    a singular cell stops the run in matinv).
//   count       out: the number of vectors, always |det cell|.
//   fractionals out: entries 0 .. count-1, each three integer components and 1. The caller
//                    reserves |det cell| entries; a shorter list stops the run.
// The vectors come in the order of their sublattice coordinates (i, j, k) / d, i slowest, where
// d is the denominator of cell^-1. A count other than |det cell| stops the run (consistency).
void get_new_fractionals(const Mat3i& cell, int32_t& count, std::span<RationalVector> fractionals);

}  // namespace sgl
