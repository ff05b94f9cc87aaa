// Internal interface: decimal digits of reals, their rounding, and the output fields.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "library/text/text_io.hpp"

namespace sgl::textio {

// A real as the output fields see it: 0.digits times ten to exp10, where digits is the exact
// decimal expansion of the binary value cut (not rounded) after 17 significant digits, 8 for a
// 4-byte real.
struct Decimal {
  bool negative = false;  // sign bit set
  bool zero = false;
  bool nan = false;
  bool inf = false;
  std::string digits;
  int exp10 = 0;
  int taken = 17;  // significant digits kept from the expansion
  int cap = 16;    // significant digits ever shown; further positions are written as 0
};

Decimal decompose(double value, bool single);

// The magnitude rounded half away from zero to n significant digits (n may be 0 or negative;
// the digit after the last one kept decides). digits has n characters, or n + 1 when a carry
// added a digit (exp10 is then one larger); zero is set when nothing is left.
struct Rounded {
  std::string digits;
  int exp10 = 0;
  bool zero = false;
};

Rounded round_significant(const Decimal& value, int n);

// The value rounded to d decimals: its integer digits (empty when the rounded magnitude is below
// 1), its d decimals, and whether a minus sign is shown (a negative zero keeps it, a nonzero value
// that rounds to zero loses it).
struct FixedParts {
  bool minus = false;
  std::string integer;
  std::string fraction;
};

FixedParts fixed_parts(const Decimal& value, int d);

// The output fields; each returns exactly w characters.
std::string edit_integer(int32_t value, int w);
std::string edit_fixed(const Decimal& value, int w, int d);
std::string edit_exponent(const Decimal& value, int w, int d);
std::string edit_general(const Decimal& value, int w, int d);
std::string edit_text(std::string_view text, int w);
// "NaN" or "INF", with "-" before it when negative, right-aligned; asterisks when too wide.
std::string edit_special(const Decimal& value, int w);

// Formats the items by the format text into lines, each ended by a line feed unless "$" ended it.
std::string format_output(std::string_view format, std::span<const OutItem> items, int unit);

}  // namespace sgl::textio
