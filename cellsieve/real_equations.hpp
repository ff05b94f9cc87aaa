// Real linear equations and minimum-norm fits.
//
// An equation table A with leading dimension lda holds one equation per column: with nvar
// variables, A(m, k) for m = 1..nvar is the coefficient of x_m in equation k and A(nvar + 1, k)
// its right-hand side. Entry (m, k), 1-based, is a[(k - 1) * lda + m - 1]; the span may start at
// any column of a larger table. An entry counts as nonzero when |x| >= 1e-10 (ncmpd); the
// tolerance is absolute. The callers guarantee the storage: nothing here checks neq, ncol or lda
// against it.
#pragma once

#include <cstdint>
#include <span>

#include "cellsieve/real_helpers.hpp"

namespace cellsieve {

// Gauss-Jordan elimination to reduced echelon form over columns 1..ncol of equations 1..neq:
// the pivot of each equation is the first nonzero entry found in equation order (equations are
// swapped, never chosen by size), divided to exactly 1 and cleared exactly from every other
// equation. Empty columns are skipped; when the columns run out the rest is left as it stands.
void solve_eqs(std::span<double> a, int32_t neq, int32_t ncol, int32_t lda);

// Sets neq to the last equation among 1..neq with a nonzero entry in its first ncol entries
// (0 when none has one). A is not changed.
void rm_zero_eqs(std::span<const double> a, int32_t& neq, int32_t ncol, int32_t lda);

// Completes the system with one equation per free variable so that its solution is the one with
// the smallest sum of squares of x_lo..x_hi, and reduces it. flag = 1 when the equations
// contradict each other (A then partly reduced), else 0. pivots and free_vars need room for nvar
// entries; A needs at least max(neq, nvar) columns.
void minimize_variables(std::span<double> a, int32_t& neq, int32_t nvar, int32_t lo, int32_t hi,
                        int32_t& flag, int32_t lda, std::span<int32_t> pivots,
                        std::span<int32_t> free_vars);

// B = A^-1 and err = 0; err = 1 and B untouched when A is singular, numerically tiny or has an
// entry that is not finite. B may be A. The solver's inverse gets one step of residual correction,
// so B is accurate to rounding also when A has small entries next to large ones.
void matrix_inverse(const Mat3& a, Mat3& b, int32_t& err);

}  // namespace cellsieve
