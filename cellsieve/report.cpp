// The report of each accepted group and the closing summary table.
#include <cmath>
#include <span>

#include "cellsieve/errors.hpp"
#include "cellsieve/run.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/text/text_io.hpp"

namespace cellsieve {

namespace {

void wrap(Vec3& v) { sgl::zero_to_one(std::span<double, 3>(v)); }

}  // namespace

void Run::report_group() {
  const sgl::CommonSpace& space = sgl::common_space();
  GroupResult& g = group;
  const Mat3& metric = g.std_metric;
  const double a = std::sqrt(at(metric, 1, 1));
  const double b = std::sqrt(at(metric, 2, 2));
  const double c = std::sqrt(at(metric, 3, 3));
  const double alpha = std::acos(at(metric, 2, 3) / b / c) * rad_to_deg;
  const double beta = std::acos(at(metric, 1, 3) / a / c) * rad_to_deg;
  const double gamma = std::acos(at(metric, 1, 2) / a / b) * rad_to_deg;

  // The origin in the coordinates of the input lattice; into the cell only when the cell's
  // inverse is integral (otherwise a wrap would not be a lattice translation of the input).
  const double den = static_cast<double>(g.id_origin[3]);
  const Vec3 o = {static_cast<double>(g.id_origin[0]) / den, static_cast<double>(g.id_origin[1]) / den,
                  static_cast<double>(g.id_origin[2]) / den};
  Vec3 u{};
  vector_mlt(g.prim_strained, o, u);
  Vec3& origin = g.origin_shift;
  vector_add(origin, u, origin);
  vector_mlt(g.prim_strained_inv, origin, origin);
  vector_mlt(g.prim_in_cell, origin, origin);
  vector_mlt(s.cell, origin, origin);
  if (s.cell_inv_integral) wrap(origin);

  // Positions: into the primitive cell of the fitted lattice, then into conventional coordinates.
  for (int32_t r = 1; r <= g.nred; ++r) {
    Vec3 pos = {atoms.atom_sym(1, r), atoms.atom_sym(2, r), atoms.atom_sym(3, r)};
    Vec3 w{};
    vector_sub(pos, u, w);
    vector_mlt(g.prim_strained_inv, w, w);
    wrap(w);
    vector_mlt(g.to_standard_inv, w, pos);
    if (s.cell_inv_integral) wrap(pos);
    for (int i = 1; i <= 3; ++i) atoms.atom_sym(i, r) = pos[i - 1];
  }

  const int32_t sg = g.sg_number;
  const std::string_view symbol = space.sg_symbol(sg).view();
  const std::string_view setting = space.setting_symbol(space.sg_default_setting(sg)).view();
  for (int unit : {6, kLogUnit}) {
    sgl::write_free(unit);
    sgl::write_line(unit, "(a12,i3,2x,a8,2x,a10)", {"Space Group ", sg, symbol, setting});
    sgl::write_line(unit, "(a14,f10.5,5x,a12,f10.5)",
                    {"rms position: ", g.rms_position, "rms strain: ", g.rms_strain});
    sgl::write_line(unit, "(a10,3f10.5)", {"Origin at ", origin[0], origin[1], origin[2]});
    sgl::write_line(unit, "(a14)", {"Vectors a,b,c:"});
  }
  for (int i = 1; i <= 3; ++i)
    for (int unit : {6, kLogUnit})
      sgl::write_line(unit, "(3f10.5)",
                      {at(g.std_in_lattice, 1, i), at(g.std_in_lattice, 2, i), at(g.std_in_lattice, 3, i)});
  for (int unit : {6, kLogUnit}) {
    sgl::write_line(unit, "(a33)", {"Values of a,b,c,alpha,beta,gamma:"});
    sgl::write_line(unit, "(6f10.5)", {a, b, c, alpha, beta, gamma});
    sgl::write_free(unit);
    sgl::write_line(unit, "(a35)", {"Atomic positions in terms of a,b,c:"});
  }
  for (int32_t k = 1; k <= g.orbit_count; ++k) {
    for (int unit : {6, kLogUnit}) sgl::write_free(unit);
    for (int32_t m = 1; m <= atoms.orbit_size(k); ++m) {
      const int32_t r = atoms.orbit_members(m, k);
      int32_t n = 1;
      while (n <= s.natoms && atoms.atom_orbit(n) != r) ++n;
      if (n > s.natoms) numbered_error(13);
      for (int unit : {6, kLogUnit})
        sgl::write_line(unit, "(i4,3f10.5)", {n, atoms.atom_sym(1, r), atoms.atom_sym(2, r), atoms.atom_sym(3, r)});
    }
  }
  enter_summary();
}

void Run::enter_summary() {
  ++groups_found;
  if (groups_found > tables.max_groups) tables.allocate_groups();
  tables.group_sg(groups_found) = group.sg_number;
  tables.group_rms_position(groups_found) = group.rms_position;
  tables.group_rms_strain(groups_found) = group.rms_strain;
  tables.group_points(groups_found) = tables.sublattice_points(group.cur_sublattice);
}

void Run::write_summary() {
  const sgl::CommonSpace& space = sgl::common_space();
  sgl::write_free(6);
  for (int unit : {6, kLogUnit}) {
    sgl::write_line(unit, "(a7)", {"Summary"});
    sgl::write_free(unit);
    sgl::write_line(unit, "(a11,15x,a6,4x,a12,3x,a10)", {"Space group", "Points", "rms position", "rms strain"});
  }
  for (int32_t k = 1; k <= groups_found; ++k) {
    const int32_t sg = tables.group_sg(k);
    for (int unit : {6, kLogUnit})
      sgl::write_line(unit, "(i3,2x,a8,2x,a10,i5,3x,f10.5,5x,f10.5)",
                      {sg, space.sg_symbol(sg).view(), space.setting_symbol(space.sg_default_setting(sg)).view(),
                       tables.group_points(k), tables.group_rms_position(k), tables.group_rms_strain(k)});
  }
}

}  // namespace cellsieve
