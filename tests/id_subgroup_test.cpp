// Identification of subgroups: the space-group type, basis and origin of the subgroup's setting.
#include "library/groups/id_subgroup.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/groups/space_group.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/group_tables.hpp"
#include "tests/subgroup_checks.hpp"

namespace sgl {
namespace {

using testing::Bombed;
using testing::BombTrap;
using testing::check_identification;
using testing::space_tables;

// Operators with the given point operations, zero translations except those listed.
std::vector<SpaceOp> ops_of(std::initializer_list<int32_t> points,
                            std::vector<std::pair<int32_t, RationalVector>> moved = {}) {
  std::vector<SpaceOp> out;
  for (int32_t p : points) {
    SpaceOp op{0, 0, 0, 1, p};
    for (const auto& [q, t] : moved)
      if (q == p) op = {t[0], t[1], t[2], t[3], p};
    out.push_back(op);
  }
  return out;
}

std::vector<int32_t> range(int32_t a, int32_t b) {
  std::vector<int32_t> v;
  for (int32_t i = a; i <= b; ++i) v.push_back(i);
  return v;
}

std::vector<SpaceOp> ops_of(const std::vector<int32_t>& points) {
  std::vector<SpaceOp> out;
  for (int32_t p : points) out.push_back({0, 0, 0, 1, p});
  return out;
}

std::vector<int32_t> cat(std::initializer_list<std::vector<int32_t>> parts) {
  std::vector<int32_t> v;
  for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
  return v;
}

constexpr Mat3i kUnit{1, 0, 0, 0, 1, 0, 0, 0, 1};
// Columns (-2, -4, 0), (-3, -2, -3), (-2, 0, -2): a cell of eight primitive cubic cells that the
// two-fold axis along y keeps.
constexpr Mat3i kLongCell{-2, -4, 0, -3, -2, -3, -2, 0, -2};

// Columns given as rows of the initialiser: {{c1}, {c2}, {c3}}.
Mat3i columns(std::array<std::array<int32_t, 3>, 3> c) {
  Mat3i m;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) m[static_cast<std::size_t>(j * 3 + i)] = c[j][i];
  return m;
}

struct Identified {
  int32_t group = 0;
  Mat3i basis{};
  RationalVector origin{};
  IdSubgroupTrace trace;
};

Identified identify(int32_t g, const Mat3i& lattice, const std::vector<SpaceOp>& ops,
                    int32_t mode) {
  Identified r;
  id_subgroup(space_tables(), g, lattice, static_cast<int32_t>(ops.size()), ops, r.group, r.basis,
              r.origin, mode, &r.trace);
  return r;
}

// The subgroups of the table, named by their point operations, checked with cctbx and
// spglib: each is identified in mode 0, and its operators, referred to the returned basis and
// origin, are the tables' operators of the returned group.
TEST(IdSubgroup, IdentifiesKnownSubgroups) {
  SGL_REQUIRE_TABLES();
  const auto tetragonal = cat({range(1, 4), range(13, 16), range(25, 28), range(37, 40)});
  const RationalVector half_c{0, 0, 1, 2};
  struct Case {
    const char* what;
    int32_t parent;
    std::vector<SpaceOp> ops;
    Mat3i lattice;
    int32_t expected;
  };
  const Case cases[] = {
      {"Pm-3m to P4/mmm", 221, ops_of(tetragonal), kUnit, 123},
      {"Pm-3m to Pmmm", 221, ops_of(cat({range(1, 4), range(25, 28)})), kUnit, 47},
      {"Fm-3m to I4/mmm (Bain)", 225, ops_of(tetragonal), kUnit, 139},
      {"Fm-3m to R-3m", 225, ops_of({1, 5, 9, 14, 19, 24, 25, 29, 33, 38, 43, 48}), kUnit, 166},
      {"Fm-3m to P4/mmm (CuAu order)", 225, ops_of(tetragonal),
       columns({{{0, 0, 1}, {-1, 1, 0}, {1, 1, -1}}}), 123},
      {"Fm-3m to Pm-3m (Cu3Au order)", 225, ops_of(range(1, 48)),
       columns({{{-1, 1, 1}, {1, -1, 1}, {1, 1, -1}}}), 221},
      {"P6_3/mmc to Cmcm", 194,
       ops_of({49, 56, 61, 68, 52, 59, 64, 71}, {{52, half_c}, {59, half_c}, {64, half_c}, {71, half_c}}),
       kUnit, 63},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Identified r = identify(c.parent, c.lattice, c.ops, 0);
    EXPECT_EQ(r.group, c.expected);
    EXPECT_EQ(ndet(r.basis), ndet(c.lattice));
    EXPECT_EQ(check_identification(space_tables(), c.parent, c.ops, r.group, r.basis, r.origin), "");
    EXPECT_FALSE(r.trace.retried);
  }
}

// A lone identity: every entry of P is free, and the first matrix of determinant 1 in the trial
// order (the earlier permutation matrices have determinant -1) is trial 828: the basis is the
// third vector, the second and the first negated; the origin is zero.
TEST(IdSubgroup, IdentityAloneTakesTheFirstUnimodularTrial) {
  SGL_REQUIRE_TABLES();
  const auto ops = ops_of({1});
  const Identified r = identify(2, kUnit, ops, 0);
  EXPECT_EQ(r.group, 1);
  EXPECT_EQ(r.basis, columns({{{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}}}));
  EXPECT_EQ(r.origin, (RationalVector{0, 0, 0, 1}));
  EXPECT_EQ(r.trace.pass, 1);
  EXPECT_EQ(check_identification(space_tables(), 2, ops, r.group, r.basis, r.origin), "");
}

// The origin moves the inversion centre onto the origin of the subgroup's setting; the lattice
// is first shortened (the given basis is a skewed one of the same lattice).
TEST(IdSubgroup, FindsOriginAndShortensTheBasis) {
  SGL_REQUIRE_TABLES();
  const RationalVector shift{1, 0, 0, 2};  // inversion through (1/4, 0, 0)
  struct Case {
    const char* what;
    std::vector<SpaceOp> ops;
    Mat3i lattice;
    int32_t expected;
  };
  const Case cases[] = {
      {"P-1 with its centre off the origin", ops_of({1, 25}, {{25, shift}}), kUnit, 2},
      {"P-1 on a skewed basis", ops_of({1, 25}), columns({{{1, 0, 0}, {3, 1, 0}, {2, 5, 1}}}), 2},
      {"Pmmm on a skewed basis", ops_of(cat({range(1, 4), range(25, 28)})),
       columns({{{1, 0, 0}, {1, 1, 0}, {1, 1, 1}}}), 47},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Identified r = identify(221, c.lattice, c.ops, 0);
    EXPECT_EQ(r.group, c.expected);
    EXPECT_EQ(check_identification(space_tables(), 221, c.ops, r.group, r.basis, r.origin), "");
  }
  // The basis of P-1 is that of trial 828 (third vector, second, first negated), so the centre at
  // x = 1/4 of the subgroup's third axis lies at -1/4 along the first: in lowest terms, not
  // wrapped into the cell.
  const Identified off = identify(221, kUnit, cases[0].ops, 0);
  EXPECT_EQ(off.basis, columns({{{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}}}));
  EXPECT_EQ(off.origin, (RationalVector{-1, 0, 0, 4}));
}

// Mode -n takes the lattice as the subgroup's basis: P is the unit matrix and only the origin is
// solved. The same operators on a permuted basis fit only with a change of basis, so mode -n
// stops while mode n finds it.
TEST(IdSubgroup, NegativeModeKeepsTheBasis) {
  SGL_REQUIRE_TABLES();
  const CommonSpace& cs = space_tables();
  int32_t n = 0;
  std::array<SpaceOp, kMaxGroupOps> all;
  generate_space_group(cs, 123, n, all);
  std::vector<SpaceOp> ops(all.begin(), all.begin() + n);
  // The operators of P4/mmm with the origin moved to (1/2, 0, 0): every translation becomes
  // (R - 1) o.
  std::vector<SpaceOp> moved;
  for (const SpaceOp& op : ops) {
    OpMatrix m;
    op_to_mat(cs, 123, "pml", op, m);
    RationalVector t{m4(m, 1, 1) - 1, m4(m, 2, 1), m4(m, 3, 1), 2};
    reduc2(t);
    reduc1(t);
    moved.push_back({t[0], t[1], t[2], t[3], op[4]});
  }
  const Identified same = identify(123, kUnit, ops, -123);
  EXPECT_EQ(same.group, 123);
  EXPECT_EQ(same.basis, kUnit);
  EXPECT_EQ(same.origin, (RationalVector{0, 0, 0, 1}));
  const Identified shifted = identify(123, kUnit, moved, -123);
  EXPECT_EQ(shifted.basis, kUnit);
  EXPECT_EQ(check_identification(cs, 123, moved, 123, shifted.basis, shifted.origin), "");
  EXPECT_EQ(shifted.origin[3], 2);

  const Mat3i permuted = columns({{{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}});
  {
    BombTrap trap;
    EXPECT_THROW(identify(123, permuted, ops, -123), Bombed);
  }
  const Identified found = identify(123, permuted, ops, 123);
  EXPECT_EQ(found.group, 123);
  EXPECT_EQ(check_identification(cs, 123, ops, 123, found.basis, found.origin), "");
}

// Mode n tries group n alone and stops when it does not fit (after the four passes and the retry
// on a reduced basis); operators whose products are missing never fit; an operator that does not
// keep the lattice stops at once.
TEST(IdSubgroup, StopsWhenNothingFits) {
  SGL_REQUIRE_TABLES();
  const auto mmm = ops_of(cat({range(1, 4), range(25, 28)}));
  const auto glide = ops_of({1, 3, 25, 27}, {{3, {0, 0, 1, 2}}, {27, {0, 0, 1, 2}}});  // P2/c
  struct Case {
    const char* what;
    int32_t parent;
    std::vector<SpaceOp> ops;
    Mat3i lattice;
    int32_t mode;
  };
  const Case cases[] = {
      {"Pmmm asked as Pnnm", 221, mmm, kUnit, 58},
      {"Pmmm asked as P4/mmm", 221, mmm, kUnit, 123},
      {"P2/c asked as P2/m", 221, glide, kUnit, 10},
      {"P2/c asked as P2/m on a skewed basis", 221, glide,
       columns({{{1, 0, 0}, {2, 1, 0}, {3, 0, 1}}}), 10},
      // A cell of eight whose greedy shortening keeps a column that the sum of all three
      // shortens, so the passes run again on the reduced basis before the stop.
      {"P2/m asked as P2/c on a cell the greedy shortening leaves long", 221,
       ops_of({1, 3, 25, 27}), kLongCell, 13},
      {"two-folds whose product is missing", 221, ops_of({1, 2, 3, 13}), kUnit, 0},
      {"four-fold about z on a basis it does not keep", 221, ops_of({1, 16, 2, 15}),
       columns({{{1, 0, 0}, {0, 2, 0}, {0, 0, 1}}}), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BombTrap trap;
    EXPECT_THROW(identify(c.parent, c.lattice, c.ops, c.mode), Bombed);
  }
  EXPECT_EQ(identify(221, kUnit, glide, 13).group, 13);
  const auto mirror = ops_of({1, 3, 25, 27});
  const Identified r = identify(221, kLongCell, mirror, 0);
  EXPECT_EQ(r.group, 12);
  EXPECT_EQ(check_identification(space_tables(), 221, mirror, r.group, r.basis, r.origin), "");
}

}  // namespace
}  // namespace sgl
