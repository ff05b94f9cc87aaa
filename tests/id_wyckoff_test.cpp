// Identification of Wyckoff positions and parameters from points.
#include "library/groups/id_wyckoff.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "library/groups/change_setting.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/group_tables.hpp"

namespace sgl {
namespace {

using testing::Bombed;
using testing::BombTrap;
using testing::random_wyckoff_parameters;
using testing::space_tables;
using testing::table_wyckoff_matrix;
using testing::wyckoff_tables;

using Point = std::array<double, 3>;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(FoldWyckoffParameter, IntoMinusHalfToHalf) {
  struct Case {
    double in;
    double out;
  };
  for (const Case& c : {Case{0.5, 0.5}, Case{-0.5, -0.5}, Case{0.75, -0.25}, Case{-0.75, 0.25},
                        Case{1.5, 0.5}, Case{-1.5, -0.5}, Case{2.25, 0.25}, Case{1.0, 0.0},
                        Case{-3.0, 0.0}, Case{0.0, 0.0}, Case{0.3, 0.3}, Case{7.6, 7.6 - 8.0},
                        Case{1e17, 0.0}, Case{-1e300, 0.0}, Case{4503599627370495.5, 0.5}}) {
    EXPECT_EQ(fold_wyckoff_parameter(c.in, "test"), c.out) << c.in;
  }
}

TEST(FoldWyckoffParameter, NonFiniteValuesStop) {
  BombTrap trap;
  for (double v : {kNaN, kInf, -kInf}) {
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(fold_wyckoff_parameter(v, "id_wyckoff4d"), Bombed) << v;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " Error in id_wyckoff4d: value is not finite\n");
  }
}

struct IdCase {
  const char* what;
  int32_t group;
  Point point;  // in "cinter"
  int32_t w;
  Point params;
};

TEST(IdWyckoff4d, CasesByHand) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const std::vector<IdCase> cases{
      {"P-1 origin: 1a before the general position", 2, {0, 0, 0}, 1, {0, 0, 0}},
      {"P-1 (1/2,1/2,1/2): 1h", 2, {0.5, 0.5, 0.5}, 8, {0, 0, 0}},
      {"P-1 lattice translate of the origin", 2, {1, -2, 3}, 1, {0, 0, 0}},
      {"P1: 0.5 stays, -0.5 comes back from the solver as 0.5, 0.75 folds",
       1,
       {0.5, -0.5, 0.75},
       1,
       {0.5, 0.5, -0.25}},
      {"P1: a coordinate far outside the cell", 1, {1e17, 0.25, 0.25}, 1, {0, 0.25, 0.25}},
      {"Pm-3m body centre: 1b", 221, {0.5, 0.5, 0.5}, 2, {0, 0, 0}},
  };
  for (const IdCase& c : cases) {
    int32_t w = -1;
    Point params{9, 9, 9};
    id_wyckoff4d(space_tables(), wyckoff_tables(), c.group, c.point, "cinter", w, params);
    EXPECT_EQ(w, c.w) << c.what;
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(params[i], c.params[i], 1e-12) << c.what;
  }
}

TEST(IdWyckoff4d, NonFinitePointsStop) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  BombTrap trap;
  for (const Point& p : {Point{kNaN, 0, 0}, Point{0, kInf, 0}, Point{0, 0, -kInf}}) {
    int32_t w = 0;
    Point params{};
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(id_wyckoff4d(space_tables(), wyckoff_tables(), 2, p, "cinter", w, params), Bombed);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " Error in id_wyckoff4d: coordinate is not finite\n");
  }
}

// Number of points of a position's parameter space that fall on one point modulo the lattice:
// the greatest common divisor of the maximal minors of its present direction columns.
int64_t parameter_multiplicity(const WyckoffMatrix& w) {
  std::vector<std::array<int64_t, 3>> cols;
  for (int j = 2; j <= 4; ++j)
    if (m4(w, 4, j) != 0) cols.push_back({m4(w, 1, j), m4(w, 2, j), m4(w, 3, j)});
  int64_t g = 0;
  if (cols.empty()) return 1;
  if (cols.size() == 1) {
    for (int i = 0; i < 3; ++i) g = std::gcd(g, cols[0][i]);
  } else if (cols.size() == 2) {
    for (int i = 0; i < 3; ++i)
      for (int k = i + 1; k < 3; ++k)
        g = std::gcd(g, cols[0][i] * cols[1][k] - cols[0][k] * cols[1][i]);
  } else {
    const auto& a = cols[0];
    const auto& b = cols[1];
    const auto& c = cols[2];
    g = std::llabs(a[0] * (b[1] * c[2] - b[2] * c[1]) - b[0] * (a[1] * c[2] - a[2] * c[1]) +
                   c[0] * (a[1] * b[2] - a[2] * b[1]));
  }
  return g;
}

// Every position of every group: a point of it with random parameters, written in "cinter",
// is identified as that position, and the parameters come back (where the position's
// parameters are unique modulo the lattice; elsewhere parameters of the same point).
TEST(IdWyckoff4d, EveryPositionFromARandomPointInCinter) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const CommonSpace& cs = space_tables();
  const CommonWyckoff& cw = wyckoff_tables();
  std::mt19937 rng(4242);
  int32_t ambiguous = 0;
  testing::for_each_wyckoff_position([&](int32_t g, int32_t w, int32_t k) {
    const WyckoffMatrix pml = table_wyckoff_matrix(k);
    WyckoffMatrix cinter;
    wyckoff_change_setting(cs, g, "pml", "cinter", pml, cinter);
    Point x = random_wyckoff_parameters(rng);
    for (int j = 0; j < 3; ++j)
      if (m4(pml, 4, j + 2) == 0) x[j] = 0.0;
    Point point;
    dget_wyc_xyz(x, cinter, point);

    int32_t found = 0;
    Point y{};
    id_wyckoff4d(cs, cw, g, point, "cinter", found, y);
    ASSERT_EQ(found, w);
    for (int j = 0; j < 3; ++j) {
      if (m4(pml, 4, j + 2) == 0) {
        EXPECT_EQ(y[j], 0.0) << "absent parameter " << j + 1;
      }
    }

    if (parameter_multiplicity(pml) == 1) {
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(y[j], x[j], 1e-9) << "parameter " << j + 1;
    } else {
      ++ambiguous;
      WyckoffMatrix first = pml;
      for (int j = 1; j <= 4; ++j)
        if (m4(first, 4, j) == 0) m4(first, 4, j) = 1;
      Point expected, rebuilt;
      dxyz_change_setting(cs, g, "cinter", "pml", point, expected);
      dget_wyc_xyz(y, first, rebuilt);
      EXPECT_TRUE(testing::same_modulo_lattice(rebuilt, expected));
    }
  });
  RecordProperty("positions_with_several_parameter_values", ambiguous);
}

}  // namespace
}  // namespace sgl
