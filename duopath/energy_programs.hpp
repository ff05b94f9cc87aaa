// The two external energy programs, kelmo and quanthop: the structure handed over, the input
// files "kelmo.in" and "qhx.in", the shell commands and the energy read back from "energy.out".
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "duopath/atom_types.hpp"
#include "duopath/keyword_settings.hpp"

namespace duopath {

// One site of an energy structure: a Wyckoff position of the structure's space group, the atom
// type (1-based index into the atom type table) and the position's three free parameters (a
// parameter the position lacks has no effect).
struct EnergySite {
  int32_t wyckoff = 0;
  int32_t type = 0;
  std::array<double, 3> params{};
};

// A structure handed to an energy program.
//   space_group      the crystal's own group (a reference run) or the path's common subgroup (a
//                    midpoint run);
//   lattice          a, b, c (angstrom) and alpha, beta, gamma (degrees) of the group's
//                    conventional cell in the setting "cinter";
//   primitive_basis  basis vector k of the group's primitive setting "pml", as coordinates in
//                    "cinter";
//   atom_count       N, the atoms handed over; the orbits of the sites add up to it;
//   sites            the crystal's Wyckoff lines, or the path's subgroup orbits, in order.
struct EnergyStructure {
  int32_t space_group = 0;
  std::array<double, 6> lattice{};
  std::array<std::array<double, 3>, 3> primitive_basis{};
  int32_t atom_count = 0;
  std::vector<EnergySite> sites;
};

// One end of a path in the pressure form of "qhx.in": its lattice parameters in the cell of the
// midpoint structure's group, and per site of the midpoint structure its free parameters.
struct EndStructure {
  std::array<double, 6> lattice{};
  std::vector<std::array<double, 3>> site_params;
};

// What the pressure form of "qhx.in" adds: the pressure (eV per cubic angstrom) and both ends.
struct PressureForm {
  double pressure = 0.0;
  std::array<EndStructure, 2> ends;
};

// The atoms of a structure: per site the number of atoms of its orbit, and per atom its
// conventional ("cinter") coordinates, not reduced into [0, 1). `params` replaces the sites'
// own free parameters when given (one set per site).
struct EnergyAtoms {
  std::vector<int32_t> site_counts;
  std::vector<std::array<double, 3>> coordinates;
};
EnergyAtoms energy_atoms(const EnergyStructure& s,
                         const std::vector<std::array<double, 3>>* params = nullptr);

// The kelmo radius R = 1.2 (0.75 V1 100 / 3.14)^0.33 / 0.529177, V1 the volume per atom of
// crystal 1 in cubic angstrom; 0.75, 3.14 and 0.33 enter as single-precision constants.
double kelmo_radius(double volume_per_atom1);

// The input files, written to an open unit (tests write them to files of their own).
void write_kelmo_input(int unit, const EnergyStructure& s, double radius,
                       const KeywordSettings& settings, const AtomTypes& types);
void write_qhx_input(int unit, const EnergyStructure& s, const KeywordSettings& settings,
                     const AtomTypes& types, const PressureForm* pressure = nullptr);

// Failure texts of the runs.
inline constexpr std::string_view kKelmoFailure = "Error in kelmo";
inline constexpr std::string_view kQuanthopFailure = "Error in quanthop";
inline constexpr std::string_view kQhxFailure = "Error in qhx";

// Runs "echo test >energy.out" (once per run of duopath, before the first kelmo run).
void run_echo_test();

// One run of kelmo on the structure: "rm energy.out", "kelmo.in" written, "kelmo <kelmo.in
// >temp.out", then the first number of "energy.out" (the cell's energy in hartree). A read that
// fails, assigns no value or gives a value that is not finite writes the failure text on
// standard output and stops the run.
double kelmo_run(const EnergyStructure& s, double radius, const KeywordSettings& settings,
                 const AtomTypes& types);

// One run of quanthop ("qhx <qhx.in >temp.out"), in the zero-pressure form, or in the pressure
// form when `pressure` is given; the cell's energy in eV.
double quanthop_run(const EnergyStructure& s, const KeywordSettings& settings,
                    const AtomTypes& types, std::string_view failure_text,
                    const PressureForm* pressure = nullptr);

}  // namespace duopath
