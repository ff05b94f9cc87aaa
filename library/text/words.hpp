// Words of an input line and integers and fractions in text.
//
// Texts are fixed-length fields padded with blanks, held in std::string: a text's size is its
// length, and the routines keep it. Columns are numbered from 1.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sgl {

inline constexpr int kMaxWords = 10;
inline constexpr int kWordLength = 20;

// Splits columns 1 to 78 of a line into blank-separated words. A word with no blank up to
// column 78 runs on to column 80 (or the end of a shorter line). Each word found is stored cut or
// padded to 20 characters with its length (at most 20) in lens; positions beyond nw keep what
// they held. An eleventh word writes "Warning: Extra parameters ignored: " and the rest of the
// line (from that word to the last non-blank within column 78) to standard output and to unit 20;
// the eleventh and later words are dropped.
void separate_words(std::string_view line, int32_t& nw, std::array<int32_t, kMaxWords>& lens,
                    std::array<std::string, kMaxWords>& words);

// What separate_words, given the first `width` characters of a line, leaves out of every word:
// the first column (from 1) beyond column 78 that holds a non-blank character outside the words
// it takes, or 0 when there is none. Such text would be dropped without a word (a value moved past
// column 78 by tabs, say). With comment_words, a word that begins with "!" starts a comment, and
// nothing from it on counts as dropped.
int32_t first_dropped_column(std::string_view line, std::size_t width, bool comment_words);

// Splits a text at its commas into at most ten fields, each padded or cut to the length (size)
// the caller gave it; the commas taken are blanked in the text. After the tenth comma the rest
// of the text is not split. Fields beyond n keep what they held.
void separate_words_comma(std::string& text, int32_t& n, std::array<std::string, kMaxWords>& fields);

// Reads an integer ("-" and digits) or a fraction (such an integer, "/", digits) from the start of
// a text, ending at a blank or the text's end. Anything else, a zero denominator, or a value
// beyond the 32-bit range gives den = 0 (num then has no meaning).
void read_fraction(std::string_view text, int32_t& num, int32_t& den);

// Appends n (a minus sign and its digits, all of them) at columns p+1 onward and advances p.
// When the text has no room for it, writes one line and stops the run.
void number_string(int32_t& p, std::string& text, int32_t n);

// Appends num/den in lowest terms (den >= 2 is reduced; just the numerator when the denominator
// is then 1; a denominator below 1 is written unchanged after the slash) and advances p. When the
// text has no room for it, writes one line and stops the run without writing anything.
void fraction_string(int32_t& p, std::string& text, int32_t num, int32_t den);

}  // namespace sgl
