// Numbers given as single words of an input line.
//
// A value word must hold exactly one number and nothing after it: free-format input would read
// "1/3" as 1, "0.5,1" as 0.5 and leave ",5" unread, which turns a typing slip into a silently
// wrong position or setting. The syntax is checked here; the conversion is the text layer's
// free-format read, so a word means the same number wherever it is read.
#pragma once

#include <cstdint>
#include <string_view>

namespace duopath {

// An optional sign and decimal digits (trailing blanks allowed), within the 32-bit range.
bool read_integer_word(std::string_view word, int32_t& value);

// An optional sign, digits with at most one decimal point (at least one digit), and an optional
// exponent: a letter E or D with an optional sign, or a sign alone, then digits. The value must
// be finite (a word such as 1e400 reads as infinity and is refused).
bool read_real_word(std::string_view word, double& value);

}  // namespace duopath
