// The program's two blocks of shared data tables.
#include "library/common_space.hpp"
#include "library/common_wyckoff.hpp"

namespace sgl {

CommonSpace& common_space() {
  static CommonSpace block;
  return block;
}

CommonWyckoff& common_wyckoff() {
  static CommonWyckoff block;
  return block;
}

}  // namespace sgl
