// The splitting of Wyckoff orbits of a space group into the orbits of a subgroup.
#include "library/groups/get_new_wyckoff.hpp"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "library/groups/id_subgroup.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/group_tables.hpp"
#include "tests/subgroup_checks.hpp"

namespace sgl {
namespace {

using testing::Bombed;
using testing::BombTrap;
using testing::check_split;
using testing::space_tables;
using testing::wyckoff_tables;

constexpr Mat3i kUnit{1, 0, 0, 0, 1, 0, 0, 0, 1};
constexpr RationalVector kZero{0, 0, 0, 1};
constexpr int32_t kRoom = 64;

Mat3i columns(std::array<std::array<int32_t, 3>, 3> c) {
  Mat3i m;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) m[static_cast<std::size_t>(j * 3 + i)] = c[j][i];
  return m;
}

struct Split {
  int32_t count = 0;
  std::vector<int32_t> wyckoff = std::vector<int32_t>(kRoom, -1);
  std::vector<WyckoffRelation> relation = std::vector<WyckoffRelation>(kRoom);
};

Split split(int32_t g, int32_t h, const Mat3i& basis, const RationalVector& origin, int32_t w) {
  Split s;
  for (auto& r : s.relation) r.fill(-99);
  get_new_wyckoff(space_tables(), wyckoff_tables(), g, h, basis, origin, w, s.count, s.wyckoff,
                  s.relation, kRoom);
  return s;
}

// The letter of position w of group h ("a" is 1).
std::string letter(int32_t h, int32_t w) {
  const auto label = wyckoff_tables().wyc_label(wyckoff_tables().wyc_first(h) + w - 1).trimmed();
  return std::string(1, label.back());
}

// The atoms of the split reproduce the old orbit at random old parameters.
void expect_reproduces(int32_t g, int32_t h, const Mat3i& basis, const RationalVector& origin,
                       int32_t w, const Split& s, std::mt19937& rng) {
  for (int trial = 0; trial < 3; ++trial) {
    const auto x = testing::random_wyckoff_parameters(rng);
    EXPECT_EQ(check_split(space_tables(), wyckoff_tables(), g, h, basis, origin, w, s.count,
                          std::span<const int32_t>(s.wyckoff.data(), static_cast<std::size_t>(s.count)),
                          std::span<const WyckoffRelation>(s.relation.data(), static_cast<std::size_t>(s.count)),
                          x),
              "");
  }
}

// Every position of every group, split by the group itself with the unit basis: one orbit with
// the old index, each new parameter the old one of the same name (c0 = 0, that coefficient equal
// to den, the others 0), and den 0 with all entries 0 for an absent parameter.
TEST(GetNewWyckoff, GroupItselfGivesTheSamePosition) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  testing::for_each_wyckoff_position([&](int32_t g, int32_t w, int32_t k) {
    const Split s = split(g, g, kUnit, kZero, w);
    ASSERT_EQ(s.count, 1);
    EXPECT_EQ(s.wyckoff[0], w);
    for (int q = 1; q <= 3; ++q) {
      const bool present = wyckoff_tables().wyc_matrix_table(4, q + 1, k) != 0;
      const int64_t den = rel(s.relation[0], 5, q);
      EXPECT_EQ(den > 0, present) << "parameter " << q;
      for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(rel(s.relation[0], i, q), present && i == q + 1 ? den : 0)
            << "entry " << i << " of column " << q;
    }
  });
}

// P1 split by a cell doubled along c: two orbits of position 1; the relation columns are not
// reduced: x' = 2x/2, y' = 2y/2, z' = z/2, and for the second atom z' = (2 + 2z)/4.
TEST(GetNewWyckoff, UnreducedRelationsOfTheDoubledTriclinicCell) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const Mat3i doubled = columns({{{1, 0, 0}, {0, 1, 0}, {0, 0, 2}}});
  const Split s = split(1, 1, doubled, kZero, 1);
  ASSERT_EQ(s.count, 2);
  EXPECT_EQ(s.wyckoff[0], 1);
  EXPECT_EQ(s.wyckoff[1], 1);
  const WyckoffRelation first{0, 2, 0, 0, 2, 0, 0, 2, 0, 2, 0, 0, 0, 1, 2};
  const WyckoffRelation second{0, 4, 0, 0, 4, 0, 0, 4, 0, 4, 2, 0, 0, 2, 4};
  EXPECT_EQ(s.relation[0], first);
  EXPECT_EQ(s.relation[1], second);
  std::mt19937 rng(11);
  expect_reproduces(1, 1, doubled, kZero, 1, s, rng);
}

// The splittings (checked with cctbx and spglib): the orbits in order (the first holds
// the table's representative) with their letters in the subgroup, and relations that reproduce
// the atoms at random old parameters.
TEST(GetNewWyckoff, SplitsKnownOrbits) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  struct Case {
    int32_t g, h;
    Mat3i basis;
    std::string old_letter;
    std::vector<std::string> letters;
  };
  const Mat3i bain = columns({{{1, 0, -1}, {0, 1, 0}, {0, -1, 1}}});
  const Mat3i ortho = columns({{{1, 1, 0}, {0, 1, 0}, {0, 0, 1}}});
  const Case cases[] = {
      {221, 123, kUnit, "c", {"e", "c"}},  {221, 123, kUnit, "d", {"f", "b"}},
      {221, 123, kUnit, "e", {"l", "g"}},  {225, 139, bain, "a", {"a"}},
      {225, 139, bain, "d", {"f", "c"}},   {225, 139, bain, "e", {"h", "e"}},
      {225, 166, kUnit, "b", {"b"}},       {225, 166, kUnit, "d", {"d", "e"}},
      {225, 166, kUnit, "f", {"c", "h"}},  {194, 63, ortho, "c", {"c"}},
      {194, 63, ortho, "h", {"c", "g"}},
  };
  std::mt19937 rng(20261210);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.g) + " " + c.old_letter + " in " + std::to_string(c.h));
    const int32_t w = c.old_letter[0] - 'a' + 1;
    ASSERT_EQ(letter(c.g, w), c.old_letter);
    const Split s = split(c.g, c.h, c.basis, kZero, w);
    std::vector<std::string> got;
    for (int32_t k = 0; k < s.count; ++k) got.push_back(letter(c.h, s.wyckoff[static_cast<std::size_t>(k)]));
    EXPECT_EQ(got, c.letters);
    expect_reproduces(c.g, c.h, c.basis, kZero, w, s, rng);
  }
}

// The largest scale D that the cross-check meets (all its subgroups of 26 parents, cells of up to
// eight primitive cells): the general position of Fd-3m (origin at -3m) split by P1 on a cell of
// four primitive cells. D = 512; every relation reproduces the atoms.
TEST(GetNewWyckoff, LargestScaleOfTheCrossCheck) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const CommonSpace& cs = space_tables();
  const Mat3i cell = columns({{{1, 0, 0}, {0, 1, 0}, {0, 0, 4}}});
  const std::vector<SpaceOp> identity{{0, 0, 0, 1, 1}};
  int32_t h = 0;
  Mat3i basis{};
  RationalVector origin{};
  id_subgroup(cs, 227, cell, 1, identity, h, basis, origin, 0);
  ASSERT_EQ(h, 1);
  EXPECT_EQ(testing::check_identification(cs, 227, identity, h, basis, origin), "");
  constexpr int32_t kGeneral = 9;  // 192i
  Split s;
  s.wyckoff.resize(256);
  s.relation.resize(256);
  GetNewWyckoffTrace trace;
  get_new_wyckoff(cs, wyckoff_tables(), 227, h, basis, origin, kGeneral, s.count, s.wyckoff,
                  s.relation, 256, &trace);
  EXPECT_EQ(s.count, 192);
  EXPECT_EQ(trace.largest_scale, 512);
  EXPECT_EQ(trace.wide_shifts, 0);
  std::mt19937 rng(227);
  expect_reproduces(227, h, basis, origin, kGeneral, s, rng);
}

// A parameter-free position is named only where a table point equals an atom exactly; its
// relation is all zeros. Room for one orbit stops when the second orbit is found.
TEST(GetNewWyckoff, ParameterFreeOrbitsAndRoom) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const Split s = split(221, 123, kUnit, kZero, 3);  // 3c: 2e + 1c
  ASSERT_EQ(s.count, 2);
  EXPECT_EQ(s.relation[0], WyckoffRelation{});
  EXPECT_EQ(s.relation[1], WyckoffRelation{});
  BombTrap trap;
  int32_t count = 0;
  std::vector<int32_t> w(1);
  std::vector<WyckoffRelation> r(1);
  EXPECT_THROW(get_new_wyckoff(space_tables(), wyckoff_tables(), 221, 123, kUnit, kZero, 3, count,
                               w, r, 1),
               Bombed);
  // Lists shorter than the room claimed.
  EXPECT_THROW(get_new_wyckoff(space_tables(), wyckoff_tables(), 221, 123, kUnit, kZero, 3, count,
                               w, r, 2),
               Bombed);
}

}  // namespace
}  // namespace sgl
