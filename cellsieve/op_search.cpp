// The point operations that map the reduced structure of the current sublattice onto itself:
// for each of the 64 operations, the smallest strain that makes it a symmetry of the primitive
// lattice (rms strain <= smax), then the best of the candidate translations (from the atoms of
// the rarest type) whose nearest-atom matching is a permutation with cycle lengths dividing the
// operation's order; the operation is accepted when the rms of the best one's smallest
// displacements is below dmax. Accepted operations are printed and kept with their fitted
// translation and permutation.
//
// The best translation: the candidates are taken in order, and a later one replaces the one kept
// only when its rms is smaller by more than the zero tolerance (1e-10); rms values that differ by
// less (equal up to rounding, or nearly equal) keep the earlier candidate. Once the kept rms is
// below the tolerance no later candidate can beat it by that much, and the search ends.
//
// The best translation is taken, not the first that fits: in a supercell the rms over all atoms
// lets a wrong translation through (one that moves a single defect far), and an operation stored
// with it no longer composes with the others into the structure's exact group.
#include <limits>
#include <span>
#include <vector>

#include "cellsieve/displacement_fit.hpp"
#include "cellsieve/real_equations.hpp"
#include "cellsieve/run.hpp"
#include "library/geometry/real_vector.hpp"

namespace cellsieve {

void Run::find_point_operations() {
  Search& x = search;
  AtomArrays& w = atoms;
  Tables& t = tables;
  const int32_t nred = x.nred;
  write_both_units("(a35)", {"Looking for elements of space group"});
  x.nops = 0;
  x.header_written = false;

  std::vector<Vec3> sp(static_cast<std::size_t>(nred) + 1);  // strained positions
  std::vector<int32_t> best_image(static_cast<std::size_t>(nred) + 1);
  for (int32_t k = 1; k <= kOpCount; ++k) {
    const Mat3& r = ops.op_rot(k);
    const Mat3 m = integer_matrix(x.prim_basis, x.prim_basis_inv, r);

    // Strain.
    int32_t neq = 0;
    start_strain_equations(t, x.prim_basis_inv, x.prim_length, neq);
    append_strain_equations(t, x.prim_basis, x.prim_length, r, m, neq);
    Mat3 d{};
    if (!fit_strain(t, neq, x.prim_length, d)) continue;
    const double rms_strain = rms_strain_of(x.prim_basis_inv, d);
    if (!(rms_strain <= s.smax)) continue;

    Mat3 ps{};
    for (int i = 0; i < 9; ++i) ps[i] = x.prim_basis[i] + d[i];
    for (int32_t a = 1; a <= nred; ++a) {
      Vec3 v{};
      vector_mlt(x.prim_basis_inv, column(w.atom_cart, a), v);
      vector_mlt(ps, v, sp[a]);
    }
    Mat3 ps_inv{};
    int32_t err = 0;
    matrix_inverse(ps, ps_inv, err);
    if (err != 0 || nred == 0) continue;
    auto near = [&](const Vec3& v) {
      Vec3 o{};
      near_origin(ps_inv, ps, v, o);
      return o;
    };

    const int32_t r0 = w.atom_orbit(x.rarest_first);
    Vec3 q{};
    vector_mlt(r, sp[r0], q);
    double best_rms = std::numeric_limits<double>::infinity();
    Vec3 best_tr{};
    // A later candidate replaces the best only when it is smaller by more than the zero
    // tolerance; once the best is below it, no later candidate can, and the search stops.
    for (int32_t cand = 1; cand <= nred && !(best_rms < zero_tol); ++cand) {
      if (s.atom_type(cand) != x.rarest_type) continue;
      Vec3 tr{};
      vector_sub(sp[cand], q, tr);
      tr = near(tr);

      // Matching: the nearest atom of the same type, the lowest index on equal distances.
      for (int32_t i = 1; i <= nred; ++i) {
        Vec3 y{};
        vector_mlt(r, sp[i], y);
        vector_add(y, tr, y);
        int32_t best = 0;
        double best_d = 0.0;
        for (int32_t mm = 1; mm <= nred; ++mm) {
          if (s.atom_type(mm) != s.atom_type(i)) continue;
          Vec3 v{};
          vector_sub(y, sp[mm], v);
          const double dist = length(near(v));
          if (best == 0 || dist < best_d) {
            best = mm;
            best_d = dist;
          }
        }
        w.atom_image(i) = best;
      }

      // A permutation whose cycle lengths divide the order of the operation.
      for (int32_t i = 1; i <= nred; ++i) w.visited(i) = false;
      bool ok = true;
      for (int32_t s0 = 1; s0 <= nred && ok; ++s0) {
        if (w.visited(s0)) continue;
        w.visited(s0) = true;
        int32_t len = 1;
        int32_t cur = s0;
        while (w.atom_image(cur) != s0) {
          cur = w.atom_image(cur);
          ++len;
          if (w.visited(cur)) {
            ok = false;
            break;
          }
          w.visited(cur) = true;
        }
        if (ok && ops.op_order(k) % len != 0) ok = false;
      }
      if (!ok) continue;

      // Displacements: R (s(a) + u(a)) + t + c = s(b) + u(b) modulo the strained lattice for every
      // atom a and its image b, the translation correction c free, the u of smallest norm; the
      // cycles of the permutation are the orbits.
      DisplacementProblem prob;
      prob.nred = nred;
      prob.rot = {r};
      prob.image.assign(1, std::vector<int32_t>(static_cast<std::size_t>(nred) + 1, 0));
      prob.resid.assign(1, std::vector<Vec3>(static_cast<std::size_t>(nred) + 1));
      for (int32_t a = 1; a <= nred; ++a) {
        const int32_t b = w.atom_image(a);
        Vec3 v{};
        vector_mlt(r, sp[a], v);
        vector_add(v, tr, v);
        vector_sub(v, sp[b], v);
        prob.image[0][a] = b;
        prob.resid[0][a] = near(v);
      }
      for (int32_t i = 1; i <= nred; ++i) w.visited(i) = false;
      for (int32_t s0 = 1; s0 <= nred; ++s0) {
        if (w.visited(s0)) continue;
        std::vector<int32_t> cycle;
        for (int32_t a = s0; !w.visited(a); a = w.atom_image(a)) {
          w.visited(a) = true;
          cycle.push_back(a);
        }
        prob.orbits.push_back(std::move(cycle));
      }
      DisplacementSolution fit;
      if (!fit_displacements(t, prob, fit)) continue;
      for (int32_t a = 1; a <= nred; ++a) w.atom_place(fit.place[a]) = a;
      for (int c = 0; c < 3; ++c) tr[c] += fit.corr[0][c];
      for (int32_t a = 1; a <= nred; ++a)
        set_column(w.atom_fitted, a, {sp[a][0] + fit.disp[a][0], sp[a][1] + fit.disp[a][1], sp[a][2] + fit.disp[a][2]});

      const double rms_position = Run::rms_position(ps, ps_inv, w.atom_fitted);
      if (!(rms_position < best_rms - zero_tol)) continue;
      best_rms = rms_position;
      best_tr = tr;
      for (int32_t i = 1; i <= nred; ++i) best_image[i] = w.atom_image(i);
    }
    if (!(best_rms < s.dmax)) continue;

    ++x.nops;
    x.oplist[x.nops] = k;
    x.optrans[k] = best_tr;
    for (int32_t i = 1; i <= nred; ++i) w.opperm(i, k) = best_image[i];
    group.rms_position = best_rms;
    group.rms_strain = rms_strain;
    group.prim_strained = ps;
    group.prim_strained_inv = ps_inv;
    if (!x.header_written) {
      x.header_written = true;
      write_both_units("(a8,38x,a12,3x,a10)", {"Operator", "rms position", "rms strain"});
    }
    Vec3 v{};
    vector_mlt(ps_inv, best_tr, v);
    vector_mlt(x.prim_in_cell, v, v);
    vector_mlt(s.cell, v, v);
    if (s.cell_inv_integral) sgl::zero_to_one(std::span<double, 3>(v));
    write_both_units("(a6,2x,3f10.5,5x,f10.5,5x,f10.5)",
                     {ops.op_name(k), v[0], v[1], v[2], best_rms, rms_strain});
  }
}

}  // namespace cellsieve
