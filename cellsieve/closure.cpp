// An accepted group made concrete: the origin chosen on the generators' symmetry elements, the
// closure of the group with its fitted translations (checked against the candidate's order), the
// operators as exact records in the strained primitive basis, their identification, and the
// conventional basis of the identified setting with its metric.
#include <cmath>
#include <span>
#include <vector>

#include "cellsieve/errors.hpp"
#include "cellsieve/id_spacegroup.hpp"
#include "cellsieve/real_equations.hpp"
#include "cellsieve/run.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/groups/change_setting.hpp"

namespace cellsieve {

namespace {

constexpr int32_t kMaxElements = 48;

}  // namespace

void Run::close_group(int32_t c) {
  // The identification gives a conventional basis of determinant +1 in the basis it is handed.
  // The primitive basis of a sublattice may be left-handed; the conventional cell would then be
  // left-handed too, and a chiral group would be named by its mirror image's description. The
  // group is therefore written on the negated primitive basis in that case: it spans the same
  // lattice and is right-handed.
  group.prim_in_cell = search.prim_in_cell;
  if (detmat(group.prim_strained) < 0.0)
    for (Mat3* m : {&group.prim_strained, &group.prim_strained_inv, &group.prim_in_cell})
      for (double& v : *m) v = -v;

  // The origin is chosen in Cartesian coordinates first. In a strained lattice of low symmetry
  // the Cartesian directions that this choice leaves free are no lattice directions, and the
  // translations may then not be fractions of the lattice: the choice is then made again in
  // coordinates of the fitted lattice, where every free direction is a lattice direction.
  const int32_t ngen = tables.subgroup_ngens(c);
  std::vector<Vec3> gen_trans(static_cast<std::size_t>(ngen) + 1);
  for (int32_t j = 1; j <= ngen; ++j) gen_trans[j] = column(tables.gen_trans, j);
  choose_origin(c, false);
  close_elements(c);
  bool rational = true;
  for (int32_t k = 1; k <= search.group_nops && rational; ++k) {
    Vec3 y{};
    vector_mlt(group.prim_strained_inv, search.elem_trans[k], y);
    rational = translation_denominator(y) != 0;
  }
  if (!rational) {
    for (int32_t n = 1; n <= search.nred; ++n)
      for (int i = 1; i <= 3; ++i) atoms.atom_sym(i, n) += group.origin_shift[i - 1];
    for (int32_t j = 1; j <= ngen; ++j) set_column(tables.gen_trans, j, gen_trans[j]);
    choose_origin(c, true);
    close_elements(c);
  }
  make_records();
  identify();
  conventional_basis();
}

Vec3 Run::reduce_strained(const Vec3& v) const {
  Vec3 o{};
  near_origin(group.prim_strained_inv, group.prim_strained, v, o);
  return o;
}

Vec3 Run::wrap_strained(const Vec3& v) const {
  Vec3 o{};
  unitcell(group.prim_strained_inv, group.prim_strained, v, o);
  return o;
}

int32_t translation_denominator(const Vec3& y) {
  for (int32_t d = 1; d <= 12; ++d) {
    bool ok = true;
    for (double v : y) {
      const double z = static_cast<double>(d) * v;
      if (ncmpd(z - std::round(z)) != 0) ok = false;
    }
    if (ok) return d;
  }
  return 0;
}

void Run::choose_origin(int32_t c, bool lattice) {
  Search& x = search;
  Tables& t = tables;
  AtomArrays& w = atoms;
  GroupResult& g = group;
  const int32_t ngen = t.subgroup_ngens(c);

  // Origin: o - R_g o + n_g = t_g for every generator, every non-leading variable zero; in
  // Cartesian coordinates, or (lattice) in coordinates of the fitted primitive basis P', where
  // R_g is P'^-1 R_g P' rounded to integers.
  const int32_t nvar = 3 * ngen + 3;
  t.start_system(nvar);
  int32_t neq = 0;
  for (int32_t j = 1; j <= ngen; ++j) {
    Mat3 r = ops.op_rot(t.gen_op(j));
    Vec3 tr = column(t.gen_trans, j);
    if (lattice) {
      r = integer_matrix(g.prim_strained, g.prim_strained_inv, r);
      vector_mlt(g.prim_strained_inv, tr, tr);
    }
    for (int k = 1; k <= 3; ++k) {
      const int32_t e = neq + 1;
      t.before_equation(e);
      for (int32_t m = 1; m <= nvar + 1; ++m) t.eqs(m, e) = 0.0;
      for (int i = 1; i <= 3; ++i) t.eqs(i, e) = -at(r, k, i);
      t.eqs(k, e) += 1.0;
      t.eqs(3 + 3 * (j - 1) + k, e) = 1.0;
      t.eqs(nvar + 1, e) = tr[k - 1];
      neq = e;
    }
  }
  solve_eqs(t.eqs.from_column(1), neq, nvar + 1, t.max_vars);
  // The value of variable m: the right-hand side of the first equation (among 1..last) with a
  // nonzero coefficient of m, when that equation has no nonzero coefficient before m; else 0.
  auto leading_value = [&](int32_t m, int32_t last) {
    for (int32_t e = 1; e <= last; ++e) {
      if (ncmpd(t.eqs(m, e)) == 0) continue;
      for (int32_t v = 1; v < m; ++v)
        if (ncmpd(t.eqs(v, e)) != 0) return 0.0;
      return t.eqs(nvar + 1, e);
    }
    return 0.0;
  };
  Vec3 o{};
  for (int i = 1; i <= 3; ++i) o[i - 1] = leading_value(i, std::min<int32_t>(3, neq));
  for (int32_t j = 1; j <= ngen; ++j)
    for (int k = 1; k <= 3; ++k) {
      const int32_t m = 3 + 3 * (j - 1) + k;
      t.gen_trans(k, j) = leading_value(m, std::min(m, neq));
    }
  if (lattice) {
    vector_mlt(g.prim_strained, o, o);
    for (int32_t j = 1; j <= ngen; ++j) {
      Vec3 v{};
      vector_mlt(g.prim_strained, column(t.gen_trans, j), v);
      set_column(t.gen_trans, j, v);
    }
  }
  g.origin_shift = o;
  for (int32_t n = 1; n <= x.nred; ++n)
    for (int i = 1; i <= 3; ++i) w.atom_sym(i, n) -= o[i - 1];
}

void Run::close_elements(int32_t c) {
  Search& x = search;
  Tables& t = tables;
  const int32_t ngen = t.subgroup_ngens(c);
  auto wrap = [&](const Vec3& v) { return wrap_strained(v); };
  auto reduce = [&](const Vec3& v) { return reduce_strained(v); };

  // Closure: every product of two elements, both orders, checked against the element already
  // holding its operation.
  if (ngen > kMaxElements) numbered_error(29);
  x.group_nops = ngen;
  for (int32_t j = 1; j <= ngen; ++j) {
    x.elem_op[j] = t.gen_op(j);
    x.elem_trans[j] = wrap(column(t.gen_trans, j));
  }
  auto combine = [&](int32_t left, int32_t right, int32_t code) {
    const int32_t op = ops.op_product(x.elem_op[left], x.elem_op[right]);
    if (op == 0) numbered_error(29);
    Vec3 v{};
    vector_mlt(ops.op_rot(x.elem_op[left]), x.elem_trans[right], v);
    vector_add(x.elem_trans[left], v, v);
    const Vec3 tr = wrap(v);
    for (int32_t f = 1; f <= x.group_nops; ++f) {
      if (x.elem_op[f] != op) continue;
      Vec3 d{};
      vector_sub(x.elem_trans[f], tr, d);
      d = reduce(d);
      for (double comp : d)
        if (!sgl::iszero(comp, zero_tol)) numbered_error(code);
      return;
    }
    if (x.group_nops >= kMaxElements) numbered_error(29);
    ++x.group_nops;
    x.elem_op[x.group_nops] = op;
    x.elem_trans[x.group_nops] = tr;
  };
  for (int32_t i = 1; i <= x.group_nops; ++i)
    for (int32_t j = 1; j <= i; ++j) {
      combine(j, i, 28);
      if (j != i) combine(i, j, 4);
    }
  if (x.group_nops != t.subgroup_order(c)) numbered_error(29);
}

void Run::make_records() {
  Search& x = search;
  const Mat3& ps = group.prim_strained;
  const Mat3& ps_inv = group.prim_strained_inv;
  const int32_t nops = x.group_nops;
  bool hex = false;
  for (int32_t k = 1; k <= nops; ++k)
    if (ops.op_cubic(x.elem_op[k]) == 0) hex = true;
  for (int32_t k = 1; k <= nops; ++k) {
    sgl::SpaceOp& rec = x.group_space_ops[k - 1];
    rec[4] = hex ? ops.op_hex(x.elem_op[k]) : ops.op_cubic(x.elem_op[k]);
    if (rec[4] == 0) numbered_error(30);
    Vec3 y{};
    vector_mlt(ps_inv, x.elem_trans[k], y);
    const int32_t den = translation_denominator(y);
    if (den == 0) numbered_error(11);
    for (int i = 0; i < 3; ++i) rec[i] = static_cast<int32_t>(std::round(static_cast<double>(den) * y[i]));
    rec[3] = den;
    Mat3 m{};
    matrix_mlt(ops.op_rot(x.elem_op[k]), ps, m);
    matrix_mlt(ps_inv, m, m);
    for (int i = 0; i < 9; ++i) x.group_matrices[k - 1][i] = static_cast<int32_t>(std::round(m[i]));
  }

}

void Run::identify() {
  Search& x = search;
  GroupResult& g = group;
  const sgl::CommonSpace& space = sgl::common_space();
  const int32_t nops = x.group_nops;
  sgl::RationalVector origin{0, 0, 0, 1};
  int32_t sg = 0;
  id_spacegroup(space, nops, std::span<const sgl::SpaceOp>(x.group_space_ops.data(), nops),
                std::span<const sgl::Mat3i>(x.group_matrices.data(), nops), sg, x.id_basis, origin, 0,
                x.id_cache);
  if (sg == 0) numbered_error(35, {"space group not found"});
  g.sg_number = sg;
  g.id_origin = origin;
}

void Run::conventional_basis() {
  Search& x = search;
  GroupResult& g = group;
  const sgl::CommonSpace& space = sgl::common_space();
  const int32_t sg = g.sg_number;

  // The conventional basis: unit translations of setting "cinter" seen in setting "pml".
  for (int i = 1; i <= 3; ++i) {
    sgl::OpMatrix m{};
    for (int k = 1; k <= 4; ++k) sgl::m4(m, k, k) = 1;
    sgl::m4(m, i, 4) = 1;
    sgl::mat_change_setting(space, sg, "cinter", "pml", m);
    for (int k = 1; k <= 3; ++k)
      at(x.cinter_in_pml, k, i) = static_cast<double>(sgl::m4(m, k, 4)) / static_cast<double>(sgl::m4(m, 4, 4));
  }
  Mat3 basis{};
  for (int i = 0; i < 9; ++i) basis[i] = static_cast<double>(x.id_basis[i]);
  matrix_mlt(basis, x.cinter_in_pml, x.to_standard);
  int32_t err = 0;
  matrix_inverse(x.to_standard, g.to_standard_inv, err);
  if (err != 0) numbered_error(31);
  Mat3 m{};
  matrix_mlt(g.prim_in_cell, x.to_standard, m);
  matrix_mlt(s.cell, m, g.std_in_lattice);
  matrix_mlt(g.prim_strained, x.to_standard, x.std_cart);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      double sum = 0.0;
      for (int k = 1; k <= 3; ++k) sum += at(x.std_cart, k, i) * at(x.std_cart, k, j);
      at(g.std_metric, i, j) = sum;
    }
}

void Run::search_groups() {
  find_translations();
  // With superlattices only, a marked sublattice hides every later sublattice that it holds. When
  // the found translations are closed under composition, their whole set is the largest
  // sublattice and holds every other: it is taken up first, and the others are enumerated only
  // when it is left unmarked (the enumeration sorts it first again, so they follow from the
  // second place on).
  int32_t first = 1;
  if (s.superlattices_only && sublattice_of_all_translations()) {
    search_sublattice(1);
    if (tables.sublattice_mark(1)) return;
    first = 2;
  }
  enumerate_sublattices();
  for (int32_t cur = first; cur <= search.nsublattices; ++cur) search_sublattice(cur);
}

void Run::search_sublattice(int32_t cur) {
  if (!prepare_sublattice(cur)) return;
  find_point_operations();
  build_candidates();
  for (int32_t c = 1; c <= search.nsubgroups; ++c) {
    if (!prepare_candidate(c)) continue;
    if (!fit_group(c)) continue;
    close_group(c);
    report_group();
  }
}

}  // namespace cellsieve
