// Diagonal form D = P A Q of an integer matrix with unimodular P and Q.
#include "library/exact/smith_normal_form.hpp"

#include <algorithm>
#include <cstddef>

#include "library/text/bomb.hpp"
#include "library/exact/linalg_support.hpp"
#include "library/exact/row_echelon.hpp"

namespace sgl {

namespace {

using linalg::WorkMatrix;

WorkMatrix unit_matrix(int n) {
  WorkMatrix u(n, n);
  for (int i = 1; i <= n; ++i) u(i, i) = 1;
  return u;
}

bool is_diagonal(const WorkMatrix& a) {
  for (int c = 1; c <= a.cols(); ++c)
    for (int r = 1; r <= a.rows(); ++r)
      if (r != c && a(r, c) != 0) return false;
  return true;
}

// Echelon form of the rows of a (m x n) with the companion comp (m x m), both updated.
void row_step(WorkMatrix& a, WorkMatrix& comp, const char* routine) {
  const int m = a.rows();
  const int n = a.cols();
  WorkMatrix w(m, n + m);
  for (int i = 1; i <= m; ++i) {
    for (int j = 1; j <= n; ++j) w(i, j) = a(i, j);
    for (int j = 1; j <= m; ++j) w(i, n + j) = comp(i, j);
  }
  linalg::echelon_with_companion(w, m, n, routine);
  for (int i = 1; i <= m; ++i) {
    for (int j = 1; j <= n; ++j) a(i, j) = w(i, j);
    for (int j = 1; j <= m; ++j) comp(i, j) = w(i, n + j);
  }
}

WorkMatrix transposed(const WorkMatrix& a) {
  WorkMatrix t(a.cols(), a.rows());
  for (int i = 1; i <= a.rows(); ++i)
    for (int j = 1; j <= a.cols(); ++j) t(j, i) = a(i, j);
  return t;
}

// Sets columns 1..n of every stored row of a caller's matrix to zero and its n x n block to the
// unit matrix.
void set_unit(std::span<int32_t> p, int n, int ld) {
  linalg::require_storage(p.size(), linalg::storage_needed(n, n, ld));
  const std::size_t end =
      std::min(p.size(), static_cast<std::size_t>(ld) * static_cast<std::size_t>(n));
  std::fill(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(end), 0);
  for (int i = 1; i <= n; ++i) p[linalg::at(i, i, ld)] = 1;
}

}  // namespace

namespace linalg {

void smith_work(WorkMatrix& a, WorkMatrix& p, WorkMatrix& q, const char* routine) {
  p = unit_matrix(a.rows());
  q = unit_matrix(a.cols());  // collects the column operations as row operations on A^T
  for (;;) {
    row_step(a, p, routine);
    if (is_diagonal(a)) break;
    WorkMatrix t = transposed(a);
    row_step(t, q, routine);
    a = transposed(t);
    if (is_diagonal(a)) break;
  }
  q = transposed(q);
}

}  // namespace linalg

void smith_normal_form(std::span<int32_t> a, int m, int n, int lda, std::span<int32_t> p, int ldp,
                       std::span<int32_t> q, int ldq) {
  static constexpr const char* kName = "smith_normal_form";
  if (lda < m || ldp < m || ldq < n) bomb();
  m = std::max(m, 0);
  n = std::max(n, 0);
  set_unit(p, m, ldp);
  set_unit(q, n, ldq);
  WorkMatrix wa(m, n);
  linalg::load(wa, a, m, n, lda);
  WorkMatrix wp(m, m);
  WorkMatrix wq(n, n);
  linalg::smith_work(wa, wp, wq, kName);
  linalg::store(wa, a, m, n, lda, kName);
  linalg::store(wp, p, m, m, ldp, kName);
  linalg::store(wq, q, n, n, ldq, kName);
}

}  // namespace sgl
