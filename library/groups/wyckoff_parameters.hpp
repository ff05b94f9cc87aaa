// The free parameters of a Wyckoff position as an input line gives them: three numbers taken as
// x, y and z by their place, of which only those that the position has take effect. A number in
// a place whose coordinate the position fixes is checked, so that a parameter typed in the wrong
// place is refused instead of silently dropped.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "library/types.hpp"

namespace sgl {

// Whether the position has parameter j (1 = x, 2 = y, 3 = z): its column's denominator is not 0.
bool wyckoff_has_parameter(const WyckoffMatrix& w, int j);

// The position's coordinate triple as International Tables print it, from its matrix in the
// setting the input uses: "(0,1/4,z)", "(x,x,z)", "(x,2x,1/4)", "(-x,x+1/2,1/4)", "(0,0,0)".
std::string wyckoff_triple_text(const WyckoffMatrix& w);

// The three numbers given for a position: each number in a place whose parameter the position
// does not have must be 0 or the coordinate that the triple gives in that place for the
// parameters given, both within 1e-4 and modulo 1. Returns an empty text when they are, and
// otherwise the reason, naming the position by its label and telling where its parameters go:
// "8e is (0,1/4,z): give z as the third number".
std::string fixed_parameter_refusal(std::string_view label, const WyckoffMatrix& w,
                                    const std::array<double, 3>& given);

}  // namespace sgl
