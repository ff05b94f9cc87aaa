// Free-format output lines.
#include "library/text_io.hpp"

namespace sgl {

void write_free(int, std::span<const OutItem>) {}
void write_free(int unit, std::initializer_list<OutItem> items) {
  write_free(unit, std::span<const OutItem>(items.begin(), items.size()));
}

}  // namespace sgl
