// Format texts: descriptors, literals, repeat counts and groups, expanded into a flat step list.
#include "library/text/text_io_format.hpp"

#include <cctype>
#include <functional>
#include <map>
#include <utility>

#include "library/text/characters.hpp"
#include "library/text/text_io_stops.hpp"

namespace sgl::textio {

namespace {

constexpr std::size_t kMaxSteps = 1000000;  // guards against absurd repeat counts

class FormatParser {
 public:
  explicit FormatParser(std::string_view text) : text_(text) {}

  // Returns false for a malformed format.
  bool parse(ParsedFormat& result) {
    if (next() != '(') return false;
    ++pos_;
    std::size_t last_group = 0;
    bool has_group = false;
    if (!parse_list(result.steps, &last_group, &has_group)) return false;
    if (next() != 0) return false;
    result.reversion = has_group ? last_group : 0;
    for (std::size_t k = result.reversion; k < result.steps.size(); ++k) {
      if (result.steps[k].takes_item()) result.reversion_takes_items = true;
    }
    return true;
  }

 private:
  // The next character that is not a blank, upper-cased; 0 at the end.
  char next() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    if (pos_ == text_.size()) return 0;
    return static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_])));
  }

  bool number(int& value) {
    if (!is_digit(next())) return false;
    long v = 0;
    while (is_digit(next())) {
      v = v * 10 + (text_[pos_++] - '0');
      if (v > static_cast<long>(kMaxSteps)) return false;
    }
    value = static_cast<int>(v);
    return true;
  }

  // Parses the items of a list up to and including its closing parenthesis.
  bool parse_list(std::vector<FormatStep>& steps, std::size_t* last_group, bool* has_group) {
    for (;;) {
      const char c = next();
      if (c == ')') {
        ++pos_;
        return true;
      }
      if (c == ',') {
        ++pos_;
        continue;
      }
      if (c == 0) return false;
      if (c == '\'' || c == '"') {
        FormatStep step;
        step.kind = FormatStep::Kind::literal;
        if (!literal(c, step.text)) return false;
        steps.push_back(std::move(step));
        continue;
      }
      if (c == '$') {
        ++pos_;
        FormatStep step;
        step.kind = FormatStep::Kind::dollar;
        steps.push_back(step);
        continue;
      }
      int repeat = 1;
      const bool counted = number(repeat);
      const char letter = next();
      if (letter == 0) return false;
      ++pos_;
      if (letter == '(') {
        std::vector<FormatStep> group;
        if (!parse_list(group, nullptr, nullptr)) return false;
        if (last_group != nullptr) {
          *last_group = steps.size();
          *has_group = true;
        }
        if (group.size() * static_cast<std::size_t>(repeat) + steps.size() > kMaxSteps) {
          return false;
        }
        for (int r = 0; r < repeat; ++r) steps.insert(steps.end(), group.begin(), group.end());
        continue;
      }
      FormatStep step;
      switch (letter) {
        case 'X':
          step.w = counted ? repeat : 1;
          steps.push_back(step);
          continue;
        case 'A': step.kind = FormatStep::Kind::a; break;
        case 'I': step.kind = FormatStep::Kind::i; break;
        case 'F': step.kind = FormatStep::Kind::f; break;
        case 'E': step.kind = FormatStep::Kind::e; break;
        case 'G': step.kind = FormatStep::Kind::g; break;
        default: return false;
      }
      step.has_w = number(step.w);
      const bool real = step.kind == FormatStep::Kind::f || step.kind == FormatStep::Kind::e ||
                        step.kind == FormatStep::Kind::g;
      if (real) {
        if (!step.has_w || next() != '.') return false;
        ++pos_;
        if (!number(step.d)) return false;
      }
      if (steps.size() + static_cast<std::size_t>(repeat) > kMaxSteps) return false;
      steps.insert(steps.end(), static_cast<std::size_t>(repeat), step);
    }
  }

  // A quoted literal; the quote written twice stands for itself.
  bool literal(char quote, std::string& out) {
    ++pos_;
    for (;;) {
      if (pos_ == text_.size()) return false;
      const char ch = text_[pos_++];
      if (ch == quote) {
        if (pos_ < text_.size() && text_[pos_] == quote) {
          out += quote;
          ++pos_;
          continue;
        }
        return true;
      }
      out += ch;
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

const ParsedFormat& cached_format(std::string_view format, Operation operation, int unit) {
  // The programs use a few dozen fixed format texts; the bound only guards against a caller
  // that makes a new text for every line.
  constexpr std::size_t kMaxCached = 256;
  static auto* cache = new std::map<std::string, ParsedFormat, std::less<>>;  // never destroyed
  const auto found = cache->find(format);
  if (found != cache->end()) return found->second;
  ParsedFormat parsed = parse_format(format, operation, unit);
  if (cache->size() >= kMaxCached) cache->clear();
  return cache->emplace(std::string(format), std::move(parsed)).first->second;
}

ParsedFormat parse_format(std::string_view format, Operation operation, int unit) {
  ParsedFormat result;
  FormatParser parser(format);
  if (parser.parse(result)) return result;
  // A descriptor list written without its enclosing parentheses, as in "100(a35,80a1)".
  result = ParsedFormat();
  const std::string enclosed = "(" + std::string(format) + ")";
  FormatParser retry(enclosed);
  if (!retry.parse(result)) fatal_failure(kStatusFormatSyntax, operation, unit);
  return result;
}

}  // namespace sgl::textio
