// The report of one path: its figures, the common subgroup's conventional cell and orbits as
// seen from both crystals, and the midpoint structure.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "duopath/atom_types.hpp"
#include "duopath/path_subgroup.hpp"
#include "library/types.hpp"

namespace duopath {

// What the report leaves for the energy estimates: the lattice parameters of the subgroup's
// conventional cell (a, b, c, alpha, beta, gamma; [0] crystal 1, [1] crystal 2, [2] the midpoint)
// and the cell's volume in both crystals.
struct PathReport {
  std::array<std::array<double, 6>, 3> cell_parameters{};
  std::array<double, 2> cell_volume{};
};

// The midpoint cell: the means of both crystals' parameters, the lengths then scaled by a common
// factor so that the cell has the mean of the two volumes.
void midpoint_cell(PathReport& report);

// "Lattice: (..),(..),(..)": the columns of p over n as lowest-terms fractions.
std::string lattice_text(const sgl::Mat3i& p, int32_t n);
// "Origin: (..)": the origin's components over its denominator.
std::string origin_text(const sgl::RationalVector& origin);
// The line of orbit o from its parameters of the given column (0 crystal 1, 1 crystal 2, 2 the
// midpoint): the type name padded or cut to name_length, a blank, the Wyckoff letter, then
// "x'=", "y'=", "z'=" with the parameters (F8.5) that the position has, separated by ", ".
std::string orbit_text(const SubgroupOrbit& o, int column, const AtomTypes& types,
                       int32_t name_length);

// Writes the report of the path and fills its values; sets the separator flag and advances the
// path count. The midpoint parameters of each orbit (params[2]) are set here.
void path_report(const AcceptedPath& path, PathSubgroup& subgroup, const PathOutput& out,
                 int32_t& path_count, PathReport& report);

// After a path's energies: with "output map" the block "Mapping of atoms" (per common-cell atom
// its number, its partner in crystal 2 and the partner's neighbour cell, 3I4); then, written or
// not, the log is flushed.
void mapping_block(const std::vector<int32_t>& partner, const std::vector<int32_t>& partner_cell,
                   bool output_map, int log_unit);

}  // namespace duopath
