// Small routines on double-precision vectors and matrices: the two zero tests, the wrapping of
// fractional coordinates into the unit cell, differences, lengths, dot products, matrix-vector
// and matrix-matrix products and the 3x3 determinant.
//
// Vectors are indexed from 0 here (component i of the documentation is v[i - 1]); a matrix is
// stored by columns with a leading dimension lda: entry (i, j), 1-based, is a[(j - 1) * lda + i -
// 1]. Every sum starts from 0 and adds its terms in increasing index order. None of these routines
// keeps state; an array shorter than the dimensions given stops the run through bomb().
#pragma once

#include <cmath>
#include <span>

namespace sgl {

// True when |x| > 1e-6 (1e-6 itself and NaN count as zero). Inline: the searches call it in
// their innermost loops.
inline bool ncmpd(double x) { return std::fabs(x) > 1e-6; }

// True when |x| < tol, strictly (NaN counts as zero). Inline, as ncmpd.
inline bool iszero(double x, double tol) { return !(std::fabs(x) >= tol); }

// Wraps each of the three components into the unit interval: while a component is above 1 or
// within 1e-12 of 1 it is lowered by 1, then while it is below 0 and not within 1e-12 of 0 it
// is raised by 1. The result lies in [-1e-12, 1 - 1e-12). Large values jump by whole numbers
// first, with the same result as single steps; a non-finite component stops the run (message
// and bomb()).
void zero_to_one(std::span<double, 3> x);

// d = a - b over the first n components; d may be a or b.
void dvsub(std::span<const double> a, std::span<const double> b, std::span<double> d, int n);

// Euclidean length of the first n components (0 for n <= 0). Both names behave alike.
double vlength(int n, std::span<const double> v);
double dvlength(int n, std::span<const double> v);

// Dot product of the first n components (0 for n <= 0). Both names behave alike.
double vdot(int n, std::span<const double> a, std::span<const double> b);
double dvdot(int n, std::span<const double> a, std::span<const double> b);

// y = A x with rows 1..m and columns 1..n of A (leading dimension lda); y may be x.
// With n <= 0 the m components of y become 0. Both names behave alike.
void xvmlt(std::span<const double> a, std::span<const double> x, std::span<double> y, int m, int n,
           int lda);
void dvmlt(std::span<const double> a, std::span<const double> x, std::span<double> y, int m, int n,
           int lda);

// R = A B with A of l rows and m columns, B of m rows and n columns, R of l rows and n columns,
// each with its own leading dimension; r may be a or b.
void dmatmlt(std::span<const double> a, std::span<const double> b, std::span<double> r, int l,
             int m, int n, int lda, int ldb, int ldr);

// Determinant of a 3x3 matrix (column-major), by expansion along the first row.
double ddet3(std::span<const double, 9> a);

}  // namespace sgl
