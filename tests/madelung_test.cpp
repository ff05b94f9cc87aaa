// The Madelung energy against textbook constants, its invariances, and the basis reduction that
// precedes the lattice sums.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "library/geometry/lattice_metric.hpp"
#include "library/geometry/lattice_reduction.hpp"
#include "library/geometry/madelung_energy.hpp"
#include "tests/geometry_test_support.hpp"

namespace {

using sgl::testing::at3;
using sgl::testing::basis_from_parameters;
using sgl::testing::Mat3;
using sgl::testing::mul3;

struct Charges {
  std::vector<double> q;
  std::vector<double> r;  // Cartesian, three per charge
};

double energy(const Mat3& b, const Charges& c) {
  double e = 0.0;
  sgl::madelung_energy(b, static_cast<int>(c.q.size()), c.q, c.r, e);
  return e;
}

Mat3 scaled(Mat3 m, double f) {
  for (double& x : m) x *= f;
  return m;
}

// Cartesian positions from fractional ones in the basis b.
std::vector<double> cartesian(const Mat3& b, const std::vector<double>& fractional) {
  std::vector<double> r;
  for (std::size_t k = 0; k + 2 < fractional.size(); k += 3)
    for (int i = 1; i <= 3; ++i)
      r.push_back(at3(b, i, 1) * fractional[k] + at3(b, i, 2) * fractional[k + 1] +
                  at3(b, i, 3) * fractional[k + 2]);
  return r;
}

const Mat3 kCubic{1, 0, 0, 0, 1, 0, 0, 0, 1};
const Mat3 kFcc{0, 0.5, 0.5, 0.5, 0, 0.5, 0.5, 0.5, 0};           // cubic edge 1
const Mat3 kBcc{-0.5, 0.5, 0.5, 0.5, -0.5, 0.5, 0.5, 0.5, -0.5};  // cubic edge 1

TEST(MadelungEnergy, TextbookConstants) {
  const double a = 5.64;  // cubic edge
  const double root3 = std::sqrt(3.0);
  struct Case {
    const char* what;
    Mat3 basis;  // cubic edge 1, scaled by a
    std::vector<double> q;
    std::vector<double> fractional;
    double constant;
    double length;  // E = constant / length
  };
  const Case cases[] = {
      {"simple cubic, one charge", kCubic, {1}, {0, 0, 0}, -1.418649, a},
      {"fcc, one charge", kFcc, {1}, {0, 0, 0}, -2.292431, a},
      {"bcc, one charge", kBcc, {1}, {0, 0, 0}, -1.819617, a},
      {"rock salt", kFcc, {1, -1}, {0, 0, 0, -0.5, 0.5, 0.5}, -1.747565, a / 2},
      {"caesium chloride", kCubic, {1, -1}, {0, 0, 0, 0.5, 0.5, 0.5}, -1.762675, a * root3 / 2},
      {"zinc blende", kFcc, {1, -1}, {0, 0, 0, 0.25, 0.25, 0.25}, -1.638055, a * root3 / 4},
      {"fluorite",
       kFcc,
       {2, -1, -1},
       {0, 0, 0, 0.25, 0.25, 0.25, 0.75, 0.75, 0.75},
       -5.038785,
       a * root3 / 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Mat3 b = scaled(c.basis, a);
    const double expected = c.constant / c.length;
    EXPECT_NEAR(energy(b, {c.q, cartesian(b, c.fractional)}), expected, 2e-6 * std::fabs(expected));
  }
}

TEST(MadelungEnergy, ObliqueBasesOfTheSimpleCubicLattice) {
  // (1,0,0), (s,1,0), (0,0,1): without the reduction the real-space sum would stop at an empty
  // shell before the nearest neighbours from s = 5 on.
  for (int s = 0; s <= 12; ++s) {
    const Mat3 b{1, 0, 0, double(s), 1, 0, 0, 0, 1};
    EXPECT_NEAR(energy(b, {{1}, {0, 0, 0}}), -1.418649, 2e-6 * 1.418649) << s;
  }
}

TEST(MadelungEnergy, Invariances) {
  const double d = 2.82;
  const Mat3 b = scaled(kFcc, 2 * d);
  const Charges rock_salt{{1, -1}, cartesian(b, {0, 0, 0, 0.5, 0.5, 0.5})};
  const double e0 = energy(b, rock_salt);
  ASSERT_NEAR(e0, -1.747565 / d, 2e-6 * 1.747565 / d);

  std::mt19937 rng(1208);
  const Mat3 rotation = sgl::testing::random_rotation(rng);
  Charges rotated{rock_salt.q, {}};
  for (std::size_t k = 0; k < rock_salt.r.size(); k += 3)
    for (int i = 1; i <= 3; ++i)
      rotated.r.push_back(at3(rotation, i, 1) * rock_salt.r[k] +
                          at3(rotation, i, 2) * rock_salt.r[k + 1] +
                          at3(rotation, i, 3) * rock_salt.r[k + 2]);
  Charges shifted = rock_salt;
  for (std::size_t k = 0; k < shifted.r.size(); ++k) shifted.r[k] += 0.37 + 0.11 * (k % 3);
  Charges swapped{{-1, 1}, {rock_salt.r[3], rock_salt.r[4], rock_salt.r[5], 0, 0, 0}};
  const Mat3 left_handed{b[3], b[4], b[5], b[0], b[1], b[2], b[6], b[7], b[8]};
  const Mat3 other_basis = mul3(b, sgl::testing::to_real(sgl::Mat3i{1, 1, 0, 0, 1, 0, -1, 1, 1}));
  // The conventional cubic cell holds four formula units.
  const Mat3 cube = scaled(kCubic, 2 * d);
  Charges eight;
  for (const auto& f :
       std::vector<std::array<double, 3>>{{0, 0, 0}, {0, 0.5, 0.5}, {0.5, 0, 0.5}, {0.5, 0.5, 0}}) {
    eight.q.insert(eight.q.end(), {1, -1});
    const auto r = cartesian(cube, {f[0], f[1], f[2], f[0] + 0.5, f[1], f[2]});
    eight.r.insert(eight.r.end(), r.begin(), r.end());
  }
  struct Case {
    const char* what;
    double e;
    double expected;
  };
  const Case cases[] = {
      {"another basis", energy(other_basis, rock_salt), e0},
      {"left-handed basis", energy(left_handed, rock_salt), e0},
      {"origin shifted", energy(b, shifted), e0},
      {"charges in the other order", energy(b, swapped), e0},
      {"rotated", energy(mul3(rotation, b), rotated), e0},
      {"eight-atom cubic cell", energy(cube, eight), 4 * e0},
      {"charges times 3", energy(b, {{3, -3}, rock_salt.r}), 9 * e0},
      {"lengths times 2.5",
       energy(scaled(b, 2.5), {rock_salt.q, cartesian(scaled(b, 2.5), {0, 0, 0, 0.5, 0.5, 0.5})}),
       e0 / 2.5},
  };
  for (const Case& c : cases) EXPECT_NEAR(c.e, c.expected, 1e-6 * std::fabs(c.expected)) << c.what;

  EXPECT_EQ(energy(b, {{0, 0}, rock_salt.r}), 0.0);
  EXPECT_EQ(energy(b, {{}, {}}), 0.0);
}

TEST(MadelungEnergy, CellsThatAreNotNeutral) {
  // Two like charges at the corner and the body centre of a cube: the bcc lattice with its
  // background, twice the energy of its primitive cell. The background term is -pi q^2 / (2 V
  // alpha^2) and dominates, so a wrong one shows at once.
  const double a = 3.3;
  const Mat3 cube = scaled(kCubic, a);
  const double e2 = energy(cube, {{1, 1}, cartesian(cube, {0, 0, 0, 0.5, 0.5, 0.5})});
  EXPECT_TRUE(std::isfinite(e2));
  EXPECT_NEAR(e2, 2 * -1.819617 / a, 2e-6 * 2 * 1.819617 / a);
  // Charge +2 and -1: finite, and the same in another basis and origin.
  const Mat3 b = basis_from_parameters({4.1, 4.7, 5.3, 82, 97, 101});
  const Charges c{{2, -1}, cartesian(b, {0.1, 0.2, 0.3, 0.6, 0.5, 0.8})};
  const double e = energy(b, c);
  EXPECT_TRUE(std::isfinite(e));
  const Mat3 other = mul3(b, sgl::testing::to_real(sgl::Mat3i{1, 0, 0, 2, 1, 0, -1, 0, 1}));
  EXPECT_NEAR(energy(other, c), e, 1e-6 * std::fabs(e));
}

TEST(MadelungEnergy, RandomCellsInRandomBases) {
  std::mt19937 rng(1209);
  std::uniform_real_distribution<double> length(3.0, 6.0), angle(70.0, 110.0), coord(0.0, 1.0);
  std::uniform_int_distribution<int> charge(-2, 2);
  for (int trial = 0; trial < 40; ++trial) {
    const Mat3 b = basis_from_parameters(
        {length(rng), length(rng), length(rng), angle(rng), angle(rng), angle(rng)});
    const int n = 1 + trial % 3;
    Charges c;
    for (int k = 0; k < n; ++k) {
      c.q.push_back(charge(rng) + 0.5);
      const auto r = cartesian(b, {coord(rng), coord(rng), coord(rng)});
      c.r.insert(c.r.end(), r.begin(), r.end());
    }
    const double e = energy(b, c);
    const Mat3 other =
        mul3(b, sgl::testing::to_real(sgl::testing::random_unimodular(rng, 3 + trial % 6)));
    SCOPED_TRACE("trial " + std::to_string(trial));
    EXPECT_NEAR(energy(other, c), e, 1e-6 * std::fabs(e));
  }
}

TEST(LatticeReduction, ReducedCellsAreKeptAndObliqueOnesShortened) {
  const double r3 = std::sqrt(3.0) / 2;
  struct Case {
    const char* what;
    Mat3 basis;
    bool untouched;
  };
  const Case cases[] = {
      {"cubic P", kCubic, true},
      {"cubic F", kFcc, true},
      {"cubic I", kBcc, true},
      {"hexagonal, gamma 120", {1, 0, 0, -0.5, r3, 0, 0, 0, 1.6}, true},
      {"hexagonal, gamma 60", {1, 0, 0, 0.5, r3, 0, 0, 0, 1.6}, true},
      {"hexagonal, short c", {1, 0, 0, -0.5, r3, 0, 0, 0, 0.4}, true},
      {"rhombohedral", basis_from_parameters({3, 3, 3, 70, 70, 70}), true},
      {"simple cubic, b + 6a", {1, 0, 0, 6, 1, 0, 0, 0, 1}, false},
      {"C-centred, b > sqrt(3) a", {0.5, 1.0, 0, -0.5, 1.0, 0, 0, 0, 1}, false},
      {"monoclinic, beta 165", basis_from_parameters({3, 4, 10, 90, 165, 90}), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Mat3 g;
    sgl::dget_gmat2(c.basis, g);
    sgl::Mat3i m;
    EXPECT_EQ(sgl::reduce_lattice_basis(g, m), !c.untouched);
    if (c.untouched) {
      EXPECT_EQ(m, (sgl::Mat3i{1, 0, 0, 0, 1, 0, 0, 0, 1}));
      continue;
    }
    // The new basis spans the same lattice and no short combination shortens it further.
    const sgl::Mat3i inverse = sgl::unimodular_inverse(m);
    const Mat3 product = mul3(sgl::testing::to_real(m), sgl::testing::to_real(inverse));
    EXPECT_EQ(product, kCubic);
    Mat3 gr;
    sgl::transform_metric(g, m, gr);
    for (int i = 1; i <= 3; ++i)
      for (int e1 = -1; e1 <= 1; ++e1)
        for (int e2 = -1; e2 <= 1; ++e2) {
          std::array<double, 3> v{};
          v[i - 1] = 1;
          v[i % 3] = e1;
          v[(i + 1) % 3] = e2;
          if (e1 == 0 && e2 == 0) continue;
          EXPECT_GE(sgl::dvlength2(v, gr), std::sqrt(at3(gr, i, i)) * (1 - 1e-9));
        }
  }
  // A very oblique basis is shortened by whole multiples at once; one beyond the bound of the
  // transformation's entries is left partly reduced, but the reduction ends.
  Mat3 g;
  sgl::dget_gmat2(Mat3{1, 0, 0, 1e4 + 0.3, 1, 0, 0, 0, 1}, g);
  sgl::Mat3i m;
  EXPECT_TRUE(sgl::reduce_lattice_basis(g, m));
  Mat3 gr;
  sgl::transform_metric(g, m, gr);
  EXPECT_NEAR(at3(gr, 2, 2), 1.09, 1e-6);
  sgl::dget_gmat2(Mat3{1, 0, 0, 1e12 + 0.3, 1, 0, 0, 0, 1}, g);
  sgl::reduce_lattice_basis(g, m);
  for (int32_t entry : m) EXPECT_LE(std::abs(entry), 1 << 14);
}

}  // namespace
