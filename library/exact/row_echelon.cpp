// Integer row echelon form with a unimodular companion matrix.
#include "library/exact/row_echelon.hpp"

#include "library/text/bomb.hpp"

namespace sgl {

namespace linalg {

void echelon_with_companion(WorkMatrix& w, int m, int n, const char* routine) {
  const int width = n + m;
  for (int i = 1; i <= m; ++i) {
    for (;;) {
      int count = 0;
      int pivot_row = 0;
      int64_t smallest = 0;
      for (int r = i; r <= m; ++r) {
        const int64_t v = w(r, i);
        if (v == 0) continue;
        const int64_t mag = v < 0 ? sub64(0, v, routine) : v;
        ++count;
        if (pivot_row == 0 || mag < smallest) {
          pivot_row = r;
          smallest = mag;
        }
      }
      if (count == 0) break;
      w.swap_rows(pivot_row, i);
      if (w(i, i) < 0)
        for (int j = 1; j <= width; ++j) w(i, j) = sub64(0, w(i, j), routine);
      if (count == 1) break;
      const int64_t pivot = w(i, i);
      for (int r = i + 1; r <= m; ++r) {
        if (w(r, i) == 0) continue;
        const int64_t q = w(r, i) / pivot;
        for (int j = i; j <= width; ++j)
          w(r, j) = sub64(w(r, j), mul64(q, w(i, j), routine), routine);
      }
    }
  }
}

}  // namespace linalg

void row_echelon_form(std::span<int32_t> a, int m, int n, int lda, std::span<int32_t> b, int ldb) {
  static constexpr const char* kName = "row_echelon_form";
  if (lda < m || ldb < m) bomb();
  if (m <= 0) return;
  if (n < 0) n = 0;
  linalg::WorkMatrix w(m, n + m);
  linalg::load(w, a, m, n, lda);
  linalg::load(w, b, m, m, ldb, n + 1);
  linalg::echelon_with_companion(w, m, n, kName);
  linalg::store(w, a, m, n, lda, kName);
  linalg::store(w, b, m, m, ldb, kName, n + 1);
}

}  // namespace sgl
