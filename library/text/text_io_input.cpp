// Text input: fixed fields of a line (read_line) and free-format values (read_free), with the
// conversion of numeric, logical and text values.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

#include "library/text/text_io.hpp"
#include "library/text/characters.hpp"
#include "library/text/text_io_format.hpp"
#include "library/text/text_io_stops.hpp"
#include "library/text/text_io_units.hpp"

namespace sgl {

namespace textio {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (upper(a[k]) != upper(b[k])) return false;
  }
  return true;
}

// An optional sign and decimal digits. Returns 0, 10016 or the range failure.
int convert_integer(std::string_view text, int32_t& value) {
  std::size_t k = 0;
  bool negative = false;
  if (k < text.size() && (text[k] == '+' || text[k] == '-')) negative = text[k++] == '-';
  if (k == text.size()) return kStatusIllegalNumeric;
  int64_t magnitude = 0;
  for (; k < text.size(); ++k) {
    if (!is_digit(text[k])) return kStatusIllegalNumeric;
    magnitude = magnitude * 10 + (text[k] - '0');
    if (magnitude > int64_t{std::numeric_limits<int32_t>::max()} + 1) {
      // Keep scanning for an illegal character, which reports before the range.
      for (++k; k < text.size(); ++k) {
        if (!is_digit(text[k])) return kStatusIllegalNumeric;
      }
      return kStatusIntegerRange;
    }
  }
  const int64_t signed_value = negative ? -magnitude : magnitude;
  if (signed_value > std::numeric_limits<int32_t>::max()) return kStatusIntegerRange;
  value = static_cast<int32_t>(signed_value);
  return 0;
}

// A real value: optional sign, then digits with an optional decimal point and an exponent
// introduced by E, e, D, d or by its sign alone, with its digits. INF, INFINITY and NAN (any case)
// after the sign are the special values. Anything else, also a word that holds more than one
// such number's shape ("0.48.2"), is failure 10016.
int convert_real(std::string_view text, double& value, bool single) {
  std::size_t k = 0;
  bool negative = false;
  if (k < text.size() && (text[k] == '+' || text[k] == '-')) negative = text[k++] == '-';
  const std::string_view rest = text.substr(k);
  if (!rest.empty() && (upper(rest[0]) == 'I' || upper(rest[0]) == 'N')) {
    if (equals_ignoring_case(rest, "INF") || equals_ignoring_case(rest, "INFINITY")) {
      value = negative ? -std::numeric_limits<double>::infinity()
                       : std::numeric_limits<double>::infinity();
      return 0;
    }
    if (equals_ignoring_case(rest, "NAN")) {
      value = std::numeric_limits<double>::quiet_NaN();
      if (negative) value = -value;
      return 0;
    }
    return kStatusIllegalNumeric;
  }
  for (char c : rest) {
    if (!is_digit(c) && c != '.' && c != '+' && c != '-' && upper(c) != 'E' && upper(c) != 'D') {
      return kStatusIllegalNumeric;
    }
  }
  std::string number = negative ? "-" : "";
  std::size_t p = 0;
  bool digits = false;
  while (p < rest.size() && is_digit(rest[p])) {
    number += rest[p++];
    digits = true;
  }
  if (p < rest.size() && rest[p] == '.') {
    number += rest[p++];
    while (p < rest.size() && is_digit(rest[p])) {
      number += rest[p++];
      digits = true;
    }
  }
  if (!digits) return kStatusIllegalNumeric;
  if (p < rest.size()) {
    const char c = upper(rest[p]);
    std::size_t q = p;
    if (c == 'E' || c == 'D') ++q;
    std::string exponent = "e";
    if (q < rest.size() && (rest[q] == '+' || rest[q] == '-')) exponent += rest[q++];
    bool exponent_digits = false;
    while (q < rest.size() && is_digit(rest[q])) {
      exponent += rest[q++];
      exponent_digits = true;
    }
    // The value is the whole word: an exponent without digits ("1.5e") or characters after the
    // number's shape ("0.48.2", "0.5-0.1") are a mistyped number, never its leading part.
    if (!exponent_digits || q < rest.size()) return kStatusIllegalNumeric;
    number += exponent;
  }
  if (single) {
    value = std::strtof(number.c_str(), nullptr);
  } else {
    value = std::strtod(number.c_str(), nullptr);
  }
  // Only the words above give non-finite values: a literal beyond the item's range is a failure
  // (one below it underflows towards zero).
  if (std::isinf(value)) return kStatusRealRange;
  return 0;
}

// After an optional ".", T or t is true and anything else false.
bool convert_logical(std::string_view text) {
  std::size_t k = 0;
  while (k < text.size() && text[k] == ' ') ++k;
  if (k < text.size() && text[k] == '.') ++k;
  return k < text.size() && upper(text[k]) == 'T';
}

// Stores a text value into a fixed-length text item: cut, or padded with blanks.
void store_text(std::string& item, std::string_view value) {
  const std::size_t n = std::min(item.size(), value.size());
  item.replace(0, n, value.substr(0, n));
  std::fill(item.begin() + static_cast<std::ptrdiff_t>(n), item.end(), ' ');
}

// Converts one value into an item. Returns 0 or a failure code.
int store_value(const InItem& item, std::string_view value, bool quoted) {
  switch (item.kind()) {
    case InItem::Kind::text:
      store_text(item.text(), value);
      return 0;
    case InItem::Kind::logical:
      item.logical().value = convert_logical(value);
      return 0;
    case InItem::Kind::integer:
      if (quoted) return kStatusIllegalNumeric;
      return convert_integer(value, item.integer());
    case InItem::Kind::real4:
    case InItem::Kind::real8: {
      if (quoted) return kStatusIllegalNumeric;
      double v = 0.0;
      const bool single = item.kind() == InItem::Kind::real4;
      const int status = convert_real(value, v, single);
      if (status != 0) return status;
      if (single) {
        item.real4() = static_cast<float>(v);
      } else {
        item.real8() = v;
      }
      return 0;
    }
  }
  return 0;
}

// ----- fixed fields -----

std::string without_blanks(std::string_view field) {
  std::string kept;
  for (char c : field) {
    if (!is_blank(c)) kept += c;
  }
  return kept;
}

// Converts the field of one data descriptor into its item.
int store_field(const FormatStep& step, const InItem& item, const std::string& line,
                std::size_t& column) {
  std::size_t w = static_cast<std::size_t>(step.w);
  if (!step.has_w) {
    w = item.kind() == InItem::Kind::text ? item.text().size()
                                          : (column < line.size() ? line.size() - column : 0);
  }
  std::string field = column < line.size() ? line.substr(column, w) : std::string();
  field.resize(w, ' ');  // a short line reads as if padded with blanks
  column += w;
  switch (item.kind()) {
    case InItem::Kind::text: {
      std::string& text = item.text();
      if (w > text.size()) {
        text = field.substr(w - text.size());
      } else {
        store_text(text, field);
      }
      return 0;
    }
    case InItem::Kind::logical:
      item.logical().value = convert_logical(field);
      return 0;
    default: {
      const std::string kept = without_blanks(field);
      if (kept.empty()) {
        // A blank field reads as zero.
        if (item.kind() == InItem::Kind::integer) item.integer() = 0;
        if (item.kind() == InItem::Kind::real4) item.real4() = 0.0f;
        if (item.kind() == InItem::Kind::real8) item.real8() = 0.0;
        return 0;
      }
      return store_value(item, kept, false);
    }
  }
}

int read_fields(int unit, std::string_view format, std::span<const InItem> items) {
  const ParsedFormat& parsed = cached_format(format, Operation::read, unit);
  std::string line;
  int status = next_line(unit, line);
  if (status != 0) return status;
  std::size_t column = 0;
  std::size_t item = 0;
  std::size_t pos = 0;
  while (item < items.size()) {
    if (pos == parsed.steps.size()) {
      if (!parsed.reversion_takes_items) fatal_failure(kStatusFormatSyntax, Operation::read, unit);
      status = next_line(unit, line);
      if (status != 0) return status;
      column = 0;
      pos = parsed.reversion;
      continue;
    }
    const FormatStep& step = parsed.steps[pos++];
    if (step.takes_item()) {
      status = store_field(step, items[item++], line, column);
      if (status != 0) return status;
    } else if (step.kind == FormatStep::Kind::x) {
      column += static_cast<std::size_t>(step.w);
    } else if (step.kind == FormatStep::Kind::literal) {
      column += step.text.size();
    }
  }
  return 0;
}

// ----- free format -----

// The lines a free-format read takes its values from: the lines of a unit, or one text.
class LineSource {
 public:
  explicit LineSource(int unit) : unit_(unit) {}
  explicit LineSource(std::string_view text) : text_(text) {}
  // Returns 0 with the next line, -1 at the end of the input, or the platform's error number.
  int next(std::string& line) {
    if (text_) {
      if (text_used_) return kStatusEnd;
      text_used_ = true;
      line.assign(*text_);
      return 0;
    }
    return next_line(unit_, line);
  }

 private:
  int unit_ = kInternalUnit;
  std::optional<std::string_view> text_;
  bool text_used_ = false;
};

// One thing a free-format read meets.
struct FreeToken {
  enum class Kind { value, null, slash, end, failure };
  Kind kind = Kind::end;
  std::string text;
  bool quoted = false;
  bool fraction = false;  // an unquoted value followed directly by a slash and more text ("1/4")
  int status = 0;         // for failure
};

class FreeReader {
 public:
  explicit FreeReader(LineSource& source) : source_(source) {}

  // Starts the read on a new line. Returns 0 or the status of the line read.
  int start() { return source_.next(line_); }

  // The next value or null for one item, with repeat counts expanded.
  FreeToken next_for_item() {
    if (repeat_left_ > 0) {
      --repeat_left_;
      return repeated_;
    }
    FreeToken token = scan();
    if (token.kind == FreeToken::Kind::value || token.kind == FreeToken::Kind::null) {
      if (count_ > 1) {
        repeat_left_ = count_ - 1;
        repeated_ = token;
      }
    }
    count_ = 1;
    return token;
  }

 private:
  bool at_line_end() const { return pos_ >= line_.size(); }

  // Moves to the next line. Returns false (with status set) at the end of the input.
  bool advance_line(int& status) {
    status = source_.next(line_);
    pos_ = 0;
    return status == 0;
  }

  void skip_blanks() {
    while (!at_line_end() && is_blank(line_[pos_])) ++pos_;
  }

  static bool ends_value(char c) { return is_blank(c) || c == ',' || c == '/'; }

  FreeToken end_or_failure(int status) {
    FreeToken t;
    t.kind = status == kStatusEnd ? FreeToken::Kind::end : FreeToken::Kind::failure;
    t.status = status;
    return t;
  }

  FreeToken scan() {
    for (;;) {
      skip_blanks();
      if (at_line_end()) {
        // A line end separates; after a value it stands in for the separator (blank lines
        // that follow do not change that).
        if (need_separator_) line_end_after_value_ = true;
        need_separator_ = false;
        int status = 0;
        if (!advance_line(status)) return end_or_failure(status);
        at_line_start_ = true;
        continue;
      }
      const char c = line_[pos_];
      const bool line_start = at_line_start_;
      at_line_start_ = false;
      if (c == ',') {
        ++pos_;
        if (need_separator_ || (line_start && line_end_after_value_)) {
          need_separator_ = false;
          line_end_after_value_ = false;
          continue;
        }
        return null_token();
      }
      line_end_after_value_ = false;
      if (c == '/') {
        FreeToken t;
        t.kind = FreeToken::Kind::slash;
        return t;
      }
      need_separator_ = false;
      return value_token();
    }
  }

  FreeToken null_token() {
    FreeToken t;
    t.kind = FreeToken::Kind::null;
    return t;
  }

  // A value, possibly behind a repeat count "r*".
  FreeToken value_token() {
    std::size_t k = pos_;
    while (k < line_.size() && is_digit(line_[k])) ++k;
    if (k > pos_ && k < line_.size() && line_[k] == '*') {
      int32_t count = 0;
      if (convert_integer(std::string_view(line_).substr(pos_, k - pos_), count) != 0 ||
          count == 0) {
        FreeToken t;
        t.kind = FreeToken::Kind::failure;
        t.status = kStatusIllegalNumeric;
        return t;
      }
      count_ = count;
      pos_ = k + 1;
      if (!at_line_end() && (line_[pos_] == ',' || line_[pos_] == '/')) {
        // r null values; the comma or slash is met next.
        need_separator_ = true;
        return null_token();
      }
      // Blanks and line ends after the asterisk are skipped.
      for (;;) {
        skip_blanks();
        if (!at_line_end()) break;
        int status = 0;
        if (!advance_line(status)) return end_or_failure(status);
      }
      if (line_[pos_] == ',' || line_[pos_] == '/') {
        need_separator_ = true;
        return null_token();
      }
    }
    FreeToken t;
    t.kind = FreeToken::Kind::value;
    const char c = line_[pos_];
    if (c == '\'' || c == '"') {
      t.quoted = true;
      ++pos_;
      for (;;) {
        if (at_line_end()) {
          // The value continues on the next line; the line end adds nothing.
          int status = 0;
          if (!advance_line(status)) return end_or_failure(status);
          continue;
        }
        const char ch = line_[pos_++];
        if (ch == c) {
          if (!at_line_end() && line_[pos_] == c) {
            t.text += c;
            ++pos_;
            continue;
          }
          break;
        }
        t.text += ch;
      }
      if (t.text.empty()) t.text = " ";
    } else {
      while (!at_line_end() && !ends_value(line_[pos_])) t.text += line_[pos_++];
      // A slash ends the read; one between two parts of a word makes the word a fraction.
      const std::size_t after = pos_ + 1;
      t.fraction = !t.text.empty() && !at_line_end() && line_[pos_] == '/' &&
                   after < line_.size() && !is_blank(line_[after]) && line_[after] != ',';
    }
    need_separator_ = true;
    return t;
  }

  LineSource& source_;
  std::string line_;
  std::size_t pos_ = 0;
  bool need_separator_ = false;        // a value was read and its separator not yet met
  bool line_end_after_value_ = false;  // the last line ended right after a value
  bool at_line_start_ = true;
  int32_t count_ = 1;        // repeat count of the token being scanned
  int32_t repeat_left_ = 0;  // copies of `repeated_` still to hand out
  FreeToken repeated_;
};

// Reads values into `count` items; item_at(k) gives item k, asked for only when a value arrives
// for it (a null value or the slash that ends the read leaves the item untouched).
template <typename ItemAt>
int read_values(LineSource& source, std::size_t count, ItemAt&& item_at) {
  FreeReader reader(source);
  int status = reader.start();
  if (status != 0) return status;
  for (std::size_t k = 0; k < count; ++k) {
    const FreeToken token = reader.next_for_item();
    switch (token.kind) {
      case FreeToken::Kind::value: {
        const InItem item = item_at(k);
        // "1/4" would read as 1 and end the read: a number is asked to be written as a decimal.
        if (token.fraction && item.kind() != InItem::Kind::text &&
            item.kind() != InItem::Kind::logical) {
          return kStatusFraction;
        }
        status = store_value(item, token.text, token.quoted);
        if (status != 0) return status;
        break;
      }
      case FreeToken::Kind::null: break;
      case FreeToken::Kind::slash: return 0;
      case FreeToken::Kind::end: return kStatusEnd;
      case FreeToken::Kind::failure: return token.status;
    }
  }
  return 0;
}

int read_values(LineSource& source, std::span<const InItem> items) {
  return read_values(source, items.size(), [&](std::size_t k) { return items[k]; });
}

}  // namespace

}  // namespace textio

ReadOutcome read_line(int unit, std::string_view format, std::span<const InItem> items,
                      ReadHandling handling) {
  return textio::settle_read(textio::read_fields(unit, format, items), handling, unit);
}

ReadOutcome read_line(int unit, std::string_view format, std::initializer_list<InItem> items,
                      ReadHandling handling) {
  return read_line(unit, format, std::span<const InItem>(items.begin(), items.size()), handling);
}

ReadOutcome read_free(int unit, std::span<const InItem> items, ReadHandling handling) {
  textio::LineSource source(unit);
  return textio::settle_read(textio::read_values(source, items), handling, unit);
}

ReadOutcome read_free(int unit, std::initializer_list<InItem> items, ReadHandling handling) {
  return read_free(unit, std::span<const InItem>(items.begin(), items.size()), handling);
}

ReadOutcome read_free_each(int unit, std::size_t count,
                           const std::function<InItem(std::size_t)>& item_at,
                           ReadHandling handling) {
  textio::LineSource source(unit);
  return textio::settle_read(textio::read_values(source, count, item_at), handling, unit);
}

ReadOutcome read_free_text(std::string_view text, std::span<const InItem> items,
                           ReadHandling handling) {
  textio::LineSource source(text);
  return textio::settle_read(textio::read_values(source, items), handling, textio::kInternalUnit);
}

ReadOutcome read_free_text(std::string_view text, std::initializer_list<InItem> items,
                           ReadHandling handling) {
  return read_free_text(text, std::span<const InItem>(items.begin(), items.size()), handling);
}

}  // namespace sgl
