// Hand-over of a structure to kelmo or quanthop through files and the shell.
#include "duopath/energy_programs.hpp"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "library/groups/change_setting.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/text/bomb.hpp"
#include "library/text/characters.hpp"

namespace duopath {

namespace {

constexpr int kExchangeUnit = 31;

// The bohr in angstrom as kelmo.in's first line divides by it: a single-precision constant
// widened to double.
constexpr double kBohrSingle = static_cast<double>(0.529177f);

void write_items(int unit, const std::vector<sgl::OutItem>& items) {
  sgl::write_free(unit, std::span<const sgl::OutItem>(items.data(), items.size()));
}

void write_triple(int unit, const std::array<double, 3>& v) { sgl::write_free(unit, {v[0], v[1], v[2]}); }

// The lines shared by both programs from the atom count on: N, one type line per site, one
// coordinate line per atom.
void write_atoms(int unit, const EnergyStructure& s, const EnergyAtoms& atoms) {
  sgl::write_free(unit, {s.atom_count});
  for (std::size_t k = 0; k < s.sites.size(); ++k) {
    std::vector<sgl::OutItem> items(static_cast<std::size_t>(atoms.site_counts[k]),
                                    sgl::OutItem(s.sites[k].type));
    write_items(unit, items);
  }
  for (const auto& x : atoms.coordinates) write_triple(unit, x);
}

void write_extra_lines(int unit, const KeywordSettings& settings) {
  for (const std::string& line : settings.quanthop_extra_lines) {
    sgl::write_free(unit, {sgl::trim_trailing_blanks(line)});
  }
}

// Standard output is written out and the exchange unit closed before the shell runs, so that
// what the shell and the programs write comes after the report lines already written.
void shell(const char* command) {
  sgl::flush(6);
  sgl::close_unit(kExchangeUnit);
  [[maybe_unused]] int status = std::system(command);  // the exit status is not examined
}

// The first number of "energy.out". The target starts as NaN, so a read that assigns nothing
// (a null value or a slash) is caught with a value that is not finite.
double read_energy(std::string_view failure_text) {
  sgl::open_unit(kExchangeUnit, "energy.out", "", "FORMATTED");
  double value = std::numeric_limits<double>::quiet_NaN();
  int status = 0;
  sgl::read_free(kExchangeUnit, {value}, {.status = &status});
  if (status != 0 || !std::isfinite(value)) {
    sgl::write_free(6, {failure_text});
    sgl::bomb();
  }
  sgl::close_unit(kExchangeUnit);
  return value;
}

}  // namespace

EnergyAtoms energy_atoms(const EnergyStructure& s, const std::vector<std::array<double, 3>>* params) {
  const auto& cs = sgl::common_space();
  const auto& cw = sgl::common_wyckoff();
  EnergyAtoms atoms;
  std::array<sgl::WyckoffMatrix, 48> orbit{};
  for (std::size_t k = 0; k < s.sites.size(); ++k) {
    const EnergySite& site = s.sites[k];
    int32_t npos = 0;
    sgl::get_wyckoff_all(cs, cw, s.space_group, site.wyckoff, npos, orbit);
    atoms.site_counts.push_back(npos);
    const std::array<double, 3>& x = params ? (*params)[k] : site.params;
    for (int32_t j = 0; j < npos; ++j) {
      sgl::WyckoffMatrix m{};
      sgl::wyckoff_change_setting(cs, s.space_group, "pml", "cinter", orbit[static_cast<std::size_t>(j)], m);
      std::array<double, 3> point{};
      sgl::dget_wyc_xyz(x, m, point);
      atoms.coordinates.push_back(point);
    }
  }
  // The orbits must fill the structure exactly; anything else would hand over a corrupt file.
  if (atoms.coordinates.size() != static_cast<std::size_t>(s.atom_count)) sgl::bomb();
  return atoms;
}

double kelmo_radius(double volume_per_atom1) {
  const double three_quarters = static_cast<double>(0.75f);
  const double pi_approx = static_cast<double>(3.14f);
  const double exponent = static_cast<double>(0.33f);
  const double base = three_quarters * volume_per_atom1 * static_cast<double>(100) / pi_approx;
  return 1.2 * std::pow(base, exponent) / 0.529177;
}

void write_kelmo_input(int unit, const EnergyStructure& s, double radius,
                       const KeywordSettings& settings, const AtomTypes& types) {
  const EnergyAtoms atoms = energy_atoms(s);
  const auto& l = s.lattice;
  sgl::write_free(unit, {l[0] / kBohrSingle, l[1] / kBohrSingle, l[2] / kBohrSingle, l[3], l[4], l[5]});
  for (const auto& v : s.primitive_basis) write_triple(unit, v);
  sgl::write_free(unit, {types.count()});
  for (int32_t t = 1; t <= types.count(); ++t) {
    sgl::write_line(unit, "(a)", {"slater_" + types.name(t) + ".txt"});
  }
  write_atoms(unit, s, atoms);
  sgl::write_free(unit, {radius});
  for (std::size_t k = 0; k < s.sites.size(); ++k) {
    const auto& e = settings.kelmo_electrons.at(static_cast<std::size_t>(s.sites[k].type - 1));
    for (int32_t j = 0; j < atoms.site_counts[k]; ++j) sgl::write_free(unit, {e[0], e[1], e[2], e[3]});
  }
  sgl::write_free(unit, {"7"});
  sgl::write_free(unit, {"1"});
  sgl::write_free(unit, {"0"});
}

void write_qhx_input(int unit, const EnergyStructure& s, const KeywordSettings& settings,
                     const AtomTypes& types, const PressureForm* pressure) {
  const EnergyAtoms atoms = energy_atoms(s);
  const auto& l = s.lattice;
  sgl::write_line(unit, "(a)", {"input file produced by duopath"});
  sgl::write_free(unit, {l[0], l[1], l[2], l[3], l[4], l[5]});
  for (const auto& v : s.primitive_basis) write_triple(unit, v);
  sgl::write_free(unit, {types.count()});
  for (int32_t t = 1; t <= types.count(); ++t) {
    sgl::write_free(unit, {settings.quanthop_type_numbers.at(static_cast<std::size_t>(t - 1))});
  }
  write_atoms(unit, s, atoms);
  if (pressure) {
    sgl::write_free(unit, {"20"});
    sgl::write_free(unit, {static_cast<double>(160) * pressure->pressure});
    sgl::write_free(unit, {"30"});
    for (const EndStructure& end : pressure->ends) {
      const auto& e = end.lattice;
      sgl::write_free(unit, {e[0], e[1], e[2], e[3], e[4], e[5]});
      for (const auto& x : energy_atoms(s, &end.site_params).coordinates) write_triple(unit, x);
    }
    write_extra_lines(unit, settings);
    for (const char* token : {"33", "0.5", "37", "0"}) sgl::write_free(unit, {token});
  } else {
    write_extra_lines(unit, settings);
    sgl::write_free(unit, {"1"});
    sgl::write_free(unit, {"0"});
  }
}

void run_echo_test() { shell("echo test >energy.out"); }

double kelmo_run(const EnergyStructure& s, double radius, const KeywordSettings& settings,
                 const AtomTypes& types) {
  shell("rm energy.out");
  sgl::open_unit(kExchangeUnit, "kelmo.in", "", "FORMATTED");
  write_kelmo_input(kExchangeUnit, s, radius, settings, types);
  sgl::close_unit(kExchangeUnit);
  shell("kelmo <kelmo.in >temp.out");
  return read_energy(kKelmoFailure);
}

double quanthop_run(const EnergyStructure& s, const KeywordSettings& settings,
                    const AtomTypes& types, std::string_view failure_text,
                    const PressureForm* pressure) {
  shell("rm energy.out");
  sgl::open_unit(kExchangeUnit, "qhx.in", "", "FORMATTED");
  write_qhx_input(kExchangeUnit, s, settings, types, pressure);
  sgl::close_unit(kExchangeUnit);
  shell("qhx <qhx.in >temp.out");
  return read_energy(failure_text);
}

}  // namespace duopath
