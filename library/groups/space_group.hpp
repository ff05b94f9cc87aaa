// The operators of a space group and its generators, read from the space-group tables.
//
// Operators come one per coset of the lattice translations, in the setting "pml" of the tables,
// identity (zero translation) first; generators come in a chosen setting. Results go into
// caller-supplied lists (48 operators at most); a list too short for the result stops the run.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "library/tables/space_group_number.hpp"
#include "library/types.hpp"

namespace sgl {

struct CommonSpace;

// Largest number of operators of a space group modulo its lattice translations.
inline constexpr int32_t kMaxGroupOps = 48;

// check_space_group_number(space_group, routine): the range check of a group number, with a
// message naming the routine.

// The group's operators in "pml", in table order: nop = order of its point group, ops[0] the
// identity with zero translation.
void generate_space_group(const CommonSpace& cs, int32_t space_group, int32_t& nop,
                          std::span<SpaceOp> ops);

// The group's generators in the given setting; their number is the generator count of the
// group's point group. The list of the conventional variant of the setting (character 1 made
// "c") is read; for a primitive setting ("p...") each generator is changed into it, with its
// translation reduced into 0 .. denominator - 1. A setting whose conventional variant has no
// generator list stops the run.
void get_generators(const CommonSpace& cs, int32_t space_group, std::span<SpaceOp> generators,
                    std::string_view setting);

}  // namespace sgl
