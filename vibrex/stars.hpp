// Operators, k vectors and stars, exactly.
//
// Operators are SpaceOps of one space group in setting "pml": a translation on the primitive
// basis of the group's Bravais lattice, in lowest terms and never reduced modulo the lattice, and
// a point-operation number. k vectors are RationalVectors on the primitive reciprocal basis of
// "pml". Outputs may be the same objects as inputs. Every failure stops through bomb().
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "library/types.hpp"
#include "vibrex/mode_tables.hpp"

namespace vibrex {

inline constexpr int kMaxOps = 48;

// A k-vector matrix: four RationalVector columns (constant part, then the coefficients of
// parameters 1..3), by columns.
using KMatrix = std::array<int32_t, 16>;

// h = g^-1 = (-R^-1 t, p^-1), R^-1 t in the primitive basis of lattice type L.
void ginv(const sgl::CommonSpace& cs, int32_t lattice, const sgl::SpaceOp& g, sgl::SpaceOp& h);

// g3 = g1 g2 (g1 applied after g2): translation t1 + R1 t2, point operation p1 p2.
void gmlt(const sgl::CommonSpace& cs, int32_t lattice, const sgl::SpaceOp& g1, const sgl::SpaceOp& g2,
          sgl::SpaceOp& g3);

// k rotated by point operation p in the primitive reciprocal basis of lattice type L:
// (M3 R M4 k) over D2 times k's denominator, in lowest terms.
void krot(const sgl::CommonSpace& cs, int32_t lattice, int32_t p, const sgl::RationalVector& k,
          sgl::RationalVector& out);

// k carried from setting s1 to setting s2 of the group: by the transpose of the direct-space
// change from s2 to s1 (the inverse transpose of the change from s1 to s2), in lowest terms.
void kvector_change_setting(const sgl::CommonSpace& cs, int32_t space_group, std::string_view s1,
                            std::string_view s2, const sgl::RationalVector& k, sgl::RationalVector& out);

// 1 when the parameter values put k (k index kidx of the group's lattice, parameters filled in)
// at a point of higher symmetry than its line or plane: some point operation of the group maps k
// to k, or to -k, modulo the reciprocal lattice but does not map the whole line the same way
// (constant column modulo the lattice, parameter columns exactly). 0 otherwise, and always for a
// k vector without parameters.
int32_t is_k_special(const Tables& t, int32_t space_group, int32_t kidx, const sgl::RationalVector& k);

// The star of k vector kidx in the group.
struct Star {
  int32_t narm = 0;
  std::array<KMatrix, kMaxOps> arms{};           // arm n: the k-vector matrix rotated by coset n
  int32_t nlittle = 0;
  std::array<sgl::SpaceOp, kMaxOps> little{};    // operators of the little co-group, in table order
  std::array<sgl::SpaceOp, kMaxOps> cosets{};    // one left-coset representative per arm
};

// The star: the group's operators walked in order, each not yet covered starting the next left
// coset of the little co-group and its arm. Stops when the co-group order is 0 or does not divide
// the group order, a co-group operation or a product lies outside the group, cosets overlap, or
// they do not fill the group.
void get_star(const Tables& t, int32_t space_group, int32_t kidx, Star& star);

// Column c (1..4) of a k-vector matrix, and the matrix of the tables.
sgl::RationalVector kmatrix_column(const KMatrix& m, int32_t c);
KMatrix table_kmatrix(const CommonLittle& little, int32_t kidx, int32_t lattice);

}  // namespace vibrex
