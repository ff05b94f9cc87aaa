// The lines of vibrex's input that are read whole (the title, the atom lines, the k lines): how
// they are read, what a read waits for, and how a stop names the line it refuses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vibrex {

// The width to which the title, atom and k lines are read.
inline constexpr int kLineWidth = 78;

// Reads the next line of standard input, kLineWidth characters wide (a shorter line padded with
// blanks). Input that ends before it stops the run with the diagnostic of the text layer, naming
// what was awaited ("the title", "atom line 2 of 3").
std::string read_input_line(std::string_view awaited);

// "atom line 2 of 3": line `index` (1-based) of the `count` lines of a kind.
std::string line_of(std::string_view kind, int32_t index, int32_t count);

// A line as a stop names it: its text without trailing blanks, or "a blank line".
std::string named_line(std::string_view line);

// ", on line: " and the line without trailing blanks: the end of a stop that names its line.
std::string on_line(std::string_view line);

// Whether word `index` (0-based) of an input line is longer than the 20 characters that the
// split into words keeps of it: such a word would be read cut short.
bool word_cut_short(std::string_view line, int32_t index);

// Stops the run when the line last read from standard input holds text beyond column 78, where
// the atom and k lines are no longer read (a value pushed there by tabs would be lost).
void refuse_text_beyond_column_78();

}  // namespace vibrex
