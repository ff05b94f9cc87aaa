// The lines of vibrex's input that are read whole.
#include "vibrex/input_lines.hpp"

#include <algorithm>

#include "library/text/characters.hpp"
#include "library/text/text_io.hpp"
#include "library/text/words.hpp"

namespace vibrex {

std::string read_input_line(std::string_view awaited) {
  std::string line(kLineWidth, ' ');
  sgl::read_line(5, "(a78)", {line}, sgl::ReadHandling{.awaited = awaited});
  return line;
}

std::string line_of(std::string_view kind, int32_t index, int32_t count) {
  return std::string(kind) + " " + std::to_string(index) + " of " + std::to_string(count);
}

std::string named_line(std::string_view line) {
  const std::string_view text = sgl::trim_trailing_blanks(line);
  return text.empty() ? "a blank line" : std::string(text);
}

std::string on_line(std::string_view line) { return ", on line: " + std::string(sgl::trim_trailing_blanks(line)); }

bool word_cut_short(std::string_view line, int32_t index) {
  std::size_t at = 0;
  for (int32_t w = 0;; ++w) {
    at = line.find_first_not_of(' ', at);
    if (at == std::string_view::npos) return false;
    const std::size_t end = std::min(line.find(' ', at), line.size());
    if (w == index) return end - at > sgl::kWordLength;
    at = end;
  }
}

void refuse_text_beyond_column_78() {
  const std::string_view line = sgl::last_line_read(5);
  if (sgl::first_dropped_column(line, kLineWidth, false) != 0) {
    sgl::stop_run("Error:  text beyond column 78 (after tabs are expanded) on line: " +
                  std::string(sgl::trim_trailing_blanks(line)));
  }
}

}  // namespace vibrex
