// The electrostatic (Madelung) energy of a periodic arrangement of point charges.
#pragma once

#include <span>

namespace sgl {

// The Ewald sum of n point charges q(1..n) at the Cartesian positions r(1..3, k) (one column per
// charge) in the cell whose basis vectors are the columns of b (Cartesian; either handedness):
// the energy of one cell in charge squared per length, with no factor 1 / (4 pi epsilon0), so a
// caller with charges in elementary charges and lengths in angstrom multiplies by 14.399645 eV.
// Both the reciprocal and the real-space sums are cut off where the neglected terms fall below
// 1e-7. A cell that is not neutral gets the energy of its charges in a uniform compensating
// background. Two charges at the same point (modulo the lattice) give an infinite or undefined
// energy.
//
// The basis is first shortened (reduce_lattice_basis) so that the sums, which stop at the first
// shell of lattice vectors that adds nothing, cannot stop before the nearest neighbours of an
// oblique basis; a basis where nothing is shortened is used exactly as given.
void madelung_energy(std::span<const double, 9> b, int n, std::span<const double> q,
                     std::span<const double> r, double& e);

}  // namespace sgl
