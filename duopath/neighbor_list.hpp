// The neighbour lists of the bond cases: for every crystal-1 atom of the common cell, per bond
// case, its nearest qualifying neighbour images, nearest first.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace duopath {

struct NeighborList {
  int32_t slot_count = 0;  // bond_neighbor_total
  // Indexed [atom - 1][slot - 1].
  std::vector<std::vector<int32_t>> neighbor_atom;  // 0: empty slot
  std::vector<std::vector<std::array<int32_t, 3>>> neighbor_offset;
  std::vector<std::vector<double>> neighbor_distance;
  std::vector<double> slot_max_change;
};

}  // namespace duopath
