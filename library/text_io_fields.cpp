// Format texts and the field layouts of formatted output.
#include "library/text_io.hpp"

namespace sgl {

void write_line(int, std::string_view, std::span<const OutItem>) {}
void write_line(int unit, std::string_view format, std::initializer_list<OutItem> items) {
  write_line(unit, format, std::span<const OutItem>(items.begin(), items.size()));
}
void write_text(std::string& text, std::string_view, std::span<const OutItem>) {
  text.assign(text.size(), ' ');
}
void write_text(std::string& text, std::string_view format, std::initializer_list<OutItem> items) {
  write_text(text, format, std::span<const OutItem>(items.begin(), items.size()));
}

}  // namespace sgl
