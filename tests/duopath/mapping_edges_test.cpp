// Edge cases of the atom-mapping search and of path acceptance on small hand-made common cells:
// the pin of atom 1, the map filters, two-dimensional mode, the distance limits (every pair held
// to the limits of both types), bond slots tested once both atoms are placed, the shuffle tests,
// bond counts, path symmetry, copies under symmetry, the repeat under a lattice translation, the
// denominator of the crystal-2 shift, and the stop at the 1000th saved mapping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "duopath/mapping_search.hpp"
#include "duopath/path_acceptance.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/duopath/mapping_fixture.hpp"

namespace {

using duopath::AtomMapping;
using duopath::MappingInput;
using duopath::MappingSearch;
using duopath::PathAcceptance;
using duopath::PathInput;
using duopath::Vec3;

constexpr int32_t kHome = 14;

struct Atom {
  int32_t type;
  Vec3 x;
};

// Both crystals in cubic cells of edges a1 and a2, no limits, identity the only common operation.
MappingInput cubic(double a1, double a2, const std::vector<Atom>& c1, const std::vector<Atom>& c2,
                   int32_t type_count = 2) {
  MappingInput in;
  in.atom_count = static_cast<int32_t>(c1.size());
  for (const Atom& a : c1) {
    in.types1.push_back(a.type);
    in.positions1.push_back(a.x);
  }
  for (const Atom& a : c2) {
    in.types2.push_back(a.type);
    in.positions2.push_back(a.x);
  }
  in.cartesian_cell1 = {a1, 0, 0, 0, a1, 0, 0, 0, a1};
  in.cartesian_cell2 = {a2, 0, 0, 0, a2, 0, 0, 0, a2};
  in.metric2 = {a2 * a2, 0, 0, 0, a2 * a2, 0, 0, 0, a2 * a2};
  in.type_count = type_count;
  return in;
}

PathInput identity_only(double nearest1, double nearest2) {
  PathInput p;
  p.cell1 = p.cell2 = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  p.common_ops1 = p.common_ops2 = {{0, 0, 0, 1, 1}};
  p.common_rotations = {{1, 0, 0, 0, 1, 0, 0, 0, 1}};
  p.internal_translations = {{0, 0, 0, 1}};
  p.operators2 = {{0, 0, 0, 1, 1}};
  p.nearest_distance1 = nearest1;
  p.nearest_distance2 = nearest2;
  return p;
}

// Every atom prescribed onto its own copy in the home cell.
void map_identity(MappingInput& in) {
  in.map_given = true;
  in.atom_map.clear();
  for (int32_t i = 1; i <= in.atom_count; ++i) in.atom_map.push_back({i, kHome});
}

std::vector<AtomMapping> complete_mappings(const MappingInput& in) {
  std::vector<AtomMapping> out;
  MappingSearch(in).run([&](const AtomMapping& m) { out.push_back(m); });
  return out;
}

TEST(MappingSearchEdges, PinMapAndCellFilters) {
  // One atom per crystal: only partner 1 in the home cell, and nothing when the types differ.
  {
    auto in = cubic(3, 3, {{1, {0, 0, 0}}}, {{1, {0.1, 0, 0}}});
    MappingSearch s(in);
    auto got = complete_mappings(in);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].partner[0], 1);
    EXPECT_EQ(got[0].partner_cell[0], kHome);
    s.run([](const AtomMapping&) {});
    EXPECT_EQ(s.trial_count, 1);
    EXPECT_TRUE(complete_mappings(cubic(3, 3, {{1, {0, 0, 0}}}, {{2, {0, 0, 0}}})).empty());
  }
  // cell2_size 2: atom 1 only onto the unshifted copies 1 and 3, in the home cell; atom 2 onto
  // every free partner in all 27 cells, starting with (-1,-1,-1).
  {
    auto in = cubic(4, 4, {{1, {0.1, 0.1, 0.1}}, {1, {0.6, 0.1, 0.1}}, {1, {0.1, 0.6, 0.1}}, {1, {0.6, 0.6, 0.1}}},
                    {{1, {0, 0, 0}}, {1, {0.5, 0, 0}}, {1, {0, 0.5, 0}}, {1, {0.5, 0.5, 0}}}, 1);
    in.cell2_size = 2;
    auto got = complete_mappings(in);
    std::set<int32_t> first_partners, first_cells;
    for (const auto& m : got) {
      first_partners.insert(m.partner[0]);
      first_cells.insert(m.partner_cell[0]);
    }
    EXPECT_EQ(first_partners, (std::set<int32_t>{1, 3}));
    EXPECT_EQ(first_cells, (std::set<int32_t>{kHome}));
    EXPECT_EQ(got.size(), 2u * 3 * 2 * 1 * 27 * 27 * 27);
    EXPECT_EQ(got[0].partner, (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(got[0].partner_cell, (std::vector<int32_t>{kHome, 1, 1, 1}));
  }
  // A map that leaves atom 1 free lets it take every partner and every cell; a map line with
  // partner 2 and cell 0 holds atom 2 to partner 2 in every cell.
  {
    auto in = cubic(4, 4, {{1, {0.1, 0.1, 0.1}}, {1, {0.6, 0.1, 0.1}}, {1, {0.1, 0.6, 0.3}}},
                    {{1, {0, 0, 0}}, {1, {0.5, 0, 0}}, {1, {0, 0.5, 0}}}, 1);
    in.map_given = true;
    in.atom_map = {{0, 0}, {2, 0}, {0, 0}};
    auto got = complete_mappings(in);
    std::set<int32_t> partners1, cells1, partners2, cells2;
    for (const auto& m : got) {
      partners1.insert(m.partner[0]);
      cells1.insert(m.partner_cell[0]);
      partners2.insert(m.partner[1]);
      cells2.insert(m.partner_cell[1]);
    }
    EXPECT_EQ(partners1, (std::set<int32_t>{1, 3}));
    EXPECT_EQ(cells1.size(), 27u);
    EXPECT_EQ(partners2, (std::set<int32_t>{2}));
    EXPECT_EQ(cells2.size(), 27u);
    EXPECT_EQ(got.size(), 2u * 27 * 27 * 27);
  }
  // Two-dimensional mode: 9 cells with third component 0, home cell 5; a prescribed cell above 9
  // is never met.
  {
    auto in = cubic(4, 4, {{1, {0, 0, 0}}, {1, {0.5, 0.5, 0.2}}}, {{1, {0, 0, 0}}, {1, {0.5, 0.5, 0.3}}}, 1);
    in.dim2 = true;
    auto got = complete_mappings(in);
    ASSERT_EQ(got.size(), 18u);  // atom 1 onto either partner (cell2_size 1), atom 2 in 9 cells
    EXPECT_EQ(got[0].partner_cell[0], 5);
    EXPECT_EQ(got[8].partner_cell[1], 9);
    in.map_given = true;
    in.atom_map = {{0, 0}, {2, 10}};
    EXPECT_TRUE(complete_mappings(in).empty());
    in.atom_map = {{0, 0}, {2, 5}};
    EXPECT_EQ(complete_mappings(in).size(), 9u);  // atom 1 free: 9 cells
  }
}

TEST(MappingSearchEdges, DistanceLimits) {
  struct Case {
    const char* name;
    std::vector<Atom> atoms;  // both crystals alike, identity mapping prescribed
    double min_distance;
    std::vector<double> type_limits;  // Si, O
    bool passes;
  };
  // Si type 1, O type 2, in a cubic cell of 10: fractional 0.1 is 1.0.
  const Vec3 si{0.5, 0.5, 0.5};
  const std::vector<Case> cases = {
      // The O-O approach of 1.5 breaks the O limit even though the O atom came closer to Si
      // (limit 0) first.
      {"masked O-O", {{1, si}, {2, {0.5, 0.5, 0.75}}, {2, {0.5, 0.5, 0.6}}}, 0.0, {0.0, 2.0}, false},
      {"O-O limit kept", {{1, si}, {2, {0.5, 0.5, 0.75}}, {2, {0.5, 0.5, 0.6}}}, 0.0, {0.0, 0.9}, true},
      // An O-Si approach of 1.5 under an O limit of 2.0, whichever atom comes first.
      {"O-Si, Si first", {{1, si}, {2, {0.5, 0.5, 0.65}}}, 0.0, {0.0, 2.0}, false},
      {"O-Si, O first", {{2, {0.5, 0.5, 0.65}}, {1, si}}, 0.0, {0.0, 2.0}, false},
      {"O-Si under Si limit, Si first", {{1, si}, {2, {0.5, 0.5, 0.65}}}, 0.0, {2.0, 0.0}, false},
      {"O-Si under Si limit, O first", {{2, {0.5, 0.5, 0.65}}, {1, si}}, 0.0, {2.0, 0.0}, false},
      {"global limit", {{1, si}, {2, {0.5, 0.5, 0.65}}}, 1.6, {}, false},
      {"global limit met", {{1, si}, {2, {0.5, 0.5, 0.65}}}, 1.4, {}, true},
      // Two atoms 0.4 apart at the start.
      {"close at the start", {{1, si}, {1, {0.5, 0.5, 0.54}}}, 0.5, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto in = cubic(10, 10, c.atoms, c.atoms);
    in.min_distance = c.min_distance;
    in.type_min_distance = c.type_limits;
    map_identity(in);
    EXPECT_EQ(complete_mappings(in).size(), c.passes ? 1u : 0u);
  }
}

TEST(MappingSearchEdges, ClosestApproachAlongThePath) {
  // Two atoms that swap places along x pass within 0.4 of each other at the middle of the path
  // (their paths are 0.4 apart in y); a limit of 0.5 rejects, 0.3 keeps the mapping.
  const std::vector<Atom> start = {{1, {0.4, 0.48, 0.5}}, {1, {0.6, 0.52, 0.5}}};
  const std::vector<Atom> end = {{1, {0.6, 0.48, 0.5}}, {1, {0.4, 0.52, 0.5}}};
  auto in = cubic(10, 10, start, end, 1);
  map_identity(in);
  auto got = complete_mappings(in);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_NEAR(got[0].closest_approach[1], 0.4, 1e-12);
  EXPECT_NEAR(got[0].closest_approach[0], 10.0, 1e-12);  // its own images
  in.min_distance = 0.5;
  EXPECT_TRUE(complete_mappings(in).empty());
  in.min_distance = 0.3;
  EXPECT_EQ(complete_mappings(in).size(), 1u);

  // Equal displacements (w = 0): the separation stays that of the start.
  auto same = cubic(10, 10, {{1, {0.4, 0.5, 0.5}}, {1, {0.6, 0.5, 0.5}}},
                    {{1, {0.45, 0.5, 0.5}}, {1, {0.65, 0.5, 0.5}}}, 1);
  map_identity(same);
  got = complete_mappings(same);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_NEAR(got[0].closest_approach[1], 2.0, 1e-12);
}

TEST(MappingSearchEdges, BondsAndShuffle) {
  const std::vector<Atom> c1 = {{1, {0.0, 0.0, 0.0}}, {2, {0.5, 0.5, 0.5}}};
  const std::vector<Atom> c2 = {{1, {0.0, 0.0, 0.0}}, {2, {0.5, 0.5, 0.5}}};
  auto base = cubic(4, 4, c1, c2);
  const size_t all = complete_mappings(base).size();
  EXPECT_EQ(all, 27u);
  // A bond length below every distance of crystal 1 constrains nothing.
  auto bonds = base;
  bonds.bonds_given = true;
  bonds.bond_length = 1.0;
  EXPECT_EQ(complete_mappings(bonds).size(), all);
  // Bonds of 3.47 (the Si-O distance) must stay bonds: only the 8 cells that keep O next to Si.
  bonds.bond_length = 3.5;
  EXPECT_EQ(complete_mappings(bonds).size(), 1u);
  // A shuffle limit on type 2 alone: the half range of one O atom is 0, so all mappings pass the
  // search; the overall range of Si (0) and O (up to 4) is what max_shuffle would limit.
  auto shuffle = base;
  shuffle.shuffle_given = true;
  shuffle.type_max_shuffle = {1e9, 0.5};
  EXPECT_EQ(complete_mappings(shuffle).size(), all);
  shuffle.max_shuffle = 1.9;  // half range of 4 in one component is 2
  EXPECT_EQ(complete_mappings(shuffle).size(), 1u);
}

TEST(MappingSearchEdges, BondSlotTestedOnceBothAtomsArePlaced) {
  // A Si-O bond of crystal 1 (length 3.4641, the Si at the origin and O at the body centre of a
  // cube of 4) ends 0.5 longer in crystal 2's metric. Whichever atom owns the slot, and whichever
  // comes first, the change is tested and folded into the later atom's value.
  struct Case {
    bool si_first;
    bool owner_is_first;
  };
  for (const Case c : {Case{true, true}, Case{true, false}, Case{false, true}, Case{false, false}}) {
    SCOPED_TRACE(std::string(c.si_first ? "Si first" : "O first") +
                 (c.owner_is_first ? ", slot of atom 1" : ", slot of atom 2"));
    const Atom si{1, {0, 0, 0}}, o{2, {0.5, 0.5, 0.5}};
    std::vector<Atom> atoms = c.si_first ? std::vector<Atom>{si, o} : std::vector<Atom>{o, si};
    const double a2 = 4.0 + 0.5 / std::sqrt(0.75);
    auto in = cubic(4, a2, atoms, atoms);
    map_identity(in);
    in.bond_neighbor_total = 1;
    const int32_t owner = c.owner_is_first ? 1 : 2;
    in.neighbor_atom = owner == 1 ? std::vector<int32_t>{2, 0} : std::vector<int32_t>{0, 1};
    in.neighbor_offset = {{0, 0, 0}, {0, 0, 0}};
    in.neighbor_distance = {std::sqrt(12.0), std::sqrt(12.0)};
    in.slot_max_change = {0.6};
    auto got = complete_mappings(in);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NEAR(got[0].atom_bond_change[1], 0.5, 1e-12);
    EXPECT_EQ(got[0].atom_bond_change[0], 0.0);
    in.slot_max_change = {0.4};
    EXPECT_TRUE(complete_mappings(in).empty());
  }
}

struct Accepted {
  AtomMapping mapping;
  duopath::PathValues values;
};

std::vector<Accepted> accepted_paths(const MappingInput& in, const PathInput& p, int32_t* rejected = nullptr) {
  std::vector<Accepted> out;
  PathAcceptance acceptance(in, p);
  acceptance.start_pair();
  int32_t number = 0, dropped = 0;
  MappingSearch(in).run([&](const AtomMapping& m) {
    if (acceptance.accept(m, number)) {
      out.push_back({m, acceptance.values});
    } else {
      ++dropped;
    }
  });
  EXPECT_EQ(number, static_cast<int32_t>(out.size()));
  if (rejected != nullptr) *rejected = dropped;
  return out;
}

TEST(PathAcceptanceEdges, FinalShuffleAndBonds) {
  // O moves by 0.1 of the cell along x and Si by -0.1: lengths 0.29 in crystal 1 (edge 2.9) and
  // 0.31 in crystal 2 (edge 3.1). An O limit of 0.3 rejects the path in the second metric.
  const std::vector<Atom> c1 = {{1, {0.75, 0.75, 0.75}}, {2, {0.25, 0.25, 0.25}}};
  const std::vector<Atom> c2 = {{1, {0.65, 0.75, 0.75}}, {2, {0.35, 0.25, 0.25}}};
  auto in = cubic(2.9, 3.1, c1, c2);
  map_identity(in);
  in.shuffle_given = true;
  in.type_max_shuffle = {1e9, 0.3};
  const PathInput p = identity_only(2.5, 2.5);
  EXPECT_TRUE(accepted_paths(in, p).empty());
  in.type_max_shuffle = {1e9, 0.32};
  auto got = accepted_paths(in, p);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_NEAR(got[0].values.max_atomic_shuffle, 0.31, 1e-12);
  // Without a shuffle limit the value is still computed.
  in.shuffle_given = false;
  got = accepted_paths(in, p);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_NEAR(got[0].values.max_atomic_shuffle, 0.31, 1e-12);
  EXPECT_NEAR(got[0].values.mean_displacement[0], 0.0, 1e-15);

  // A single atom of a simple cubic cell: six images within 1.01 times the nearest distance,
  // counted as image and opposite; a cell of 3.1 at the end breaks them past 1.01 times 3.0.
  auto one = cubic(3, 3, {{1, {0, 0, 0}}}, {{1, {0, 0, 0}}}, 1);
  got = accepted_paths(one, identity_only(3, 3));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].values.bond_count, 6);
  EXPECT_EQ(got[0].values.broken_bond_count, 0);
  auto stretched = cubic(3, 3.1, {{1, {0, 0, 0}}}, {{1, {0, 0, 0}}}, 1);
  got = accepted_paths(stretched, identity_only(3, 3));
  EXPECT_EQ(got[0].values.broken_bond_count, 6);
}

// Identity, inversion, two-fold rotation about z and the mirror normal to z.
PathInput group_2m(double nearest) {
  PathInput p = identity_only(nearest, nearest);
  const std::vector<sgl::Mat3i> rot = {{1, 0, 0, 0, 1, 0, 0, 0, 1},
                                       {-1, 0, 0, 0, -1, 0, 0, 0, -1},
                                       {-1, 0, 0, 0, -1, 0, 0, 0, 1},
                                       {1, 0, 0, 0, 1, 0, 0, 0, -1}};
  p.common_rotations = rot;
  p.common_ops1 = p.common_ops2 = p.operators2 = {};
  for (int32_t k = 1; k <= 4; ++k) {
    p.common_ops1.push_back({0, 0, 0, 1, k});
    p.common_ops2.push_back({0, 0, 0, 1, k});
    p.operators2.push_back({0, 0, 0, 1, k});
  }
  return p;
}

TEST(PathAcceptanceEdges, SymmetryCopiesAndRepeats) {
  // Identical crystals, identity mapping: every operation is a path symmetry.
  auto one = cubic(3, 3, {{1, {0, 0, 0}}}, {{1, {0, 0, 0}}}, 1);
  auto got = accepted_paths(one, group_2m(3));
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].values.path_symmetry_count, 4);
  for (int32_t k = 0; k < 4; ++k) {
    EXPECT_EQ(got[0].values.path_symmetry_ops1[k], (sgl::SpaceOp{0, 0, 0, 1, k + 1}));
    EXPECT_EQ(got[0].values.path_symmetry_ops2[k], (sgl::SpaceOp{0, 0, 0, 1, k + 1}));
  }

  // Si at the corner and O at the body centre, Si held in the home cell by a map and O free:
  // with the inversion, O moving into cell m and into the opposite cell are copies; the first of
  // each pair in the search order stays, and the move into the home cell is symmetric.
  auto pair = cubic(3, 3, {{1, {0, 0, 0}}, {2, {0.5, 0.5, 0.5}}}, {{1, {0, 0, 0}}, {2, {0.5, 0.5, 0.5}}});
  pair.map_given = true;
  pair.atom_map = {{1, kHome}, {0, 0}};
  PathInput centro = identity_only(2.5, 2.5);
  centro.common_rotations.push_back({-1, 0, 0, 0, -1, 0, 0, 0, -1});
  centro.common_ops1.push_back({0, 0, 0, 1, 2});
  centro.common_ops2.push_back({0, 0, 0, 1, 2});
  centro.operators2.push_back({0, 0, 0, 1, 2});
  int32_t rejected = 0;
  got = accepted_paths(pair, centro, &rejected);
  ASSERT_EQ(got.size(), 14u);
  EXPECT_EQ(rejected, 13);
  EXPECT_EQ(got.back().mapping.partner_cell[1], kHome);
  EXPECT_EQ(got.back().values.path_symmetry_count, 2);
  EXPECT_EQ(got.front().values.path_symmetry_count, 1);
  // Without the inversion no two of the 27 fields are alike.
  EXPECT_EQ(accepted_paths(pair, identity_only(2.5, 2.5)).size(), 27u);
  // The inversion tabulated about another centre is no operation of crystal 2: the symmetric
  // path loses it, while the copies are still recognised.
  centro.operators2[1] = {1, 0, 0, 2, 2};
  got = accepted_paths(pair, centro, &rejected);
  ASSERT_EQ(got.size(), 14u);
  EXPECT_EQ(got.back().values.path_symmetry_count, 1);

  // A single atom: after the mean displacement is removed every move is the same null field,
  // and identical fields are never copies of each other.
  one.map_given = true;
  one.atom_map = {{0, 0}};
  EXPECT_EQ(accepted_paths(one, centro).size(), 27u);

  // A common cell of two primitive cells of both crystals along a: the identity path repeats
  // itself under the half translation, which is also a translation of crystal 2.
  auto two = cubic(4, 4, {{1, {0, 0, 0}}, {1, {0.5, 0, 0}}}, {{1, {0, 0, 0}}, {1, {0.5, 0, 0}}}, 1);
  map_identity(two);
  PathInput doubled = identity_only(2, 2);
  doubled.cell_size = 2;
  doubled.cell1 = {2, 0, 0, 0, 1, 0, 0, 0, 1};
  doubled.internal_translations = {{0, 0, 0, 1}, {1, 0, 0, 2}};
  two.cell2_size = 2;
  doubled.cell2 = doubled.cell1;
  EXPECT_TRUE(accepted_paths(two, doubled).empty());
  // When crystal 2 has no such translation, the operation is dropped and the path stays.
  two.cell2_size = 1;
  doubled.cell2 = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  got = accepted_paths(two, doubled);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].values.path_symmetry_count, 1);
}

TEST(PathAcceptanceEdges, ShiftDenominator) {
  struct Case {
    double x;
    int32_t cap;
    bool fits;
    int32_t numerator, denominator;
  };
  const std::vector<Case> cases = {
      {1.0 / 3.0, 100, true, 1, 3},
      {-0.25, 100, true, -1, 4},
      {0.5 + 4e-7, 100, true, 1, 2},
      {1.0 / 105.0, duopath::shift_denominator_cap(5, 7), true, 1, 105},
      {1.0 / 105.0, 100, false, 0, 0},
      {1.0 / 144.0, duopath::shift_denominator_cap(4, 3), true, 1, 144},
      {std::sqrt(2.0) / 10.0, duopath::shift_denominator_cap(5, 7), false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    int32_t n = 0, d = 0;
    ASSERT_EQ(duopath::fraction_of(c.x, c.cap, n, d), c.fits);
    if (c.fits) {
      EXPECT_EQ(n, c.numerator);
      EXPECT_EQ(d, c.denominator);
    }
  }
  EXPECT_EQ(duopath::shift_denominator_cap(1, 1), 100);
  EXPECT_EQ(duopath::shift_denominator_cap(4, 3), 144);
  EXPECT_EQ(duopath::shift_denominator_cap(5, 7), 420);
}

TEST(PathAcceptanceEdges, ThousandthSavedMappingStops) {
  // Three atoms of one type in P1, both crystals alike: 2 x 27 x 27 mappings, none alike, so the
  // 1000th acceptance stops the run after 999 paths.
  const std::vector<Atom> atoms = {{1, {0.1, 0.2, 0.3}}, {1, {0.5, 0.6, 0.2}}, {1, {0.8, 0.3, 0.7}}};
  auto in = cubic(4, 4, atoms, atoms, 1);
  const PathInput p = identity_only(2, 2);
  PathAcceptance acceptance(in, p);
  acceptance.start_pair();
  int32_t number = 0, accepted = 0;
  sgl::testing::BombTrap trap;
  ::testing::internal::CaptureStdout();
  bool bombed = false;
  try {
    MappingSearch(in).run([&](const AtomMapping& m) { accepted += acceptance.accept(m, number); });
  } catch (const sgl::testing::Bombed&) {
    bombed = true;
  }
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(bombed);
  EXPECT_EQ(accepted, 999);
  EXPECT_EQ(number, 1000);
  EXPECT_EQ(out, "Error: maxsave too small\n");
}

}  // namespace

namespace {

// Rock salt (a = 5.64) to the caesium chloride type at the same volume per atom, in the
// primitive cell of rock salt: the rhombohedron of 60 degrees becomes the cube, Cl at the body
// centre. Each Na atom holds its six nearest Cl images ("bonds2 Na Cl 6 <change>"); with Na
// first these slots point to a later atom. Returns the complete mappings.
std::vector<AtomMapping> rock_salt_to_caesium_chloride(bool sodium_first, double max_change) {
  const double a = 5.64;
  const double b = std::cbrt(a * a * a / 4.0);
  const Vec3 na{0, 0, 0}, cl{0.5, 0.5, 0.5};
  const std::vector<Atom> atoms =
      sodium_first ? std::vector<Atom>{{1, na}, {2, cl}} : std::vector<Atom>{{2, cl}, {1, na}};
  MappingInput in = cubic(1, 1, atoms, atoms);
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < 3; ++k) {
      in.cartesian_cell1[i * 3 + k] = a / 2 * (1.0 - (i == k));
      // The cube turned by 180 degrees about [111], so that the stretch carries no rotation.
      in.cartesian_cell2[i * 3 + k] = b * (2.0 / 3.0 - (i == k));
    }
  }
  in.metric2 = duopath::testing::metric_of(in.cartesian_cell2);
  const int32_t sodium = sodium_first ? 1 : 2, chlorine = 3 - sodium;
  struct Image {
    double d;
    duopath::CellShift l;
  };
  std::vector<Image> images;
  for (int32_t l1 = -2; l1 <= 2; ++l1) {
    for (int32_t l2 = -2; l2 <= 2; ++l2) {
      for (int32_t l3 = -2; l3 <= 2; ++l3) {
        const Vec3 v{cl[0] + l1 - na[0], cl[1] + l2 - na[1], cl[2] + l3 - na[2]};
        images.push_back({duopath::testing::norm(duopath::testing::cart(in.cartesian_cell1, v)), {l1, l2, l3}});
      }
    }
  }
  std::stable_sort(images.begin(), images.end(), [](const Image& x, const Image& y) { return x.d < y.d; });
  in.bond_neighbor_total = 6;
  in.neighbor_atom.assign(12, 0);
  in.neighbor_offset.assign(12, {0, 0, 0});
  in.neighbor_distance.assign(12, 0.0);
  for (int32_t s = 0; s < 6; ++s) {
    const size_t k = static_cast<size_t>(sodium - 1) * 6 + s;
    in.neighbor_atom[k] = chlorine;
    in.neighbor_offset[k] = images[s].l;
    in.neighbor_distance[k] = images[s].d;
  }
  in.slot_max_change.assign(6, max_change);
  return complete_mappings(in);
}

TEST(MappingSearchEdges, BondChangeIndependentOfTheOrderOfTheAtoms) {
  EXPECT_TRUE(rock_salt_to_caesium_chloride(true, 0.05).empty());
  EXPECT_TRUE(rock_salt_to_caesium_chloride(false, 0.05).empty());
  const auto first = rock_salt_to_caesium_chloride(true, 0.3);
  const auto second = rock_salt_to_caesium_chloride(false, 0.3);
  ASSERT_EQ(first.size(), second.size());
  ASSERT_FALSE(first.empty());
  const double expected = std::cbrt(5.64 * 5.64 * 5.64 / 4.0) * std::sqrt(0.75) - 5.64 / 2;
  for (size_t i = 0; i < first.size(); ++i) {
    const double c1 = *std::max_element(first[i].atom_bond_change.begin(), first[i].atom_bond_change.end());
    const double c2 = *std::max_element(second[i].atom_bond_change.begin(), second[i].atom_bond_change.end());
    EXPECT_NEAR(c1, c2, 1e-12);
    EXPECT_NEAR(c1, expected, 1e-9);
  }
}

}  // namespace
