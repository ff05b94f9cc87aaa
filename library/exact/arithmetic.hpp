// Exact integer and rational arithmetic on vectors, 3x3 matrices and operator matrices.
//
// All routines work on 32-bit integers in storage; intermediate products and sums are formed in
// 64 bits and checked, and a result that would leave the 32-bit range stops the run (message and
// bomb()) instead of wrapping. Where noted, an output may be the very object passed as an input.
#pragma once

#include <cstdint>
#include <span>

#include "library/types.hpp"

namespace sgl {

// Determinant of a, by expansion along the first row.
int32_t ndet(const Mat3i& a);

// p = a b (no reduction). p may be a or b.
void matmlt(const Mat3i& a, const Mat3i& b, Mat3i& p);

// w = m v on three numerators; only w[0..2] are written. w may be v.
void vmlt(const Mat3i& m, const int32_t* v, int32_t* w);

// a^-1 = b / den, in normal form (den > 0, no common factor). b may be a. Singular a: bomb().
void matinv(const Mat3i& a, Mat3i& b, int32_t& den);

// p = a b, then reduc4. p may be a or b.
void matmlt4(const OpMatrix& a, const OpMatrix& b, OpMatrix& p);

// p = (a b) e through matmlt4 twice. p may be any of a, b, e.
void trans4(const OpMatrix& a, const OpMatrix& b, const OpMatrix& e, OpMatrix& p);

// Inverse operator matrix, then reduc4. n may be m. Singular rotation block: bomb().
void matinv4(const OpMatrix& m, OpMatrix& n);

// c = a + b and c = a - b over the product of the denominators, then reduc2. c may be a or b.
void vadd(const RationalVector& a, const RationalVector& b, RationalVector& c);
void vsub(const RationalVector& a, const RationalVector& b, RationalVector& c);

// Numerators into 0 .. d-1 (translation normal form; call reduc2 first). d <= 0: bomb().
void reduc1(RationalVector& v);
// Lowest terms with a positive denominator. d == 0: bomb().
void reduc2(RationalVector& v);
// Normal form of a matrix over a denominator. d == 0: bomb().
void reduc3(Mat3i& m, int32_t& d);
// Normal form of an operator matrix (entry (4,4) not negative, no common factor).
void reduc4(OpMatrix& m);

// Divides the entries by their greatest common divisor when that is 2 or more; returns it, or 1.
int32_t factor(std::span<int32_t> v);

// Least common multiple of a and b (0 when either is 0); the name is historical.
int32_t ngcd(int32_t a, int32_t b);
// Least common multiple of v[0..n-1] folded left to right; v[0] when n <= 1.
int32_t ngcd2(std::span<const int32_t> v);

}  // namespace sgl
