// The reference energies of a run and the last steps of a lattice pair: the atom-mapping search
// on the pair's common cell and, for every accepted mapping, its subgroup, report, midpoint
// energies and mapping block.
#include <cstddef>

#include "duopath/energy_estimates.hpp"
#include "duopath/mapping_search.hpp"
#include "duopath/path_acceptance.hpp"
#include "duopath/path_report.hpp"
#include "duopath/path_subgroup.hpp"
#include "duopath/run.hpp"

namespace duopath {

namespace {

EnergyCrystal energy_crystal(const CrystalInput& input, const PreparedCrystal& p) {
  EnergyCrystal c;
  c.space_group = input.space_group;
  c.lattice = input.lattice;
  c.primitive_basis = p.primitive_basis;
  c.primitive_basis_den = p.primitive_basis_den;
  c.lines = input.lines;
  c.multiplicity = p.multiplicity;
  c.atom_count = p.atom_count;
  c.volume_per_atom = p.volume_per_atom;
  c.primitive_cartesian = p.primitive_cartesian;
  return c;
}

}  // namespace

void Run::reference_energies() {
  const std::array<EnergyCrystal, 2> ends{energy_crystal(crystals[0], prepared[0]),
                                          energy_crystal(crystals[1], prepared[1])};
  reference = duopath::reference_energies(ends, settings, types, kLogUnit);
}

void Run::mapping_paths() {
  const int32_t n = common.common_atom_count;
  const std::size_t atoms = static_cast<std::size_t>(n);

  MappingInput in;
  in.atom_count = n;
  in.types1 = common.common_types[0];
  in.types2 = common.common_types[1];
  in.positions1 = common.common_positions[0];
  in.positions2 = common.common_positions[1];
  in.cell2_size = pair.cell2_size;
  in.cartesian_cell1 = pair.cartesian_cell1;
  in.cartesian_cell2 = pair.cartesian_cell2;
  in.metric2 = pair.metric2;
  in.dim2 = settings.dim2;
  in.type_count = types.count();
  in.bonds_given = settings.bonds_given;
  in.bond_length = settings.bond_length;
  in.min_distance = settings.min_distance;
  in.type_min_distance = settings.type_min_distance;
  in.shuffle_given = settings.shuffle_given;
  in.max_shuffle = settings.max_shuffle;
  in.type_max_shuffle = settings.type_max_shuffle;
  in.map_given = settings.map_given;
  if (settings.map_given) {
    in.atom_map.resize(atoms);
    for (int32_t i = 1; i <= n; ++i) {
      in.atom_map[static_cast<std::size_t>(i - 1)] = {settings.atom_map.partner(i), settings.atom_map.cell(i)};
    }
  }
  in.bond_neighbor_total = neighbors.slot_count;
  if (neighbors.slot_count > 0) {
    const std::size_t slots = static_cast<std::size_t>(neighbors.slot_count);
    in.neighbor_atom.reserve(atoms * slots);
    in.neighbor_offset.reserve(atoms * slots);
    in.neighbor_distance.reserve(atoms * slots);
    for (std::size_t i = 0; i < atoms; ++i) {
      for (std::size_t s = 0; s < slots; ++s) {
        in.neighbor_atom.push_back(neighbors.neighbor_atom[i][s]);
        in.neighbor_offset.push_back(neighbors.neighbor_offset[i][s]);
        in.neighbor_distance.push_back(neighbors.neighbor_distance[i][s]);
      }
    }
    in.slot_max_change = neighbors.slot_max_change;
  }

  PathInput path_in;
  path_in.cell_size = pair.cell_size;
  path_in.cell1 = pair.cell1;
  path_in.cell2 = pair.cell2;
  for (int32_t k = 0; k < common.common_op_count; ++k) {
    const auto& op = common.common_ops[static_cast<std::size_t>(k)];
    path_in.common_ops1.push_back(op[0]);
    path_in.common_ops2.push_back(op[1]);
    path_in.common_rotations.push_back(pair.lattice_ops1[static_cast<std::size_t>(op[0][4])]);
  }
  path_in.internal_translations = common.internal_translations;
  path_in.operators2 = prepared[1].operators;
  path_in.nearest_distance1 = prepared[0].nearest_distance;
  path_in.nearest_distance2 = prepared[1].nearest_distance;

  // What every path of the pair shares.
  AcceptedPath path;
  path.space_group = {crystals[0].space_group, crystals[1].space_group};
  path.lines1 = crystals[0].lines;
  path.max_type_name_length = max_type_name_length;
  path.conventional_cartesian = {prepared[0].conventional_cartesian, prepared[1].conventional_cartesian};
  path.neighbor_cells = neighbor_cells;
  path.cell1 = pair.cell1;
  path.cell2 = pair.cell2;
  path.cell_size = pair.cell_size;
  path.cell2_size = pair.cell2_size;
  path.principal_stretches = pair.principal_stretches;
  path.common_atom_count = n;
  path.common_types1 = common.common_types[0];
  path.stage1 = common.common_positions;

  const int32_t orbit_capacity = prepared[0].atom_count * settings.max_size;
  const PathOutput out{settings, types, counters.separator_due, kLogUnit};

  PathAcceptance acceptance(in, path_in);
  acceptance.start_pair();
  MappingSearch mapping_search(in);
  mapping_search.run([&](const AtomMapping& m) {
    ++complete_mappings;
    if (!acceptance.accept(m, mapping_number)) return;
    const PathValues& v = acceptance.values;
    if (on_accepted_path) on_accepted_path(*this, v);
    path.partner = m.partner;
    path.partner_cell = m.partner_cell;
    path.stage2 = {v.start, v.end};
    path.mean_displacement = v.mean_displacement;
    path.mapping_number = mapping_number;
    path.nearest_approach = v.nearest_approach;
    path.max_bond_change = v.max_bond_change;
    path.max_atomic_shuffle = v.max_atomic_shuffle;
    path.bond_count = v.bond_count;
    path.broken_bond_count = v.broken_bond_count;
    path.path_symmetry_ops1 = v.path_symmetry_ops1;

    PathSubgroup subgroup;
    if (!path_subgroup(path, orbit_capacity, out, subgroup)) {
      if (!settings.trace_map) progress.outside_subgroup(subgroup.common_subgroup);
      return;
    }
    PathReport report;
    path_report(path, subgroup, out, path_count, report);
    const MidpointPath midpoint{subgroup, report.cell_parameters, pair.cell_size, n, prepared[0].atom_count};
    midpoint_energies(midpoint, reference, settings, types, kLogUnit);
    mapping_block(path.partner, path.partner_cell, settings.output_map, kLogUnit);
  });
  mapping_placements += mapping_search.placement_count;
  progress.mapping_refusals += mapping_search.refusals;
  progress.refused_shuffle += acceptance.refused_shuffle;
  progress.refused_smaller_cell += acceptance.refused_smaller_cell;
}

}  // namespace duopath
