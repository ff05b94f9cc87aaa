// The coset representatives of a sublattice in the primitive lattice of a space group.
#include "library/groups/get_new_fractionals.hpp"

#include <cstdlib>

#include "library/exact/arithmetic.hpp"
#include "library/exact/checked_int.hpp"
#include "library/text/bomb.hpp"

namespace sgl {

void get_new_fractionals(const Mat3i& cell, int32_t& count, std::span<RationalVector> fractionals) {
  static constexpr const char* kRoutine = "get_new_fractionals";
  Mat3i inverse;
  int32_t d = 0;
  matinv(cell, inverse, d);  // only the denominator d is used
  const int64_t expected = std::llabs(static_cast<int64_t>(ndet(cell)));
  count = 0;
  // The sublattice coordinates of every lattice vector are multiples of 1/d, so the points
  // cell (i, j, k) / d with integer components are the lattice vectors of the cell, each once.
  for (int32_t i = 0; i < d; ++i) {
    for (int32_t j = 0; j < d; ++j) {
      for (int32_t k = 0; k < d; ++k) {
        RationalVector v{};
        for (int r = 1; r <= 3; ++r) {
          int64_t s = mul64(m3(cell, r, 1), i, kRoutine);
          s = add64(s, mul64(m3(cell, r, 2), j, kRoutine), kRoutine);
          s = add64(s, mul64(m3(cell, r, 3), k, kRoutine), kRoutine);
          v[r - 1] = narrow32(s, kRoutine);
        }
        v[3] = d;
        reduc2(v);
        if (v[3] != 1) continue;
        if (count >= expected || static_cast<std::size_t>(count) >= fractionals.size()) bomb();
        fractionals[static_cast<std::size_t>(count)] = {v[0], v[1], v[2], 1};
        ++count;
      }
    }
  }
  if (count != expected) bomb();
}

}  // namespace sgl
