// Energy-barrier estimates: the energies of both end crystals once per run, and for each
// reported path the energy of its midpoint measured against them, by kelmo, quanthop and the
// Madelung sum, in that order.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "duopath/atom_types.hpp"
#include "duopath/crystal_input.hpp"
#include "duopath/energy_programs.hpp"
#include "duopath/keyword_settings.hpp"
#include "duopath/path_subgroup.hpp"

namespace duopath {

// Energies in eV are converted from hartree and bohr by single-precision constants widened to
// double.
inline constexpr double kHartreeEv = static_cast<double>(27.196f);
inline constexpr double kBohrAngstrom = static_cast<double>(0.529177f);

// One prepared end crystal, as the preparation of the crystals leaves it.
//   space_group, lattice   the crystal's group and lattice parameters ("cinter"); crystal 2's
//                          lengths as scaled by "samevolume";
//   primitive_basis / primitive_basis_den   columns: the primitive ("pml") basis vectors in
//                          conventional coordinates;
//   lines, multiplicity    the crystal's Wyckoff lines in input order and the atoms of each in
//                          the primitive cell;
//   atom_count             atoms of the primitive cell (the sum of the multiplicities);
//   volume_per_atom        in cubic angstrom, from before any "samevolume" scaling;
//   primitive_cartesian    the Cartesian primitive basis (columns, angstrom).
struct EnergyCrystal {
  int32_t space_group = 0;
  std::array<double, 6> lattice{};
  sgl::Mat3i primitive_basis{};
  int32_t primitive_basis_den = 1;
  std::vector<WyckoffLine> lines;
  std::vector<int32_t> multiplicity;
  int32_t atom_count = 0;
  double volume_per_atom = 0.0;
  std::array<double, 9> primitive_cartesian{};
};

// The reference values (eV per atom, pressure in eV per cubic angstrom, 0 when not derived);
// a value is set only when its method is asked for.
struct ReferenceEnergies {
  std::array<double, 2> kelmo{}, quanthop{}, madelung{};
  double kelmo_mean = 0.0, quanthop_mean = 0.0, madelung_mean = 0.0;
  double pressure = 0.0;
  double kelmo_radius = 0.0;
  std::array<double, 2> volume_per_atom{};
};

// The energy structure of an end crystal.
EnergyStructure crystal_energy_structure(const EnergyCrystal& c);

// The reference phase: flushes the log, then each method asked for on crystal 1 and crystal 2;
// quanthop writes the "Pressure: " line when the volumes per atom differ.
ReferenceEnergies reference_energies(const std::array<EnergyCrystal, 2>& crystals,
                                     const KeywordSettings& settings, const AtomTypes& types,
                                     int log_unit);

// What the midpoint phase reads of a reported path: its subgroup and orbits (with the midpoint
// parameters), the midpoint's lattice parameters (the third column of the report's subgroup cell
// parameters), both ends' subgroup cell parameters, the cell size, the common cell's atom count
// and crystal 1's primitive atom count.
struct MidpointPath {
  const PathSubgroup& subgroup;
  std::array<std::array<double, 6>, 3> cell_parameters{};
  int32_t cell_size = 1;
  int32_t common_atom_count = 0;
  int32_t atom_count1 = 0;
};

// The energy structure of the midpoint, and for the pressure form its two ends.
EnergyStructure midpoint_energy_structure(const MidpointPath& path);
PressureForm midpoint_pressure_form(const MidpointPath& path, double pressure);

// The Madelung energy of one structure in eV per atom: the Ewald sum of the charges of the
// types, raw / divisor, times 27.196 and 0.529177.
double madelung_reference(const EnergyCrystal& c, const std::vector<double>& charges);
double madelung_midpoint(const MidpointPath& path, const std::vector<double>& charges);

// The midpoint phase: one barrier line per method asked for, to standard output and the log.
void midpoint_energies(const MidpointPath& path, const ReferenceEnergies& reference,
                       const KeywordSettings& settings, const AtomTypes& types, int log_unit);

}  // namespace duopath
