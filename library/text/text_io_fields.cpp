// Formatted output: the decimal digits of reals, rounding half away from zero, and the fields
// A, Aw, Iw, Fw.d, Ew.d and Gw.d.
#include "library/text/text_io_fields.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "library/text/text_io_format.hpp"
#include "library/text/text_io_stops.hpp"
#include "library/text/text_io_units.hpp"

namespace sgl {

namespace textio {

namespace {

std::string stars(int w) { return std::string(static_cast<std::size_t>(std::max(w, 0)), '*'); }

std::string right_aligned(const std::string& body, int w) {
  if (static_cast<int>(body.size()) > w) return stars(w);
  return std::string(static_cast<std::size_t>(w) - body.size(), ' ') + body;
}

// Digits of the expansion printed with the given precision (one digit before the point), rounded
// at the last digit on the exact binary value: the characters of printf's "%.*e", from
// std::to_chars, which is several times faster.
void expansion(double magnitude, int precision, std::string& digits, int& exponent) {
  char small[64];
  std::vector<char> large;
  char* buffer = small;
  std::size_t size = sizeof small;
  if (static_cast<std::size_t>(precision) + 16 > size) {
    large.resize(static_cast<std::size_t>(precision) + 16);
    buffer = large.data();
    size = large.size();
  }
  const std::to_chars_result end =
      std::to_chars(buffer, buffer + size, magnitude, std::chars_format::scientific, precision);
  *end.ptr = '\0';
  digits.assign(1, buffer[0]);
  digits.append(buffer + 2, static_cast<std::size_t>(precision));
  exponent = std::atoi(buffer + 3 + precision);
}

}  // namespace

FixedParts fixed_parts(const Decimal& value, int d) {
  FixedParts parts;
  const Rounded r = round_significant(value, value.zero ? d : value.exp10 + d);
  if (r.zero || value.zero) {
    parts.fraction.assign(static_cast<std::size_t>(d), '0');
  } else if (r.exp10 > 0) {
    parts.integer = r.digits.substr(0, static_cast<std::size_t>(r.exp10));
    parts.fraction = r.digits.substr(static_cast<std::size_t>(r.exp10));
  } else {
    parts.fraction = std::string(static_cast<std::size_t>(-r.exp10), '0') + r.digits;
  }
  // A negative zero keeps its sign; a nonzero value that rounds to zero loses it.
  parts.minus = value.negative && (value.zero || !r.zero);
  return parts;
}

namespace {

// The fixed field; fits is false when it does not fit w columns (the text is then asterisks).
std::string fixed_field(const Decimal& value, int w, int d, bool& fits) {
  const FixedParts parts = fixed_parts(value, d);
  std::string body = parts.minus ? "-" : "";
  const bool spare = parts.integer.empty() &&
                     static_cast<int>(body.size() + 2 + parts.fraction.size()) <= w;
  body += parts.integer.empty() ? (spare ? "0" : "") : parts.integer;
  body += '.';
  body += parts.fraction;
  fits = static_cast<int>(body.size()) <= w;
  return right_aligned(body, w);
}

std::string edit_item(const FormatStep& step, const OutItem& item) {
  using Kind = OutItem::Kind;
  const int w = step.w;
  if (item.kind() == Kind::logical) {
    const std::string letter = item.logical() ? "T" : "F";
    return step.has_w ? right_aligned(letter, w) : letter;
  }
  switch (step.kind) {
    case FormatStep::Kind::a:
      if (item.kind() != Kind::text) return stars(step.has_w ? w : 1);
      return step.has_w ? edit_text(item.text(), w) : std::string(item.text());
    case FormatStep::Kind::i:
      if (item.kind() != Kind::integer) return stars(step.has_w ? w : 1);
      return step.has_w ? edit_integer(item.integer(), w) : std::to_string(item.integer());
    default: break;
  }
  Decimal value;
  switch (item.kind()) {
    case Kind::integer: value = decompose(item.integer(), false); break;
    case Kind::real4: value = decompose(item.real4(), true); break;
    case Kind::real8: value = decompose(item.real8(), false); break;
    default: return stars(w);
  }
  if (step.kind == FormatStep::Kind::f) return edit_fixed(value, w, step.d);
  if (step.kind == FormatStep::Kind::e) return edit_exponent(value, w, step.d);
  return edit_general(value, w, step.d);
}

}  // namespace

Decimal decompose(double value, bool single) {
  Decimal v;
  v.negative = std::signbit(value);
  v.taken = single ? 8 : 17;
  v.cap = single ? 8 : 16;
  if (std::isnan(value)) {
    v.nan = true;
    return v;
  }
  if (std::isinf(value)) {
    v.inf = true;
    return v;
  }
  if (value == 0.0) {
    v.zero = true;
    v.digits.assign(static_cast<std::size_t>(v.taken), '0');
    return v;
  }
  // The expansion rounds at its last digit; 41 digits are exact at the 17th unless everything after
  // it printed as zeros, which a rounded-up run of nines would also give: then print the whole
  // expansion. A double 2^e times 53 bits has at most 52 - e decimals and about 0.302 e integer
  // digits, and never more than 767 significant digits.
  std::string digits;
  int exponent = 0;
  const double magnitude = std::fabs(value);
  expansion(magnitude, 40, digits, exponent);
  if (digits.find_first_not_of('0', static_cast<std::size_t>(v.taken)) == std::string::npos) {
    const int e = std::ilogb(magnitude);
    const int decimals = std::max(0, 52 - e);
    const int integer_digits = e >= 0 ? e * 302 / 1000 + 2 : 0;
    expansion(magnitude, std::min(766, integer_digits + decimals + 2), digits, exponent);
  }
  v.digits = digits.substr(0, static_cast<std::size_t>(v.taken));
  v.exp10 = exponent + 1;
  return v;
}

Rounded round_significant(const Decimal& value, int n) {
  Rounded r;
  r.exp10 = value.exp10;
  if (value.zero) {
    r.zero = true;
    r.digits.assign(static_cast<std::size_t>(std::max(n, 0)), '0');
    return r;
  }
  if (n < 0) {
    r.zero = true;
    return r;
  }
  const int m = std::min(n, value.cap);
  r.digits = value.digits.substr(0, static_cast<std::size_t>(m));
  if (m < value.taken && value.digits[static_cast<std::size_t>(m)] >= '5') {
    int k = m - 1;
    while (k >= 0 && r.digits[static_cast<std::size_t>(k)] == '9') {
      r.digits[static_cast<std::size_t>(k)] = '0';
      --k;
    }
    if (k >= 0) {
      ++r.digits[static_cast<std::size_t>(k)];
    } else {
      r.digits.insert(r.digits.begin(), '1');
      ++r.exp10;
    }
  }
  r.zero = r.digits.empty();
  r.digits.append(static_cast<std::size_t>(n - m), '0');
  return r;
}

std::string edit_integer(int32_t value, int w) { return right_aligned(std::to_string(value), w); }

std::string edit_text(std::string_view text, int w) {
  if (static_cast<int>(text.size()) >= w) return std::string(text.substr(0, static_cast<std::size_t>(w)));
  return std::string(static_cast<std::size_t>(w) - text.size(), ' ') + std::string(text);
}

std::string edit_special(const Decimal& value, int w) {
  std::string body = value.negative ? "-" : "";
  body += value.nan ? "NaN" : "INF";
  return right_aligned(body, w);
}

std::string edit_fixed(const Decimal& value, int w, int d) {
  if (value.nan || value.inf) return edit_special(value, w);
  bool fits = false;
  return fixed_field(value, w, d, fits);
}

std::string edit_exponent(const Decimal& value, int w, int d) {
  if (value.nan || value.inf) return edit_special(value, w);
  const Rounded r = round_significant(value, d);
  const int exponent = value.zero ? 0 : r.exp10;
  const int magnitude = std::abs(exponent);
  if (magnitude > 999) return stars(w);
  char tail[16];
  if (magnitude <= 99) {
    std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', magnitude);
  } else {
    std::snprintf(tail, sizeof tail, "%c%03d", exponent < 0 ? '-' : '+', magnitude);
  }
  std::string body = value.negative ? "-" : "";
  const std::string digits = r.digits.substr(0, static_cast<std::size_t>(std::max(d, 0)));
  if (static_cast<int>(body.size() + 2 + digits.size() + 4) <= w) body += '0';
  body += '.';
  body += digits;
  body += tail;
  return right_aligned(body, w);
}

std::string edit_general(const Decimal& value, int w, int d) {
  if (value.nan || value.inf) return edit_special(value, w);
  int c = 0;
  if (!value.zero) {
    const Rounded r = round_significant(value, value.exp10 + d);
    c = r.zero ? -1 : r.exp10;
  }
  if (c < 0 || c > d) return edit_exponent(value, w, d);
  int decimals = d - c;
  if (c > 0) {
    const Rounded f = round_significant(value, value.exp10 + decimals);
    if (f.exp10 > c) {
      // The rounding carried into a new integer digit: one decimal fewer, or the exponent form
      // when there is none left to give.
      if (c + 1 > d) return edit_exponent(value, w, d);
      decimals -= 1;
    }
  }
  bool fits = false;
  const std::string field = fixed_field(value, w - 4, decimals, fits);
  if (!fits) return stars(w);
  return field + "    ";
}

std::string format_output(std::string_view format, std::span<const OutItem> items, int unit) {
  const ParsedFormat& parsed = cached_format(format, Operation::write, unit);
  const auto& steps = parsed.steps;
  std::string out;
  std::size_t item = 0;
  std::size_t pos = 0;
  bool dollar = false;
  for (;;) {
    if (pos == steps.size()) {
      if (item == items.size()) break;
      if (!parsed.reversion_takes_items) fatal_failure(kStatusFormatSyntax, Operation::write, unit);
      out += '\n';
      dollar = false;
      pos = parsed.reversion;
      continue;
    }
    const FormatStep& step = steps[pos];
    if (step.takes_item()) {
      if (item == items.size()) break;
      out += edit_item(step, items[item++]);
    } else if (step.kind == FormatStep::Kind::literal) {
      out += step.text;
    } else if (step.kind == FormatStep::Kind::x) {
      out.append(static_cast<std::size_t>(step.w), ' ');
    } else {
      dollar = true;
    }
    ++pos;
  }
  if (!dollar) out += '\n';
  return out;
}

}  // namespace textio

void write_line(int unit, std::string_view format, std::span<const OutItem> items) {
  textio::put_output(unit, textio::format_output(format, items, unit));
}

void write_line(int unit, std::string_view format, std::initializer_list<OutItem> items) {
  write_line(unit, format, std::span<const OutItem>(items.begin(), items.size()));
}

bool write_line_quiet(int unit, std::string_view format, std::span<const OutItem> items) {
  return textio::put_output_quiet(unit, textio::format_output(format, items, unit));
}

bool write_line_quiet(int unit, std::string_view format, std::initializer_list<OutItem> items) {
  return write_line_quiet(unit, format, std::span<const OutItem>(items.begin(), items.size()));
}

void write_text(std::string& text, std::string_view format, std::span<const OutItem> items) {
  const std::string out = textio::format_output(format, items, textio::kInternalUnit);
  const std::string_view line = std::string_view(out).substr(0, out.find('\n'));
  const std::size_t n = std::min(line.size(), text.size());
  text.replace(0, n, line.substr(0, n));
  std::fill(text.begin() + static_cast<std::ptrdiff_t>(n), text.end(), ' ');
}

void write_text(std::string& text, std::string_view format, std::initializer_list<OutItem> items) {
  write_text(text, format, std::span<const OutItem>(items.begin(), items.size()));
}

std::string value_text(std::string_view format, double value) {
  const OutItem item[] = {value};
  const std::string out = textio::format_output(format, item, textio::kInternalUnit);
  const std::string_view line = std::string_view(out).substr(0, out.find('\n'));
  const std::size_t first = std::min(line.find_first_not_of(' '), line.size());
  const std::size_t last = line.find_last_not_of(' ');
  return std::string(last == std::string_view::npos ? std::string_view() : line.substr(first, last + 1 - first));
}

bool fits_field(std::string_view format, const OutItem& value) {
  const OutItem item[] = {value};
  return textio::format_output(format, item, textio::kInternalUnit).find('*') == std::string::npos;
}

}  // namespace sgl
