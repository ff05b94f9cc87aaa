// Matrix codes, compact operators and operator matrices.
#include "library/operator_encodings.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "library/types.hpp"

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

TEST(MatrixCodeDeath, CodeOutsideTheRangeStops) {
  for (int32_t code : {-1, kMatrixCodeCount}) {
    EXPECT_EXIT(
        {
          OpMatrix m{};
          m4(m, 4, 4) = 1;
          num_to_mat(code, m);
        },
        testing::ExitedWithCode(1), "");
  }
}

}  // namespace
}  // namespace sgl
