// Principal stretches of the deformation that carries one cell into another.
#pragma once

#include <span>

namespace sgl {

// With F = B A^-1 = R U (R a rotation, U symmetric positive), the principal stretches s are the
// eigenvalues of U, largest first; B is replaced by U A, the strained cell with its rotation
// removed. A and B are 3x3 bases stored by columns (the lattice vectors in Cartesian components).
// Elements of F^T F not above 1e-6 in magnitude are taken as 0. When A cannot be inverted the
// routine writes "Error in magic_strain: xmatinv failed" on standard output and stops the run
// through bomb().
void magic_strain(std::span<const double, 9> a, std::span<double, 9> b, std::span<double, 3> s);

}  // namespace sgl
