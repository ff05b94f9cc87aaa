// The real-number kernel of cellsieve: sums, differences and products of 3-vectors and 3x3
// matrices, the determinant, the reduction of a point into the unit cell or to its shortest
// representative near the origin, the program's zero test and the eigenvalues of a symmetric 3x3
// matrix (the principal strains).
//
// Vectors hold components 1..3 at [0..2]; a matrix is stored by columns, entry (i, j) (row i,
// column j, both 1-based) at [(j - 1) * 3 + i - 1]. The output of every routine may be the same
// object as one of its inputs: results are formed in a local copy first.
#pragma once

#include <array>
#include <cstdint>

#include "library/geometry/real_vector.hpp"

namespace cellsieve {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<double, 9>;

// Entry (i, j) of a 3x3 matrix, 1-based.
constexpr double& at(Mat3& m, int i, int j) { return m[(j - 1) * 3 + (i - 1)]; }
constexpr double at(const Mat3& m, int i, int j) { return m[(j - 1) * 3 + (i - 1)]; }

inline constexpr Mat3 kIdentity3 = {1, 0, 0, 0, 1, 0, 0, 0, 1};

// The small routines are inline: the fits and the closure call them in their inner loops. The
// floating-point operations and their order are those written (no contraction, no reordering).

// c = a + b and c = a - b, component by component.
inline void vector_add(const Vec3& a, const Vec3& b, Vec3& c) {
  for (int i = 0; i < 3; ++i) c[i] = a[i] + b[i];
}
inline void vector_sub(const Vec3& a, const Vec3& b, Vec3& c) {
  for (int i = 0; i < 3; ++i) c[i] = a[i] - b[i];
}

// w = M v; each component summed from 0 over j = 1, 2, 3.
inline void vector_mlt(const Mat3& m, const Vec3& v, Vec3& w) {
  Vec3 r{};
  for (int i = 1; i <= 3; ++i) {
    double sum = 0.0;
    for (int j = 1; j <= 3; ++j) sum += at(m, i, j) * v[j - 1];
    r[i - 1] = sum;
  }
  w = r;
}

// R = A B; each entry summed from 0 over k = 1, 2, 3.
inline void matrix_mlt(const Mat3& a, const Mat3& b, Mat3& r) {
  Mat3 p{};
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) {
      double sum = 0.0;
      for (int k = 1; k <= 3; ++k) sum += at(a, i, k) * at(b, k, j);
      at(p, i, j) = sum;
    }
  r = p;
}

// The determinant, expanded along the first row.
double detmat(const Mat3& a);

// w = B r with r = A v, each component of r brought into [0, 1) the way zero_to_one does it
// (a non-finite component stops the run with zero_to_one's message).
void unitcell(const Mat3& a, const Mat3& b, const Vec3& v, Vec3& w);

// w = B r with r = A v, each component of r brought into (-0.5, 0.5] by exact steps of 1
// (0.5 stays, -0.5 becomes 0.5). A non-finite component stops the run with a message.
void near_origin(const Mat3& a, const Mat3& b, const Vec3& v, Vec3& w);

// 1 when |x| >= 1e-10, else 0 (a NaN counts as zero).
inline int32_t ncmpd(double x) { return sgl::iszero(x, 1e-10) ? 0 : 1; }

// The three eigenvalues of the symmetric matrix A (only its diagonal and the entries above it are
// read) by cyclic Jacobi rotations, in the positions of the diagonal entries they come from.
// The entries above the diagonal are overwritten; the diagonal and the entries below are kept.
// A non-finite entry gives three NaN eigenvalues at once and leaves A as it was. No convergence
// within 100 sweeps writes "error in jacobi:  did not converge" and stops the run.
void jacobi(Mat3& a, Vec3& d);

}  // namespace cellsieve
