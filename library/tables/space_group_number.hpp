// The one range check of a space-group number before it indexes the tables.
#pragma once

#include <cstdint>
#include <string_view>

namespace sgl {

// Stops the run when the number lies outside 1 .. 230: one free-format line on standard output,
// "Error in <routine>: space group number out of range:" and the number ("Error: space group
// number out of range:" and the number when no routine is named), then bomb().
void check_space_group_number(int32_t space_group, std::string_view routine);

}  // namespace sgl
