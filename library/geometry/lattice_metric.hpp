// Metric tensors and lattice parameters of real lattices.
//
// A basis is a 3x3 matrix stored by columns (entry (i, j), 1-based, at index (j - 1) * 3 + i - 1)
// whose columns are the three lattice vectors in Cartesian components. A metric tensor G has
// G(i, j) = b_i . b_j, so a vector with fractional components v has the length sqrt(v . G v).
// Lattice parameters are (a, b, c, alpha, beta, gamma), the angles in degrees. None of these
// routines guards its arguments: a cosine outside [-1, 1] or a negative quadratic form gives NaN.
#pragma once

#include <span>

namespace sgl {

// Metric from lattice parameters: the diagonal a^2, b^2, c^2; G(1,2) = a b cos gamma,
// G(1,3) = a c cos beta, G(2,3) = b c cos alpha, and their mirror images.
void dget_gmat(std::span<const double, 6> abc, std::span<double, 9> g);

// Metric of a Cartesian basis: G(i, j) = G(j, i) = dvdot of columns i and j.
void dget_gmat2(std::span<const double, 9> b, std::span<double, 9> g);

// Length sqrt(v . (G v)) of fractional components v in the metric G.
double dvlength2(std::span<const double, 3> v, std::span<const double, 9> g);

// Lattice parameters of a Cartesian basis: the column lengths and the angles between columns
// (alpha between the second and third, beta between the third and first, gamma between the first
// and second), in degrees.
void dgetabc(std::span<const double, 9> b, std::span<double, 6> abc);

// Whether the angles alpha, beta and gamma (in radians) span a cell: in the Cartesian frame of a
// cell (a along x, b in the x-y plane) a unit vector c has the components cx = cos beta and
// cy = (cos alpha - cos gamma cos beta) / sin gamma in that plane, and the squared height
// 1 - cx^2 - cy^2 above it must exceed min_height2 (it vanishes, or goes negative, for angles
// that leave c in the plane or span nothing; NaN fails too). Taken for a unit c, the test
// depends on the angles alone, and no length can overflow or underflow it.
bool forms_cell(double alpha, double beta, double gamma, double min_height2);

}  // namespace sgl
