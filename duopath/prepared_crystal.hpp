// A crystal made ready for the search: its primitive basis, operators, atoms of the primitive
// cell, Cartesian bases, volume per atom and nearest distance, and the rotations of its operators
// in the primitive basis. Built once per run from the crystal input.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "duopath/crystal_input.hpp"
#include "library/types.hpp"

namespace sgl {
struct CommonSpace;
struct CommonWyckoff;
}  // namespace sgl

namespace duopath {

inline constexpr int32_t kPointOpSlots = 73;  // point-operation numbers 1 .. 72; slot 0 unused

struct PreparedCrystal {
  // Column j: primitive basis vector j in conventional ("cinter") coordinates, over the
  // denominator; to_primitive is its integral inverse.
  sgl::Mat3i primitive_basis{};
  int32_t primitive_basis_den = 1;
  sgl::Mat3i to_primitive{};
  // The space group's operators in "pml", identity first, and the position of each inverse.
  std::vector<sgl::SpaceOp> operators;
  int32_t operator_count = 0;
  std::vector<int32_t> operator_inverse;  // 1-based positions
  int32_t point_group = 0;
  int32_t bravais_type = 0;
  // Per Wyckoff line of the input.
  std::vector<int32_t> wyckoff_global;
  std::vector<int32_t> site_point_group;
  std::vector<int32_t> multiplicity;
  int32_t atom_count = 0;
  // Every atom of the primitive cell, primitive fractional coordinates (not wrapped).
  std::vector<std::array<double, 3>> atom_positions;
  std::vector<int32_t> atom_types;
  std::array<double, 9> conventional_cartesian{};  // columns a, b, c
  std::array<double, 9> primitive_cartesian{};     // columns the primitive vectors
  double volume_per_atom = 0.0;
  double nearest_distance = 0.0;
  // Rotation of each operator in the primitive basis, by point-operation number.
  std::array<sgl::Mat3i, kPointOpSlots> primitive_rotations{};
  int32_t proper_count = 0;
};

// Primitive basis and its integral inverse (stops the run when the inverse is not integral).
void make_primitive_basis(const sgl::CommonSpace& cs, int32_t space_group, PreparedCrystal& p);

// Operators, their inverses, point group, Bravais type, Wyckoff-line multiplicities and the atom
// count (stops the run when an inverse point operation is missing from the operators).
void make_operators(const sgl::CommonSpace& cs, const sgl::CommonWyckoff& cw,
                    const CrystalInput& crystal, PreparedCrystal& p);

// Every atom of the primitive cell, in the order of the Wyckoff lines and their orbits (stops the
// run when the orbits do not give atom_count atoms).
void make_atoms(const sgl::CommonSpace& cs, const sgl::CommonWyckoff& cw,
                const CrystalInput& crystal, PreparedCrystal& p);

// Cartesian conventional basis from a, b, c, alpha, beta, gamma.
std::array<double, 9> conventional_basis(const std::array<double, 6>& lattice);

// primitive_cartesian = conventional_cartesian x primitive_basis / primitive_basis_den.
void make_primitive_cartesian(PreparedCrystal& p);

// The rotation of point operation p_op in the primitive basis of the Bravais type, or false when
// it is not an integer matrix.
bool primitive_rotation(const sgl::CommonSpace& cs, int32_t bravais, int32_t p_op, sgl::Mat3i& r);

// Fills primitive_rotations for every operator (stops the run when one is not integral).
void make_primitive_rotations(const sgl::CommonSpace& cs, PreparedCrystal& p);

// Whether every operator's primitive rotation keeps the metric of primitive_cartesian: each
// entry of R^T G R - G within 1e-6 of G's largest diagonal entry.
bool rotations_keep_metric(const sgl::CommonSpace& cs, const PreparedCrystal& p);

// The position of the last proper operator (0 when none), or -1 when an improper operator comes
// before it.
int32_t proper_operator_count(const sgl::CommonSpace& cs, const PreparedCrystal& p);

}  // namespace duopath
