// Operators, k vectors and stars: group laws over all groups of the committed tables, the
// contragredient action of the point operations on k vectors, changes of setting, and stars
// on the fixtures (and on the real tables once they are committed).
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "library/exact/arithmetic.hpp"
#include "library/groups/change_setting.hpp"
#include "library/groups/operator_encodings.hpp"
#include "library/groups/space_group.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/group_tables.hpp"
#include "tests/vibrex/loaded_fixture.hpp"
#include "vibrex/stars.hpp"

namespace vibrex {
namespace {

using sgl::RationalVector;
using sgl::SpaceOp;
using sgl::testing::Bombed;
using sgl::testing::BombTrap;

std::array<SpaceOp, kMaxOps> group_ops(const sgl::CommonSpace& cs, int32_t g, int32_t& nop) {
  std::array<SpaceOp, kMaxOps> ops;
  sgl::generate_space_group(cs, g, nop, ops);
  return ops;
}

// The operator moved by a random lattice translation.
SpaceOp shifted(SpaceOp g, std::mt19937& rng) {
  std::uniform_int_distribution<int> n(-3, 3);
  for (int i = 0; i < 3; ++i) g[i] += n(rng) * g[3];
  return g;
}

RationalVector random_vector(std::mt19937& rng) {
  std::uniform_int_distribution<int> num(-12, 12), den(1, 12);
  RationalVector v{num(rng), num(rng), num(rng), den(rng)};
  sgl::reduc2(v);
  return v;
}

sgl::OpMatrix matrix_of(const sgl::CommonSpace& cs, int32_t g, const SpaceOp& op) {
  sgl::OpMatrix m;
  sgl::op_to_mat(cs, g, "pml", op, m);
  sgl::reduc4(m);
  return m;
}

// k.t as a fraction compared by cross-multiplication.
bool same_dot(const RationalVector& k1, const RationalVector& t1, const RationalVector& k2, const RationalVector& t2) {
  auto dot = [](const RationalVector& k, const RationalVector& t) {
    return static_cast<int64_t>(k[0]) * t[0] + static_cast<int64_t>(k[1]) * t[1] + static_cast<int64_t>(k[2]) * t[2];
  };
  return dot(k1, t1) * (static_cast<int64_t>(k2[3]) * t2[3]) == dot(k2, t2) * (static_cast<int64_t>(k1[3]) * t1[3]);
}

TEST(Operators, GroupLawsInEveryGroup) {
  SGL_REQUIRE_TABLES();
  const sgl::CommonSpace& cs = sgl::testing::space_tables();
  std::mt19937 rng(17);
  for (int32_t g = 1; g <= sgl::kSpaceGroupCount; ++g) {
    SCOPED_TRACE("group " + std::to_string(g));
    const int32_t lattice = cs.sg_bravais(g);
    int32_t nop = 0;
    const auto ops = group_ops(cs, g, nop);
    const SpaceOp identity{0, 0, 0, 1, sgl::identity_op(g)};
    for (int32_t i = 0; i < nop; ++i) {
      const SpaceOp a = shifted(ops[i], rng);
      SpaceOp inv;
      ginv(cs, lattice, a, inv);
      SpaceOp e;
      gmlt(cs, lattice, a, inv, e);
      EXPECT_EQ(e, identity);
      gmlt(cs, lattice, inv, a, e);
      EXPECT_EQ(e, identity);
      SpaceOp twice = inv;
      ginv(cs, lattice, twice, twice);  // in place
      RationalVector ta{a[0], a[1], a[2], a[3]};
      sgl::reduc2(ta);
      EXPECT_EQ(twice, (SpaceOp{ta[0], ta[1], ta[2], ta[3], a[4]}));
      for (int32_t j = 0; j < nop; ++j) {
        const SpaceOp b = shifted(ops[j], rng);
        SpaceOp ab;
        gmlt(cs, lattice, a, b, ab);
        // The product of the operator matrices.
        sgl::OpMatrix m;
        sgl::matmlt4(matrix_of(cs, g, a), matrix_of(cs, g, b), m);
        ASSERT_EQ(matrix_of(cs, g, ab), m) << i << " " << j;
        // A listed operator after a lattice translation.
        const SpaceOp* listed = nullptr;
        for (int32_t q = 0; q < nop; ++q) {
          if (ops[q][4] == ab[4]) listed = &ops[q];
        }
        ASSERT_NE(listed, nullptr);
        RationalVector d;
        sgl::vsub({ab[0], ab[1], ab[2], ab[3]}, {(*listed)[0], (*listed)[1], (*listed)[2], (*listed)[3]}, d);
        EXPECT_EQ(d[3], 1);
        // Associativity with a third operator, and the output as either input.
        const SpaceOp c = shifted(ops[(i + j) % nop], rng);
        SpaceOp left, right, bc;
        gmlt(cs, lattice, ab, c, left);
        gmlt(cs, lattice, b, c, bc);
        gmlt(cs, lattice, a, bc, right);
        EXPECT_EQ(left, right);
        SpaceOp alias = a;
        gmlt(cs, lattice, alias, b, alias);
        EXPECT_EQ(alias, ab);
        alias = b;
        gmlt(cs, lattice, a, alias, alias);
        EXPECT_EQ(alias, ab);
      }
    }
  }
}

TEST(Operators, InverseOfALatticeTranslationIsNotReduced) {
  SGL_REQUIRE_TABLES();
  const sgl::CommonSpace& cs = sgl::testing::space_tables();
  SpaceOp h;
  ginv(cs, 1, {1, 2, -3, 1, 1}, h);
  EXPECT_EQ(h, (SpaceOp{-1, -2, 3, 1, 1}));
  ginv(cs, 10, {2, 4, 6, 4, 49}, h);
  EXPECT_EQ(h, (SpaceOp{-1, -2, -3, 2, 49}));
}

// For each lattice type, the group of that type with the largest point group: its operations
// are all the operations that act on the lattice.
std::vector<int32_t> holohedral_groups(const sgl::CommonSpace& cs) {
  std::vector<int32_t> best(sgl::kBravaisTypeCount + 1, 0);
  for (int32_t g = 1; g <= sgl::kSpaceGroupCount; ++g) {
    int32_t& b = best[cs.sg_bravais(g)];
    if (b == 0 || cs.pg_order(cs.sg_point_group(g)) > cs.pg_order(cs.sg_point_group(b))) b = g;
  }
  return {best.begin() + 1, best.end()};
}

TEST(KVectors, RotationIsARepresentationContragredientToTheDirectOne) {
  SGL_REQUIRE_TABLES();
  const sgl::CommonSpace& cs = sgl::testing::space_tables();
  std::mt19937 rng(4);
  for (int32_t g : holohedral_groups(cs)) {
    const int32_t lattice = cs.sg_bravais(g);
    SCOPED_TRACE("lattice type " + std::to_string(lattice) + ", group " + std::to_string(g));
    int32_t nop = 0;
    const auto ops = group_ops(cs, g, nop);
    for (int32_t i = 0; i < nop; ++i) {
      const int32_t p = ops[i][4];
      for (int trial = 0; trial < 3; ++trial) {
        const RationalVector k = random_vector(rng), t = random_vector(rng);
        RationalVector kp, tp;
        krot(cs, lattice, p, k, kp);
        sgl::vrot(cs, lattice, p, t, tp);
        EXPECT_TRUE(same_dot(kp, tp, k, t)) << "operation " << p;
      }
      for (int32_t j = 0; j < nop; ++j) {
        const int32_t q = ops[j][4];
        const RationalVector k = random_vector(rng);
        RationalVector kq = k, kpq, direct;
        krot(cs, lattice, q, kq, kq);  // in place
        krot(cs, lattice, p, kq, kpq);
        krot(cs, lattice, cs.point_op_product(p, q), k, direct);
        EXPECT_EQ(kpq, direct) << p << " " << q;
      }
    }
  }
}

TEST(KVectors, ChangeOfSettingKeepsTheProductWithDirectVectors) {
  SGL_REQUIRE_TABLES();
  const sgl::CommonSpace& cs = sgl::testing::space_tables();
  std::mt19937 rng(9);
  for (int32_t g = 1; g <= sgl::kSpaceGroupCount; ++g) {
    for (const char* to : {"cml", "cinter"}) {
      SCOPED_TRACE("group " + std::to_string(g) + " to " + to);
      const RationalVector k = random_vector(rng), t = random_vector(rng);
      RationalVector kc = k, tc;
      kvector_change_setting(cs, g, "pml", to, kc, kc);  // in place
      sgl::vector_change_setting(cs, g, "pml", to, t, tc);
      EXPECT_TRUE(same_dot(kc, tc, k, t));
      RationalVector back;
      kvector_change_setting(cs, g, to, "pml", kc, back);
      EXPECT_EQ(back, k);
    }
  }
}

TEST(KVectors, KnownPointsInTheConventionalSetting) {
  SGL_REQUIRE_TABLES();
  const sgl::CommonSpace& cs = sgl::testing::space_tables();
  const struct {
    int32_t group;
    RationalVector pml, cinter;
  } cases[] = {
      {225, {1, 0, 1, 2}, {0, 1, 0, 1}},   // fcc X
      {229, {1, -1, 1, 2}, {0, 1, 0, 1}},  // bcc H
      {221, {1, 0, 0, 2}, {1, 0, 0, 2}},   // primitive cubic X stays
      {225, {0, 0, 0, 5}, {0, 0, 0, 1}},   // zero vector
  };
  for (const auto& c : cases) {
    RationalVector out;
    kvector_change_setting(cs, c.group, "pml", "cinter", c.pml, out);
    EXPECT_EQ(out, c.cinter) << c.group;
  }
}

// Properties of a star that hold whatever the tables say: the cosets partition the group, the
// arms are the k-vector matrix rotated by their cosets, and no two arms coincide modulo the
// lattice at random parameter values.
void check_star(const Tables& t, int32_t g, int32_t j, std::mt19937& rng) {
  SCOPED_TRACE("group " + std::to_string(g) + " k index " + std::to_string(j));
  const sgl::CommonSpace& cs = t.space;
  const int32_t lattice = cs.sg_bravais(g);
  int32_t nop = 0;
  const auto ops = group_ops(cs, g, nop);
  Star star;
  get_star(t, g, j, star);
  EXPECT_EQ(star.narm * star.nlittle, nop);
  EXPECT_EQ(star.cosets[0], ops[0]);
  std::multiset<int32_t> covered;
  for (int32_t a = 0; a < star.narm; ++a) {
    for (int32_t i = 0; i < star.nlittle; ++i) covered.insert(cs.point_op_product(star.cosets[a][4], star.little[i][4]));
  }
  std::multiset<int32_t> all;
  for (int32_t i = 0; i < nop; ++i) all.insert(ops[i][4]);
  EXPECT_EQ(covered, all);
  const KMatrix line = table_kmatrix(t.little, j, lattice);
  std::uniform_int_distribution<int> num(1, 97);
  const int32_t npar = t.little.kvec_parameter_count(j, lattice);
  const int32_t p1 = num(rng), p2 = num(rng), p3 = num(rng);
  std::vector<RationalVector> points;
  for (int32_t a = 0; a < star.narm; ++a) {
    for (int32_t c = 1; c <= 4; ++c) {
      RationalVector r;
      krot(cs, lattice, star.cosets[a][4], kmatrix_column(line, c), r);
      EXPECT_EQ(kmatrix_column(star.arms[a], c), r);
    }
    // The arm at parameters p/101 (a prime denominator keeps them generic).
    RationalVector k = kmatrix_column(star.arms[a], 1);
    const int32_t par[] = {p1, p2, p3};
    for (int32_t q = 1; q <= npar; ++q) {
      RationalVector col = kmatrix_column(star.arms[a], q + 1);
      for (int i = 0; i < 3; ++i) col[i] *= par[q - 1];
      col[3] *= 101;
      sgl::vadd(k, col, k);
    }
    for (const RationalVector& other : points) {
      RationalVector d;
      sgl::vsub(k, other, d);
      EXPECT_NE(d[3], 1) << "arm " << a + 1 << " repeats an earlier one";
    }
    points.push_back(k);
  }
}

TEST(Stars, FixtureStars) {
  const Tables t = testing::standard_tables().tables();
  Star star;
  get_star(t, 2, 1, star);  // P-1 at GM: one arm, the whole group as co-group
  EXPECT_EQ(star.narm, 1);
  EXPECT_EQ(star.nlittle, 2);
  EXPECT_EQ(star.cosets[0], (SpaceOp{0, 0, 0, 1, 1}));
  EXPECT_EQ(star.little[1][4], 25);
  get_star(t, 2, 3, star);  // P-1 at GP: co-group 1, every operator an arm, in table order
  EXPECT_EQ(star.narm, 2);
  EXPECT_EQ(star.nlittle, 1);
  EXPECT_EQ(star.cosets[1][4], 25);
  EXPECT_EQ(kmatrix_column(star.arms[1], 2), (RationalVector{-1, 0, 0, 1}));
  EXPECT_EQ(kmatrix_column(star.arms[1], 4), (RationalVector{0, 0, -1, 1}));
  std::mt19937 rng(3);
  for (const auto& [g, j] : {std::pair{2, 1}, {2, 2}, {2, 3}, {1, 3}}) check_star(t, g, j, rng);
}

TEST(Stars, InconsistentCoGroupsStop) {
  const struct {
    const char* what;
    int order;
    int ops[3];
  } cases[] = {
      {"order 0", 0, {1, 25, 0}},
      {"operation outside the group", 2, {1, 2, 0}},
      {"order not dividing the group order", 3, {1, 25, 1}},
      {"overlapping cosets", 2, {1, 1, 0}},
      {"a co-group that is not a group: one coset for two arms", 1, {25, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto t = testing::load_fixture(testing::standard_fixture());
    t->little->little_cogroup_order(1, 2) = static_cast<int8_t>(c.order);
    for (int i = 0; i < 3; ++i) t->little->little_cogroup_ops(i + 1, 1, 2) = static_cast<int8_t>(c.ops[i]);
    Star star;
    BombTrap trap;
    EXPECT_THROW(get_star(t->tables(), 2, 1, star), Bombed);
  }
}

TEST(Stars, SpecialPointsOnParameterLines) {
  const Tables t = testing::standard_tables().tables();
  const struct {
    int32_t group;
    RationalVector k;
    int32_t special;
  } cases[] = {
      {2, {6, 4, 3, 12}, 0},  // P-1 GP (1/2, 1/3, 1/4)
      {2, {1, 0, 0, 2}, 1},   // a time-reversal point
      {1, {1, 0, 0, 2}, 1},   // the same in P1, where only k = -k makes it special
      {1, {6, 4, 3, 12}, 0},
      {2, {0, 0, 0, 1}, 1},   // the zone centre
      {2, {3, 2, 0, 6}, 0},   // (1/2, 1/3, 0): -k differs by more than a lattice vector
      {2, {1, 1, 1, 1}, 1},   // a lattice vector
  };
  for (const auto& c : cases) EXPECT_EQ(is_k_special(t, c.group, 3, c.k), c.special) << c.group << " " << c.k[0];
  // Points without parameters are never refused.
  EXPECT_EQ(is_k_special(t, 2, 1, {0, 0, 0, 1}), 0);
  EXPECT_EQ(is_k_special(t, 2, 2, {1, 0, 0, 2}), 0);
}

TEST(Stars, RealTablesStarSizes) {
  VIBREX_REQUIRE_MODE_TABLES();
  const Tables t = testing::real_tables().tables();
  const struct {
    int32_t group;
    const char* label;
    int32_t narm;
  } cases[] = {{221, "X", 3}, {221, "M", 3}, {221, "R", 1}, {221, "DT", 6},
               {225, "L", 4}, {225, "W", 6}, {186, "K", 2}};
  for (const auto& c : cases) {
    const int32_t j = testing::k_index(t.little, t.space.sg_bravais(c.group), c.label);
    ASSERT_NE(j, 0) << c.label;
    Star star;
    get_star(t, c.group, j, star);
    EXPECT_EQ(star.narm, c.narm) << c.group << " " << c.label;
  }
  std::mt19937 rng(5);
  for (int32_t g = 1; g <= sgl::kSpaceGroupCount; ++g) {
    for (int32_t j = 1; j <= t.little.kvec_count(t.space.sg_bravais(g)); ++j) {
      if (t.little.little_irrep_count(j, g) > 0) check_star(t, g, j, rng);
    }
  }
}

TEST(Stars, RealTablesSpecialPoints) {
  VIBREX_REQUIRE_MODE_TABLES();
  const Tables t = testing::real_tables().tables();
  const int32_t lattice = t.space.sg_bravais(221);
  const int32_t dt = testing::k_index(t.little, lattice, "DT");
  ASSERT_NE(dt, 0);
  auto at = [&](int32_t num, int32_t den) {
    RationalVector k = kmatrix_column(table_kmatrix(t.little, dt, lattice), 1);
    RationalVector c = kmatrix_column(table_kmatrix(t.little, dt, lattice), 2);
    for (int i = 0; i < 3; ++i) c[i] *= num;
    c[3] *= den;
    sgl::vadd(k, c, k);
    return k;
  };
  EXPECT_EQ(is_k_special(t, 221, dt, at(1, 4)), 0);
  EXPECT_EQ(is_k_special(t, 221, dt, at(1, 2)), 1);
  EXPECT_EQ(is_k_special(t, 221, dt, at(0, 1)), 1);
}

}  // namespace
}  // namespace vibrex
