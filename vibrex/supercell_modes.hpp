// Supercell atoms and symmetry modes: for one irrep and one pass of the analysis, the
// superlattice vectors in Cartesian coordinates, every atom of the supercell with its type and
// Cartesian position, and the symmetry-adapted displacement modes, each scaled so that its
// largest component is 1 or -1 with a fixed sign rule.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "library/types.hpp"
#include "vibrex/run_state.hpp"

namespace vibrex {

// Whether site irrep r of point group pg (the site group of position w) reaches the irrep: r is
// among the polar vector slots of pg and in the site-irrep list of the position for the stored
// irrep (npar = 0) or for little irrep l (npar > 0). A stored irrep number of 0 where the stored
// lists are needed stops through bomb() with a line.
bool site_irrep_reached(const Tables& t, int32_t l, int32_t irrep, int32_t npar, int32_t w, int32_t pg, int32_t r);

// What the analysis chose for one pass: the little irrep and its stored irrep, the superlattice
// (columns in the parent basis of "pml") and the order-parameter direction (nvec vectors of 48
// rows, component c of vector p at (p - 1) * 48 + c - 1).
struct ModeRequest {
  int32_t l = 0;
  int32_t irrep = 0;
  sgl::Mat3i superlattice{};
  int32_t nvec = 0;
  std::vector<float> opd_basis;
};

struct SupercellAtom {
  int32_t type = 0;                 // 1-based atom type
  std::array<float, 3> position{};  // Cartesian
};

struct SupercellModes {
  std::vector<sgl::RationalVector> translations;  // the parent cells of the supercell, zero first
  Mat3f vectors{};                                // superlattice vector c in column c, Cartesian
  std::vector<SupercellAtom> atoms;
  std::vector<std::vector<float>> modes;  // per mode, 3 Cartesian components per atom
};

// The superlattice vectors of s (columns in the parent basis of "pml") in Cartesian
// coordinates, column c for vector c, as the report prints them.
Mat3f superlattice_vectors(const VibrexRun& run, const sgl::Mat3i& s);

// Builds the supercell and the modes for the run's structure and current k vector. Stops through
// bomb() when no mode is projected for a site irrep that passed the site test, a real irrep
// error, a mode whose components are all zero by the test, a position that does not fold into
// the supercell (not finite, or its lattice shift overflows), and the failures of the routines
// called.
// The irrep matrices come from run.irrep_matrices(), the run's cache: each computed once per
// operator for the little irrep and parameter values.
void build_supercell_modes(const VibrexRun& run, const ModeRequest& req, SupercellModes& out);

// Folds y into [0, 1) as the unit steps do (a value within 0.001 below 1 goes to near 0, one
// within 0.001 below 0 stays), shifting the fixed point numerators by the superlattice column
// times its denominator for every step; large values take their whole steps at once.
void fold_coordinate(float& y, const std::array<int32_t, 3>& column, sgl::RationalVector& fixed_point);

// Divides the mode by its largest magnitude, negated when fewer than half of the nonzero
// components are positive. A mode without a nonzero component stops through bomb().
void scale_mode(std::vector<float>& mode);

}  // namespace vibrex
