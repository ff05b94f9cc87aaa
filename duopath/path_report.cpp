// The report of a path: figures, the subgroup cell in both crystals and at the midpoint.
#include "duopath/path_report.hpp"

#include <cmath>

#include "duopath/report_fields.hpp"
#include "library/geometry/lattice_metric.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/groups/change_setting.hpp"
#include "library/tables/common_space.hpp"
#include "library/text/text_io.hpp"
#include "library/text/words.hpp"

namespace duopath {

namespace {

void report(int log_unit, std::string_view format, std::initializer_list<sgl::OutItem> items) {
  sgl::write_line(6, format, items);
  sgl::write_line(log_unit, format, items);
}

// num/den in lowest terms; the text grows with the number of digits.
std::string fraction(int32_t num, int32_t den) {
  std::string text(32, ' ');
  int32_t p = 0;
  sgl::fraction_string(p, text, num, den);
  return text.substr(0, static_cast<std::size_t>(p));
}

std::string triple(int32_t x, int32_t y, int32_t z, int32_t den) {
  return "(" + fraction(x, den) + "," + fraction(y, den) + "," + fraction(z, den) + ")";
}

char wyckoff_letter(int32_t k) { return k == 27 ? 'A' : static_cast<char>(96 + k); }

}  // namespace

void midpoint_cell(PathReport& r) {
  auto& mid = r.cell_parameters[2];
  for (std::size_t k = 0; k < 6; ++k) mid[k] = (r.cell_parameters[0][k] + r.cell_parameters[1][k]) / 2;
  const double volume = (r.cell_volume[0] + r.cell_volume[1]) / 2;
  std::array<double, 9> g{};
  sgl::dget_gmat(mid, g);
  const double s = std::pow(std::sqrt(sgl::ddet3(g)) / volume, 0.3333333333333333);
  for (std::size_t k = 0; k < 3; ++k) mid[k] = mid[k] / s;
}

std::string lattice_text(const sgl::Mat3i& p, int32_t n) {
  std::string text = "Lattice: ";
  for (int j = 1; j <= 3; ++j) {
    if (j > 1) text += ",";
    text += triple(sgl::m3(p, 1, j), sgl::m3(p, 2, j), sgl::m3(p, 3, j), n);
  }
  return text;
}

std::string origin_text(const sgl::RationalVector& o) {
  return "Origin: " + triple(o[0], o[1], o[2], o[3]);
}

std::string orbit_text(const SubgroupOrbit& o, int column, const AtomTypes& types,
                       int32_t name_length) {
  std::string text = types.name(o.type);
  text.resize(static_cast<std::size_t>(name_length), ' ');
  text += ' ';
  text += wyckoff_letter(o.wyckoff);
  text += "  ";
  static constexpr const char* kNames[3] = {"x'=", "y'=", "z'="};
  for (int q = 1; q <= 3; ++q) {
    if (!o.has_parameter(q)) continue;
    std::string value(8, ' ');
    sgl::write_text(value, "(f8.5)", {o.params[static_cast<std::size_t>(column)][static_cast<std::size_t>(q - 1)]});
    text += kNames[q - 1] + value + ", ";
  }
  // Without parameters the two blanks after the letter go, otherwise the last ", ".
  text.resize(text.size() - 2);
  return text;
}

void path_report(const AcceptedPath& path, PathSubgroup& subgroup, const PathOutput& out,
                 int32_t& path_count, PathReport& r) {
  const auto& cs = sgl::common_space();
  const int log = out.log_unit;
  out.separator_due = true;
  ++path_count;
  sgl::write_free(6);
  const auto& st = path.principal_stretches;
  report(log, "(a)", {"---------------------------------------"});
  report(log, "(a)", {"Subgroup " + integer_field(path_count, 5)});
  report(log, "(a,3f8.3)", {"Principal values of strain tensor: ", st[0], st[1], st[2]});
  report(log, "(a,f8.3)", {"Nearest-neighbor distance along path: ", path.nearest_approach});
  // A common cell of a few dozen atoms has a hundred bonds or more: such counts take the columns
  // they need.
  report(log, "(a)", {"Broken bonds: " + integer_field(path.broken_bond_count, 2) + " out of " +
                      integer_field(path.bond_count, 2)});
  if (out.settings.bond_neighbor_total > 0) {
    report(log, "(a,f8.3)", {"Maximum change in bond length along path: ", path.max_bond_change});
  }
  report(log, "(a,f8.3)", {"Maximum atomic shuffle: ", path.max_atomic_shuffle});
  const int32_t h = subgroup.common_subgroup;
  report(log, "(a,i3,1x,a)", {"Common subgroup: ", h, cs.setting_symbol(cs.sg_default_setting(h)).view()});

  for (int c = 0; c < 2; ++c) {
    const auto cu = static_cast<std::size_t>(c);
    report(log, "(a,i1,a)", {"Setting of crystal ", int32_t{c + 1}, ": "});
    // Crystal 2's size reaches 100 when its primitive cell holds far fewer atoms than crystal 1's.
    report(log, "(a)", {"  Size = " + integer_field(c == 0 ? path.cell_size : path.cell2_size, 2)});
    sgl::Mat3i p{}, inverse{};
    int32_t n = 0, inverse_den = 0;
    sgl::RationalVector origin{}, inverse_origin{};
    sgl::subgroup_change_setting(cs, path.space_group[cu], h, subgroup.basis[cu], subgroup.origin[cu], p, n, origin,
                                 inverse, inverse_den, inverse_origin, "cinter");
    const auto& cart = path.conventional_cartesian[cu];
    std::array<double, 9> m{};
    for (int i = 1; i <= 3; ++i) {
      for (int j = 1; j <= 3; ++j) {
        double s = 0.0;
        for (int k = 1; k <= 3; ++k) {
          s += cart[sgl::column_major_index(i, k, 3)] * static_cast<double>(sgl::m3(p, k, j));
        }
        m[sgl::column_major_index(i, j, 3)] = s / static_cast<double>(n);
      }
    }
    r.cell_volume[cu] = sgl::ddet3(m);
    sgl::dgetabc(m, r.cell_parameters[cu]);
    report(log, "(2x,a)", {lattice_text(p, n)});
    report(log, "(2x,a)", {origin_text(origin)});
    const auto& cp = r.cell_parameters[cu];
    report(log, "(a,6f9.4)", {"  Lattice parameters: ", cp[0], cp[1], cp[2], cp[3], cp[4], cp[5]});
    for (const SubgroupOrbit& o : subgroup.orbits) {
      report(log, "(2x,a)", {orbit_text(o, c, out.types, path.max_type_name_length)});
    }
  }

  midpoint_cell(r);
  report(log, "(a)", {"At midpoint:"});
  const auto& mp = r.cell_parameters[2];
  report(log, "(a,6f9.4)", {"  Lattice parameters: ", mp[0], mp[1], mp[2], mp[3], mp[4], mp[5]});
  for (SubgroupOrbit& o : subgroup.orbits) {
    for (int q = 1; q <= 3; ++q) {
      const auto qu = static_cast<std::size_t>(q - 1);
      if (o.has_parameter(q)) o.params[2][qu] = (o.params[0][qu] + o.params[1][qu]) / 2;
    }
    report(log, "(2x,a)", {orbit_text(o, 2, out.types, path.max_type_name_length)});
  }
}

void mapping_block(const std::vector<int32_t>& partner, const std::vector<int32_t>& partner_cell,
                   bool output_map, int log_unit) {
  if (output_map) {
    report(log_unit, "(a)", {"Mapping of atoms"});
    for (std::size_t k = 0; k < partner.size(); ++k) {
      report(log_unit, "(a)", {integer_field(static_cast<int64_t>(k + 1), 4) + integer_field(partner[k], 4) +
                               integer_field(partner_cell[k], 4)});
    }
  }
  // The path is complete: it reaches standard output and the log now, not with a later block.
  sgl::flush(6);
  sgl::flush(log_unit);
}

}  // namespace duopath
