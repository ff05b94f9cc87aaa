// Real irreps: stored and induced little irreps as real matrices, and the two computed
// transformations to real form.
#include "vibrex/real_irrep.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>

#include "library/groups/space_group.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/vibrex/analysis_fixture.hpp"
#include "tests/vibrex/loaded_fixture.hpp"
#include "vibrex/stars.hpp"

namespace vibrex {
namespace {

using sgl::SpaceOp;
using namespace std::complex_literals;
using sgl::testing::Bombed;
using sgl::testing::BombTrap;

TEST(TrialOdometer, LowestFreeVariableCountsFastest) {
  // Free variables 2 and 4 of four: 0, 1, -1 for variable 2, then a carry into variable 4.
  const std::vector<int32_t> free{2, 4};
  std::vector<int32_t> digit(5, 0);
  const int32_t raised[] = {2, 2, 4, 2, 2, 4, 2, 2, 0};
  const std::array<int32_t, 2> digits[] = {{1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}, {0, 0}};
  for (int step = 0; step < 9; ++step) {
    EXPECT_EQ(next_trial(free, digit), raised[step]) << step;
    EXPECT_EQ(digit[2], digits[step][0]) << step;
    EXPECT_EQ(digit[4], digits[step][1]) << step;
  }
}

TEST(TrialOdometer, ResetUpToTheRaisedVariableOrAll) {
  // After a carry into variable 4 (digits 0 and 1): the partial reset of transform_type1 leaves
  // variable 5 (a pivot above) as it was; the full reset of transform_type2 clears it.
  const std::vector<int32_t> digit{0, 0, 0, 0, 1, 0};
  const std::vector<Complex8> before{{}, {0.5f, 0}, {-1, 0}, {0.25f, 0}, {0, 0}, {0.75f, 0.5f}};
  std::vector<Complex8> partial = before, full = before;
  trial_values(partial, digit, 4);
  trial_values(full, digit, 5);
  const std::vector<Complex8> expected_partial{{}, {0, 0}, {0, 0}, {0, 0}, {1, 0}, {0.75f, 0.5f}};
  const std::vector<Complex8> expected_full{{}, {0, 0}, {0, 0}, {0, 0}, {1, 0}, {0, 0}};
  EXPECT_EQ(partial, expected_partial);
  EXPECT_EQ(full, expected_full);
}

class RealIrrepTest : public ::testing::Test {
 protected:
  RealIrrepTest() : run_(testing::standard_fixture()) {
    irrep_cache() = IrrepCache{};
    transform_type1_state() = TransformType1State{};
    transform_type2_state() = TransformType2State{};
    testing::add_p422_line(run_.loaded());
  }
  Tables tables() const { return run_.tables(); }

  RealMatrix real(int32_t l, const SpaceOp& op, const sgl::RationalVector& par, float* chi = nullptr) {
    RealMatrix m{};
    float x = 0;
    int32_t error = -1;
    get_irrep2(tables(), 2, l, op, par, x, m, error);
    EXPECT_EQ(error, 0);
    if (chi != nullptr) get_irrep2(tables(), 1, l, op, par, *chi, m, error);
    return m;
  }

  testing::FixtureRun run_;
};

TEST_F(RealIrrepTest, Type1OfTheP422LineIsThePairPattern) {
  InducedMatrix tm{};
  transform_type1(tables(), 9, {1, 0, 0, 4}, tm);
  // One pair block, diagonal with the value 1: (1/2) ((1+i, 1-i), (1-i, 1+i)).
  const std::complex<double> p(0.5, 0.5), m(0.5, -0.5);
  const std::complex<double> expected[2][2] = {{p, m}, {m, p}};
  for (int r = 1; r <= 2; ++r)
    for (int c = 1; c <= 2; ++c) {
      EXPECT_NEAR(zat(tm, r, c).re, expected[r - 1][c - 1].real(), 1e-6);
      EXPECT_NEAR(zat(tm, r, c).im, expected[r - 1][c - 1].imag(), 1e-6);
    }
}

TEST_F(RealIrrepTest, InducedP422IrrepBecomesARealOrthogonalRepresentation) {
  const sgl::RationalVector par{1, 0, 0, 8};
  const Tables t = tables();
  const int32_t lattice = t.space.sg_bravais(89);
  int32_t nop = 0;
  std::array<SpaceOp, kMaxOps> ops{};
  sgl::generate_space_group(t.space, 89, nop, ops);
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> shift(-2, 2);
  auto moved = [&](SpaceOp op) {
    for (int i = 0; i < 3; ++i) op[i] += shift(rng) * op[3];
    return op;
  };
  for (int32_t i = 0; i < nop; ++i) {
    const SpaceOp g1 = moved(ops[i]);
    float chi = 0;
    const RealMatrix d1 = real(9, g1, par, &chi);
    EXPECT_NEAR(chi, rat(d1, 1, 1) + rat(d1, 2, 2), 1e-5);
    for (int a = 1; a <= 2; ++a)
      for (int b = 1; b <= 2; ++b) {
        const double dot = rat(d1, 1, a) * rat(d1, 1, b) + rat(d1, 2, a) * rat(d1, 2, b);
        EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, 1e-5) << "operator " << i + 1;
      }
    for (int32_t j = 0; j < nop; ++j) {
      const SpaceOp g2 = moved(ops[j]);
      SpaceOp g12{};
      gmlt(t.space, lattice, g1, g2, g12);
      const RealMatrix d2 = real(9, g2, par), d12 = real(9, g12, par);
      for (int r = 1; r <= 2; ++r)
        for (int c = 1; c <= 2; ++c)
          EXPECT_NEAR(rat(d1, r, 1) * rat(d2, 1, c) + rat(d1, r, 2) * rat(d2, 2, c), rat(d12, r, c), 1e-5);
    }
  }
  // The translation along c turns by 2 pi k.t = 2 pi / 8 in the plane of the pair.
  float chi = 0;
  real(9, {0, 0, 1, 1, 1}, par, &chi);
  EXPECT_NEAR(chi, 2 * std::cos(2 * M_PI / 8), 1e-5);
  EXPECT_EQ(transform_type1_state().computations, 1);
}

TEST_F(RealIrrepTest, Type1IsKeptForTheSameParameters) {
  InducedMatrix tm{};
  transform_type1(tables(), 9, {1, 0, 0, 4}, tm);
  transform_type1(tables(), 9, {1, 0, 0, 4}, tm);
  EXPECT_EQ(transform_type1_state().computations, 1);
  // Values beyond the k vector's one parameter are not compared.
  transform_type1(tables(), 9, {1, 5, 0, 4}, tm);
  EXPECT_EQ(transform_type1_state().computations, 1);
  transform_type1(tables(), 9, {1, 0, 0, 3}, tm);
  EXPECT_EQ(transform_type1_state().computations, 2);
}

TEST_F(RealIrrepTest, StoredTransformationOfAComplexIrrep) {
  // P1 at GP: the complex irrep e^(2 pi i k.t) doubled with its conjugate and turned into a real
  // rotation by 2 pi k.t; the character twice the real part.
  const sgl::RationalVector par{1, 0, 0, 8};
  float chi = 0;
  const RealMatrix d = real(6, {1, 0, 0, 1, 1}, par, &chi);
  const double c = std::cos(2 * M_PI / 8), s = std::sin(2 * M_PI / 8);
  EXPECT_NEAR(chi, 2 * c, 1e-5);
  EXPECT_NEAR(rat(d, 1, 1), c, 1e-5);
  EXPECT_NEAR(rat(d, 2, 2), c, 1e-5);
  EXPECT_NEAR(std::fabs(rat(d, 1, 2)), s, 1e-5);
  EXPECT_NEAR(rat(d, 1, 2), -rat(d, 2, 1), 1e-6);
}

TEST_F(RealIrrepTest, StoredIrrepIsReadAsStored) {
  float chi = 0;
  const RealMatrix d = real(2, {0, 0, 0, 1, 25}, {0, 0, 0, 1}, &chi);
  EXPECT_EQ(rat(d, 1, 1), -1.0f);
  EXPECT_EQ(chi, -1.0f);
}

TEST_F(RealIrrepTest, RefusedCases) {
  InducedMatrix tm{};
  RealMatrix m{};
  float x = 0;
  int32_t error = 0;
  // A star of one arm has no pair.
  {
    BombTrap trap;
    EXPECT_THROW(transform_type1(tables(), 1, {0, 0, 0, 1}, tm), Bombed);
  }
  // An operator outside the group is an error, not a stop.
  get_irrep2(tables(), 2, 9, {0, 0, 0, 1, 25}, {1, 0, 0, 4}, x, m, error);
  EXPECT_EQ(error, 1);
  // A complex irrep without its stored transformation stops with one line.
  run_.loaded().little->little_irrep_transform_start(6) = 0;
  bool bombed = false;
  const std::string out = testing::output_of(
      [&] {
        get_irrep2(tables(), 2, 6, {1, 0, 0, 1, 1}, {1, 0, 0, 8}, x, m, error);
      },
      bombed);
  EXPECT_TRUE(bombed);
  EXPECT_NE(out.find("Error in get_irrep2: no stored transformation to real form for little irrep"), std::string::npos)
      << out;
}

TEST_F(RealIrrepTest, Type1RefusesMoreThanOneHundredVariables) {
  // Pm-3m along c: six arms in three pairs; a small irrep of dimension 6 gives 3 x 36 = 108
  // variables.
  testing::add_line(run_.loaded(), 221, 2, "DT", {0, 0, 1});
  testing::add_induced(
      run_.loaded(), 10, 221, 2, {0, 0, 1}, 36, 1, 40,
      [](int32_t) {
        return std::array<int, 2>{testing::kC1, testing::kC0};
      },
      6);
  InducedMatrix tm{};
  bool bombed = false;
  const std::string out = testing::output_of([&] { transform_type1(tables(), 10, {1, 0, 0, 4}, tm); }, bombed);
  EXPECT_TRUE(bombed);
  EXPECT_EQ(out, " Error in transform_type1: nvar is   108\n");
}

// P-1 at GP as a little irrep of reality type 2 of dimension 4 with the identity as its stored
// transformation: the inversion swaps the two arms, so W is the swap and T = diag(I, W).
class TransformType2Test : public RealIrrepTest {
 protected:
  TransformType2Test() {
    CommonLittle& lt = *run_.loaded().little;
    lt.little_irrep_reality(5) = 2;
    lt.little_irrep_dimension(5) = 4;
    lt.little_irrep_transform_start(5) = 100;
    for (int c = 1; c <= 4; ++c)
      for (int r = 1; r <= 4; ++r) {
        lt.little_irrep_transform_value(1, 100 + (c - 1) * 4 + r - 1) =
            static_cast<int8_t>(r == c ? testing::kC1 : testing::kC0);
        lt.little_irrep_transform_value(2, 100 + (c - 1) * 4 + r - 1) = static_cast<int8_t>(testing::kC0);
      }
  }
};

TEST_F(TransformType2Test, SwapOfThePairedArms) {
  InducedMatrix tm{};
  transform_type2(tables(), 5, {1, 2, 3, 7}, tm);
  const float expected[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}, {0, 0, 1, 0}};
  for (int r = 1; r <= 4; ++r)
    for (int c = 1; c <= 4; ++c) {
      EXPECT_NEAR(zat(tm, r, c).re, expected[r - 1][c - 1], 1e-6) << r << c;
      EXPECT_NEAR(zat(tm, r, c).im, 0.0, 1e-6);
    }
}

TEST_F(TransformType2Test, WIsKeyedOnTheLittleIrrepAndTheParameters) {
  InducedMatrix tm{};
  transform_type2(tables(), 5, {1, 2, 3, 7}, tm);
  transform_type2(tables(), 5, {1, 2, 3, 7}, tm);
  EXPECT_EQ(transform_type2_state().computations, 1);
  transform_type2(tables(), 5, {1, 2, 4, 7}, tm);
  EXPECT_EQ(transform_type2_state().computations, 2);
  transform_type2(tables(), 5, {1, 2, 4, 7}, tm);
  EXPECT_EQ(transform_type2_state().computations, 2);
}

TEST_F(TransformType2Test, ThirtySixIndependentRowsAndOneMoreStop) {
  // A six-dimensional small irrep M (ones on and 1/2 above the diagonal) on the two arms: X12 M =
  // M X21 and X21 M = M X12 have far more than 36 independent equations in the 72 variables.
  CommonLittle& lt = *run_.loaded().little;
  lt.small_irrep_dimension(1, 3, 2) = 6;
  lt.little_irrep_dimension(5) = 24;
  lt.small_irrep_matrix_start(5) = 1;
  for (int c = 1; c <= 6; ++c)
    for (int r = 1; r <= 6; ++r) {
      const int e = (c - 1) * 6 + r;
      lt.small_irrep_matrix_value(1, e) = static_cast<int8_t>(r == c  ? testing::kC1
                                                              : r < c ? testing::kCHalf
                                                                      : testing::kC0);
      lt.small_irrep_matrix_value(2, e) = static_cast<int8_t>(testing::kC0);
    }
  InducedMatrix tm{};
  bool bombed = false;
  const std::string out = testing::output_of([&] { transform_type2(tables(), 5, {1, 2, 3, 7}, tm); }, bombed);
  EXPECT_TRUE(bombed);
  EXPECT_EQ(out, " Error in transform_type2: neqs too large\n");
}

TEST_F(TransformType2Test, OtherRealityOrNoStoredTransformationStops) {
  InducedMatrix tm{};
  {
    BombTrap trap;
    run_.loaded().little->little_irrep_reality(5) = 3;
    EXPECT_THROW(transform_type2(tables(), 5, {1, 2, 3, 7}, tm), Bombed);
  }
  run_.loaded().little->little_irrep_reality(5) = 2;
  run_.loaded().little->little_irrep_transform_start(5) = 0;
  bool bombed = false;
  const std::string out = testing::output_of([&] { transform_type2(tables(), 5, {1, 2, 3, 7}, tm); }, bombed);
  EXPECT_TRUE(bombed);
  EXPECT_NE(out.find("no stored transformation"), std::string::npos) << out;
}

// P-4 along c, k = (0, 0, g): the little co-group is {1, 2z} and the fourfold rotoinversion
// carries k to -k. Induced from the small irrep with character -1 for 2z the irrep is
// pseudoreal (the rotoinversion squares to 2z), and at g = 1/4 its matrices form the quaternion
// group. W must intertwine the induced irrep D with its conjugate for every operation, not only
// the generators the equations use: W D(g) = conj(D(g)) W; W conj(W) = -1 (a quaternionic
// structure; a real irrep would give +1); every block of unit determinant; and T = S diag(I, W)
// for the stored S.
class QuaternionImageTest : public RealIrrepTest {
 protected:
  static constexpr int32_t kL = 11;
  QuaternionImageTest() {
    testing::LoadedTables& t = run_.loaded();
    testing::add_line(t, 81, 2, "DT", {0, 0, 1});
    testing::add_induced(t, kL, 81, 2, {0, 0, 1}, 4, 2, 40, [&](int32_t p) -> std::array<int, 2> {
      return testing::rotation(*t.space, p)[0] == 1 ? std::array<int, 2>{testing::kC1, testing::kC0}
                                                    : std::array<int, 2>{testing::kCm1, testing::kC0};
    });
    // S: columns e1, i e3, -e2, -i e4.
    CommonLittle& lt = *t.little;
    lt.little_irrep_transform_start(kL) = 200;
    for (int c = 1; c <= 4; ++c)
      for (int r = 1; r <= 4; ++r) {
        const std::complex<double> v = stored_s(r, c);
        auto index = [](double x) { return x == 1 ? testing::kC1 : x == -1 ? testing::kCm1 : testing::kC0; };
        lt.little_irrep_transform_value(1, 200 + (c - 1) * 4 + r - 1) = static_cast<int8_t>(index(v.real()));
        lt.little_irrep_transform_value(2, 200 + (c - 1) * 4 + r - 1) = static_cast<int8_t>(index(v.imag()));
      }
  }
  static std::complex<double> stored_s(int r, int c) {
    const int row[4] = {1, 3, 2, 4};
    const std::complex<double> value[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    return row[c - 1] == r ? value[c - 1] : std::complex<double>{0, 0};
  }

  using M2 = std::array<std::complex<double>, 4>;  // 2 x 2 by rows
  static M2 mul(const M2& a, const M2& b) {
    return {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3], a[2] * b[0] + a[3] * b[2],
            a[2] * b[1] + a[3] * b[3]};
  }
  static double distance(const M2& a, const M2& b) {
    double d = 0;
    for (int i = 0; i < 4; ++i) d = std::max(d, std::abs(a[i] - b[i]));
    return d;
  }
  static M2 conj(const M2& a) { return {std::conj(a[0]), std::conj(a[1]), std::conj(a[2]), std::conj(a[3])}; }

  // The induced matrices of every operator of P-4 combined with the translations 0..3 along c.
  std::vector<M2> images(const sgl::RationalVector& par) {
    const Tables t = tables();
    int32_t nop = 0;
    std::array<SpaceOp, kMaxOps> ops{};
    sgl::generate_space_group(t.space, 81, nop, ops);
    std::vector<M2> out;
    for (int32_t i = 0; i < nop; ++i)
      for (int32_t tz = 0; tz < 4; ++tz) {
        SpaceOp g = ops[i];
        g[2] += tz * g[3];
        Complex8 z{};
        InducedMatrix d{};
        int32_t error = -1;
        get_irrep_complex(t, 2, kL, g, par, z, d, error);
        EXPECT_EQ(error, 0);
        out.push_back({zat(d, 1, 1).wide().re + 1i * zat(d, 1, 1).wide().im,
                       zat(d, 1, 2).wide().re + 1i * zat(d, 1, 2).wide().im,
                       zat(d, 2, 1).wide().re + 1i * zat(d, 2, 1).wide().im,
                       zat(d, 2, 2).wide().re + 1i * zat(d, 2, 2).wide().im});
      }
    return out;
  }
};

TEST_F(QuaternionImageTest, TheImageAtAQuarterIsTheQuaternionGroup) {
  std::vector<M2> distinct;
  for (const M2& m : images({1, 0, 0, 4})) {
    bool seen = false;
    for (const M2& d : distinct) seen = seen || distance(d, m) < 1e-5;
    if (!seen) distinct.push_back(m);
  }
  // Order 8, non-abelian, -1 its only element of order 2: the quaternion group.
  ASSERT_EQ(distinct.size(), 8u);
  const M2 one{1, 0, 0, 1}, minus{-1, 0, 0, -1};
  int involutions = 0;
  bool abelian = true;
  for (const M2& a : distinct) {
    if (distance(mul(a, a), one) < 1e-5 && distance(a, one) > 1e-5) {
      ++involutions;
      EXPECT_LT(distance(a, minus), 1e-5);
    }
    for (const M2& b : distinct) abelian = abelian && distance(mul(a, b), mul(b, a)) < 1e-5;
  }
  EXPECT_EQ(involutions, 1);
  EXPECT_FALSE(abelian);
}

TEST_F(QuaternionImageTest, WIsAQuaternionicIntertwiner) {
  for (const sgl::RationalVector& par : {sgl::RationalVector{1, 0, 0, 4}, sgl::RationalVector{1, 0, 0, 8},
                                         sgl::RationalVector{3, 0, 0, 10}}) {
    SCOPED_TRACE(par[0] * 100 / par[3]);
    InducedMatrix tm{};
    transform_type2(tables(), kL, par, tm);
    const auto& w = transform_type2_state().w;
    auto at = [&](int r, int c) {
      const Complex8 z = w[static_cast<std::size_t>((c - 1) * 24 + (r - 1))];
      return std::complex<double>(z.re, z.im);
    };
    const M2 W{at(1, 1), at(1, 2), at(2, 1), at(2, 2)};
    for (const M2& d : images(par)) EXPECT_LT(distance(mul(W, d), mul(conj(d), W)), 1e-5);
    EXPECT_LT(distance(mul(W, conj(W)), M2{-1, 0, 0, -1}), 1e-5);
    // One variable per block: the arm blocks (1, 2) and (2, 1), each of modulus 1.
    EXPECT_NEAR(std::abs(W[1]), 1.0, 1e-5);
    EXPECT_NEAR(std::abs(W[2]), 1.0, 1e-5);
    EXPECT_EQ(W[0], 0.0);
    EXPECT_EQ(W[3], 0.0);
    for (int r = 1; r <= 4; ++r) {
      for (int c = 1; c <= 2; ++c) {
        const std::complex<double> left(zat(tm, r, c).re, zat(tm, r, c).im);
        EXPECT_LT(std::abs(left - stored_s(r, c)), 1e-6);
        std::complex<double> right = 0;
        for (int j = 1; j <= 2; ++j) right += stored_s(r, 2 + j) * W[(j - 1) * 2 + (c - 1)];
        EXPECT_LT(std::abs(std::complex<double>(zat(tm, r, 2 + c).re, zat(tm, r, 2 + c).im) - right), 1e-6);
      }
    }
  }
}

}  // namespace
}  // namespace vibrex
