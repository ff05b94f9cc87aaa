// Eigenvalues and eigenvectors of a real symmetric matrix by the cyclic Jacobi method.
#pragma once

#include <span>

namespace sgl {

// Diagonalises the symmetric matrix A (order n, stored by columns with leading dimension lda; only
// the diagonal and the elements above it are read, and those above it are destroyed). d receives
// the n eigenvalues, unsorted; column k of V (leading dimension lda) the normalised eigenvector of
// d(k). The method sweeps over the elements above the diagonal, rotating each away: in sweeps 1
// to 3 only elements above 0.2 * (sum of their magnitudes) / n^2, later every non-zero one; from
// sweep 5 on an element negligible against both its diagonal elements is simply set to 0. It ends
// when that sum is exactly 0. After 100 sweeps without convergence it writes "error in jacobi:
// did not converge" on standard output and stops the run through bomb().
void jacobi(std::span<double> a, int n, std::span<double> d, std::span<double> v, int lda);

}  // namespace sgl
