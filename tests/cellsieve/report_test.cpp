// The report of an accepted group and the summary, on hand-made group records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "cellsieve/run.hpp"
#include "library/text/text_io.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/table_files.hpp"

namespace cellsieve {
namespace {

using sgl::testing::Bombed;
using sgl::testing::BombTrap;

class Report : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool loaded = false;
    if (loaded) return;
    sgl::load_common_space(SGL_DATA_DIR);
    apply_preferred_settings(sgl::common_space());
    loaded = true;
  }

  // A run with natoms atoms, the input cell equal to the lattice, and a cubic group record of
  // edge 4: P' = 4 I, the conventional basis the primitive one, one sublattice point.
  std::unique_ptr<cellsieve::Run> make_run(int32_t natoms) {
    auto run = std::make_unique<cellsieve::Run>();
    run->deg_to_rad = 4.0 * std::atan(1.0) / 180.0;
    run->rad_to_deg = 1.0 / run->deg_to_rad;
    run->tables.allocate_init();
    run->s.natoms = natoms;
    run->create_atom_arrays();
    run->s.cell = kIdentity3;
    run->s.cell_inv_integral = true;
    run->tables.sublattice_points(1) = 1;
    GroupResult& g = run->group;
    g.sg_number = 221;
    g.rms_position = 0.01234;
    g.rms_strain = 0.00056;
    g.prim_strained = {4, 0, 0, 0, 4, 0, 0, 0, 4};
    g.prim_strained_inv = {0.25, 0, 0, 0, 0.25, 0, 0, 0, 0.25};
    g.to_standard_inv = kIdentity3;
    g.std_in_lattice = kIdentity3;
    g.std_metric = {16, 0, 0, 0, 16, 0, 0, 0, 16};
    g.prim_in_cell = kIdentity3;
    g.cur_sublattice = 1;
    return run;
  }

  // Runs the report (or the summary) with the log in a temporary file; returns standard output
  // and the log.
  template <typename Phase>
  std::pair<std::string, std::string> capture(cellsieve::Run& run, Phase&& phase) {
    const auto log = tmp_.path() / "cellsieve.log";
    run.open_log(log.string());
    ::testing::internal::CaptureStdout();
    bool bombed = false;
    {
      BombTrap trap;
      try {
        phase();
      } catch (const Bombed&) {
        bombed = true;
      }
    }
    sgl::flush(6);
    std::string out = ::testing::internal::GetCapturedStdout();
    sgl::close_unit(kLogUnit);
    bombed_ = bombed;
    return {out, sgl::testing::slurp(log)};
  }

  sgl::testing::TempDir tmp_;
  bool bombed_ = false;
};

TEST_F(Report, OneAtomSimpleCubicLineForLine) {
  auto run = make_run(1);
  GroupResult& g = run->group;
  g.id_origin = {1, 1, 1, 2};  // origin at P' (1/2, 1/2, 1/2): Cartesian (2, 2, 2)
  g.nred = 1;
  g.orbit_count = 1;
  run->atoms.orbit_size(1) = 1;
  run->atoms.orbit_members(1, 1) = 1;
  run->atoms.atom_orbit(1) = 1;
  // Relative to u = (2, 2, 2) the atom lies one cell along a and one back along c: it wraps to 0.
  run->atoms.atom_sym(1, 1) = 6.0;
  run->atoms.atom_sym(2, 1) = 2.0;
  run->atoms.atom_sym(3, 1) = -2.0;
  auto [out, log] = capture(*run, [&] { run->report_group(); });
  const std::string expected =
      " \n"
      "Space Group 221  Pm-3m     Pm-3m     \n"
      "rms position:    0.01234     rms strain:    0.00056\n"
      "Origin at    0.50000   0.50000   0.50000\n"
      "Vectors a,b,c:\n"
      "   1.00000   0.00000   0.00000\n"
      "   0.00000   1.00000   0.00000\n"
      "   0.00000   0.00000   1.00000\n"
      "Values of a,b,c,alpha,beta,gamma:\n"
      "   4.00000   4.00000   4.00000  90.00000  90.00000  90.00000\n"
      " \n"
      "Atomic positions in terms of a,b,c:\n"
      " \n"
      "   1   0.00000   0.00000   0.00000\n";
  EXPECT_EQ(out, expected);
  EXPECT_EQ(log, expected);
  EXPECT_EQ(run->groups_found, 1);
  EXPECT_EQ(run->tables.group_sg(1), 221);
  EXPECT_EQ(run->tables.group_points(1), 1);
}

TEST_F(Report, RhombohedralGroupInHexagonalAxes) {
  auto run = make_run(1);
  run->group.sg_number = 167;
  auto [out, log] = capture(*run, [&] { run->report_group(); });
  EXPECT_NE(out.find("\nSpace Group 167  R-3c      R-3c:H    \n"), std::string::npos) << out;
}

// Unit cell twice as long as the lattice along a: the origin and the conventional coordinates
// are printed as computed, not wrapped, unless the cell's inverse is integral.
TEST_F(Report, CellInverseNotIntegralLeavesValuesUnwrapped) {
  struct Case {
    bool integral;
    const char* origin;
    const char* atom;
  };
  const Case cases[] = {
      {false, "Origin at    1.50000  -0.25000   0.00000\n", "   1   1.50000   0.25000   0.50000\n"},
      {true, "Origin at    0.50000   0.75000   0.00000\n", "   1   0.50000   0.25000   0.50000\n"},
  };
  for (const Case& c : cases) {
    auto run = make_run(1);
    run->s.cell = {2, 0, 0, 0, 1, 0, 0, 0, 1};
    run->s.cell_inv_integral = c.integral;
    GroupResult& g = run->group;
    g.prim_strained = kIdentity3;
    g.prim_strained_inv = kIdentity3;
    g.prim_in_cell = {0.5, 0, 0, 0, 1, 0, 0, 0, 1};
    g.to_standard_inv = {2, 0, 0, 0, 1, 0, 0, 0, 1};
    g.origin_shift = {1.5, -0.25, 0.0};
    g.nred = 1;
    g.orbit_count = 1;
    run->atoms.orbit_size(1) = 1;
    run->atoms.orbit_members(1, 1) = 1;
    run->atoms.atom_orbit(1) = 1;
    run->atoms.atom_sym(1, 1) = -0.25;  // primitive coordinate 0.75 after the wrap, 1.5 conventional
    run->atoms.atom_sym(2, 1) = 1.25;
    run->atoms.atom_sym(3, 1) = 0.5;
    auto [out, log] = capture(*run, [&] { run->report_group(); });
    EXPECT_NE(out.find(c.origin), std::string::npos) << out;
    EXPECT_NE(out.find(c.atom), std::string::npos) << out;
  }
}

TEST_F(Report, EachMemberNamesTheLowestInputAtomOfItsReducedAtom) {
  auto run = make_run(4);
  GroupResult& g = run->group;
  g.nred = 2;
  g.orbit_count = 2;
  run->atoms.orbit_size(1) = 2;  // orbit 1: reduced atoms 2 then 1, in the order reached
  run->atoms.orbit_members(1, 1) = 2;
  run->atoms.orbit_members(2, 1) = 1;
  run->atoms.orbit_size(2) = 1;  // orbit 2: reduced atom 1 again, alone
  run->atoms.orbit_members(1, 2) = 1;
  const int32_t orbit_of[] = {2, 1, 2, 1};  // input atoms 2 and 4 reduce to 1, 1 and 3 to 2
  for (int32_t n = 1; n <= 4; ++n) run->atoms.atom_orbit(n) = orbit_of[n - 1];
  run->atoms.atom_sym(1, 1) = 2.0;  // reduced atom 1 at (1/2, 0, 0)
  run->atoms.atom_sym(3, 2) = 1.0;  // reduced atom 2 at (0, 0, 1/4)
  auto [out, log] = capture(*run, [&] { run->report_group(); });
  const std::string tail =
      "Atomic positions in terms of a,b,c:\n"
      " \n"
      "   1   0.00000   0.00000   0.25000\n"
      "   2   0.50000   0.00000   0.00000\n"
      " \n"
      "   2   0.50000   0.00000   0.00000\n";
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  EXPECT_EQ(log, out);
}

TEST_F(Report, MemberWithoutInputAtomStopsWithError013) {
  auto run = make_run(2);
  GroupResult& g = run->group;
  g.nred = 2;
  g.orbit_count = 1;
  run->atoms.orbit_size(1) = 2;
  run->atoms.orbit_members(1, 1) = 1;
  run->atoms.orbit_members(2, 1) = 2;
  run->atoms.atom_orbit(1) = 1;
  run->atoms.atom_orbit(2) = 1;  // no input atom belongs to reduced atom 2
  auto [out, log] = capture(*run, [&] { run->report_group(); });
  EXPECT_TRUE(bombed_);
  const std::string end = "   1   0.00000   0.00000   0.00000\n";
  EXPECT_EQ(out, log + " Error in 013 cellsieve\n");
  ASSERT_GE(log.size(), end.size());
  EXPECT_EQ(log.substr(log.size() - end.size()), end);
  EXPECT_EQ(run->groups_found, 0);
}

TEST_F(Report, SummaryWithoutGroups) {
  auto run = make_run(1);
  auto [out, log] = capture(*run, [&] { run->write_summary(); });
  const std::string heading = "Space group               Points    rms position   rms strain\n";
  EXPECT_EQ(out, " \nSummary\n \n" + heading);
  EXPECT_EQ(log, "Summary\n \n" + heading);
}

TEST_F(Report, SummaryOf201GroupsGrowsItsTablesAndKeepsTheOrder) {
  auto run = make_run(1);
  const int32_t groups[] = {62, 167, 221, 1, 230};
  run->tables.sublattice_points(2) = 4;
  for (int32_t k = 1; k <= 201; ++k) {
    run->group.sg_number = groups[k % 5];
    run->group.rms_position = 0.001 * k;
    run->group.rms_strain = 0.0001 * k;
    run->group.cur_sublattice = k == 201 ? 2 : 1;
    run->enter_summary();
  }
  EXPECT_EQ(run->tables.max_groups, 400);
  auto [out, log] = capture(*run, [&] { run->write_summary(); });
  const std::string rows = out.substr(out.find("rms strain\n") + 11);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 201);
  // Row 1 (k = 1: group 167) and row 201 (k = 201: group 167 again, four points).
  EXPECT_EQ(rows.substr(0, rows.find('\n') + 1), "167  R-3c      R-3c:H        1      0.00100        0.00010\n");
  EXPECT_NE(rows.find(" 62  Pnma      Pnma          1      0.00500        0.00050\n"), std::string::npos);
  EXPECT_EQ(rows.substr(rows.size() - 59), "167  R-3c      R-3c:H        4      0.20100        0.02010\n");
  EXPECT_EQ(log, out.substr(2));
}

}  // namespace
}  // namespace cellsieve
