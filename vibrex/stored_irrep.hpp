// Stored irreps: the real matrices that the tables hold for the lattice translations and the
// listed operators of a space group, extended to every operator of the group.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "library/types.hpp"
#include "vibrex/mode_tables.hpp"

namespace vibrex {

// A real matrix of the stored irreps, by columns with leading dimension 24.
inline constexpr int kStoredLead = 24;
using StoredMatrix = std::array<float, kStoredLead * kStoredLead>;

// The character (mode 1) or the matrix (mode 2, top-left n x n written, every element replaced
// by its table constant) of stored irrep `irrep` for op, an operator of the irrep's group in
// "pml" whose translation may differ from the listed one by a lattice vector: D(op) =
// T3^d3 T2^d2 T1^d1 D0, d the lattice vector and D0 the listed operator's matrix, a negative
// power using the transpose; powers up to 64 are taken one product at a time, larger ones by
// repeated squaring. Mode 0 does nothing. error = 1 (nothing written) when op's point
// operation is not in the group or d is not a lattice vector. A stored dimension of 0 or above 24
// and another mode stop through bomb().
void get_irrep(const Tables& t, int32_t mode, int32_t irrep, const sgl::SpaceOp& op, float& character,
               StoredMatrix& matrix, int32_t& error);

}  // namespace vibrex
