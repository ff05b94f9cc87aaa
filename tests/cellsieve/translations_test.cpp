// The lattice-translation search and the sublattices: translations found in supercells and
// centred cells, their composition table (against the literal comparison of every composition
// with every translation), the rejection of candidates, the closed sets of translations (counted
// against the subgroups of small abelian groups, and against the literal enumeration) and the
// reduced structure.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "tests/cellsieve/literal_references.hpp"
#include "tests/cellsieve/search_support.hpp"

namespace cellsieve {
namespace {

using testing::Atom;
using testing::Input;
using testing::SearchRun;

// The run's sublattices against the literal enumeration of its composition table.
void expect_literal_sublattices(const cellsieve::Run& run) {
  const auto sets = testing::literal_sublattices(run);
  ASSERT_EQ(static_cast<int32_t>(sets.size()), run.search.nsublattices);
  for (int32_t s = 1; s <= run.search.nsublattices; ++s) {
    int32_t points = 0;
    for (int32_t a = 1; a <= run.search.ntrans; ++a) {
      ASSERT_EQ(sets[s - 1][a], run.tables.sublattice_member(a, s)) << "sublattice " << s << ", translation " << a;
      points += sets[s - 1][a] ? 1 : 0;
    }
    EXPECT_EQ(points, run.tables.sublattice_points(s));
    EXPECT_FALSE(run.tables.sublattice_mark(s));
  }
}

TEST(Translations, NoneFoundWhenATypeOccursOnce) {
  Input in;
  in.params = {5.64, 5.64, 5.64, 90, 90, 90};
  in.atoms = {{1, 0, 0, 0}, {1, 0.5, 0.5, 0}, {2, 0.5, 0, 0}, {2, 0, 0.5, 0}, {3, 0.25, 0.25, 0.25}};
  SearchRun r(in);
  const std::string out = r.phase([&] { r->find_translations(); });
  EXPECT_NE(out.find(" \nLooking for additional lattice points\n  None found\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("Coordinates"), std::string::npos);
  EXPECT_EQ(r->search.ntrans, 1);
  EXPECT_EQ(r->tables.fract_sum(1, 1), 1);
  EXPECT_EQ(r->search.rarest_type, 3);
  EXPECT_EQ(r->search.rarest_first, 5);
}

TEST(Translations, DoubledCellComposesIntoTheTwoElementGroup) {
  Input in = testing::supercell(Input{}, 2, 1, 1);
  SearchRun r(in);
  const std::string out = r.phase([&] { r->find_translations(); });
  ASSERT_EQ(r->search.ntrans, 2);
  EXPECT_EQ(r->tables.fract_sum(1, 1), 1);
  EXPECT_EQ(r->tables.fract_sum(1, 2), 2);
  EXPECT_EQ(r->tables.fract_sum(2, 1), 2);
  EXPECT_EQ(r->tables.fract_sum(2, 2), 1);
  EXPECT_EQ(r->tables.fract_image(1, 2), 2);
  EXPECT_EQ(r->tables.fract_image(2, 2), 1);
  EXPECT_NE(out.find("   Coordinates                        rms position\n"
                     "   0.50000   0.00000   0.00000        0.00000\n"),
            std::string::npos)
      << out;
}

TEST(Translations, ThreefoldCentringGivesTwoSublattices) {
  // A rhombohedrally centred hexagonal cell: tau and 2 tau, never {0, tau} alone.
  Input in;
  in.params = {3, 3, 7, 90, 90, 120};
  in.atoms = {{1, 0, 0, 0}, {1, 2.0 / 3, 1.0 / 3, 1.0 / 3}, {1, 1.0 / 3, 2.0 / 3, 2.0 / 3}};
  SearchRun r(in);
  r.phase([&] {
    r->find_translations();
    r->enumerate_sublattices();
  });
  ASSERT_EQ(r->search.ntrans, 3);
  ASSERT_EQ(r->search.nsublattices, 2);
  EXPECT_EQ(r->tables.sublattice_points(1), 3);
  EXPECT_EQ(r->tables.sublattice_points(2), 1);
}

TEST(Translations, ManyTranslationsGrowTheTables) {
  SearchRun r(testing::supercell(Input{}, 3, 3, 2));
  r.phase([&] { r->find_translations(); });
  EXPECT_EQ(r->search.ntrans, 18);
  EXPECT_EQ(r->tables.max_fract, 32);
  // Every translation is a permutation, and the composition table is a group table.
  for (int32_t i = 1; i <= 18; ++i) {
    std::set<int32_t> row;
    for (int32_t j = 1; j <= 18; ++j) row.insert(r->tables.fract_sum(i, j));
    EXPECT_EQ(row.size(), 18u);
    EXPECT_EQ(row.count(0), 0u);
  }
}

TEST(Translations, RejectionAtTheDisplacementLimit) {
  // Two atoms along a cell of edge 4: the second 0.03125 beyond the half-way point. The
  // symmetrised pair lies 0.015625 from the input atoms (exact in binary): rms = dmax rejects.
  struct Case {
    double dmax;
    int32_t ntrans;
  } cases[] = {{0.015625, 1}, {0.0156251, 2}, {0.01, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dmax);
    Input in;
    in.dmax = c.dmax;
    in.params = {4, 3, 3, 90, 90, 90};
    in.atoms = {{1, 0, 0, 0}, {1, 0.5078125, 0, 0}};
    SearchRun r(in);
    r.phase([&] { r->find_translations(); });
    EXPECT_EQ(r->search.ntrans, c.ntrans);
  }
}

TEST(Translations, EqualCountsTakeTheTypeSeenFirst) {
  Input in;
  in.atoms = {{7, 0, 0, 0}, {5, 0.5, 0.5, 0.5}, {5, 0.5, 0, 0}, {7, 0.5, 0.5, 0}};
  SearchRun r(in);
  r.phase([&] { r->find_translations(); });
  EXPECT_EQ(r->search.rarest_type, 7);
  EXPECT_EQ(r->search.rarest_first, 1);
}

// Composition tables of (Z_n)^d injected into the tables: the number of sublattices is the number
// of subgroups.
TEST(Sublattices, CountTheSubgroupsOfAbelianGroups) {
  struct Case {
    int n, d;
    int32_t count;
  } cases[] = {{2, 1, 2}, {2, 2, 5}, {2, 3, 16}, {3, 3, 28}, {4, 3, 129}, {3, 1, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.n) + "^" + std::to_string(c.d));
    SearchRun r(Input{});
    cellsieve::Run& run = *r;
    int32_t size = 1;
    for (int i = 0; i < c.d; ++i) size *= c.n;
    while (run.tables.max_fract < size) run.tables.allocate_fract();
    run.search.ntrans = size;
    auto digits = [&](int32_t v) {
      std::array<int, 3> out{};
      for (int i = 0; i < c.d; ++i) {
        out[i] = v % c.n;
        v /= c.n;
      }
      return out;
    };
    for (int32_t a = 0; a < size; ++a)
      for (int32_t b = 0; b < size; ++b) {
        const auto x = digits(a), y = digits(b);
        int32_t v = 0;
        for (int i = c.d - 1; i >= 0; --i) v = v * c.n + (x[i] + y[i]) % c.n;
        run.tables.fract_sum(a + 1, b + 1) = v + 1;
      }
    r.phase([&] { run.enumerate_sublattices(); });
    EXPECT_EQ(run.search.nsublattices, c.count);
    expect_literal_sublattices(run);
    // Sorted by decreasing size; the whole group first and {zero} last.
    EXPECT_EQ(run.tables.sublattice_points(1), size);
    EXPECT_EQ(run.tables.sublattice_points(run.search.nsublattices), 1);
    for (int32_t s = 2; s <= run.search.nsublattices; ++s)
      EXPECT_GE(run.tables.sublattice_points(s - 1), run.tables.sublattice_points(s));
    // Every set is closed and its size divides the group's.
    for (int32_t s = 1; s <= run.search.nsublattices; ++s) {
      EXPECT_EQ(size % run.tables.sublattice_points(s), 0);
      for (int32_t a = 1; a <= size; ++a)
        for (int32_t b = 1; b <= size; ++b)
          if (run.tables.sublattice_member(a, s) && run.tables.sublattice_member(b, s)) {
            EXPECT_TRUE(run.tables.sublattice_member(run.tables.fract_sum(a, b), s));
          }
    }
  }
}

// The images and the composition table of real searches against the literal ones: the images of
// the last candidate through the scan of every atom, the table by comparing every composition with
// every translation.
TEST(Translations, SameTableAsTheLiteralComparison) {
  Input rhombo;
  rhombo.params = {3, 3, 7, 90, 90, 120};
  rhombo.atoms = {{1, 0, 0, 0}, {1, 2.0 / 3, 1.0 / 3, 1.0 / 3}, {1, 1.0 / 3, 2.0 / 3, 2.0 / 3}};
  Input moved = testing::supercell(Input{}, 3, 2, 2);
  moved.atoms[5].y += 0.002;
  const struct {
    const char* what;
    Input in;
    int32_t ntrans;
  } cases[] = {{"3x3x2", testing::supercell(Input{}, 3, 3, 2), 18},
               {"rhombohedral centring, 2x2x1", testing::supercell(rhombo, 2, 2, 1), 12},
               {"3x2x2, one atom moved", moved, 12}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SearchRun r(c.in);
    r.phase([&] { r->find_translations(); });
    ASSERT_FALSE(r.bombed());
    EXPECT_EQ(r->search.ntrans, c.ntrans);
    std::vector<int32_t> table;
    for (int32_t i = 1; i <= r->search.ntrans; ++i)
      for (int32_t j = 1; j <= r->search.ntrans; ++j) table.push_back(r->tables.fract_sum(i, j));
    EXPECT_EQ(table, testing::literal_compositions(*r));
  }
}

// Injected permutations of four atoms (the same one twice, two that carry atom 1 alike and differ
// elsewhere, one whose compositions are missing): the smallest matching translation, found through
// the chain of its image of atom 1, and 0 where none matches; then two that do not commute.
TEST(Translations, CompositionsOfInjectedPermutations) {
  Input in;
  in.atoms = {{1, 0, 0, 0}, {1, 0.5, 0, 0}, {1, 0, 0.5, 0}, {1, 0.5, 0.5, 0}};
  SearchRun r(in);
  cellsieve::Run& run = *r;
  auto inject = [&](const std::vector<std::vector<int32_t>>& perms) {
    run.search.ntrans = static_cast<int32_t>(perms.size());
    for (int32_t k = 1; k <= run.search.ntrans; ++k)
      for (int32_t a = 1; a <= 4; ++a) run.tables.fract_image(a, k) = perms[k - 1][a - 1];
  };
  inject({{1, 2, 3, 4}, {2, 1, 4, 3}, {2, 1, 3, 4}, {2, 1, 4, 3}, {3, 4, 1, 2}, {3, 2, 4, 1}});
  r.phase([&] { run.compose_translations(); });
  ASSERT_FALSE(r.bombed());
  std::vector<int32_t> table;
  for (int32_t i = 1; i <= 6; ++i)
    for (int32_t j = 1; j <= 6; ++j) table.push_back(run.tables.fract_sum(i, j));
  EXPECT_EQ(table, testing::literal_compositions(run));
  EXPECT_EQ(run.tables.fract_sum(1, 3), 3);  // the chain of atom 1 -> 2 holds 2, 3 and 4
  EXPECT_EQ(run.tables.fract_sum(4, 1), 2);  // the smallest of two equal permutations
  EXPECT_EQ(run.tables.fract_sum(2, 5), 0);  // (3, 4, 1, 2) after (2, 1, 4, 3) is not there
  // (1 2) and (1 2 3) do not commute: error 017.
  inject({{1, 2, 3, 4}, {2, 1, 3, 4}, {2, 3, 1, 4}, {3, 1, 2, 4}, {1, 3, 2, 4}, {3, 2, 1, 4}});
  const std::string out = r.phase([&] { run.compose_translations(); });
  EXPECT_TRUE(r.bombed());
  EXPECT_EQ(out, " Error 017 in cellsieve\n");
}

// Composition tables of translations found in part: the elements of a small abelian group that a
// seeded choice keeps (the zero always), numbered in a shuffled order, with 0 for a composition
// that was not kept. The enumeration must abandon, drop and sort exactly as the literal one.
TEST(Sublattices, SameSetsAsTheLiteralEnumeration) {
  struct Group {
    int n, d;
  } groups[] = {{2, 3}, {4, 2}, {3, 2}, {6, 1}, {2, 4}, {12, 1}};
  std::mt19937 rng(34);
  for (const Group& gr : groups)
    for (int trial = 0; trial < 12; ++trial) {
      SCOPED_TRACE(std::to_string(gr.n) + "^" + std::to_string(gr.d) + ", trial " + std::to_string(trial));
      int32_t size = 1;
      for (int i = 0; i < gr.d; ++i) size *= gr.n;
      auto add = [&](int32_t a, int32_t b) {
        int32_t v = 0, place = 1;
        for (int i = 0; i < gr.d; ++i, place *= gr.n) v += ((a / place % gr.n + b / place % gr.n) % gr.n) * place;
        return v;
      };
      // The first trial keeps every element; the others drop each with probability 1/4.
      std::vector<int32_t> kept{0};
      for (int32_t v = 1; v < size; ++v)
        if (trial == 0 || rng() % 4 != 0) kept.push_back(v);
      std::shuffle(kept.begin() + 1, kept.end(), rng);
      std::vector<int32_t> number(static_cast<std::size_t>(size), 0);
      for (std::size_t i = 0; i < kept.size(); ++i) number[kept[i]] = static_cast<int32_t>(i) + 1;
      SearchRun r(Input{});
      cellsieve::Run& run = *r;
      const auto nt = static_cast<int32_t>(kept.size());
      while (run.tables.max_fract < nt) run.tables.allocate_fract();
      run.search.ntrans = nt;
      for (int32_t a = 1; a <= nt; ++a)
        for (int32_t b = 1; b <= nt; ++b) run.tables.fract_sum(a, b) = number[add(kept[a - 1], kept[b - 1])];
      r.phase([&] { run.enumerate_sublattices(); });
      expect_literal_sublattices(run);
    }
}

TEST(Sublattices, ReducedStructureOfABodyCentredCell) {
  // CsCl-like cell with a centring of both types: a body-centred cell of two types; the
  // sublattice of the centring halves the atoms and prints the primitive vectors found first.
  Input in;
  in.params = {4, 4, 4, 90, 90, 90};
  in.atoms = {{1, 0, 0, 0}, {1, 0.5, 0.5, 0.5}, {2, 0.5, 0, 0}, {2, 0, 0.5, 0.5}};
  SearchRun r(in);
  const std::string out = r.phase([&] {
    r->find_translations();
    r->enumerate_sublattices();
    r->prepare_sublattice(1);
  });
  EXPECT_EQ(r->search.ntrans, 2);
  EXPECT_EQ(r->search.nred, 2);
  EXPECT_EQ(r->search.ncoset, 1);
  EXPECT_EQ(r->atoms.atom_orbit(1), 1);
  EXPECT_EQ(r->atoms.atom_orbit(2), 1);
  EXPECT_EQ(r->atoms.atom_orbit(3), 2);
  EXPECT_EQ(r->atoms.atom_orbit(4), 2);
  EXPECT_NE(out.find(" \nBasis vectors of the primitive lattice:\n"
                     "   1.00000   0.00000   0.00000\n"
                     "   0.00000   1.00000   0.00000\n"
                     "   0.50000   0.50000   0.50000\n"),
            std::string::npos)
      << out;
  // The sublattice {zero}: two cosets, the centring carrying each reduced atom onto itself's
  // partner.
  r.phase([&] { r->prepare_sublattice(2); });
  EXPECT_EQ(r->search.nred, 4);
  EXPECT_EQ(r->search.ncoset, 2);
  EXPECT_EQ(r->tables.rep_image(1, 2), 2);
  EXPECT_EQ(r->tables.rep_image(3, 2), 4);
}

}  // namespace
}  // namespace cellsieve
