// Character tests and blank trimming shared by the text layer, the words and the table readers.
#pragma once

#include <string_view>

namespace sgl {

// A decimal digit 0-9 (whatever the locale).
constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The text without its trailing blanks.
constexpr std::string_view trim_trailing_blanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace sgl
