// Internal interface: format texts parsed into a flat list of steps.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "library/text/text_io_units.hpp"

namespace sgl::textio {

struct FormatStep {
  enum class Kind { a, i, f, e, g, x, literal, dollar };
  Kind kind = Kind::x;
  int w = 0;           // field width (blanks for X)
  bool has_w = false;  // A and I may come without a width
  int d = 0;           // decimals or significant digits of F, E and G
  std::string text;    // characters of a literal
  bool takes_item() const {
    return kind != Kind::x && kind != Kind::literal && kind != Kind::dollar;
  }
};

// A format text with its repeat counts and groups expanded, and the step at which the format
// starts again when items remain at its end: the start of the last group of the outer level
// (with its count restored), or the beginning when there is none.
struct ParsedFormat {
  std::vector<FormatStep> steps;
  std::size_t reversion = 0;
  bool reversion_takes_items = false;  // whether the steps from the reversion take items
};

// Parses a format text; a malformed one is the fatal failure reported for the operation and unit.
ParsedFormat parse_format(std::string_view format, Operation operation, int unit);

// As parse_format, parsing each format text once: the result is kept for the next read or write
// with the same text. The reference stays valid until the next call.
const ParsedFormat& cached_format(std::string_view format, Operation operation, int unit);

}  // namespace sgl::textio
