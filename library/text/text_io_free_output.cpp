// Free-format output lines: one leading blank, then the items in their free layouts.
#include "library/text/text_io_free_output.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "library/text/text_io_fields.hpp"
#include "library/text/text_io_units.hpp"

namespace sgl {

namespace textio {

// The free layout of a real, with its two leading columns (two blanks, or a blank and "-").
std::string free_real(double real, bool single) {
  const Decimal value = decompose(real, single);
  std::string out = value.negative ? " -" : "  ";
  if (value.nan || value.inf) return out + (value.nan ? "NaN" : "INF");
  const int significant = single ? 7 : 16;  // digits of the exponent form and of the test for c
  const int fixed_digits = significant - 1;
  // c: integer digits of the magnitude rounded to `significant` decimals or significant digits,
  // whichever keeps fewer (0 for zero and from 0.1 up to 1, negative below 0.1).
  int c = 0;
  if (!value.zero) {
    const Rounded r = round_significant(value, std::min(significant, value.exp10 + significant));
    c = r.zero ? 0 : r.exp10;
  }
  if (c >= 0 && c <= fixed_digits) {
    int decimals = fixed_digits - c;
    FixedParts parts = fixed_parts(value, decimals);
    if (static_cast<int>(parts.integer.size()) > c) {
      // The rounding carried into a new integer digit: one decimal fewer, or the exponent form
      // when the fixed form has no room for it.
      if (c + 1 > fixed_digits) {
        c = -1;
      } else {
        parts.fraction.pop_back();
      }
    }
    if (c >= 0) {
      out += parts.integer.empty() ? "0" : parts.integer;
      out += '.';
      out += parts.fraction;
      return out;
    }
  }
  const Rounded r = round_significant(value, significant);
  const int exponent = r.exp10 - 1;
  out += r.digits[0];
  out += '.';
  out += r.digits.substr(1, static_cast<std::size_t>(significant - 1));
  char tail[16];
  std::snprintf(tail, sizeof tail, "E%c%0*d", exponent < 0 ? '-' : '+', single ? 2 : 3,
                std::abs(exponent));
  out += tail;
  return out;
}

std::string free_line(std::span<const OutItem> items) {
  std::string line = " ";
  bool after_value = false;  // the last item was a number or a logical
  for (const OutItem& item : items) {
    switch (item.kind()) {
      case OutItem::Kind::integer: {
        const int32_t v = item.integer();
        line += v < 0 ? " " : "  ";
        line += std::to_string(v);
        break;
      }
      case OutItem::Kind::real4: line += free_real(item.real4(), true); break;
      case OutItem::Kind::real8: line += free_real(item.real8(), false); break;
      case OutItem::Kind::logical: line += item.logical() ? " T" : " F"; break;
      case OutItem::Kind::text:
        if (after_value) line += ' ';
        line += item.text();
        break;
    }
    after_value = item.kind() != OutItem::Kind::text;
  }
  line += '\n';
  return line;
}

}  // namespace textio

void write_free(int unit, std::span<const OutItem> items) {
  textio::put_output(unit, textio::free_line(items));
}

void write_free(int unit, std::initializer_list<OutItem> items) {
  write_free(unit, std::span<const OutItem>(items.begin(), items.size()));
}

}  // namespace sgl
