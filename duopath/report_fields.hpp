// The fields of the report lines: whether a value given in the input fits the field its echo
// writes it in, and counts that the run finds, written in their field or, when their digits do
// not fit it, in as many columns as they need. A field too narrow would print asterisks, and a
// report line of asterisks in a run that ends normally reads as a result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace duopath {

// Whether the value fits the field of a one-descriptor layout such as "(f5.2)" (no asterisks).
bool fits_field(std::string_view format, double value);

// The value as Iw writes it (right-aligned in width columns) when it fits; else one blank and its
// digits, so that it never runs into the text or the number before it.
std::string integer_field(int64_t value, int width);

}  // namespace duopath
