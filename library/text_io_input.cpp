// Line input, fixed-field reads and free-format reads.
#include "library/text_io.hpp"

namespace sgl {

ReadOutcome read_line(int, std::string_view, std::span<const InItem>, ReadHandling) {
  return ReadOutcome::end;
}
ReadOutcome read_line(int unit, std::string_view format, std::initializer_list<InItem> items,
                      ReadHandling handling) {
  return read_line(unit, format, std::span<const InItem>(items.begin(), items.size()), handling);
}
ReadOutcome read_free(int, std::span<const InItem>, ReadHandling) { return ReadOutcome::end; }
ReadOutcome read_free(int unit, std::initializer_list<InItem> items, ReadHandling handling) {
  return read_free(unit, std::span<const InItem>(items.begin(), items.size()), handling);
}
ReadOutcome read_free_text(std::string_view, std::span<const InItem>, ReadHandling) {
  return ReadOutcome::end;
}
ReadOutcome read_free_text(std::string_view text, std::initializer_list<InItem> items,
                           ReadHandling handling) {
  return read_free_text(text, std::span<const InItem>(items.begin(), items.size()), handling);
}

}  // namespace sgl
