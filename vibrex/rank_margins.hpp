// How clearly the double-precision reduction of invariant subspaces decides their ranks. Each
// column it examines has a largest remaining entry, which becomes a pivot when it lies above the
// rank tolerance and is dropped as rounding otherwise; the margins are the smallest entry kept and
// the largest dropped. The program collects none; a measuring driver hands a collector to the run,
// and the sweep over all groups reports which runs come closest to the tolerance from either side.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace vibrex {

struct RankExtremes {
  double smallest_pivot = std::numeric_limits<double>::infinity();
  double largest_dropped = 0.0;
  int64_t reductions = 0;
  void note(double entry, bool kept) {
    if (kept)
      smallest_pivot = std::min(smallest_pivot, entry);
    else
      largest_dropped = std::max(largest_dropped, entry);
  }
};

struct RankMargins {
  // The reductions that decide a subspace (those the single-precision reduction cannot decide).
  RankExtremes deciding;
  // Every subspace: with this set, a subspace that single precision decides is also reduced in
  // double precision, its result only compared with the single-precision one: the subspaces whose
  // dimensions differ, and the largest difference of a basis entry where they agree.
  bool every_subspace = false;
  RankExtremes measured;
  int64_t other_dimension = 0;
  double largest_basis_difference = 0.0;
  void compare(int32_t ndim, const std::vector<float>& basis, int32_t ndouble, const std::vector<float>& twice) {
    if (ndim != ndouble) {
      ++other_dimension;
      return;
    }
    for (std::size_t i = 0; i < std::min(basis.size(), twice.size()); ++i)
      largest_basis_difference = std::max(largest_basis_difference, std::fabs(static_cast<double>(basis[i]) - twice[i]));
  }
};

}  // namespace vibrex
