// Element access of the fixed-extent tables: 1-based, by columns.
#include "library/tables/fixed_table.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"

namespace sgl {
namespace {

TEST(FixedTable, ColumnMajorOneBased) {
  FixedTable<int16_t, 2, 3, 4> t;
  EXPECT_EQ(t.count, 24u);
  EXPECT_EQ(t.byte_size, 48u);
  for (std::size_t k = 0; k < t.count; ++k) t.flat()[k] = static_cast<int16_t>(k);
  // First index fastest: (i, j, k) is at (i-1) + 2 (j-1) + 6 (k-1).
  EXPECT_EQ(t(1, 1, 1), 0);
  EXPECT_EQ(t(2, 1, 1), 1);
  EXPECT_EQ(t(1, 2, 1), 2);
  EXPECT_EQ(t(1, 1, 2), 6);
  EXPECT_EQ(t(2, 3, 4), 23);
  EXPECT_TRUE(t.contains(2, 3, 4));
  EXPECT_FALSE(t.contains(3, 1, 1));
  EXPECT_FALSE(t.contains(1, 0, 1));
  EXPECT_FALSE(t.contains(1, 1, 5));
}

TEST(FixedTable, IndexOutOfRangeStopsInDebugBuilds) {
#if defined(NDEBUG) && defined(SGL_SANITIZE_BUILD)
  FAIL() << "the sanitizer build is the debug build: its assertions must be on";
#elif defined(NDEBUG)
  GTEST_SKIP() << "indices are checked in debug builds only";
#else
  FixedTable<int8_t, 5, 6000> t;
  EXPECT_DEATH(t(6, 1), "out of range");
  EXPECT_DEATH(t(1, 0), "out of range");
  EXPECT_DEATH(t(1, 6001), "out of range");
#endif
}

TEST(FixedTable, ScalarAndText) {
  FixedTable<int16_t> scalar;
  EXPECT_EQ(scalar.count, 1u);
  scalar() = 341;
  EXPECT_EQ(scalar(), 341);

  FixedTable<Text<6>, 2, 8> names;
  std::memcpy(names(2, 3).chars.data(), "cab   ", 6);
  EXPECT_EQ(names(2, 3).view(), "cab   ");
  EXPECT_EQ(names(2, 3).trimmed(), "cab");
  EXPECT_EQ(std::memcmp(names.bytes().data() + (2 * 2 + 1) * 6, "cab   ", 6), 0);
}

TEST(FixedTable, BlockMembersHaveTheirExtents) {
  CommonSpace& s = common_space();
  EXPECT_EQ(s.setting_transform.extents, (std::array<std::size_t, 5>{4, 4, 2, 230, 8}));
  EXPECT_EQ(s.setting_count.rank, 0u);
  EXPECT_EQ(sizeof(s.setting_symbol), 3410u);
  EXPECT_EQ(common_wyckoff().pg_element_list.extents, (std::array<std::size_t, 2>{48, 152}));
}

}  // namespace
}  // namespace sgl
