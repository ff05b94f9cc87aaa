// Conversions between compact operators, operator matrices and matrix codes.
#include "library/groups/operator_encodings.hpp"

#include <cstdint>

#include "library/exact/arithmetic.hpp"
#include "library/text/bomb.hpp"
#include "library/exact/checked_int.hpp"
#include "library/tables/setting_code.hpp"
#include "library/tables/setting_tables.hpp"

namespace sgl {

using namespace setting_tables;

namespace {

// Which code table a setting reads.
struct CodeTable {
  enum class Kind { conventional, rhombohedral, primitive, none } kind;
  int32_t column;  // primitive setting b (1-4) for Kind::primitive
};

// The table of the setting: "cinter" of a group whose default setting is rhombohedral has its
// own; every other code beginning "c" shares the conventional one; any other code must be one of
// the primitive setting names (Kind::none when it is not).
CodeTable choose_code_table(const CommonSpace& cs, int32_t space_group,
                            std::string_view setting) {
  if (setting_equals(setting, "cinter") && default_lattice_letter(cs, space_group) == 'R') {
    return {CodeTable::Kind::rhombohedral, 0};
  }
  if (setting_kind(setting) == 'c') return {CodeTable::Kind::conventional, 0};
  for (int32_t b = 1; b <= 4; ++b) {
    if (setting_equals(setting, prim_setting_name(cs, b))) return {CodeTable::Kind::primitive, b};
  }
  return {CodeTable::Kind::none, 0};
}

int32_t table_code(const CommonSpace& cs, const CodeTable& table, int32_t k, int32_t bravais) {
  switch (table.kind) {
    case CodeTable::Kind::rhombohedral:
      return rhomb_code(cs, k);
    case CodeTable::Kind::conventional:
      return conv_code(cs, k);
    case CodeTable::Kind::primitive:
      return prim_code(cs, k, bravais, table.column);
    case CodeTable::Kind::none:
      break;
  }
  return 0;
}

// The Bravais type selects the primitive tables only.
int32_t bravais_for(const CommonSpace& cs, const CodeTable& table, int32_t space_group) {
  return table.kind == CodeTable::Kind::primitive ? checked_bravais(cs, space_group) : 0;
}

}  // namespace

int32_t identity_op(int32_t space_group) {
  return (space_group >= 143 && space_group <= 194) ? 49 : 1;
}

void num_to_mat(int32_t code, OpMatrix& m) {
  if (code < 0 || code >= kMatrixCodeCount) stop_with("Error: matrix code out of range:", code);
  const int64_t d = m4(m, 4, 4);
  int32_t b = code;
  for (int j = 1; j <= 3; ++j) {
    for (int i = 1; i <= 3; ++i) {
      m4(m, i, j) = narrow32(static_cast<int64_t>(b % 3 - 1) * d, "num_to_mat");
      b /= 3;
    }
  }
  m4(m, 4, 1) = 0;
  m4(m, 4, 2) = 0;
  m4(m, 4, 3) = 0;
}

void mat_to_num(const OpMatrix& m, int32_t& code, int32_t& error) {
  error = 0;
  code = 0;
  const int64_t d = m4(m, 4, 4);
  // A zero denominator is no operator: refuse it before any division.
  if (d == 0) {
    error = 1;
    return;
  }
  for (int j = 3; j >= 1; --j) {
    for (int i = 3; i >= 1; --i) {
      const int64_t e = m4(m, i, j);
      if (e % d != 0) {
        error = 1;
        return;
      }
      const int64_t q = e / d;
      if (q < -1 || q > 1) {
        error = 1;
        return;
      }
      code = 3 * code + static_cast<int32_t>(q) + 1;
    }
  }
}

void op_to_mat(const CommonSpace& cs, int32_t space_group, std::string_view setting,
               const SpaceOp& op, OpMatrix& m) {
  check_space_group(space_group);
  const int32_t k = op[4];
  check_point_op(k);
  OpMatrix result{};
  for (int i = 1; i <= 4; ++i) m4(result, i, 4) = op[i - 1];
  const CodeTable table = choose_code_table(cs, space_group, setting);
  if (table.kind == CodeTable::Kind::none) bomb();
  const int32_t code = table_code(cs, table, k, bravais_for(cs, table, space_group));
  if (code == 0) bomb();
  num_to_mat(code, result);
  m = result;
}

void mat_to_op(const CommonSpace& cs, int32_t space_group, std::string_view setting,
               const OpMatrix& m, SpaceOp& op, int32_t& error) {
  error = 0;
  check_space_group(space_group);
  RationalVector t{m4(m, 1, 4), m4(m, 2, 4), m4(m, 3, 4), m4(m, 4, 4)};
  reduc2(t);
  for (int i = 0; i < 4; ++i) op[i] = t[i];
  int32_t code = 0;
  mat_to_num(m, code, error);
  if (error != 0) return;
  const int32_t first = identity_op(space_group) == 1 ? 1 : 49;
  const int32_t last = first == 1 ? 48 : 72;
  const CodeTable table = choose_code_table(cs, space_group, setting);
  if (table.kind == CodeTable::Kind::none) {
    error = 1;
    return;
  }
  const int32_t bravais = bravais_for(cs, table, space_group);
  // A table entry 0 means "no matrix"; it never matches (0 is also the code of the matrix of
  // all -1 entries, which is no rotation).
  for (int32_t k = first; k <= last; ++k) {
    const int32_t entry = table_code(cs, table, k, bravais);
    if (entry != 0 && entry == code) {
      op[4] = k;
      return;
    }
  }
  error = 1;
}

void vrot(const CommonSpace& cs, int32_t bravais, int32_t k, const RationalVector& v,
          RationalVector& w) {
  check_bravais(bravais);
  check_point_op(k);
  const Mat3i to_primitive = lattice_matrix(cs, 1, bravais);
  const Mat3i to_conventional = lattice_matrix(cs, 2, bravais);
  const Mat3i rotation = point_op_matrix(cs, k);
  RationalVector s = v;
  vmlt(to_conventional, s.data(), s.data());
  vmlt(rotation, s.data(), s.data());
  vmlt(to_primitive, s.data(), s.data());
  s[3] = narrow32(static_cast<int64_t>(lattice_den(cs, bravais)) * v[3], "vrot");
  reduc2(s);
  w = s;
}

}  // namespace sgl
