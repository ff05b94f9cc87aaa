// Group fits, scope marks and skips, and the closure of an accepted group: whole searches on
// small structures, and the closure steps on injected generators and elements.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/cellsieve/literal_references.hpp"
#include "tests/cellsieve/search_support.hpp"

namespace cellsieve {
namespace {

using testing::Input;
using testing::SearchRun;

struct Reported {
  int32_t sg, points;
};

std::vector<Reported> search_all(SearchRun& r) {
  r.phase([&] { r->search_groups(); });
  EXPECT_FALSE(r.bombed());
  std::vector<Reported> out;
  for (int32_t k = 1; k <= r->groups_found; ++k) out.push_back({r->tables.group_sg(k), r->tables.group_points(k)});
  return out;
}

TEST(Groups, ScopesMarkAndSkip) {
  // A doubled simple cubic cell: the sublattice of the centring (two points, m-3m with its 98
  // subgroups) and the sublattice {zero}. The minimum tolerances are negative, so only the
  // scope marks anything.
  struct Case {
    int scope;
    std::size_t reported;  // 0: more than 98
    bool only_first_sublattice;
  } cases[] = {{1, 0, false}, {2, 0, false}, {3, 98, true}, {4, 1, true}};
  std::size_t scope1 = 0, scope2 = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scope);
    Input in = testing::supercell(Input{}, 2, 1, 1);
    in.scope = c.scope;
    in.dmin = in.smin = -1.0;
    SearchRun r(in);
    const auto groups = search_all(r);
    if (c.reported != 0) {
      EXPECT_EQ(groups.size(), c.reported);
    }
    ASSERT_FALSE(groups.empty());
    EXPECT_EQ(groups[0].sg, 221);
    EXPECT_EQ(groups[0].points, 2);
    bool second = false;
    for (const Reported& g : groups) second = second || g.points == 1;
    EXPECT_EQ(second, !c.only_first_sublattice);
    if (c.scope == 1) scope1 = groups.size();
    if (c.scope == 2) scope2 = groups.size();
  }
  // Scope 1 reports every subgroup of both sublattices; scope 2 only those outside an accepted
  // group, one for the first sublattice.
  EXPECT_GT(scope1, 98u + 1u);
  EXPECT_LT(scope2, scope1);
}

TEST(Groups, MinimumTolerancesMarkExactGroups) {
  // An exact one-atom orthorhombic structure: with the usual minimum tolerances its group mmm is
  // marked and every later candidate lies inside it (skipped); with negative ones all 16 are
  // fitted.
  Input in;
  in.params = {3, 4, 5, 90, 90, 90};
  for (double dmin : {0.001, -1.0}) {
    SCOPED_TRACE(dmin);
    in.dmin = in.smin = dmin;
    SearchRun r(in);
    const auto groups = search_all(r);
    EXPECT_EQ(groups.size(), dmin == 0.001 ? 1u : 16u);
    EXPECT_EQ(groups[0].sg, 47);
  }
}

TEST(Groups, DisplacementLimitOfTheGroupFitIsInclusive) {
  // An atom off the mirrors of an orthorhombic cell; the group mmm (the first candidate) is
  // refitted with dmax set to its own rms position: accepted; just below it: rejected.
  Input in;
  in.params = {4, 5, 6, 90, 90, 90};
  in.atoms = {{1, 0, 0, 0}, {2, 0.51, 0.52, 0.5}};
  in.dmax = 1.0;
  SearchRun r(in);
  r.through_operations();
  bool accepted = false;
  auto fit = [&] {
    r.phase([&] {
      r->build_candidates();
      r->prepare_candidate(1);
      accepted = r->fit_group(1);
    });
    return r->group.rms_position;
  };
  const double rms = fit();
  ASSERT_TRUE(accepted);
  EXPECT_EQ(r->tables.subgroup_order(1), 8);
  EXPECT_GT(rms, 0.05);
  for (double dmax : {rms, std::nextafter(rms, 0.0)}) {
    r->s.dmax = dmax;
    EXPECT_EQ(fit(), rms);
    EXPECT_EQ(accepted, dmax == rms) << dmax;
  }
}

// With superlattices only, the search takes up the set of all translations first when it is
// closed, and enumerates the other sublattices only when that set is left unmarked. Against the
// literal search (every sublattice enumerated literally, then all taken up in order): the same
// report and the same groups, for a first set that is marked, one that is not (each translation
// fits alone, all together do not), one that is not closed (two translations fit, their sum does
// not), and none found.
TEST(Groups, SuperlatticesOnlySameAsTheLiteralSearch) {
  // Four atoms of a 2x2 supercell of a square cell, moved along c (fractions of c = 3): the first
  // by 0.02; then the first up and the last down by 0.02. The translations a/2, b/2 and (a+b)/2
  // fit with rms 0.00707 in the first, all three together with 0.00866; in the second a/2 and
  // b/2 fit with 0.01, (a+b)/2 needs 0.0141.
  auto checker = [](double dmax, double last) {
    Input in;
    in.params = {6, 6, 3, 90, 90, 90};
    in.dmax = dmax;
    in.dmin = 0.0001;
    in.smin = 0.0001;
    in.atoms = {{1, 0, 0, 0.02 / 3}, {1, 0.5, 0, 0}, {1, 0, 0.5, 0}, {1, 0.5, 0.5, last / 3}};
    return in;
  };
  Input rocksalt;
  rocksalt.params = {5.64, 5.64, 5.64, 90, 90, 90};
  rocksalt.atoms = {{1, 0, 0, 0}, {1, 0.5, 0.5, 0}, {1, 0.5, 0, 0.5}, {1, 0, 0.5, 0.5},
                    {2, 0.5, 0, 0}, {2, 0, 0.5, 0}, {2, 0, 0, 0.5}, {2, 0.5, 0.5, 0.5}};
  const struct {
    const char* what;
    Input in;
    int32_t sublattices;  // taken up by the literal search (basis lines printed)
  } cases[] = {{"doubled cubic cell, first set marked", testing::supercell(Input{}, 2, 1, 1), 1},
               {"rock salt, first set marked", rocksalt, 1},
               {"first set unmarked", checker(0.008, 0.0), 4},
               {"translations not closed", checker(0.012, -0.02), 2},
               {"no translation", Input{}, 1}};
  for (const auto& c : cases)
    for (int scope : {3, 4}) {
      SCOPED_TRACE(std::string(c.what) + ", scope " + std::to_string(scope));
      Input in = c.in;
      in.scope = scope;
      SearchRun fast(in);
      const std::string out = fast.phase([&] { fast->search_groups(); });
      SearchRun literal(in);
      const std::string expected = literal.phase([&] {
        cellsieve::Run& run = *literal;
        run.find_translations();
        testing::install_sublattices(run, testing::literal_sublattices(run));
        for (int32_t cur = 1; cur <= run.search.nsublattices; ++cur) run.search_sublattice(cur);
      });
      ASSERT_FALSE(fast.bombed());
      ASSERT_FALSE(literal.bombed());
      EXPECT_EQ(out, expected);
      std::size_t printed = 0;
      for (std::size_t at = expected.find("Basis vectors"); at != std::string::npos; at = expected.find("Basis vectors", at + 1))
        ++printed;
      EXPECT_EQ(printed, static_cast<std::size_t>(c.sublattices));
      EXPECT_EQ(fast->groups_found, literal->groups_found);
      EXPECT_GT(fast->groups_found, 0);
    }
}

// A run left after the candidate groups of a one-atom triclinic structure, on which a test
// injects the generators or the elements of a group.
struct Injected {
  SearchRun r;
  explicit Injected(const Input& in) : r(in) {
    r.through_operations();
    r.phase([&] { r->build_candidates(); });
    r->group.prim_strained = r->search.prim_basis;
    r->group.prim_strained_inv = r->search.prim_basis_inv;
  }
  // The Cartesian vector of primitive coordinates f.
  Vec3 cart(const Vec3& f) {
    Vec3 v{};
    vector_mlt(r->search.prim_basis, f, v);
    return v;
  }
  void generators(int32_t c, const std::vector<std::pair<int32_t, Vec3>>& gens, int32_t order) {
    r->tables.subgroup_ngens(c) = static_cast<int32_t>(gens.size());
    r->tables.subgroup_order(c) = order;
    for (std::size_t j = 0; j < gens.size(); ++j) {
      r->tables.gen_op(static_cast<int32_t>(j) + 1) = gens[j].first;
      set_column(r->tables.gen_trans, static_cast<int32_t>(j) + 1, cart(gens[j].second));
    }
  }
};

Input triclinic() {
  Input in;
  in.params = {4, 5, 6, 80, 85, 95};
  return in;
}

TEST(Closure, InversionMovesTheOriginToHalfItsTranslation) {
  Injected j(triclinic());
  const Vec3 t = {0.2, 0.4, -0.3};
  j.generators(1, {{25, t}}, 2);
  j.r.phase([&] { j.r->choose_origin(1); });
  const Vec3 half = j.cart({0.1, 0.2, -0.15});
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(j.r->group.origin_shift[i], half[i], 1e-12);
    EXPECT_NEAR(j.r->tables.gen_trans(i + 1, 1), 0.0, 1e-12);
  }
}

TEST(Closure, OriginAlongAFreeAxisIsZero) {
  // A twofold axis along z with its axis at (0.25, 0.1) and a screw part: x and y follow the
  // axis, z (free) stays 0 and the screw part stays in the translation.
  Input in;
  in.params = {4, 5, 6, 90, 90, 90};
  Injected j(in);
  int32_t two_z = 0;
  for (int32_t k = 1; k <= kOpCount && two_z == 0; ++k) {
    const Mat3& m = j.r->ops.op_rot(k);
    if (at(m, 1, 1) < -0.5 && at(m, 2, 2) < -0.5 && at(m, 3, 3) > 0.5) two_z = k;
  }
  ASSERT_NE(two_z, 0);
  j.generators(1, {{two_z, {0.5, 0.2, 0.5}}}, 2);
  j.r.phase([&] { j.r->choose_origin(1); });
  const Vec3 o = j.cart({0.25, 0.1, 0.0});
  const Vec3 screw = j.cart({0, 0, 0.5});
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(j.r->group.origin_shift[i], o[i], 1e-12);
    EXPECT_NEAR(j.r->tables.gen_trans(i + 1, 1), screw[i], 1e-12);
  }
}

TEST(Closure, TranslationDenominators) {
  // The inversion's partner, the identity, carries no translation; the records keep 1/6 with
  // denominator 6 and stop at 1/13.
  struct Case {
    double x;
    bool stops;
    std::array<int32_t, 4> record;
  } cases[] = {{1.0 / 6, false, {1, 0, 0, 6}}, {1.0 / 4, false, {1, 0, 0, 4}}, {1.0 / 13, true, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    Injected j(triclinic());
    j.r->search.group_nops = 2;
    j.r->search.elem_op[1] = 1;
    j.r->search.elem_trans[1] = {0, 0, 0};
    j.r->search.elem_op[2] = 25;
    j.r->search.elem_trans[2] = j.cart({c.x, 0, 0});
    const std::string out = j.r.phase([&] { j.r->make_records(); });
    EXPECT_EQ(j.r.bombed(), c.stops);
    if (c.stops) {
      EXPECT_EQ(out, " Error in 011 cellsieve\n");
    } else {
      const sgl::SpaceOp& rec = j.r->search.group_space_ops[1];
      EXPECT_EQ((std::array<int32_t, 4>{rec[0], rec[1], rec[2], rec[3]}), c.record);
      EXPECT_EQ(rec[4], 25);
    }
  }
}

TEST(Closure, InconsistentGroupsStop) {
  Input in;
  in.params = {4, 5, 6, 90, 90, 90};
  int32_t two_z = 0, two_x = 0, cubic_only = 0, hex_only = 0;
  {
    Injected probe(in);
    for (int32_t k = 1; k <= kOpCount; ++k) {
      const Mat3& m = probe.r->ops.op_rot(k);
      const bool diagonal = std::fabs(at(m, 1, 2)) < 0.5 && std::fabs(at(m, 2, 1)) < 0.5 && std::fabs(at(m, 1, 3)) < 0.5;
      if (diagonal && at(m, 1, 1) < -0.5 && at(m, 2, 2) < -0.5 && at(m, 3, 3) > 0.5) two_z = k;
      if (diagonal && at(m, 1, 1) > 0.5 && at(m, 2, 2) < -0.5 && at(m, 3, 3) < -0.5) two_x = k;
      if (probe.r->ops.op_hex(k) == 0 && cubic_only == 0) cubic_only = k;
      if (probe.r->ops.op_cubic(k) == 0 && hex_only == 0) hex_only = k;
    }
  }
  ASSERT_NE(two_z * two_x * cubic_only * hex_only, 0);
  {
    SCOPED_TRACE("028: a translation that is not closed");
    Injected j(in);
    j.generators(1, {{1, {0.3, 0, 0}}}, 1);
    EXPECT_EQ(j.r.phase([&] { j.r->close_elements(1); }), " Error 028 in cellsieve\n");
  }
  {
    SCOPED_TRACE("004: two products in opposite orders disagree");
    Injected j(in);
    j.generators(1, {{two_z, {0, 0, 0}}, {two_x, {0.1, 0, 0}}}, 4);
    EXPECT_EQ(j.r.phase([&] { j.r->close_elements(1); }), " Error 004 in cellsieve\n");
  }
  {
    SCOPED_TRACE("029: an order other than the candidate's");
    Injected j(in);
    j.generators(1, {{two_z, {0, 0, 0}}}, 4);
    EXPECT_EQ(j.r.phase([&] { j.r->close_elements(1); }), " Error 029 in cellsieve\n");
  }
  {
    SCOPED_TRACE("029: a product of two operations of different lists");
    Injected j(in);
    j.generators(1, {{cubic_only, {0, 0, 0}}, {hex_only, {0, 0, 0}}}, 4);
    EXPECT_EQ(j.r.phase([&] { j.r->close_elements(1); }), " Error 029 in cellsieve\n");
  }
  {
    SCOPED_TRACE("030: operations of neither one list nor the other");
    Injected j(in);
    j.r->search.group_nops = 2;
    j.r->search.elem_op[1] = cubic_only;
    j.r->search.elem_op[2] = hex_only;
    j.r->search.elem_trans[1] = j.r->search.elem_trans[2] = {0, 0, 0};
    EXPECT_EQ(j.r.phase([&] { j.r->make_records(); }), " Error 030 in cellsieve\n");
  }
  {
    SCOPED_TRACE("031: a singular conventional basis");
    Injected j(in);
    j.r->group.sg_number = 47;
    j.r->search.id_basis = {1, 0, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(j.r.phase([&] { j.r->conventional_basis(); }), " Error 031 in cellsieve\n");
  }
}

TEST(Closure, IdentifiedGroupAndItsCell) {
  // The whole closure of the largest candidate of an orthorhombic one-atom structure: Pmmm, the
  // conventional cell the input cell.
  Input in;
  in.params = {3, 4, 5, 90, 90, 90};
  SearchRun r(in);
  r.through_operations();
  r.phase([&] {
    r->build_candidates();
    r->prepare_candidate(1);
    ASSERT_TRUE(r->fit_group(1));
    r->close_group(1);
  });
  EXPECT_EQ(r->group.sg_number, 47);
  EXPECT_EQ(r->search.group_nops, 8);
  const Mat3& g = r->group.std_metric;
  std::vector<double> d = {at(g, 1, 1), at(g, 2, 2), at(g, 3, 3)};
  std::sort(d.begin(), d.end());
  EXPECT_NEAR(d[0], 9, 1e-9);
  EXPECT_NEAR(d[1], 16, 1e-9);
  EXPECT_NEAR(d[2], 25, 1e-9);
}

}  // namespace
}  // namespace cellsieve
