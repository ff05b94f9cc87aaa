// Shortening of a lattice basis before the lattice sums that only look at a few translations.
#pragma once

#include <span>

#include "library/types.hpp"

namespace sgl {

// Reduces the basis whose metric is G (3x3, by columns). While some vector
// b_i + e_j b_j + e_k b_k (j, k the other two indices, e_j and e_k from -1, 0, 1, not both 0) has a
// squared length below |b_i|^2 (1 - 1e-10), b_i is replaced by it; the candidates are tried with i
// from 1 to 3, e_j slower than e_k, each from -1 to 1, and the scan starts again after every
// replacement. A multiple b_i - n b_j with |n| >= 2 that shortens b_i is taken in one jump first,
// so very oblique bases end quickly. The result is a basis in which no such vector is shorter
// than the one it would replace (Minkowski-reduced up to the order of the vectors).
//
// m receives the integer unimodular matrix (by columns) whose columns give the new basis vectors
// in the old ones: new basis = old basis x m, new metric = m^T G m. Returns false, with m the
// identity, when nothing is replaced; then callers use their basis exactly as given. Absurdly
// oblique bases are reduced only as far as the bounds allow: m keeps its entries within 2^14 in
// magnitude, and a vector some 1e10 times longer than another cannot be shortened by single steps
// (each would gain less than the tolerance). The number of replacements is bounded as well, so a
// degenerate basis ends too.
bool reduce_lattice_basis(std::span<const double, 9> g, Mat3i& m);

// The metric m^T G m of the basis given by m.
void transform_metric(std::span<const double, 9> g, const Mat3i& m, std::span<double, 9> g_new);

// The inverse of a unimodular integer matrix (its adjugate times its determinant, +1 or -1).
Mat3i unimodular_inverse(const Mat3i& m);

}  // namespace sgl
