// Checked integer arithmetic: overflow stops the run instead of wrapping.
#include "library/exact/checked_int.hpp"

#include <limits>
#include <numeric>
#include <string>

#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace sgl {

void overflow_stop(const char* routine) {
  bomb_with_message({std::string("Error: integer overflow in ") + routine});
}

int64_t factor64(std::span<int64_t> v, const char* routine) {
  int64_t g = 0;
  for (int64_t e : v) {
    // The magnitude of the most negative value has no 64-bit representation.
    if (e == std::numeric_limits<int64_t>::min()) overflow_stop(routine);
    g = std::gcd(g, e);
  }
  if (g < 2) return 1;
  for (int64_t& e : v) e /= g;
  return g;
}

}  // namespace sgl
