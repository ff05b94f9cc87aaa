// Changes of setting: carrying operators, vectors, points, Wyckoff positions and subgroup
// relations from one setting of a space group to another, exactly.
//
// Each space group has eight slots of transformation pairs (T1, T2), mutually inverse operator
// matrices up to their denominators, named by the slot names of the tables. Slots 1-4 are axis
// steps between a conventional setting (matched by characters 2-6 of the code) and the reference
// "cml"; slots 5-8 are primitive steps between a primitive setting (matched by the whole code)
// and the conventional setting with the same axes. T2 M T1 carries an operator matrix one step
// towards the reference, T1 M T2 one step back. A code that no slot of the required range names
// stops the run.
//
// Setting codes compare with trailing blanks ignored. For every routine except
// subgroup_change_setting the output may be the same object as the input.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "library/types.hpp"

namespace sgl {

struct CommonSpace;

// Conjugates m, an operator of the group written in setting from, into setting to (in place):
// out of a primitive setting, into the reference axes, out of them, into a primitive setting,
// each step through trans4. From "cml" to "cml" nothing is done (m is not renormalised).
void mat_change_setting(const CommonSpace& cs, int32_t space_group, std::string_view from,
                        std::string_view to, OpMatrix& m);

// op (in from) as an operator in to: translation in lowest terms, not reduced modulo 1. Stops the
// run when op has no matrix in from or the changed matrix has no point operation in to.
void op_change_setting(const CommonSpace& cs, int32_t space_group, std::string_view from,
                       std::string_view to, const SpaceOp& op, SpaceOp& result);

// Image of the vector v under the linear part of the change (no origin shift), in lowest terms.
void vector_change_setting(const CommonSpace& cs, int32_t space_group, std::string_view from,
                           std::string_view to, const RationalVector& v, RationalVector& w);

// Coordinates in to of the point p given in from, in lowest terms, not reduced modulo 1.
void xyz_change_setting(const CommonSpace& cs, int32_t space_group, std::string_view from,
                        std::string_view to, const RationalVector& p, RationalVector& q);

// The same map as xyz_change_setting for real coordinates.
void dxyz_change_setting(const CommonSpace& cs, int32_t space_group, std::string_view from,
                         std::string_view to, const std::array<double, 3>& x,
                         std::array<double, 3>& y);

// Wyckoff matrix in to: the fixed point (column 1) as a point, each present parameter column
// (denominator in row 4 not 0) as a vector; an absent parameter column becomes four zeros.
void wyckoff_change_setting(const CommonSpace& cs, int32_t space_group, std::string_view from,
                            std::string_view to, const WyckoffMatrix& a, WyckoffMatrix& b);

// Relation of subgroup h to parent g, given in g's "pml" coordinates by the basis columns and the
// origin of h, carried into the given setting of both groups: basis / basis_den is h's basis and
// origin_out h's origin in g's setting; inverse / inverse_den and inverse_origin the inverse map.
// Outputs must not alias the inputs.
void subgroup_change_setting(const CommonSpace& cs, int32_t g, int32_t h, const Mat3i& basis,
                             const RationalVector& origin, Mat3i& basis_out, int32_t& basis_den,
                             RationalVector& origin_out, Mat3i& inverse, int32_t& inverse_den,
                             RationalVector& inverse_origin, std::string_view setting);

}  // namespace sgl
