// Literal algorithms of the search, kept as the references of the faster versions in the program:
// the nearest atom by a scan of every atom of the type, the composition table of the translations
// by comparing every composition with every translation, and the closed sets of an element table
// (the sublattices of the translations, the candidate groups of the elements) by sweeps over all
// pairs of members, a duplicate test over all earlier sets and an insertion sort.
#pragma once

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "cellsieve/run.hpp"

namespace cellsieve::testing {

// The atom of type `type` nearest to u, the lowest index among equal distances, and its lattice
// part: every atom of the type measured in increasing order, a later one taken only when strictly
// nearer.
inline int32_t literal_nearest(const Mat3& basis, const Mat3& basis_inv, const Grid<double>& cart,
                               const Grid<int32_t>& types, int32_t n, const Vec3& u, int32_t type, Vec3& lattice_part) {
  int32_t best = 0;
  double best_d = 0.0;
  for (int32_t m = 1; m <= n; ++m) {
    if (types(m) != type) continue;
    Vec3 v{};
    vector_sub(u, column(cart, m), v);
    Vec3 d{};
    near_origin(basis_inv, basis, v, d);
    const double dist = length(d);
    if (best == 0 || dist < best_d) {
      best = m;
      best_d = dist;
      vector_sub(v, d, lattice_part);
    }
  }
  return best;
}

// The composition table of the run's translations (fract_image, ntrans): for each i and j the
// smallest k whose permutation is i followed by j, 0 when there is none; by rows i, then j.
inline std::vector<int32_t> literal_compositions(const Run& run) {
  const Tables& t = run.tables;
  const int32_t nt = run.search.ntrans, n = run.s.natoms;
  std::vector<int32_t> table;
  for (int32_t i = 1; i <= nt; ++i)
    for (int32_t j = 1; j <= nt; ++j) {
      int32_t found = 0;
      for (int32_t k = 1; k <= nt && found == 0; ++k) {
        bool same = true;
        for (int32_t a = 1; a <= n && same; ++a) same = t.fract_image(a, k) == t.fract_image(t.fract_image(a, i), j);
        if (same) found = k;
      }
      table.push_back(found);
    }
  return table;
}

// The closed sets of elements 1..n under product(a, b) (0: no product) as the literal
// enumeration and sort give them, starting from {1}: member sets (as membership flags 1..n) in
// final order.
template <typename Product>
std::vector<std::vector<bool>> literal_closed_sets(int32_t n, Product&& product) {
  std::vector<std::vector<bool>> sets(1, std::vector<bool>(static_cast<std::size_t>(n) + 1, false));
  sets[0][1] = true;
  std::vector<int32_t> done(static_cast<std::size_t>(n) + 1, 0);
  bool added = true;
  while (added) {
    added = false;
    for (int32_t e = 2; e <= n; ++e) {
      const int32_t old = done[e];
      const int32_t top = static_cast<int32_t>(sets.size());
      done[e] = top;
      for (int32_t s = old + 1; s <= top; ++s) {
        if (sets[s - 1][e]) continue;
        std::vector<bool> g = sets[s - 1];
        g[e] = true;
        // Sweeps over the members a and the members b >= a, in increasing order, membership as it
        // is at that moment (an ordered set visits members added behind the position).
        std::set<int32_t> members;
        for (int32_t m = 1; m <= n; ++m)
          if (g[m]) members.insert(m);
        bool abandoned = false, grew = true;
        while (grew && !abandoned) {
          grew = false;
          for (auto a = members.begin(); a != members.end() && !abandoned; ++a)
            for (auto b = members.find(*a); b != members.end() && !abandoned; ++b) {
              const int32_t c = product(*a, *b);
              if (c == 0) {
                abandoned = true;
              } else if (!g[c]) {
                g[c] = grew = true;
                members.insert(c);
              }
            }
        }
        if (abandoned) continue;
        bool duplicate = false;
        for (const auto& h : sets) duplicate = duplicate || h == g;
        if (duplicate) continue;
        sets.push_back(g);
        added = true;
      }
    }
  }
  auto order = [](const std::vector<bool>& g) { return std::count(g.begin(), g.end(), true); };
  for (std::size_t m = 1; m < sets.size(); ++m) {
    std::size_t q = 0;
    while (q < m && order(sets[q]) >= order(sets[m])) ++q;
    auto moving = sets[m];
    for (std::size_t j = m; j > q; --j) sets[j] = sets[j - 1];
    sets[q] = moving;
  }
  return sets;
}

// The sublattices of the run's composition table (fract_sum, ntrans), literally.
inline std::vector<std::vector<bool>> literal_sublattices(const Run& run) {
  return literal_closed_sets(run.search.ntrans,
                             [&](int32_t a, int32_t b) { return run.tables.fract_sum(a, b); });
}

// Writes sets (as literal_sublattices gives them) into the run's sublattice tables, marks cleared,
// as the enumeration leaves them.
inline void install_sublattices(Run& run, const std::vector<std::vector<bool>>& sets) {
  Tables& t = run.tables;
  while (t.max_sublattices < static_cast<int32_t>(sets.size()) + 1) t.allocate_sublattice();
  run.search.nsublattices = static_cast<int32_t>(sets.size());
  for (int32_t s = 1; s <= run.search.nsublattices; ++s) {
    int32_t points = 0;
    for (int32_t a = 1; a <= run.search.ntrans; ++a) {
      t.sublattice_member(a, s) = sets[s - 1][a];
      points += sets[s - 1][a] ? 1 : 0;
    }
    t.sublattice_points(s) = points;
    t.sublattice_mark(s) = false;
  }
}

}  // namespace cellsieve::testing
