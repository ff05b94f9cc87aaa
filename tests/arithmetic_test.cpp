// Exact integer arithmetic: normal forms, products, inverses, common factors and multiples.
#include "library/exact/arithmetic.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "tests/bomb_trap.hpp"

namespace sgl {
namespace {

using testing::BombTrap;
using testing::Bombed;

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// Column-major 3x3 matrix from its rows, as written on paper.
Mat3i rows3(std::array<std::array<int32_t, 3>, 3> r) {
  Mat3i m{};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) m3(m, i, j) = r[i - 1][j - 1];
  return m;
}

// Operator matrix from a rotation block (rows), a translation column and the corner entry.
OpMatrix op(std::array<std::array<int32_t, 3>, 3> block, std::array<int32_t, 3> t, int32_t d) {
  OpMatrix m{};
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) m4(m, i, j) = block[i - 1][j - 1];
    m4(m, i, 4) = t[i - 1];
  }
  m4(m, 4, 4) = d;
  return m;
}

const std::array<std::array<int32_t, 3>, 3> kUnit{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

// ---- rational vectors -------------------------------------------------------------------------

struct VecCase {
  const char* name;
  void (*routine)(RationalVector&);
  RationalVector in;
  RationalVector out;  // ignored when bombs
  bool bombs;
};

void PrintTo(const VecCase& c, std::ostream* os) { *os << c.name; }

class NormalFormCases : public ::testing::TestWithParam<VecCase> {};
TEST_P(NormalFormCases, InPlace) {
  const VecCase& c = GetParam();
  BombTrap trap;
  RationalVector v = c.in;
  if (c.bombs) {
    EXPECT_THROW(c.routine(v), Bombed);
  } else {
    c.routine(v);
    EXPECT_EQ(v, c.out);
  }
}
INSTANTIATE_TEST_SUITE_P(
    Arithmetic, NormalFormCases,
    ::testing::Values(VecCase{"reduc2_zero_vector", reduc2, {0, 0, 0, 5}, {0, 0, 0, 1}, false},
                      VecCase{"reduc2_negative_denominator", reduc2, {2, -4, 6, -8}, {-1, 2, -3, 4}, false},
                      VecCase{"reduc2_already_reduced", reduc2, {1, 2, 3, 7}, {1, 2, 3, 7}, false},
                      VecCase{"reduc2_to_denominator_one", reduc2, {3, 6, 9, -3}, {-1, -2, -3, 1}, false},
                      VecCase{"reduc2_zero_denominator", reduc2, {0, 0, 0, 0}, {}, true},
                      VecCase{"reduc2_zero_denominator_nonzero_numerators", reduc2, {1, 2, 3, 0}, {}, true},
                      // Negating the smallest integer leaves the 32-bit range only until the
                      // common factor 2 is removed: the reduced vector is exact.
                      VecCase{"reduc2_wide_sign_change_reduces", reduc2, {kMin, 0, 0, -2}, {1 << 30, 0, 0, 1}, false},
                      VecCase{"reduc2_sign_change_overflows", reduc2, {kMin, 0, 0, -1}, {}, true},
                      VecCase{"reduc1_mixed", reduc1, {-1, 5, 2, 4}, {3, 1, 2, 4}, false},
                      // Does not reduce to lowest terms on its own.
                      VecCase{"reduc1_multiples_of_d", reduc1, {4, 8, 0, 4}, {0, 0, 0, 4}, false},
                      VecCase{"reduc1_far_out_of_range", reduc1, {2000000001, -2000000001, 7, 2}, {1, 1, 1, 2}, false},
                      VecCase{"reduc1_extremes", reduc1, {kMin, kMax, -3, 3}, {1, 1, 0, 3}, false},
                      VecCase{"reduc1_zero_denominator", reduc1, {1, 2, 3, 0}, {}, true},
                      // A negative denominator has no range to reduce into: stop, not loop.
                      VecCase{"reduc1_negative_denominator", reduc1, {1, 2, 3, -3}, {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct AddCase {
  const char* name;
  bool subtract;
  RationalVector a, b, c;
  bool bombs;
};
void PrintTo(const AddCase& c, std::ostream* os) { *os << c.name; }

class AddSubCases : public ::testing::TestWithParam<AddCase> {};
TEST_P(AddSubCases, ExactSumInLowestTerms) {
  const AddCase& c = GetParam();
  BombTrap trap;
  RationalVector r{};
  auto run = [&] { c.subtract ? vsub(c.a, c.b, r) : vadd(c.a, c.b, r); };
  if (c.bombs) {
    EXPECT_THROW(run(), Bombed);
  } else {
    run();
    EXPECT_EQ(r, c.c);
  }
}
INSTANTIATE_TEST_SUITE_P(
    Arithmetic, AddSubCases,
    ::testing::Values(AddCase{"add_halves", false, {1, 1, 0, 2}, {1, 1, 0, 2}, {1, 1, 0, 1}, false},
                      AddCase{"sub_half_third", true, {1, 0, 0, 2}, {1, 0, 0, 3}, {1, 0, 0, 6}, false},
                      AddCase{"sub_to_zero", true, {1, 2, 3, 4}, {1, 2, 3, 4}, {0, 0, 0, 1}, false},
                      AddCase{"add_negative_denominator", false, {1, 0, 0, -2}, {0, 0, 0, 1}, {-1, 0, 0, 2}, false},
                      AddCase{"not_taken_modulo_one", false, {3, 0, 0, 4}, {3, 0, 0, 4}, {3, 0, 0, 2}, false},
                      AddCase{"zero_denominator_left", false, {1, 0, 0, 0}, {1, 0, 0, 2}, {}, true},
                      AddCase{"zero_denominator_right", true, {1, 0, 0, 2}, {1, 0, 0, 0}, {}, true},
                      // Denominators whose product leaves 32 bits but whose sum reduces back.
                      AddCase{"wide_product_reduces", false, {1, 0, 0, 65536}, {1, 0, 0, 65536}, {1, 0, 0, 32768}, false},
                      AddCase{"result_overflows", false, {1, 0, 0, 65536}, {1, 0, 0, 65537}, {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- common factors and multiples --------------------------------------------------------------

TEST(Arithmetic, FactorCases) {
  struct Case {
    std::vector<int32_t> in;
    int32_t result;
    std::vector<int32_t> out;
  };
  const std::vector<Case> cases = {
      {{0, 0, 0}, 1, {0, 0, 0}},  {{6, 9, 0}, 3, {2, 3, 0}},     {{7, 1}, 1, {7, 1}},
      {{-4, 8, -12}, 4, {-1, 2, -3}}, {{5}, 5, {1}},             {{}, 1, {}},
      {{kMin, 1 << 30}, 1 << 30, {-2, 1}},
  };
  for (std::size_t k = 0; k < cases.size(); ++k) {
    std::vector<int32_t> v = cases[k].in;
    EXPECT_EQ(factor(v), cases[k].result) << "case " << k;
    EXPECT_EQ(v, cases[k].out) << "case " << k;
  }
  // A common factor of 2^31 does not fit the result.
  BombTrap trap;
  std::vector<int32_t> huge = {kMin, 0};
  EXPECT_THROW(factor(huge), Bombed);
}

TEST(Arithmetic, LeastCommonMultiple) {
  struct Case {
    int32_t a, b, lcm;
  };
  for (const Case& c : std::vector<Case>{{4, 6, 12}, {0, 5, 0}, {5, 0, 0}, {-4, 6, 12}, {4, -6, 12},
                                         {7, 7, 7}, {1, 1, 1}, {46340, 46341, 46340 * 46341}}) {
    EXPECT_EQ(ngcd(c.a, c.b), c.lcm) << c.a << " " << c.b;
  }
  struct ListCase {
    std::vector<int32_t> v;
    int32_t lcm;
  };
  for (const ListCase& c : std::vector<ListCase>{{{2, 3, 4}, 12}, {{-5}, -5}, {{3, 0, 4}, 0},
                                                 {{6, 4, -10}, 60}, {{}, 1}}) {
    EXPECT_EQ(ngcd2(c.v), c.lcm);
  }
  BombTrap trap;
  EXPECT_THROW(ngcd(65536, 65537), Bombed);
  EXPECT_THROW(ngcd(kMin, 1), Bombed);
  EXPECT_THROW(ngcd2(std::vector<int32_t>{65536, 3, 65537}), Bombed);
}

TEST(Arithmetic, OverflowWritesOneLineThenStops) {
  BombTrap trap;
  ::testing::internal::CaptureStdout();
  EXPECT_THROW(ngcd(65536, 65537), Bombed);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), " Error: integer overflow in ngcd\n");
}

// ---- 3x3 matrices ------------------------------------------------------------------------------

TEST(Arithmetic, Determinant) {
  EXPECT_EQ(ndet(rows3(kUnit)), 1);
  EXPECT_EQ(ndet(rows3({{{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}})), -3);
  EXPECT_EQ(ndet(rows3({{{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}})), -1);
  EXPECT_EQ(ndet(rows3({{{2, 0, 0}, {0, 3, 0}, {0, 0, -4}}})), -24);
  // Minors beyond 32 bits whose determinant is small are exact.
  EXPECT_EQ(ndet(rows3({{{65536, 65536, 0}, {65536, 65537, 0}, {0, 0, 1}}})), 65536);
  BombTrap trap;
  EXPECT_THROW(ndet(rows3({{{65536, 0, 0}, {0, 65536, 0}, {0, 0, 1}}})), Bombed);
}

TEST(Arithmetic, MatrixAndVectorProducts) {
  const Mat3i a = rows3({{{1, 2, 0}, {0, 1, 0}, {3, 0, -1}}});
  const Mat3i b = rows3({{{0, 1, 0}, {-1, 0, 0}, {0, 0, 2}}});
  Mat3i p{};
  matmlt(a, b, p);
  EXPECT_EQ(p, rows3({{{-2, 1, 0}, {-1, 0, 0}, {0, 3, -2}}}));
  const int32_t v[3] = {1, -2, 3};
  int32_t w[4] = {9, 9, 9, 7};
  vmlt(a, v, w);
  EXPECT_EQ((std::vector<int32_t>(w, w + 4)), (std::vector<int32_t>{-3, -2, 0, 7}));  // w[3] untouched
  BombTrap trap;
  const Mat3i big = rows3({{{65536, 0, 0}, {0, 1, 0}, {0, 0, 1}}});
  EXPECT_THROW(matmlt(big, big, p), Bombed);
  const int32_t large[3] = {kMax, kMax, 0};
  EXPECT_THROW(vmlt(rows3({{{1, 1, 0}, {0, 1, 0}, {0, 0, 1}}}), large, w), Bombed);
}

TEST(Arithmetic, InverseOverDenominator) {
  struct Case {
    const char* name;
    Mat3i a, b;
    int32_t den;
  };
  const std::vector<Case> cases = {
      {"twice_unit", rows3({{{2, 0, 0}, {0, 2, 0}, {0, 0, 2}}}), rows3(kUnit), 2},
      {"unimodular", rows3({{{1, 1, 0}, {0, 1, 0}, {0, 0, 1}}}), rows3({{{1, -1, 0}, {0, 1, 0}, {0, 0, 1}}}), 1},
      {"negative_determinant", rows3({{{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}}), rows3({{{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}}), 1},
      {"determinant_three", rows3({{{2, 1, 0}, {1, 1, 0}, {0, 0, 3}}}), rows3({{{3, -3, 0}, {-3, 6, 0}, {0, 0, 1}}}), 3},
      // Centred-cell basis: inverse with halves.
      {"body_centred", rows3({{{-1, 1, 1}, {1, -1, 1}, {1, 1, -1}}}), rows3({{{0, 1, 1}, {1, 0, 1}, {1, 1, 0}}}), 2},
  };
  for (const Case& c : cases) {
    Mat3i b{};
    int32_t den = 0;
    matinv(c.a, b, den);
    EXPECT_EQ(b, c.b) << c.name;
    EXPECT_EQ(den, c.den) << c.name;
  }
  BombTrap trap;
  Mat3i b{};
  int32_t den = 0;
  EXPECT_THROW(matinv(rows3({{{1, 2, 3}, {2, 4, 6}, {0, 0, 1}}}), b, den), Bombed);
  EXPECT_THROW(matinv(Mat3i{}, b, den), Bombed);
}

TEST(Arithmetic, MatrixNormalForm) {
  Mat3i m = rows3({{{2, 0, 0}, {0, 2, 0}, {0, 0, 2}}});
  int32_t d = -2;
  reduc3(m, d);
  EXPECT_EQ(m, rows3({{{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}}));
  EXPECT_EQ(d, 1);
  m = rows3({{{4, 2, 0}, {0, 6, 0}, {0, 0, 2}}});
  d = 3;
  reduc3(m, d);  // 3 shares no factor with the entries
  EXPECT_EQ(m, rows3({{{4, 2, 0}, {0, 6, 0}, {0, 0, 2}}}));
  EXPECT_EQ(d, 3);
  BombTrap trap;
  d = 0;
  EXPECT_THROW(reduc3(m, d), Bombed);
}

// ---- operator matrices -------------------------------------------------------------------------

TEST(Arithmetic, OperatorNormalForm) {
  OpMatrix m = op({{{-2, 0, 0}, {0, -2, 0}, {0, 0, -2}}}, {4, 0, -2}, -2);
  reduc4(m);
  EXPECT_EQ(m, op(kUnit, {-2, 0, 1}, 1));
  // A corner of 0 is no failure: only the common factor goes.
  m = op({{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}}, {-4, 6, 0}, 0);
  reduc4(m);
  EXPECT_EQ(m, op({{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}}, {-2, 3, 0}, 0));
}

TEST(Arithmetic, OperatorProductsAndInverse) {
  const OpMatrix half_x = op({{{2, 0, 0}, {0, 2, 0}, {0, 0, 2}}}, {1, 0, 0}, 2);
  OpMatrix p{};
  matmlt4(half_x, half_x, p);
  EXPECT_EQ(p, op(kUnit, {1, 0, 0}, 1));  // two half translations make a lattice vector

  OpMatrix inv{};
  matinv4(half_x, inv);
  EXPECT_EQ(inv, op({{{2, 0, 0}, {0, 2, 0}, {0, 0, 2}}}, {-1, 0, 0}, 2));

  // Four-fold screw 4_1 along z: its inverse turns back and goes down a quarter.
  const OpMatrix screw = op({{{0, -4, 0}, {4, 0, 0}, {0, 0, 4}}}, {0, 0, 1}, 4);
  matinv4(screw, inv);
  EXPECT_EQ(inv, op({{{0, 4, 0}, {-4, 0, 0}, {0, 0, 4}}}, {0, 0, -1}, 4));
  matmlt4(screw, inv, p);
  EXPECT_EQ(p, op(kUnit, {0, 0, 0}, 1));

  // (a b) e: the screw, its inverse and the half translation.
  trans4(screw, inv, half_x, p);
  EXPECT_EQ(p, half_x);
  trans4(screw, screw, screw, p);  // 4_1 cubed: rotation by -90 degrees and three quarters up
  EXPECT_EQ(p, op({{{0, 4, 0}, {-4, 0, 0}, {0, 0, 4}}}, {0, 0, 3}, 4));

  BombTrap trap;
  EXPECT_THROW(matinv4(op({{{1, 0, 0}, {0, 0, 0}, {0, 0, 1}}}, {0, 0, 0}, 1), inv), Bombed);
  const OpMatrix big = op({{{65536, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0}, 1);
  EXPECT_THROW(matmlt4(big, big, p), Bombed);
}

// ---- outputs that are also inputs --------------------------------------------------------------

// Each case runs a routine once into a fresh output and once with the output being one of its
// inputs, and returns both results.
struct AliasCase {
  const char* name;
  std::function<std::pair<std::vector<int32_t>, std::vector<int32_t>>()> run;
};
void PrintTo(const AliasCase& c, std::ostream* os) { *os << c.name; }

template <typename T>
std::vector<int32_t> vec(const T& t) {
  return std::vector<int32_t>(t.begin(), t.end());
}

const Mat3i kA = rows3({{{1, 2, 0}, {0, 1, 0}, {3, 0, -1}}});
const Mat3i kB = rows3({{{0, 1, 0}, {-1, 0, 0}, {0, 0, 2}}});
const OpMatrix kOpA = op({{{0, -4, 0}, {4, 0, 0}, {0, 0, 4}}}, {0, 0, 1}, 4);
const OpMatrix kOpB = op({{{2, 0, 0}, {0, 2, 0}, {0, 0, -2}}}, {1, 1, 0}, 2);
const OpMatrix kOpE = op({{{0, 3, 0}, {3, 0, 0}, {0, 0, 3}}}, {1, 2, 0}, 3);
const RationalVector kU{1, 3, -2, 4};
const RationalVector kV{2, 0, 5, -6};

class AliasedOutput : public ::testing::TestWithParam<AliasCase> {};
TEST_P(AliasedOutput, SameResultAsFreshOutput) {
  auto [fresh, aliased] = GetParam().run();
  EXPECT_EQ(aliased, fresh);
}

INSTANTIATE_TEST_SUITE_P(
    Arithmetic, AliasedOutput,
    ::testing::Values(
        AliasCase{"matmlt_into_a", [] { Mat3i p{}, a = kA; matmlt(kA, kB, p); matmlt(a, kB, a); return std::pair{vec(p), vec(a)}; }},
        AliasCase{"matmlt_into_b", [] { Mat3i p{}, b = kB; matmlt(kA, kB, p); matmlt(kA, b, b); return std::pair{vec(p), vec(b)}; }},
        AliasCase{"vmlt_in_place", [] {
          RationalVector w{}, v = kU;
          vmlt(kA, kU.data(), w.data());
          w[3] = kU[3];
          vmlt(kA, v.data(), v.data());
          return std::pair{vec(w), vec(v)};
        }},
        AliasCase{"matinv_in_place", [] {
          Mat3i b{}, a = kA;
          int32_t d1 = 0, d2 = 0;
          matinv(kA, b, d1);
          matinv(a, a, d2);
          auto r1 = vec(b), r2 = vec(a);
          r1.push_back(d1);
          r2.push_back(d2);
          return std::pair{r1, r2};
        }},
        AliasCase{"matmlt4_into_a", [] { OpMatrix p{}, a = kOpA; matmlt4(kOpA, kOpB, p); matmlt4(a, kOpB, a); return std::pair{vec(p), vec(a)}; }},
        AliasCase{"matmlt4_into_b", [] { OpMatrix p{}, b = kOpB; matmlt4(kOpA, kOpB, p); matmlt4(kOpA, b, b); return std::pair{vec(p), vec(b)}; }},
        AliasCase{"trans4_into_a", [] { OpMatrix p{}, a = kOpA; trans4(kOpA, kOpB, kOpE, p); trans4(a, kOpB, kOpE, a); return std::pair{vec(p), vec(a)}; }},
        AliasCase{"trans4_into_b", [] { OpMatrix p{}, b = kOpB; trans4(kOpA, kOpB, kOpE, p); trans4(kOpA, b, kOpE, b); return std::pair{vec(p), vec(b)}; }},
        AliasCase{"trans4_into_e", [] { OpMatrix p{}, e = kOpE; trans4(kOpA, kOpB, kOpE, p); trans4(kOpA, kOpB, e, e); return std::pair{vec(p), vec(e)}; }},
        AliasCase{"matinv4_in_place", [] { OpMatrix n{}, m = kOpE; matinv4(kOpE, n); matinv4(m, m); return std::pair{vec(n), vec(m)}; }},
        AliasCase{"vadd_into_a", [] { RationalVector c{}, a = kU; vadd(kU, kV, c); vadd(a, kV, a); return std::pair{vec(c), vec(a)}; }},
        AliasCase{"vadd_into_b", [] { RationalVector c{}, b = kV; vadd(kU, kV, c); vadd(kU, b, b); return std::pair{vec(c), vec(b)}; }},
        AliasCase{"vadd_all_same", [] { RationalVector c{}, a = kU; vadd(kU, kU, c); vadd(a, a, a); return std::pair{vec(c), vec(a)}; }},
        AliasCase{"vsub_into_a", [] { RationalVector c{}, a = kU; vsub(kU, kV, c); vsub(a, kV, a); return std::pair{vec(c), vec(a)}; }},
        AliasCase{"vsub_into_b", [] { RationalVector c{}, b = kV; vsub(kU, kV, c); vsub(kU, b, b); return std::pair{vec(c), vec(b)}; }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sgl
