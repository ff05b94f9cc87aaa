// A lattice pair: a trial lattice of crystal 1 (three of its short vectors) and the three short
// vectors of crystal 2 that the cell correspondence matches with them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "duopath/prepared_crystal.hpp"
#include "library/types.hpp"

namespace duopath {

// A stored trial lattice: its size and cell (columns in crystal 1's primitive coordinates).
struct TrialLattice {
  int32_t cell_size = 0;
  sgl::Mat3i cell{};
};

struct LatticePair {
  int32_t cell_size = 0;
  std::array<int32_t, 3> vector_triple1{};
  std::array<int32_t, 3> vector_triple2{};
  sgl::Mat3i cell1{};
  sgl::Mat3i cell1_inverse{};
  int32_t cell1_inverse_den = 1;
  sgl::Mat3i cell2{};
  int32_t cell2_size = 0;
  sgl::Mat3i cell2_inverse{};
  int32_t cell2_inverse_den = 1;
  std::array<double, 9> cartesian_cell1{};
  std::array<double, 9> cartesian_cell2{};
  std::array<double, 3> principal_stretches{};
  std::array<double, 9> metric1{};
  std::array<double, 9> metric2{};
  // cell1^-1 R(p) cell1 in lowest terms, per point-operation number of crystal 1's operators.
  std::array<sgl::Mat3i, kPointOpSlots> lattice_ops1{};
  std::array<int32_t, kPointOpSlots> lattice_ops1_den{};
  // Lengths of vector i_a - i_b of crystal 1 for (a, b) = (2, 1), (3, 1), (3, 2).
  std::array<double, 3> pair_distances1{};
};

// The columns of basis x cell over den, each "(x,y,z)" with components in lowest terms, joined
// by ",": cell vectors in conventional coordinates.
std::string cell_vectors_text(const sgl::Mat3i& basis, int32_t den, const sgl::Mat3i& cell);

// The Hermite normal form of the lattice spanned by the columns of a cell of positive
// determinant: the basis (a,0,0), (b,c,0), (d,e,f) with a, c, f > 0, 0 <= b, d < a, 0 <= e < c,
// as (a, b, c, d, e, f). Two cells span the same lattice exactly when their forms agree.
std::array<int64_t, 6> lattice_key(const sgl::Mat3i& cell);

// Whether cell_inverse / den times m is an integer matrix.
bool integral_product(const sgl::Mat3i& cell_inverse, int32_t den, const sgl::Mat3i& m);

}  // namespace duopath
