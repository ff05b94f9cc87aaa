// The three forms of a space-group operator and the conversions between them.
//
// A SpaceOp (translation over a denominator, plus a point-operation number) is what the tables
// store; an OpMatrix (denominator times the affine matrix) is what products and changes of
// setting work on; a matrix code is one integer for a 3x3 matrix with entries -1, 0 and 1: the
// entries in column order are the base-3 digits (entry + 1), the first entry least significant,
// so the identity is 16484 and the inversion 3198.
//
// Point-operation numbers 1-48 form the cubic list, 49-72 the hexagonal list (space groups 143
// to 194). A number names a rotation in the conventional axes; its matrix in a given setting is
// read from that setting's code table, where a code 0 means "no such matrix".
//
// A setting code is a text of any length compared with trailing blanks ignored ("pml", "cml",
// "cinter", ...). Failures other than the error flags below end in bomb(), without a message
// unless the inputs are outside the tables.
#pragma once

#include <cstdint>
#include <string_view>

#include "library/types.hpp"

namespace sgl {

struct CommonSpace;

// Number of matrix codes: codes run from 0 to kMatrixCodeCount - 1.
inline constexpr int32_t kMatrixCodeCount = 19683;

// Point-operation number of the identity for a space group: 49 for 143 to 194, else 1.
int32_t identity_op(int32_t space_group);

// Writes rows 1-3 of columns 1-3 of m as (digit - 1) times m(4,4) and zeroes row 4 of columns
// 1-3; column 4 is untouched. A code outside 0 .. 19682 stops the run.
void num_to_mat(int32_t code, OpMatrix& m);

// Code of the rotation block of m divided by m(4,4). error = 1 (code unusable) when m(4,4) is 0,
// when an entry is not a multiple of m(4,4) or when a quotient lies outside -1 .. 1; else 0.
void mat_to_num(const OpMatrix& m, int32_t& code, int32_t& error);

// Operator matrix of op in the given setting of the space group: column 4 is op's translation
// and denominator unchanged, the rotation comes from the setting's code table ("cinter" of a
// group whose default setting is rhombohedral: its own table; any other code beginning "c": the
// conventional one; otherwise the primitive table of that name for the group's Bravais type).
// Stops the run when the setting has no code table or the operation has no matrix in it.
void op_to_mat(const CommonSpace& cs, int32_t space_group, std::string_view setting,
               const SpaceOp& op, OpMatrix& m);

// Compact form of m in the given setting: the translation in lowest terms with a positive
// denominator (not reduced modulo 1), and the first point operation of the group's half of the
// list whose code equals that of the rotation block. error = 1 when the rotation has no number in
// that setting (position 5 of op is then not written); m(4,4) = 0 stops the run. A table entry 0
// ("no matrix") never matches.
void mat_to_op(const CommonSpace& cs, int32_t space_group, std::string_view setting,
               const OpMatrix& m, SpaceOp& op, int32_t& error);

// w = (M1 R M2 / den) v: point operation k of the conventional axes acting on v given in the
// primitive basis of Bravais type bravais; w in lowest terms, not reduced modulo 1. w may be v.
void vrot(const CommonSpace& cs, int32_t bravais, int32_t k, const RationalVector& v,
          RationalVector& w);

}  // namespace sgl
