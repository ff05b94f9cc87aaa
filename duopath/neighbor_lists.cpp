// The atom listing of a lattice pair and the neighbour lists of the bond cases.
#include "duopath/neighbor_list.hpp"

#include <algorithm>
#include <cstdlib>

#include "duopath/run.hpp"
#include "library/geometry/lattice_metric.hpp"

namespace duopath {

void Run::output_atoms() const {
  report("(a)", {"Positions of atoms"});
  for (int c = 0; c < 2; ++c) {
    report("(a,i1)", {"Crystal ", int32_t{c + 1}});
    for (int32_t i = 1; i <= common.common_atom_count; ++i) {
      const auto& x = common.common_positions[c][static_cast<std::size_t>(i - 1)];
      report("(i5,i4,3f12.8)", {i, common.common_types[c][static_cast<std::size_t>(i - 1)], x[0], x[1], x[2]});
    }
  }
  report("(a)", {"Cells"});
  for (int32_t l = 1; l <= neighbor_cell_count; ++l) {
    const auto& t = neighbor_cells[static_cast<std::size_t>(l - 1)];
    report("(4i3)", {l, t[0], t[1], t[2]});
  }
  sgl::flush(6);
  sgl::flush(kLogUnit);
}

void Run::neighbor_lists() {
  if (settings.output_atoms) output_atoms();
  const int32_t total = settings.bond_neighbor_total;
  const int32_t n = common.common_atom_count;
  neighbors = NeighborList{};
  if (total <= 0) return;
  neighbors.slot_count = total;
  const std::size_t slots = static_cast<std::size_t>(total);
  neighbors.neighbor_atom.assign(static_cast<std::size_t>(n), std::vector<int32_t>(slots, 0));
  neighbors.neighbor_offset.assign(static_cast<std::size_t>(n), std::vector<std::array<int32_t, 3>>(slots, {0, 0, 0}));
  neighbors.neighbor_distance.assign(static_cast<std::size_t>(n), std::vector<double>(slots, 0.0));
  neighbors.slot_max_change.assign(slots, 0.0);

  const auto& pos = common.common_positions[0];
  const auto& types1 = common.common_types[0];
  int32_t first = 0;  // 0-based first slot of the case
  for (int32_t k = 0; k < settings.bond_case_count; ++k) {
    const int32_t size = settings.bond_case_neighbors[static_cast<std::size_t>(k)];
    const int32_t type_from = settings.bond_case_types[static_cast<std::size_t>(k)][0];
    const int32_t type_to = settings.bond_case_types[static_cast<std::size_t>(k)][1];
    for (int32_t s = first; s < first + size; ++s) {
      neighbors.slot_max_change[static_cast<std::size_t>(s)] = settings.bond_case_max_change[static_cast<std::size_t>(k)];
    }
    if (size <= 0) continue;
    for (int32_t i = 0; i < n; ++i) {
      if (type_from != 0 && types1[static_cast<std::size_t>(i)] != type_from) continue;
      auto& atom = neighbors.neighbor_atom[static_cast<std::size_t>(i)];
      auto& offset = neighbors.neighbor_offset[static_cast<std::size_t>(i)];
      auto& distance = neighbors.neighbor_distance[static_cast<std::size_t>(i)];
      int32_t filled = 0;  // slots of the block filled so far
      for (int32_t r = 0; r <= 10; ++r) {
        bool added = false;
        const int32_t reach3 = settings.dim2 ? 0 : r;
        for (int32_t l1 = -r; l1 <= r; ++l1) {
          for (int32_t l2 = -r; l2 <= r; ++l2) {
            for (int32_t l3 = -reach3; l3 <= reach3; ++l3) {
              if (std::max({std::abs(l1), std::abs(l2), std::abs(l3)}) != r) continue;
              for (int32_t j = 0; j < n; ++j) {
                if (r == 0 && j == i) continue;
                if (type_to != 0 && types1[static_cast<std::size_t>(j)] != type_to) continue;
                std::array<double, 3> v{};
                const std::array<int32_t, 3> l{l1, l2, l3};
                for (int q = 0; q < 3; ++q) {
                  v[q] = pos[static_cast<std::size_t>(j)][q] + l[q] - pos[static_cast<std::size_t>(i)][q];
                }
                const double d = sgl::dvlength2(v, pair.metric1);
                int32_t at = first;
                while (at < first + filled && !(distance[static_cast<std::size_t>(at)] > d)) ++at;
                if (at == first + filled && filled == size) continue;  // full and not nearer
                // Move the later slots back one place; the last of a full block falls out.
                const int32_t end = filled < size ? first + filled : first + size - 1;
                for (int32_t s = end; s > at; --s) {
                  atom[static_cast<std::size_t>(s)] = atom[static_cast<std::size_t>(s - 1)];
                  offset[static_cast<std::size_t>(s)] = offset[static_cast<std::size_t>(s - 1)];
                  distance[static_cast<std::size_t>(s)] = distance[static_cast<std::size_t>(s - 1)];
                }
                atom[static_cast<std::size_t>(at)] = j + 1;
                offset[static_cast<std::size_t>(at)] = l;
                distance[static_cast<std::size_t>(at)] = d;
                if (filled < size) ++filled;
                added = true;
              }
            }
          }
        }
        // An empty shell ends the widening, from shell 1 on: shell 0 holds no image of a lone
        // atom of its kind, and its nearest neighbours lie in shell 1.
        if (!added && r >= 1) break;
      }
    }
    first += size;
  }
}

}  // namespace duopath
