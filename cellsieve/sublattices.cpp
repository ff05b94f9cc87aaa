// The sublattices: every set of found translations that holds the zero translation and is closed
// under composition, largest first; and, for one of them, its primitive basis, the coset
// representatives of the translations and the reduced structure (one averaged atom per orbit of
// the set's translations).
#include <cmath>
#include <vector>

#include "cellsieve/errors.hpp"
#include "cellsieve/real_equations.hpp"
#include "cellsieve/run.hpp"
#include "library/geometry/real_vector.hpp"

namespace cellsieve {

namespace {

void copy_sublattice(Tables& t, int32_t ntrans, int32_t from, int32_t to) {
  for (int32_t a = 1; a <= ntrans; ++a) t.sublattice_member(a, to) = t.sublattice_member(a, from);
  t.sublattice_points(to) = t.sublattice_points(from);
}

}  // namespace

void Run::enumerate_sublattices() {
  Search& x = search;
  Tables& t = tables;
  const int32_t nt = x.ntrans;
  x.nsublattices = 1;
  t.sublattice_points(1) = 1;
  t.sublattice_member(1, 1) = true;
  for (int32_t k = 2; k <= nt; ++k) t.sublattice_member(k, 1) = false;
  x.trans_done.assign(static_cast<std::size_t>(nt) + 1, 0);

  bool added = true;
  while (added) {
    added = false;
    for (int32_t k = 2; k <= nt; ++k) {
      const int32_t old = x.trans_done[k];
      x.trans_done[k] = x.nsublattices;
      const int32_t top = x.nsublattices;
      for (int32_t sl = old + 1; sl <= top; ++sl) {
        if (t.sublattice_member(k, sl)) continue;
        const int32_t nw = x.nsublattices + 1;
        for (int32_t a = 1; a <= nt; ++a) t.sublattice_member(a, nw) = t.sublattice_member(a, sl);
        t.sublattice_member(k, nw) = true;
        bool abandoned = false;
        bool grew = true;
        while (grew && !abandoned) {
          grew = false;
          for (int32_t a = 1; a <= nt && !abandoned; ++a) {
            if (!t.sublattice_member(a, nw)) continue;
            for (int32_t b = a; b <= nt; ++b) {
              if (!t.sublattice_member(b, nw)) continue;
              const int32_t c = t.fract_sum(a, b);
              if (c == 0) {
                abandoned = true;
                break;
              }
              if (!t.sublattice_member(c, nw)) {
                t.sublattice_member(c, nw) = true;
                grew = true;
              }
            }
          }
        }
        if (abandoned) continue;
        int32_t count = 0;
        for (int32_t a = 1; a <= nt; ++a) count += t.sublattice_member(a, nw) ? 1 : 0;
        t.sublattice_points(nw) = count;
        bool duplicate = false;
        for (int32_t g = 1; g <= x.nsublattices && !duplicate; ++g) {
          if (t.sublattice_points(g) != count) continue;
          bool same = true;
          for (int32_t a = 1; a <= nt && same; ++a)
            same = t.sublattice_member(a, g) == t.sublattice_member(a, nw);
          duplicate = same;
        }
        if (duplicate) continue;
        ++x.nsublattices;
        if (x.nsublattices + 1 > t.max_sublattices) t.allocate_sublattice();
        added = true;
      }
    }
  }

  // Stable insertion sort by decreasing point count, through the scratch entry.
  const int32_t scratch = x.nsublattices + 1;
  for (int32_t m = 2; m <= x.nsublattices; ++m) {
    int32_t q = 1;
    while (q < m && t.sublattice_points(q) >= t.sublattice_points(m)) ++q;
    if (q == m) continue;
    copy_sublattice(t, nt, m, scratch);
    for (int32_t j = m - 1; j >= q; --j) copy_sublattice(t, nt, j, j + 1);
    copy_sublattice(t, nt, scratch, q);
  }
  for (int32_t sl = 1; sl <= x.nsublattices; ++sl) t.sublattice_mark(sl) = false;
}

bool Run::prepare_sublattice(int32_t cur) {
  Search& x = search;
  Tables& t = tables;
  AtomArrays& w = atoms;
  const int32_t nt = x.ntrans;

  if (s.superlattices_only && cur >= 2) {
    for (int32_t j = 1; j < cur; ++j) {
      if (!t.sublattice_mark(j)) continue;
      bool inside = true;
      for (int32_t a = 1; a <= nt && inside; ++a)
        if (t.sublattice_member(a, cur) && !t.sublattice_member(a, j)) inside = false;
      if (inside) return false;
    }
  }
  group.cur_sublattice = cur;

  // Candidate vectors: the cell vectors, then the translations of the sublattice.
  const int32_t points = t.sublattice_points(cur);
  x.prim_volume = s.cell_volume / static_cast<double>(points);
  int32_t ncand = 0;
  for (int j = 1; j <= 3; ++j) set_column(w.candidates, ++ncand, mat_column(s.cell_cart, j));
  for (int32_t k = 2; k <= nt; ++k)
    if (t.sublattice_member(k, cur)) set_column(w.candidates, ++ncand, column(t.fract, k));

  bool found = false;
  for (int32_t i = 1; i <= ncand && !found; ++i)
    for (int32_t j = i + 1; j <= ncand && !found; ++j)
      for (int32_t k = j + 1; k <= ncand && !found; ++k) {
        Mat3 b{};
        for (int r = 1; r <= 3; ++r) {
          at(b, r, 1) = w.candidates(r, i);
          at(b, r, 2) = w.candidates(r, j);
          at(b, r, 3) = w.candidates(r, k);
        }
        const double d = detmat(b);
        if (!sgl::iszero(x.prim_volume - std::fabs(d), 1e-10 * x.prim_volume)) continue;
        Mat3 binv{};
        int32_t err = 0;
        matrix_inverse(b, binv, err);
        if (err != 0) continue;
        bool integral = true;
        for (int32_t p = 1; p <= ncand && integral; ++p) {
          Vec3 y{};
          vector_mlt(binv, column(w.candidates, p), y);
          for (double v : y)
            if (!(std::fabs(v - std::round(v)) < 1e-10)) integral = false;
        }
        if (!integral) continue;
        x.prim_basis = b;
        x.prim_basis_inv = binv;
        found = true;
      }
  if (!found) numbered_error(8, {"Numerical failure:  no primitive basis found for the lattice translations"});

  for (int c = 1; c <= 3; ++c) x.prim_length[c - 1] = length(mat_column(x.prim_basis, c));
  matrix_mlt(s.cell_cart_inv, x.prim_basis, x.prim_in_cell);
  matrix_mlt(x.prim_basis_inv, s.cell_cart, x.cell_in_prim);
  matrix_mlt(s.cell, x.prim_in_cell, x.prim_in_lattice);
  group.prim_in_cell = x.prim_in_cell;

  for (int unit : {6, kLogUnit}) {
    sgl::write_free(unit);
    sgl::write_line(unit, "(a39)", {"Basis vectors of the primitive lattice:"});
  }
  for (int c = 1; c <= 3; ++c)
    write_both_units("(3f10.5)", {at(x.prim_in_lattice, 1, c), at(x.prim_in_lattice, 2, c),
                                  at(x.prim_in_lattice, 3, c)});

  // Coset representatives.
  std::vector<bool> covered(static_cast<std::size_t>(nt) + 1, false);
  x.ncoset = 0;
  for (int32_t k = 1; k <= nt; ++k) {
    if (covered[k]) continue;
    t.fract_rep(x.ncoset + 1) = k;
    bool complete = true;
    for (int32_t a = 1; a <= nt; ++a) {
      if (!t.sublattice_member(a, cur)) continue;
      const int32_t c = t.fract_sum(k, a);
      if (c == 0)
        complete = false;
      else
        covered[c] = true;
    }
    if (complete) ++x.ncoset;
  }

  // The reduced structure: one averaged atom per orbit of the sublattice's translations.
  const int32_t n = s.natoms;
  std::vector<bool> marked(static_cast<std::size_t>(n) + 1, false);
  x.nred = 0;
  for (int32_t a = 1; a <= n; ++a) {
    if (marked[a]) continue;
    ++x.nred;
    w.atom_orbit(a) = x.nred;
    Vec3 sum = column(w.atom_cart_input, a);
    s.atom_type(x.nred) = s.atom_type_input(a);
    for (int32_t tr = 2; tr <= nt; ++tr) {
      if (!t.sublattice_member(tr, cur)) continue;
      const int32_t b = t.fract_image(a, tr);
      if (marked[b]) numbered_error(19);
      marked[b] = true;
      w.atom_orbit(b) = x.nred;
      Vec3 p{};
      vector_sub(column(w.atom_cart_input, b), column(t.fract, tr), p);
      Vec3 d{};
      vector_sub(p, column(w.atom_cart_input, a), d);
      Vec3 nd{};
      near_origin(s.cell_cart_inv, s.cell_cart, d, nd);
      vector_sub(d, nd, d);
      vector_sub(p, d, p);
      vector_add(sum, p, sum);
    }
    const double np = static_cast<double>(points);
    Vec3 mean = {sum[0] / np, sum[1] / np, sum[2] / np};
    unitcell(x.prim_basis_inv, x.prim_basis, mean, mean);
    set_column(w.atom_cart, x.nred, mean);
  }
  group.nred = x.nred;

  // Images of the reduced atoms under the representatives.
  std::vector<int32_t> first_atom(static_cast<std::size_t>(x.nred) + 1, 0);
  for (int32_t a = n; a >= 1; --a) first_atom[w.atom_orbit(a)] = a;
  for (int32_t i = 1; i <= x.ncoset; ++i) {
    const int32_t r = t.fract_rep(i);
    for (int32_t m = 1; m <= x.nred; ++m) {
      const int32_t a = first_atom[m];
      if (a == 0) numbered_error(22);
      t.rep_image(m, r) = w.atom_orbit(t.fract_image(a, r));
    }
  }
  return true;
}

}  // namespace cellsieve
