// Invariant tensors: how often a zone-centre irrep occurs among the Cartesian tensors of a rank
// with given index symmetries (polar or axial), and a basis of those tensors. A tensor index
// tuple (indices 1..3 for x, y, z) is packed into the base-3 number of its digits index - 1, the
// first index most significant.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "vibrex/mode_tables.hpp"
#include "vibrex/numeric_kernel.hpp"

namespace vibrex {

inline constexpr int32_t kMaxTensorRank = 6;

// The rank that tensor_pack and tensor_unpack work with; tensor_basis sets it on entry.
struct TensorCommon {
  int32_t tensor_rank = 0;
};
TensorCommon& common_tensor();

// code := sum of (idx(i) - 1) 3^(rank - i); rank 0 gives 0.
void tensor_pack(std::span<const int32_t> idx, int32_t& code);
// The inverse: for i = rank down to 1, idx(i) := code mod 3 + 1, code := code / 3.
void tensor_unpack(int32_t code, std::span<int32_t> idx);

// n!; a negative n stops through bomb().
int32_t ifactorial(int32_t n);

// One permutation of up to six positions and its sign.
struct Permutation {
  std::array<int32_t, kMaxTensorRank> to{};  // to[t - 1]: the position that position t takes its index from
  int32_t sign = 1;
};

// All 720 permutations of six positions: those of n positions are the permutations of n - 1
// positions with n appended, followed, for each of those in order, by the ones that insert n at
// positions n - 1, n - 2, ..., 1 with the parent's sign times (-1)^(n - position). The first s!
// entries permute the first s positions only; entry 1 is the identity.
const std::vector<Permutation>& permutation_table();

// The Cartesian matrix of every point operation 1..72: the cubic list as its integer matrix, the
// hexagonal list as A R A^-1 with A's rows (0.866025, 0, 0), (-0.5, 1, 0), (0, 0, 1). Built on the
// first call and kept for the run.
const std::array<Mat3f, 72>& rotation_table(const sgl::CommonSpace& cs);

// The multiplicity of zone-centre stored irrep `irrep` in the tensors of the rank whose index
// groups follow index_groups (a count s and |s| positions per group, s > 0 symmetric, s < 0
// antisymmetric, ended by 0); parity 1 polar, -1 axial. Also the independent components (nind,
// their packed representatives ind) and mult tensors in basis: entry (d, b, t) for component d,
// irrep row b and tensor t, component fastest. Stops through bomb() for a label not beginning
// with "GM", a rank above 6, an irrep dimension above 3, a stored-irrep error, characters whose
// squares do not sum to 1 or 2 times the group order, a multiplicity sum that is not an integer
// multiple of it, and too few independent tensors.
void tensor_basis(const Tables& t, int32_t irrep, int32_t parity, int32_t rank, std::span<const int32_t> index_groups,
                  int32_t& mult, std::vector<float>& basis, int32_t& nind, std::vector<int32_t>& ind);

}  // namespace vibrex
