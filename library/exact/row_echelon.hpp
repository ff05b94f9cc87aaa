// Integer row echelon form with a unimodular companion matrix.
#pragma once

#include <cstdint>
#include <span>

#include "library/exact/linalg_support.hpp"

namespace sgl {

// Brings the m x n matrix A (leading dimension lda) to row echelon form by unimodular row
// operations, column i = 1..m in turn (columns without a pivot are not skipped): the smallest
// non-zero entry of column i at or below row i is swapped up, made positive and used to reduce
// the rows below by truncated quotients until it is the only non-zero entry left. The same row
// operations act on the m x m companion B (leading dimension ldb), so B started from the unit
// matrix returns P with P A = the result. A leading dimension below m stops the run (bomb()).
// Computed in 64 bits; an entry that does not fit 32 bits stops the run (message and bomb()).
void row_echelon_form(std::span<int32_t> a, int m, int n, int lda, std::span<int32_t> b, int ldb);

namespace linalg {
// The same reduction on a 64-bit work matrix W = [A | B] with m rows and n + m columns, without
// narrowing to 32 bits; an overflow message names the routine.
void echelon_with_companion(WorkMatrix& w, int m, int n, const char* routine);
}  // namespace linalg

}  // namespace sgl
