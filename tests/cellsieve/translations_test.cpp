// The lattice-translation search and the sublattices: translations found in supercells and
// centred cells, their composition table, the rejection of candidates, the closed sets of
// translations (counted against the subgroups of small abelian groups) and the reduced structure.
#include <gtest/gtest.h>

#include <set>

#include "tests/cellsieve/search_support.hpp"

namespace cellsieve {
namespace {

using testing::Atom;
using testing::Input;
using testing::SearchRun;

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
          if (run.tables.sublattice_member(a, s) && run.tables.sublattice_member(b, s))
            EXPECT_TRUE(run.tables.sublattice_member(run.tables.fract_sum(a, b), s));
    }
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
