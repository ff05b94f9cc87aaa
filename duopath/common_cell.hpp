// The common cell of a lattice pair: the translations of each crystal's primitive lattice that
// lie in it, the operations the two crystals share on it, and every atom of both crystals placed
// in its fractional coordinates.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "library/types.hpp"

namespace duopath {

inline constexpr int32_t kMaxCommonOps = 48;

struct CommonCell {
  int32_t common_atom_count = 0;
  // Per crystal: its lattice vectors in the common cell, primitive coordinates, zero first.
  std::array<std::vector<sgl::RationalVector>, 2> cell_translations;
  // Crystal 1's translations in common-cell coordinates, translation normal form.
  std::vector<sgl::RationalVector> internal_translations;
  // Per common operation: the crystal-1 and the crystal-2 operation, translations in common-cell
  // coordinates (translation normal form) and the point-operation number.
  int32_t common_op_count = 0;
  std::array<std::array<sgl::SpaceOp, 2>, kMaxCommonOps> common_ops{};
  // Per crystal, per common-cell atom: its type and its stage-1 position.
  std::array<std::vector<int32_t>, 2> common_types;
  std::array<std::vector<std::array<double, 3>>, 2> common_positions;
};

}  // namespace duopath
