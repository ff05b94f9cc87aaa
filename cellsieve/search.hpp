// State of the symmetry search of cellsieve, from the lattice translations to the identified
// group, and small helpers shared by its phases.
//
// The search runs in this order: the extra lattice translations of the structure; the sublattices
// they form; for each sublattice its primitive basis and reduced structure, the point operations
// that map the reduced structure onto itself, the candidate groups those operations and the
// sublattice's coset translations form, and for each candidate the fit, closure, identification
// and report.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "cellsieve/id_spacegroup.hpp"
#include "cellsieve/real_helpers.hpp"
#include "cellsieve/tables.hpp"
#include "library/text/text_io.hpp"
#include "library/types.hpp"

namespace cellsieve {

struct Search {
  // Lattice translations.
  int32_t nred = 0;         // current atom count (input atoms, then reduced atoms)
  int32_t ntrans = 1;       // translations found, the zero translation included
  int32_t rarest_type = 0;  // the atom type with the fewest atoms, and its first atom
  int32_t rarest_first = 0;

  // Sublattices.
  int32_t nsublattices = 1;
  std::vector<int32_t> trans_done;  // per translation: sublattices that existed when last tried
  double prim_volume = 0.0;
  Mat3 prim_basis{}, prim_basis_inv{};
  Vec3 prim_length{};
  Mat3 prim_in_cell{}, cell_in_prim{}, prim_in_lattice{};
  int32_t ncoset = 0;

  // Point operations of the current sublattice.
  int32_t nops = 0;
  std::array<int32_t, 65> oplist{};   // 1-based: accepted operations in increasing order
  std::array<Vec3, 65> optrans{};     // 1-based by operation number: fitted translation
  bool header_written = false;

  // Candidate groups.
  int32_t nelem = 0;
  int32_t nsubgroups = 0;
  // The products that the closures look up: for elements a <= b, the element equal to a applied
  // after b, 0 when it is no element or is excluded; one 16-bit entry per pair, the pairs of one b
  // together (pair_index). So a sublattice has at most kMaxSublatticeElements elements.
  std::vector<uint16_t> pair_products;
  std::vector<int32_t> elem_done;    // (nelem)
  std::vector<int32_t> elem_action;  // (nred, nelem): reduced atom onto which e carries n
  std::vector<std::vector<int32_t>> members;  // member elements of each candidate, ascending

  // Closure and identification of the accepted group.
  int32_t group_nops = 0;
  std::array<int32_t, 49> elem_op{};
  std::array<Vec3, 49> elem_trans{};
  std::array<sgl::SpaceOp, 48> group_space_ops{};
  std::array<sgl::Mat3i, 48> group_matrices{};
  sgl::Mat3i id_basis{};
  IdentificationCache id_cache;  // what the identifications of this run have learnt
  Mat3 cinter_in_pml{}, to_standard{}, std_cart{};

  static constexpr int32_t kMaxSublatticeElements = 65535;
  static std::size_t pair_index(int32_t a, int32_t b) {  // a <= b
    return static_cast<std::size_t>(b - 1) * static_cast<std::size_t>(b) / 2 + static_cast<std::size_t>(a - 1);
  }
  // The product of two elements as a closure forms it: the lower element number applied after the
  // higher.
  int32_t pair_product(int32_t a, int32_t b) const {
    return a <= b ? pair_products[pair_index(a, b)] : pair_products[pair_index(b, a)];
  }
  int32_t action(int32_t n, int32_t e) const {
    return elem_action[static_cast<std::size_t>(e - 1) * static_cast<std::size_t>(nred) +
                       static_cast<std::size_t>(n - 1)];
  }
};

// Column j of a (3, n) grid as a vector, and back.
inline Vec3 column(const Grid<double>& g, int32_t j) { return {g(1, j), g(2, j), g(3, j)}; }
inline void set_column(Grid<double>& g, int32_t j, const Vec3& v) {
  for (int i = 1; i <= 3; ++i) g(i, j) = v[i - 1];
}
inline Vec3 mat_column(const Mat3& m, int j) { return {at(m, 1, j), at(m, 2, j), at(m, 3, j)}; }
inline double length(const Vec3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// One line to standard output, then the same line to the log.
void write_both_units(std::string_view format, std::initializer_list<sgl::OutItem> items);

}  // namespace cellsieve

namespace cellsieve {

// The rotation R as a matrix of the basis P: P^-1 R P with every entry rounded to the nearest
// integer (halves away from zero).
Mat3 integer_matrix(const Mat3& p, const Mat3& p_inv, const Mat3& r);

// The strain fit: the smallest change D of the primitive basis P (lengths len, inverse p_inv)
// for which every rotation R of a set maps P + D onto itself with its integer matrix N,
// R (P + D) = (P + D) N. "Smallest" is measured in Cartesian terms, by the sum of squares of the
// displacement gradient H = D P^-1, so that the fit does not depend on which basis of the lattice
// P is or on how its vectors are oriented. The system has 18 unknowns: x_1..x_9 the entries of H
// (x_(3(m-1)+l) = H(l, m)), the only ones minimised, and x_10..x_18 the entries of D relative to
// the lengths of the basis vectors (D(l, i) = len(i) x_(9+3(i-1)+l)), in which the equations of
// the rotations keep integer coefficients times lengths. start_strain_equations writes the nine
// equations H = D P^-1 as equations 1..9; append_strain_equations adds the nine equations of one
// rotation; fit_strain solves the system and gives D, false when the equations contradict each
// other.
inline constexpr int32_t kStrainVars = 18;
void start_strain_equations(Tables& t, const Mat3& p_inv, const Vec3& len, int32_t& neq);
void append_strain_equations(Tables& t, const Mat3& p, const Vec3& len, const Mat3& r, const Mat3& n,
                             int32_t& neq);
bool fit_strain(Tables& t, int32_t neq, const Vec3& len, Mat3& d);

// The minimum-norm fit of the neq equations of nvar variables, x_lo..x_hi minimised; x receives
// x_1..x_nvar (x[0] unused). False when the equations contradict each other, or when a variable
// is not the pivot of its own equation after the reduction (the solution could not be read).
bool fit_min_norm(Tables& t, int32_t neq, int32_t nvar, int32_t lo, int32_t hi, std::vector<double>& x);

// The rms strain of the change D of the lattice P (p_inv its inverse): the rms of the Cartesian
// principal strains, the principal stretches of (P + D) P^-1 less one. A rotation gives none.
double rms_strain_of(const Mat3& p_inv, const Mat3& d);

}  // namespace cellsieve
