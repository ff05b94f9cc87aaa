// What the columns of an irrep's block can show. The superlattice vectors and the atom positions
// are written as f10.5, which holds -999.99999 to 9999.99999: a supercell that reaches beyond is
// refused rather than printed as asterisks. Atom numbers (i3) and the total of modes (i3) are
// counts with no such bound: a count beyond 999 is written with all its digits.
#pragma once

#include <cstdint>
#include <string>
#include <span>
#include <string_view>

#include "vibrex/numeric_kernel.hpp"
#include "vibrex/supercell_modes.hpp"

namespace vibrex {

// Stops the run when a Cartesian component of the superlattice vectors (columns of `vectors`) or
// of an atom position is one that f10.5 cannot show, naming it; the message ends with `where`.
void refuse_unprintable_coordinates(const Mat3f& vectors, std::span<const SupercellAtom> atoms, std::string_view where);

// The format of an atom line of the block, "(i3,3x,a4,3f10.5)": an atom number beyond 999 takes
// its extra digits from the blanks after it, so that the name and the columns stay in place.
std::string atom_line_format(int32_t number);

// The format of the line "Total number of modes: ", "(a23,i3)", widened for a total beyond 999.
std::string total_line_format(int32_t total);

}  // namespace vibrex
