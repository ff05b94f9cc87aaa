// Internal helpers of the linear-algebra routines.
#include "library/exact/linalg_support.hpp"


#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace sgl::linalg {

void stop_with_message(std::string_view text) {
  bomb_with_message({text});
}

void require_storage(std::size_t size, std::int64_t needed) {
  if (needed > 0 && static_cast<std::uint64_t>(needed) > size) bomb();
}

std::int64_t storage_needed(int rows, int cols, int ld) {
  if (rows <= 0 || cols <= 0) return 0;
  return static_cast<std::int64_t>(ld) * (cols - 1) + rows;
}

void WorkMatrix::swap_rows(int r1, int r2) {
  if (r1 == r2) return;
  for (int j = 1; j <= cols_; ++j) std::swap((*this)(r1, j), (*this)(r2, j));
}

void load(WorkMatrix& w, std::span<const std::int32_t> a, int rows, int cols, int ld, int col0) {
  require_storage(a.size(), storage_needed(rows, cols, ld));
  for (int j = 1; j <= cols; ++j)
    for (int i = 1; i <= rows; ++i) w(i, col0 + j - 1) = a[at(i, j, ld)];
}

void store(const WorkMatrix& w, std::span<std::int32_t> a, int rows, int cols, int ld,
           const char* routine, int col0) {
  require_storage(a.size(), storage_needed(rows, cols, ld));
  for (int j = 1; j <= cols; ++j)
    for (int i = 1; i <= rows; ++i) a[at(i, j, ld)] = narrow32(w(i, col0 + j - 1), routine);
}

}  // namespace sgl::linalg
