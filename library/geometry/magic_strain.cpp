// Principal stretches by the polar decomposition of the deformation gradient.
#include "library/geometry/magic_strain.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

#include "library/geometry/jacobi.hpp"
#include "library/geometry/lu_decomposition.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace sgl {

namespace {

constexpr int idx(int i, int j) { return (j - 1) * 3 + (i - 1); }

}  // namespace

void magic_strain(std::span<const double, 9> a, std::span<double, 9> b, std::span<double, 3> s) {
  std::array<double, 9> a_inverse;
  int32_t err = 0;
  dmatinv(a, a_inverse, err);
  if (err != 0) {
    write_free(6, {"Error in magic_strain: xmatinv failed"});
    bomb();
  }

  // Deformation gradient and the right Cauchy-Green tensor H = F^T F.
  std::array<double, 9> f;
  dmatmlt(b, a_inverse, f, 3, 3, 3, 3, 3, 3);
  std::array<double, 9> h;
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) {
      double sum = 0.0;
      for (int k = 1; k <= 3; ++k) sum += f[idx(k, i)] * f[idx(k, j)];
      h[idx(i, j)] = ncmpd(sum) ? sum : 0.0;
    }

  std::array<double, 3> eigenvalues;
  std::array<double, 9> vectors;
  jacobi(h, 3, eigenvalues, vectors, 3);
  for (int k = 0; k < 3; ++k) s[k] = std::sqrt(eigenvalues[k]);

  // The symmetric stretch U = V diag(s) V^T, then B = U A.
  std::array<double, 9> u;
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) {
      double sum = 0.0;
      for (int k = 1; k <= 3; ++k) sum += s[k - 1] * vectors[idx(j, k)] * vectors[idx(i, k)];
      u[idx(i, j)] = sum;
    }
  dmatmlt(u, a, b, 3, 3, 3, 3, 3, 3);

  // Largest first: two passes over the adjacent pairs; a pair that does not compare (NaN) is
  // exchanged too. The eigenvectors keep their order.
  for (int pass = 0; pass < 2; ++pass)
    for (int k = 0; k < 2; ++k)
      if (!(s[k] >= s[k + 1])) std::swap(s[k], s[k + 1]);
}

}  // namespace sgl
