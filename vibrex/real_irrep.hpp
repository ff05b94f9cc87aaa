// Real irreps: the real matrices (or characters) of every little irrep, stored or induced, and
// the two computed transformations of an induced irrep to real form.
//
// An induced irrep that is not real is doubled into the sum of it and its complex conjugate and
// brought to real form by a unitary T, stored in the tables or computed. Both computations find a
// matrix X, nonzero only in the blocks that join an arm a of the star to its partner arm b (the
// arm of -k_a), with X D(g) = conj(D(g)) X for every generator g; free entries of X are tried with
// the values 0, 1 and -1 until every pair block has a determinant of modulus 1. Each computation
// keeps its last result, keyed on the little irrep and the parameter values.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "library/types.hpp"
#include "vibrex/induced_irrep.hpp"
#include "vibrex/mode_tables.hpp"

namespace vibrex {

// A real matrix of dimension up to 48, by columns with leading dimension 48.
using RealMatrix = std::array<float, kInducedLead * kInducedLead>;

inline float& rat(RealMatrix& m, int32_t r, int32_t c) {
  return m[static_cast<std::size_t>((c - 1) * kInducedLead + (r - 1))];
}
inline float rat(const RealMatrix& m, int32_t r, int32_t c) {
  return m[static_cast<std::size_t>((c - 1) * kInducedLead + (r - 1))];
}
inline Complex8& zat(InducedMatrix& m, int32_t r, int32_t c) {
  return m[static_cast<std::size_t>((c - 1) * kInducedLead + (r - 1))];
}
inline Complex8 zat(const InducedMatrix& m, int32_t r, int32_t c) {
  return m[static_cast<std::size_t>((c - 1) * kInducedLead + (r - 1))];
}

// The character (mode 1) or the real matrix (mode 2, dimension LITTLE_IRREP_DIMENSION) of little
// irrep l for op at parameter values par. A stored irrep is read from the tables (its matrix
// snapped onto the constant table); an induced one is induced, doubled with its conjugate when
// not real, and transformed with the stored T or the one transform_type1 computes. error = 1 when
// op is not an operator of the group. Stops through bomb() for another mode on the induced path,
// an induced irrep that is not real without a stored transformation (mode 2), and a character or
// transformed element whose imaginary part is not zero by the test.
void get_irrep2(const Tables& t, int32_t mode, int32_t l, const sgl::SpaceOp& op, const sgl::RationalVector& par,
                float& x, RealMatrix& xm, int32_t& error);

// The kept results of the two transformations: zero at start, so the first call computes.
struct TransformType1State {
  int32_t l = 0;
  sgl::RationalVector par{0, 0, 0, 0};
  InducedMatrix t{};
  int32_t computations = 0;  // how often T was computed (a diagnostic count)
};
struct TransformType2State {
  int32_t l = 0;
  sgl::RationalVector par{0, 0, 0, 0};
  std::array<Complex8, 24 * 24> w{};  // by columns, leading dimension 24
  int32_t computations = 0;           // how often W was computed
};
TransformType1State& transform_type1_state();
TransformType2State& transform_type2_state();

// T (n x n, n the little irrep's dimension) for an induced little irrep whose star pairs k with
// -k and whose induced dimension is n: X symmetric, one s x s block per pair, free values only in
// the last pair's block. Kept for the same l and parameter values of the k vector. Writes
// "Error in transform_type1: nvar is " and the count for more than 100 variables, "Error in
// transform_type1: neqs too large" for 50 independent equations, and stops through bomb() on
// those and every other failure (an arm without partner, a free value outside the last block, no
// trial giving unit determinants).
void transform_type1(const Tables& t, int32_t l, const sgl::RationalVector& par, InducedMatrix& tm);

// T = S diag(I, W) for an induced little irrep of reality type 2 with stored transformation S:
// W (h x h, h = n / 2) intertwines the induced irrep with its conjugate, two independent s x s
// blocks per pair. W is kept for the same l and parameter values. Stops through bomb() for
// another reality type, no stored S, more than 72 variables, 36 independent equations with more
// to add (with the line "Error in transform_type2: neqs too large") and the failures of
// transform_type1's search.
void transform_type2(const Tables& t, int32_t l, const sgl::RationalVector& par, InducedMatrix& tm);

// The trial values of the search: each free variable carries a digit 0, 1 or 2 standing for 0,
// 1 or -1. next_trial counts the digits of the free variables (in increasing order, the lowest
// fastest) up by one and returns the variable whose digit was raised, 0 when every combination
// was tried. trial_values sets variables 1..last to the values of their digits (pivot variables
// carry digit 0); transform_type1 passes the raised variable, transform_type2 every variable.
int32_t next_trial(std::span<const int32_t> free, std::vector<int32_t>& digit);
void trial_values(std::vector<Complex8>& values, const std::vector<int32_t>& digit, int32_t last);

}  // namespace vibrex
