// Site-symmetry operators, coset representatives and orbits of the 1731 Wyckoff positions.
#include "library/groups/wyckoff_orbits.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/groups/change_setting.hpp"
#include "library/groups/operator_encodings.hpp"
#include "library/groups/space_group.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/group_tables.hpp"
#include "tests/table_files.hpp"

namespace sgl {
namespace {

using testing::Bombed;
using testing::BombTrap;
using testing::random_wyckoff_parameters;
using testing::same_modulo_lattice;
using testing::space_tables;
using testing::table_wyckoff_matrix;
using testing::wyckoff_tables;

using OpList = std::array<SpaceOp, kMaxGroupOps>;
using Orbit = std::array<WyckoffMatrix, kMaxGroupOps>;
using Point = std::array<double, 3>;

// The operator applied to a point, both in "pml", in double precision.
Point apply(int32_t g, const SpaceOp& op, const Point& x) {
  OpMatrix m;
  op_to_mat(space_tables(), g, "pml", op, m);
  const double d = m4(m, 4, 4);
  Point y;
  for (int i = 1; i <= 3; ++i) {
    double s = m4(m, i, 4) / d;
    for (int j = 1; j <= 3; ++j) s += m4(m, i, j) / d * x[j - 1];
    y[i - 1] = s;
  }
  return y;
}

// Every position of every group: the site operators are exactly the operators that fix a generic
// point of the position (counted independently, in floating point), they are the site point
// group (by its key), fix the position exactly and come in the order of the first element list
// that holds them; the cosets and the orbit fill the group, and the orbit's points are the
// distinct images of the point.
TEST(WyckoffOrbits, AllPositionsOfAllGroups) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const CommonSpace& cs = space_tables();
  const CommonWyckoff& cw = wyckoff_tables();
  std::mt19937 rng(20261210);
  int32_t positions = 0;
  int32_t reordered = 0;  // positions whose site operators are not in the group's table order
  testing::for_each_wyckoff_position([&](int32_t g, int32_t w, int32_t k) {
    ++positions;
    OpList ops;
    int32_t n = 0;
    generate_space_group(cs, g, n, ops);
    const int32_t bravais = cs.sg_bravais(g);
    const int32_t q = cw.wyc_site_point_group(k);
    const int32_t nq = cs.pg_order(q);
    WyckoffMatrix first = table_wyckoff_matrix(k);
    for (int j = 1; j <= 4; ++j)
      if (m4(first, 4, j) == 0) m4(first, 4, j) = 1;

    // Directions as the tables hold them: lowest terms, positive denominator.
    for (int j = 2; j <= 4; ++j) {
      RationalVector d{m4(first, 1, j), m4(first, 2, j), m4(first, 3, j), m4(first, 4, j)};
      RationalVector r = d;
      if (d[0] != 0 || d[1] != 0 || d[2] != 0) reduc2(r);
      EXPECT_EQ(r, d) << "direction column " << j << " not in lowest terms";
    }

    OpList site;
    wyc_pg_elements(cs, cw, g, "pml", k, first, site);

    // Exactly the stabiliser, and the site point group.
    const Point x = random_wyckoff_parameters(rng);
    Point p;
    dget_wyc_xyz(x, first, p);
    int32_t fixing = 0;
    for (int32_t i = 0; i < n; ++i)
      if (same_modulo_lattice(apply(g, ops[i], p), p)) ++fixing;
    EXPECT_EQ(fixing, nq);
    int32_t key = 0;
    for (int32_t s = 0; s < nq; ++s) {
      key += cs.point_op_key(site[s][4]);
      const RationalVector w1{m4(first, 1, 1), m4(first, 2, 1), m4(first, 3, 1), m4(first, 4, 1)};
      RationalVector image;
      vrot(cs, bravais, site[s][4], w1, image);
      vadd(image, RationalVector{site[s][0], site[s][1], site[s][2], site[s][3]}, image);
      RationalVector w1r = w1;
      reduc2(w1r);
      EXPECT_EQ(image, w1r) << "site operator " << s + 1 << " does not fix the point exactly";
      Point image_x = apply(g, site[s], p);
      for (int i = 0; i < 3; ++i) EXPECT_NEAR(image_x[i], p[i], 1e-9);
    }
    EXPECT_EQ(key, cs.point_group_key(q));

    // Order: the first element list of q whose first nq entries hold all the operations.
    int32_t fitting = 0;
    for (int32_t l = cw.pg_list_first(q); l < cw.pg_list_first(q) + cw.pg_list_count(q); ++l) {
      bool all = true;
      for (int32_t s = 0; s < nq; ++s) {
        bool in = false;
        for (int32_t h = 1; h <= nq; ++h) in = in || cw.pg_element_list(h, l) == site[s][4];
        all = all && in;
      }
      if (all) {
        fitting = l;
        break;
      }
    }
    ASSERT_NE(fitting, 0);
    for (int32_t h = 1; h <= nq; ++h) EXPECT_EQ(site[h - 1][4], cw.pg_element_list(h, fitting));
    std::vector<int32_t> table_order;
    for (int32_t i = 0; i < n; ++i)
      for (int32_t s = 0; s < nq; ++s)
        if (ops[i][4] == site[s][4]) table_order.push_back(ops[i][4]);
    for (int32_t s = 0; s < nq; ++s) {
      if (table_order[s] != site[s][4]) {
        ++reordered;
        break;
      }
    }

    // Cosets.
    OpList reps;
    int32_t ncos = 0;
    wyc_pg_cosets(cs, g, nq, std::span<const SpaceOp>(site.data(), nq), ncos, reps);
    EXPECT_EQ(ncos * nq, n);
    EXPECT_EQ(reps[0], ops[0]);

    // Orbit: distinct images of p, and every image of p is among them.
    Orbit orbit;
    int32_t npos = 0;
    get_wyckoff_all(cs, cw, g, w, npos, orbit);
    ASSERT_EQ(npos, ncos);
    EXPECT_EQ(orbit[0], first);
    std::vector<Point> points;
    for (int32_t m = 0; m < npos; ++m) {
      Point pm;
      dget_wyc_xyz(x, orbit[m], pm);
      EXPECT_TRUE(same_modulo_lattice(pm, apply(g, reps[m], p))) << "orbit position " << m + 1;
      for (const Point& earlier : points)
        EXPECT_FALSE(same_modulo_lattice(pm, earlier)) << "orbit position " << m + 1 << " repeated";
      points.push_back(pm);
    }
    for (int32_t i = 0; i < n; ++i) {
      const Point image = apply(g, ops[i], p);
      bool found = false;
      for (const Point& pm : points) found = found || same_modulo_lattice(pm, image);
      EXPECT_TRUE(found) << "image under operator " << i + 1 << " missing from the orbit";
    }
  });
  EXPECT_EQ(positions, kWyckoffPositionCount);
  EXPECT_GT(reordered, 0) << "no position shows the order of the element lists";
  RecordProperty("positions_ordered_unlike_the_group", reordered);
}

// The general position (site group of order 1, the last position of a group): the identity
// alone, every operator a coset representative in table order, an orbit of the group's order.
TEST(WyckoffOrbits, GeneralPosition) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const CommonSpace& cs = space_tables();
  const CommonWyckoff& cw = wyckoff_tables();
  for (int32_t g : {1, 2, 15, 62, 148, 194, 221, 230}) {
    SCOPED_TRACE("group " + std::to_string(g));
    const int32_t w = cw.wyc_count(g);
    const int32_t k = cw.wyc_first(g) + w - 1;
    ASSERT_EQ(cs.pg_order(cw.wyc_site_point_group(k)), 1);
    OpList ops, site, reps;
    int32_t n = 0;
    generate_space_group(cs, g, n, ops);
    wyc_pg_elements(cs, cw, g, "pml", k, table_wyckoff_matrix(k), site);
    EXPECT_EQ(site[0], (SpaceOp{0, 0, 0, 1, identity_op(g)}));
    int32_t ncos = 0;
    wyc_pg_cosets(cs, g, 1, std::span<const SpaceOp>(site.data(), 1), ncos, reps);
    ASSERT_EQ(ncos, n);
    for (int32_t i = 0; i < n; ++i) EXPECT_EQ(reps[i], ops[i]);
    Orbit orbit;
    int32_t npos = 0;
    get_wyckoff_all(cs, cw, g, w, npos, orbit);
    EXPECT_EQ(npos, n);
  }
}

// A position whose site group is the whole point group: one orbit position, the table matrix
// with its zero denominators made 1.
TEST(WyckoffOrbits, SiteGroupIsTheWholePointGroup) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const CommonSpace& cs = space_tables();
  const CommonWyckoff& cw = wyckoff_tables();
  for (int32_t g : {2, 47, 123, 191, 221, 225}) {
    const int32_t k = cw.wyc_first(g);
    ASSERT_EQ(cw.wyc_site_point_group(k), cs.sg_point_group(g)) << g;
    Orbit orbit;
    int32_t npos = 0;
    get_wyckoff_all(cs, cw, g, 1, npos, orbit);
    ASSERT_EQ(npos, 1) << g;
    WyckoffMatrix expected = table_wyckoff_matrix(k);
    for (int j = 1; j <= 4; ++j)
      if (m4(expected, 4, j) == 0) m4(expected, 4, j) = 1;
    EXPECT_EQ(orbit[0], expected) << g;
  }
}

// P-1, position h at (1/2, 1/2, 1/2): the inversion maps it onto a lattice translate of itself
// and is kept as the exact stabiliser with translation (1, 1, 1); a direction that the
// inversion reverses rejects it, and one site operator is then too few for the position.
TEST(WyckoffOrbits, StabiliserOfATranslateAndARejectedDirection) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const CommonSpace& cs = space_tables();
  const CommonWyckoff& cw = wyckoff_tables();
  const int32_t k = cw.wyc_first(2) + 7;
  WyckoffMatrix w = table_wyckoff_matrix(k);
  ASSERT_EQ((std::array<int32_t, 4>{m4(w, 1, 1), m4(w, 2, 1), m4(w, 3, 1), m4(w, 4, 1)}),
            (std::array<int32_t, 4>{1, 1, 1, 2}));
  OpList site;
  wyc_pg_elements(cs, cw, 2, "pml", k, w, site);
  EXPECT_EQ(site[0], (SpaceOp{0, 0, 0, 1, 1}));
  EXPECT_EQ(site[1], (SpaceOp{1, 1, 1, 1, 25}));

  m4(w, 1, 2) = 1;
  m4(w, 4, 2) = 1;
  BombTrap trap;
  EXPECT_THROW(wyc_pg_elements(cs, cw, 2, "pml", k, w, site), Bombed);
}

// The site operators in another setting are the "pml" ones changed into it.
TEST(WyckoffOrbits, SiteOperatorsInAnotherSetting) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const CommonSpace& cs = space_tables();
  const CommonWyckoff& cw = wyckoff_tables();
  for (int32_t g : {12, 68, 141, 166, 227}) {
    for (int32_t w = 1; w <= cw.wyc_count(g); ++w) {
      const int32_t k = cw.wyc_first(g) + w - 1;
      const int32_t nq = cs.pg_order(cw.wyc_site_point_group(k));
      OpList pml, cinter;
      wyc_pg_elements(cs, cw, g, "pml", k, table_wyckoff_matrix(k), pml);
      wyc_pg_elements(cs, cw, g, "cinter", k, table_wyckoff_matrix(k), cinter);
      for (int32_t s = 0; s < nq; ++s) {
        SpaceOp expected;
        op_change_setting(cs, g, "pml", "cinter", pml[s], expected);
        EXPECT_EQ(cinter[s], expected) << g << " " << w << " " << s;
      }
    }
  }
}

TEST(WyckoffOrbits, CosetsStopOnSiteOperatorsThatAreNoSubgroup) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const CommonSpace& cs = space_tables();
  BombTrap trap;
  OpList reps;
  int32_t ncos = 0;
  struct Case {
    const char* what;
    int32_t group;
    std::vector<SpaceOp> site;
  };
  // The twofold rotation of P2 alone: one coset of one operator leaves the group half covered.
  OpList p2;
  int32_t n = 0;
  generate_space_group(cs, 3, n, p2);
  ASSERT_EQ(n, 2);
  const std::vector<Case> cases{
      {"product outside the group (inversion in P1)", 1, {{0, 0, 0, 1, 1}, {0, 0, 0, 1, 25}}},
      {"operator reached twice", 2, {{0, 0, 0, 1, 1}, {0, 0, 0, 1, 1}}},
      {"cosets do not fill the group", 3, {p2[1]}},
      {"point operation outside 1 .. 72", 2, {{0, 0, 0, 1, 0}}},
      {"no site operators", 2, {}},
  };
  for (const Case& c : cases) {
    EXPECT_THROW(
        wyc_pg_cosets(cs, c.group, static_cast<int32_t>(c.site.size()), c.site, ncos, reps), Bombed)
        << c.what;
  }
}

// Validation checks only the positions inside some group's run; a position outside every run
// may hold site point group 0, which must stop the run before it indexes the point-group tables.
TEST(WyckoffOrbits, SiteOperatorsStopOnAPositionOutsideEveryRun) {
  const auto cs = testing::minimal_space();
  const auto cw = testing::minimal_wyckoff();
  validate_common_space(*cs);
  validate_common_wyckoff(*cw);
  ASSERT_EQ(cw->wyc_site_point_group(231), 0);
  WyckoffMatrix w{};
  m4(w, 4, 1) = 1;
  OpList site;
  EXPECT_EQ(testing::stop_output([&] { wyc_pg_elements(*cs, *cw, 1, "pml", 231, w, site); }),
            " Error in wyc_pg_elements: site point group out of range\n");
}

TEST(WyckoffOrbits, OrbitStopsOnAnIndexOutsideTheGroup) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  BombTrap trap;
  Orbit orbit;
  int32_t npos = 0;
  const int32_t count = wyckoff_tables().wyc_count(2);
  for (int32_t w : {0, count + 1}) {
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(get_wyckoff_all(space_tables(), wyckoff_tables(), 2, w, npos, orbit), Bombed) << w;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " Error in get_wyckoff_all: Wyckoff index out of range\n");
  }
  ::testing::internal::CaptureStdout();
  EXPECT_THROW(get_wyckoff_all(space_tables(), wyckoff_tables(), 231, 1, npos, orbit), Bombed);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            " Error in get_wyckoff_all: space group number out of range:  231\n");
}

TEST(DgetWycXyz, PointOfAPosition) {
  struct Case {
    const char* what;
    std::array<int32_t, 16> w;  // by columns
    Point x;
    Point expected;
  };
  const std::vector<Case> cases{
      {"fixed point only; parameters ignored",
       {1, 0, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       {0.3, 0.4, 0.5},
       {0.25, 0.0, 0.75}},
      {"x along (1,1,0)/1",
       {0, 0, 1, 2, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0},
       {0.25, 9, 9},
       {0.25, 0.25, 0.5}},
      {"x and z, y absent, denominators 2 and 1",
       {0, 0, 0, 1, 1, 0, 0, 2, 5, 5, 5, 0, 0, 0, 1, 1},
       {0.5, 7, -0.125},
       {0.25, 0.0, -0.125}},
      {"zero direction over 1 adds nothing",
       {1, 1, 1, 3, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1},
       {5, 6, 7},
       {1.0 / 3.0, 1.0 / 3.0, 1.0 / 3.0}},
  };
  for (const Case& c : cases) {
    Point p{};
    dget_wyc_xyz(c.x, c.w, p);
    for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(p[i], c.expected[i]) << c.what;
    // The same array as parameters and point, and the second name.
    Point same = c.x;
    get_wyc_xyz(same, c.w, same);
    EXPECT_EQ(same, p) << c.what;
  }
}

}  // namespace
}  // namespace sgl
