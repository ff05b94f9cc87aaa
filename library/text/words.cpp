// Words of an input line and integers and fractions in text.
#include "library/text/words.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <vector>

#include "library/text/bomb.hpp"
#include "library/text/characters.hpp"
#include "library/text/text_io.hpp"

namespace sgl {

namespace {

constexpr int kLastWordStart = 78;  // words are looked for in columns 1 to 78
constexpr int kLastWordEnd = 80;    // a word without a blank up to column 78 may run to 80
constexpr std::string_view kExtraWords = "Warning: Extra parameters ignored: ";

// Value of a string of digits, or -1 when it does not fit 32 bits.
int64_t digits_value(std::string_view digits, bool negative) {
  const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                 : std::numeric_limits<int32_t>::max();
  int64_t v = 0;
  for (char c : digits) {
    v = v * 10 + (c - '0');
    if (v > limit) return -1;
  }
  return v;
}

// Decimal digits of n, with its minus sign.
std::string decimal(int64_t n) { return std::to_string(n); }

// Writes s at columns p+1 onward of text; the caller has checked the room.
void put(int32_t& p, std::string& text, std::string_view s) {
  text.replace(static_cast<std::size_t>(p), s.size(), s);
  p += static_cast<int32_t>(s.size());
}

bool has_room(int32_t p, const std::string& text, std::size_t n) {
  return p >= 0 && static_cast<std::size_t>(p) <= text.size() && n <= text.size() - static_cast<std::size_t>(p);
}

[[noreturn]] void no_room(const char* routine, std::string_view what) {
  bomb_with_message({"Error: no room in text for ", what, " in ", routine});
}

// A word of a line as separate_words takes it: its first column and the column after it.
struct WordSpan {
  int first = 0;
  int after = 0;
};

// The first word that begins in columns q to 78 of a line (columns beyond the line's end are
// blank): it ends at the next blank, and a word with no blank up to column 78 runs on to column
// 80 (or the end of a shorter line). False when those columns hold no word.
bool next_word(std::string_view line, int q, WordSpan& span) {
  const int length = static_cast<int>(line.size());
  auto col = [&](int c) { return c <= length ? line[static_cast<std::size_t>(c - 1)] : ' '; };
  const int last_start = std::min(kLastWordStart, length);
  int w = q;
  while (w <= last_start && col(w) == ' ') ++w;
  if (w > last_start) return false;
  int e = w;
  while (e <= last_start && col(e) != ' ') ++e;
  if (e > last_start) e = std::min(length, kLastWordEnd) + 1;
  span = {w, e};
  return true;
}

}  // namespace

void separate_words(std::string_view line, int32_t& nw, std::array<int32_t, kMaxWords>& lens,
                    std::array<std::string, kMaxWords>& words) {
  int q = 1;
  int k = 1;
  WordSpan span;
  while (next_word(line, q, span)) {
    const int w = span.first;
    if (k == kMaxWords + 1) {
      const int length = static_cast<int>(line.size());
      int z = std::min(kLastWordStart, length);
      while (line[static_cast<std::size_t>(z - 1)] == ' ') --z;
      std::vector<OutItem> items;
      items.emplace_back(kExtraWords);
      for (int c = w; c <= z; ++c) items.emplace_back(line.substr(static_cast<std::size_t>(c - 1), 1));
      write_line(6, "100(a35,80a1)", items);
      // The copy in unit 20 is a convenience: failing to write it never ends the run.
      write_line_quiet(20, "100(a35,80a1)", items);
      nw = kMaxWords;
      return;
    }
    const int len = std::min(span.after - w, kWordLength);
    std::string word(line.substr(static_cast<std::size_t>(w - 1), static_cast<std::size_t>(len)));
    word.resize(kWordLength, ' ');
    words[static_cast<std::size_t>(k - 1)] = std::move(word);
    lens[static_cast<std::size_t>(k - 1)] = len;
    q = span.after;
    ++k;
  }
  nw = k - 1;
}

int32_t first_dropped_column(std::string_view line, std::size_t width, bool comment_words) {
  const std::string_view seen = line.substr(0, std::min(width, line.size()));
  // The columns separate_words takes: its words, each up to its end (a word still running at
  // column 78 goes on to column 80); beyond the tenth word nothing more is taken.
  int taken = 0;
  int q = 1;
  WordSpan span;
  for (int k = 1; k <= kMaxWords && next_word(seen, q, span); ++k) {
    if (comment_words && seen[static_cast<std::size_t>(span.first - 1)] == '!') return 0;
    taken = span.after - 1;
    q = span.after;
  }
  for (std::size_t c = static_cast<std::size_t>(std::max(taken, kLastWordStart)); c < line.size(); ++c) {
    if (line[c] == ' ') continue;
    // A comment word beyond the words taken is no value either.
    if (comment_words && line[c] == '!' && line[c - 1] == ' ') return 0;
    return static_cast<int32_t>(c + 1);
  }
  return 0;
}

void separate_words_comma(std::string& text, int32_t& n, std::array<std::string, kMaxWords>& fields) {
  auto set_field = [&](int k, std::string_view value) {
    std::string& field = fields[static_cast<std::size_t>(k - 1)];
    const std::size_t width = field.size();
    field.assign(value.substr(0, std::min(width, value.size())));
    field.resize(width, ' ');
  };
  std::size_t s = 0;  // 0-based start of the current field
  for (int k = 1; k <= kMaxWords; ++k) {
    const std::size_t c = text.find(',');
    if (c == std::string::npos) {
      set_field(k, s < text.size() ? std::string_view(text).substr(s) : std::string_view());
      n = k;
      return;
    }
    set_field(k, std::string_view(text).substr(s, c - s));
    text[c] = ' ';
    s = c + 1;
  }
  n = kMaxWords;  // ten commas taken: the rest stays unsplit
}

void read_fraction(std::string_view text, int32_t& num, int32_t& den) {
  const std::size_t f = std::min(text.find_first_of(" /"), text.size());
  const std::string_view first = text.substr(0, f);
  const bool negative = !first.empty() && first[0] == '-';
  const std::string_view digits = negative ? first.substr(1) : first;
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), is_digit)) {
    den = 0;
    return;
  }
  const int64_t magnitude = digits_value(digits, negative);
  if (magnitude < 0) {
    den = 0;  // beyond the 32-bit range: not accepted
    return;
  }
  num = static_cast<int32_t>(negative ? -magnitude : magnitude);
  if (f == text.size() || text[f] == ' ') {
    den = 1;
    return;
  }
  std::string_view second = text.substr(f + 1);
  second = second.substr(0, std::min(second.find(' '), second.size()));
  if (second.empty() || !std::all_of(second.begin(), second.end(), is_digit)) {
    den = 0;
    return;
  }
  const int64_t d = digits_value(second, false);
  den = d < 0 ? 0 : static_cast<int32_t>(d);
}

void number_string(int32_t& p, std::string& text, int32_t n) {
  const std::string s = decimal(n);
  if (!has_room(p, text, s.size())) no_room("number_string", s);
  put(p, text, s);
}

void fraction_string(int32_t& p, std::string& text, int32_t num, int32_t den) {
  int64_t a = num;
  int64_t b = den;
  if (b >= 2) {
    // The largest k <= den that divides both: their greatest common divisor (den itself for 0).
    const int64_t g = std::gcd(a < 0 ? -a : a, b);
    a /= g;
    b /= g;
  }
  std::string s = decimal(a);
  if (b != 1) s += "/" + decimal(b);
  if (!has_room(p, text, s.size())) no_room("fraction_string", s);
  put(p, text, s);
}

}  // namespace sgl
