// Sweeps of the operator encodings and the changes of setting over all 230 space groups of the
// committed data tables. Each sweep collects every disagreement (group, operator or position,
// what was expected and what was found) instead of stopping at the first, so that a fault in
// the tables shows in full. Skipped when the data files are absent.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/groups/change_setting.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/groups/operator_encodings.hpp"
#include "library/types.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/group_tables.hpp"

namespace sgl {
namespace {

using testing::space_tables;
using testing::wyckoff_tables;

template <typename A>
std::string show(const A& a) {
  std::ostringstream s;
  s << "(";
  for (std::size_t i = 0; i < a.size(); ++i) s << (i ? ", " : "") << a[i];
  s << ")";
  return s.str();
}

// Collects the faults of one sweep and reports the first few and their count.
class Faults {
 public:
  void add(const std::string& what) {
    if (list_.size() < 40) list_.push_back(what);
    ++count_;
  }
  void expect_none() const {
    std::string all;
    for (const std::string& f : list_) all += "  " + f + "\n";
    EXPECT_EQ(count_, 0) << all;
  }

 private:
  std::vector<std::string> list_;
  int count_ = 0;
};

// Runs f, turning a fatal stop into a fault entry; true when f returned.
template <typename F>
bool runs(Faults& faults, const std::string& what, F&& f) {
  testing::BombTrap trap;
  try {
    f();
    return true;
  } catch (const testing::Bombed&) {
    faults.add(what + ": stopped");
    return false;
  }
}

// The operators of a group in "pml", from the operator table; empty (and a fault) when the table's
// indices leave their arrays.
std::vector<SpaceOp> table_ops(const CommonSpace& cs, int32_t g, Faults& faults) {
  const int32_t pg = cs.sg_point_group(g);
  if (pg < 1 || pg > 32) {
    faults.add("group " + std::to_string(g) + ": sg_point_group " + std::to_string(pg));
    return {};
  }
  const int32_t first = cs.sg_first_op(g);
  const int32_t n = cs.pg_order(pg);
  if (first < 1 || n < 1 || n > 48 || first + n - 1 > 6000) {
    faults.add("group " + std::to_string(g) + ": sg_first_op " + std::to_string(first) +
               ", pg_order " + std::to_string(n));
    return {};
  }
  std::vector<SpaceOp> ops;
  for (int32_t r = first; r < first + n; ++r) {
    SpaceOp op{};
    for (int i = 1; i <= 5; ++i) op[i - 1] = cs.sg_op_table(i, r);
    ops.push_back(op);
  }
  return ops;
}

std::string where(int32_t g, std::size_t i, const SpaceOp& op) {
  return "group " + std::to_string(g) + " op " + std::to_string(i + 1) + " " + show(op);
}

SpaceOp lowest_terms(const SpaceOp& op) {
  RationalVector t{op[0], op[1], op[2], op[3]};
  reduc2(t);
  return {t[0], t[1], t[2], t[3], op[4]};
}

class TableSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    SGL_REQUIRE_TABLES();
    cs_ = &space_tables();
  }
  const CommonSpace& cs() const { return *cs_; }

 private:
  const CommonSpace* cs_ = nullptr;
};

TEST_F(TableSweep, SlotNamesAndPairs) {
  Faults faults;
  // The subgroup relations take slot 5 as the primitive step of "pml".
  if (cs().setting_name(2, 5).trimmed() != "pml") {
    faults.add("setting_name(2, 5) is '" + std::string(cs().setting_name(2, 5).view()) +
               "', expected 'pml'");
  }
  // Every named slot holds a pair whose product is a multiple of the unit operator.
  for (int32_t g = 1; g <= 230; ++g) {
    for (int32_t s = 1; s <= 8; ++s) {
      if (cs().setting_name(2, s).trimmed().empty()) continue;
      OpMatrix t1{}, t2{};
      for (int i = 1; i <= 4; ++i) {
        for (int j = 1; j <= 4; ++j) {
          m4(t1, i, j) = cs().setting_transform(i, j, 1, g, s);
          m4(t2, i, j) = cs().setting_transform(i, j, 2, g, s);
        }
      }
      OpMatrix p{};
      matmlt4(t1, t2, p);
      OpMatrix unit{};
      for (int i = 1; i <= 4; ++i) m4(unit, i, i) = 1;
      if (p != unit) {
        faults.add("group " + std::to_string(g) + " slot " + std::to_string(s) +
                   ": T1 T2 = " + show(p));
      }
    }
  }
  faults.expect_none();
}

TEST_F(TableSweep, OperatorsSurviveTheRoundTrips) {
  Faults faults;
  for (int32_t g = 1; g <= 230; ++g) {
    const std::vector<SpaceOp> ops = table_ops(cs(), g, faults);
    for (std::size_t i = 0; i < ops.size(); ++i) {
      const SpaceOp& op = ops[i];
      SpaceOp cml{}, cinter{}, back_cml{}, back{};
      const bool ok = runs(faults, where(g, i, op), [&] {
        op_change_setting(cs(), g, "pml", "cml", op, cml);
        op_change_setting(cs(), g, "cml", "cinter", cml, cinter);
        op_change_setting(cs(), g, "cinter", "cml", cinter, back_cml);
        op_change_setting(cs(), g, "cml", "pml", back_cml, back);
      });
      if (!ok) continue;
      if (back != lowest_terms(op) || back_cml != cml) {
        faults.add(where(g, i, op) + ": cml " + show(cml) + ", cinter " + show(cinter) +
                   ", back " + show(back_cml) + " " + show(back));
      }
      // A point-operation number names the rotation in the conventional axes: the change into
      // "cml" keeps it.
      if (cml[4] != op[4]) {
        faults.add(where(g, i, op) + ": point operation " + std::to_string(cml[4]) +
                   " in cml, expected " + std::to_string(op[4]));
      }
      // The rhombohedral axes of "cinter" have a code table of their own, read with the same
      // point-operation numbers.
      const int32_t entry = cs().sg_default_setting(g);
      if (entry >= 1 && entry <= 341 && cs().setting_lattice_letter(entry).view() == "R" &&
          cinter[4] != op[4]) {
        faults.add(where(g, i, op) + ": point operation " + std::to_string(cinter[4]) +
                   " in cinter, expected " + std::to_string(op[4]));
      }
      // Origin choice 1 and back.
      SpaceOp ori1{}, from_ori1{};
      if (runs(faults, where(g, i, op) + " via cori1", [&] {
            op_change_setting(cs(), g, "pml", "cori1", op, ori1);
            op_change_setting(cs(), g, "cori1", "pml", ori1, from_ori1);
          }) &&
          from_ori1 != lowest_terms(op)) {
        faults.add(where(g, i, op) + ": cori1 " + show(ori1) + ", back " + show(from_ori1));
      }
      // The direct change agrees with the one through "cml".
      SpaceOp direct{};
      if (runs(faults, where(g, i, op) + " pml->cinter",
               [&] { op_change_setting(cs(), g, "pml", "cinter", op, direct); }) &&
          direct != cinter) {
        faults.add(where(g, i, op) + ": pml->cinter " + show(direct) + ", via cml " +
                   show(cinter));
      }
    }
  }
  faults.expect_none();
}

TEST_F(TableSweep, PrimitiveRotationsAgreeWithVrot) {
  Faults faults;
  for (int32_t g = 1; g <= 230; ++g) {
    const int32_t bravais = cs().sg_bravais(g);
    const std::vector<SpaceOp> ops = table_ops(cs(), g, faults);
    for (std::size_t i = 0; i < ops.size(); ++i) {
      OpMatrix m{};
      if (!runs(faults, where(g, i, ops[i]) + " op_to_mat pml",
                [&] { op_to_mat(cs(), g, "pml", ops[i], m); })) {
        continue;
      }
      for (int j = 1; j <= 3; ++j) {
        RationalVector column{m4(m, 1, j), m4(m, 2, j), m4(m, 3, j), m4(m, 4, 4)};
        reduc2(column);
        RationalVector e{0, 0, 0, 1};
        e[j - 1] = 1;
        RationalVector w{};
        if (!runs(faults, where(g, i, ops[i]) + " vrot",
                  [&] { vrot(cs(), bravais, ops[i][4], e, w); })) {
          break;
        }
        if (w != column) {
          faults.add(where(g, i, ops[i]) + ": column " + std::to_string(j) + " of op_to_mat " +
                     show(column) + ", vrot " + show(w));
        }
      }
    }
  }
  faults.expect_none();
}

TEST_F(TableSweep, PrimitiveBasisVectorsInCml) {
  // Matrix 2 of the lattice transformations over their denominator holds the primitive basis
  // vectors as columns in conventional coordinates, and matrix 1 (integral) takes conventional
  // coordinates back: M1 M2 = den times the unit matrix.
  Faults faults;
  for (int32_t bravais = 1; bravais <= 14; ++bravais) {
    Mat3i m1{}, m2{}, product{};
    for (int r = 1; r <= 3; ++r) {
      for (int c = 1; c <= 3; ++c) {
        m3(m1, r, c) = cs().lattice_transform(r, c, 1, bravais);
        m3(m2, r, c) = cs().lattice_transform(r, c, 2, bravais);
      }
    }
    matmlt(m1, m2, product);
    const int32_t den = cs().lattice_transform_den(1, bravais);
    const Mat3i expected{den, 0, 0, 0, den, 0, 0, 0, den};
    if (den < 1 || product != expected) {
      faults.add("Bravais type " + std::to_string(bravais) + ": M1 M2 = " + show(product) +
                 ", denominator " + std::to_string(den));
    }
  }
  for (int32_t g = 1; g <= 230; ++g) {
    const int32_t bravais = cs().sg_bravais(g);
    if (bravais < 1 || bravais > 14) {
      faults.add("group " + std::to_string(g) + ": sg_bravais " + std::to_string(bravais));
      continue;
    }
    for (int j = 1; j <= 3; ++j) {
      RationalVector e{0, 0, 0, 1};
      e[j - 1] = 1;
      RationalVector w{};
      if (!runs(faults, "group " + std::to_string(g) + " vector " + show(e),
                [&] { vector_change_setting(cs(), g, "pml", "cml", e, w); })) {
        continue;
      }
      RationalVector expected{cs().lattice_transform(1, j, 2, bravais),
                              cs().lattice_transform(2, j, 2, bravais),
                              cs().lattice_transform(3, j, 2, bravais),
                              cs().lattice_transform_den(1, bravais)};
      if (expected[3] == 0) continue;  // reported above
      reduc2(expected);
      if (w != expected) {
        faults.add("group " + std::to_string(g) + ": primitive basis vector " +
                   std::to_string(j) + " in cml " + show(w) + ", expected " + show(expected));
      }
    }
  }
  faults.expect_none();
}

TEST_F(TableSweep, RationalAndRealPointsAgree) {
  const RationalVector points[] = {
      {0, 0, 0, 1}, {1, 1, 1, 3}, {1, -2, 7, 8}, {5, 3, 1, 6}, {-3, 0, 11, 4}};
  struct Change { std::string_view from, to; };
  const Change changes[] = {{"pml", "cinter"}, {"cinter", "pml"}, {"pml", "cml"},
                            {"cinter", "cml"}, {"cori1", "cinter"}};
  Faults faults;
  for (int32_t g = 1; g <= 230; ++g) {
    for (const Change& c : changes) {
      for (const RationalVector& p : points) {
        const std::string what = "group " + std::to_string(g) + " " + std::string(c.from) +
                                 "->" + std::string(c.to) + " " + show(p);
        RationalVector q{};
        std::array<double, 3> x{}, y{};
        for (int i = 0; i < 3; ++i) x[i] = static_cast<double>(p[i]) / p[3];
        if (!runs(faults, what, [&] {
              xyz_change_setting(cs(), g, c.from, c.to, p, q);
              dxyz_change_setting(cs(), g, c.from, c.to, x, y);
            })) {
          continue;
        }
        for (int i = 0; i < 3; ++i) {
          const double exact = static_cast<double>(q[i]) / q[3];
          if (std::fabs(exact - y[i]) > 1e-12) {
            faults.add(what + ": xyz " + show(q) + ", dxyz " + show(y));
            break;
          }
        }
        // And the point comes back.
        RationalVector back{};
        if (runs(faults, what + " back",
                 [&] { xyz_change_setting(cs(), g, c.to, c.from, q, back); })) {
          RationalVector expected = p;
          reduc2(expected);
          if (back != expected) faults.add(what + ": back " + show(back));
        }
      }
    }
  }
  faults.expect_none();
}

// A Wyckoff matrix with each column in lowest terms and absent columns as zeros.
WyckoffMatrix normal_columns(const WyckoffMatrix& w) {
  WyckoffMatrix n{};
  for (int c = 0; c < 4; ++c) {
    RationalVector v{w[4 * c], w[4 * c + 1], w[4 * c + 2], w[4 * c + 3]};
    if (v[3] == 0) continue;
    reduc2(v);
    for (int i = 0; i < 4; ++i) n[4 * c + i] = v[i];
  }
  return n;
}

TEST_F(TableSweep, WyckoffMatricesSurviveTheRoundTrip) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const CommonWyckoff* cw = &wyckoff_tables();
  Faults faults;
  int positions = 0;
  for (int32_t g = 1; g <= 230; ++g) {
    const int32_t first = cw->wyc_first(g);
    const int32_t count = cw->wyc_count(g);
    if (first < 1 || count < 1 || first + count - 1 > 1731) {
      faults.add("group " + std::to_string(g) + ": wyc_first " + std::to_string(first) +
                 ", wyc_count " + std::to_string(count));
      continue;
    }
    for (int32_t w = first; w < first + count; ++w) {
      WyckoffMatrix a{};
      for (int j = 1; j <= 4; ++j)
        for (int i = 1; i <= 4; ++i) m4(a, i, j) = cw->wyc_matrix_table(i, j, w);
      for (std::string_view to : {"cinter", "cml", "cori1"}) {
        const std::string what = "group " + std::to_string(g) + " position " +
                                 std::to_string(w - first + 1) + " " + show(a) + " via " +
                                 std::string(to);
        WyckoffMatrix there{}, back{};
        if (!runs(faults, what, [&] {
              wyckoff_change_setting(cs(), g, "pml", to, a, there);
              wyckoff_change_setting(cs(), g, to, "pml", there, back);
            })) {
          continue;
        }
        if (back != normal_columns(a)) faults.add(what + ": " + show(there) + " -> " + show(back));
      }
      ++positions;
    }
  }
  EXPECT_EQ(positions, 1731);
  faults.expect_none();
}

TEST_F(TableSweep, SubgroupRelations) {
  struct Relation { Mat3i basis; RationalVector origin; };
  const Relation relations[] = {
      {{1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0, 1}},
      {{2, 0, 0, 0, 1, 0, 0, 0, 1}, {1, 0, 1, 4}},
      {{1, 1, 0, -1, 1, 0, 0, 0, 3}, {-1, 2, 0, 6}},
  };
  Faults faults;
  for (int32_t g = 1; g <= 230; ++g) {
    for (const Relation& r : relations) {
      const std::string what = "group " + std::to_string(g) + " basis " + show(r.basis);
      Mat3i p{}, q{};
      int32_t pd = 0, qd = 0;
      RationalVector po{}, qo{};
      // In "pml" the relation comes back as given.
      if (runs(faults, what + " pml", [&] {
            subgroup_change_setting(cs(), g, g, r.basis, r.origin, p, pd, po, q, qd, qo, "pml");
          })) {
        RationalVector o = r.origin;
        reduc2(o);
        if (p != r.basis || pd != 1 || po != o) {
          faults.add(what + " pml: " + show(p) + "/" + std::to_string(pd) + " " + show(po));
        }
      }
      // In "cinter" the two maps are mutually inverse; the unit relation stays the unit.
      if (!runs(faults, what + " cinter", [&] {
            subgroup_change_setting(cs(), g, g, r.basis, r.origin, p, pd, po, q, qd, qo,
                                    "cinter");
          })) {
        continue;
      }
      Mat3i pq{};
      matmlt(p, q, pq);
      bool inverse = true;
      for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j)
          inverse = inverse && int64_t{m3(pq, i, j)} == (i == j ? int64_t{pd} * qd : 0);
      RationalVector pqo{qo[0], qo[1], qo[2], 0};
      vmlt(p, pqo.data(), pqo.data());
      pqo[3] = pd * qo[3];
      RationalVector sum{};
      vadd(pqo, po, sum);
      inverse = inverse && sum == RationalVector{0, 0, 0, 1};
      if (!inverse) {
        faults.add(what + " cinter: P " + show(p) + "/" + std::to_string(pd) + " p " + show(po) +
                   ", Q " + show(q) + "/" + std::to_string(qd) + " q " + show(qo));
      }
      if (r.basis == Mat3i{1, 0, 0, 0, 1, 0, 0, 0, 1} &&
          (p != r.basis || pd != 1 || po != RationalVector{0, 0, 0, 1})) {
        faults.add(what + " cinter: the unit relation became " + show(p) + "/" +
                   std::to_string(pd) + " " + show(po));
      }
    }
  }
  faults.expect_none();
}

TEST_F(TableSweep, KnownRelationsBetweenSettings) {
  struct Case {
    int32_t sg;
    std::string_view from, to;
    bool point;  // point (xyz) or vector
    RationalVector v, expected;
  };
  const Case cases[] = {
      // Fd-3m: origin choice 2 (the centre) lies at (1/8, 1/8, 1/8) of origin choice 1.
      {227, "cinter", "cori1", true, {0, 0, 0, 1}, {1, 1, 1, 8}},
      {227, "cori1", "cinter", true, {1, 1, 1, 8}, {0, 0, 0, 1}},
      {227, "cori1", "cinter", true, {0, 0, 0, 1}, {-1, -1, -1, 8}},  // not modulo 1
      // R-3m, obverse hexagonal axes: a_h = a_r - b_r, b_h = b_r - c_r, c_h = a_r + b_r + c_r.
      {166, "cml", "cinter", false, {2, 1, 1, 3}, {1, 0, 0, 1}},
      {166, "cinter", "cml", false, {0, 0, 1, 1}, {-1, -2, 1, 3}},
      {166, "cml", "cinter", true, {0, 0, 0, 1}, {0, 0, 0, 1}},
      // Groups with one origin: "cinter" is "cml".
      {221, "cml", "cinter", true, {1, 2, 3, 4}, {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    RationalVector w{};
    if (c.point) {
      xyz_change_setting(cs(), c.sg, c.from, c.to, c.v, w);
    } else {
      vector_change_setting(cs(), c.sg, c.from, c.to, c.v, w);
    }
    EXPECT_EQ(w, c.expected) << c.sg << " " << c.from << " -> " << c.to;
  }
}

TEST_F(TableSweep, HexagonalGroupsUseTheHexagonalList) {
  // The fourfold about z, (x, y, z) -> (-y, x, z), and the sixfold of hexagonal axes,
  // (x, y, z) -> (x - y, x, z).
  OpMatrix fourfold{}, sixfold{};
  const std::array<int32_t, 9> r4{0, -1, 0, 1, 0, 0, 0, 0, 1};
  const std::array<int32_t, 9> r6{1, -1, 0, 1, 0, 0, 0, 0, 1};
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) {
      m4(fourfold, i, j) = r4[(i - 1) * 3 + j - 1];
      m4(sixfold, i, j) = r6[(i - 1) * 3 + j - 1];
    }
  }
  m4(fourfold, 4, 4) = 1;
  m4(sixfold, 4, 4) = 1;
  struct Case { int32_t sg; const OpMatrix* m; bool representable; };
  for (const Case c : {Case{123, &fourfold, true}, Case{191, &fourfold, false},
                       Case{191, &sixfold, true}, Case{123, &sixfold, false},
                       Case{221, &fourfold, true}}) {
    SpaceOp op{};
    int32_t error = -1;
    mat_to_op(cs(), c.sg, "cml", *c.m, op, error);
    EXPECT_EQ(error, c.representable ? 0 : 1) << c.sg;
    if (error != 0) continue;
    // The number found names that very rotation in the conventional axes.
    EXPECT_EQ(op[4] >= 49, c.sg >= 143 && c.sg <= 194) << c.sg;
    for (int i = 1; i <= 3; ++i)
      for (int j = 1; j <= 3; ++j)
        EXPECT_EQ(cs().point_op_rot(i, j, op[4]), m4(*c.m, i, j)) << c.sg << " k=" << op[4];
  }
}

}  // namespace
}  // namespace sgl
