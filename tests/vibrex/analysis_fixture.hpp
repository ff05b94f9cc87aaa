// Test support for the analysis routines: induced little irreps added to loaded fixture tables,
// and the standard output of a call that may stop.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <complex>
#include <cstdint>
#include <string>

#include "library/groups/space_group.hpp"
#include "library/text/text_io.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/vibrex/loaded_fixture.hpp"

namespace vibrex::testing {

// Runs f under a bomb trap; returns the standard output it wrote and whether it stopped.
template <typename F>
std::string output_of(F&& f, bool& bombed) {
  sgl::testing::BombTrap trap;
  ::testing::internal::CaptureStdout();
  bombed = false;
  try {
    f();
  } catch (const sgl::testing::Bombed&) {
    bombed = true;
  }
  sgl::flush(6);
  return ::testing::internal::GetCapturedStdout();
}

inline void set_label(sgl::Text<2>& t, const char* s) { t.chars = {s[0], s[1] == 0 ? ' ' : s[1]}; }

// The conventional rotation of a point operation.
inline std::array<int, 9> rotation(const sgl::CommonSpace& cs, int32_t p) {
  std::array<int, 9> m{};
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) m[(j - 1) * 3 + i - 1] = cs.point_op_rot(i, j, p);
  return m;
}

// A k vector of the lattice of group sg at index j: constant part 0, parameter 1 along the
// direction (d1, d2, d3); every column with denominator 1.
inline void add_line(LoadedTables& t, int32_t sg, int32_t j, const char* label, std::array<int, 3> d) {
  CommonLittle& lt = *t.little;
  const int32_t lat = t.space->sg_bravais(sg);
  if (lt.kvec_count(lat) < j) lt.kvec_count(lat) = static_cast<int8_t>(j);
  set_label(lt.kvec_label(j, lat), label);
  for (int c = 1; c <= 4; ++c) {
    for (int r = 1; r <= 3; ++r) lt.kvec_matrix(r, c, j, lat) = 0;
    lt.kvec_matrix(4, c, j, lat) = 1;
  }
  for (int r = 1; r <= 3; ++r) lt.kvec_matrix(r, 2, j, lat) = static_cast<int8_t>(d[r - 1]);
  lt.kvec_parameter_count(j, lat) = 1;
}

// Little irrep l of group sg at k index j: the co-group the operations whose rotation fixes the
// direction d, one small irrep of dimension s whose character (and 1 x 1 matrix) for each
// co-group operation is character(p) as a (re, im) pair of constant indices, from entry
// `value_start` of the characters on.
template <typename Character>
void add_induced(LoadedTables& t, int32_t l, int32_t sg, int32_t j, std::array<int, 3> d, int32_t dim, int32_t reality,
                 int32_t value_start, Character character, int32_t s = 1) {
  CommonLittle& lt = *t.little;
  int32_t nop = 0;
  std::array<sgl::SpaceOp, sgl::kMaxGroupOps> ops{};
  sgl::generate_space_group(*t.space, sg, nop, ops);
  int32_t order = 0;
  for (int32_t n = 0; n < nop; ++n) {
    const std::array<int, 9> r = rotation(*t.space, ops[n][4]);
    bool fixed = true;
    for (int i = 0; i < 3; ++i) fixed = fixed && r[i] * d[0] + r[3 + i] * d[1] + r[6 + i] * d[2] == d[i];
    if (!fixed) continue;
    ++order;
    lt.little_cogroup_ops(order, j, sg) = static_cast<int8_t>(ops[n][4]);
    const std::array<int, 2> v = character(ops[n][4]);
    lt.small_irrep_1d_value(1, value_start + order - 1) = static_cast<int8_t>(v[0]);
    lt.small_irrep_1d_value(2, value_start + order - 1) = static_cast<int8_t>(v[1]);
  }
  lt.little_cogroup_order(j, sg) = static_cast<int8_t>(order);
  lt.small_irrep_1d_start(j, sg) = value_start;
  lt.little_irrep_count(j, sg) = 1;
  lt.little_irrep_number(1, j, sg) = static_cast<int16_t>(l);
  lt.little_irrep_sg(l) = static_cast<int16_t>(sg);
  lt.little_irrep_kvec(l) = static_cast<int8_t>(j);
  lt.little_irrep_small_irrep(l) = 1;
  lt.small_irrep_dimension(1, j, sg) = static_cast<int8_t>(s);
  lt.little_irrep_reality(l) = static_cast<int8_t>(reality);
  lt.little_irrep_dimension(l) = static_cast<int8_t>(dim);
  lt.little_irrep_to_irrep(l) = 0;
  lt.little_irrep_transform_start(l) = 0;
}

// P422 (89) along c (k index 2, "DT"): little irrep 9, the irrep induced from the irrep of the
// fourfold co-group with character i for the rotation taking x to y; real, dimension 2.
inline void add_p422_line(LoadedTables& t) {
  add_line(t, 89, 2, "DT", {0, 0, 1});
  add_induced(t, 9, 89, 2, {0, 0, 1}, 2, 1, 20, [&](int32_t p) -> std::array<int, 2> {
    const std::array<int, 9> r = rotation(*t.space, p);
    if (r[0] == 1) return {kC1, kC0};    // identity
    if (r[0] == -1) return {kCm1, kC0};  // twofold about z
    if (r[1] == 1) return {kC0, kC1};    // x to y: i
    return {kC0, kCm1};                  // y to x: -i
  });
}

}  // namespace vibrex::testing
