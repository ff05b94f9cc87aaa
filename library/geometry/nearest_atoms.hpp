// The shortest distance between two atoms of a crystal.
#pragma once

#include <cstdint>
#include <span>

namespace sgl {

struct CommonSpace;
struct CommonWyckoff;

// The shortest distance between two atoms of the crystal, or from an atom to its own image under
// a lattice translation. The crystal has space group isg and nsite Wyckoff lines: line l is the
// position iwyc(l) (its index within the group) with the free parameters xyz(1..3, l), expanded to
// its whole orbit in the primitive setting "pml"; G is the metric of that primitive basis.
//
// The basis is first shortened (reduce_lattice_basis); every difference of two positions is then
// taken into the shortened basis, folded into [-1/2, 1/2] per component and measured with the 27
// translations of components -1, 0, 1; the 26 lattice vectors of such components count as well.
// When nothing is shortened the basis is used as given. A group or Wyckoff index out of range, or
// a coordinate that is not finite, stops the run with a message.
double dnearest_atoms(const CommonSpace& cs, const CommonWyckoff& cw, int32_t isg, int32_t nsite,
                      std::span<const int32_t> iwyc, std::span<const double> xyz,
                      std::span<const double, 9> g);

// The same on the program's tables, common_space() and common_wyckoff().
double dnearest_atoms(int32_t isg, int32_t nsite, std::span<const int32_t> iwyc,
                      std::span<const double> xyz, std::span<const double, 9> g);

}  // namespace sgl
