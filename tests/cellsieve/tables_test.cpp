// The growable tables: growth keeps every entry at its indices, the variable count discards.
#include "cellsieve/tables.hpp"
#include "tests/cellsieve/grid_columns.hpp"

#include "cellsieve/real_equations.hpp"

#include <gtest/gtest.h>

namespace cellsieve {
namespace {

// A value that names its position, so a moved entry shows.
int32_t tag(int32_t i, int32_t j) { return 1000 * j + i; }

template <typename T>
void fill(Grid<T>& g) {
  for (int32_t j = 1; j <= columns_of(g); ++j)
    for (int32_t i = 1; i <= g.rows(); ++i) g(i, j) = static_cast<T>(tag(i, j));
}

template <typename T>
void expect_kept(const Grid<T>& g, int32_t rows, int32_t cols, const char* what) {
  for (int32_t j = 1; j <= cols; ++j)
    for (int32_t i = 1; i <= rows; ++i) ASSERT_EQ(g(i, j), static_cast<T>(tag(i, j))) << what << " (" << i << "," << j << ")";
}

template <typename T>
void expect_zero_beyond(const Grid<T>& g, int32_t rows, int32_t cols, const char* what) {
  for (int32_t j = 1; j <= columns_of(g); ++j)
    for (int32_t i = 1; i <= g.rows(); ++i) {
      if (i <= rows && j <= cols) continue;
      ASSERT_EQ(g(i, j), T{}) << what << " (" << i << "," << j << ")";
    }
}

Tables with_atoms(int32_t natoms) {
  Tables t;
  t.allocate_init();
  t.natoms = natoms;
  t.create_atom_tables();
  return t;
}

TEST(Tables, InitialCapacitiesAndZeroEntries) {
  Tables t = with_atoms(1);
  EXPECT_EQ(t.eqs.rows(), 10);
  EXPECT_EQ(columns_of(t.eqs), 18);
  EXPECT_EQ(t.fract_sum.rows(), 16);
  EXPECT_EQ(t.fract_image.rows(), 1);  // one atom: the atom tables have one row
  EXPECT_EQ(columns_of(t.sublattice_member), 100);
  EXPECT_EQ(t.subgroup_gens.rows(), 10);
  EXPECT_EQ(t.group_sg.rows(), 200);
  expect_zero_beyond(t.eqs, 0, 0, "eqs");
  expect_zero_beyond(t.sublattice_member, 0, 0, "sublattice_member");
}

TEST(Tables, FractGrowthKeepsAllSixTables) {
  Tables t = with_atoms(3);
  fill(t.fract);
  fill(t.fract_sum);
  fill(t.fract_rep);
  fill(t.sublattice_member);  // true everywhere (tags are nonzero)
  fill(t.fract_image);
  fill(t.rep_image);
  t.allocate_fract();
  EXPECT_EQ(t.max_fract, 32);
  EXPECT_EQ(columns_of(t.fract), 32);
  EXPECT_EQ(t.fract_sum.rows(), 32);
  EXPECT_EQ(columns_of(t.fract_sum), 32);
  expect_kept(t.fract, 3, 16, "fract");
  expect_kept(t.fract_sum, 16, 16, "fract_sum");  // the old square in the top left corner
  expect_zero_beyond(t.fract_sum, 16, 16, "fract_sum");
  expect_kept(t.fract_rep, 16, 1, "fract_rep");
  expect_kept(t.sublattice_member, 16, 100, "sublattice_member");
  expect_zero_beyond(t.sublattice_member, 16, 100, "sublattice_member");
  expect_kept(t.fract_image, 3, 16, "fract_image");
  expect_kept(t.rep_image, 3, 16, "rep_image");
  EXPECT_EQ(t.rep_image.rows(), 3);
}

TEST(Tables, OtherGrowthKeepsEntries) {
  Tables t = with_atoms(2);
  fill(t.eqs);
  t.before_equation(17);  // equations 1..17 fit in 18 columns
  EXPECT_EQ(t.max_eqs, 18);
  t.before_equation(18);  // the 18th grows first
  EXPECT_EQ(t.max_eqs, 36);
  expect_kept(t.eqs, 10, 18, "eqs");
  t.before_minimize(30, 10);  // 40 >= 36, then 72
  EXPECT_EQ(t.max_eqs, 72);
  expect_kept(t.eqs, 10, 18, "eqs");

  fill(t.sublattice_points);
  fill(t.sublattice_mark);
  fill(t.sublattice_member);
  t.allocate_sublattice();
  EXPECT_EQ(t.max_sublattices, 200);
  expect_kept(t.sublattice_points, 100, 1, "sublattice_points");
  expect_kept(t.sublattice_mark, 100, 1, "sublattice_mark");
  expect_kept(t.sublattice_member, 16, 100, "sublattice_member");
  expect_zero_beyond(t.sublattice_member, 16, 100, "sublattice_member");

  fill(t.subgroup_order);
  fill(t.subgroup_ngens);
  fill(t.subgroup_mark);
  fill(t.subgroup_gens);
  t.allocate_subgroups();
  EXPECT_EQ(t.max_subgroups, 200);
  expect_kept(t.subgroup_order, 100, 1, "subgroup_order");
  expect_kept(t.subgroup_ngens, 100, 1, "subgroup_ngens");
  expect_kept(t.subgroup_mark, 100, 1, "subgroup_mark");
  expect_kept(t.subgroup_gens, 10, 100, "subgroup_gens");

  fill(t.gen_trans);
  fill(t.gen_op);
  fill(t.gen_fract_index);
  t.allocate_gens();  // an 11th generator
  EXPECT_EQ(t.max_gens, 20);
  EXPECT_EQ(t.subgroup_gens.rows(), 20);
  EXPECT_EQ(columns_of(t.subgroup_gens), 200);
  expect_kept(t.subgroup_gens, 10, 100, "subgroup_gens");  // every subgroup's generator list
  expect_zero_beyond(t.subgroup_gens, 10, 100, "subgroup_gens");
  expect_kept(t.gen_trans, 3, 10, "gen_trans");
  expect_kept(t.gen_op, 10, 1, "gen_op");
  expect_kept(t.gen_fract_index, 10, 1, "gen_fract_index");

  fill(t.group_sg);
  fill(t.group_points);
  fill(t.group_rms_position);
  fill(t.group_rms_strain);
  t.allocate_groups();
  EXPECT_EQ(t.max_groups, 400);
  expect_kept(t.group_sg, 200, 1, "group_sg");
  expect_kept(t.group_points, 200, 1, "group_points");
  expect_kept(t.group_rms_position, 200, 1, "group_rms_position");
  expect_kept(t.group_rms_strain, 200, 1, "group_rms_strain");
}

TEST(Tables, VariableCountIsExactNeverLowerAndDiscardsEquations) {
  Tables t = with_atoms(3);
  fill(t.eqs);
  t.start_system(9);  // a strain fit: 10 rows suffice
  EXPECT_EQ(t.max_vars, 10);
  expect_kept(t.eqs, 10, 18, "eqs");
  t.start_system(12);  // three reduced atoms: 3 x 3 + 3 variables
  EXPECT_EQ(t.max_vars, 13);
  EXPECT_EQ(t.eqs.rows(), 13);
  EXPECT_EQ(t.pivot_vars.rows(), 13);
  EXPECT_EQ(t.free_vars.rows(), 13);
  expect_zero_beyond(t.eqs, 0, 0, "eqs");  // the equations start empty
  fill(t.eqs);
  t.start_system(6);  // fewer variables: nothing changes
  EXPECT_EQ(t.max_vars, 13);
  expect_kept(t.eqs, 13, 18, "eqs");
}

// A block of equations starting at any column is handed to the solvers as one span.
TEST(Tables, EquationBlockFromAColumn) {
  Tables t = with_atoms(1);
  t.start_system(2);
  t.eqs(1, 3) = 1.0;  // equation 3: x = 4 (rows: x, y, right-hand side)
  t.eqs(3, 3) = 4.0;
  t.eqs(2, 4) = 1e-12;  // equation 4: empty
  std::span<double> block = t.eqs.from_column(3);
  EXPECT_EQ(block.size(), static_cast<std::size_t>(10 * 16));
  EXPECT_EQ(block[2], 4.0);
  int32_t neq = 2;
  rm_zero_eqs(block, neq, 3, t.max_vars);
  EXPECT_EQ(neq, 1);
}

}  // namespace
}  // namespace cellsieve
