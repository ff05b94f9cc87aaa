// Runs duopath's energy phases on a fixed pair of end crystals and one path between them, for the
// tests with stand-in energy programs: NaCl (225, Na on a, Cl on b) and CsCl (221, Na on a, Cl
// on b), joined through R-3m (166, rhombohedral axes) with a cell of one primitive cell each,
// Na on 1a and Cl on 1b; the midpoint is the rhombohedral cell of the mean angle and volume.
//
// duopath_energy_driver METHODS   runs the reference phase and the midpoint phase for the
//                                 methods named by the letters k (kelmo), q (quanthop) and m
//                                 (Madelung), reporting to standard output and "duopath.log".
// duopath_energy_driver write     writes the input files of the reference runs of both
//                                 crystals and of the midpoint (both forms of "qhx.in", the
//                                 pressure form with p = 0.01) without running anything.
// Lines on standard input are the extra lines of quanthop. The lattice constants are 5.64 and
// 4.12, or the two numbers of DRIVER_A; the charges +1 and -1, or the two of DRIVER_CHARGES.
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "duopath/energy_estimates.hpp"
#include "duopath/path_report.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/tables/data_directory.hpp"
#include "library/text/text_io.hpp"

namespace {

constexpr int kLogUnit = 30;

std::array<double, 2> pair_from(const char* name, std::array<double, 2> fallback) {
  if (const char* text = std::getenv(name)) {
    std::istringstream in(text);
    in >> fallback[0] >> fallback[1];
  }
  return fallback;
}

duopath::EnergyCrystal crystal(int32_t group, double a, bool face_centred) {
  duopath::EnergyCrystal c;
  c.space_group = group;
  c.lattice = {a, a, a, 90.0, 90.0, 90.0};
  c.primitive_basis = face_centred ? sgl::Mat3i{0, 1, 1, 1, 0, 1, 1, 1, 0} : sgl::Mat3i{1, 0, 0, 0, 1, 0, 0, 0, 1};
  c.primitive_basis_den = face_centred ? 2 : 1;
  c.lines = {{1, 1, {0.0, 0.0, 0.0}}, {2, 2, {0.0, 0.0, 0.0}}};
  c.multiplicity = {1, 1};
  c.atom_count = 2;
  const double cell = a * a * a / (face_centred ? 4.0 : 1.0);
  c.volume_per_atom = cell / 2.0;
  for (std::size_t k = 0; k < 9; ++k) {
    c.primitive_cartesian[k] = a * static_cast<double>(c.primitive_basis[k]) / static_cast<double>(c.primitive_basis_den);
  }
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  sgl::install_out_of_memory_handler();
  const std::string what = argc > 1 ? argv[1] : "";
  sgl::load_common_space(sgl::data_directory());
  sgl::load_common_wyckoff(sgl::data_directory());

  duopath::AtomTypes types;
  types.add("Na");
  types.add("Cl");
  duopath::KeywordSettings settings;
  settings.use_kelmo = what.find('k') != std::string::npos;
  settings.use_quanthop = what.find('q') != std::string::npos;
  settings.use_madelung = what.find('m') != std::string::npos;
  settings.kelmo_electrons = {{1, 6, 0, 0}, {2, 5, 0, 0}};
  settings.quanthop_type_numbers = {11, 17};
  const auto charges = pair_from("DRIVER_CHARGES", {1.0, -1.0});
  settings.madelung_charges = {charges[0], charges[1]};
  for (std::string line; std::getline(std::cin, line);) {
    line.resize(80, ' ');
    settings.quanthop_extra_lines.push_back(line);
  }

  const auto a = pair_from("DRIVER_A", {5.64, 4.12});
  const std::array<duopath::EnergyCrystal, 2> crystals{crystal(225, a[0], true), crystal(221, a[1], false)};

  duopath::PathSubgroup subgroup;
  subgroup.common_subgroup = 166;
  for (int32_t t = 1; t <= 2; ++t) {
    duopath::SubgroupOrbit o;
    o.line = t;
    o.type = t;
    o.wyckoff = t;
    subgroup.orbits.push_back(o);
  }
  duopath::PathReport report;
  const double r1 = a[0] / std::sqrt(2.0);
  report.cell_parameters[0] = {r1, r1, r1, 60.0, 60.0, 60.0};
  report.cell_parameters[1] = {a[1], a[1], a[1], 90.0, 90.0, 90.0};
  report.cell_volume = {a[0] * a[0] * a[0] / 4.0, a[1] * a[1] * a[1]};
  duopath::midpoint_cell(report);
  const duopath::MidpointPath path{subgroup, report.cell_parameters, 1, 2, 2};

  if (what == "write") {
    const double radius = duopath::kelmo_radius(crystals[0].volume_per_atom);
    const auto write = [](const char* name, const auto& body) {
      sgl::open_unit(31, name, "", "FORMATTED");
      body();
      sgl::close_unit(31);
    };
    for (int c = 0; c < 2; ++c) {
      const auto s = duopath::crystal_energy_structure(crystals[static_cast<std::size_t>(c)]);
      const std::string n = std::to_string(c + 1);
      write(("kelmo-crystal" + n + ".in").c_str(), [&] { duopath::write_kelmo_input(31, s, radius, settings, types); });
      write(("qhx-crystal" + n + ".in").c_str(), [&] { duopath::write_qhx_input(31, s, settings, types); });
    }
    const auto mid = duopath::midpoint_energy_structure(path);
    const auto form = duopath::midpoint_pressure_form(path, 0.01);
    write("kelmo-midpoint.in", [&] { duopath::write_kelmo_input(31, mid, radius, settings, types); });
    write("qhx-midpoint.in", [&] { duopath::write_qhx_input(31, mid, settings, types); });
    write("qhx-midpoint-pressure.in", [&] { duopath::write_qhx_input(31, mid, settings, types, &form); });
    sgl::end_run();
  }

  sgl::open_unit(kLogUnit, "duopath.log", "UNKNOWN", "FORMATTED");
  const auto reference = duopath::reference_energies(crystals, settings, types, kLogUnit);
  duopath::midpoint_energies(path, reference, settings, types, kLogUnit);
  sgl::close_unit(kLogUnit);
  sgl::end_run();
}
