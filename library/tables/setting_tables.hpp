// Checked reads of the space-group tables for the operator encodings and the changes of setting.
//
// Numbers that index the tables (space groups, point operations, Bravais types, setting entries)
// come from callers, input files and the tables themselves; each is checked before use, and one
// outside its range ends the run with a one-line message and the fatal stop. These helpers serve
// the encoding and setting routines only.
#pragma once

#include <cstdint>
#include <string_view>

#include "library/types.hpp"

namespace sgl {

struct CommonSpace;

namespace setting_tables {

// One free-format message line "<text>  <value>" on standard output, then bomb().
[[noreturn]] void stop_with(const char* text, int32_t value);

void check_space_group(int32_t space_group);  // 1 .. 230
void check_point_op(int32_t k);               // 1 .. 72
void check_bravais(int32_t bravais);          // 1 .. 14

// Bravais type of a space group, checked.
int32_t checked_bravais(const CommonSpace& cs, int32_t space_group);

// Lattice letter of the group's default setting entry.
char default_lattice_letter(const CommonSpace& cs, int32_t space_group);

// Name of primitive setting b (1-4) of the primitive code tables.
std::string_view prim_setting_name(const CommonSpace& cs, int32_t b);

// Matrix codes of point operation k: conventional settings, "cinter" of rhombohedral groups, and
// primitive setting b (1-4) of a Bravais type.
int32_t conv_code(const CommonSpace& cs, int32_t k);
int32_t rhomb_code(const CommonSpace& cs, int32_t k);
int32_t prim_code(const CommonSpace& cs, int32_t k, int32_t bravais, int32_t b);

// Denominator of lattice matrices 1 and 2 of a Bravais type.
int32_t lattice_den(const CommonSpace& cs, int32_t bravais);

// Matrix n (1-4) of the lattice transformations of a Bravais type.
Mat3i lattice_matrix(const CommonSpace& cs, int32_t n, int32_t bravais);

// Matrix of point operation k in the conventional axes.
Mat3i point_op_matrix(const CommonSpace& cs, int32_t k);

// Second name of setting slot s (1-8).
std::string_view setting_slot_name(const CommonSpace& cs, int32_t s);

// Matrix p (1 or 2) of the transformation pair of slot s (1-8) of a space group.
OpMatrix setting_pair_matrix(const CommonSpace& cs, int32_t space_group, int32_t p, int32_t s);

}  // namespace setting_tables
}  // namespace sgl
