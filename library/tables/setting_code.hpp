// Setting codes: texts of up to six characters ("pml", "cml", "cinter", ...) that travel with
// their length and compare with trailing blanks ignored. Character 1 is "p" for a primitive
// basis ("c", or anything else, for a conventional one); characters 2 onward name the choice of
// axes and origin, "ml" being the reference choice.
#pragma once

#include <string_view>

#include "library/text/characters.hpp"

namespace sgl {

// The text without its trailing blanks.
constexpr std::string_view trim_setting(std::string_view s) { return trim_trailing_blanks(s); }

// Equality with trailing blanks ignored ("pml" equals "pml   ").
constexpr bool setting_equals(std::string_view a, std::string_view b) {
  return trim_setting(a) == trim_setting(b);
}

// First character of a setting code (a blank for an empty text).
constexpr char setting_kind(std::string_view s) { return s.empty() ? ' ' : s.front(); }

// Characters 2 onward: the choice of axes and origin.
constexpr std::string_view setting_axes(std::string_view s) {
  return s.size() <= 1 ? std::string_view{} : s.substr(1);
}

}  // namespace sgl
