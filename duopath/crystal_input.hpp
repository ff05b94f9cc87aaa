// What the crystal blocks of the input give: per crystal its space group, lattice parameters and
// atom lines (as Wyckoff lines); the atom type table is in atom_types.hpp.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "duopath/atom_types.hpp"

namespace duopath {

// The bound of a cell edge: a length of 10000 or more is no crystal's cell edge in any unit the
// program is used with (its nearest distances must be 0.1 or more in the same unit), and the
// report could not show it (f9.4).
inline constexpr double kMaxCellLength = 10000.0;

// One atom line: the type (1-based index into the atom type table), the Wyckoff position
// (1-based index within the space group) and the values of its free parameters x, y, z in the
// setting "cinter" (a parameter the position lacks is kept but has no effect).
struct WyckoffLine {
  int32_t type = 0;
  int32_t wyckoff = 0;
  std::array<double, 3> params{};
};

struct CrystalInput {
  int32_t space_group = 0;
  std::array<double, 6> lattice{};  // a, b, c, alpha, beta, gamma (degrees)
  int32_t line_count = 0;            // the count as read (may be 0 or less)
  std::vector<WyckoffLine> lines;
};

}  // namespace duopath
