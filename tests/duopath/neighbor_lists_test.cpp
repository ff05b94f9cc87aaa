// Neighbour lists of the bond cases and the atom listing of a pair.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <string>

#include "tests/duopath/duopath_child.hpp"
#include "tests/duopath/run_phases.hpp"

namespace {

using duopath_test::PhaseRun;
using duopath_test::prepare;
using duopath_test::run_phases;

// Per crystal-1 atom of the last pair: each slot as atom@distance (offset), "-" when empty.
std::string describe_neighbors(duopath::Run& r) {
  prepare(r);
  r.search();
  const auto& nl = r.neighbors;
  std::string s;
  char text[80];
  for (std::size_t i = 0; i < nl.neighbor_atom.size(); ++i) {
    s += "atom " + std::to_string(i + 1) + ":";
    for (std::size_t k = 0; k < nl.neighbor_atom[i].size(); ++k) {
      if (nl.neighbor_atom[i][k] == 0) {
        s += " -";
        continue;
      }
      const auto& o = nl.neighbor_offset[i][k];
      std::snprintf(text, sizeof text, " %d@%.4f(%d,%d,%d)", nl.neighbor_atom[i][k], nl.neighbor_distance[i][k], o[0], o[1],
                    o[2]);
      s += text;
    }
    s += "\n";
  }
  return s;
}

TEST(NeighborLists, OneAtomCellFindsItsImages) {
  // One Fe atom per cell (bcc, its primitive cell): shell 0 offers nothing, and the eight nearest
  // images at a sqrt(3) / 2 = 2.4824 lie in shell 1, at the offsets of the cell vectors
  // (-1/2,1/2,1/2), (1/2,-1/2,1/2), (1/2,1/2,-1/2) that give the body diagonals.
  const std::string bcc = "229\n2.8664 2.8664 2.8664 90 90 90\n1\nFe a\n";
  const PhaseRun run = run_phases("t\n" + bcc + bcc +
                                      "lattice 229 1,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1\nbonds2 Fe Fe 8 0.2\n",
                                  describe_neighbors);
  ASSERT_EQ(run.state.substr(0, 8), "atom 1: ") << run.out;
  int count = 0;
  for (std::size_t p = 0; (p = run.state.find(" 1@2.4824(", p)) != std::string::npos; ++p) ++count;
  EXPECT_EQ(count, 8) << run.state;
  // The eight offsets are those of the body diagonals: +-(1,0,0), +-(0,1,0), +-(0,0,1),
  // +-(1,1,1) in the cell of the three vectors.
  for (const char* offset : {"(1,0,0)", "(-1,0,0)", "(0,1,0)", "(0,-1,0)", "(0,0,1)", "(0,0,-1)", "(1,1,1)", "(-1,-1,-1)"})
    EXPECT_NE(run.state.find(offset), std::string::npos) << offset << "\n" << run.state;
}

TEST(NeighborLists, TypedCasesAndEmptyBlocks) {
  // Rock salt on its primitive cell: Na gets its six Cl at a/2 = 2.82; Cl gets nothing under the
  // case, though its slots exist; a case of 0 neighbours owns no slot.
  const std::string nacl = "225\n5.64 5.64 5.64 90 90 90\n2\nNa a\nCl b\n";
  const PhaseRun run = run_phases("t\n" + nacl + nacl +
                                      "lattice 225 1,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1\n"
                                      "bonds2 Na Na 0 0.1\nbonds2 Na Cl 6 0.1\nbonds2 Cl * 1 0.1\n",
                                  [](duopath::Run& r) {
                                    std::string s = describe_neighbors(r);
                                    for (double m : r.neighbors.slot_max_change) s += std::to_string(m) + " ";
                                    return s;
                                  });
  const std::string& s = run.state;
  ASSERT_NE(s.find("atom 2:"), std::string::npos) << run.out;
  const std::string na = s.substr(0, s.find('\n'));
  const std::string cl = s.substr(s.find("atom 2:"), s.find('\n', s.find("atom 2:")) - s.find("atom 2:"));
  int six = 0;
  for (std::size_t p = 0; (p = na.find(" 2@2.8200(", p)) != std::string::npos; ++p) ++six;
  EXPECT_EQ(six, 6) << na;
  EXPECT_EQ(na.substr(na.size() - 2), " -") << na;  // Na is no Cl: its last slot stays empty
  // Cl: six empty Na-Cl slots, then its one nearest neighbour of any type, Na at 2.82.
  EXPECT_EQ(cl.substr(0, 20), "atom 2: - - - - - - ") << cl;
  EXPECT_NE(cl.find(" 1@2.8200("), std::string::npos) << cl;
  EXPECT_NE(s.find("0.100000 0.100000 0.100000 0.100000 0.100000 0.100000 0.100000 "), std::string::npos);
}

TEST(NeighborLists, TwoDimensionalModeStaysInTheLayer) {
  // Simple cubic layers 3 apart: in two-dimensional mode the six nearest images are the four in
  // the plane at 3 and two of the diagonals at 3 sqrt 2, none above or below.
  const std::string sc = "221\n3 3 3 90 90 90\n1\nX a\n";
  const PhaseRun run = run_phases("t\n" + sc + sc + "dim2\nlattice 221 1,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1\nbonds2 X X 6 0.1\n",
                                  describe_neighbors);
  const std::string& s = run.state;
  int in_plane = 0, diagonal = 0;
  for (std::size_t p = 0; (p = s.find("@3.0000(", p)) != std::string::npos; ++p) ++in_plane;
  for (std::size_t p = 0; (p = s.find("@4.2426(", p)) != std::string::npos; ++p) ++diagonal;
  EXPECT_EQ(in_plane, 4) << s;
  EXPECT_EQ(diagonal, 2) << s;
  EXPECT_EQ(s.find(",1)"), std::string::npos) << s;
  EXPECT_EQ(s.find(",-1)"), std::string::npos) << s;
}

TEST(NeighborLists, OutputAtomsBlock) {
  // The conventional cell of fcc holds 4 atoms: title, per crystal its header and 4 lines,
  // "Cells" and 27 cells (9 in two-dimensional mode). The shuffle limit keeps the mapping search
  // of the pair to the paths that leave every atom in place, which repeat within the primitive
  // cell: the run reports no path, and its last line before the closing lines says why.
  const std::string fcc = "225\n4 4 4 90 90 90\n1\nX a\n";
  const std::string keywords =
      "size 4 4\nlattice 221 1,0,0 0,1,0 0,0,1 1,0,0 0,1,0 0,0,1\noutput atoms\nshuffle 0.1\n";
  for (const auto& [mode, lines] : {std::pair{std::string(""), 39}, std::pair{std::string("dim2\n"), 21}}) {
    const auto run = duopath_test::run_duopath("t\n" + fcc + fcc + mode + keywords);
    EXPECT_EQ(run.status, 0);
    const std::size_t from = run.out.find("Positions of atoms\n");
    ASSERT_NE(from, std::string::npos) << run.out;
    const std::size_t why = run.out.find("\nNo path found: ", from);
    ASSERT_NE(why, std::string::npos) << run.out;
    const std::string block = run.out.substr(from, why + 1 - from);
    EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), lines) << block;
    EXPECT_NE(block.find("Crystal 1\n    1   1  0.00000000  0.00000000  0.00000000\n"), std::string::npos) << block;
    EXPECT_NE(block.find("Cells\n  1 -1 -1" + std::string(lines == 39 ? " -1\n" : "  0\n")), std::string::npos) << block;
    EXPECT_NE(block.find(lines == 39 ? " 14  0  0  0\n" : "  5  0  0  0\n"), std::string::npos) << block;
    EXPECT_NE(run.log.find("Positions of atoms\n"), std::string::npos);
  }
}

}  // namespace
