// Internal interface: free-format output lines.
#pragma once

#include <span>
#include <string>

#include "library/text/text_io.hpp"

namespace sgl::textio {

// A free-format line: the leading blank, the items, the line feed.
std::string free_line(std::span<const OutItem> items);

// The free layout of a real with its two leading columns.
std::string free_real(double real, bool single);

}  // namespace sgl::textio
