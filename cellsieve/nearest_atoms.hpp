// The atom of a given type nearest to a point, as the translation search measures it: the
// difference u - x_m is brought near the origin modulo a lattice (near_origin), and the atom whose
// reduced difference is shortest wins; of equal lengths, the lowest index.
//
// Measuring every atom of the type for every point costs one near_origin per atom. Here the atoms
// of each type are sorted into a grid over the lattice's unit cell (in lattice coordinates), and a
// point first measures the atoms of the grid cell that holds it; the best length found bounds how
// far, in each lattice coordinate, an atom can lie that is no longer, and only the atoms of the
// grid cells within that bound (with a margin for rounding) are measured next. Every atom that may
// be as near as the best is measured, each exactly as the full scan measures it, so the atom
// chosen and its lattice part are those of the full scan.
#pragma once

#include <cstdint>
#include <vector>

#include "cellsieve/real_helpers.hpp"
#include "cellsieve/tables.hpp"

namespace cellsieve {

class NearestAtoms {
 public:
  // The atoms 1..n at the Cartesian columns of `cart` with the types of `type`; the lattice has
  // the basis `basis` (Cartesian columns) and its inverse `basis_inv`. The positions are read
  // when measuring, so `cart` and `type` must outlive the object unchanged.
  NearestAtoms(const Mat3& basis, const Mat3& basis_inv, const Grid<double>& cart, const Grid<int32_t>& type,
               int32_t n);

  // The atom m of type `type` with the shortest d = near_origin(u - x_m), the lowest index among
  // equal lengths, with its lattice part w - d (w = u - x_m); 0 when no atom has that type.
  int32_t nearest(const Vec3& u, int32_t type, Vec3& lattice_part) const;

 private:
  // The atoms of one type: all of them in increasing order, and the same sorted into a grid of
  // dims[0] x dims[1] x dims[2] cells (start[c]..start[c + 1] - 1 in `items`, increasing within a
  // cell). Grid coordinate i of a point with lattice coordinate f is f dims[i] + kOffset, so the
  // cell walls avoid the simple fractions at which atoms of ideal structures sit.
  struct TypeGrid {
    int32_t type = 0;
    std::vector<int32_t> atoms;
    int32_t dims[3] = {1, 1, 1};
    std::vector<int32_t> start;
    std::vector<int32_t> items;
  };
  static constexpr double kOffset = 0.3183098861837907;

  const TypeGrid* grid_of(int32_t type) const;
  // The grid cell (per axis) of lattice coordinates f.
  void cell_of(const TypeGrid& g, const Vec3& f, int32_t (&c)[3]) const;

  Mat3 basis_{}, basis_inv_{};
  const Grid<double>* cart_ = nullptr;
  double row_norm_[3] = {0, 0, 0};  // Euclidean lengths of the rows of basis_inv
  double coordinate_scale_ = 0.0;   // the largest |lattice coordinate| of an atom
  std::vector<TypeGrid> grids_;     // by increasing type
};

}  // namespace cellsieve
