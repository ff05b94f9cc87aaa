// Internal helpers of the linear-algebra routines.
#include "library/linalg_support.hpp"

#include <limits>
#include <numeric>
#include <string>

#include "library/bomb.hpp"
#include "library/text_io.hpp"

namespace sgl::linalg {

void stop_with_message(std::string_view text) {
  write_free(6, {text});
  bomb();
}

void stop_on_overflow(const char* routine) {
  write_free(6, {std::string("Error: integer overflow in ") + routine});
  bomb();
}

void require_storage(std::size_t size, std::int64_t needed) {
  if (needed > 0 && static_cast<std::uint64_t>(needed) > size) bomb();
}

std::int64_t storage_needed(int rows, int cols, int ld) {
  if (rows <= 0 || cols <= 0) return 0;
  return static_cast<std::int64_t>(ld) * (cols - 1) + rows;
}

std::int64_t add64(std::int64_t a, std::int64_t b, const char* routine) {
  std::int64_t r;
  if (__builtin_add_overflow(a, b, &r)) stop_on_overflow(routine);
  return r;
}

std::int64_t sub64(std::int64_t a, std::int64_t b, const char* routine) {
  std::int64_t r;
  if (__builtin_sub_overflow(a, b, &r)) stop_on_overflow(routine);
  return r;
}

std::int64_t mul64(std::int64_t a, std::int64_t b, const char* routine) {
  std::int64_t r;
  if (__builtin_mul_overflow(a, b, &r)) stop_on_overflow(routine);
  return r;
}

std::int32_t narrow32(std::int64_t v, const char* routine) {
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    stop_on_overflow(routine);
  return static_cast<std::int32_t>(v);
}

std::int64_t factor64(std::span<std::int64_t> v, const char* routine) {
  std::int64_t g = 0;
  for (std::int64_t e : v) {
    if (e == std::numeric_limits<std::int64_t>::min()) stop_on_overflow(routine);
    g = std::gcd(g, e);
  }
  if (g < 2) return 1;
  for (std::int64_t& e : v) e /= g;
  return g;
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
