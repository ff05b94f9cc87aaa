// Preparation of both crystals: primitive cells, operators, atoms, the composition check,
// Cartesian bases, the report lines, volumes and nearest distances; after the reference energies
// the rotations in the primitive bases and the proper counts.
#include <algorithm>
#include <cmath>

#include <string>

#include "duopath/report_fields.hpp"
#include "duopath/run.hpp"
#include "library/exact/arithmetic.hpp"
#include "library/exact/checked_int.hpp"
#include "library/geometry/lattice_metric.hpp"
#include "library/geometry/nearest_atoms.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/groups/change_setting.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace duopath {

namespace {

[[noreturn]] void invalid_lattice_vectors(int c) {
  sgl::write_line(6, "(a,i1)", {"Invalid lattice vectors chosen for subgroup wrt crystal ", int32_t{c}});
  sgl::bomb();
}

// Rewrites the given vectors of crystal c (conventional coordinates) into the primitive cell of
// the subgroup in crystal c's primitive coordinates.
void given_lattice(const sgl::CommonSpace& cs, int c, const PreparedCrystal& p, int32_t subgroup,
                   std::array<sgl::RationalVector, 3>& vectors) {
  sgl::Mat3i l{};
  for (int j = 0; j < 3; ++j) {
    // The numerators of a given vector may be large when its denominator is (a vector such as
    // 1000,1/9999,0), so the product is formed in 64 bits: the vector is a lattice vector of the
    // crystal exactly when the denominator divides every component of the product.
    const sgl::RationalVector& given = vectors[static_cast<std::size_t>(j)];
    for (int i = 1; i <= 3; ++i) {
      int64_t sum = 0;
      for (int k = 1; k <= 3; ++k) {
        sum += int64_t{sgl::m3(p.to_primitive, i, k)} * given[static_cast<std::size_t>(k - 1)];
      }
      if (sum % given[3] != 0) invalid_lattice_vectors(c);
      sgl::m3(l, i, j + 1) = sgl::narrow32(sum / given[3], "given_lattice");
    }
  }
  for (int j = 0; j < 3; ++j) {
    sgl::RationalVector e{0, 0, 0, 1};
    e[j] = 1;
    sgl::RationalVector w{};
    sgl::vector_change_setting(cs, subgroup, "pml", "cinter", e, w);
    sgl::RationalVector v{};
    sgl::vmlt(l, w.data(), v.data());
    v[3] = w[3];
    sgl::reduc2(v);
    if (v[3] != 1) invalid_lattice_vectors(c);
    vectors[static_cast<std::size_t>(j)] = v;
  }
}

}  // namespace

int32_t Run::neighbor_cell_index(int32_t t1, int32_t t2, int32_t t3) const {
  for (std::size_t l = 0; l < neighbor_cells.size(); ++l) {
    if (neighbor_cells[l] == std::array<int32_t, 3>{t1, t2, t3}) return static_cast<int32_t>(l + 1);
  }
  return 0;
}

void Run::prepare_crystals() {
  const sgl::CommonSpace& cs = sgl::common_space();
  const sgl::CommonWyckoff& cw = sgl::common_wyckoff();

  max_type_name_length = 0;
  for (int32_t t = 1; t <= types.count(); ++t) {
    max_type_name_length = std::max(max_type_name_length, static_cast<int32_t>(types.name(t).size()));
  }
  for (int c = 0; c < 2; ++c) make_primitive_basis(cs, crystals[c].space_group, prepared[c]);
  if (settings.lattice_given) {
    for (int c = 0; c < 2; ++c) {
      given_lattice(cs, c + 1, prepared[c], settings.lattice_subgroup, settings.lattice_vectors[c]);
    }
  }
  for (int c = 0; c < 2; ++c) make_operators(cs, cw, crystals[c], prepared[c]);
  // A crystal without atoms has nothing to map; refused before the composition check, which
  // an empty crystal 2 would pass.
  for (int c = 0; c < 2; ++c) {
    if (prepared[c].atom_count == 0) {
      sgl::write_line(6, "(a,i1)", {"Error: no atoms in crystal ", int32_t{c + 1}});
      sgl::bomb();
    }
  }

  // Composition: each type of crystal 1, in the order of its lines, once.
  std::vector<int32_t> seen;
  for (const WyckoffLine& line : crystals[0].lines) {
    const int32_t t = line.type;
    if (std::find(seen.begin(), seen.end(), t) != seen.end()) continue;
    seen.push_back(t);
    std::array<int64_t, 2> count{};
    for (int c = 0; c < 2; ++c) {
      for (std::size_t l = 0; l < crystals[c].lines.size(); ++l) {
        if (crystals[c].lines[l].type == t) count[c] += prepared[c].multiplicity[l];
      }
    }
    if (prepared[0].atom_count * count[1] != prepared[1].atom_count * count[0]) {
      // An error like every other: the run stops (the search could find nothing).
      sgl::write_free(6, {"Error:  relative number of types of atoms ", "do not match in the two crystals"});
      sgl::bomb();
    }
  }

  for (int c = 0; c < 2; ++c) make_atoms(cs, cw, crystals[c], prepared[c]);

  neighbor_cells.clear();
  for (int32_t t1 = -1; t1 <= 1; ++t1) {
    for (int32_t t2 = -1; t2 <= 1; ++t2) {
      for (int32_t t3 = -1; t3 <= 1; ++t3) {
        if (settings.dim2 && t3 != 0) continue;
        neighbor_cells.push_back({t1, t2, t3});
      }
    }
  }
  neighbor_cell_count = static_cast<int32_t>(neighbor_cells.size());

  for (int c = 0; c < 2; ++c) prepared[c].conventional_cartesian = conventional_basis(crystals[c].lattice);

  for (int c = 0; c < 2; ++c) {
    report("(a)", {"Number of atoms in primitive unit cell of crystal " + std::to_string(c + 1) + ": " +
                   integer_field(prepared[c].atom_count, 3)});
  }
  for (int c = 0; c < 2; ++c) {
    PreparedCrystal& p = prepared[c];
    p.volume_per_atom = sgl::ddet3(p.conventional_cartesian) / static_cast<double>(sgl::ndet(p.to_primitive)) /
                        static_cast<double>(p.atom_count);
    // The report shows the volume in f10.3. A million cubic Angstrom per atom is a cell a hundred
    // times too large in each direction: a unit slip, say, or a typed digit too many.
    if (!sgl::fits_field("(f10.3)", p.volume_per_atom)) {
      sgl::write_line(6, "(a)", {"Error: volume per atom of crystal " + std::to_string(c + 1) + " too large (" +
                                     sgl::value_text("(f20.3)", p.volume_per_atom) +
                                     ", at most 999999.999): check its lattice parameters"});
      sgl::bomb();
    }
    report("(a,i1,a,f10.3)", {"Volume/atom in crystal ", int32_t{c + 1}, ": ", p.volume_per_atom});
  }

  if (settings.same_volume) {
    const double r = prepared[0].volume_per_atom / prepared[1].volume_per_atom;
    const double s = std::pow(r, 0.3333333333333333);
    // The volume strain and the scaled lattice parameters must fit their report fields, and the
    // scaled lengths stay below the bound of any length in the input: two cells that far apart
    // in volume are given in different units.
    bool fits = sgl::fits_field("(f8.3)", 1.0 / r);
    for (int k = 0; k < 3; ++k) fits = fits && crystals[1].lattice[k] * s < kMaxCellLength;
    if (!fits) {
      sgl::write_line(6, "(a)", {"Error: volumes per atom " + sgl::value_text("(f10.3)", prepared[0].volume_per_atom) +
                                     " and " + sgl::value_text("(f10.3)", prepared[1].volume_per_atom) +
                                     " too far apart for samevolume: check that both cells are given in the same unit"});
      sgl::bomb();
    }
    report("(a,f8.3)", {"Volume strain: ", 1.0 / r});
    for (int k = 0; k < 3; ++k) crystals[1].lattice[k] *= s;
    for (double& x : prepared[1].conventional_cartesian) x *= s;
    const auto& l = crystals[1].lattice;
    report("(a,6f9.4)", {"  Adjusted crystal 2: ", l[0], l[1], l[2], l[3], l[4], l[5]});
  }

  for (int c = 0; c < 2; ++c) make_primitive_cartesian(prepared[c]);

  // Lattice parameters that lack the group's symmetry would break the rotations the search uses.
  for (int c = 0; c < 2; ++c) {
    if (!rotations_keep_metric(cs, prepared[c])) {
      sgl::write_line(6, "(a,i1,a)", {"Error: lattice parameters of crystal ", int32_t{c + 1},
                                      " do not fit its space group"});
      sgl::bomb();
    }
  }

  for (int c = 0; c < 2; ++c) {
    PreparedCrystal& p = prepared[c];
    std::array<double, 9> g{};
    sgl::dget_gmat2(p.primitive_cartesian, g);
    std::vector<int32_t> wyckoff;
    std::vector<double> xyz;
    for (const WyckoffLine& line : crystals[c].lines) {
      wyckoff.push_back(line.wyckoff);
      xyz.insert(xyz.end(), line.params.begin(), line.params.end());
    }
    p.nearest_distance = sgl::dnearest_atoms(crystals[c].space_group, static_cast<int32_t>(wyckoff.size()),
                                             wyckoff, xyz, g);
    report("(a,i1,a,f9.4)", {"Nearest distance between atoms in crystal ", int32_t{c + 1}, ": ",
                             p.nearest_distance});
    if (p.nearest_distance < 0.1) {
      sgl::write_free(6, {"Error: atoms too close together"});
      sgl::bomb();
    }
  }
  mean_nearest_distance = (prepared[0].nearest_distance + prepared[1].nearest_distance) / 2.0;

  if (settings.min_distance_percent) {
    // A percentage gives a length, which the report shows in f8.3 like a length given as such.
    const auto check = [&](double percent, double length, const std::string& for_type) {
      if (sgl::fits_field("(f8.3)", length)) return;
      sgl::write_line(6, "(a)", {"Error: neighbor " + sgl::value_text("(f8.1)", percent) + "%" + for_type +
                                     " is a minimum distance of " + sgl::value_text("(f20.3)", length) +
                                     ", more than the report can show (9999.999): give a smaller percentage"});
      sgl::bomb();
    };
    const double percent = settings.min_distance;
    settings.min_distance = settings.min_distance * mean_nearest_distance / 100.0;
    check(percent, settings.min_distance, "");
    if (settings.min_distance > 0.0) report("(a,f8.3)", {"Minimum distance between atoms: ", settings.min_distance});
    for (int32_t t = 1; t <= static_cast<int32_t>(settings.type_min_distance.size()); ++t) {
      double& d = settings.type_min_distance[static_cast<std::size_t>(t - 1)];
      const double type_percent = d;
      d = d * mean_nearest_distance / 100.0;
      check(type_percent, d, " for " + types.name(t));
      if (d > 0.0) {
        const std::string text = " for " + types.name(t);
        report("(a,f8.3,a)", {"Minimum distance between atoms: ", d, text});
      }
    }
  }
}

void Run::prepare_rotations() {
  const sgl::CommonSpace& cs = sgl::common_space();
  for (int c = 0; c < 2; ++c) make_primitive_rotations(cs, prepared[c]);
  if (!settings.lattice_given) {
    for (int c = 0; c < 2; ++c) {
      const int32_t count = proper_operator_count(cs, prepared[c]);
      if (count < 0) sgl::bomb();
      prepared[c].proper_count = count;
    }
    build_short_vector_images();
  }
}

}  // namespace duopath
