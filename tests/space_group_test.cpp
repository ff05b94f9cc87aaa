// Operators and generators of the 230 space groups from the committed tables.
#include "library/groups/space_group.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/groups/change_setting.hpp"
#include "library/groups/operator_encodings.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/group_tables.hpp"

namespace sgl {
namespace {

using testing::Bombed;
using testing::BombTrap;
using testing::space_tables;

using OpList = std::array<SpaceOp, kMaxGroupOps>;

// The operator with its translation taken modulo the lattice (lowest terms, numerators in 0..d-1).
SpaceOp modulo_lattice(const SpaceOp& op) {
  RationalVector t{op[0], op[1], op[2], op[3]};
  reduc2(t);
  reduc1(t);
  return {t[0], t[1], t[2], t[3], op[4]};
}

// Product a b of two operators of the group in "pml", modulo the lattice, through their matrices.
SpaceOp product(int32_t g, const SpaceOp& a, const SpaceOp& b) {
  const CommonSpace& cs = space_tables();
  OpMatrix ma, mb, mp;
  op_to_mat(cs, g, "pml", a, ma);
  op_to_mat(cs, g, "pml", b, mb);
  matmlt4(ma, mb, mp);
  SpaceOp p{};
  int32_t error = 0;
  mat_to_op(cs, g, "pml", mp, p, error);
  EXPECT_EQ(error, 0) << "group " << g;
  return modulo_lattice(p);
}

std::set<SpaceOp> group_modulo_lattice(int32_t g) {
  OpList ops;
  int32_t n = 0;
  generate_space_group(space_tables(), g, n, ops);
  std::set<SpaceOp> set;
  for (int32_t i = 0; i < n; ++i) set.insert(modulo_lattice(ops[i]));
  return set;
}

TEST(GenerateSpaceGroup, SmallGroupsByHand) {
  SGL_REQUIRE_TABLES();
  struct Case {
    int32_t group;
    int32_t order;
    int32_t identity;
  };
  // P1, P-1, P3 (hexagonal list), Pm-3m, Fd-3m.
  for (const Case& c :
       {Case{1, 1, 1}, Case{2, 2, 1}, Case{143, 3, 49}, Case{221, 48, 1}, Case{227, 48, 1}}) {
    OpList ops;
    int32_t n = -1;
    generate_space_group(space_tables(), c.group, n, ops);
    EXPECT_EQ(n, c.order) << c.group;
    EXPECT_EQ(ops[0], (SpaceOp{0, 0, 0, 1, c.identity})) << c.group;
  }
}

// Every group: identity first, one operator per point operation of its half of the list, and
// closed under multiplication modulo the "pml" lattice; the table of point-operation products
// agrees with the products of the matrices.
TEST(GenerateSpaceGroup, AllGroupsAreClosedModuloTheLattice) {
  SGL_REQUIRE_TABLES();
  const CommonSpace& cs = space_tables();
  for (int32_t g = 1; g <= kSpaceGroupCount; ++g) {
    SCOPED_TRACE("group " + std::to_string(g));
    OpList ops;
    int32_t n = 0;
    generate_space_group(cs, g, n, ops);
    ASSERT_EQ(n, cs.pg_order(cs.sg_point_group(g)));
    ASSERT_EQ(ops[0][0], 0);
    ASSERT_EQ(ops[0][1], 0);
    ASSERT_EQ(ops[0][2], 0);
    ASSERT_EQ(ops[0][4], identity_op(g));
    std::set<int32_t> numbers;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t lo = identity_op(g) == 1 ? 1 : 49;
      EXPECT_GE(ops[i][4], lo);
      EXPECT_LE(ops[i][4], lo + (lo == 1 ? 47 : 23));
      numbers.insert(ops[i][4]);
    }
    ASSERT_EQ(numbers.size(), static_cast<std::size_t>(n)) << "point operation repeated";

    const std::set<SpaceOp> set = group_modulo_lattice(g);
    for (int32_t i = 0; i < n; ++i) {
      for (int32_t j = 0; j < n; ++j) {
        const SpaceOp p = product(g, ops[i], ops[j]);
        EXPECT_TRUE(set.count(p)) << "product of operators " << i + 1 << " and " << j + 1;
        EXPECT_EQ(p[4], cs.point_op_product(ops[i][4], ops[j][4]));
      }
    }
  }
}

TEST(GenerateSpaceGroup, RefusesGroupNumbersOutsideTheTables) {
  SGL_REQUIRE_TABLES();
  BombTrap trap;
  struct Case {
    int32_t group;
    std::size_t capacity;
    const char* message;
  };
  for (const Case& c :
       {Case{0, 48, " Error in generate_space_group: space group number out of range:  0\n"},
        Case{231, 48, " Error in generate_space_group: space group number out of range:  231\n"},
        Case{-5, 48, " Error in generate_space_group: space group number out of range: -5\n"},
        Case{221, 2, " Error in generate_space_group: result list too short\n"}}) {
    std::vector<SpaceOp> ops(c.capacity);
    int32_t n = 0;
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(generate_space_group(space_tables(), c.group, n, ops), Bombed) << c.group;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.message);
  }
}

// A conventional setting returns the stored records as they are; a primitive one reads the list
// of its conventional variant and returns the operators changed, translations modulo 1.
TEST(GetGenerators, ConventionalListsAreReturnedAsStoredAndPrimitiveOnesChanged) {
  SGL_REQUIRE_TABLES();
  const CommonSpace& cs = space_tables();
  for (int32_t g : {1, 14, 62, 148, 166, 194, 227, 230}) {
    SCOPED_TRACE("group " + std::to_string(g));
    const int32_t count = cs.pg_generator_count(cs.sg_point_group(g));
    int32_t cml = 0;
    for (int32_t b = 1; b <= 5; ++b)
      if (cs.generator_setting_name(b).trimmed() == "cml") cml = b;
    ASSERT_NE(cml, 0);

    OpList stored, primitive;
    get_generators(cs, g, stored, "cml");
    get_generators(cs, g, primitive, "pml   ");
    for (int32_t m = 1; m <= count; ++m) {
      const int32_t rec = cs.sg_first_generator(g, cml) + m - 1;
      for (int i = 1; i <= 5; ++i) EXPECT_EQ(stored[m - 1][i - 1], cs.sg_op_table(i, rec));
      SpaceOp expected;
      op_change_setting(cs, g, "cml", "pml", stored[m - 1], expected);
      EXPECT_EQ(primitive[m - 1], modulo_lattice(expected));
      for (int i = 0; i < 3; ++i) {
        EXPECT_GE(primitive[m - 1][i], 0);
        EXPECT_LT(primitive[m - 1][i], primitive[m - 1][3]);
      }
    }
  }
}

TEST(GetGenerators, SettingsWithoutAGeneratorListStop) {
  SGL_REQUIRE_TABLES();
  BombTrap trap;
  OpList gens;
  for (const char* setting : {"cxyz", "", "pnone", "c"}) {
    EXPECT_THROW(get_generators(space_tables(), 10, gens, setting), Bombed)
        << '"' << setting << '"';
  }
}

// The generators of every group, in each conventional setting of the tables and in "pml", carried
// to "pml" generate exactly the group modulo the lattice.
TEST(GetGenerators, GenerateEveryGroupInEverySetting) {
  SGL_REQUIRE_TABLES();
  const CommonSpace& cs = space_tables();
  std::vector<std::string> settings{"pml"};
  for (int32_t b = 1; b <= 5; ++b) {
    const std::string name(cs.generator_setting_name(b).trimmed());
    if (!name.empty()) settings.push_back(name);
  }
  ASSERT_NE(std::find(settings.begin(), settings.end(), "cml"), settings.end());
  ASSERT_NE(std::find(settings.begin(), settings.end(), "cinter"), settings.end());

  for (int32_t g = 1; g <= kSpaceGroupCount; ++g) {
    const std::set<SpaceOp> group = group_modulo_lattice(g);
    const int32_t count = cs.pg_generator_count(cs.sg_point_group(g));
    for (const std::string& setting : settings) {
      SCOPED_TRACE("group " + std::to_string(g) + " setting " + setting);
      OpList gens;
      get_generators(cs, g, gens, setting);
      std::vector<SpaceOp> closure{modulo_lattice(SpaceOp{0, 0, 0, 1, identity_op(g)})};
      for (int32_t m = 0; m < count; ++m) {
        SpaceOp in_pml;
        op_change_setting(cs, g, setting, "pml", gens[m], in_pml);
        closure.push_back(modulo_lattice(in_pml));
      }
      std::set<SpaceOp> seen(closure.begin(), closure.end());
      for (std::size_t i = 0; i < closure.size() && closure.size() <= 48; ++i) {
        for (std::size_t j = 0; j <= i && closure.size() <= 48; ++j) {
          for (const SpaceOp& p :
               {product(g, closure[i], closure[j]), product(g, closure[j], closure[i])}) {
            if (seen.insert(p).second) closure.push_back(p);
          }
        }
      }
      EXPECT_EQ(seen, group);
    }
  }
}

}  // namespace
}  // namespace sgl
