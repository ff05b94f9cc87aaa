// Stored irreps: listed operators, lattice translations in either direction, characters, snapping
// and the refused operators.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>
#include <cmath>
#include <random>

#include "library/groups/space_group.hpp"
#include "vibrex/stars.hpp"

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

// D(g1) D(g2) = D(g1 g2) within 1e-4 for every pair of operators (or `samples` random pairs),
// each moved by a random lattice translation; every matrix orthogonal; the character the trace.
void check_stored_representation(const Tables& t, int32_t irrep, std::mt19937& rng, int samples = 0) {
  SCOPED_TRACE("stored irrep " + std::to_string(irrep));
  const int32_t g = t.irrep.irrep_sg(irrep);
  const int32_t lattice = t.space.sg_bravais(g);
  const int32_t n = t.image.image_dimension(t.irrep.irrep_image(irrep));
  int32_t nop = 0;
  std::array<SpaceOp, kMaxOps> ops;
  sgl::generate_space_group(t.space, g, nop, ops);
  std::uniform_int_distribution<int> shift(-2, 2);
  std::uniform_int_distribution<int32_t> pick(0, nop - 1);
  auto moved = [&](SpaceOp op) {
    for (int i = 0; i < 3; ++i) op[i] += shift(rng) * op[3];
    return op;
  };
  auto matrix = [&](const SpaceOp& op, float& chi) {
    StoredMatrix m{};
    int32_t error = -1;
    get_irrep(t, 2, irrep, op, chi, m, error);
    EXPECT_EQ(error, 0);
    get_irrep(t, 1, irrep, op, chi, m, error);
    return m;
  };
  auto at = [](const StoredMatrix& m, int r, int c) { return static_cast<double>(m[c * kStoredLead + r]); };
  for (int32_t step = 0; step < (samples > 0 ? samples : nop); ++step) {
    const SpaceOp g1 = moved(ops[samples > 0 ? pick(rng) : step]);
    float chi = 0.0f;
    const StoredMatrix d1 = matrix(g1, chi);
    double trace = 0;
    for (int r = 0; r < n; ++r) trace += at(d1, r, r);
    EXPECT_NEAR(chi, trace, 1e-4);
    for (int r = 0; r < n; ++r) {
      for (int c = 0; c < n; ++c) {
        double s = 0;
        for (int k = 0; k < n; ++k) s += at(d1, r, k) * at(d1, c, k);
        EXPECT_NEAR(s, r == c ? 1.0 : 0.0, 1e-4) << "not orthogonal";
      }
    }
    for (int32_t step2 = 0; step2 < (samples > 0 ? 1 : nop); ++step2) {
      const SpaceOp g2 = moved(ops[samples > 0 ? pick(rng) : step2]);
      SpaceOp g12;
      gmlt(t.space, lattice, g1, g2, g12);
      float unused = 0.0f;
      const StoredMatrix d2 = matrix(g2, unused);
      const StoredMatrix d12 = matrix(g12, unused);
      for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
          double s = 0;
          for (int k = 0; k < n; ++k) s += at(d1, r, k) * at(d2, k, c);
          ASSERT_NEAR(s, at(d12, r, c), 1e-4);
        }
      }
    }
  }
}

TEST(StoredIrrep, RepresentationOnTheFixture) {
  testing::FixtureRun run(testing::standard_fixture());
  std::mt19937 rng(2);
  for (int32_t i = 1; i <= 4; ++i) check_stored_representation(run.tables(), i, rng);
}

TEST(StoredIrrep, RepresentationOnTheRealTables) {
  VIBREX_REQUIRE_MODE_TABLES();
  const Tables t = testing::real_tables().tables();
  setenv("XTALDIR", SGL_DATA_DIR, 1);
  const_common() = ConstCommon{};
  std::vector<bool> seen(kIrrepCount + 1, false);
  std::mt19937 rng(8);
  for (int32_t l = 1; l <= kLittleIrrepCount; ++l) {
    const int32_t i = t.little.little_irrep_to_irrep(l);
    if (i == 0 || seen[i] || t.little.little_irrep_sg(l) == 0) continue;
    seen[i] = true;
    // A fixed sample of operator pairs per irrep keeps the sweep short.
    check_stored_representation(t, i, rng, 3);
  }
  const_common() = ConstCommon{};
  unsetenv("XTALDIR");
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

// An operator billions of lattice steps from its listed one (a damaged table or a far-off
// operator) costs a few dozen products, not one per step, and still gives T^d D0: the powers of
// T1 and T2 repeat every 2 steps, those of T3 every 4.
TEST(StoredIrrep, LargeLatticeStepsArePowersBySquaring) {
  testing::FixtureRun run(testing::standard_fixture());
  add_two_dimensional_irrep(run.loaded());
  const Tables t = run.tables();
  const Mat2 minus{-1, 0, 0, -1};
  const struct {
    SpaceOp op;
    Mat2 expected;
  } cases[] = {
      {{2147483647, -2000000001, 1000000006, 1, 1}, mul(minus, mul(kT2, mul(kT1, kE)))},
      {{-2147483647, 0, -1999999999, 1, 25}, mul(kT3, mul(kT1, kI))},
      // Either side of the literal loop's limit of 64 steps.
      {{64, 0, 64, 1, 1}, kE},
      {{65, 0, 65, 1, 1}, mul(kT3, mul(kT1, kE))},
      {{0, 0, -67, 1, 1}, mul(kT3, kE)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.op));
    StoredMatrix m{};
    float chi = 0.0f;
    int32_t error = -1;
    get_irrep(t, 2, 6, c.op, chi, m, error);
    EXPECT_EQ(error, 0);
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 2; ++i) EXPECT_EQ(m[j * kStoredLead + i], c.expected[j * 2 + i]) << i << j;
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
