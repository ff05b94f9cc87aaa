// Checked integer arithmetic shared by the exact routines of the library.
//
// Values are held in 64 bits while they are computed; a step that would overflow 64 bits, or a
// result that must be stored in 32 bits and does not fit, writes the line
// "Error: integer overflow in <routine>" on standard output and stops the run through bomb().
#pragma once

#include <cstdint>
#include <limits>
#include <span>

namespace sgl {

// The overflow line naming the routine, then bomb().
[[noreturn]] void overflow_stop(const char* routine);

// Inline, with the stop out of line: the exact routines call these in their inner loops.
inline int64_t add64(int64_t a, int64_t b, const char* routine) {
  int64_t r;
  if (__builtin_add_overflow(a, b, &r)) overflow_stop(routine);
  return r;
}

inline int64_t sub64(int64_t a, int64_t b, const char* routine) {
  int64_t r;
  if (__builtin_sub_overflow(a, b, &r)) overflow_stop(routine);
  return r;
}

inline int64_t mul64(int64_t a, int64_t b, const char* routine) {
  int64_t r;
  if (__builtin_mul_overflow(a, b, &r)) overflow_stop(routine);
  return r;
}

// The value as a 32-bit integer; a value outside that range is an overflow.
inline int32_t narrow32(int64_t v, const char* routine) {
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) overflow_stop(routine);
  return static_cast<int32_t>(v);
}

// Divides the entries by their greatest common divisor when that is 2 or more and returns it,
// else returns 1 (all zeros or an empty list: nothing changed).
int64_t factor64(std::span<int64_t> v, const char* routine);

}  // namespace sgl
