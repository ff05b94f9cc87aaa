// Changes of setting on a small hand-made table block (see setting_fixture.hpp): a body-centred
// group with primitive, origin-shifted and axis-exchanged settings.
#include "library/groups/change_setting.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "library/tables/common_space.hpp"
#include "library/types.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/setting_fixture.hpp"

namespace sgl {
namespace {

class SettingTables : public ::testing::Test {
 protected:
  std::unique_ptr<CommonSpace> cs = fixture::make_tables();
};

OpMatrix scaled_identity(int32_t d, std::array<int32_t, 3> t) {
  OpMatrix m{};
  for (int i = 1; i <= 3; ++i) {
    m4(m, i, i) = d;
    m4(m, i, 4) = t[i - 1];
  }
  m4(m, 4, 4) = d;
  return m;
}

// Checks change(in, out) into a separate object and into the input itself.
template <typename T, typename Change>
void expect_both_ways(Change change, const T& in, const T& expected, const std::string& what) {
  T out{};
  change(in, out);
  EXPECT_EQ(out, expected) << what;
  T same = in;
  change(same, same);
  EXPECT_EQ(same, expected) << what << " in place";
}

std::string arrow(std::string_view from, std::string_view to) {
  return std::string(from) + " -> " + std::string(to);
}

TEST_F(SettingTables, CmlToCmlLeavesTheMatrixAlone) {
  OpMatrix m = scaled_identity(2, {2, 0, 0});  // not in normal form
  const OpMatrix before = m;
  mat_change_setting(*cs, 229, "cml", "cml   ", m);
  EXPECT_EQ(m, before);
}

TEST_F(SettingTables, SameSettingOutAndBackGivesTheNormalForm) {
  for (std::string_view s : {"pml", "csh", "cab", "psh"}) {
    OpMatrix m = scaled_identity(4, {2, 0, 6});
    mat_change_setting(*cs, 229, s, s, m);
    EXPECT_EQ(m, scaled_identity(2, {1, 0, 3})) << s;
  }
}

TEST_F(SettingTables, OperatorsChangeSetting) {
  struct Case {
    int32_t sg;
    std::string_view from, to;
    SpaceOp op, expected;
  };
  const Case cases[] = {
      // Twofold about z through the origin of "cml", seen from an origin at (1/4, 0, 0): the
      // translation R o - o = (-1/2, 0, 0) is not reduced modulo 1.
      {229, "cml", "csh", {0, 0, 0, 1, 2}, {-1, 0, 0, 2, 2}},
      {229, "csh", "cml", {-1, 0, 0, 2, 2}, {0, 0, 0, 1, 2}},
      {229, "cml", "csh", {0, 0, 0, 1, 25}, {-1, 0, 0, 2, 25}},
      // Axes exchanged.
      {229, "cml", "cab", {1, 2, 3, 4, 1}, {2, 1, 3, 4, 1}},
      // Into and out of the primitive basis: the translation (1/2, 1/2, 1/2) is a3 + a2 + a1 ...
      {229, "cml", "pml", {1, 1, 1, 2, 1}, {1, 1, 1, 1, 1}},
      {229, "pml", "cml", {1, 1, 1, 1, 1}, {1, 1, 1, 2, 1}},
      {229, "pml", "cml", {0, 0, 0, 1, 2}, {0, 0, 0, 1, 2}},
      // ... and through both steps at once.
      {229, "pml", "csh", {0, 0, 0, 1, 2}, {-1, 0, 0, 2, 2}},
      {229, "psh", "pml", {0, 0, 0, 1, 25}, {0, 1, 1, 2, 25}},
      {229, "pml  ", "pml", {2, 0, 0, 4, 2}, {1, 0, 0, 2, 2}},
  };
  for (const Case& c : cases) {
    expect_both_ways(
        [&](const SpaceOp& in, SpaceOp& out) { op_change_setting(*cs, c.sg, c.from, c.to, in, out); },
        c.op, c.expected, arrow(c.from, c.to));
  }
}

TEST_F(SettingTables, UnknownSettingsStop) {
  testing::BombTrap trap;
  struct Case { std::string_view from, to; };
  for (const Case c : {Case{"cxyz", "cml"}, Case{"cml", "cxyz"}, Case{"pzz", "cml"},
                       Case{"cml", "pzz"}, Case{"pq", "cml"}}) {
    OpMatrix m = scaled_identity(1, {0, 0, 0});
    EXPECT_THROW(mat_change_setting(*cs, 229, c.from, c.to, m), testing::Bombed)
        << arrow(c.from, c.to);
    SpaceOp op{0, 0, 0, 1, 1};
    EXPECT_THROW(op_change_setting(*cs, 229, c.from, c.to, op, op), testing::Bombed);
  }
  OpMatrix m = scaled_identity(1, {0, 0, 0});
  EXPECT_THROW(mat_change_setting(*cs, 231, "pml", "cml", m), testing::Bombed);
}

TEST_F(SettingTables, OperatorWithoutAMatrixInTheTargetStops) {
  testing::BombTrap trap;
  SpaceOp op{0, 0, 0, 1, 2};
  cs->prim_matrix_code(2, 2, 1) = 0;  // the twofold loses its primitive matrix
  EXPECT_THROW(op_change_setting(*cs, 229, "cml", "pml", op, op), testing::Bombed);
  EXPECT_THROW(op_change_setting(*cs, 229, "pml", "cml", op, op), testing::Bombed);
}

TEST_F(SettingTables, VectorsTakeTheLinearPartOnly) {
  struct Case {
    std::string_view from, to;
    RationalVector v, expected;
  };
  const Case cases[] = {
      {"pml", "cml", {1, 0, 0, 1}, {-1, 1, 1, 2}},  // the first primitive basis vector
      {"pml", "csh", {1, 0, 0, 1}, {-1, 1, 1, 2}},  // the origin shift cancels
      {"cml", "pml", {1, 0, 0, 1}, {0, 1, 1, 1}},
      {"cml", "cab", {1, 2, 3, 1}, {2, 1, 3, 1}},
      {"cml", "cml", {2, 4, 0, -4}, {-1, -2, 0, 2}},
      {"psh", "pml", {0, 0, 0, 7}, {0, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    expect_both_ways(
        [&](const RationalVector& in, RationalVector& out) {
          vector_change_setting(*cs, 229, c.from, c.to, in, out);
        },
        c.v, c.expected, arrow(c.from, c.to));
  }
  testing::BombTrap trap;
  RationalVector w{};
  EXPECT_THROW(vector_change_setting(*cs, 229, "pml", "cml", {1, 0, 0, 0}, w), testing::Bombed);
}

TEST_F(SettingTables, PointsRealAndRationalAgree) {
  struct Case {
    std::string_view from, to;
    RationalVector p, expected;
  };
  const Case cases[] = {
      {"pml", "cml", {0, 0, 0, 1}, {0, 0, 0, 1}},  // same origin
      {"cml", "csh", {0, 0, 0, 1}, {-1, 0, 0, 4}},  // origin of "cml" in "csh"
      {"psh", "cml", {0, 0, 0, 1}, {1, 0, 0, 4}},   // origin of "psh" in "cml"
      {"pml", "csh", {1, 0, 0, 1}, {-3, 2, 2, 4}},  // a1 = (-1/2, 1/2, 1/2) less the shift
      {"csh", "psh", {5, 1, 1, 2}, {1, 3, 3, 1}},   // not reduced modulo 1
      {"cml", "cab", {1, 2, 3, 4}, {2, 1, 3, 4}},
      {"cab", "csh", {-1, 2, 3, 4}, {1, -1, 3, 4}},
  };
  for (const Case& c : cases) {
    expect_both_ways(
        [&](const RationalVector& in, RationalVector& out) {
          xyz_change_setting(*cs, 229, c.from, c.to, in, out);
        },
        c.p, c.expected, arrow(c.from, c.to));

    std::array<double, 3> x{};
    for (int i = 0; i < 3; ++i) x[i] = static_cast<double>(c.p[i]) / c.p[3];
    std::array<double, 3> y{};
    dxyz_change_setting(*cs, 229, c.from, c.to, x, y);
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(y[i], static_cast<double>(c.expected[i]) / c.expected[3], 1e-14)
          << arrow(c.from, c.to);
    }
    dxyz_change_setting(*cs, 229, c.from, c.to, x, x);
    EXPECT_EQ(x, y);
  }
}

TEST_F(SettingTables, WyckoffColumnsChangeAsPointAndDirections) {
  // Position (x, 0, 1/2) in "cml" with a stray column whose denominator is 0.
  const WyckoffMatrix w{0, 0, 1, 2,  1, 0, 0, 1,  5, 5, 5, 0,  0, 0, 0, 0};
  WyckoffMatrix out{};
  out.fill(9);
  wyckoff_change_setting(*cs, 229, "cml", "csh", w, out);
  const WyckoffMatrix expected{-1, 0, 2, 4,  1, 0, 0, 1,  0, 0, 0, 0,  0, 0, 0, 0};
  EXPECT_EQ(out, expected);
  WyckoffMatrix same = w;
  wyckoff_change_setting(*cs, 229, "cml", "csh", same, same);
  EXPECT_EQ(same, expected);
  // Absent parameters written as zero directions over a positive denominator stay so.
  const WyckoffMatrix ones{0, 0, 0, 1,  0, 0, 0, 1,  0, 0, 0, 1,  0, 0, 1, 1};
  wyckoff_change_setting(*cs, 229, "cml", "pml", ones, out);
  const WyckoffMatrix ones_expected{0, 0, 0, 1,  0, 0, 0, 1,  0, 0, 0, 1,  1, 1, 0, 1};
  EXPECT_EQ(out, ones_expected);
}

// P / pd and p are the subgroup's basis and origin; Q / qd and q must be the inverse map.
void expect_mutually_inverse(const Mat3i& p, int32_t pd, const RationalVector& po, const Mat3i& q,
                             int32_t qd, const RationalVector& qo) {
  Mat3i pq{};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j)
      for (int k = 1; k <= 3; ++k) m3(pq, i, j) += m3(p, i, k) * m3(q, k, j);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(m3(pq, i, j), i == j ? pd * qd : 0);
  // P q / (pd q4) + p = 0.
  for (int i = 1; i <= 3; ++i) {
    int64_t pq_num = 0;
    for (int k = 1; k <= 3; ++k) pq_num += int64_t{m3(p, i, k)} * qo[k - 1];
    EXPECT_EQ(pq_num * po[3] + int64_t{po[i - 1]} * pd * qo[3], 0);
  }
}

TEST_F(SettingTables, SubgroupRelationInPmlIsTheGivenOne) {
  const Mat3i basis{2, 0, 0, 0, 1, 0, 0, 0, 1};  // columns: 2 a1, a2, a3
  const RationalVector origin{2, 0, 0, 4};
  Mat3i p{}, q{};
  int32_t pd = 0, qd = 0;
  RationalVector po{}, qo{};
  subgroup_change_setting(*cs, 229, 1, basis, origin, p, pd, po, q, qd, qo, "pml   ");
  EXPECT_EQ(p, basis);
  EXPECT_EQ(pd, 1);
  EXPECT_EQ(po, (RationalVector{1, 0, 0, 2}));
  EXPECT_EQ(q, (Mat3i{1, 0, 0, 0, 2, 0, 0, 0, 2}));
  EXPECT_EQ(qd, 2);
  EXPECT_EQ(qo, (RationalVector{-1, 0, 0, 4}));
}

TEST_F(SettingTables, SubgroupRelationInOtherSettingsIsInvertible) {
  const Mat3i basis{1, 1, 0, -1, 1, 0, 0, 0, 1};
  const RationalVector origin{1, 0, 1, 2};
  for (std::string_view s : {"cml", "csh", "cab", "psh"}) {
    Mat3i p{}, q{};
    int32_t pd = 0, qd = 0;
    RationalVector po{}, qo{};
    subgroup_change_setting(*cs, 229, 229, basis, origin, p, pd, po, q, qd, qo, s);
    SCOPED_TRACE(s);
    expect_mutually_inverse(p, pd, po, q, qd, qo);
  }
  // In "cml" the basis is carried by the primitive step: P = T2 B T1 for the same lattice.
  Mat3i p{}, q{};
  int32_t pd = 0, qd = 0;
  RationalVector po{}, qo{};
  subgroup_change_setting(*cs, 229, 229, Mat3i{1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0, 1}, p, pd,
                          po, q, qd, qo, "cml");
  EXPECT_EQ(p, (Mat3i{1, 0, 0, 0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(pd, 1);
  EXPECT_EQ(po, (RationalVector{0, 0, 0, 1}));
}

TEST_F(SettingTables, SubgroupStops) {
  testing::BombTrap trap;
  const Mat3i basis{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Mat3i p{}, q{};
  int32_t pd = 0, qd = 0;
  RationalVector po{}, qo{};
  EXPECT_THROW(subgroup_change_setting(*cs, 229, 229, basis, {0, 0, 0, 1}, p, pd, po, q, qd, qo,
                                       "cxyz"),
               testing::Bombed);
  EXPECT_THROW(subgroup_change_setting(*cs, 229, 229, basis, {0, 0, 0, 1}, p, pd, po, q, qd, qo,
                                       "pzz"),
               testing::Bombed);
  EXPECT_THROW(subgroup_change_setting(*cs, 229, 229, basis, {0, 0, 0, 0}, p, pd, po, q, qd, qo,
                                       "pml"),
               testing::Bombed);
  EXPECT_THROW(subgroup_change_setting(*cs, 229, 229, Mat3i{}, {0, 0, 0, 1}, p, pd, po, q, qd,
                                       qo, "pml"),
               testing::Bombed);  // singular basis
}

}  // namespace
}  // namespace sgl
