// Stored irreps: listed operators, lattice translations in either direction, characters, snapping
// and the refused operators.
#include <gtest/gtest.h>

#include <array>

#include "tests/bomb_trap.hpp"
#include "tests/vibrex/loaded_fixture.hpp"
#include "vibrex/constants.hpp"
#include "vibrex/stored_irrep.hpp"

namespace vibrex {
namespace {

using sgl::SpaceOp;
using sgl::testing::Bombed;
using sgl::testing::BombTrap;
using Mat2 = std::array<double, 4>;  // by columns

Mat2 mul(const Mat2& a, const Mat2& b) {
  return {a[0] * b[0] + a[2] * b[1], a[1] * b[0] + a[3] * b[1], a[0] * b[2] + a[2] * b[3], a[1] * b[2] + a[3] * b[3]};
}
Mat2 transpose(const Mat2& a) { return {a[0], a[2], a[1], a[3]}; }

// Stored irrep 6 of P-1, two-dimensional, with translation matrices that do not commute:
// T1 a reflection, T2 the swap, T3 a quarter turn; the identity and the inversion (the swap with
// a sign) as listed matrices. Not a representation, which the routine does not need.
constexpr Mat2 kT1{1, 0, 0, -1}, kT2{0, 1, 1, 0}, kT3{0, 1, -1, 0}, kE{1, 0, 0, 1}, kI{0, -1, -1, 0};

int index_of(double v) { return v == 0 ? testing::kC0 : v == 1 ? testing::kC1 : testing::kCm1; }

void add_two_dimensional_irrep(testing::LoadedTables& t) {
  t.irrep->irrep_sg(6) = 2;
  t.irrep->irrep_image(6) = 3;
  t.image->image_dimension(3) = 2;
  t.irrep->irrep_matrix_first(6) = 100;
  const Mat2* mats[] = {&kT1, &kT2, &kT3, &kE, &kI};
  for (int e = 0; e < 5; ++e) {
    t.irrep->irrep_matrix_start(100 + e) = 1000 + 4 * e;
    for (int x = 0; x < 4; ++x) t.irrep->irrep_matrix_element(1000 + 4 * e + x) = static_cast<int16_t>(index_of((*mats[e])[x]));
  }
}

TEST(StoredIrrep, LatticeTranslationsMultiplyFromTheLeft) {
  testing::FixtureRun run(testing::standard_fixture());
  add_two_dimensional_irrep(run.loaded());
  const Tables t = run.tables();
  const struct {
    SpaceOp op;
    Mat2 expected;
  } cases[] = {
      {{0, 0, 0, 1, 1}, kE},
      {{0, 0, 0, 1, 25}, kI},
      {{1, 0, 0, 1, 1}, kT1},
      {{1, 0, -2, 1, 1}, mul(transpose(kT3), mul(transpose(kT3), kT1))},
      {{1, 1, -1, 1, 25}, mul(transpose(kT3), mul(kT2, mul(kT1, kI)))},
      {{0, -3, 0, 1, 25}, mul(transpose(kT2), mul(transpose(kT2), mul(transpose(kT2), kI)))},
      {{4, 2, 6, 2, 1}, mul(kT3, mul(kT3, mul(kT3, mul(kT2, mul(kT1, mul(kT1, kE))))))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.op));
    StoredMatrix m{};
    float chi = -7.0f;
    int32_t error = -1;
    get_irrep(t, 2, 6, c.op, chi, m, error);
    EXPECT_EQ(error, 0);
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 2; ++i) EXPECT_EQ(m[j * kStoredLead + i], c.expected[j * 2 + i]) << i << j;
    EXPECT_EQ(chi, -7.0f);  // mode 2 leaves the character alone
    get_irrep(t, 1, 6, c.op, chi, m, error);
    EXPECT_EQ(chi, static_cast<float>(c.expected[0] + c.expected[3]));
  }
}

TEST(StoredIrrep, MatricesAreSnappedToTableValuesButCharactersAreNot) {
  testing::FixtureRun run(testing::standard_fixture());
  testing::LoadedTables& lt = run.loaded();
  add_two_dimensional_irrep(lt);
  // T1 a rotation by 45 degrees with entries +-0.70710677: its square has entries within
  // rounding of 0 and 1, which snap to exactly 0 and 1.
  const int c = testing::kCRoot, mc = testing::kCmRoot;
  const int rot[] = {c, c, mc, c};
  for (int x = 0; x < 4; ++x) lt.irrep->irrep_matrix_element(1000 + x) = static_cast<int16_t>(rot[x]);
  const Tables t = run.tables();
  StoredMatrix m{};
  float chi = 0.0f;
  int32_t error = -1;
  get_irrep(t, 2, 6, {2, 0, 0, 1, 1}, chi, m, error);
  EXPECT_EQ(m[0], 0.0f);
  EXPECT_EQ(m[1], 1.0f);
  EXPECT_EQ(m[kStoredLead], -1.0f);
  EXPECT_EQ(m[kStoredLead + 1], 0.0f);
  get_irrep(t, 1, 6, {1, 0, 0, 1, 1}, chi, m, error);
  EXPECT_EQ(chi, static_cast<float>(2.0 * static_cast<double>(0.70710677f)));
  // Values that are not in the table are appended once and found again: with T1 =
  // (0.5, -c; c, c) the square is (-0.25, -1.2071; 1.2071, 0).
  const int32_t before = const_common().const_count;
  lt.irrep->irrep_matrix_element(1000) = static_cast<int16_t>(testing::kCHalf);
  get_irrep(t, 2, 6, {2, 0, 0, 1, 1}, chi, m, error);
  EXPECT_EQ(const_common().const_count, before + 3);
  const double cc = static_cast<double>(0.70710677f);
  EXPECT_EQ(m[0], static_cast<float>(0.25 - cc * cc));
  EXPECT_EQ(constant(before + 1), m[0]);
  get_irrep(t, 2, 6, {2, 0, 0, 1, 1}, chi, m, error);
  EXPECT_EQ(const_common().const_count, before + 3);
}

TEST(StoredIrrep, OneDimensionalIrrepsOfTheFixture) {
  testing::FixtureRun run(testing::standard_fixture());
  const Tables t = run.tables();
  StoredMatrix m{};
  float chi = 0.0f;
  int32_t error = -1;
  // X1- of P-1: T1 = -1, inversion -1.
  get_irrep(t, 1, 4, {0, 0, 0, 1, 1}, chi, m, error);
  EXPECT_EQ(chi, 1.0f);
  get_irrep(t, 1, 4, {1, 0, 0, 1, 25}, chi, m, error);
  EXPECT_EQ(chi, 1.0f);
  get_irrep(t, 2, 4, {-1, 5, 7, 1, 25}, chi, m, error);
  EXPECT_EQ(m[0], 1.0f);
  get_irrep(t, 2, 4, {0, 5, 7, 1, 25}, chi, m, error);
  EXPECT_EQ(m[0], -1.0f);
}

TEST(StoredIrrep, RefusedOperatorsAndModes) {
  testing::FixtureRun run(testing::standard_fixture());
  const Tables t = run.tables();
  StoredMatrix m{};
  m[0] = 42.0f;
  float chi = 42.0f;
  int32_t error = -1;
  // Mode 0 reads nothing, not even the constant table.
  get_irrep(t, 0, 4, {0, 0, 0, 1, 1}, chi, m, error);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(const_common().const_loaded, 0);
  for (const SpaceOp& op : {SpaceOp{0, 0, 0, 1, 2}, SpaceOp{1, 0, 0, 2, 1}, SpaceOp{0, 1, 0, 3, 25}}) {
    get_irrep(t, 2, 4, op, chi, m, error);
    EXPECT_EQ(error, 1);
    EXPECT_EQ(m[0], 42.0f);
    EXPECT_EQ(chi, 42.0f);
  }
  BombTrap trap;
  EXPECT_THROW(get_irrep(t, 3, 4, {0, 0, 0, 1, 1}, chi, m, error), Bombed);
  run.loaded().image->image_dimension(2) = 0;
  EXPECT_THROW(get_irrep(t, 1, 4, {0, 0, 0, 1, 1}, chi, m, error), Bombed);
  run.loaded().image->image_dimension(2) = 25;
  EXPECT_THROW(get_irrep(t, 1, 4, {0, 0, 0, 1, 1}, chi, m, error), Bombed);
}

}  // namespace
}  // namespace vibrex
