// Reference energies of the end crystals and the energy barrier of each reported path.
#include "duopath/energy_estimates.hpp"

#include <cmath>

#include "library/geometry/madelung_energy.hpp"
#include "library/groups/change_setting.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/text/text_io.hpp"

namespace duopath {

namespace {

constexpr double kDegree = 0.017453292519943295;

void report(int log_unit, std::string_view format, std::initializer_list<sgl::OutItem> items) {
  sgl::write_line(6, format, items);
  sgl::write_line(log_unit, format, items);
}

// Cartesian position P x of fractional coordinates x in the basis P (columns).
std::array<double, 3> cartesian(const std::array<double, 9>& p, const std::array<double, 3>& x) {
  std::array<double, 3> r{};
  for (int i = 0; i < 3; ++i) {
    double s = 0.0;
    for (int j = 0; j < 3; ++j) s += p[static_cast<std::size_t>(j * 3 + i)] * x[static_cast<std::size_t>(j)];
    r[static_cast<std::size_t>(i)] = s;
  }
  return r;
}

// The Madelung sum of the atoms that `add` appends (charge and Cartesian position).
struct ChargeSet {
  std::vector<double> charges;
  std::vector<double> positions;  // three per charge
  void add(double q, const std::array<double, 3>& r) {
    charges.push_back(q);
    positions.insert(positions.end(), r.begin(), r.end());
  }
  double energy(const std::array<double, 9>& basis) const {
    double e = 0.0;
    sgl::madelung_energy(basis, static_cast<int>(charges.size()), charges, positions, e);
    return e;
  }
};

double charge_of(const std::vector<double>& charges, int32_t type) {
  return charges.at(static_cast<std::size_t>(type - 1));
}

}  // namespace

EnergyStructure crystal_energy_structure(const EnergyCrystal& c) {
  EnergyStructure s;
  s.space_group = c.space_group;
  s.lattice = c.lattice;
  for (int k = 1; k <= 3; ++k) {
    for (int i = 1; i <= 3; ++i) {
      s.primitive_basis[static_cast<std::size_t>(k - 1)][static_cast<std::size_t>(i - 1)] =
          static_cast<double>(sgl::m3(c.primitive_basis, i, k)) / static_cast<double>(c.primitive_basis_den);
    }
  }
  s.atom_count = c.atom_count;
  for (const WyckoffLine& line : c.lines) s.sites.push_back({line.wyckoff, line.type, line.params});
  return s;
}

double madelung_reference(const EnergyCrystal& c, const std::vector<double>& charges) {
  const auto& cs = sgl::common_space();
  const auto& cw = sgl::common_wyckoff();
  ChargeSet set;
  std::array<sgl::WyckoffMatrix, 48> orbit{};
  for (std::size_t l = 0; l < c.lines.size(); ++l) {
    const WyckoffLine& line = c.lines[l];
    int32_t npos = 0;
    sgl::get_wyckoff_all(cs, cw, c.space_group, line.wyckoff, npos, orbit);
    for (int32_t j = 0; j < c.multiplicity[l] && j < npos; ++j) {
      std::array<double, 3> x{};
      sgl::dget_wyc_xyz(line.params, orbit[static_cast<std::size_t>(j)], x);
      set.add(charge_of(charges, line.type), cartesian(c.primitive_cartesian, x));
    }
  }
  const double raw = set.energy(c.primitive_cartesian);
  return raw / static_cast<double>(c.atom_count) * kHartreeEv * kBohrAngstrom;
}

ReferenceEnergies reference_energies(const std::array<EnergyCrystal, 2>& crystals,
                                     const KeywordSettings& settings, const AtomTypes& types,
                                     int log_unit) {
  sgl::flush(log_unit);
  ReferenceEnergies r;
  r.volume_per_atom = {crystals[0].volume_per_atom, crystals[1].volume_per_atom};
  if (settings.use_kelmo) {
    r.kelmo_radius = kelmo_radius(crystals[0].volume_per_atom);
    run_echo_test();
    for (int i = 0; i < 2; ++i) {
      const double raw = kelmo_run(crystal_energy_structure(crystals[i]), r.kelmo_radius, settings, types);
      r.kelmo[i] = raw / static_cast<double>(crystals[i].atom_count) * kHartreeEv;
    }
    r.kelmo_mean = (r.kelmo[0] + r.kelmo[1]) / 2;
  }
  if (settings.use_quanthop) {
    for (int i = 0; i < 2; ++i) {
      const double raw = quanthop_run(crystal_energy_structure(crystals[i]), settings, types, kQuanthopFailure);
      r.quanthop[i] = raw / static_cast<double>(crystals[i].atom_count);
    }
    const double v1 = crystals[0].volume_per_atom;
    const double v2 = crystals[1].volume_per_atom;
    if (v1 != v2) {
      r.pressure = -(r.quanthop[1] - r.quanthop[0]) / (v2 - v1);
      sgl::write_line(6, "(a,g12.4,a)", {"Pressure: ", r.pressure * static_cast<double>(160), " GPa"});
    }
    r.quanthop_mean = (r.quanthop[0] + r.quanthop[1]) / 2;
  }
  if (settings.use_madelung) {
    for (int i = 0; i < 2; ++i) r.madelung[i] = madelung_reference(crystals[i], settings.madelung_charges);
    r.madelung_mean = (r.madelung[0] + r.madelung[1]) / 2;
  }
  return r;
}

EnergyStructure midpoint_energy_structure(const MidpointPath& path) {
  const auto& cs = sgl::common_space();
  EnergyStructure s;
  s.space_group = path.subgroup.common_subgroup;
  s.lattice = path.cell_parameters[2];
  for (int k = 0; k < 3; ++k) {
    sgl::RationalVector e{0, 0, 0, 1};
    e[static_cast<std::size_t>(k)] = 1;
    sgl::RationalVector v{};
    sgl::vector_change_setting(cs, s.space_group, "pml", "cinter", e, v);
    for (int i = 0; i < 3; ++i) {
      s.primitive_basis[static_cast<std::size_t>(k)][static_cast<std::size_t>(i)] =
          static_cast<double>(v[static_cast<std::size_t>(i)]) / static_cast<double>(v[3]);
    }
  }
  s.atom_count = path.common_atom_count;
  for (const SubgroupOrbit& o : path.subgroup.orbits) s.sites.push_back({o.wyckoff, o.type, o.params[2]});
  return s;
}

PressureForm midpoint_pressure_form(const MidpointPath& path, double pressure) {
  PressureForm f;
  f.pressure = pressure;
  for (int c = 0; c < 2; ++c) {
    f.ends[static_cast<std::size_t>(c)].lattice = path.cell_parameters[static_cast<std::size_t>(c)];
    for (const SubgroupOrbit& o : path.subgroup.orbits) {
      f.ends[static_cast<std::size_t>(c)].site_params.push_back(o.params[static_cast<std::size_t>(c)]);
    }
  }
  return f;
}

double madelung_midpoint(const MidpointPath& path, const std::vector<double>& charges) {
  const auto& cs = sgl::common_space();
  const auto& cw = sgl::common_wyckoff();
  const EnergyStructure s = midpoint_energy_structure(path);
  // The midpoint's Cartesian conventional basis L, then the primitive basis P = L times the
  // primitive basis vectors.
  const auto& m = s.lattice;
  const double a = m[0], b = m[1], c = m[2];
  const double ca = std::cos(m[3] * kDegree), cb = std::cos(m[4] * kDegree);
  const double cg = std::cos(m[5] * kDegree), sg = std::sin(m[5] * kDegree);
  const double t = c * (ca - cb * cg) / sg;
  const double w = std::sqrt(c * c - (c * cb) * (c * cb) - t * t);
  const std::array<double, 9> l{a, 0.0, 0.0, b * cg, b * sg, 0.0, c * cb, t, w};
  std::array<double, 9> p{};
  for (int k = 0; k < 3; ++k) {
    const auto col = cartesian(l, s.primitive_basis[static_cast<std::size_t>(k)]);
    for (int i = 0; i < 3; ++i) p[static_cast<std::size_t>(k * 3 + i)] = col[static_cast<std::size_t>(i)];
  }
  ChargeSet set;
  std::array<sgl::WyckoffMatrix, 48> orbit{};
  for (const SubgroupOrbit& o : path.subgroup.orbits) {
    int32_t npos = 0;
    sgl::get_wyckoff_all(cs, cw, s.space_group, o.wyckoff, npos, orbit);
    for (int32_t j = 0; j < npos; ++j) {
      std::array<double, 3> x{};
      sgl::dget_wyc_xyz(o.params[2], orbit[static_cast<std::size_t>(j)], x);
      set.add(charge_of(charges, o.type), cartesian(p, x));
    }
  }
  const double raw = set.energy(p);
  return raw / static_cast<double>(path.cell_size) / static_cast<double>(path.atom_count1) * kHartreeEv *
         kBohrAngstrom;
}

void midpoint_energies(const MidpointPath& path, const ReferenceEnergies& reference,
                       const KeywordSettings& settings, const AtomTypes& types, int log_unit) {
  const double cell_size = static_cast<double>(path.cell_size);
  const double atoms1 = static_cast<double>(path.atom_count1);
  if (settings.use_kelmo) {
    const double raw = kelmo_run(midpoint_energy_structure(path), reference.kelmo_radius, settings, types);
    const double barrier = raw / cell_size / atoms1 * kHartreeEv - reference.kelmo_mean;
    report(log_unit, "(a,f10.3,a)", {"Estimated energy barrier using KELMO: ", barrier, " eV"});
  }
  if (settings.use_quanthop) {
    double barrier = 0.0;
    if (reference.pressure == 0.0) {
      const double raw = quanthop_run(midpoint_energy_structure(path), settings, types, kQhxFailure);
      barrier = raw / cell_size / atoms1 - reference.quanthop_mean;
    } else {
      const PressureForm form = midpoint_pressure_form(path, reference.pressure);
      const double raw = quanthop_run(midpoint_energy_structure(path), settings, types, kQhxFailure, &form);
      const double e = raw / cell_size / atoms1;
      barrier = e - reference.quanthop[0] - reference.volume_per_atom[0] * reference.pressure;
    }
    report(log_unit, "(a,f10.3,a)", {"Estimated energy barrier using quanthop: ", barrier, " eV"});
  }
  if (settings.use_madelung) {
    const double contribution = madelung_midpoint(path, settings.madelung_charges) - reference.madelung_mean;
    report(log_unit, "(a,f10.3,a)", {"Contribution of Madelung energy to barrier: ", contribution, " eV"});
  }
}

}  // namespace duopath
