// The lattice-pair search taken literally, the reference of Run::search: every crystal-1 triple
// and every crystal-2 triple of the candidate ranges in turn, each with its exact determinant
// and one progress-timer read, in the order of the search.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "duopath/crystal1_triples.hpp"
#include "duopath/run.hpp"
#include "library/geometry/real_vector.hpp"

namespace duopath_test {

// Whether the Cartesian distance of crystal-2 vectors ja and jb over crystal 1's pair distance
// q (0: (2, 1), 1: (3, 1), 2: (3, 2)) lies within the strain bounds.
inline bool pair_distance_fits(const duopath::Run& r, int q, int32_t ja, int32_t jb) {
  const duopath::ShortVectorList& list2 = r.short_lists[1];
  std::array<double, 3> d{};
  sgl::dvsub(list2.cartesian[static_cast<std::size_t>(ja - 1)], list2.cartesian[static_cast<std::size_t>(jb - 1)], d, 3);
  const double ratio = sgl::vlength(3, d) / r.pair.pair_distances1[q];
  return ratio >= r.settings.min_strain && ratio <= r.settings.max_strain;
}

// The crystal-2 triples of the current trial lattice.
inline void crystal2_triples_literal(duopath::Run& r) {
  std::array<int32_t, 3> lo{}, hi{};
  if (!r.candidate_ranges(lo, hi)) return;
  const int64_t atoms1 = static_cast<int64_t>(r.prepared[0].atom_count) * r.pair.cell_size;
  for (int32_t j1 = lo[0]; j1 <= hi[0]; ++j1) {
    if (!r.column_fits(0, j1)) continue;
    for (int32_t j2 = lo[1]; j2 <= hi[1]; ++j2) {
      if (!r.column_fits(1, j2) || j2 == j1) continue;
      for (int32_t j3 = lo[2]; j3 <= hi[2]; ++j3) {
        if (!r.column_fits(2, j3)) continue;
        r.timer.tick();
        if (j3 == j1 || j3 == j2) continue;
        r.set_crystal2_triple(j1, j2, j3);
        const int64_t size = duopath::cell_determinant(r.pair.cell2);
        if (size <= 0 || atoms1 != static_cast<int64_t>(r.prepared[1].atom_count) * size) continue;
        r.pair.cell2_size = static_cast<int32_t>(size);
        if (!pair_distance_fits(r, 0, j2, j1) || !pair_distance_fits(r, 1, j3, j1) || !pair_distance_fits(r, 2, j3, j2))
          continue;
        r.examine_pair();
      }
    }
  }
}

// The whole search: cell sizes, trial lattices, their crystal-2 triples.
inline void search_literal(duopath::Run& r) {
  r.trial_lattices.clear();
  r.known_lattices.clear();
  const int32_t nsv1 = r.short_lists[0].count();
  for (int32_t n = std::max(r.settings.min_size, 1); n <= r.settings.max_size; ++n) {
    for (int32_t v = 3; v <= nsv1; ++v) {
      const bool go_on = duopath::triples_at(v, r.settings.lattice_given, [&](int32_t i1, int32_t i2, int32_t i3) {
        r.timer.tick();
        r.set_crystal1_triple(i1, i2, i3);
        if (duopath::cell_determinant(r.pair.cell1) != n) return true;
        const duopath::Run::TrialOutcome outcome = r.trial_lattice(n);
        if (outcome == duopath::Run::TrialOutcome::table_full) return false;
        if (outcome == duopath::Run::TrialOutcome::accepted) crystal2_triples_literal(r);
        return true;
      });
      if (!go_on) return;
    }
  }
}

}  // namespace duopath_test
