// One keyword line and the messages that name its faults.
#include "duopath/keyword_line.hpp"

#include <utility>

#include "duopath/value_word.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace duopath {

std::string_view trim_right(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

KeywordLine::KeywordLine(std::string line) : text_(std::move(line)) {
  text_.resize(kLineLength, ' ');
  const std::size_t bang = text_.find('!');
  if (bang != std::string::npos) text_.replace(bang, std::string::npos, kLineLength - bang, ' ');
  words_.fill(std::string(sgl::kWordLength, ' '));
  sgl::separate_words(text_, count_, lens_, words_);
}

int32_t KeywordLine::integer(int k) const {
  int32_t value = 0;
  if (!read_integer_word(word(k), value)) fail_word(word(k));
  return value;
}

double KeywordLine::real(int k) const {
  double value = 0.0;
  if (!read_real_word(word(k), value)) fail_word(word(k));
  return value;
}

int32_t KeywordLine::type(int k, const AtomTypes& types) const {
  const int32_t t = types.find(word(k));
  if (t == 0) fail_type(word(k));
  return t;
}

void KeywordLine::fail_word(std::string_view word20) const {
  std::string word(word20);
  word.resize(sgl::kWordLength, ' ');
  sgl::write_free(6, {"syntax error: ", word});
  sgl::write_free(6, {"in line: ", trimmed_line()});
  sgl::bomb();
}

void KeywordLine::fail_count() const {
  sgl::write_free(6, {"syntax error: ", trimmed_line()});
  sgl::bomb();
}

void KeywordLine::fail_unknown() const {
  sgl::write_line(6, "(a)", {"syntax error: ", trimmed_line()});
  sgl::bomb();
}

void KeywordLine::fail_type(std::string_view word) {
  sgl::write_line(6, "(a)", {"Error: atom type " + std::string(trim_right(word)) + " not found"});
  sgl::bomb();
}

}  // namespace duopath
