// The table of the 64 point operations built from the committed "symmetry.dat", and the preferred
// settings applied to the committed space-group tables.
#include "cellsieve/point_ops.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>

#include "cellsieve/run.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/table_files.hpp"

namespace cellsieve {
namespace {

const sgl::CommonSpace& committed_space() {
  static const std::unique_ptr<sgl::CommonSpace> space = [] {
    auto s = std::make_unique<sgl::CommonSpace>();
    sgl::load_common_space(SGL_DATA_DIR, *s);
    return s;
  }();
  return *space;
}

const PointOps& committed_ops() {
  static const std::unique_ptr<PointOps> ops = [] {
    auto o = std::make_unique<PointOps>();
    read_point_ops(SGL_DATA_DIR, committed_space(), *o);
    return o;
  }();
  return *ops;
}

TEST(PointOps, ProductTableMatchesTheMatrices) {
  const PointOps& ops = committed_ops();
  int products = 0;
  for (int32_t a = 1; a <= kOpCount; ++a)
    for (int32_t b = 1; b <= kOpCount; ++b) {
      const int32_t p = ops.op_product(a, b);
      const bool common = (ops.op_cubic(a) != 0 && ops.op_cubic(b) != 0) ||
                          (ops.op_hex(a) != 0 && ops.op_hex(b) != 0);
      ASSERT_EQ(p != 0, common) << a << " " << b;
      if (p == 0) continue;
      Mat3 ab{};
      matrix_mlt(ops.op_rot(a), ops.op_rot(b), ab);  // a applied after b
      for (int k = 0; k < 9; ++k) ASSERT_NEAR(ab[k], ops.op_rot(p)[k], 1e-12) << a << " " << b;
      ++products;
    }
  // 48 x 48 cubic pairs, plus 24 x 24 hexagonal pairs less the 8 x 8 counted twice.
  EXPECT_EQ(products, 48 * 48 + 24 * 24 - 8 * 8);
}

TEST(PointOps, CubicOnlyAndHexagonalOnlyHaveNoProduct) {
  const PointOps& ops = committed_ops();
  // Record 5 is a threefold axis along a body diagonal (cubic only), record 49 the threefold
  // axis along z of the hexagonal list (hexagonal only).
  ASSERT_EQ(ops.op_hex(5), 0);
  ASSERT_EQ(ops.op_cubic(49), 0);
  EXPECT_EQ(ops.op_product(5, 49), 0);
  EXPECT_EQ(ops.op_product(49, 5), 0);
}

TEST(PointOps, OrdersByKindOfOperation) {
  const std::map<std::string, int32_t> by_kind = {
      {"1", 1}, {"-1", 2}, {"2", 2}, {"m", 2}, {"3", 3}, {"4", 4},
      {"-4", 4}, {"6", 6}, {"-3", 6}, {"-6", 6}};
  const PointOps& ops = committed_ops();
  std::map<std::string, int> seen;
  for (int32_t k = 1; k <= kOpCount; ++k) {
    std::string kind = ops.op_name(k).substr(0, 2);
    while (!kind.empty() && kind.back() == ' ') kind.pop_back();
    ASSERT_TRUE(by_kind.count(kind)) << ops.op_name(k);
    EXPECT_EQ(ops.op_order(k), by_kind.at(kind)) << ops.op_name(k);
    ++seen[kind];
  }
  EXPECT_EQ(seen.size(), by_kind.size());  // every kind occurs
  EXPECT_EQ(ops.op_order(1), 1);
}

// The seven R groups get their hexagonal-axes entry as default setting: its symbol, its
// transformation pair in slot 1 and its generator start in column 2. Nothing else changes.
TEST(InterReplace, CommittedTablesPreferHexagonalAxesForTheRGroups) {
  auto replaced = std::make_unique<sgl::CommonSpace>(committed_space());
  apply_preferred_settings(*replaced);

  auto expected = std::make_unique<sgl::CommonSpace>(committed_space());
  const int r_groups[] = {146, 148, 155, 160, 161, 166, 167};
  for (int sg : r_groups) {
    int entry = 0;
    for (int e = 1; e <= expected->setting_count(); ++e) {
      const std::string_view sym = expected->setting_symbol(e).trimmed();
      if (expected->setting_sg(e) == sg && sym.size() > 2 && sym.substr(sym.size() - 2) == ":H") entry = e;
    }
    ASSERT_NE(entry, 0) << sg;
    EXPECT_EQ(replaced->sg_default_setting(sg), entry) << sg;
    expected->sg_default_setting(sg) = static_cast<int16_t>(entry);
    expected->sg_first_generator(sg, 2) = expected->setting_first_generator(entry);
    for (int k = 1; k <= 2; ++k)
      for (int j = 1; j <= 4; ++j)
        for (int i = 1; i <= 4; ++i)
          expected->setting_transform(i, j, k, sg, 1) = expected->setting_entry_transform(i, j, k, entry);
  }
  EXPECT_TRUE(sgl::testing::payload_of(*replaced) == sgl::testing::payload_of(*expected));
  EXPECT_EQ(replaced->setting_symbol(replaced->sg_default_setting(167)).trimmed(), "R-3c:H");
}

TEST(InterReplace, LaterQualifyingEntryWinsAndOthersAreIgnored) {
  auto space = sgl::testing::minimal_space();
  space->setting_count() = 5;
  struct Entry {
    int cls, flag, first_generator, mark;
  };
  const Entry entries[] = {{0, 0, 1, 0}, {1, 1, 11, 2}, {3, 1, 13, 3}, {1, 0, 21, 4}, {2, 1, 31, 5}};
  for (int e = 1; e <= 5; ++e) {
    const Entry& x = entries[e - 1];
    space->setting_sg(e) = 5;
    space->setting_inter_class(e) = static_cast<int8_t>(x.cls);
    space->setting_inter_flag(e) = static_cast<int8_t>(x.flag);
    space->setting_first_generator(e) = static_cast<int16_t>(x.first_generator);
    space->setting_entry_transform(1, 4, 1, e) = x.mark;
    space->setting_entry_transform(4, 4, 2, e) = 10 * x.mark;
  }
  space->sg_default_setting(5) = 1;
  apply_preferred_settings(*space);
  EXPECT_EQ(space->sg_default_setting(5), 3);
  EXPECT_EQ(space->sg_first_generator(5, 2), 13);
  EXPECT_EQ(space->setting_transform(1, 4, 1, 5, 1), 3);
  EXPECT_EQ(space->setting_transform(4, 4, 2, 5, 1), 30);
  EXPECT_EQ(space->sg_default_setting(4), 4);  // other groups untouched
}

TEST(InterReplace, RefusesAnEntryOutsideTheTable) {
  auto space = sgl::testing::minimal_space();
  space->setting_count() = 1;
  for (int32_t bad : {0, 2, -7}) {
    sgl::testing::BombTrap trap;
    testing::internal::CaptureStdout();
    EXPECT_THROW(inter_replace(*space, bad), sgl::testing::Bombed);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " Error in inter_replace:  setting entry " + std::to_string(bad) + " outside the table\n");
  }
}

}  // namespace
}  // namespace cellsieve
