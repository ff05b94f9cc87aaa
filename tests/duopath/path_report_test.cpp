// The common subgroup of a path and its report, on paths built by hand: the Bain path of iron
// (fcc to bcc through I4/mmm) and the identity path of NaCl; and the text builders and the
// rationalisation of crystal 2's origin as tables of cases.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "duopath/path_report.hpp"
#include "duopath/path_subgroup.hpp"
#include "library/groups/space_group.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/text/text_io.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/text_io_child.hpp"

namespace {

using duopath::SubgroupOrbit;

class PathReport : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sgl::load_common_space(SGL_DATA_DIR);
    sgl::load_common_wyckoff(SGL_DATA_DIR);
  }
};

std::vector<std::array<int32_t, 3>> neighbor_cells() {
  std::vector<std::array<int32_t, 3>> cells;
  for (int i = -1; i <= 1; ++i)
    for (int j = -1; j <= 1; ++j)
      for (int k = -1; k <= 1; ++k) cells.push_back({i, j, k});
  return cells;
}

// The operators of a group in "pml" whose rotation keeps the conventional c axis (all of them
// when `all`).
std::vector<sgl::SpaceOp> operators(int32_t group, bool all) {
  const auto& cs = sgl::common_space();
  int32_t n = 0;
  std::array<sgl::SpaceOp, 48> ops{};
  sgl::generate_space_group(cs, group, n, ops);
  std::vector<sgl::SpaceOp> kept;
  for (int32_t k = 0; k < n; ++k) {
    const int32_t p = ops[static_cast<std::size_t>(k)][4];
    if (all || (cs.point_op_rot(1, 3, p) == 0 && cs.point_op_rot(2, 3, p) == 0)) kept.push_back(ops[static_cast<std::size_t>(k)]);
  }
  return kept;
}

std::array<double, 9> cubic_cartesian(double a) { return {a, 0, 0, 0, a, 0, 0, 0, a}; }

// One atom (type 1 on Wyckoff a) at the origin of the fcc primitive cell, carried into bcc: the
// common cell is fcc's primitive cell, in bcc's primitive coordinates the vectors (1,0,0),
// (1,1,1) and (1,0,1) (the Bain correspondence, a unimodular pair of cell size 1).
duopath::AcceptedPath bain_path() {
  duopath::AcceptedPath p;
  p.space_group = {225, 229};
  p.lines1 = {{1, 1, {}}};
  p.max_type_name_length = 2;
  p.conventional_cartesian = {cubic_cartesian(3.591), cubic_cartesian(2.866)};
  p.neighbor_cells = neighbor_cells();
  p.cell1 = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  p.cell2 = {1, 0, 0, 1, 1, 1, 1, 0, 1};
  p.principal_stretches = {1.129, 1.129, 0.798};
  p.common_atom_count = 1;
  p.common_types1 = {1};
  p.stage1 = {std::vector<std::array<double, 3>>{{0, 0, 0}}, std::vector<std::array<double, 3>>{{0, 0, 0}}};
  p.stage2 = p.stage1;
  p.partner = {1};
  p.partner_cell = {14};
  p.mapping_number = 1;
  p.nearest_approach = 2.482;
  p.max_atomic_shuffle = 0.0;
  p.bond_count = 12;
  p.broken_bond_count = 4;
  p.path_symmetry_ops1 = operators(225, false);
  return p;
}

// The identity path of NaCl (Na on a, Cl on b): every operation of Fm-3m keeps it.
duopath::AcceptedPath nacl_path() {
  duopath::AcceptedPath p = bain_path();
  p.space_group = {225, 225};
  p.lines1 = {{1, 1, {}}, {2, 2, {}}};
  p.conventional_cartesian = {cubic_cartesian(5.64), cubic_cartesian(5.64)};
  p.cell2 = p.cell1;
  p.common_atom_count = 2;
  p.common_types1 = {1, 2};
  p.stage1 = {std::vector<std::array<double, 3>>{{0, 0, 0}, {0.5, 0.5, 0.5}},
              std::vector<std::array<double, 3>>{{0, 0, 0}, {0.5, 0.5, 0.5}}};
  p.stage2 = p.stage1;
  p.partner = {1, 2};
  p.partner_cell = {14, 14};
  p.path_symmetry_ops1 = operators(225, true);
  return p;
}

struct Outcome {
  std::string out, log;
  std::vector<bool> kept;
  duopath::PathSubgroup subgroup;
  duopath::PathReport report;
};

// Runs the subgroup phase and, for a kept mapping, the report, on each path in turn, with one
// path count and separator flag, as the search would; collects standard output and the log.
Outcome run_paths(const std::vector<duopath::AcceptedPath>& paths, const duopath::KeywordSettings& settings,
                  const duopath::AtomTypes& types) {
  Outcome o;
  const std::string dir = text_io_test::temp_dir();
  sgl::open_unit(30, dir + "/duopath.log", "UNKNOWN", "FORMATTED");
  bool separator = true;
  int32_t path_count = 0;
  const duopath::PathOutput out{settings, types, separator, 30};
  ::testing::internal::CaptureStdout();
  for (const auto& path : paths) {
    const bool kept = duopath::path_subgroup(path, 8, out, o.subgroup);
    if (kept) duopath::path_report(path, o.subgroup, out, path_count, o.report);
    o.kept.push_back(kept);
  }
  sgl::flush(6);
  o.out = ::testing::internal::GetCapturedStdout();
  sgl::close_unit(30);
  o.log = text_io_test::slurp(dir + "/duopath.log");
  std::system(("rm -rf '" + dir + "'").c_str());
  return o;
}

duopath::AtomTypes fe_types() {
  duopath::AtomTypes t;
  t.add("Fe");
  return t;
}

// The reviewed report of the Bain path (tests/duopath/golden/bain_report.log; the crystals it
// describes are rebuilt with cctbx and checked with spglib by tools/tests/test_duopath_report.py). I4/mmm's cell is (a/sqrt 2, a/sqrt 2, a) in fcc and the
// cubic cell in bcc, so the stretches are 2.866 sqrt 2 / 3.591 = 1.129 and 2.866 / 3.591 = 0.798;
// the basis (-A, -B, C) of the body-centred cell A = (1/2,-1/2,0), B = (1/2,1/2,0), C = (0,0,1)
// of fcc is carried by the Bain correspondence onto (-1,0,0), (0,-1,0), (0,0,1) of bcc; the
// midpoint's mean lengths (2.7026, 3.2285) are scaled by (23.581 / 23.347)^(1/3) = 1.00333 to
// the mean volume (3.591^3 / 2 + 2.866^3) / 2.
TEST_F(PathReport, BainPathGolden) {
  const Outcome o = run_paths({bain_path()}, {}, fe_types());
  ASSERT_EQ(o.kept, std::vector<bool>{true});
  EXPECT_EQ(o.subgroup.common_subgroup, 139);
  const std::string report = text_io_test::slurp(std::string(SGL_SOURCE_DIR) + "/tests/duopath/golden/bain_report.log");
  EXPECT_EQ(o.log, report);
  EXPECT_EQ(o.out, " \n" + report);
  // The midpoint cell really has the mean volume.
  const auto& mid = o.report.cell_parameters[2];
  EXPECT_NEAR(mid[0] * mid[1] * mid[2], (3.591 * 3.591 * 3.591 / 2 + 2.866 * 2.866 * 2.866) / 2, 1e-9);
  EXPECT_NEAR(o.report.cell_volume[0], 3.591 * 3.591 * 3.591 / 2, 1e-9);
}

// The identity path of NaCl keeps all of Fm-3m: one orbit per Wyckoff line.
TEST_F(PathReport, IdentityPathKeepsTheWholeGroup) {
  duopath::AtomTypes types;
  types.add("Na");
  types.add("Cl");
  const Outcome o = run_paths({nacl_path()}, {}, types);
  ASSERT_EQ(o.kept, std::vector<bool>{true});
  EXPECT_EQ(o.subgroup.common_subgroup, 225);
  ASSERT_EQ(o.subgroup.orbits.size(), 2u);
  EXPECT_EQ(o.subgroup.orbits[1].line, 2);
  EXPECT_EQ(o.subgroup.orbits[1].type, 2);
  EXPECT_EQ(o.subgroup.orbits[1].wyckoff, 2);
  EXPECT_EQ(o.subgroup.origin[1], (sgl::RationalVector{0, 0, 0, 1}));
  EXPECT_NE(o.log.find("  Lattice: (1,0,0),(0,1,0),(0,0,1)\n  Origin: (0,0,0)\n"
                       "  Lattice parameters:    5.6400   5.6400   5.6400  90.0000  90.0000  90.0000\n"
                       "  Na a\n  Cl b\n"),
            std::string::npos)
      << o.log;
  EXPECT_NE(o.log.find("At midpoint:\n  Lattice parameters:    5.6400   5.6400   5.6400  90.0000  90.0000  90.0000\n"),
            std::string::npos);
}

// A free parameter that differs between the ends: P4/mmm 2g (0,0,z) with z = 0.3 in crystal 1 and
// 0.35 in crystal 2; the parameter of crystal 2 is solved from the atom's end position, and the
// midpoint takes the plain mean.
TEST_F(PathReport, ParametersOfBothEndsAndTheMidpoint) {
  duopath::AcceptedPath p = bain_path();
  p.space_group = {123, 123};
  const auto& cw = sgl::common_wyckoff();
  ASSERT_EQ(cw.wyc_label(cw.wyc_first(123) + 6).trimmed(), "2g");
  p.lines1 = {{1, 7, {0.0, 0.0, 0.3}}};
  p.conventional_cartesian = {std::array<double, 9>{3, 0, 0, 0, 3, 0, 0, 0, 4}, std::array<double, 9>{3, 0, 0, 0, 3, 0, 0, 0, 4}};
  p.cell2 = p.cell1;
  p.common_atom_count = 2;
  p.common_types1 = {1, 1};
  p.stage1 = {std::vector<std::array<double, 3>>{{0, 0, 0.3}, {0, 0, 0.7}},
              std::vector<std::array<double, 3>>{{0, 0, 0.35}, {0, 0, 0.65}}};
  p.stage2 = {p.stage1[0], std::vector<std::array<double, 3>>{{0, 0, 0.35}, {0, 0, 0.65}}};
  p.partner = {1, 2};
  p.partner_cell = {14, 14};
  p.path_symmetry_ops1 = operators(123, true);
  const Outcome o = run_paths({p}, {}, fe_types());
  ASSERT_EQ(o.kept, std::vector<bool>{true});
  EXPECT_EQ(o.subgroup.common_subgroup, 123);
  ASSERT_EQ(o.subgroup.orbits.size(), 1u);
  const auto& orbit = o.subgroup.orbits[0];
  EXPECT_EQ(orbit.wyckoff, 7);
  EXPECT_NEAR(orbit.params[0][2], 0.3, 1e-12);
  EXPECT_NEAR(orbit.params[1][2], 0.35, 1e-12);
  EXPECT_NEAR(orbit.params[2][2], 0.325, 1e-12);
  EXPECT_EQ(orbit.params[1][0], 0.0);
  EXPECT_NE(o.log.find("  Fe g  z'= 0.30000\n"), std::string::npos) << o.log;
  EXPECT_NE(o.log.find("  Fe g  z'= 0.35000\n"), std::string::npos) << o.log;
  EXPECT_NE(o.log.find("At midpoint:\n  Lattice parameters:    3.0000   3.0000   4.0000  90.0000  90.0000  90.0000\n"
                       "  Fe g  z'= 0.32500\n"),
            std::string::npos)
      << o.log;
}

// Trace runs: the mapping's trace block with its separator; a subgroup outside the range is
// skipped with a "skip" line and takes no number; "trace map" stops after the block without
// identifying anything. Reported paths are numbered 1, 2, 3 in order.
TEST_F(PathReport, TraceSkipAndNumbering) {
  duopath::KeywordSettings settings;
  settings.trace = true;
  settings.min_subgroup = 2;
  const auto bain = bain_path();
  auto low = bain;  // only the identity: P1, outside the range 2 .. 230
  low.path_symmetry_ops1.resize(1);
  low.mapping_number = 2;
  const Outcome o = run_paths({bain, low, bain, low, bain}, settings, fe_types());
  EXPECT_EQ(o.kept, (std::vector<bool>{true, false, true, false, true}));
  const std::string block =
      "Mapping   2\n"
      "Nearest-neighbor distance along path:    2.482\n"
      "Maximum atomic shuffle:    0.000\n"
      "Fe     0.000  0.000  0.000     0.000  0.000  0.000     0.000  0.000  0.000\n"
      "Space group   1: skip\n";
  // After a report the next block starts with the separator, on standard output with a blank
  // line before it.
  const std::string after_report = "  Fe a\n \n---------------------------------------\n" + block;
  EXPECT_NE(o.out.find(after_report), std::string::npos) << o.out;
  EXPECT_NE(o.log.find("  Fe a\n---------------------------------------\n" + block), std::string::npos) << o.log;
  for (const char* number : {"Subgroup     1\n", "Subgroup     2\n", "Subgroup     3\n"}) {
    EXPECT_NE(o.log.find(number), std::string::npos) << number;
  }
  EXPECT_EQ(o.log.find("Subgroup     4"), std::string::npos);

  // Two dropped mappings in a row write their blocks back to back; with "trace map" nothing is
  // identified, so not even the skip line appears.
  // The end shown is the partner's placed position plus its neighbour cell (15 is (0,0,1)); the
  // displacement is the path's end less its start.
  settings.trace_map = true;
  auto moved = low;
  moved.partner_cell = {15};
  moved.stage2[1] = {{0.1, 0.2, 0.3}};
  moved.bond_count = 0;
  settings.bond_neighbor_total = 2;
  moved.max_bond_change = 0.25;
  const Outcome m = run_paths({moved, low}, settings, fe_types());
  EXPECT_EQ(m.kept, (std::vector<bool>{false, false}));
  const std::string mapped = "Mapping   2\nNearest-neighbor distance along path:    2.482\n"
                             "Maximum change in bond length along path:    0.250\n"
                             "Maximum atomic shuffle:    0.000\n";
  const std::string first = mapped + "Fe     0.000  0.000  0.000     0.000  0.000  1.000     0.100  0.200  0.300\n";
  const std::string second =
      "Mapping   2\nNearest-neighbor distance along path:    2.482\n"
      "Maximum change in bond length along path:    0.000\n"
      "Maximum atomic shuffle:    0.000\n"
      "Fe     0.000  0.000  0.000     0.000  0.000  0.000     0.000  0.000  0.000\n";
  EXPECT_EQ(m.log, "---------------------------------------\n" + first + second);
  EXPECT_EQ(m.out, " \n---------------------------------------\n" + first + second);
}

// Crystal 2's origin from its real coordinates: the smallest denominator up to 100 that fits
// each component within 1e-6, else a multiple of 1/100, then lowest terms.
TEST(RationalOrigin, Table) {
  struct Case {
    std::array<double, 3> v;
    sgl::RationalVector want;
  };
  const Case cases[] = {
      {{0.0, 0.0, 0.0}, {0, 0, 0, 1}},
      {{1.0 / 3, 0.0, 0.0}, {1, 0, 0, 3}},
      {{0.123456, 0.0, 0.0}, {3, 0, 0, 25}},
      {{0.5, 1.0 / 3, 0.25}, {6, 4, 3, 12}},
      {{-0.5, 1.5, 0.0000004}, {-1, 3, 0, 2}},
      {{0.0, 0.0, 2.0 / 97}, {0, 0, 2, 97}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(duopath::rational_origin(c.v), c.want) << c.v[0] << " " << c.v[1] << " " << c.v[2];
  }
}

// The text builders of the report.
TEST(ReportTexts, OrbitLatticeAndOriginLines) {
  duopath::AtomTypes types;
  types.add("O");
  types.add("Si");
  types.add("Abcdefghij");
  auto orbit = [](int32_t type, int32_t wyckoff, std::array<bool, 3> present, std::array<double, 3> x) {
    SubgroupOrbit o;
    o.type = type;
    o.wyckoff = wyckoff;
    for (int q = 1; q <= 3; ++q) sgl::rel(o.relation, 5, q) = present[static_cast<std::size_t>(q - 1)] ? 1 : 0;
    o.params[1] = x;
    return o;
  };
  struct Case {
    SubgroupOrbit o;
    int32_t length;
    std::string want;
  };
  const Case cases[] = {
      {orbit(1, 2, {false, false, true}, {0, 0, 0.25}), 2, "O  b  z'= 0.25000"},
      {orbit(2, 1, {false, false, false}, {}), 2, "Si a"},
      {orbit(2, 5, {true, false, true}, {0.1, 0, -0.3}), 2, "Si e  x'= 0.10000, z'=-0.30000"},
      {orbit(3, 27, {true, true, true}, {1.25, 0.5, 0}), 10, "Abcdefghij A  x'= 1.25000, y'= 0.50000, z'= 0.00000"},
  };
  for (const Case& c : cases) EXPECT_EQ(duopath::orbit_text(c.o, 1, types, c.length), c.want);

  EXPECT_EQ(duopath::lattice_text({1, 0, 0, 0, 1, 0, 0, 0, 1}, 1), "Lattice: (1,0,0),(0,1,0),(0,0,1)");
  EXPECT_EQ(duopath::lattice_text({1, -1, 0, 2, 2, 0, 0, 0, 4}, 2), "Lattice: (1/2,-1/2,0),(1,1,0),(0,0,2)");
  EXPECT_EQ(duopath::origin_text({0, 0, 1, 2}), "Origin: (0,0,1/2)");
  // Fractions with many digits make a long line; it is written whole.
  const std::string wide = duopath::lattice_text({123457, 0, 0, 0, 123457, 0, 0, 0, 123457}, 999983);
  EXPECT_EQ(wide, "Lattice: (123457/999983,0,0),(0,123457/999983,0),(0,0,123457/999983)");
}

// The midpoint scale: equal ends give themselves back; otherwise the cell keeps the mean shape
// and takes the mean volume.
TEST(MidpointCell, Table) {
  struct Case {
    std::array<double, 6> one, two;
    std::array<double, 2> volumes;
  };
  const double ca = std::cos(75.0 * M_PI / 180);
  const Case cases[] = {
      {{3, 4, 5, 90, 90, 90}, {3, 4, 5, 90, 90, 90}, {60, 60}},
      {{4, 4, 4, 90, 90, 90}, {5, 5, 5, 90, 90, 90}, {64, 125}},
      {{3.98808224589213, 3.98808224589213, 3.98808224589213, 60, 60, 60}, {4.12, 4.12, 4.12, 90, 90, 90},
       {5.64 * 5.64 * 5.64 / 4, 4.12 * 4.12 * 4.12}},
  };
  for (const Case& c : cases) {
    duopath::PathReport r;
    r.cell_parameters[0] = c.one;
    r.cell_parameters[1] = c.two;
    r.cell_volume = c.volumes;
    duopath::midpoint_cell(r);
    const auto& m = r.cell_parameters[2];
    for (std::size_t k = 3; k < 6; ++k) EXPECT_EQ(m[k], (c.one[k] + c.two[k]) / 2);
    EXPECT_NEAR(m[0] / m[1], (c.one[0] + c.two[0]) / (c.one[1] + c.two[1]), 1e-14);
    const double cosine = m[3] == 90 ? 0.0 : ca;
    const double volume = m[0] * m[1] * m[2] * std::sqrt(1 - 3 * cosine * cosine + 2 * cosine * cosine * cosine);
    EXPECT_NEAR(volume, (c.volumes[0] + c.volumes[1]) / 2, 1e-10);
    if (c.one == c.two) {
      EXPECT_NEAR(m[0], c.one[0], 1e-14);
    }
  }
}

// Counts that outgrow the columns of their layout are written whole, one blank before them, never
// as asterisks: a common cell of a few dozen atoms has a hundred bonds or more, crystal 2's size
// reaches 100 against a crystal of many atoms per primitive cell, and a long traced run numbers
// its mappings past 999.
TEST_F(PathReport, CountsBeyondTheirColumnsAreWrittenWhole) {
  duopath::KeywordSettings settings;
  settings.trace = true;
  auto p = bain_path();
  p.bond_count = 120;
  p.broken_bond_count = 100;
  p.cell2_size = 100;
  p.mapping_number = 1000;
  const Outcome o = run_paths({p}, settings, fe_types());
  ASSERT_EQ(o.kept, std::vector<bool>{true});
  for (const char* line : {"\nMapping  1000\n", "\nBroken bonds:  100 out of  120\n", "\n  Size =  1\n",
                           "\n  Size =  100\n"}) {
    EXPECT_NE(o.log.find(line), std::string::npos) << line << o.log;
  }
  EXPECT_EQ(o.log.find('*'), std::string::npos) << o.log;
}

// The mapping block lists each atom's partner and cell in the layout of a "map" line; without
// "output map" nothing is written, but the log is flushed all the same.
TEST(MappingBlock, ListsTheMappingAndFlushesTheLog) {
  const std::string dir = text_io_test::temp_dir();
  sgl::open_unit(30, dir + "/duopath.log", "UNKNOWN", "FORMATTED");
  sgl::write_line(30, "(a)", {"before"});
  ::testing::internal::CaptureStdout();
  duopath::mapping_block({1, 4, 2}, {14, 27, 1}, false, 30);
  EXPECT_EQ(text_io_test::slurp(dir + "/duopath.log"), "before\n");
  duopath::mapping_block({1, 4, 2}, {14, 27, 1}, true, 30);
  const std::string block = "Mapping of atoms\n   1   1  14\n   2   4  27\n   3   2   1\n";
  EXPECT_EQ(text_io_test::slurp(dir + "/duopath.log"), "before\n" + block);
  // A partner number of five digits keeps a blank before it.
  duopath::mapping_block({10000}, {14}, true, 30);
  const std::string wide = "Mapping of atoms\n   1 10000  14\n";
  EXPECT_EQ(text_io_test::slurp(dir + "/duopath.log"), "before\n" + block + wide);
  sgl::flush(6);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), block + wide);
  sgl::close_unit(30);
  std::system(("rm -rf '" + dir + "'").c_str());
}

// NaCl to CsCl through R-3m (Buerger's path): the fcc primitive cell of NaCl becomes the cubic
// cell of CsCl along the three-fold axis [111], so the common cell is NaCl's primitive cell with
// the CsCl cell vectors (1,0,0), (0,1,0), (0,0,1), and the path keeps the twelve operations of
// Fm-3m that keep [111]. In R-3m's rhombohedral cell NaCl has a = 5.64 / sqrt 2 = 3.9881 and
// alpha = 60, CsCl a = 4.12 and alpha = 90; Na on 1a, Cl on 1b in both. The midpoint has alpha =
// 75 and the mean primitive volume (5.64^3 / 4 + 4.12^3) / 2. The reviewed report is
// tests/duopath/golden/nacl_cscl_report.log (also checked with cctbx and spglib).
TEST_F(PathReport, NaClToCsClThroughR3mGolden) {
  duopath::AcceptedPath p = nacl_path();
  p.space_group = {225, 221};
  p.conventional_cartesian = {cubic_cartesian(5.64), cubic_cartesian(4.12)};
  p.principal_stretches = {0.730, 1.033, 1.033};
  p.nearest_approach = 2.820;
  p.bond_count = 12;
  p.broken_bond_count = 0;
  const auto& cs = sgl::common_space();
  p.path_symmetry_ops1.clear();
  for (const auto& op : operators(225, true)) {
    const int32_t k = op[4];
    std::array<int32_t, 3> image{};
    for (int i = 1; i <= 3; ++i)
      for (int j = 1; j <= 3; ++j) image[static_cast<std::size_t>(i - 1)] += cs.point_op_rot(i, j, k);
    if (image[0] == image[1] && image[1] == image[2] && std::abs(image[0]) == 1) p.path_symmetry_ops1.push_back(op);
  }
  ASSERT_EQ(p.path_symmetry_ops1.size(), 12u);
  duopath::AtomTypes types;
  types.add("Na");
  types.add("Cl");
  const Outcome o = run_paths({p}, {}, types);
  ASSERT_EQ(o.kept, std::vector<bool>{true});
  EXPECT_EQ(o.subgroup.common_subgroup, 166);
  EXPECT_EQ(o.log, text_io_test::slurp(std::string(SGL_SOURCE_DIR) + "/tests/duopath/golden/nacl_cscl_report.log"));
  const auto& mid = o.report.cell_parameters[2];
  EXPECT_EQ(mid[3], 75.0);
  const double c75 = std::cos(75.0 * M_PI / 180);
  EXPECT_NEAR(mid[0] * mid[0] * mid[0] * std::sqrt(1 - 3 * c75 * c75 + 2 * c75 * c75 * c75),
              (5.64 * 5.64 * 5.64 / 4 + 4.12 * 4.12 * 4.12) / 2, 1e-9);
}

}  // namespace
