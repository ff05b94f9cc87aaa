// The counts that the run finds, written in their field or, when their digits do not fit it, in
// as many columns as they need: a field too narrow would print asterisks, and a report line of
// asterisks in a run that ends normally reads as a result. (Whether a value given in the input
// fits the field of its echo: sgl::fits_field.)
#pragma once

#include <cstdint>
#include <string>

namespace duopath {

// The value as Iw writes it (right-aligned in width columns) when it fits; else one blank and its
// digits, so that it never runs into the text or the number before it.
std::string integer_field(int64_t value, int width);

}  // namespace duopath
