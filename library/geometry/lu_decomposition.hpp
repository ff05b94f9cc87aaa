// LU decomposition of a real square matrix, the matching solution of a linear system, and the
// inverse of a 3x3 matrix built on them.
//
// Matrices are stored by columns with a leading dimension np: entry (i, j), 1-based, is
// a[(j - 1) * np + i - 1]. Row interchanges are recorded 1-based, as the row each step took its
// pivot from.
#pragma once

#include <cstdint>
#include <span>

namespace sgl {

// Crout decomposition with implicit row scaling and partial pivoting: A (order n, leading
// dimension np) is replaced by the L and U factors of its row-permuted form (L with a unit
// diagonal, not stored), indx(j) is the row swapped with row j at step j, and d is +1 or -1, the
// parity of the interchanges. A row whose largest magnitude is not above 1e-6 makes d = 0 and
// returns at once with A unchanged (the matrix counts as singular); a zero pivot found later is
// replaced by 1e-20 and is not reported.
void dludcmp(std::span<double> a, int n, int np, std::span<int32_t> indx, double& d);

// Solves A x = b with the factors and interchanges of dludcmp; b is replaced by x. The forward
// pass skips the leading entries of b that are still 0. An interchange outside 1..n stops the run.
void dlubksb(std::span<const double> a, int n, int np, std::span<const int32_t> indx,
             std::span<double> b);

// B = the inverse of the 3x3 matrix A and err = 0; when dludcmp reports A singular, err = 1 and B
// is the identity.
void dmatinv(std::span<const double, 9> a, std::span<double, 9> b, int32_t& err);

}  // namespace sgl
