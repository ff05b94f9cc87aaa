// Isotropy subgroups for k vectors with free parameters: a superlattice on which k is periodic,
// the subspace of the irrep's carrier space left invariant by a set of operations, and a greedy
// search for operations until that subspace has the dimension of an order-parameter direction.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "library/types.hpp"
#include "vibrex/irrep_matrix_cache.hpp"
#include "vibrex/mode_tables.hpp"

namespace vibrex {

// The largest superlattice (in parent cells) that the search and the superlattice of a k vector
// may need.
inline constexpr int32_t kMaxSuperlatticeCells = 64;

// Rows of the invariant-subspace basis vectors: column n holds basis vector n.
inline constexpr int32_t kBasisLead = 48;

// A superlattice basis v (columns in the parent basis) on which k . v is an integer for every k
// vector of ks: column i the first candidate with entry i = 1..N (N the first k vector's
// denominator) and entries 1..i-1 running over 0..N, entry 1 fastest; then three shortening
// passes. Stops through bomb() when N exceeds 64 or an axis finds no vector.
void newlat(std::span<const sgl::RationalVector> ks, sgl::Mat3i& v);

// The subspace of the carrier space of little irrep ir (parameter values kpar) left invariant by
// ops and the three translations of v: ndim and its basis (basis vector n in column n, rows 1..dim
// of 48). The basis vector of each free component has 1 there; free components lowest first.
// The irrep matrices come from the source given, else from a cache for this call alone.
void subgroup_to_orderparam(const Tables& t, int32_t ir, const sgl::RationalVector& kpar, std::vector<float>& basis,
                            int32_t& ndim, const sgl::Mat3i& v, std::span<const sgl::SpaceOp> ops,
                            IrrepMatrixSource* matrices = nullptr);

// An isotropy subgroup of little irrep ir at parameter values kpar: the superlattice v of k,
// the operations added beyond its translations (nops of them, room for 48), and the invariant
// subspace (ndim, basis) that is the order-parameter direction. Operations are added greedily
// until the subspace has dimension 1, 4 or 2 for reality type 1, 2 or 3. The irrep matrices
// come from the source given, else from a cache for each trial alone.
void find_isotropy_subgroup(const Tables& t, int32_t ir, const sgl::RationalVector& kpar, int32_t& ndim,
                            std::vector<float>& basis, sgl::Mat3i& v, int32_t& nops, std::vector<sgl::SpaceOp>& ops,
                            IrrepMatrixSource* matrices = nullptr);

}  // namespace vibrex
