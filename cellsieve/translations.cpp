// The extra lattice translations of the structure: translations that are not translations of the
// input cell but map the structure onto itself within the displacement tolerance.
//
// Each candidate joins the first atom of the rarest type to another atom of that type. Every atom
// is sent to the nearest atom of its type; the candidate is kept when that is a permutation whose
// cycles have one common length n > 1, every cycle carries the same exact translation (n times
// it is a cell vector), and the symmetrised structure lies within rms < dmax of the input.
#include <span>

#include "cellsieve/errors.hpp"
#include "cellsieve/nearest_atoms.hpp"
#include "cellsieve/run.hpp"
#include "library/geometry/real_vector.hpp"

namespace cellsieve {

void write_both_units(std::string_view format, std::initializer_list<sgl::OutItem> items) {
  sgl::write_line(6, format, items);
  sgl::write_line(kLogUnit, format, items);
}

void Run::find_translations() {
  Search& x = search;
  AtomArrays& w = atoms;
  const int32_t n = s.natoms;
  x.nred = n;

  for (int32_t i = 1; i <= n; ++i) {
    Vec3 c{};
    vector_mlt(s.lattice, {s.atom_pos(1, i), s.atom_pos(2, i), s.atom_pos(3, i)}, c);
    set_column(w.atom_cart, i, c);
    set_column(w.atom_cart_input, i, c);
  }

  for (int unit : {6, kLogUnit}) {
    sgl::write_free(unit);
    sgl::write_line(unit, "(a37)", {"Looking for additional lattice points"});
  }

  x.ntrans = 1;
  set_column(tables.fract, 1, {0.0, 0.0, 0.0});
  for (int32_t a = 1; a <= n; ++a) tables.fract_image(a, 1) = a;

  // The rarest type: the first type whose count is below every count seen before.
  for (int32_t i = 1; i <= n; ++i) w.visited(i) = false;
  int32_t minimum = n + 1;
  for (int32_t i = 1; i <= n; ++i) {
    if (w.visited(i)) continue;
    int32_t count = 0;
    for (int32_t j = i; j <= n; ++j)
      if (s.atom_type(j) == s.atom_type(i)) {
        ++count;
        w.visited(j) = true;
      }
    if (count < minimum) {
      minimum = count;
      x.rarest_type = s.atom_type(i);
      x.rarest_first = i;
    }
  }

  auto near = [&](const Vec3& v) {
    Vec3 r{};
    near_origin(s.cell_cart_inv, s.cell_cart, v, r);
    return r;
  };

  const NearestAtoms nearest(s.cell_cart, s.cell_cart_inv, w.atom_cart, s.atom_type, n);
  bool any = false;
  const Vec3 first = column(w.atom_cart, x.rarest_first);
  for (int32_t j = x.rarest_first + 1; j <= n; ++j) {
    if (s.atom_type(j) != x.rarest_type) continue;
    Vec3 t{};
    vector_sub(column(w.atom_cart, j), first, t);
    t = near(t);

    // Images: the nearest atom of the same type (the lowest index on equal distances).
    for (int32_t k = 1; k <= n; ++k) {
      Vec3 u{};
      vector_add(column(w.atom_cart, k), t, u);
      Vec3 lat{};
      w.atom_image(k) = nearest.nearest(u, s.atom_type(k), lat);
      set_column(w.atom_shift, k, lat);
    }

    // A permutation whose cycles all have one length n > 1.
    for (int32_t k = 1; k <= n; ++k) w.visited(k) = false;
    int32_t cycle = 0;
    bool ok = true;
    for (int32_t k = 1; k <= n && ok; ++k) {
      if (w.visited(k)) continue;
      w.visited(k) = true;
      int32_t len = 1;
      int32_t cur = k;
      while (w.atom_image(cur) != k) {
        cur = w.atom_image(cur);
        if (w.visited(cur)) {
          ok = false;
          break;
        }
        w.visited(cur) = true;
        ++len;
      }
      if (!ok) break;
      if (k == 1) {
        if (len <= 1) ok = false;
        cycle = len;
      } else if (len != cycle) {
        ok = false;
      }
    }
    if (!ok) continue;
    const double inv = 1.0 / static_cast<double>(cycle);

    // The exact translation from the cycle of atom 1, and the same from every start.
    auto cycle_mean = [&](int32_t start) {
      Vec3 sum{0.0, 0.0, 0.0};
      int32_t cur = start;
      for (int32_t q = 0; q < cycle; ++q) {
        vector_add(sum, column(w.atom_shift, cur), sum);
        cur = w.atom_image(cur);
      }
      return Vec3{inv * sum[0], inv * sum[1], inv * sum[2]};
    };
    const Vec3 tau = cycle_mean(1);
    for (int32_t k = 1; k <= n && ok; ++k) {
      const Vec3 mean = cycle_mean(k);
      for (int c = 0; c < 3; ++c)
        if (!sgl::iszero(mean[c] - tau[c], 1e-10)) ok = false;
    }
    if (!ok) continue;

    // Symmetrised positions: each cycle carried back onto its first atom and averaged.
    for (int32_t k = 1; k <= n; ++k) w.visited(k) = false;
    for (int32_t k = 1; k <= n; ++k) {
      if (w.visited(k)) continue;
      Vec3 sum{0.0, 0.0, 0.0};
      Vec3 shift{0.0, 0.0, 0.0};
      int32_t cur = k;
      for (int32_t q = 0; q < cycle; ++q) {
        Vec3 v{};
        vector_add(column(w.atom_cart, cur), shift, v);
        vector_add(sum, v, sum);
        w.visited(cur) = true;
        vector_add(shift, column(w.atom_shift, cur), shift);
        vector_sub(shift, tau, shift);
        cur = w.atom_image(cur);
      }
      set_column(w.atom_fitted, k, {inv * sum[0], inv * sum[1], inv * sum[2]});
      cur = k;
      for (int32_t q = 0; q + 1 < cycle; ++q) {
        Vec3 p{};
        vector_add(column(w.atom_fitted, cur), tau, p);
        vector_sub(p, column(w.atom_shift, cur), p);
        cur = w.atom_image(cur);
        set_column(w.atom_fitted, cur, p);
      }
    }
    double sum2 = 0.0;
    for (int32_t k = 1; k <= n; ++k)
      for (int c = 1; c <= 3; ++c) {
        const double d = w.atom_fitted(c, k) - w.atom_cart(c, k);
        sum2 += d * d;
      }
    const double rms = std::sqrt(sum2 / static_cast<double>(n));
    if (!(rms < s.dmax)) continue;

    ++x.ntrans;
    if (x.ntrans > tables.max_fract) tables.allocate_fract();
    Vec3 f{};
    unitcell(s.cell_cart_inv, s.cell_cart, tau, f);
    set_column(tables.fract, x.ntrans, f);
    for (int32_t k = 1; k <= n; ++k) tables.fract_image(k, x.ntrans) = w.atom_image(k);
    if (!any) write_both_units("(3x,a11,24x,a12)", {"Coordinates", "rms position"});
    any = true;
    Vec3 v{};
    vector_mlt(s.lattice_inv, f, v);
    if (s.cell_inv_integral) sgl::zero_to_one(std::span<double, 3>(v));
    write_both_units("(3f10.5,5x,f10.5)", {v[0], v[1], v[2], rms});
  }
  if (!any) write_both_units("(2x,a10)", {"None found"});

  compose_translations();
}

// Only a k that carries atom 1 where the composition of i and j does can have its permutation, so
// the translations are chained by the image of atom 1 (in increasing order) and each composition
// is compared with its chain alone: the first match is the smallest k.
void Run::compose_translations() {
  Search& x = search;
  const int32_t n = s.natoms;
  std::vector<int32_t> first_with(static_cast<std::size_t>(n) + 1, 0);
  std::vector<int32_t> next_with(static_cast<std::size_t>(x.ntrans) + 1, 0);
  for (int32_t k = x.ntrans; k >= 1; --k) {
    const int32_t v = tables.fract_image(1, k);
    next_with[k] = first_with[v];
    first_with[v] = k;
  }
  for (int32_t i = 1; i <= x.ntrans; ++i) {
    const int32_t* pi = &tables.fract_image(1, i);
    for (int32_t j = 1; j <= x.ntrans; ++j) {
      const int32_t* pj = &tables.fract_image(1, j);
      int32_t found = 0;
      for (int32_t k = first_with[pj[pi[0] - 1]]; k != 0 && found == 0; k = next_with[k]) {
        const int32_t* pk = &tables.fract_image(1, k);
        int32_t a = 1;
        while (a < n && pk[a] == pj[pi[a] - 1]) ++a;
        if (a >= n) found = k;
      }
      tables.fract_sum(i, j) = found;
    }
  }
  for (int32_t i = 1; i < x.ntrans; ++i)
    for (int32_t j = i + 1; j <= x.ntrans; ++j)
      if (tables.fract_sum(i, j) != tables.fract_sum(j, i)) numbered_error(17);
}

}  // namespace cellsieve
