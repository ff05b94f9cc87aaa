// Numbers given as single words of an input line.
#include "duopath/value_word.hpp"

#include <cctype>
#include <cmath>

#include "library/text/text_io.hpp"

namespace duopath {

namespace {

std::string_view trimmed(std::string_view word) {
  while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
  return word;
}

bool digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Skips digits from position k; returns how many there were.
std::size_t skip_digits(std::string_view text, std::size_t& k) {
  const std::size_t start = k;
  while (k < text.size() && digit(text[k])) ++k;
  return k - start;
}

bool integer_syntax(std::string_view text) {
  std::size_t k = 0;
  if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
  return skip_digits(text, k) > 0 && k == text.size();
}

bool real_syntax(std::string_view text) {
  std::size_t k = 0;
  if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
  std::size_t digits = skip_digits(text, k);
  if (k < text.size() && text[k] == '.') {
    ++k;
    digits += skip_digits(text, k);
  }
  if (digits == 0) return false;
  if (k == text.size()) return true;
  const char c = text[k];
  if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
    ++k;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
  } else if (c == '+' || c == '-') {
    ++k;
  } else {
    return false;
  }
  return skip_digits(text, k) > 0 && k == text.size();
}

}  // namespace

bool read_integer_word(std::string_view word, int32_t& value) {
  const std::string_view text = trimmed(word);
  if (!integer_syntax(text)) return false;
  int32_t v = 0;
  int status = 0;
  sgl::read_free_text(text, {v}, {.status = &status});
  if (status != 0) return false;
  value = v;
  return true;
}

bool read_real_word(std::string_view word, double& value) {
  const std::string_view text = trimmed(word);
  if (!real_syntax(text)) return false;
  double v = 0.0;
  int status = 0;
  sgl::read_free_text(text, {v}, {.status = &status});
  if (status != 0 || !std::isfinite(v)) return false;
  value = v;
  return true;
}

}  // namespace duopath
