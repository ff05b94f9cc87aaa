// The growable tables of cellsieve.
#include "cellsieve/tables.hpp"

#include "library/exact/checked_int.hpp"

namespace cellsieve {

namespace {

// Twice a capacity; a capacity beyond the 32-bit range stops the run with a message.
int32_t doubled(int32_t capacity) {
  return sgl::narrow32(static_cast<int64_t>(capacity) * 2, "cellsieve tables");
}

}  // namespace

void Tables::allocate_init() {
  eqs = Grid<double>(max_vars, max_eqs);
  pivot_vars = Grid<int32_t>(max_vars, 1);
  free_vars = Grid<int32_t>(max_vars, 1);
  fract = Grid<double>(3, max_fract);
  fract_sum = Grid<int32_t>(max_fract, max_fract);
  fract_rep = Grid<int32_t>(max_fract, 1);
  sublattice_member = Grid<bool>(max_fract, max_sublattices);
  sublattice_points = Grid<int32_t>(max_sublattices, 1);
  sublattice_mark = Grid<bool>(max_sublattices, 1);
  subgroup_order = Grid<int32_t>(max_subgroups, 1);
  subgroup_ngens = Grid<int32_t>(max_subgroups, 1);
  subgroup_gens = Grid<int32_t>(max_gens, max_subgroups);
  subgroup_mark = Grid<bool>(max_subgroups, 1);
  gen_trans = Grid<double>(3, max_gens);
  gen_op = Grid<int32_t>(max_gens, 1);
  gen_fract_index = Grid<int32_t>(max_gens, 1);
  group_rms_position = Grid<double>(max_groups, 1);
  group_rms_strain = Grid<double>(max_groups, 1);
  group_points = Grid<int32_t>(max_groups, 1);
  group_sg = Grid<int32_t>(max_groups, 1);
}

void Tables::allocate_vars() {
  eqs = Grid<double>(max_vars, max_eqs);
  pivot_vars = Grid<int32_t>(max_vars, 1);
  free_vars = Grid<int32_t>(max_vars, 1);
}

void Tables::allocate_eqs() {
  const int32_t n = doubled(max_eqs);
  eqs.resize_keeping(max_vars, n);
  max_eqs = n;
}

void Tables::allocate_fract() {
  const int32_t n = doubled(max_fract);
  fract.resize_keeping(3, n);
  fract_sum.resize_keeping(n, n);
  fract_rep.resize_keeping(n, 1);
  sublattice_member.resize_keeping(n, max_sublattices);
  fract_image.resize_keeping(natoms, n);
  rep_image.resize_keeping(natoms, n);
  max_fract = n;
}

void Tables::allocate_sublattice() {
  const int32_t n = doubled(max_sublattices);
  sublattice_points.resize_keeping(n, 1);
  sublattice_mark.resize_keeping(n, 1);
  sublattice_member.resize_keeping(max_fract, n);
  max_sublattices = n;
}

void Tables::allocate_subgroups() {
  const int32_t n = doubled(max_subgroups);
  subgroup_order.resize_keeping(n, 1);
  subgroup_ngens.resize_keeping(n, 1);
  subgroup_mark.resize_keeping(n, 1);
  subgroup_gens.resize_keeping(max_gens, n);
  max_subgroups = n;
}

void Tables::allocate_gens() {
  const int32_t n = doubled(max_gens);
  gen_trans.resize_keeping(3, n);
  gen_op.resize_keeping(n, 1);
  gen_fract_index.resize_keeping(n, 1);
  subgroup_gens.resize_keeping(n, max_subgroups);
  max_gens = n;
}

void Tables::allocate_groups() {
  const int32_t n = doubled(max_groups);
  group_rms_position.resize_keeping(n, 1);
  group_rms_strain.resize_keeping(n, 1);
  group_points.resize_keeping(n, 1);
  group_sg.resize_keeping(n, 1);
  max_groups = n;
}

void Tables::create_atom_tables() {
  fract_image = Grid<int32_t>(natoms, max_fract);
  rep_image = Grid<int32_t>(natoms, max_fract);
}

void Tables::start_system(int32_t nvar) {
  if (max_vars < nvar + 1) {
    max_vars = nvar + 1;
    allocate_vars();
  }
}

void Tables::before_equation(int32_t n) {
  while (n >= max_eqs) allocate_eqs();
}

void Tables::before_minimize(int32_t neq, int32_t nvar) {
  while (neq + nvar >= max_eqs) allocate_eqs();
}

}  // namespace cellsieve
