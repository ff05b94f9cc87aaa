// The numeric kernel of the mode analysis: the zero tests, Gauss-Jordan reduction of real and
// complex matrices, a complex determinant, the Cartesian basis of a lattice and the cosine and
// sine of an angle in degrees.
//
// Matrices are stored by columns with a leading dimension lda: entry (i, j), 1-based, is
// a[(j - 1) * lda + i - 1]. The rows are equations (or candidate vectors), the columns unknowns
// (or components). Values are single precision; every operation runs in double precision and is
// rounded when it is stored. No routine keeps state.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "vibrex/single_precision.hpp"

namespace vibrex {

// Leading dimensions of the fixed-size callers.
inline constexpr int kRowopLead = 36;
inline constexpr int kDetLead = 6;

// Real 3x3 matrix, by columns.
using Mat3f = std::array<float, 9>;
inline float& at3(Mat3f& m, int i, int j) { return m[(j - 1) * 3 + (i - 1)]; }
inline float at3(const Mat3f& m, int i, int j) { return m[(j - 1) * 3 + (i - 1)]; }

// 1 when |x| lies above 0.001 (the single-precision value, strictly), else 0; NaN gives 0.
int32_t ncmp(float x);
// ncmp of |re| + |im|, the sum rounded to single precision first.
int32_t ncmpz(Complex8 z);

// Reduced row-echelon form of rows 1..n, columns 1..m, in place: the first nonzero entry of the
// current column at or below the pivot row is the pivot (no search for the largest), the pivot
// row is divided from the pivot column on, and every other row with a nonzero entry in the pivot
// column is cleared there. Rows without a pivot stay; no rank is returned.
void xrowop(std::span<float> a, int32_t n, int32_t m);
void xrowop2(std::span<float> a, int32_t n, int32_t m, int32_t lda);
void zrowop(std::span<Complex8> a, int32_t n, int32_t m);
void zrowop2(std::span<Complex8> a, int32_t n, int32_t m, int32_t lda);

// Determinant of the n x n complex matrix (leading dimension 6) by elimination; a is overwritten.
// (0, 0) when a column has no nonzero pivot. n above 6 stops the run.
Complex8 zdet(std::span<Complex8> a, int32_t n);

// cos and sin of x degrees, the radians formed in double precision with the single-precision pi.
float cos_d(float x);
float sin_d(float x);

// The Cartesian lattice vectors (columns of b: a along x, b in the x-y plane) and the inverse
// binv, found by one reduction. ierr = 2 when the reduction leaves the last pivot zero (binv is
// then not written), else 0.
void get_cartesian(float a, float b, float c, float alpha, float beta, float gamma, Mat3f& bmat, Mat3f& binv,
                   int32_t& ierr);

}  // namespace vibrex
