// The fit of one candidate group: the smallest strain of the primitive basis that makes every
// generator's rotation a lattice symmetry (rms strain <= smax), the orbits of the reduced atoms,
// and the smallest displacements (with corrections of the generators' translations) that make
// the reduced structure exactly symmetric (rms position <= dmax); then the scope marks.
#include <vector>

#include "cellsieve/displacement_fit.hpp"
#include "cellsieve/errors.hpp"
#include "cellsieve/real_equations.hpp"
#include "cellsieve/run.hpp"

namespace cellsieve {

bool Run::fit_group(int32_t c) {
  Search& x = search;
  Tables& t = tables;
  AtomArrays& w = atoms;
  GroupResult& g = group;
  const int32_t ngen = t.subgroup_ngens(c);
  const int32_t nred = x.nred;

  // Strain.
  int32_t neq = 0;
  start_strain_equations(t, x.prim_basis_inv, x.prim_length, neq);
  for (int32_t j = 1; j <= ngen; ++j) {
    const Mat3& r = ops.op_rot(t.gen_op(j));
    const Mat3 n = integer_matrix(x.prim_basis, x.prim_basis_inv, r);
    append_strain_equations(t, x.prim_basis, x.prim_length, r, n, neq);
  }
  Mat3 d{};
  if (!fit_strain(t, neq, x.prim_length, d)) return false;
  g.rms_strain = rms_strain_of(x.prim_basis_inv, d);
  if (!(g.rms_strain <= s.smax)) return false;
  Mat3& ps = g.prim_strained;
  for (int i = 0; i < 9; ++i) ps[i] = x.prim_basis[i] + d[i];
  for (int32_t a = 1; a <= nred; ++a) {
    Vec3 v{};
    vector_mlt(x.prim_basis_inv, column(w.atom_cart, a), v);
    vector_mlt(ps, v, v);
    set_column(w.atom_sym, a, v);
  }
  int32_t err = 0;
  matrix_inverse(ps, g.prim_strained_inv, err);
  if (err != 0) return false;
  const Mat3& ps_inv = g.prim_strained_inv;
  auto reduce = [&](const Vec3& v) {
    Vec3 o{};
    near_origin(ps_inv, ps, v, o);
    return o;
  };

  // Orbits of the reduced atoms under the elements of the group, members in the order reached.
  std::vector<int32_t> orbit_of(static_cast<std::size_t>(nred) + 1, 0);
  g.orbit_count = 0;
  for (int32_t n = 1; n <= nred; ++n) {
    if (orbit_of[n] != 0) continue;
    const int32_t k = ++g.orbit_count;
    int32_t size = 0;
    for (int32_t e : x.members[c - 1]) {
      const int32_t m = x.action(n, e);
      if (orbit_of[m] != 0) continue;
      orbit_of[m] = k;
      ++size;
      if (size > w.orbit_members.rows()) w.orbit_members.resize_keeping(2 * w.orbit_members.rows(), s.natoms);
      w.orbit_members(size, k) = m;
    }
    w.orbit_size(k) = size;
  }

  // Displacements: R_g (x_a + d_a) + t_g + c_g = x_b + d_b modulo the strained lattice, for every
  // reduced atom a and generator g, b the image of a; the d of smallest norm, c free.
  DisplacementProblem prob;
  prob.ngen = ngen;
  prob.nred = nred;
  prob.image.assign(static_cast<std::size_t>(ngen), std::vector<int32_t>(static_cast<std::size_t>(nred) + 1, 0));
  prob.resid.assign(static_cast<std::size_t>(ngen), std::vector<Vec3>(static_cast<std::size_t>(nred) + 1));
  for (int32_t k = 1; k <= g.orbit_count; ++k) {
    std::vector<int32_t> members;
    for (int32_t q = 1; q <= w.orbit_size(k); ++q) members.push_back(w.orbit_members(q, k));
    prob.orbits.push_back(members);
  }
  for (int32_t j = 1; j <= ngen; ++j) {
    const Mat3& r = ops.op_rot(t.gen_op(j));
    prob.rot.push_back(r);
    for (const auto& orbit : prob.orbits)
      for (int32_t a : orbit) {
        const int32_t b = t.rep_image(w.opperm(a, t.gen_op(j)), t.gen_fract_index(j));
        if (orbit_of[b] != orbit_of[a]) numbered_error(26);
        Vec3 v{};
        vector_mlt(r, column(w.atom_sym, a), v);
        vector_add(v, column(t.gen_trans, j), v);
        vector_sub(v, column(w.atom_sym, b), v);
        prob.image[j - 1][a] = b;
        prob.resid[j - 1][a] = reduce(v);
      }
  }
  DisplacementSolution fit;
  if (!fit_displacements(t, prob, fit)) return false;
  for (int32_t a = 1; a <= nred; ++a) w.atom_place(fit.place[a]) = a;
  for (int32_t j = 1; j <= ngen; ++j)
    for (int kk = 1; kk <= 3; ++kk) t.gen_trans(kk, j) += fit.corr[j - 1][kk - 1];
  for (int32_t a = 1; a <= nred; ++a)
    for (int kk = 1; kk <= 3; ++kk) w.atom_sym(kk, a) += fit.disp[a][kk - 1];

  g.rms_position = rms_position(ps, ps_inv, w.atom_sym);
  if (!(g.rms_position <= s.dmax)) return false;

  if ((g.rms_position < s.dmin && g.rms_strain < s.smin) || s.supergroups_only) t.subgroup_mark(c) = true;
  if (s.superlattices_only) t.sublattice_mark(g.cur_sublattice) = true;
  return true;
}

}  // namespace cellsieve
