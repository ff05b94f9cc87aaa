// Fraction-free Gauss-Jordan reduction of the rows of a matrix (integer and real variants).
//
// Matrices are stored by columns with a leading dimension: entry (i, j), 1-based, is
// a[(j - 1) * ld + i - 1]; rows are equations, columns unknowns. For each row in turn the pivot
// is taken in the next column that has a non-zero entry in that row or below (rows are swapped
// to bring it up, columns without one are skipped), and the pivot column is cleared in every
// other row. Zero rows stay where they fall.
#pragma once

#include <cstdint>
#include <span>

namespace sgl {

// Leading dimension of the matrix that rowop works on.
inline constexpr int kRowopLeadingDim = 50;

// Integer reduction of rows 1..nrow (nrow <= 50) and columns 1..ncol of a matrix with leading
// dimension 50: row k becomes a_ic a_kj - a_ij a_kc and is then divided by the greatest common
// divisor of its entries; the pivot row is left as it is. Computed in 64 bits; an entry that
// does not fit 32 bits at the end stops the run (message and bomb()).
void rowop(std::span<int32_t> a, int nrow, int ncol);

// As rowop, with the leading dimension lda (at least nrow).
void rowop2(std::span<int32_t> a, int nrow, int ncol, int lda);

// As rowop2, on 64-bit entries and without narrowing: the same row operations in checked 64-bit
// arithmetic; a step that would overflow 64 bits writes the overflow line naming `routine` and
// stops the run.
void rowop2_64(std::span<int64_t> a, int nrow, int ncol, int lda, const char* routine = "rowop2");

// Real reduction: an entry is non-zero when its magnitude exceeds 1e-6; the pivot row is divided
// by the pivot (columns c..ncol) and row k becomes a_kj - a_ij a_kc. Rows whose entry in the pivot
// column counts as zero are left untouched.
void drowop2(std::span<double> a, int nrow, int ncol, int lda);

}  // namespace sgl
