// The irrep analysis of one k vector: at the zone centre the optional longitudinal direction, the
// acoustic modes and Raman activity of every irrep; then, for every irrep that the atoms'
// displacements reach, the isotropy subgroup, the supercell and the symmetry modes, reported
// block by block.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "vibrex/longitudinal_modes.hpp"
#include "vibrex/run_state.hpp"

namespace vibrex {

// The per-slot counts of the last zone-centre k vector: translational-mode counts and Raman
// multiplicities, cleared at every other k vector; a slot that a later zone-centre k vector
// leaves empty keeps its values.
struct ZoneCentreCounts {
  std::array<int32_t, kMaxSlots> trans_mode_count{};
  std::array<int32_t, kMaxSlots> raman_flag{};
};
ZoneCentreCounts& zone_centre_counts();

// The counts at the zone centre of the group: for every occupied slot the multiplicity of its
// irrep in the vector representation (halved for an irrep that is not real) and in the polar
// symmetric rank-2 tensors. Stops through bomb() for a multiplicity that is not a whole number,
// a negative one, counts whose weighted sum is not 3, and a zone-centre little irrep without a
// stored irrep (with a line).
void count_zone_centre_modes(const Tables& t, int32_t isg, const sgl::RationalVector& kpar, ZoneCentreCounts& counts);

// Every irrep at the current k vector, reported block by block after the k-vector header. The
// irrep matrices of the isotropy search and of the supercell modes come from
// run.irrep_matrices(). The zone-centre direction's input errors stop with their messages;
// everything else stops through bomb().
void analyse_irreps(VibrexRun& run);

// One isotropy entry as the choice sees it: its order-parameter direction's parameter count,
// the signed determinant of its superlattice, the order of its point group and whether that
// point group holds the inversion.
struct IsotropyCandidate {
  int32_t p = 0;
  int32_t det = 0;
  int32_t order = 0;
  int32_t inversion = 0;
};

// The entry chosen (1-based; 0 when none): among the entries whose parameter count is not above
// the running minimum, the smallest determinant (at most 100), then the larger order, then
// inversion; earlier entries win ties. minpar is the running minimum after the last entry.
int32_t choose_isotropy(std::span<const IsotropyCandidate> entries, int32_t& minpar);

// The transverse direction for the longitudinal coefficients c of an irrep of dimension 2
// ((-c2, c1)) or 3 (the first axis along which c is zero, else (-c2, c1, 0)); another dimension
// stops through bomb().
std::array<float, 3> transverse_direction(int32_t dim, const std::array<float, 3>& c);

}  // namespace vibrex
