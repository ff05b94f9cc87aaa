// The common subgroup of an accepted path, its orbits and their parameters in both crystals.
#include "duopath/path_subgroup.hpp"

#include <cmath>

#include "duopath/report_fields.hpp"
#include "library/exact/arithmetic.hpp"
#include "library/exact/row_operations.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/groups/id_subgroup.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace duopath {

namespace {

void report(int log_unit, std::string_view format, std::initializer_list<sgl::OutItem> items) {
  sgl::write_line(6, format, items);
  sgl::write_line(log_unit, format, items);
}

std::size_t at(int32_t one_based) { return static_cast<std::size_t>(one_based - 1); }

// The mapping's trace block: its figures and, per atom, start, end and displacement.
void trace_block(const AcceptedPath& path, const PathOutput& out) {
  const int log = out.log_unit;
  if (out.separator_due) {
    out.separator_due = false;
    sgl::write_free(6);
    report(log, "(a)", {"---------------------------------------"});
  }
  report(log, "(a)", {"Mapping " + integer_field(path.mapping_number, 3)});
  report(log, "(a,f8.3)", {"Nearest-neighbor distance along path: ", path.nearest_approach});
  if (out.settings.bond_neighbor_total > 0) {
    report(log, "(a,f8.3)", {"Maximum change in bond length along path: ", path.max_bond_change});
  }
  report(log, "(a,f8.3)", {"Maximum atomic shuffle: ", path.max_atomic_shuffle});
  for (int32_t i = 1; i <= path.common_atom_count; ++i) {
    std::string name = out.types.name(path.common_types1[at(i)]);
    name.resize(static_cast<std::size_t>(path.max_type_name_length), ' ');
    const auto& start = path.stage1[0][at(i)];
    const auto& partner = path.stage1[1][at(path.partner[at(i)])];
    const auto& cell = path.neighbor_cells[at(path.partner_cell[at(i)])];
    std::array<double, 3> end{}, shift{};
    for (std::size_t k = 0; k < 3; ++k) {
      end[k] = partner[k] + static_cast<double>(cell[k]);
      shift[k] = path.stage2[1][at(i)][k] - start[k];
    }
    report(log, "(a,3x,3f7.3,3x,3f7.3,3x,3f7.3)",
           {name, start[0], start[1], start[2], end[0], end[1], end[2], shift[0], shift[1], shift[2]});
  }
}

int64_t nearest_integer(double x) { return std::llround(x); }  // halves away from zero

}  // namespace

sgl::RationalVector rational_origin(const std::array<double, 3>& v) {
  std::array<int64_t, 3> num{};
  int64_t common = 1;
  for (std::size_t i = 0; i < 3; ++i) {
    int64_t d = 1;
    while (d < 100 && sgl::ncmpd(static_cast<double>(d) * v[i] - static_cast<double>(nearest_integer(static_cast<double>(d) * v[i])))) {
      ++d;
    }
    const int64_t n = nearest_integer(static_cast<double>(d) * v[i]);
    for (std::size_t k = 0; k < i; ++k) num[k] *= d;
    num[i] = common * n;
    common *= d;
  }
  // The common denominator is at most 100^3, and a subgroup origin lies within a few cells, so
  // the numerators stay far inside 32 bits.
  sgl::RationalVector r{static_cast<int32_t>(num[0]), static_cast<int32_t>(num[1]), static_cast<int32_t>(num[2]),
                        static_cast<int32_t>(common)};
  sgl::reduc2(r);
  return r;
}

bool path_subgroup(const AcceptedPath& path, int32_t orbit_capacity, const PathOutput& out,
                   PathSubgroup& result) {
  const auto& cs = sgl::common_space();
  const auto& cw = sgl::common_wyckoff();
  const KeywordSettings& settings = out.settings;
  if (settings.trace) {
    trace_block(path, out);
    if (settings.trace_map) return false;
  }
  result.orbits.clear();

  // The common subgroup, from crystal 1.
  const int32_t group1 = path.space_group[0];
  int32_t h = 0;
  sgl::id_subgroup(cs, group1, path.cell1, static_cast<int32_t>(path.path_symmetry_ops1.size()),
                   path.path_symmetry_ops1, h, result.basis[0], result.origin[0], 0);
  result.common_subgroup = h;
  if (h < settings.min_subgroup || h > settings.max_subgroup) {
    if (settings.trace) report(out.log_unit, "(a,i3,a)", {"Space group ", h, ": skip"});
    return false;
  }

  // The orbits of each Wyckoff line of crystal 1, and their parameters in crystal 1.
  for (std::size_t l = 0; l < path.lines1.size(); ++l) {
    const WyckoffLine& line = path.lines1[l];
    const int32_t room = orbit_capacity - static_cast<int32_t>(result.orbits.size());
    const std::size_t slots = static_cast<std::size_t>(room > 0 ? room : 1);
    std::vector<int32_t> wyckoff(slots);
    std::vector<sgl::WyckoffRelation> relation(slots);
    int32_t n = 0;
    sgl::get_new_wyckoff(cs, cw, group1, h, result.basis[0], result.origin[0], line.wyckoff, n, wyckoff,
                         relation, room);
    for (int32_t k = 0; k < n; ++k) {
      SubgroupOrbit o;
      o.line = static_cast<int32_t>(l) + 1;
      o.type = line.type;
      o.wyckoff = wyckoff[static_cast<std::size_t>(k)];
      o.relation = relation[static_cast<std::size_t>(k)];
      const auto& x = line.params;
      for (int q = 1; q <= 3; ++q) {
        const int64_t den = sgl::rel(o.relation, 5, q);
        if (den == 0) continue;
        o.params[0][static_cast<std::size_t>(q - 1)] =
            ((static_cast<double>(sgl::rel(o.relation, 1, q)) + x[0] * static_cast<double>(sgl::rel(o.relation, 2, q))) +
             x[1] * static_cast<double>(sgl::rel(o.relation, 3, q)) + x[2] * static_cast<double>(sgl::rel(o.relation, 4, q))) /
            static_cast<double>(den);
      }
      result.orbits.push_back(o);
    }
  }

  // Subgroup coordinates: x_H = T x_common - o, with T = basis^-1 cell1 (integral) and
  // o = basis^-1 origin.
  sgl::Mat3i inverse{};
  int32_t d = 0;
  sgl::matinv(result.basis[0], inverse, d);
  std::array<int32_t, 3> o_num{};
  sgl::vmlt(inverse, result.origin[0].data(), o_num.data());
  const double o_den = static_cast<double>(result.origin[0][3]) * static_cast<double>(d);
  sgl::Mat3i t{};
  sgl::matmlt(inverse, path.cell1, t);
  int32_t t_den = d;
  sgl::reduc3(t, t_den);
  if (t_den != 1) sgl::bomb();
  const int32_t n_atoms = path.common_atom_count;
  for (std::size_t c = 0; c < 2; ++c) {
    result.stage3[c].assign(static_cast<std::size_t>(n_atoms), {});
    for (std::size_t a = 0; a < static_cast<std::size_t>(n_atoms); ++a) {
      for (int i = 1; i <= 3; ++i) {
        double s = 0.0;
        for (int j = 1; j <= 3; ++j) s += static_cast<double>(sgl::m3(t, i, j)) * path.stage2[c][a][static_cast<std::size_t>(j - 1)];
        result.stage3[c][a][static_cast<std::size_t>(i - 1)] = s - static_cast<double>(o_num[static_cast<std::size_t>(i - 1)]) / o_den;
      }
    }
  }

  // Crystal 2's basis is the image of crystal 1's under the cell correspondence; its origin is
  // crystal 1's moved by the mean displacement.
  std::array<double, 3> mo{};
  for (int i = 1; i <= 3; ++i) {
    double s = 0.0;
    for (int j = 1; j <= 3; ++j) s += static_cast<double>(sgl::m3(t, i, j)) * path.mean_displacement[static_cast<std::size_t>(j - 1)];
    mo[static_cast<std::size_t>(i - 1)] = s + static_cast<double>(o_num[static_cast<std::size_t>(i - 1)]) / o_den;
  }
  sgl::Mat3i t_inverse{};
  int32_t ti_den = 0;
  sgl::matinv(t, t_inverse, ti_den);
  if (ti_den != 1) sgl::bomb();
  sgl::matmlt(path.cell2, t_inverse, result.basis[1]);
  std::array<double, 3> v{};
  for (int i = 1; i <= 3; ++i) {
    double s = 0.0;
    for (int j = 1; j <= 3; ++j) s += static_cast<double>(sgl::m3(result.basis[1], i, j)) * mo[static_cast<std::size_t>(j - 1)];
    v[static_cast<std::size_t>(i - 1)] = s;
  }
  result.origin[1] = rational_origin(v);

  // Crystal-2 parameters: the orbit's point in crystal 1, the atom on it, that atom at the end of
  // the path, and the position's parameters solved for that end point.
  for (SubgroupOrbit& o : result.orbits) {
    const int32_t index = cw.wyc_first(h) + o.wyckoff - 1;
    sgl::WyckoffMatrix w{};
    for (int i = 1; i <= 4; ++i) {
      for (int j = 1; j <= 4; ++j) sgl::m4(w, i, j) = cw.wyc_matrix_table(i, j, index);
    }
    std::array<double, 3> r{};
    sgl::get_wyc_xyz(o.params[0], w, r);
    std::array<double, 3> shift{};
    int32_t found = 0;
    for (int32_t a = 1; a <= n_atoms && found == 0; ++a) {
      const auto& p = result.stage3[0][at(a)];
      bool on = true;
      for (std::size_t i = 0; i < 3 && on; ++i) {
        shift[i] = static_cast<double>(nearest_integer(p[i] - r[i]));
        on = std::fabs(p[i] - r[i] - shift[i]) <= 1e-6;
      }
      if (on) found = a;
    }
    if (found == 0) sgl::bomb();
    std::array<double, 3> y{};
    for (std::size_t i = 0; i < 3; ++i) y[i] = result.stage3[1][at(found)][i] - shift[i];
    std::array<double, 12> m{};
    auto col = [&](int j) {
      const int32_t den = sgl::m4(w, 4, j);
      std::array<double, 3> c{};
      if (den != 0) {
        for (int i = 1; i <= 3; ++i) c[static_cast<std::size_t>(i - 1)] = static_cast<double>(sgl::m4(w, i, j)) / static_cast<double>(den);
      }
      return c;
    };
    for (int j = 1; j <= 3; ++j) {
      const auto c = col(j + 1);
      for (std::size_t i = 0; i < 3; ++i) m[static_cast<std::size_t>(j - 1) * 3 + i] = c[i];
    }
    const auto fixed = col(1);
    for (std::size_t i = 0; i < 3; ++i) m[9 + i] = y[i] - fixed[i];
    sgl::drowop2(m, 3, 4, 3);
    for (std::size_t i = 0; i < 3; ++i) {
      std::size_t j = 0;
      while (j < 4 && std::fabs(m[j * 3 + i]) <= 1e-6) ++j;
      if (j == 4) continue;
      if (j == 3) sgl::bomb();  // the end point lies off the subgroup position
      o.params[1][j] = m[9 + i] / m[j * 3 + i];
    }
  }
  return true;
}

}  // namespace duopath
