// The input dialogue of cellsieve: prompts, reads and echoes, the checks of the answers, and the
// lattice, unit cell and atom arrays derived from them.
#include <cmath>
#include <initializer_list>
#include <vector>

#include "cellsieve/errors.hpp"
#include "cellsieve/real_equations.hpp"
#include "cellsieve/run.hpp"
#include "library/exact/checked_int.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/text/text_io.hpp"

namespace cellsieve {

namespace {

constexpr int kIn = 5;

// Writes a block of lines to standard output and then the same block to the log.
template <typename Block>
void to_both(Block&& block) {
  block(6);
  block(kLogUnit);
}

// One line (a prompt or an echo) to standard output, then to the log.
void write_both(std::string_view format, std::initializer_list<sgl::OutItem> items) {
  to_both([&](int u) { sgl::write_line(u, format, items); });
}

// Values that are not finite would travel through every later phase; they stop the run after
// their echo.
void require_finite(std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v)) numbered_error(37, {"Invalid input:  numbers must be finite"});
}

[[noreturn]] void coplanar_lattice() {
  numbered_error(9, {"Invalid input:  vectors a,b,c are coplanar"});
}

// The lattice basis in the standard orientation: a along x, b in the xy plane with positive y,
// c with non-negative z. Parameters that describe no cell stop the run with error 009: the
// radicand of z must reach 1e-10 c^2 (coplanar vectors leave a rounding residue of about 1e-16
// there, which would otherwise invert into a huge lattice).
Mat3 standard_orientation(const std::array<double, 6>& p, double deg_to_rad) {
  for (double v : p)
    if (!std::isfinite(v)) coplanar_lattice();
  const double a = p[0], b = p[1], c = p[2];
  const double alpha = p[3] * deg_to_rad, beta = p[4] * deg_to_rad, gamma = p[5] * deg_to_rad;
  const double cx = c * std::cos(beta);
  const double cy = c * (std::cos(alpha) - std::cos(beta) * std::cos(gamma)) / std::sin(gamma);
  const double radicand = c * c - cx * cx - cy * cy;
  if (!(radicand >= 1e-10 * c * c)) coplanar_lattice();
  Mat3 m = {a, 0.0, 0.0, b * std::cos(gamma), b * std::sin(gamma), 0.0, cx, cy, std::sqrt(radicand)};
  for (double v : m)
    if (!std::isfinite(v)) coplanar_lattice();
  return m;
}

}  // namespace

void Run::create_atom_arrays() {
  const int32_t n = s.natoms;
  s.atom_type = Grid<int32_t>(n, 1);
  s.atom_type_input = Grid<int32_t>(n, 1);
  s.atom_pos = Grid<double>(3, n);
  atoms.atom_orbit = Grid<int32_t>(n, 1);
  atoms.atom_image = Grid<int32_t>(n, 1);
  atoms.atom_place = Grid<int32_t>(n, 1);
  atoms.orbit_size = Grid<int32_t>(n, 1);
  atoms.atom_cart = Grid<double>(3, n);
  atoms.atom_cart_input = Grid<double>(3, n);
  atoms.atom_shift = Grid<double>(3, n);
  atoms.atom_fitted = Grid<double>(3, n);
  atoms.atom_sym = Grid<double>(3, n);
  atoms.candidates = Grid<double>(3, sgl::narrow32(static_cast<int64_t>(n) + 3, "cellsieve atom arrays"));
  atoms.opperm = Grid<int32_t>(n, kOpCount);
  atoms.orbit_members = Grid<int32_t>(48, n);
  atoms.visited = Grid<bool>(n, 1);
  tables.natoms = n;
  tables.create_atom_tables();
}

void Run::input_dialogue() {
  // Title.
  s.title.assign(80, ' ');
  sgl::read_line(kIn, "(a80)", {s.title});
  write_both("(a80)", {s.title});

  // Scope.
  to_both([](int u) {
    sgl::write_line(u, "(a28,a20)", {"Scope:  1 = all subgroups,  ", "2 = only supergroups"});
    sgl::write_line(u, "(a33,a37)",
                    {"        3 = only superlattices,  ", "4 = only supergroups of superlattices"});
  });
  int32_t scope = 0;
  sgl::read_free(kIn, {scope});
  write_both("(i2)", {scope});
  if (scope < 1 || scope > 4) numbered_error(34, {"Invalid input:  must be 1, 2, 3 or 4."});
  s.supergroups_only = scope == 2 || scope == 4;
  s.superlattices_only = scope == 3 || scope == 4;

  // Tolerances.
  write_both("(a52)", {"Maximum and minimum rms average atomic displacements"});
  sgl::read_free(kIn, {s.dmax, s.dmin});
  write_both("(2e10.3)", {s.dmax, s.dmin});
  require_finite({s.dmax, s.dmin});
  write_both("(a38)", {"Maximum and minimum rms average strain"});
  sgl::read_free(kIn, {s.smax, s.smin});
  write_both("(2e10.3)", {s.smax, s.smin});
  require_finite({s.smax, s.smin});
  for (double* t : {&s.dmax, &s.dmin, &s.smax, &s.smin})
    if (*t == 0.0) *t = zero_tol;

  // Lattice.
  write_both("(a29,a35)", {"Form of lattice parameters:  ", "1 = vectors, 2 = lengths and angles"});
  int32_t form = 0;
  sgl::read_free(kIn, {form});
  write_both("(i1)", {form});
  if (form != 1 && form != 2)
    numbered_error(10, {"Invalid input for choice of form of lattice parameters.", "Must be 1 or 2."});
  std::array<double, 6>& p = s.lattice_params;
  if (form == 1) {
    write_both("(a41)", {"Lattice vectors in cartesian coordinates:"});
    Mat3 v{};
    for (int j = 1; j <= 3; ++j) {
      sgl::read_free(kIn, {at(v, 1, j), at(v, 2, j), at(v, 3, j)});
      write_both("(3f10.5)", {at(v, 1, j), at(v, 2, j), at(v, 3, j)});
    }
    Mat3 g{};
    for (int j = 1; j <= 3; ++j)
      for (int i = 1; i <= 3; ++i) {
        double sum = 0.0;
        for (int k = 1; k <= 3; ++k) sum += at(v, k, i) * at(v, k, j);
        at(g, i, j) = sum;
      }
    p[0] = std::sqrt(at(g, 1, 1));
    p[1] = std::sqrt(at(g, 2, 2));
    p[2] = std::sqrt(at(g, 3, 3));
    p[3] = std::acos(at(g, 2, 3) / p[1] / p[2]) * rad_to_deg;
    p[4] = std::acos(at(g, 1, 3) / p[0] / p[2]) * rad_to_deg;
    p[5] = std::acos(at(g, 1, 2) / p[0] / p[1]) * rad_to_deg;
    to_both([&](int u) {
      sgl::write_line(u, "(a43)", {"Lattice parameters, a,b,c,alpha,beta,gamma:"});
      sgl::write_line(u, "(6f10.5)", {p[0], p[1], p[2], p[3], p[4], p[5]});
    });
  } else {
    write_both("(a43)", {"Lattice parameters, a,b,c,alpha,beta,gamma:"});
    sgl::read_free(kIn, {p[0], p[1], p[2], p[3], p[4], p[5]});
    write_both("(6f10.5)", {p[0], p[1], p[2], p[3], p[4], p[5]});
  }
  s.lattice = standard_orientation(p, deg_to_rad);
  int32_t err = 0;
  matrix_inverse(s.lattice, s.lattice_inv, err);
  if (err != 0) coplanar_lattice();

  // Unit cell.
  write_both("(a59)", {"Vectors defining the unit cell (dimensionless coordinates):"});
  for (int j = 1; j <= 3; ++j) sgl::read_free(kIn, {at(s.cell, 1, j), at(s.cell, 2, j), at(s.cell, 3, j)});
  for (int j = 1; j <= 3; ++j) write_both("(3f10.5)", {at(s.cell, 1, j), at(s.cell, 2, j), at(s.cell, 3, j)});
  for (double v : s.cell) require_finite({v});
  matrix_inverse(s.cell, s.cell_inv, err);
  if (err != 0)
    numbered_error(7, {"Invalid input:  basis vectors of unit cell are coplanar"});
  s.cell_inv_integral = true;
  for (double x : s.cell_inv)
    if (!sgl::iszero(x - std::round(x), zero_tol)) s.cell_inv_integral = false;
  matrix_mlt(s.lattice, s.cell, s.cell_cart);
  matrix_inverse(s.cell_cart, s.cell_cart_inv, err);
  if (err != 0) numbered_error(1);
  s.cell_volume = std::fabs(detmat(s.cell_cart));

  // Atoms.
  write_both("(a29)", {"Number of atoms in unit cell:"});
  sgl::read_free(kIn, {s.natoms});
  write_both("(i4)", {s.natoms});
  if (s.natoms <= 0) numbered_error(36, {"Invalid input:  number of atoms must be positive"});
  create_atom_arrays();

  write_both("(a18)", {"Type of each atom:"});
  {
    std::vector<sgl::InItem> in;
    in.reserve(static_cast<std::size_t>(s.natoms));
    for (int32_t n = 1; n <= s.natoms; ++n) in.emplace_back(s.atom_type(n));
    sgl::read_free(kIn, in);
    std::vector<sgl::OutItem> out;
    out.reserve(in.size());
    for (int32_t n = 1; n <= s.natoms; ++n) out.emplace_back(s.atom_type(n));
    to_both([&](int u) { sgl::write_line(u, "(20i3)", out); });
    for (int32_t n = 1; n <= s.natoms; ++n) s.atom_type_input(n) = s.atom_type(n);
  }

  write_both("(a49)", {"Position of each atom (dimensionless coordinates)"});
  for (int32_t n = 1; n <= s.natoms; ++n)
    sgl::read_free(kIn, {s.atom_pos(1, n), s.atom_pos(2, n), s.atom_pos(3, n)});
  for (int32_t n = 1; n <= s.natoms; ++n)
    write_both("(i4,3f10.5)", {n, s.atom_pos(1, n), s.atom_pos(2, n), s.atom_pos(3, n)});
  for (int32_t n = 1; n <= s.natoms; ++n)
    require_finite({s.atom_pos(1, n), s.atom_pos(2, n), s.atom_pos(3, n)});
}

}  // namespace cellsieve
