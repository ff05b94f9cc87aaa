// The input dialogue of cellsieve: prompts, reads and echoes, the checks of the answers, and the
// lattice, unit cell and atom arrays derived from them.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "cellsieve/errors.hpp"
#include "cellsieve/memory_available.hpp"
#include "cellsieve/real_equations.hpp"
#include "cellsieve/run.hpp"
#include "library/exact/checked_int.hpp"
#include "library/geometry/lattice_metric.hpp"
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

// One answer of the dialogue, free format; `awaited` names it when the input ends before it.
void read_answer(std::initializer_list<sgl::InItem> items, std::string_view awaited) {
  sgl::read_free(kIn, items, {.awaited = awaited});
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

// The working range of lengths. The search tests Cartesian quantities against fixed absolute
// tolerances of 1e-10 in the units of the lattice parameters, so lengths and positions far beyond
// 1e4 leave too few digits below that tolerance, and lengths far below 1e-4 come too close to it.
constexpr double kMinLength = 1e-4;
constexpr double kMaxLength = 1e4;

// The largest condition number (Frobenius norms of a basis and of its inverse; 3 for an
// orthonormal basis) of the lattice and of the Cartesian unit cell. Beyond it the rounding of
// coordinates reaches the search's tolerances, and the reductions modulo a strongly oblique cell
// no longer find the nearest images.
constexpr double kMaxCondition = 1e3;

// Two atoms closer together than this count as one point (error 044).
constexpr double kCoincidence = 1e-4;

// Whether a value fits the columns in which the dialogue echoes it and the report prints it
// (f10.5): below 10000, and above -1000 with its minus sign, after rounding to five decimals.
// The messages state the bounds as they apply: 9999.999995 rounds to 10000.00000 and is refused.
bool fits_ten_columns(double v) { return v < 9999.999995 && v > -999.999995; }

[[noreturn]] void not_printable(const std::string& what) {
  numbered_error(41, {"Invalid input:  " + what +
                      " must print in ten columns, above -999.999995 and below 9999.999995"});
}

bool within_range(double length) { return length >= kMinLength && length <= kMaxLength && fits_ten_columns(length); }

double frobenius(const Mat3& m) {
  double sum = 0.0;
  for (double v : m) sum += v * v;
  return std::sqrt(sum);
}

bool well_conditioned(const Mat3& m, const Mat3& m_inv) {
  return frobenius(m) * frobenius(m_inv) <= kMaxCondition;
}

// The bytes of the per-atom arrays that create_atom_arrays makes for n atoms, with room for the
// lists that the reads of the types and positions fill first and for the echo of the types.
double atom_array_bytes(int32_t n, int32_t max_fract) {
  const double atoms = static_cast<double>(n);
  const double ints = atoms * (6.0 + kOpCount + 48.0 + 2.0 * max_fract);
  const double reals = 3.0 * (7.0 * atoms + 3.0);
  const double lists = atoms * static_cast<double>(sizeof(sgl::InItem) + sizeof(sgl::OutItem));
  return ints * sizeof(int32_t) + reals * sizeof(double) + atoms * sizeof(bool) + lists;
}

// The lattice basis in the standard orientation: a along x, b in the xy plane with positive y,
// c with non-negative z. Parameters that describe no cell stop the run with error 009: the
// squared height of a unit c above the a-b plane must exceed 1e-10 (coplanar vectors leave a
// rounding residue of about 1e-16 there, which would otherwise invert into a huge lattice).
Mat3 standard_orientation(const std::array<double, 6>& p, double deg_to_rad) {
  for (double v : p)
    if (!std::isfinite(v)) coplanar_lattice();
  const double a = p[0], b = p[1], c = p[2];
  const double alpha = p[3] * deg_to_rad, beta = p[4] * deg_to_rad, gamma = p[5] * deg_to_rad;
  if (!sgl::forms_cell(alpha, beta, gamma, 1e-10)) coplanar_lattice();
  const double cx = c * std::cos(beta);
  const double cy = c * (std::cos(alpha) - std::cos(beta) * std::cos(gamma)) / std::sin(gamma);
  const double radicand = c * c - cx * cx - cy * cy;
  Mat3 m = {a, 0.0, 0.0, b * std::cos(gamma), b * std::sin(gamma), 0.0, cx, cy, std::sqrt(radicand)};
  for (double v : m)
    if (!std::isfinite(v)) coplanar_lattice();
  return m;
}

[[noreturn]] void lengths_out_of_range() {
  numbered_error(41, {"Invalid input:  lengths a,b,c must be at least 0.0001 and print in ten columns, "
                      "below 9999.999995"});
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
  sgl::read_line(kIn, "(a80)", {s.title}, {.awaited = "the title"});
  write_both("(a80)", {s.title});

  // Scope.
  to_both([](int u) {
    sgl::write_line(u, "(a28,a20)", {"Scope:  1 = all subgroups,  ", "2 = only supergroups"});
    sgl::write_line(u, "(a33,a37)",
                    {"        3 = only superlattices,  ", "4 = only supergroups of superlattices"});
  });
  int32_t scope = 0;
  read_answer({scope}, "the scope (1, 2, 3 or 4)");
  write_both("(i2)", {scope});
  if (scope < 1 || scope > 4) numbered_error(34, {"Invalid input:  must be 1, 2, 3 or 4."});
  s.supergroups_only = scope == 2 || scope == 4;
  s.superlattices_only = scope == 3 || scope == 4;

  // Tolerances.
  write_both("(a52)", {"Maximum and minimum rms average atomic displacements"});
  read_answer({s.dmax, s.dmin}, "the displacement tolerances DMAX and DMIN");
  write_both("(2e10.3)", {s.dmax, s.dmin});
  require_finite({s.dmax, s.dmin});
  // A negative maximum would reject every operation, the identity included: no group at all.
  if (s.dmax < 0.0) numbered_error(38, {"Invalid input:  maximum rms displacement must not be negative"});
  write_both("(a38)", {"Maximum and minimum rms average strain"});
  read_answer({s.smax, s.smin}, "the strain tolerances SMAX and SMIN");
  write_both("(2e10.3)", {s.smax, s.smin});
  require_finite({s.smax, s.smin});
  if (s.smax < 0.0) numbered_error(38, {"Invalid input:  maximum rms strain must not be negative"});
  // The fits of exactly symmetric structures leave rounding residues (of about 1e-16 times the
  // lengths): a maximum below the zero tolerance would reject them, so it counts as 1e-10, as 0
  // does. A minimum of 0 counts as 1e-10 too; a smaller one (or a negative one) is kept, so that no
  // group counts as exact and every subgroup is fitted.
  for (double* t : {&s.dmax, &s.smax})
    if (*t < zero_tol) *t = zero_tol;
  for (double* t : {&s.dmin, &s.smin})
    if (*t == 0.0) *t = zero_tol;

  // Lattice.
  write_both("(a29,a35)", {"Form of lattice parameters:  ", "1 = vectors, 2 = lengths and angles"});
  int32_t form = 0;
  read_answer({form}, "the form of the lattice parameters (1 or 2)");
  write_both("(i1)", {form});
  if (form != 1 && form != 2)
    numbered_error(10, {"Invalid input for choice of form of lattice parameters.", "Must be 1 or 2."});
  std::array<double, 6>& p = s.lattice_params;
  bool left_handed = false;
  if (form == 1) {
    write_both("(a41)", {"Lattice vectors in cartesian coordinates:"});
    Mat3 v{};
    for (int j = 1; j <= 3; ++j) {
      const std::string awaited = std::string("the cartesian components of lattice vector ") + "abc"[j - 1];
      read_answer({at(v, 1, j), at(v, 2, j), at(v, 3, j)}, awaited);
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
    for (double x : v) require_finite({x});
    left_handed = detmat(v) < 0.0;
    // A zero vector leaves the three coplanar (error 009 below).
    for (int j = 0; j < 3; ++j)
      if (p[j] != 0.0 && !within_range(p[j])) lengths_out_of_range();
    for (double x : v)
      if (!fits_ten_columns(x)) not_printable("lattice vector components");
  } else {
    write_both("(a43)", {"Lattice parameters, a,b,c,alpha,beta,gamma:"});
    read_answer({p[0], p[1], p[2], p[3], p[4], p[5]}, "the lattice parameters a, b, c, alpha, beta, gamma");
    write_both("(6f10.5)", {p[0], p[1], p[2], p[3], p[4], p[5]});
    for (double x : p) require_finite({x});
    for (int j = 0; j < 3; ++j)
      if (!(p[j] > 0.0)) numbered_error(39, {"Invalid input:  lengths a,b,c must be positive"});
    for (int j = 3; j < 6; ++j)
      if (!(p[j] > 0.0 && p[j] < 180.0))
        numbered_error(40, {"Invalid input:  angles alpha,beta,gamma must lie strictly between 0 and 180"});
    for (int j = 0; j < 3; ++j)
      if (!within_range(p[j])) lengths_out_of_range();
  }
  s.lattice = standard_orientation(p, deg_to_rad);
  // Vectors given as a left-handed set keep their handedness: the lattice used is the negated
  // standard orientation, which has the same lengths and angles and is a proper rotation of the
  // vectors given, so the positions describe the structure given and not its mirror image.
  if (left_handed)
    for (double& x : s.lattice) x = -x;
  int32_t err = 0;
  matrix_inverse(s.lattice, s.lattice_inv, err);
  if (err != 0) coplanar_lattice();
  if (!well_conditioned(s.lattice, s.lattice_inv))
    numbered_error(42, {"Invalid input:  vectors a,b,c too oblique or too unequal in length"});

  // Unit cell.
  write_both("(a59)", {"Vectors defining the unit cell (dimensionless coordinates):"});
  for (int j = 1; j <= 3; ++j)
    read_answer({at(s.cell, 1, j), at(s.cell, 2, j), at(s.cell, 3, j)},
                "unit-cell vector " + std::to_string(j) + " of 3");
  for (int j = 1; j <= 3; ++j) write_both("(3f10.5)", {at(s.cell, 1, j), at(s.cell, 2, j), at(s.cell, 3, j)});
  for (double v : s.cell) require_finite({v});
  matrix_inverse(s.cell, s.cell_inv, err);
  if (err != 0)
    numbered_error(7, {"Invalid input:  basis vectors of unit cell are coplanar"});
  s.cell_inv_integral = true;
  for (double x : s.cell_inv)
    if (!sgl::iszero(x - std::round(x), zero_tol)) s.cell_inv_integral = false;
  matrix_mlt(s.lattice, s.cell, s.cell_cart);
  for (int j = 1; j <= 3; ++j)
    if (!within_range(length(mat_column(s.cell_cart, j))))
      numbered_error(41, {"Invalid input:  unit-cell vectors must be at least 0.0001 and below 9999.999995 long"});
  for (double v : s.cell)
    if (!fits_ten_columns(v)) not_printable("unit-cell vector components");
  matrix_inverse(s.cell_cart, s.cell_cart_inv, err);
  if (err != 0) numbered_error(1, {"Invalid input:  the unit cell has no inverse in cartesian coordinates"});
  if (!well_conditioned(s.cell_cart, s.cell_cart_inv))
    numbered_error(42, {"Invalid input:  unit cell too oblique or too unequal in length"});
  s.cell_volume = std::fabs(detmat(s.cell_cart));

  // Atoms. The count bounds the arrays, but the tables hold only what the input gives until every
  // atom is read: a mistyped count on a short input ends with the input instead of taking the
  // memory of the count first.
  write_both("(a29)", {"Number of atoms in unit cell:"});
  read_answer({s.natoms}, "the number of atoms");
  write_both("(i4)", {s.natoms});
  if (s.natoms <= 0) numbered_error(36, {"Invalid input:  number of atoms must be positive"});
  if (atom_array_bytes(s.natoms, tables.max_fract) > memory_available())
    numbered_error(43, {"Invalid input:  " + std::to_string(s.natoms) +
                        " atoms need more memory than is available"});
  const std::string of_all = " of " + std::to_string(s.natoms);

  write_both("(a18)", {"Type of each atom:"});
  // One read for all types, over as many lines as they take; a type passed over (a null value, a
  // slash) stays 0.
  std::vector<int32_t> types;
  sgl::read_free_each(
      kIn, static_cast<std::size_t>(s.natoms),
      [&](std::size_t k) -> sgl::InItem {
        while (types.size() <= k) types.push_back(0);
        return types[k];
      },
      {.awaited = "the types of the " + std::to_string(s.natoms) + " atoms"});
  types.resize(static_cast<std::size_t>(s.natoms), 0);
  {
    std::vector<sgl::OutItem> out(types.begin(), types.end());
    to_both([&](int u) { sgl::write_line(u, "(20i3)", out); });
  }

  write_both("(a49)", {"Position of each atom (dimensionless coordinates)"});
  std::vector<Vec3> positions;
  for (int32_t n = 1; n <= s.natoms; ++n) {
    Vec3& x = positions.emplace_back(Vec3{0.0, 0.0, 0.0});
    read_answer({x[0], x[1], x[2]}, "the position of atom " + std::to_string(n) + of_all);
  }
  for (int32_t n = 1; n <= s.natoms; ++n) {
    const Vec3& x = positions[static_cast<std::size_t>(n - 1)];
    write_both("(i4,3f10.5)", {n, x[0], x[1], x[2]});
  }

  create_atom_arrays();
  for (int32_t n = 1; n <= s.natoms; ++n) {
    const std::size_t k = static_cast<std::size_t>(n - 1);
    s.atom_type(n) = types[k];
    s.atom_type_input(n) = types[k];
    for (int i = 1; i <= 3; ++i) s.atom_pos(i, n) = positions[k][i - 1];
  }
  for (int32_t n = 1; n <= s.natoms; ++n)
    require_finite({s.atom_pos(1, n), s.atom_pos(2, n), s.atom_pos(3, n)});
  // The Cartesian positions, 1-based.
  std::vector<Vec3> cart(static_cast<std::size_t>(s.natoms) + 1);
  for (int32_t n = 1; n <= s.natoms; ++n) {
    vector_mlt(s.lattice, {s.atom_pos(1, n), s.atom_pos(2, n), s.atom_pos(3, n)}, cart[n]);
    if (!(length(cart[n]) <= kMaxLength))
      numbered_error(41, {"Invalid input:  atom " + std::to_string(n) + " lies farther than 10000 from the origin"});
    for (int i = 1; i <= 3; ++i)
      if (!fits_ten_columns(s.atom_pos(i, n))) not_printable("coordinates of atom " + std::to_string(n));
  }
  check_coincident_atoms(cart);
}

void Run::check_coincident_atoms(const std::vector<Vec3>& cart) const {
  // Two atoms at one point (within kCoincidence, whatever their types) describe no structure:
  // two atoms of one type there would both be matched onto one of them, so that no operation,
  // not even the identity, maps the structure onto itself. Atoms that are merely close (a split
  // site, a short bond, closer than the displacement tolerance) are searched. Distances are
  // taken to the nearest image modulo the unit cell: the difference is reduced into the cell
  // around the origin (cell coordinates in (-0.5, 0.5]). An image closer than kCoincidence has
  // cell coordinates of norm below kCoincidence times the norm of the inverse cell; when that
  // bound reaches 0.5 the 26 neighbouring images are tried as well (the 27 cell vectors with
  // coordinates -1, 0, 1, formed once).
  const int32_t n = s.natoms;
  std::vector<Vec3> images;
  if (kCoincidence * frobenius(s.cell_cart_inv) >= 0.5)
    for (int i = -1; i <= 1; ++i)
      for (int j = -1; j <= 1; ++j)
        for (int k = -1; k <= 1; ++k) {
          Vec3 e{};
          vector_mlt(s.cell_cart, {static_cast<double>(i), static_cast<double>(j), static_cast<double>(k)}, e);
          images.push_back(e);
        }
  for (int32_t a = 1; a <= n; ++a)
    for (int32_t b = a + 1; b <= n; ++b) {
      Vec3 d{};
      vector_sub(cart[b], cart[a], d);
      near_origin(s.cell_cart_inv, s.cell_cart, d, d);
      double closest = length(d);
      for (const Vec3& image : images) {
        Vec3 e{};
        vector_add(d, image, e);
        closest = std::min(closest, length(e));
      }
      if (closest >= kCoincidence) continue;
      const int32_t ta = s.atom_type(a), tb = s.atom_type(b);
      const std::string types = ta == tb ? " of type " + std::to_string(ta)
                                         : " of types " + std::to_string(ta) + " and " + std::to_string(tb);
      numbered_error(44, {"Invalid input:  atoms " + std::to_string(a) + " and " + std::to_string(b) + types +
                          " lie at the same point"});
    }
}

}  // namespace cellsieve
