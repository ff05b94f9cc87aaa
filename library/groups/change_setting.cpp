// Changes of setting by conjugation with the transformation pairs of the setting slots.
#include "library/groups/change_setting.hpp"

#include <cstdint>

#include "library/exact/arithmetic.hpp"
#include "library/text/bomb.hpp"
#include "library/exact/checked_int.hpp"
#include "library/groups/operator_encodings.hpp"
#include "library/tables/setting_code.hpp"
#include "library/tables/setting_tables.hpp"

namespace sgl {

using namespace setting_tables;

namespace {

// First axis slot (1-4) whose name, from its second character on, equals the given choice of
// axes and origin; none stops the run.
int32_t axis_slot(const CommonSpace& cs, std::string_view axes) {
  for (int32_t s = 1; s <= 4; ++s) {
    if (setting_equals(setting_axes(setting_slot_name(cs, s)), axes)) return s;
  }
  bomb();
}

// First primitive slot (5-8) whose whole name equals the setting; none stops the run.
int32_t primitive_slot(const CommonSpace& cs, std::string_view setting) {
  for (int32_t s = 5; s <= 8; ++s) {
    if (setting_equals(setting_slot_name(cs, s), setting)) return s;
  }
  bomb();
}

bool is_reference_axes(std::string_view setting) {
  return setting_equals(setting_axes(setting), "ml");
}

// m = T2 m T1 (one step towards the reference) or T1 m T2 (one step away) for slot s.
void towards_reference(const CommonSpace& cs, int32_t g, int32_t s, OpMatrix& m) {
  trans4(setting_pair_matrix(cs, g, 2, s), m, setting_pair_matrix(cs, g, 1, s), m);
}
void from_reference(const CommonSpace& cs, int32_t g, int32_t s, OpMatrix& m) {
  trans4(setting_pair_matrix(cs, g, 1, s), m, setting_pair_matrix(cs, g, 2, s), m);
}

// The operator with translation t (numerators over t[3]) and point operation k, carried from one
// setting to the other.
RationalVector changed_translation(const CommonSpace& cs, int32_t g, std::string_view from,
                                   std::string_view to, const RationalVector& t, int32_t k) {
  SpaceOp op{t[0], t[1], t[2], t[3], k};
  op_change_setting(cs, g, from, to, op, op);
  return {op[0], op[1], op[2], op[3]};
}

// Twice the position of from's origin in to: the translation of the inversion through from's
// origin after the change.
RationalVector doubled_origin(const CommonSpace& cs, int32_t g, std::string_view from,
                              std::string_view to) {
  const int32_t inversion = identity_op(g) == 1 ? 25 : 61;
  return changed_translation(cs, g, from, to, {0, 0, 0, 1}, inversion);
}

// Rotation block over the corner and translation column over the corner, each in normal form.
void split_affine(const OpMatrix& x, Mat3i& block, int32_t& den, RationalVector& column) {
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) m3(block, i, j) = m4(x, i, j);
  den = m4(x, 4, 4);
  reduc3(block, den);
  column = {m4(x, 1, 4), m4(x, 2, 4), m4(x, 3, 4), m4(x, 4, 4)};
  reduc2(column);
}

}  // namespace

void mat_change_setting(const CommonSpace& cs, int32_t space_group, std::string_view from,
                        std::string_view to, OpMatrix& m) {
  check_space_group(space_group);
  if (setting_kind(from) == 'p') towards_reference(cs, space_group, primitive_slot(cs, from), m);
  if (!is_reference_axes(from)) {
    towards_reference(cs, space_group, axis_slot(cs, setting_axes(from)), m);
  }
  if (!is_reference_axes(to)) from_reference(cs, space_group, axis_slot(cs, setting_axes(to)), m);
  if (setting_kind(to) == 'p') from_reference(cs, space_group, primitive_slot(cs, to), m);
}

void op_change_setting(const CommonSpace& cs, int32_t space_group, std::string_view from,
                       std::string_view to, const SpaceOp& op, SpaceOp& result) {
  OpMatrix m{};
  op_to_mat(cs, space_group, from, op, m);
  mat_change_setting(cs, space_group, from, to, m);
  SpaceOp changed{};
  int32_t error = 0;
  mat_to_op(cs, space_group, to, m, changed, error);
  if (error != 0) bomb();
  result = changed;
}

void vector_change_setting(const CommonSpace& cs, int32_t space_group, std::string_view from,
                           std::string_view to, const RationalVector& v, RationalVector& w) {
  w = changed_translation(cs, space_group, from, to, v, identity_op(space_group));
}

void xyz_change_setting(const CommonSpace& cs, int32_t space_group, std::string_view from,
                        std::string_view to, const RationalVector& p, RationalVector& q) {
  RationalVector linear{};
  vector_change_setting(cs, space_group, from, to, p, linear);
  RationalVector origin = doubled_origin(cs, space_group, from, to);
  origin[3] = narrow32(2 * static_cast<int64_t>(origin[3]),
                             "xyz_change_setting");
  vadd(linear, origin, q);
}

void dxyz_change_setting(const CommonSpace& cs, int32_t space_group, std::string_view from,
                         std::string_view to, const std::array<double, 3>& x,
                         std::array<double, 3>& y) {
  const std::array<double, 3> in = x;
  std::array<double, 3> out{0.0, 0.0, 0.0};
  const int32_t identity = identity_op(space_group);
  for (int i = 0; i < 3; ++i) {
    RationalVector e{0, 0, 0, 1};
    e[i] = 1;
    const RationalVector image = changed_translation(cs, space_group, from, to, e, identity);
    const double d = image[3];
    for (int j = 0; j < 3; ++j) out[j] = out[j] + (image[j] * in[i]) / d;
  }
  const RationalVector origin = doubled_origin(cs, space_group, from, to);
  const double d2 = 2.0 * origin[3];
  for (int j = 0; j < 3; ++j) out[j] = out[j] + origin[j] / d2;
  y = out;
}

void wyckoff_change_setting(const CommonSpace& cs, int32_t space_group, std::string_view from,
                            std::string_view to, const WyckoffMatrix& a, WyckoffMatrix& b) {
  WyckoffMatrix result{};
  RationalVector point{a[0], a[1], a[2], a[3]};
  xyz_change_setting(cs, space_group, from, to, point, point);
  for (int i = 0; i < 4; ++i) result[i] = point[i];
  for (int c = 1; c < 4; ++c) {
    RationalVector direction{a[4 * c], a[4 * c + 1], a[4 * c + 2], a[4 * c + 3]};
    if (direction[3] == 0) continue;  // absent parameter: four zeros
    vector_change_setting(cs, space_group, from, to, direction, direction);
    for (int i = 0; i < 4; ++i) result[4 * c + i] = direction[i];
  }
  b = result;
}

void subgroup_change_setting(const CommonSpace& cs, int32_t g, int32_t h, const Mat3i& basis,
                             const RationalVector& origin, Mat3i& basis_out, int32_t& basis_den,
                             RationalVector& origin_out, Mat3i& inverse, int32_t& inverse_den,
                             RationalVector& inverse_origin, std::string_view setting) {
  check_space_group(g);
  check_space_group(h);
  // X maps coordinates in h's basis to coordinates in g's.
  OpMatrix x{};
  const int64_t o4 = origin[3];
  for (int j = 1; j <= 3; ++j) {
    for (int i = 1; i <= 3; ++i) {
      m4(x, i, j) = narrow32(o4 * m3(basis, i, j),
                                   "subgroup_change_setting");
    }
    m4(x, j, 4) = origin[j - 1];
  }
  m4(x, 4, 4) = origin[3];
  if (!setting_equals(setting, "pml")) {
    // Slot 5 is the primitive step of "pml": both sides to "cml".
    trans4(setting_pair_matrix(cs, g, 2, 5), x, setting_pair_matrix(cs, h, 1, 5), x);
    if (!is_reference_axes(setting)) {
      const int32_t s = axis_slot(cs, setting_axes(setting));
      trans4(setting_pair_matrix(cs, g, 1, s), x, setting_pair_matrix(cs, h, 2, s), x);
    }
    if (setting_kind(setting) == 'p') {
      const int32_t s = primitive_slot(cs, setting);
      trans4(setting_pair_matrix(cs, g, 1, s), x, setting_pair_matrix(cs, h, 2, s), x);
    }
  }
  split_affine(x, basis_out, basis_den, origin_out);
  OpMatrix y{};
  matinv4(x, y);
  split_affine(y, inverse, inverse_den, inverse_origin);
}

}  // namespace sgl
