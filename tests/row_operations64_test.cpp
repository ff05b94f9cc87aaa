// The 64-bit entry of the integer row reduction.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "library/exact/row_operations.hpp"
#include "tests/bomb_trap.hpp"

namespace sgl {
namespace {

using testing::Bombed;
using testing::BombTrap;

// On matrices that fit 32 bits it does what rowop2 does, entry for entry.
TEST(Rowop64, SameAsThe32BitReduction) {
  const std::vector<std::vector<int32_t>> cases = {
      {2, 4, 1, 3, 6, 2, 5, 7, 3, 1, 0, 8},          // 3 x 4, full rank
      {0, 0, 0, 2, 4, 6, 1, 2, 3, 5, 1, 9},          // first column zero: skipped
      {3, -6, 9, 1, -2, 3, 4, 4, 4, 0, 1, -1},       // dependent rows
  };
  for (const auto& a32 : cases) {
    std::vector<int32_t> expected = a32;
    rowop2(expected, 3, 4, 3);
    std::vector<int64_t> a64(a32.begin(), a32.end());
    rowop2_64(a64, 3, 4, 3);
    EXPECT_EQ(std::vector<int64_t>(expected.begin(), expected.end()), a64);
  }
}

// Entries beyond 32 bits are kept (rowop2 would stop on them); beyond 64 bits it stops too.
TEST(Rowop64, WideEntries) {
  const int64_t big = 3'000'000'000;
  // Rows (2, 1, 0) and (1, 1, big) become (1, 0, -big) and (0, 1, 2 big).
  std::vector<int64_t> a{2, 1, 1, 1, 0, big};
  rowop2_64(a, 2, 3, 2);
  EXPECT_EQ(a, (std::vector<int64_t>{1, 0, 0, 1, -big, 2 * big}));
  BombTrap trap;
  std::vector<int64_t> huge{2, 1, 1, 1, 0, int64_t{1} << 62};
  EXPECT_THROW(rowop2_64(huge, 2, 3, 2), Bombed);
}

}  // namespace
}  // namespace sgl
