// Diagonal form D = P A Q of an integer matrix with unimodular P and Q.
#pragma once

#include <cstdint>
#include <span>

#include "library/exact/linalg_support.hpp"

namespace sgl {

// On return the m x n matrix A (leading dimension lda) holds D = P A Q, diagonal with entries
// at least 0; P (m x m, leading dimension ldp) and Q (n x n, leading dimension ldq) are
// unimodular. Row and column echelon forms alternate until A is diagonal; the diagonal entries
// need not divide one another (a diagonal A comes back unchanged with unit P and Q). A leading
// dimension of A or P below m, or of Q below n, stops the run (bomb()).
void smith_normal_form(std::span<int32_t> a, int m, int n, int lda, std::span<int32_t> p, int ldp,
                       std::span<int32_t> q, int ldq);

namespace linalg {
// The same diagonalisation on 64-bit work matrices, without narrowing to 32 bits: a (m x n) is
// replaced by D, p and q are set to P (m x m) and Q (n x n); an overflow message names the
// routine.
void smith_work(WorkMatrix& a, WorkMatrix& p, WorkMatrix& q, const char* routine);
}  // namespace linalg

}  // namespace sgl
