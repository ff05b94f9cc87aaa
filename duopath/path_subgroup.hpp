// The common subgroup of an accepted path and the subgroup orbits of its atoms, with their free
// parameters in both crystals.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "duopath/crystal_input.hpp"
#include "duopath/keyword_settings.hpp"
#include "library/groups/get_new_wyckoff.hpp"
#include "library/types.hpp"

namespace duopath {

// What the earlier phases hand over for one accepted mapping. Per-atom vectors have
// common_atom_count entries, atoms numbered as in the common cell (entry 0 is atom 1).
struct AcceptedPath {
  // Crystal input: both crystals' space groups and crystal 1's Wyckoff lines (type, Wyckoff
  // index, free parameters), in input order.
  std::array<int32_t, 2> space_group{};
  std::vector<WyckoffLine> lines1;
  // Preparation: the longest type name of the atom type table, and per crystal its conventional
  // Cartesian basis (columns a, b, c in angstrom, column-major).
  int32_t max_type_name_length = 1;
  std::array<std::array<double, 9>, 2> conventional_cartesian{};
  // Neighbour cells: the translations of the cells numbered 1 .. 27 (9 in two-dimensional mode).
  std::vector<std::array<int32_t, 3>> neighbor_cells;
  // Lattice pair: the common cell's vectors in each crystal's primitive coordinates (columns),
  // the cell sizes and the principal stretches.
  sgl::Mat3i cell1{}, cell2{};
  int32_t cell_size = 1;
  int32_t cell2_size = 1;
  std::array<double, 3> principal_stretches{};
  // Common cell: the atoms' crystal-1 types and their placed positions (stage 1) per crystal,
  // in common-cell coordinates.
  int32_t common_atom_count = 0;
  std::vector<int32_t> common_types1;
  std::array<std::vector<std::array<double, 3>>, 2> stage1;
  // Atom mapping: per crystal-1 atom its crystal-2 partner and the partner's neighbour cell.
  std::vector<int32_t> partner, partner_cell;
  // Path acceptance: the path (stage 2: crystal 1 the starts, crystal 2 per crystal-1 atom its
  // end less the mean displacement), the figures of the path and its symmetry operators in
  // crystal 1's primitive basis (operator 1 the identity).
  std::array<std::vector<std::array<double, 3>>, 2> stage2;
  std::array<double, 3> mean_displacement{};
  int32_t mapping_number = 0;
  double nearest_approach = 0.0;
  double max_bond_change = 0.0;
  double max_atomic_shuffle = 0.0;
  int32_t bond_count = 0;
  int32_t broken_bond_count = 0;
  std::vector<sgl::SpaceOp> path_symmetry_ops1;
};

// One orbit of the common subgroup: the crystal-1 Wyckoff line (1-based) whose atoms it holds,
// their type, its Wyckoff index in the subgroup, how its parameters follow from the line's
// (column q: parameter q = (c0 + cx x + cy y + cz z) / den, den 0 when absent), and its
// parameters x, y, z: params[0] crystal 1, params[1] crystal 2, params[2] the midpoint.
struct SubgroupOrbit {
  int32_t line = 0;
  int32_t type = 0;
  int32_t wyckoff = 0;
  sgl::WyckoffRelation relation{};
  std::array<std::array<double, 3>, 3> params{};

  bool has_parameter(int q) const { return sgl::rel(relation, 5, q) != 0; }
};

// The common subgroup of a path: its number, per crystal the basis of its setting "pml" (columns)
// and its origin in that crystal's primitive coordinates, its orbits, and the atoms in the
// subgroup's coordinates (stage 3: [0] the starts, [1] the ends less the mean displacement).
struct PathSubgroup {
  int32_t common_subgroup = 0;
  std::array<sgl::Mat3i, 2> basis{};
  std::array<sgl::RationalVector, 2> origin{};
  std::vector<SubgroupOrbit> orbits;
  std::array<std::vector<std::array<double, 3>>, 2> stage3;
};

// The part of the run that this phase reads and writes besides the path: the options, the
// separator flag and the unit of the log.
struct PathOutput {
  const KeywordSettings& settings;
  const AtomTypes& types;
  bool& separator_due;
  int log_unit;
};

// Identifies the common subgroup, splits crystal 1's Wyckoff lines into its orbits and finds
// their parameters in both crystals. Returns false when the mapping is dropped (a "trace map"
// run, or a subgroup outside the "subgroup" range); the trace block is written first with
// "trace". orbit_capacity is crystal 1's primitive atom count times the largest cell size.
bool path_subgroup(const AcceptedPath& path, int32_t orbit_capacity, const PathOutput& out,
                   PathSubgroup& result);

// A real number as a fraction num/den: the smallest den from 1 to 100 that makes den x an
// integer within 1e-6, else den 100 with x rounded (halves away from zero).
sgl::RationalVector rational_origin(const std::array<double, 3>& v);

}  // namespace duopath
