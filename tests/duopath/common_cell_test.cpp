// Common operations and the common cell of known lattice pairs, the map check, placement and
// the trace block of a pair.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "tests/duopath/duopath_child.hpp"
#include "tests/duopath/run_phases.hpp"

namespace {

using duopath_test::PhaseRun;
using duopath_test::prepare;
using duopath_test::run_phases;

std::string example(const std::string& name) {
  return text_io_test::slurp(std::string(SGL_SOURCE_DIR) + "/examples/" + name);
}

// The last pair of the search: pairs completed, sizes, translations, atoms, common operations.
std::string describe_last_pair(duopath::Run& run) {
  if (!prepare(run)) return "compositions differ";
  run.search();
  const auto& c = run.common;
  std::string s = "pairs " + std::to_string(run.pairs_completed) + " size " + std::to_string(run.pair.cell_size) + "/" +
                  std::to_string(run.pair.cell2_size) + " translations " +
                  std::to_string(c.cell_translations[0].size()) + "/" + std::to_string(c.cell_translations[1].size()) +
                  " atoms " + std::to_string(c.common_atom_count) + " ops " + std::to_string(c.common_op_count);
  return s;
}

TEST(CommonCell, OperationCountsOfKnownPairs) {
  const std::string sc = "221\n3 3 3 90 90 90\n1\nX a\n";
  struct Case {
    std::string name, input, expected;
  };
  const std::vector<Case> cases = {
      // Identical cubic crystals on their own cell: the whole point group m-3m.
      {"cubic", "t\n" + sc + sc + "lattice 221 1,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1\n",
       "pairs 1 size 1/1 translations 1/1 atoms 1 ops 48"},
      // Cubic P against tetragonal P on one cell: 4/mmm.
      {"cubic-tetragonal", "t\n" + sc + "123\n3 3 3.3 90 90 90\n1\nX a\nlattice 123 1,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1\n",
       "pairs 1 size 1/1 translations 1/1 atoms 1 ops 16"},
      // Bain: the body-centred tetragonal cell of fcc becomes the cubic cell of bcc: 4/mmm.
      {"Bain", example("fe_bain.in"), "pairs 1 size 1/1 translations 1/1 atoms 1 ops 16"},
      // Burgers: two primitive cells of bcc become the cell of hcp: mmm.
      {"Burgers", example("ti_burgers.in"), "pairs 1 size 2/1 translations 2/1 atoms 2 ops 8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PhaseRun run = run_phases(c.input, describe_last_pair);
    EXPECT_EQ(run.state, c.expected) << run.out;
  }
}

TEST(CommonCell, TranslationsNumberingAndPlacement) {
  // Burgers pair: crystal 1's two cell translations, the zero vector first, and its atoms
  // numbered as primitive atom 1 unshifted, then shifted; a coordinate of exactly 1 is placed
  // at 0.
  const PhaseRun run = run_phases(example("ti_burgers.in"), [](duopath::Run& r) {
    prepare(r);
    r.search();
    const auto& c = r.common;
    std::string s;
    for (const auto& t : c.internal_translations)
      s += "(" + std::to_string(t[0]) + "," + std::to_string(t[1]) + "," + std::to_string(t[2]) + ")/" +
           std::to_string(t[3]) + " ";
    for (int k = 0; k < 2; ++k) {
      const auto& x = c.common_positions[0][static_cast<std::size_t>(k)];
      const auto& t = c.internal_translations[static_cast<std::size_t>(k)];
      bool at_translation = true;
      for (int i = 0; i < 3; ++i) at_translation &= std::fabs(x[i] - static_cast<double>(t[i]) / t[3]) < 1e-12;
      s += at_translation ? "at " : "off ";
    }
    return s;
  });
  EXPECT_EQ(run.state.substr(0, 10), "(0,0,0)/1 ") << run.state;
  EXPECT_NE(run.state.find("/2 at at "), std::string::npos) << run.state;

  // An atom at (1/2, 1/2, 0) in the cell (1,-1,0), (1,1,0), (0,0,1): shifted by the second
  // translation it lands on (1/2, 1, 0) of the common cell, placed at (1/2, 0, 0).
  const std::string one = "1\n3 3 3 90 90 90\n1\nX .5 .5 0\n";
  const PhaseRun wrapped = run_phases("t\n" + one + one + "size 2 2\nlattice 1 1,-1,0 1,1,0 0,0,1 1,-1,0 1,1,0 0,0,1\n",
                                      [](duopath::Run& r) {
                                        prepare(r);
                                        r.search();
                                        std::string s = std::to_string(r.pairs_completed);
                                        for (const auto& x : r.common.common_positions[0])
                                          s += " (" + std::to_string(x[0]) + " " + std::to_string(x[1]) + " " + std::to_string(x[2]) + ")";
                                        return s;
                                      });
  EXPECT_EQ(wrapped.state, "1 (0.000000 0.500000 0.000000) (0.500000 0.000000 0.000000)");
}

TEST(CommonCell, MapForAnotherAtomCountStops) {
  const std::string sc = "221\n3 3 3 90 90 90\n1\nX a\n";
  const auto run = duopath_test::run_duopath("t\n" + sc + sc + "map 8 1\n1 1 14\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find(" Number of atoms in common unit cell (1) does not equal\n"
                         " number of atoms entered following the map keyword (8)\n"
                         "This program has bombed\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.log.find("number of atoms entered"), std::string::npos);
}

TEST(CommonCell, ExamplesWithTheTraceOfTheirPairs) {
  // Bain (fcc a = 3.6468 into bcc a = 2.8664) on the given body-centred tetragonal cell of
  // subgroup 139: its primitive cell is (-1/2,1/2,1/2), (1/2,-1/2,1/2), (1/2,1/2,-1/2) of the
  // tetragonal axes (1/2,-1/2,0), (1/2,1/2,0), (0,0,1) of fcc, that is (0,1/2,1/2),
  // (0,-1/2,1/2), (1/2,0,-1/2), and the same vectors of the cubic axes of bcc. Its principal
  // stretches are 2.8664 / (3.6468 / sqrt 2) = 1.1116 twice (the tetragonal a axes) and
  // 2.8664 / 3.6468 = 0.7860 (c), one primitive cell of fcc.
  const std::string bain =
      "Try lattice vectors    1:\n"
      "  Crystal 1: (0,1/2,1/2),(0,-1/2,1/2),(1/2,0,-1/2)\n"
      "  Crystal 2: (-1/2,1/2,1/2),(1/2,-1/2,1/2),(1/2,1/2,-1/2)\n"
      "  Principal values of strain tensor:    1.112   1.112   0.786\n"
      "  Size wrt crystal 1 =  1\n";
  // Burgers (bcc a = 3.3065 into hcp a = 2.9508, c = 4.6855) at size 2: (1/2,-1/2,1/2) and
  // (-1/2,1/2,1/2) of bcc (length a sqrt 3 / 2, at 109.47 degrees) become -(a+b) and a of hcp
  // (at 120 degrees); their difference (1,-1,0) (a sqrt 2) becomes (-2,-1,0) (a sqrt 3):
  // 5.1109 / 4.6761 = 1.093; their sum (0,0,1) (a) becomes (0,-1,0) (a): 2.9508 / 3.3065 =
  // 0.892; (1,1,0) of bcc, normal to both, becomes c: 4.6855 / 4.6761 = 1.002.
  const std::string burgers =
      "Try lattice vectors    1:\n"
      "  Crystal 1: (1/2,-1/2,1/2),(1,1,0),(-1/2,1/2,1/2)\n"
      "  Crystal 2: (-1,-1,0),(0,0,-1),(1,0,0)\n"
      "  Principal values of strain tensor:    1.093   1.002   0.892\n"
      "  Size wrt crystal 1 =  2\n";
  for (const auto& [name, block] : {std::pair{std::string("fe_bain.in"), bain}, std::pair{std::string("ti_burgers.in"), burgers}}) {
    SCOPED_TRACE(name);
    const auto run = duopath_test::run_duopath(example(name) + "trace lattice2\n");
    EXPECT_EQ(run.status, 0);
    // The blank line before the separator goes to standard output only.
    const std::string tail = "\n---------------------------------------\n" + block + " \n---------------------------------------\ndone\n";
    ASSERT_GE(run.out.size(), tail.size() + 2);
    EXPECT_EQ(run.out.substr(run.out.size() - tail.size() - 2), "\n " + tail) << run.out;
    const std::string log_tail = "\n---------------------------------------\n" + block + "---------------------------------------\ndone\n";
    ASSERT_GE(run.log.size(), log_tail.size());
    EXPECT_EQ(run.log.substr(run.log.size() - log_tail.size()), log_tail) << run.log;
  }
}

TEST(CommonCell, OneSeparatorBeforeConsecutivePairs) {
  // Pairs without a path report in between: the separator comes once, before the first block,
  // and the pairs are numbered on.
  const std::string sc2 = "221\n2 2 2 90 90 90\n1\nX a\n";
  const std::string sc3 = "221\n3 3 3 90 90 90\n1\nX a\n";
  const auto run = duopath_test::run_duopath("t\n" + sc2 + sc3 + "strain 0.66 1.50001\nsize 1 2\ntrace lattice2\n");
  EXPECT_EQ(run.status, 0);
  int separators = 0;
  for (std::size_t p = 0; (p = run.out.find("---------------------------------------\n", p)) != std::string::npos; ++p) ++separators;
  EXPECT_EQ(separators, 2);  // the first block's and the closing lines'
  EXPECT_NE(run.out.find("  Size wrt crystal 1 =  1\nTry lattice vectors    2:\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\n \n---------------------------------------\nTry lattice vectors    1:\n"), std::string::npos);
}

}  // namespace
