// One run of cellsieve: the run object owns all run state (constants, the growable tables, the
// point operations, the structure and options, the per-atom arrays, the group being reported and
// the summary count); the phases of the run are its functions.
//
// Every line of the report goes to standard output and then to the log file "cellsieve.log";
// error messages go to standard output only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cellsieve/point_ops.hpp"
#include "cellsieve/real_helpers.hpp"
#include "cellsieve/search.hpp"
#include "cellsieve/tables.hpp"
#include "library/tables/common_space.hpp"

namespace cellsieve {

// The unit of "cellsieve.log".
inline constexpr int kLogUnit = 10;

// The structure and the options, as the input dialogue leaves them.
struct Structure {
  std::string title = std::string(80, ' ');
  bool supergroups_only = false;
  bool superlattices_only = false;
  double dmax = 0.0, dmin = 0.0, smax = 0.0, smin = 0.0;  // maxima below 1e-10, minima of 0: 1e-10
  std::array<double, 6> lattice_params{};                // a, b, c, alpha, beta, gamma (degrees)
  Mat3 lattice{};       // columns: Cartesian a, b, c in the standard orientation (negated when
                        // form-1 vectors are a left-handed set)
  Mat3 lattice_inv{};
  Mat3 cell{};          // columns: the unit-cell vectors in lattice coordinates
  Mat3 cell_inv{};
  bool cell_inv_integral = true;  // every entry of cell_inv within 1e-10 of an integer
  Mat3 cell_cart{};     // lattice times cell
  Mat3 cell_cart_inv{};
  double cell_volume = 0.0;
  int32_t natoms = 0;
  Grid<int32_t> atom_type;        // (natoms): as read; the sublattice phase replaces it
  Grid<int32_t> atom_type_input;  // (natoms): a copy of the types as read, never changed
  Grid<double> atom_pos;          // (3, natoms): lattice coordinates as read
};

// The per-atom work arrays of the search phases, created once the atom count is known.
struct AtomArrays {
  Grid<int32_t> atom_orbit;      // (natoms): the reduced atom each input atom belongs to
  Grid<int32_t> atom_image;      // (natoms)
  Grid<int32_t> atom_place;      // (natoms)
  Grid<int32_t> orbit_size;      // (natoms)
  Grid<double> atom_cart;        // (3, natoms)
  Grid<double> atom_cart_input;  // (3, natoms)
  Grid<double> atom_shift;       // (3, natoms): lattice part of each image
  Grid<double> atom_fitted;      // (3, natoms)
  Grid<double> atom_sym;         // (3, natoms): symmetrised positions of the reduced atoms
  Grid<double> candidates;       // (3, natoms + 3): candidate lattice vectors
  Grid<int32_t> opperm;          // (natoms, 64): atom permutation of each accepted operation
  Grid<int32_t> orbit_members;   // (48, natoms): the reduced atoms of each orbit
  Grid<bool> visited;            // (natoms)
};

// The accepted, closed and identified group that is reported next.
struct GroupResult {
  int32_t sg_number = 0;
  double rms_position = 0.0;
  double rms_strain = 0.0;
  Mat3 prim_strained{};      // fitted primitive basis P' (Cartesian columns)
  Mat3 prim_strained_inv{};
  Vec3 origin_shift{};       // origin from the generators (Cartesian); the report overwrites it
  std::array<int32_t, 4> id_origin{0, 0, 0, 1};  // origin in P' coordinates: numerators, denominator
  Mat3 to_standard_inv{};    // inverse of the conventional basis in P' coordinates
  Mat3 std_in_lattice{};     // conventional basis in lattice coordinates (columns)
  Mat3 std_metric{};         // metric of the conventional basis in the strained frame
  int32_t nred = 0;          // reduced atoms of the current sublattice
  int32_t orbit_count = 0;
  Mat3 prim_in_cell{};       // primitive vectors of the sublattice in unit-cell coordinates
  int32_t cur_sublattice = 1;
};

struct Run {
  double deg_to_rad = 0.0;
  double rad_to_deg = 0.0;
  double zero_tol = 1e-10;
  int32_t groups_found = 0;
  std::string xtaldir;

  Tables tables;
  PointOps ops;
  Structure s;
  AtomArrays atoms;
  GroupResult group;
  Search search;

  // Start-up: floating-point mode, constants, tables, the log, the banner, the data directory,
  // the space-group tables with the preferred settings, the point operations.
  void start();
  // Opens the log file (created when absent, otherwise cut after the last line written).
  void open_log(std::string_view path = "cellsieve.log");
  // The input dialogue: title, scope, tolerances, lattice, unit cell, atoms.
  void input_dialogue();
  // Stops the run when two atoms (of any types) lie at one point, within 1e-4 and modulo the
  // unit cell; cart holds the Cartesian positions of atoms 1..natoms (entry 0 unused).
  void check_coincident_atoms(const std::vector<Vec3>& cart) const;
  // The per-atom arrays and the atom tables of the module, for s.natoms atoms.
  void create_atom_arrays();
  // The search. find_translations: the extra lattice translations of the structure, printed,
  // and their composition table. compose_translations: that table (the smallest translation whose
  // atom permutation is translation i followed by translation j, 0 for none) and its symmetry
  // check. enumerate_sublattices: every closed set of them, sorted by decreasing size.
  // sublattice_of_all_translations: when the found translations are closed under composition,
  // makes their whole set the one sublattice so far (the largest of all, which holds every other)
  // and returns true; false, with nothing changed, otherwise. prepare_sublattice: the skip test,
  // primitive basis (printed), cosets and reduced structure of one sublattice; false when the
  // scope skips it. find_point_operations: the operations that map the reduced structure onto
  // itself (printed). build_candidates: the products of the elements and the sorted candidate
  // groups. prepare_candidate: the skip test and generator list of one candidate; false when
  // skipped. fit_group: strain and displacement fits and the marks; false when rejected.
  // close_group: origin, closure, identification and the conventional basis of an accepted group.
  // search_groups runs them all in order; search_sublattice the phases of one sublattice, from
  // prepare_sublattice on.
  void find_translations();
  void compose_translations();
  void enumerate_sublattices();
  bool sublattice_of_all_translations();
  bool prepare_sublattice(int32_t cur);
  void find_point_operations();
  void build_candidates();
  bool prepare_candidate(int32_t c);
  bool fit_group(int32_t c);
  // The rms distance of the input atoms from the fitted positions of their reduced atoms (the
  // columns of `fitted`), each difference taken near the origin of the strained primitive
  // lattice ps (ps_inv its inverse).
  double rms_position(const Mat3& ps, const Mat3& ps_inv, const Grid<double>& fitted) const;
  void close_group(int32_t c);
  // The steps of close_group: the origin from the generators (and the structure moved to it),
  // the closure of the group with its checks, the exact records of its operators, their
  // identification, and the conventional basis of the identified setting.
  void choose_origin(int32_t c, bool lattice = false);
  void close_elements(int32_t c);
  void make_records();
  void identify();
  void conventional_basis();
  // A Cartesian vector with its coordinates in the fitted primitive basis brought into
  // (-0.5, 0.5], or into [0, 1).
  Vec3 reduce_strained(const Vec3& v) const;
  Vec3 wrap_strained(const Vec3& v) const;
  void search_groups();
  void search_sublattice(int32_t cur);
  // The report of one accepted group, followed by its summary entry.
  void report_group();
  void enter_summary();
  // The closing summary table.
  void write_summary();
  // The whole run, from start-up to the normal end.
  [[noreturn]] void execute();
};

// Stops the run with error 045 when the product table of a sublattice's ne elements cannot be
// made, its message naming the limit met: more elements than its 16-bit entries can name
// (Search::kMaxSublatticeElements), or else the table and the elements' actions on nred reduced
// atoms need more than `available` bytes.
void check_product_room(int32_t ne, int32_t nred, double available);

// The smallest d in 1..12 for which d times every component of y lies within 1e-10 of an
// integer; 0 when there is none.
int32_t translation_denominator(const Vec3& y);

// Makes a setting entry the default setting of its space group: its symbol is printed for the
// group, its generator list is the group's column 2 and its transformation pair slot 1. An entry
// outside 1..setting_count stops the run with one line.
void inter_replace(sgl::CommonSpace& space, int32_t entry);

// Every entry with class 1 or 3 and flag 1 in table order, so the last of a group wins.
void apply_preferred_settings(sgl::CommonSpace& space);

}  // namespace cellsieve
