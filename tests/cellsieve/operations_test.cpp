// The point-operation search and the candidate groups: the operations of simple lattices and of
// hcp, the strain limit, and the number of candidate groups, which for an exactly symmetric
// structure is the number of subgroups of its group (98 for m-3m, 54 for 6/mmm, 16 for mmm).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/cellsieve/search_support.hpp"

namespace cellsieve {
namespace {

using testing::Input;
using testing::SearchRun;

Input hcp() {
  Input in;
  in.params = {3, 3, 4.898979485566356, 90, 90, 120};
  in.atoms = {{1, 1.0 / 3, 2.0 / 3, 0.25}, {1, 2.0 / 3, 1.0 / 3, 0.75}};
  return in;
}

// Rows of the operation table: lines that follow the header up to the first blank-led line.
std::vector<std::string> operation_rows(const std::string& out) {
  std::vector<std::string> rows;
  bool in = false;
  for (const std::string& line : testing::lines_of(out)) {
    if (line.rfind("Operator", 0) == 0) {
      in = true;
      continue;
    }
    if (in) {
      if (line.empty() || line[0] == ' ') break;
      rows.push_back(line);
    }
  }
  return rows;
}

TEST(Operations, SimpleCubicAcceptsAll48) {
  SearchRun r(Input{});
  const std::string out = r.through_operations();
  EXPECT_EQ(r->search.nops, 48);
  const auto rows = operation_rows(out);
  ASSERT_EQ(rows.size(), 48u);
  EXPECT_EQ(rows[0], "1 c01      0.00000   0.00000   0.00000        0.00000        0.00000");
  EXPECT_NE(out.find("Looking for elements of space group\n"
                     "Operator                                      rms position   rms strain\n"),
            std::string::npos);
}

TEST(Operations, HexagonalClosePackingHas24WithHalfCScrews) {
  SearchRun r(hcp());
  const std::string out = r.through_operations();
  const auto rows = operation_rows(out);
  ASSERT_EQ(rows.size(), 24u);
  int halves = 0;
  for (const std::string& row : rows) {
    const std::string t = row.substr(8, 30);
    if (t == "   0.00000   0.00000   0.50000") ++halves;
    else
      EXPECT_EQ(t, "   0.00000   0.00000   0.00000") << row;
  }
  EXPECT_EQ(halves, 12);
}

TEST(Operations, StrainLimitIsInclusive) {
  // A slightly tetragonal one-atom cell: the fourfold axis along a needs a strain; smax equal to
  // that strain accepts it, the next smaller double rejects it.
  Input in;
  in.params = {3, 3, 3.03, 90, 90, 90};
  SearchRun probe(in);
  probe.through_operations();
  cellsieve::Run& run = *probe;
  int32_t fourfold = 0;
  for (int32_t k = 1; k <= kOpCount && fourfold == 0; ++k)
    if (run.ops.op_cubic(k) != 0 && run.ops.op_order(k) == 4 && run.ops.op_rot(k)[0] > 0.5) fourfold = k;
  ASSERT_NE(fourfold, 0);
  const Mat3& rot = run.ops.op_rot(fourfold);
  const Mat3 m = integer_matrix(run.search.prim_basis, run.search.prim_basis_inv, rot);
  int32_t neq = 0;
  start_strain_equations(run.tables, run.search.prim_basis_inv, run.search.prim_length, neq);
  append_strain_equations(run.tables, run.search.prim_basis, run.search.prim_length, rot, m, neq);
  Mat3 d{};
  ASSERT_TRUE(fit_strain(run.tables, neq, run.search.prim_length, d));
  const double strain = rms_strain_of(run.search.prim_basis_inv, d);
  EXPECT_GT(strain, 1e-3);
  for (double smax : {strain, std::nextafter(strain, 0.0)}) {
    in.smax = smax;
    SearchRun r(in);
    r.through_operations();
    bool found = false;
    for (int32_t o = 1; o <= r->search.nops; ++o) found = found || r->search.oplist[o] == fourfold;
    EXPECT_EQ(found, smax == strain) << smax;
  }
}

TEST(Operations, DisplacementToleranceDecidesTheInversion) {
  // The inversion of two atoms at +-u: the identity fits exactly, the inversion pairs them;
  // moving one atom makes the inversion need displacements of known rms.
  Input in;
  in.params = {4, 4, 4, 90, 90, 90};
  in.atoms = {{1, 0.1, 0.1, 0.1}, {1, 0.875, 0.875, 0.875}, {2, 0.5, 0.5, 0.5}};
  SearchRun probe(in);
  probe.through_operations();
  // Inversion fitted: find it and its rms in the printed row.
  bool inversion = false;
  for (int32_t o = 1; o <= probe->search.nops; ++o) inversion = inversion || probe->search.oplist[o] == 25;
  EXPECT_FALSE(inversion);  // 0.1 and -0.125 are not images within 0.01
  in.dmax = 0.5;
  SearchRun wide(in);
  wide.through_operations();
  inversion = false;
  for (int32_t o = 1; o <= wide->search.nops; ++o) inversion = inversion || wide->search.oplist[o] == 25;
  EXPECT_TRUE(inversion);
}

TEST(Operations, EachOperationKeepsTheTranslationThatFitsBest) {
  // SrTiO3 3x1x1 with the O at (1/2, 0, 1/2) of the first cell moved 0.15 A along y. The twofold
  // axis along y and the mirror normal to x through that O are exact with the translation
  // (1/3, 0, 0) of the second Sr; the first candidate, through the origin, fits within dmax too
  // (rms 0.0274, the O and its image each moved), and with it stored the exact group Pmm2 was
  // never formed.
  Input in;
  in.params = {3.905, 3.905, 3.905, 90, 90, 90};
  in.atoms = {{1, 0, 0, 0}, {2, 0.5, 0.5, 0.5}, {3, 0.5, 0.5, 0}, {3, 0.5, 0, 0.5}, {3, 0, 0.5, 0.5}};
  in = testing::supercell(in, 3, 1, 1);
  in.atoms[3].y += 0.15 / 3.905;
  in.dmax = 0.03;
  SearchRun r(in);
  const auto rows = operation_rows(r.through_operations());
  int exact = 0;
  for (const std::string& row : rows) {
    SCOPED_TRACE(row);
    const std::string name = row.substr(0, 6);
    if (name != "2 c03 " && name != "m c28 ") continue;
    EXPECT_EQ(row.substr(8), "   0.33333   0.00000   0.00000        0.00000        0.00000");
    ++exact;
  }
  EXPECT_EQ(exact, 2);

  SearchRun all(in);
  all.phase([&] { all->search_groups(); });
  ASSERT_FALSE(all.bombed());
  bool pmm2 = false;
  for (int32_t k = 1; k <= all->groups_found; ++k)
    pmm2 = pmm2 || (all->tables.group_sg(k) == 25 && all->tables.group_rms_position(k) < 1e-9);
  EXPECT_TRUE(pmm2);
}

TEST(Operations, ExactStructuresKeepTheFirstExactTranslation) {
  // Exact SrTiO3 2x2x1 on the sublattice of its centring (1/2, 1/2, 0) (the fourth): each of
  // the 16 operations of its tetragonal lattice is exact through the Sr at the origin, and some
  // are exact with another Sr's translation too. Equal rms values up to rounding keep the first
  // candidate, the Sr at the origin (a later one would give P4/mbm in place of P4/mmm).
  Input in;
  in.params = {3.905, 3.905, 3.905, 90, 90, 90};
  in.atoms = {{1, 0, 0, 0}, {2, 0.5, 0.5, 0.5}, {3, 0.5, 0.5, 0}, {3, 0.5, 0, 0.5}, {3, 0, 0.5, 0.5}};
  SearchRun r(testing::supercell(in, 2, 2, 1));
  const std::string out = r.through_operations(4);
  ASSERT_NE(out.find("   0.50000   0.50000   0.00000\nLooking for elements"), std::string::npos) << out;
  const auto rows = operation_rows(out);
  EXPECT_EQ(rows.size(), 16u);
  for (const std::string& row : rows)
    EXPECT_EQ(row.substr(8), "   0.00000   0.00000   0.00000        0.00000        0.00000") << row;
}

TEST(Operations, ALaterTranslationMustFitBetterByMoreThanTheZeroTolerance) {
  // A 10 A cubic cell nearly repeated by T = (1/2, 0, 0): atoms of type 1 at 0 and at T + e (e
  // along y), of type 2 at +-b and +-b + T, the two at +b moved 0.02 A along x. The inversion's
  // candidate translations come from the two atoms of type 1: the first centres it on atom 1 and
  // keeps both in place, the second centres it between them and swaps them. Both pair the atoms
  // of type 2 alike, with their centre 0.01 A away, and the minimum-norm fits differ only in the
  // split of the atoms of type 1 (|e|^2 / 2 more in the sum of squares over 6 atoms): the second
  // candidate's rms, r = 0.00471 A, is smaller by |e|^2 / (24 r) to first order. With that gain
  // below the zero tolerance (1e-10) the first translation stays; above it, the second replaces
  // it. The row is the inversion's on the sublattice without T (T fits within dmax).
  const struct {
    double gain;  // A
    const char* translation;
  } cases[] = {{0.5e-10, "   0.00133   0.00000   0.00000"}, {1.5e-10, "   0.50133   0.00000   0.00000"}};
  const double r = std::sqrt(4.0 / 3.0 * 0.01 * 0.01 / 6.0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.gain);
    const double e = std::sqrt(24.0 * r * c.gain) / 10.0;
    Input in;
    in.params = {10, 10, 10, 90, 90, 90};
    in.atoms = {{1, 0, 0, 0},         {1, 0.5, e, 0},        {2, 0.102, 0.2, 0.3},
                {2, 0.602, 0.2, 0.3}, {2, -0.1, -0.2, -0.3}, {2, 0.4, -0.2, -0.3}};
    SearchRun run(in);
    const auto rows = operation_rows(run.through_operations());
    ASSERT_EQ(run->search.ncoset, 2);
    const auto inversion =
        std::find_if(rows.begin(), rows.end(), [](const std::string& row) { return row.rfind("-1c25", 0) == 0; });
    ASSERT_NE(inversion, rows.end());
    EXPECT_EQ(inversion->substr(8), std::string(c.translation) + "        0.00471        0.00000");
  }
}

struct CountCase {
  const char* what;
  Input in;
  int32_t candidates;
};

TEST(Candidates, CountTheSubgroupsOfTheStructuresGroup) {
  Input ortho;
  ortho.params = {3, 4, 5, 90, 90, 90};
  const CountCase cases[] = {
      {"one-atom cubic", Input{}, 98},
      {"hcp", hcp(), 54},
      {"one-atom orthorhombic", ortho, 16},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE(c.what);
    SearchRun r(c.in);
    r.through_operations();
    r.phase([&] { r->build_candidates(); });
    EXPECT_EQ(r->search.nsubgroups, c.candidates);
    // Sorted by decreasing order, {identity} last, every candidate closed.
    const int32_t n = r->search.nsubgroups;
    EXPECT_EQ(r->tables.subgroup_order(n), 1);
    for (int32_t s = 2; s <= n; ++s) EXPECT_GE(r->tables.subgroup_order(s - 1), r->tables.subgroup_order(s));
    for (int32_t s = 1; s <= n; ++s)
      for (int32_t a : r->search.members[s - 1])
        for (int32_t b : r->search.members[s - 1]) {
          const int32_t p = r->search.pair_product(a, b);
          ASSERT_NE(p, 0);
          EXPECT_TRUE(testing::is_member(r->search, s, p));
        }
  }
}

TEST(Candidates, PerovskiteSupercellsWithTheirCosets) {
  // Supercells of cubic perovskite, sublattice {zero}: 48 operations times n^3 coset
  // representatives.
  Input in;
  in.params = {3.905, 3.905, 3.905, 90, 90, 90};
  in.atoms = {{1, 0, 0, 0}, {2, 0.5, 0.5, 0.5}, {3, 0.5, 0.5, 0}, {3, 0.5, 0, 0.5}, {3, 0, 0.5, 0.5}};
  const struct {
    int n;
    int32_t candidates;
  } cases[] = {{2, 2745}, {3, 1774}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    SearchRun r(testing::supercell(in, c.n, c.n, c.n));
    r.through_operations();
    EXPECT_EQ(r->search.ncoset, c.n * c.n * c.n);
    r.phase([&] { r->build_candidates(); });
    EXPECT_EQ(r->search.nelem, 48 * c.n * c.n * c.n);
    EXPECT_EQ(r->search.nsubgroups, c.candidates);
  }
}

TEST(Candidates, NoIdentityNoCandidates) {
  // A negative dmax accepts no operation: the sublattice gets no candidates. (The dialogue refuses
  // a negative dmax; it is set behind its back here.)
  SearchRun r(Input{});
  r->s.dmax = -0.01;
  const std::string out = r.through_operations();
  EXPECT_EQ(r->search.nops, 0);
  EXPECT_EQ(out.find("Operator"), std::string::npos);
  r.phase([&] { r->build_candidates(); });
  EXPECT_EQ(r->search.nsubgroups, 0);
}

}  // namespace
}  // namespace cellsieve
