// A small hand-made space-group table block for the encoding and setting tests.
//
// Group 229 is given a body-centred lattice (Bravais type 2 here) with the primitive basis
// a1 = (-1, 1, 1)/2, a2 = (1, -1, 1)/2, a3 = (1, 1, -1)/2 of the conventional axes, and four
// settings besides "cml": "pml" (primitive, reference axes), "csh" (origin at (1/4, 0, 0) of
// "cml"), "cab" (first two axes exchanged) and "psh" (primitive with the origin of "csh").
// Group 166 has a rhombohedral default setting; group 1 a primitive lattice (type 1). Only
// point operations 1 (identity), 2 (twofold about z), 25 (inversion), 49 (identity), 50
// (threefold about z in hexagonal axes) and 61 (inversion) have matrices.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "library/tables/common_space.hpp"
#include "library/types.hpp"

namespace sgl::fixture {

using Rows = std::array<int32_t, 9>;  // a 3x3 matrix listed row by row

inline constexpr Rows kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};
inline constexpr Rows kTwofoldZ{-1, 0, 0, 0, -1, 0, 0, 0, 1};
inline constexpr Rows kInversion{-1, 0, 0, 0, -1, 0, 0, 0, -1};
inline constexpr Rows kThreefoldHex{0, -1, 0, 1, -1, 0, 0, 0, 1};
// The twofold about z in the primitive basis a1, a2, a3: a1 -> a2, a2 -> a1, a3 -> -a1-a2-a3.
inline constexpr Rows kTwofoldZPrimitive{0, 1, -1, 1, 0, -1, 0, 0, -1};

// Base-3 code of a matrix with entries -1, 0, 1 (entries by columns, first least significant).
constexpr int32_t code_of(const Rows& r) {
  int32_t code = 0;
  for (int j = 2; j >= 0; --j)
    for (int i = 2; i >= 0; --i) code = 3 * code + r[i * 3 + j] + 1;
  return code;
}

template <std::size_t N>
void set_text(Text<N>& t, std::string_view s) {
  t.chars.fill(' ');
  for (std::size_t i = 0; i < s.size() && i < N; ++i) t.chars[i] = s[i];
}

// Writes an operator matrix (block rows listed row by row, translation, corner) into slot s.
inline void set_pair_matrix(CommonSpace& cs, int g, int p, int s, const Rows& block,
                            std::array<int32_t, 3> t, int32_t corner) {
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 4; ++j) cs.setting_transform(i, j, p, g, s) = 0;
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) cs.setting_transform(i, j, p, g, s) = block[(i - 1) * 3 + j - 1];
    cs.setting_transform(i, 4, p, g, s) = t[i - 1];
  }
  cs.setting_transform(4, 4, p, g, s) = corner;
}

inline void set_rot(CommonSpace& cs, int k, const Rows& r) {
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) cs.point_op_rot(i, j, k) = r[(i - 1) * 3 + j - 1];
}

inline std::unique_ptr<CommonSpace> make_tables() {
  auto cs = std::make_unique<CommonSpace>();
  for (int k : {1, 2, 25}) set_rot(*cs, k, k == 1 ? kIdentity : k == 2 ? kTwofoldZ : kInversion);
  for (int k : {49, 50, 61}) set_rot(*cs, k, k == 49 ? kIdentity : k == 50 ? kThreefoldHex : kInversion);
  cs->conv_matrix_code(1) = code_of(kIdentity);
  cs->conv_matrix_code(2) = code_of(kTwofoldZ);
  cs->conv_matrix_code(25) = code_of(kInversion);
  cs->conv_matrix_code(49) = code_of(kIdentity);
  cs->conv_matrix_code(50) = code_of(kThreefoldHex);
  cs->conv_matrix_code(61) = code_of(kInversion);
  // "cinter" of the rhombohedral group: the threefold about the body diagonal.
  cs->rhomb_matrix_code(49) = code_of(kIdentity);
  cs->rhomb_matrix_code(50) = code_of({0, 0, 1, 1, 0, 0, 0, 1, 0});
  cs->rhomb_matrix_code(61) = code_of(kInversion);

  set_text(cs->prim_setting_name(1), "pml");
  set_text(cs->prim_setting_name(2), "psh");
  set_text(cs->prim_setting_name(3), "pq");
  set_text(cs->prim_setting_name(4), "pr");
  for (int b : {1, 2}) {
    // Bravais type 1 (primitive lattice): the conventional matrices.
    cs->prim_matrix_code(1, 1, b) = code_of(kIdentity);
    cs->prim_matrix_code(2, 1, b) = code_of(kTwofoldZ);
    cs->prim_matrix_code(25, 1, b) = code_of(kInversion);
    // Bravais type 2 (body-centred).
    cs->prim_matrix_code(1, 2, b) = code_of(kIdentity);
    cs->prim_matrix_code(2, 2, b) = code_of(kTwofoldZPrimitive);
    cs->prim_matrix_code(25, 2, b) = code_of(kInversion);
  }

  cs->sg_bravais(1) = 1;
  cs->sg_bravais(229) = 2;
  cs->sg_bravais(166) = 9;
  for (int g = 1; g <= 230; ++g) cs->sg_default_setting(g) = 1;
  cs->sg_default_setting(166) = 2;
  set_text(cs->setting_lattice_letter(1), "P");
  set_text(cs->setting_lattice_letter(2), "R");

  // Lattice matrices of the body-centred type: matrix 1 = P^-1, matrix 2 = 2 P, denominator 2.
  const Rows inv_p{0, 1, 1, 1, 0, 1, 1, 1, 0};
  const Rows two_p{-1, 1, 1, 1, -1, 1, 1, 1, -1};
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) {
      cs->lattice_transform(i, j, 1, 2) = inv_p[(i - 1) * 3 + j - 1];
      cs->lattice_transform(i, j, 2, 2) = two_p[(i - 1) * 3 + j - 1];
      cs->lattice_transform(i, j, 1, 1) = kIdentity[(i - 1) * 3 + j - 1];
      cs->lattice_transform(i, j, 2, 1) = kIdentity[(i - 1) * 3 + j - 1];
    }
  }
  cs->lattice_transform_den(1, 2) = 2;
  cs->lattice_transform_den(1, 1) = 1;

  set_text(cs->setting_name(2, 1), "csh");
  set_text(cs->setting_name(2, 2), "cab");
  set_text(cs->setting_name(2, 5), "pml");
  set_text(cs->setting_name(2, 6), "psh");
  const Rows swap_ab{0, 1, 0, 1, 0, 0, 0, 0, 1};
  for (int g : {1, 229}) {
    // x(cml) = x(csh) + (1/4, 0, 0).
    set_pair_matrix(*cs, g, 1, 1, {4, 0, 0, 0, 4, 0, 0, 0, 4}, {-1, 0, 0}, 4);
    set_pair_matrix(*cs, g, 2, 1, {4, 0, 0, 0, 4, 0, 0, 0, 4}, {1, 0, 0}, 4);
    set_pair_matrix(*cs, g, 1, 2, swap_ab, {0, 0, 0}, 1);
    set_pair_matrix(*cs, g, 2, 2, swap_ab, {0, 0, 0}, 1);
  }
  // Primitive steps: x(conventional) = P x(primitive); the identity for the primitive lattice.
  for (int s : {5, 6}) {
    set_pair_matrix(*cs, 229, 1, s, inv_p, {0, 0, 0}, 1);
    set_pair_matrix(*cs, 229, 2, s, two_p, {0, 0, 0}, 2);
    set_pair_matrix(*cs, 1, 1, s, kIdentity, {0, 0, 0}, 1);
    set_pair_matrix(*cs, 1, 2, s, kIdentity, {0, 0, 0}, 1);
  }
  return cs;
}

}  // namespace sgl::fixture
