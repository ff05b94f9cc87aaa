// One keyword line (or type line of a keyword block): the line as read, its words, and the
// messages that name its faults. Every message goes to standard output only and ends the run
// through the fatal stop.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "duopath/atom_types.hpp"
#include "library/text/words.hpp"

namespace duopath {

// The text without its trailing blanks.
std::string_view trim_right(std::string_view text);

class KeywordLine {
 public:
  static constexpr std::size_t kLineLength = 80;

  // Takes an 80-character line, blanks it from its first "!" on and splits it into words. Words
  // the line lacks are blank, never left over from another line.
  explicit KeywordLine(std::string line);

  bool blank() const { return trim_right(text_).empty(); }
  int32_t word_count() const { return count_; }
  // Word k (1-based) as 20 characters; blank when the line lacks it.
  const std::string& word(int k) const { return words_.at(static_cast<std::size_t>(k - 1)); }
  std::string_view trimmed_word(int k) const { return trim_right(word(k)); }
  std::string_view trimmed_line() const { return trim_right(text_); }

  // Word k as one integer or one finite real; otherwise the syntax error naming the word.
  int32_t integer(int k) const;
  double real(int k) const;

  // The atom type that word k names, or the "not found" error naming the word.
  int32_t type(int k, const AtomTypes& types) const;

  // The syntax errors: naming a value word (form W), a wrong word count (form L) and an
  // unrecognised keyword or sub-word (form U); a word naming no atom type (form T).
  [[noreturn]] void fail_word(std::string_view word20) const;
  [[noreturn]] void fail_count() const;
  [[noreturn]] void fail_unknown() const;
  [[noreturn]] static void fail_type(std::string_view word);

 private:
  std::string text_;
  int32_t count_ = 0;
  std::array<int32_t, sgl::kMaxWords> lens_{};
  std::array<std::string, sgl::kMaxWords> words_;
};

}  // namespace duopath
