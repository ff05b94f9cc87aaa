// The atom-mapping search of one lattice pair: a depth-first enumeration of every assignment of
// a crystal-2 atom (its partner) and a neighbour cell (its partner cell) to each crystal-1 atom of
// the common cell such that the straight-line paths of the atoms meet the limits of the run.
//
// The search works on plain data (MappingInput) so that it runs without tables: the run object
// fills the input from the common cell, the neighbour lists and the keyword settings of the pair,
// and receives every complete mapping through a callback. Per lattice pair:
//
//   MappingInput in = ...;               // fields below
//   PathInput path = ...;                // path_acceptance.hpp
//   PathAcceptance acceptance(in, path);
//   acceptance.start_pair();             // saved_count = 0
//   MappingSearch(in).run([&](const AtomMapping& m) {
//     if (!acceptance.accept(m, mapping_number)) return;
//     ...                                // subgroup, report, energies, mapping block
//   });
//
// The input is read, never copied: it must outlive the search and the acceptance.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace duopath {

using Vec3 = std::array<double, 3>;
using Mat3d = std::array<double, 9>;  // column-major, entry (i, j) at (j - 1) * 3 + i - 1
using CellShift = std::array<int32_t, 3>;

// The neighbour cells: the translations with components -1, 0 and 1, first component slowest
// (27 cells, the home cell (0,0,0) being number 14); in two-dimensional mode the 9 with third
// component 0 (home cell number 5). Cells are numbered from 1; entry 0 of the vector is cell 1.
std::vector<CellShift> neighbor_cells(bool dim2);
int32_t home_cell(bool dim2);

// Everything the search reads for one lattice pair. Atom numbers and cell numbers are 1-based
// wherever they are stored as values; vectors are indexed from 0 (atom i at [i - 1]). Sources:
// the common cell of the pair (common_atom_count, common_types, stage 1 of common_positions, in
// its numbering: the copies of one primitive atom consecutive, the unshifted one first), the
// lattice pair (cell2_size, cartesian_cell1, cartesian_cell2, metric2), the keyword settings
// after the preparation has turned the "neighbor" percentages into lengths (bonds_given,
// bond_length, min_distance, type_min_distance, shuffle_given, max_shuffle, type_max_shuffle,
// dim2, map_given and atom_map: entry i = {atom_map.partner(i), atom_map.cell(i)}), and the
// neighbour lists of the bond cases (neighbor_atom, neighbor_offset, neighbor_distance,
// slot_max_change, laid out as below).
struct MappingInput {
  // Common cell, rebuilt per lattice pair.
  int32_t atom_count = 0;            // N, common_atom_count
  std::vector<int32_t> types1;       // common_types(i, 1): type index (1-based) of crystal-1 atom i
  std::vector<int32_t> types2;       // common_types(j, 2): same for crystal-2 atom j
  std::vector<Vec3> positions1;      // stage-1 common_positions of crystal 1 (placed, wrapped)
  std::vector<Vec3> positions2;      // stage-1 common_positions of crystal 2
  int32_t cell2_size = 1;            // lattice pair: primitive cells of crystal 2 in the common cell
  Mat3d cartesian_cell1{};           // lattice pair: Cartesian cell of crystal 1 (columns)
  Mat3d cartesian_cell2{};           // lattice pair: crystal 2's cell with its rotation removed
  Mat3d metric2{};                   // lattice pair: metric tensor of cartesian_cell2
  bool dim2 = false;                 // keyword "dim2": 9 neighbour cells instead of 27

  // Keyword settings (distances already turned into lengths by the preparation).
  int32_t type_count = 0;            // entries of the atom type table
  bool bonds_given = false;          // "bonds"
  double bond_length = 0.0;
  double min_distance = 0.0;         // "neighbor": global limit
  std::vector<double> type_min_distance;  // per type (index type - 1); empty means all 0
  bool shuffle_given = false;        // "shuffle"
  double max_shuffle = 1e9;
  std::vector<double> type_max_shuffle;   // per type (index type - 1); empty means all 1e9
  bool map_given = false;            // "map"
  std::vector<std::array<int32_t, 2>> atom_map;  // per atom: (partner, cell), 0 = any

  // Neighbour lists of the bond cases ("bonds2"); empty when bond_neighbor_total is 0.
  // Slot s (1-based) of atom i is at index (i - 1) * bond_neighbor_total + s - 1.
  int32_t bond_neighbor_total = 0;
  std::vector<int32_t> neighbor_atom;         // crystal-1 atom of the neighbour, 0 = empty slot
  std::vector<CellShift> neighbor_offset;     // lattice translation of the neighbour's image
  std::vector<double> neighbor_distance;      // its distance in crystal 1
  std::vector<double> slot_max_change;        // per slot (bond_neighbor_total entries)
};

// Placements refused by each limit of the atom-mapping search.
struct MappingRefusals {
  int64_t map = 0;          // "map": not the prescribed partner or cell
  int64_t shuffle = 0;      // "shuffle"
  int64_t bond_change = 0;  // "bonds2"
  int64_t bonds = 0;        // "bonds"
  int64_t distance = 0;     // "neighbor": the closest approach

  MappingRefusals& operator+=(const MappingRefusals& o) {
    map += o.map;
    shuffle += o.shuffle;
    bond_change += o.bond_change;
    bonds += o.bonds;
    distance += o.distance;
    return *this;
  }
};

// The state of the search that a complete mapping shows.
struct AtomMapping {
  std::vector<int32_t> partner;        // crystal-2 atom of each crystal-1 atom (1-based)
  std::vector<int32_t> partner_cell;   // neighbour cell of the partner (1-based)
  std::vector<double> closest_approach;  // per atom: nearest distance to earlier atoms and images
  std::vector<double> atom_bond_change;  // per atom: largest change over the bonds tested at it
};

class MappingSearch {
 public:
  using Callback = std::function<void(const AtomMapping&)>;

  // Stops the run (bomb) when the arrays do not match atom_count or an index is out of range.
  explicit MappingSearch(const MappingInput& input);

  // Enumerates every mapping in lexicographic order of (partner(1), partner_cell(1), ...,
  // partner(N), partner_cell(N)) and calls on_complete for each complete one; the search then
  // goes on with the next cell of atom N.
  void run(const Callback& on_complete);

  // Counters of the last run: (partner, cell) pairs that reached the tests, pairs that passed
  // them, and complete mappings.
  int64_t trial_count = 0;
  int64_t placement_count = 0;
  int64_t complete_count = 0;
  // The (partner, cell) pairs of the last run that each limit refused: the map (a partner or
  // cell other than the one prescribed, among partners of the right type still free), and each
  // test, counted under the first that failed.
  MappingRefusals refusals;

 private:
  void check_input() const;
  bool place(int32_t c, int32_t j, int32_t l);
  bool test_bonds(int32_t c, int32_t j, int32_t l) const;
  bool test_closest_approach(int32_t c, int32_t j, int32_t l);
  bool test_shuffle(int32_t c, int32_t j, int32_t l);
  bool test_bond_change(int32_t c, int32_t j, int32_t l);
  double slot_change(int32_t a, int32_t s) const;
  Vec3 end_fraction(int32_t j, int32_t l) const;  // x2_j + L(l)

  const MappingInput& in_;
  std::vector<CellShift> cells_;
  int32_t cell_count_;
  int32_t home_;
  std::vector<std::vector<std::array<int32_t, 2>>> reverse_slots_;  // per atom c: (a, s), a < c
  AtomMapping mapping_;
  std::vector<bool> partner_taken_;
  std::vector<std::array<Vec3, 2>> displacement_;  // Cartesian displacement in both metrics
  std::vector<double> type_high_, type_low_;
  std::vector<bool> type_seen_;
  std::vector<Vec3> start_cart_;  // per atom and cell: cartesian_cell1 times (x1 + L(m))
  std::vector<Vec3> end_cart_;    // per placed atom and cell: cartesian_cell2 times (end + L(m))
  std::vector<bool> bond1_;       // per (c, a <= c, m): a bond of crystal 1 ("bonds")
};

}  // namespace duopath
