// The numeric constant table: the single-precision values that the mode-analysis tables name by
// index. Read from "const.dat" in the data directory on first use; lookups by value append
// values not yet in the table.
#pragma once

#include <array>
#include <cstdint>

namespace vibrex {

inline constexpr int32_t kConstCapacity = 1000;

// The table: zero at program start.
struct ConstCommon {
  int32_t const_loaded = 0;  // 1 once loading has begun
  int32_t const_count = 0;   // valid indices 1 .. const_count
  std::array<float, kConstCapacity> const_value{};

  float& value(int32_t i) { return const_value[static_cast<std::size_t>(i - 1)]; }
};

// The program's table.
ConstCommon& const_common();

// Fills the table from "const.dat": lines of an index n and a value v stored at n (a line that
// does not read is skipped, n keeping what the failed read assigned); the count is the last
// index read plus one, and entry 2k + 1 becomes the negative of entry 2k for k = 1 .. n / 2. An
// index outside 1 .. 1000, a last index of 1000 (its negation would fall outside), or a file
// without a readable line writes one line naming "const.dat" and stops through bomb(); so does a
// file that cannot be opened ("Error: cannot open file " and the path).
void init_constants();

// The first unit from 100 to 999 that no file uses; none free stops through bomb().
int32_t find_io_unit();

// Entry i, loading the table first when needed. i outside 1 .. count stops through bomb().
float constant(int32_t i);

// The lowest index whose value lies within 0.001 of x (by the zero test), loading the table first
// when needed; when none does, x is appended and its new index returned. A 1001st entry writes
// "Error in iconstant:  array size too small" and stops through bomb().
int32_t iconstant(float x);

}  // namespace vibrex
