// The growable tables of cellsieve and their capacities.
//
// Every table whose size depends on the structure or on the search lives here: the equations of
// the fits, the lattice translations and their tables, the sublattices, the candidate subgroups
// and their generators, and the summary of the groups found. The search never stops for lack of
// room: before an entry that would not fit is stored, the table's grow routine doubles its
// capacity and keeps every entry at the same indices. The variable count of the equations alone
// is raised to the exact need, and that discards the equations. Entries are zero (false) when a
// table is created or grown.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace cellsieve {

// A column-major table with 1-based (i, j) access (j defaults to 1 for a one-column list).
template <typename T>
class Grid {
 public:
  Grid() = default;
  Grid(int32_t rows, int32_t cols)
      : rows_(std::max(rows, 0)), cols_(std::max(cols, 0)), values_(std::make_unique<T[]>(size())) {}

  T& operator()(int32_t i, int32_t j = 1) { return values_[index(i, j)]; }
  const T& operator()(int32_t i, int32_t j = 1) const { return values_[index(i, j)]; }

  int32_t rows() const { return rows_; }
  std::size_t size() const { return static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols_); }

  // Columns j..cols as one span (an equation block handed to the solvers).
  std::span<T> from_column(int32_t j) {
    assert(j >= 1 && j <= cols_ + 1);
    return std::span<T>(values_.get(), size()).subspan(static_cast<std::size_t>(j - 1) * rows_);
  }

  // New extents; the entries of the old table that lie within them keep their indices, the rest
  // of the new table is zero.
  void resize_keeping(int32_t rows, int32_t cols) {
    Grid grown(rows, cols);
    const int32_t r = std::min(rows_, grown.rows_);
    const int32_t c = std::min(cols_, grown.cols_);
    for (int32_t j = 1; j <= c; ++j)
      for (int32_t i = 1; i <= r; ++i) grown(i, j) = (*this)(i, j);
    *this = std::move(grown);
  }

 private:
  std::size_t index(int32_t i, int32_t j) const {
    assert(i >= 1 && i <= rows_ && j >= 1 && j <= cols_);
    return static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(rows_) +
           static_cast<std::size_t>(i - 1);
  }

  int32_t rows_ = 0;
  int32_t cols_ = 0;
  std::unique_ptr<T[]> values_;
};

struct Tables {
  // Capacities and the atom count, with their values at program start.
  int32_t natoms = 1;
  int32_t max_vars = 10;
  int32_t max_eqs = 18;
  int32_t max_fract = 16;
  int32_t max_sublattices = 100;
  int32_t max_subgroups = 100;
  int32_t max_gens = 10;
  int32_t max_groups = 200;

  Grid<double> eqs;                 // (max_vars, max_eqs): one equation per column
  Grid<int32_t> pivot_vars;         // (max_vars)
  Grid<int32_t> free_vars;          // (max_vars)
  Grid<double> fract;               // (3, max_fract): lattice translations, Cartesian
  Grid<int32_t> fract_sum;          // (max_fract, max_fract)
  Grid<int32_t> fract_image;        // (natoms, max_fract); created with the atom arrays
  Grid<int32_t> fract_rep;          // (max_fract)
  Grid<int32_t> rep_image;          // (natoms, max_fract); created with the atom arrays
  Grid<bool> sublattice_member;     // (max_fract, max_sublattices)
  Grid<int32_t> sublattice_points;  // (max_sublattices)
  Grid<bool> sublattice_mark;       // (max_sublattices)
  Grid<int32_t> subgroup_order;     // (max_subgroups)
  Grid<int32_t> subgroup_ngens;     // (max_subgroups)
  Grid<int32_t> subgroup_gens;      // (max_gens, max_subgroups)
  Grid<bool> subgroup_mark;         // (max_subgroups)
  // (The member elements of each candidate are kept once, as sorted lists, in Search::members.)
  Grid<int32_t> gen_op;             // (max_gens)
  Grid<int32_t> gen_fract_index;    // (max_gens)
  Grid<double> gen_trans;           // (3, max_gens)
  Grid<int32_t> group_sg;           // (max_groups)
  Grid<int32_t> group_points;       // (max_groups)
  Grid<double> group_rms_position;  // (max_groups)
  Grid<double> group_rms_strain;    // (max_groups)

  // Creates every table but the three that the main program creates, at the current capacities.
  void allocate_init();
  // Creates eqs, pivot_vars and free_vars anew with the current max_vars and max_eqs; their
  // contents are lost. The caller sets max_vars first.
  void allocate_vars();
  // Each doubles one capacity and grows every table that has it as an extent, keeping contents.
  void allocate_eqs();
  void allocate_fract();
  void allocate_sublattice();
  void allocate_subgroups();
  void allocate_gens();
  void allocate_groups();

  // fract_image and rep_image, (natoms, max_fract), once natoms is known.
  void create_atom_tables();

  // The growth moments of the equations. Before a system of nvar variables is started: when
  // max_vars < nvar + 1, max_vars becomes nvar + 1 and the equations are created anew (so
  // max_vars never decreases). Before equation n is stored: grow while n >= max_eqs. Before a
  // minimum-norm fit of nvar variables over neq equations: grow while neq + nvar >= max_eqs.
  void start_system(int32_t nvar);
  void before_equation(int32_t n);
  void before_minimize(int32_t neq, int32_t nvar);
};

}  // namespace cellsieve
