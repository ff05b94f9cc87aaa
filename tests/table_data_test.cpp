// The committed data files load and pass validation.
#include <gtest/gtest.h>

#include <memory>

#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "tests/bomb_trap.hpp"

namespace sgl {
namespace {

TEST(TableData, CommittedFilesLoadAndValidate) {
  testing::BombTrap trap;
  auto s = std::make_unique<CommonSpace>();
  auto w = std::make_unique<CommonWyckoff>();
  ASSERT_NO_THROW(load_common_space(SGL_DATA_DIR, *s));
  ASSERT_NO_THROW(load_common_wyckoff(SGL_DATA_DIR, *w));

  // Operation 1 is the identity matrix; every group's operator list begins with its identity
  // (1, or 49 for the groups of the hexagonal list) with zero translation.
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(s->point_op_rot(i, j, 1), i == j ? 1 : 0);
  for (int g = 1; g <= kSpaceGroupCount; ++g) {
    const int r = s->sg_first_op(g);
    EXPECT_EQ(s->sg_op_table(5, r), (g >= 143 && g <= 194) ? 49 : 1) << "group " << g;
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(s->sg_op_table(k, r), 0) << "group " << g;
  }
  EXPECT_EQ(s->pg_order(s->sg_point_group(221)), 48);
  EXPECT_EQ(s->pg_order(s->sg_point_group(1)), 1);
  EXPECT_GT(s->setting_count(), 0);

  // Wyckoff positions: 1731 in all, one after the other; P1 has 1, Pm-3m 14 (a to n), Ia-3d 8.
  int total = 0;
  for (int g = 1; g <= kSpaceGroupCount; ++g) {
    EXPECT_EQ(w->wyc_first(g), total + 1) << "group " << g;
    total += w->wyc_count(g);
  }
  EXPECT_EQ(total, kWyckoffPositionCount);
  EXPECT_EQ(w->wyc_count(1), 1);
  EXPECT_EQ(w->wyc_count(221), 14);
  EXPECT_EQ(w->wyc_count(230), 8);
}

}  // namespace
}  // namespace sgl
