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
#include "vibrex/rank_margins.hpp"

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

// Rows of the single-precision equation matrix of an invariant subspace.
inline constexpr int32_t kEquationRows = 50;

// The rank threshold of the double-precision reduction. Its rows are those of D - 1 for real
// orthogonal irrep matrices D (entries within [-2, 2], stored in single precision). Over the
// 334,623 subspaces of tools/sweep_vibrex.py --all --margins (every k letter of every group, each
// subspace reduced in double precision too) the pivot of an independent row is at least 0.053
// and the remainder of a dependent row at most 3.6e-5 (rounding of the single-precision entries):
// 1e-3 lies a factor of 50 below the one and 28 above the other. The 46 subspaces that the double
// reduction decides in the program (where single precision cannot) have pivots of at least 0.105
// and remainders of at most 2.7e-6. The sweep's test sample holds the runs of both extremes and
// requires the two reductions to agree there.
inline constexpr double kRankTolerance = 1e-3;

// The generators of an invariant subspace: ops, then the translations by the columns of v.
std::vector<sgl::SpaceOp> orderparam_generators(int32_t sg, const sgl::Mat3i& v, std::span<const sgl::SpaceOp> ops);

// The subspace of the carrier space of little irrep ir (parameter values kpar) left invariant by
// ops and the three translations of v: ndim and its basis (basis vector n in column n, rows 1..dim
// of 48). The basis vector of each free component has 1 there; free components lowest first.
// The single-precision reduction decides it where it can; where it cannot (an irrep of large
// dimension whose rounding the 0.001 zero test keeps), the double-precision one does. The irrep
// matrices come from the source given, else from a cache for this call alone. The margins of
// the double-precision rank decisions go to `margins` when one is given.
void subgroup_to_orderparam(const Tables& t, int32_t ir, const sgl::RationalVector& kpar, std::vector<float>& basis,
                            int32_t& ndim, const sgl::Mat3i& v, std::span<const sgl::SpaceOp> ops,
                            IrrepMatrixSource* matrices = nullptr, RankMargins* margins = nullptr);

// The two reductions of subgroup_to_orderparam, for its generator list gens. The equation of
// basis function i of a generator g holds D(g)(i, dim + 1 - c), less 1 on the diagonal, in
// column c; the null space of the reduced equations is the subspace.
//
// In single precision: the equations gathered 50 rows at a time, each batch reduced by xrowop2
// (the 0.001 zero test, the first nonzero entry as pivot) and kept up to its last nonzero row.
// Returns false, leaving basis and ndim as they were, when it cannot decide: 50 rows left after a
// reduction (more than a carrier space of at most 48 dimensions holds), a kept row without a
// nonzero entry, or more free columns than the rank leaves.
bool invariant_subspace_single(const Tables& t, int32_t ir, const sgl::RationalVector& kpar,
                               std::span<const sgl::SpaceOp> gens, IrrepMatrixSource& matrices, std::vector<float>& basis,
                               int32_t& ndim);
// In double precision: each generator's rows added to the independent rows kept so far (room for
// 2 dim rows), Gauss-Jordan with the largest remaining entry of a column as its pivot, a column
// without an entry above kRankTolerance free. Always decides. Each column's largest remaining
// entry, kept or dropped, is noted in `extremes` when one is given.
void invariant_subspace_double(const Tables& t, int32_t ir, const sgl::RationalVector& kpar,
                               std::span<const sgl::SpaceOp> gens, IrrepMatrixSource& matrices, std::vector<float>& basis,
                               int32_t& ndim, RankExtremes* extremes = nullptr);

// An isotropy subgroup of little irrep ir at parameter values kpar: the superlattice v of k,
// the operations added beyond its translations (nops of them, room for 48), and the invariant
// subspace (ndim, basis) that is the order-parameter direction. Operations are added greedily
// until the subspace has dimension 1, 4 or 2 for reality type 1, 2 or 3. The irrep matrices
// come from the source given, else from a cache for each trial alone; the rank margins of every
// trial go to `margins` when one is given.
void find_isotropy_subgroup(const Tables& t, int32_t ir, const sgl::RationalVector& kpar, int32_t& ndim,
                            std::vector<float>& basis, sgl::Mat3i& v, int32_t& nops, std::vector<sgl::SpaceOp>& ops,
                            IrrepMatrixSource* matrices = nullptr, RankMargins* margins = nullptr);

}  // namespace vibrex
