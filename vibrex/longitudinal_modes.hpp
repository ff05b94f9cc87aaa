// Longitudinal and transverse modes at the zone centre: the vector representation split into its
// irreps with basis vectors for each, and the irreps whose vector subspace holds a direction
// given as a k-vector line through the origin. Both work in a reference cell of unit lengths
// (gamma 120 degrees for the groups of the hexagonal operation list), so only the lattice's shape
// matters.
#pragma once

#include <array>
#include <cstdint>

#include "vibrex/mode_tables.hpp"

namespace vibrex {

// The irreps of the vector representation: for irrep s (1..n) its little-irrep number, its number
// of independent copies, and the vectors w(c, a, j, s): component c of the vector that transforms
// as row a of irrep s in copy j.
struct VectorBasis {
  int32_t n = 0;
  std::array<int32_t, 3> lirr{};
  std::array<int32_t, 3> ncopy{};
  std::array<float, 81> w{};

  float& at(int32_t c, int32_t a, int32_t j, int32_t s) {
    return w[static_cast<std::size_t>(((s - 1) * 3 + (j - 1)) * 9 + (a - 1) * 3 + (c - 1))];
  }
  float at(int32_t c, int32_t a, int32_t j, int32_t s) const {
    return w[static_cast<std::size_t>(((s - 1) * 3 + (j - 1)) * 9 + (a - 1) * 3 + (c - 1))];
  }
};

// Projects the unit vectors of the three axes onto the first row of each zone-centre irrep of
// the group, in slot order, keeping the independent sets (one only for an irrep that is not
// real), until the dimensions found add up to 3. Stops through bomb() on a stored-irrep error, a
// zone-centre little irrep without a stored irrep, an irrep of dimension above 3, and when the
// irreps do not add up to 3.
void get_vector_basis(const Tables& t, int32_t sg, VectorBasis& vb);

// The irreps whose vector subspace holds the direction of k vector kx (a line through the origin
// with one parameter), each with the direction's coefficients in its basis at unit length (zeros
// for an irrep that is not real). ierr = 1 for a k vector that is not such a line.
struct Polarization {
  int32_t nlong = 0;
  std::array<int32_t, 3> lirr{};
  std::array<std::array<float, 3>, 3> coef{};
};
void polarize(const Tables& t, int32_t sg, int32_t kx, Polarization& result, int32_t& ierr);

}  // namespace vibrex
