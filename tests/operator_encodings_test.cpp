// Matrix codes, compact operators and operator matrices.
#include "library/groups/operator_encodings.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "library/tables/common_space.hpp"
#include "library/types.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/setting_fixture.hpp"

namespace sgl {
namespace {

// Operator matrix with the given rotation (rows listed, times d), translation and denominator.
OpMatrix op_matrix(std::array<int32_t, 9> rows, std::array<int32_t, 3> t, int32_t d) {
  OpMatrix m{};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) m4(m, i, j) = rows[(i - 1) * 3 + (j - 1)] * d;
  for (int i = 1; i <= 3; ++i) m4(m, i, 4) = t[i - 1];
  m4(m, 4, 4) = d;
  return m;
}

TEST(IdentityOp, HexagonalListServesGroups143To194) {
  struct Case { int32_t sg, expected; };
  for (const Case c : {Case{1, 1}, Case{142, 1}, Case{143, 49}, Case{194, 49}, Case{195, 1},
                       Case{230, 1}}) {
    EXPECT_EQ(identity_op(c.sg), c.expected) << c.sg;
  }
}

TEST(MatrixCode, EveryCodeRoundTrips) {
  for (int32_t d : {1, 3, -2}) {
    for (int32_t code = 0; code < kMatrixCodeCount; ++code) {
      OpMatrix m{};
      m.fill(77);
      m4(m, 4, 4) = d;
      num_to_mat(code, m);
      for (int j = 1; j <= 3; ++j) {
        EXPECT_EQ(m4(m, 4, j), 0);
        EXPECT_EQ(m4(m, j, 4), 77);  // column 4 untouched
        for (int i = 1; i <= 3; ++i) {
          const int32_t e = m4(m, i, j);
          ASSERT_TRUE(e == -d || e == 0 || e == d) << code;
        }
      }
      int32_t back = -1, error = -1;
      mat_to_num(m, back, error);
      ASSERT_EQ(error, 0) << code;
      ASSERT_EQ(back, code) << code << " over " << d;
    }
  }
}

TEST(MatrixCode, KnownCodes) {
  struct Case { std::array<int32_t, 9> rows; int32_t code; };
  const Case cases[] = {
      {{1, 0, 0, 0, 1, 0, 0, 0, 1}, 16484},    // identity
      {{-1, 0, 0, 0, -1, 0, 0, 0, -1}, 3198},  // inversion
      {{-1, 0, 0, 0, -1, 0, 0, 0, 1}, 16320},  // twofold about the third axis
      {{-1, -1, -1, -1, -1, -1, -1, -1, -1}, 0},
      {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 19682},
      {{0, 0, 0, 0, 0, 0, 0, 0, 0}, 9841},
      {{0, 1, 0, -1, 0, 0, 0, 0, 1}, 16426},  // fourfold about z: (x,y,z) -> (y,-x,z)
  };
  for (const Case& c : cases) {
    for (int32_t d : {1, 3}) {
      int32_t code = -1, error = -1;
      mat_to_num(op_matrix(c.rows, {0, 0, 0}, d), code, error);
      EXPECT_EQ(error, 0);
      EXPECT_EQ(code, c.code);
      OpMatrix m{};
      m4(m, 4, 4) = d;
      num_to_mat(c.code, m);
      EXPECT_EQ(m, op_matrix(c.rows, {0, 0, 0}, d)) << c.code;
    }
  }
}

TEST(MatrixCode, UnrepresentableBlocksSetTheFlag) {
  // d = 3 throughout; each case breaks one entry.
  struct Case { int i, j; int32_t value; };
  for (const Case c : {Case{1, 1, 6}, Case{3, 3, -6}, Case{2, 1, 1}, Case{1, 3, 4},
                       Case{3, 2, -2}}) {
    OpMatrix m = op_matrix({1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}, 3);
    m4(m, c.i, c.j) = c.value;
    int32_t code = -1, error = -1;
    mat_to_num(m, code, error);
    EXPECT_EQ(error, 1) << c.i << "," << c.j << " = " << c.value;
  }
}

TEST(MatrixCode, ZeroDenominatorIsRefusedNotDivided) {
  OpMatrix m{};  // all zero, m(4,4) = 0
  int32_t code = -1, error = -1;
  mat_to_num(m, code, error);
  EXPECT_EQ(error, 1);
  m4(m, 1, 1) = 5;
  mat_to_num(m, code, error);
  EXPECT_EQ(error, 1);
}

TEST(MatrixCode, ExtremeEntriesDoNotOverflow) {
  OpMatrix m = op_matrix({1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}, 1);
  m4(m, 4, 4) = -1;
  m4(m, 2, 2) = INT32_MIN;
  int32_t code = -1, error = -1;
  mat_to_num(m, code, error);
  EXPECT_EQ(error, 1);
}

TEST(MatrixCode, StopsOnCodesOutsideTheRangeAndOnOverflow) {
  testing::BombTrap trap;
  for (int32_t code : {-1, kMatrixCodeCount, 100000}) {
    OpMatrix m{};
    m4(m, 4, 4) = 1;
    EXPECT_THROW(num_to_mat(code, m), testing::Bombed) << code;
  }
  OpMatrix m{};
  m4(m, 4, 4) = INT32_MIN;  // digit 0 would give -d
  EXPECT_THROW(num_to_mat(0, m), testing::Bombed);
}

// ---- Operator and matrix in a setting (hand-made tables) ----

class EncodingTables : public ::testing::Test {
 protected:
  std::unique_ptr<CommonSpace> cs = fixture::make_tables();
};

OpMatrix from_rows(const fixture::Rows& r, std::array<int32_t, 3> t, int32_t d) {
  return op_matrix(r, t, d);
}

TEST_F(EncodingTables, OpToMatReadsTheTableOfTheSetting) {
  struct Case {
    int32_t sg;
    std::string_view setting;
    SpaceOp op;
    OpMatrix expected;
  };
  const Case cases[] = {
      // Conventional: the translation is taken unchanged, the denominator not normalised.
      {229, "cml", {1, 0, 0, 2, 2}, from_rows(fixture::kTwofoldZ, {1, 0, 0}, 2)},
      {229, "cml", {2, 0, 0, 4, 1}, from_rows(fixture::kIdentity, {2, 0, 0}, 4)},
      {229, "cab   ", {0, 0, 0, 1, 25}, from_rows(fixture::kInversion, {0, 0, 0}, 1)},
      // Primitive settings: one column per setting name, one table per Bravais type.
      {229, "pml", {0, 0, 0, 1, 2}, from_rows(fixture::kTwofoldZPrimitive, {0, 0, 0}, 1)},
      {229, "psh  ", {0, 1, 0, 3, 2}, from_rows(fixture::kTwofoldZPrimitive, {0, 1, 0}, 3)},
      {1, "pml", {0, 0, 0, 1, 2}, from_rows(fixture::kTwofoldZ, {0, 0, 0}, 1)},
      // "cinter" has a table of its own only for a rhombohedral default setting.
      {166, "cinter", {0, 0, 0, 1, 50}, from_rows({0, 0, 1, 1, 0, 0, 0, 1, 0}, {0, 0, 0}, 1)},
      {166, "cinter    ", {0, 0, 0, 1, 50}, from_rows({0, 0, 1, 1, 0, 0, 0, 1, 0}, {0, 0, 0}, 1)},
      {166, "cml", {0, 0, 0, 1, 50}, from_rows(fixture::kThreefoldHex, {0, 0, 0}, 1)},
      {229, "cinter", {0, 0, 0, 1, 2}, from_rows(fixture::kTwofoldZ, {0, 0, 0}, 1)},
  };
  for (const Case& c : cases) {
    OpMatrix m{};
    m.fill(99);
    op_to_mat(*cs, c.sg, c.setting, c.op, m);
    EXPECT_EQ(m, c.expected) << c.sg << " '" << c.setting << "' k=" << c.op[4];
  }
}

TEST_F(EncodingTables, OpToMatStopsWithoutAMatrix) {
  struct Case { int32_t sg; std::string_view setting; int32_t k; const char* message; };
  const Case cases[] = {
      {229, "pzz", 1, ""},   // primitive setting without a table
      {229, "xml", 1, ""},   // not "c": looked up among the primitive names
      {229, "cml", 3, ""},   // code 0: no matrix
      {229, "pml", 50, ""},  // no primitive matrix
      {229, "cml", 0, " Error: point operation number out of range:  0\n"},
      {229, "cml", 73, " Error: point operation number out of range:  73\n"},
      {0, "cml", 1, " Error: space group number out of range:  0\n"},
      {231, "cml", 1, " Error: space group number out of range:  231\n"},
  };
  for (const Case& c : cases) {
    OpMatrix m{};
    EXPECT_EQ(testing::stop_output([&] { op_to_mat(*cs, c.sg, c.setting, SpaceOp{0, 0, 0, 1, c.k}, m); }),
              c.message)
        << c.sg << " " << c.setting << " " << c.k;
  }
}

TEST_F(EncodingTables, MatToOpNormalisesTheTranslation) {
  struct Case { OpMatrix m; SpaceOp expected; };
  const Case cases[] = {
      {from_rows(fixture::kIdentity, {2, 0, 0}, 4), {1, 0, 0, 2, 1}},
      {from_rows(fixture::kTwofoldZ, {1, 0, 0}, -2), {-1, 0, 0, 2, 2}},
      {from_rows(fixture::kInversion, {3, 0, 0}, 2), {3, 0, 0, 2, 25}},  // not modulo 1
      {from_rows(fixture::kIdentity, {0, 0, 0}, 7), {0, 0, 0, 1, 1}},
      {from_rows(fixture::kTwofoldZ, {-4, 6, 2}, 8), {-2, 3, 1, 4, 2}},
  };
  for (const Case& c : cases) {
    SpaceOp op{};
    int32_t error = -1;
    mat_to_op(*cs, 229, "cml", c.m, op, error);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(op, c.expected);
  }
}

TEST_F(EncodingTables, MatToOpSearchesTheGroupsHalfOfTheList) {
  struct Case {
    int32_t sg;
    std::string_view setting;
    fixture::Rows rotation;
    int32_t expected;  // 0: not representable
  };
  const Case cases[] = {
      {229, "cml", fixture::kTwofoldZ, 2},
      {191, "cml", fixture::kTwofoldZ, 0},  // only in the cubic list
      {191, "cml", fixture::kThreefoldHex, 50},
      {229, "cml", fixture::kThreefoldHex, 0},  // only in the hexagonal list
      {191, "cml", fixture::kIdentity, 49},
      {142, "cml", fixture::kIdentity, 1},
      {143, "cml", fixture::kIdentity, 49},
      {195, "cml", fixture::kInversion, 25},
      {194, "cml", fixture::kInversion, 61},
      {166, "cinter", {0, 0, 1, 1, 0, 0, 0, 1, 0}, 50},
      {166, "cinter", fixture::kThreefoldHex, 0},
      {229, "pml", fixture::kTwofoldZPrimitive, 2},
      {229, "pml", fixture::kTwofoldZ, 0},
      {229, "cml", {-1, -1, -1, -1, -1, -1, -1, -1, -1}, 0},  // code 0 never matches an empty entry
      {229, "pzz", fixture::kIdentity, 0},  // no primitive table: flag, no stop
  };
  for (const Case& c : cases) {
    SpaceOp op{5, 5, 5, 5, 777};
    int32_t error = -1;
    mat_to_op(*cs, c.sg, c.setting, from_rows(c.rotation, {0, 0, 0}, 1), op, error);
    if (c.expected == 0) {
      EXPECT_EQ(error, 1) << c.sg << " " << c.setting;
      EXPECT_EQ(op[4], 777);  // position 5 is not written
    } else {
      EXPECT_EQ(error, 0) << c.sg << " " << c.setting;
      EXPECT_EQ(op[4], c.expected) << c.sg << " " << c.setting;
    }
  }
}

TEST_F(EncodingTables, MatToOpRejectsBlocksOutsideTheCodes) {
  OpMatrix twice = from_rows({2, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}, 1);  // entry 2 d
  OpMatrix halves = from_rows(fixture::kIdentity, {0, 0, 0}, 1);
  m4(halves, 4, 4) = 2;  // entries d / 2
  for (const OpMatrix& m : {twice, halves}) {
    SpaceOp op{};
    int32_t error = -1;
    mat_to_op(*cs, 229, "cml", m, op, error);
    EXPECT_EQ(error, 1);
  }
}

TEST_F(EncodingTables, MatToOpTakesTheSmallerOfTwoEqualCodes) {
  cs->conv_matrix_code(30) = fixture::code_of(fixture::kTwofoldZ);
  SpaceOp op{};
  int32_t error = -1;
  mat_to_op(*cs, 229, "cml", from_rows(fixture::kTwofoldZ, {0, 0, 0}, 1), op, error);
  EXPECT_EQ(op[4], 2);
  cs->conv_matrix_code(2) = 0;
  mat_to_op(*cs, 229, "cml", from_rows(fixture::kTwofoldZ, {0, 0, 0}, 1), op, error);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(op[4], 30);
}

TEST_F(EncodingTables, MatToOpStopsOnAZeroDenominator) {
  testing::BombTrap trap;
  OpMatrix m{};
  SpaceOp op{};
  int32_t error = 0;
  EXPECT_THROW(mat_to_op(*cs, 229, "cml", m, op, error), testing::Bombed);
}

TEST_F(EncodingTables, OpToMatThenMatToOpGivesTheOperatorBack) {
  struct Case { int32_t sg; std::string_view setting; SpaceOp op; SpaceOp back; };
  const Case cases[] = {
      {229, "cml", {1, 2, 3, 4, 2}, {1, 2, 3, 4, 2}},
      {229, "pml", {2, 0, 4, 8, 2}, {1, 0, 2, 4, 2}},
      {229, "psh", {0, 0, 0, -3, 25}, {0, 0, 0, 1, 25}},
      {166, "cinter", {1, 1, 1, 3, 50}, {1, 1, 1, 3, 50}},
      {191, "cml", {0, 0, 1, 2, 61}, {0, 0, 1, 2, 61}},
  };
  for (const Case& c : cases) {
    OpMatrix m{};
    op_to_mat(*cs, c.sg, c.setting, c.op, m);
    SpaceOp op{};
    int32_t error = -1;
    mat_to_op(*cs, c.sg, c.setting, m, op, error);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(op, c.back);
  }
}

TEST_F(EncodingTables, VrotRotatesInThePrimitiveBasis) {
  struct Case { int32_t bravais, k; RationalVector v, expected; };
  const Case cases[] = {
      {2, 1, {2, 4, 6, 4}, {1, 2, 3, 2}},  // M1 M2 = den times the unit matrix
      {1, 1, {2, 4, 6, 4}, {1, 2, 3, 2}},
      {2, 2, {1, 0, 0, 1}, {0, 1, 0, 1}},  // a1 -> a2
      {2, 2, {0, 0, 3, 2}, {-3, -3, -3, 2}},  // a3 -> -a1-a2-a3, not modulo 1
      {2, 25, {1, -2, 0, 3}, {-1, 2, 0, 3}},
      {1, 2, {1, 1, 1, -2}, {1, 1, -1, 2}},  // negative denominator made positive
  };
  for (const Case& c : cases) {
    RationalVector w{};
    vrot(*cs, c.bravais, c.k, c.v, w);
    EXPECT_EQ(w, c.expected);
    RationalVector same = c.v;
    vrot(*cs, c.bravais, c.k, same, same);
    EXPECT_EQ(same, c.expected);
  }
}

TEST_F(EncodingTables, VrotStops) {
  testing::BombTrap trap;
  RationalVector w{};
  EXPECT_THROW(vrot(*cs, 2, 1, {1, 0, 0, 0}, w), testing::Bombed);  // zero denominator
  EXPECT_THROW(vrot(*cs, 0, 1, {1, 0, 0, 1}, w), testing::Bombed);
  EXPECT_THROW(vrot(*cs, 15, 1, {1, 0, 0, 1}, w), testing::Bombed);
  EXPECT_THROW(vrot(*cs, 2, 73, {1, 0, 0, 1}, w), testing::Bombed);
}

}  // namespace
}  // namespace sgl
