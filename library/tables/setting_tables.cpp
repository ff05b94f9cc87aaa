// Checked reads of the space-group tables for the operator encodings and the changes of setting.
#include "library/tables/setting_tables.hpp"

#include "library/text/bomb.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/space_group_number.hpp"
#include "library/text/text_io.hpp"

namespace sgl::setting_tables {

void stop_with(const char* text, int32_t value) {
  bomb_with_message({text, value});
}

void check_space_group(int32_t space_group) { check_space_group_number(space_group, ""); }

void check_point_op(int32_t k) {
  if (k < 1 || k > 72) stop_with("Error: point operation number out of range:", k);
}

void check_bravais(int32_t bravais) {
  if (bravais < 1 || bravais > 14) stop_with("Error: Bravais type out of range:", bravais);
}

int32_t checked_bravais(const CommonSpace& cs, int32_t space_group) {
  const int32_t bravais = cs.sg_bravais(space_group);
  check_bravais(bravais);
  return bravais;
}

char default_lattice_letter(const CommonSpace& cs, int32_t space_group) {
  const int32_t entry = cs.sg_default_setting(space_group);
  if (entry < 1 || entry > 341) stop_with("Error: setting entry out of range:", entry);
  return cs.setting_lattice_letter(entry).view().front();
}

std::string_view prim_setting_name(const CommonSpace& cs, int32_t b) {
  return cs.prim_setting_name(b).view();
}

int32_t conv_code(const CommonSpace& cs, int32_t k) { return cs.conv_matrix_code(k); }
int32_t rhomb_code(const CommonSpace& cs, int32_t k) { return cs.rhomb_matrix_code(k); }
int32_t prim_code(const CommonSpace& cs, int32_t k, int32_t bravais, int32_t b) {
  return cs.prim_matrix_code(k, bravais, b);
}

int32_t lattice_den(const CommonSpace& cs, int32_t bravais) {
  return cs.lattice_transform_den(1, bravais);
}

Mat3i lattice_matrix(const CommonSpace& cs, int32_t n, int32_t bravais) {
  Mat3i m{};
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) m3(m, i, j) = cs.lattice_transform(i, j, n, bravais);
  return m;
}

Mat3i point_op_matrix(const CommonSpace& cs, int32_t k) {
  Mat3i m{};
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) m3(m, i, j) = cs.point_op_rot(i, j, k);
  return m;
}

std::string_view setting_slot_name(const CommonSpace& cs, int32_t s) {
  return cs.setting_name(2, s).view();
}

OpMatrix setting_pair_matrix(const CommonSpace& cs, int32_t space_group, int32_t p, int32_t s) {
  OpMatrix m{};
  for (int j = 1; j <= 4; ++j)
    for (int i = 1; i <= 4; ++i) m4(m, i, j) = cs.setting_transform(i, j, p, space_group, s);
  return m;
}

}  // namespace sgl::setting_tables
