// The shortest interatomic distance of crystals built from the committed Wyckoff tables, against
// closed forms for known structures and against a brute-force search.
#include "library/geometry/nearest_atoms.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "library/geometry/lattice_metric.hpp"
#include "library/geometry/lattice_reduction.hpp"
#include "library/groups/operator_encodings.hpp"
#include "library/groups/space_group.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "library/tables/setting_tables.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/geometry_test_support.hpp"
#include "tests/group_tables.hpp"

namespace {

using sgl::testing::at3;
using sgl::testing::Mat3;
using sgl::testing::mul3;
using sgl::testing::transpose3;

struct Line {
  std::string_view label;  // Wyckoff label in the group, e.g. "4a"
  std::array<double, 3> params;
};

int32_t wyckoff_index(int32_t group, std::string_view label) {
  const sgl::CommonWyckoff& cw = sgl::testing::wyckoff_tables();
  for (int32_t w = 1; w <= cw.wyc_count(group); ++w) {
    std::string_view text = cw.wyc_label(cw.wyc_first(group) + w - 1).view();
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text == label) return w;
  }
  ADD_FAILURE() << "no position " << label << " in group " << group;
  return 1;
}

// The metric of the group's primitive basis from the metric of its conventional cell.
Mat3 primitive_metric(int32_t group, const Mat3& conventional) {
  const sgl::CommonSpace& cs = sgl::testing::space_tables();
  const int32_t bravais = cs.sg_bravais(group);
  const sgl::Mat3i mp = sgl::setting_tables::lattice_matrix(cs, 2, bravais);
  const double den = sgl::setting_tables::lattice_den(cs, bravais);
  Mat3 p;
  for (int k = 0; k < 9; ++k) p[k] = mp[k] / den;
  return mul3(mul3(transpose3(p), conventional), p);
}

Mat3 metric_of(const std::array<double, 6>& parameters) {
  Mat3 g;
  sgl::dget_gmat(parameters, g);
  return g;
}

double nearest(int32_t group, const std::vector<int32_t>& iwyc, const std::vector<double>& xyz,
               const Mat3& g) {
  return sgl::dnearest_atoms(sgl::testing::space_tables(), sgl::testing::wyckoff_tables(), group,
                             static_cast<int32_t>(iwyc.size()), iwyc, xyz, g);
}

double nearest(int32_t group, const std::vector<Line>& lines, const Mat3& g) {
  std::vector<int32_t> iwyc;
  std::vector<double> xyz;
  for (const Line& l : lines) {
    iwyc.push_back(wyckoff_index(group, l.label));
    xyz.insert(xyz.end(), l.params.begin(), l.params.end());
  }
  return nearest(group, iwyc, xyz, g);
}

// Every position of the lines, in the primitive basis.
std::vector<std::array<double, 3>> expand(int32_t group, const std::vector<int32_t>& iwyc,
                                          const std::vector<double>& xyz) {
  std::vector<std::array<double, 3>> points;
  for (std::size_t l = 0; l < iwyc.size(); ++l) {
    std::array<sgl::WyckoffMatrix, 48> orbit;
    int32_t npos = 0;
    sgl::get_wyckoff_all(sgl::testing::space_tables(), sgl::testing::wyckoff_tables(), group,
                         iwyc[l], npos, orbit);
    for (int32_t p = 0; p < npos; ++p) {
      std::array<double, 3> point;
      sgl::dget_wyc_xyz({xyz[3 * l], xyz[3 * l + 1], xyz[3 * l + 2]}, orbit[p], point);
      points.push_back(point);
    }
  }
  return points;
}

double quadratic(const Mat3& g, const std::array<double, 3>& v) {
  double s = 0.0;
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) s += v[i - 1] * at3(g, i, j) * v[j - 1];
  return s;
}

// The shortest distance by trying every translation with components up to `reach`.
double brute_force(const std::vector<std::array<double, 3>>& points, const Mat3& g, int reach) {
  double best = INFINITY;
  for (std::size_t i = 0; i < points.size(); ++i)
    for (std::size_t j = 0; j < points.size(); ++j)
      for (int t1 = -reach; t1 <= reach; ++t1)
        for (int t2 = -reach; t2 <= reach; ++t2)
          for (int t3 = -reach; t3 <= reach; ++t3) {
            if (i == j && t1 == 0 && t2 == 0 && t3 == 0) continue;
            const std::array<double, 3> v{points[i][0] - points[j][0] + t1,
                                          points[i][1] - points[j][1] + t2,
                                          points[i][2] - points[j][2] + t3};
            best = std::min(best, quadratic(g, v));
          }
  return std::sqrt(best);
}

TEST(NearestAtoms, KnownStructures) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const double a_nacl = 5.64, a_fe = 2.87, a_mg = 3.21, c_mg = 5.21;
  const double a_ti = 4.594, c_ti = 2.959, x_o = 0.3048;
  struct Case {
    const char* what;
    int32_t group;
    std::vector<Line> lines;
    Mat3 conventional_metric;
    double expected;
  };
  const Case cases[] = {
      {"rock salt",
       225,
       {{"4a", {0, 0, 0}}, {"4b", {0, 0, 0}}},
       metric_of({a_nacl, a_nacl, a_nacl, 90, 90, 90}),
       a_nacl / 2},
      {"bcc iron",
       229,
       {{"2a", {0, 0, 0}}},
       metric_of({a_fe, a_fe, a_fe, 90, 90, 90}),
       a_fe * std::sqrt(3.0) / 2},
      {"hcp magnesium",
       194,
       {{"2c", {0, 0, 0}}},
       metric_of({a_mg, a_mg, c_mg, 90, 90, 120}),
       std::min(a_mg, std::sqrt(a_mg * a_mg / 3 + c_mg * c_mg / 4))},
      {"hcp with a long a",
       194,
       {{"2c", {0, 0, 0}}},
       metric_of({4.0, 4.0, 3.0, 90, 90, 120}),
       std::sqrt(16.0 / 3 + 9.0 / 4)},
      // Rutile: Ti 2a, O 4f (x, x, 0); the shortest is the Ti-O bond to the O at
      // (1/2 - x, 1/2 + x, 1/2), shorter than the one along (x, x, 0).
      {"rutile",
       136,
       {{"2a", {0, 0, 0}}, {"4f", {x_o, 0, 0}}},
       metric_of({a_ti, a_ti, c_ti, 90, 90, 90}),
       std::min(std::sqrt(2 * std::pow((0.5 - x_o) * a_ti, 2) + c_ti * c_ti / 4),
                x_o * std::sqrt(2.0) * a_ti)},
      {"one atom, triclinic",
       1,
       {{"1a", {0.3, 0.1, 0.7}}},
       metric_of({3.0, 4.0, 5.0, 80, 85, 95}),
       3.0},
      // One atom in a basis that is not short: the shortest lattice vector is c + 3a.
      {"one atom, oblique",
       1,
       {{"1a", {0, 0, 0}}},
       metric_of({3.0, 4.0, 10.0, 90, 165, 90}),
       std::sqrt(100.0 + 81.0 + 180.0 * std::cos(165.0 * std::acos(-1.0) / 180.0))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const double d = nearest(c.group, c.lines, primitive_metric(c.group, c.conventional_metric));
    EXPECT_NEAR(d, c.expected, 1e-12 * c.expected);
  }
  EXPECT_NEAR(std::sqrt(100.0 + 81.0 + 180.0 * std::cos(165.0 * std::acos(-1.0) / 180.0)), 2.6708,
              1e-4);
}

TEST(NearestAtoms, DifferenceOfExactlyOneHalf) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  // Two atoms half a cell apart along a + c: the difference folds to +1/2 or -1/2 in each
  // component, and the shorter diagonal (a - c here) is reached through the translations.
  const Mat3 g = metric_of({2.0, 7.0, 3.0, 90, 100, 90});
  const std::vector<int32_t> iwyc{1, 1};
  const std::vector<double> xyz{0, 0, 0, 0.5, 0, 0.5};
  const double expected =
      std::sqrt(std::min(quadratic(g, {0.5, 0, 0.5}), quadratic(g, {0.5, 0, -0.5})));
  EXPECT_NEAR(expected, std::sqrt(3.25 + 3.0 * std::cos(100.0 * std::acos(-1.0) / 180.0)), 1e-14);
  EXPECT_NEAR(nearest(1, iwyc, xyz, g), expected, 1e-14);
  // Along an axis: +1/2 and -1/2 are the same length.
  EXPECT_NEAR(nearest(1, iwyc, std::vector<double>{0, 0, 0, 0.5, 0, 0},
                      metric_of({2.0, 7.0, 3.0, 90, 100, 90})),
              1.0, 1e-14);
}

// A metric that all rotations of the group (in the primitive basis) keep: the group average of
// R^T G0 R for a random positive definite G0.
Mat3 invariant_metric(int32_t group, std::mt19937& rng) {
  const sgl::CommonSpace& cs = sgl::testing::space_tables();
  std::uniform_real_distribution<double> length(3.0, 7.0), skew(-1.5, 1.5);
  Mat3 a;
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) at3(a, i, j) = i == j ? length(rng) : skew(rng);
  const Mat3 g0 = mul3(transpose3(a), a);
  std::array<sgl::SpaceOp, sgl::kMaxGroupOps> ops;
  int32_t n = 0;
  sgl::generate_space_group(cs, group, n, ops);
  Mat3 sum{};
  for (int32_t o = 0; o < n; ++o) {
    sgl::OpMatrix m;
    sgl::op_to_mat(cs, group, "pml", ops[o], m);
    Mat3 r;
    for (int i = 1; i <= 3; ++i)
      for (int j = 1; j <= 3; ++j)
        at3(r, i, j) = static_cast<double>(sgl::m4(m, i, j)) / sgl::m4(m, 4, 4);
    const Mat3 term = mul3(mul3(transpose3(r), g0), r);
    for (int k = 0; k < 9; ++k) sum[k] += term[k] / n;
  }
  return sum;
}

TEST(NearestAtoms, RandomStructuresOfEveryCrystalSystem) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  // Triclinic, monoclinic (P and C), orthorhombic (P, F, I), tetragonal (P, I), trigonal (R, P),
  // hexagonal and cubic (P, F, I).
  const int32_t groups[] = {2, 14, 12, 62, 70, 71, 136, 139, 166, 164, 194, 221, 225, 229};
  const sgl::CommonWyckoff& cw = sgl::testing::wyckoff_tables();
  std::mt19937 rng(1206);
  for (int32_t group : groups) {
    for (int trial = 0; trial < 4; ++trial) {
      const Mat3 g = invariant_metric(group, rng);
      std::uniform_int_distribution<int32_t> pick(1, cw.wyc_count(group));
      std::uniform_real_distribution<double> param(-0.5, 0.5);
      std::vector<int32_t> iwyc(1 + trial % 3);
      std::vector<double> xyz;
      for (int32_t& w : iwyc) {
        w = pick(rng);
        for (int k = 0; k < 3; ++k) xyz.push_back(param(rng));
      }
      SCOPED_TRACE("group " + std::to_string(group) + " trial " + std::to_string(trial));
      const double expected = brute_force(expand(group, iwyc, xyz), g, 3);
      EXPECT_NEAR(nearest(group, iwyc, xyz, g), expected, 1e-10 * expected);
    }
  }
}

TEST(NearestAtoms, ObliqueBasesOfTheSameCrystal) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  // A short basis G0 with 1 to 3 atoms, given instead by a long basis G = M^T G0 M with the
  // atoms' coordinates carried by M^-1: the distance is found in the short basis by brute force.
  std::mt19937 rng(1207);
  std::uniform_real_distribution<double> length(2.0, 5.0), angle(75.0, 105.0), coord(0.0, 1.0);
  for (int trial = 0; trial < 60; ++trial) {
    const Mat3 g0 =
        metric_of({length(rng), length(rng), length(rng), angle(rng), angle(rng), angle(rng)});
    const sgl::Mat3i m = sgl::testing::random_unimodular(rng, 4 + trial % 8);
    const Mat3 mm = sgl::testing::to_real(m);
    const Mat3 g = mul3(mul3(transpose3(mm), g0), mm);
    const sgl::Mat3i m_inverse = sgl::unimodular_inverse(m);
    const int atoms = 1 + trial % 3;
    std::vector<std::array<double, 3>> short_points(atoms);
    std::vector<double> xyz;
    for (auto& p : short_points) {
      for (double& c : p) c = coord(rng);
      for (int i = 1; i <= 3; ++i) {
        double s = 0.0;
        for (int j = 1; j <= 3; ++j) s += sgl::m3(m_inverse, i, j) * p[j - 1];
        xyz.push_back(s);
      }
    }
    const double expected = brute_force(short_points, g0, 3);
    SCOPED_TRACE("trial " + std::to_string(trial));
    EXPECT_NEAR(nearest(1, std::vector<int32_t>(atoms, 1), xyz, g), expected, 1e-9 * expected);
  }
}

TEST(NearestAtoms, HugeParametersEndAndNonFiniteOnesStop) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const Mat3 g = metric_of({2.0, 3.0, 4.0, 90, 90, 90});
  // A parameter of 1e15 + 0.25 folds like 0.25, without stepping through the whole numbers.
  EXPECT_NEAR(
      nearest(1, std::vector<int32_t>{1, 1}, std::vector<double>{0, 0, 0, 1e15 + 0.25, 0, 0}, g),
      0.5, 1e-12);
  sgl::testing::BombTrap trap;
  EXPECT_THROW(nearest(1, std::vector<int32_t>{1, 1}, std::vector<double>{0, 0, 0, NAN, 0, 0}, g),
               sgl::testing::Bombed);
  EXPECT_THROW(nearest(225, std::vector<int32_t>{13}, std::vector<double>{0, 0, 0}, g),
               sgl::testing::Bombed);
}

}  // namespace
