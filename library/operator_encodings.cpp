// Conversions between compact operators, operator matrices and matrix codes.
#include "library/operator_encodings.hpp"

#include <cstdint>
#include <cstdio>

#include "library/bomb.hpp"

namespace sgl {

namespace {

// One free-format message line on standard output, then the fatal stop.
[[noreturn]] void stop_with(const char* text, int64_t value) {
  std::printf(" %s  %lld\n", text, static_cast<long long>(value));
  std::fflush(stdout);
  bomb();
}

}  // namespace

int32_t identity_op(int32_t space_group) {
  return (space_group >= 143 && space_group <= 194) ? 49 : 1;
}

void num_to_mat(int32_t code, OpMatrix& m) {
  if (code < 0 || code >= kMatrixCodeCount) stop_with("Error: matrix code out of range", code);
  const int64_t d = m4(m, 4, 4);
  int32_t b = code;
  for (int j = 1; j <= 3; ++j) {
    for (int i = 1; i <= 3; ++i) {
      const int64_t e = static_cast<int64_t>(b % 3 - 1) * d;
      if (e > INT32_MAX) stop_with("Error: integer overflow in num_to_mat", e);
      m4(m, i, j) = static_cast<int32_t>(e);
      b /= 3;
    }
  }
  m4(m, 4, 1) = 0;
  m4(m, 4, 2) = 0;
  m4(m, 4, 3) = 0;
}

void mat_to_num(const OpMatrix& m, int32_t& code, int32_t& error) {
  error = 0;
  code = 0;
  const int64_t d = m4(m, 4, 4);
  // A zero denominator is no operator: refuse it before any division.
  if (d == 0) {
    error = 1;
    return;
  }
  for (int j = 3; j >= 1; --j) {
    for (int i = 3; i >= 1; --i) {
      const int64_t e = m4(m, i, j);
      if (e % d != 0) {
        error = 1;
        return;
      }
      const int64_t q = e / d;
      if (q < -1 || q > 1) {
        error = 1;
        return;
      }
      code = 3 * code + static_cast<int32_t>(q) + 1;
    }
  }
}

}  // namespace sgl
