// The order in which the search takes the triples of crystal 1's short vectors.
#pragma once

#include <cstdint>

namespace duopath {

// Calls take(i1, i2, i3) for each crystal-1 triple whose newest vector is v, in the order of the
// search (with a given lattice only (1, 2, 3)); false as soon as take returns false.
template <typename Take>
bool triples_at(int32_t v, bool given, Take&& take) {
  for (int32_t i1 = 1; i1 <= v - 2; ++i1) {
    if (given && i1 != 1) continue;
    for (int32_t i2 = i1 + 1; i2 <= v; ++i2) {
      if (given && i2 != 2) continue;
      // Each triple is taken at its newest vector: unless i2 is v, only i3 = v remains.
      for (int32_t i3 = (i2 == v ? i1 + 1 : v); i3 <= v; ++i3) {
        if (given && i3 != 3) continue;
        if (!take(i1, i2, i3)) return false;
      }
    }
  }
  return true;
}

}  // namespace duopath
