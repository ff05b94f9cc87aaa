// The program's two blocks of shared data tables: storage, loading and validation.
//
// After a block is read, every index it holds is checked against the extent it indexes, so that
// no reader can be led outside an array by a damaged or foreign data file. The first entry that
// fails is named in one line and the run stops.
#include <cstdint>

#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/tables/table_loader.hpp"

namespace sgl {

namespace {

constexpr int kMaxGroupOrder = 48;
constexpr int kMaxGenerators = 5;
constexpr int kHexagonalListFirst = 49;
constexpr int kFirstHexagonalGroup = 143;
constexpr int kLastHexagonalGroup = 194;

bool within(int value, int low, int high) { return value >= low && value <= high; }

// The point-operation list (cubic 1-48, hexagonal 49-72) a number belongs to; 0 for none.
int op_list(int op) {
  if (within(op, 1, kHexagonalListFirst - 1)) return 1;
  if (within(op, kHexagonalListFirst, kPointOpCount)) return 2;
  return 0;
}

// A run of `count` operator records from `first` must lie within the operator table.
bool record_run_ok(int first, int count) { return count == 0 || (first >= 1 && first + count - 1 <= kOpRecordCount); }

void check_point_operations(const CommonSpace& s) {
  for (int a = 1; a <= kPointOpCount; ++a) {
    if (op_list(s.point_op_inverse(a)) != op_list(a)) bad_table_entry("point_op_inverse", {a});
    for (int b = 1; b <= kPointOpCount; ++b) {
      if (op_list(a) == op_list(b) && op_list(s.point_op_product(a, b)) != op_list(a)) {
        bad_table_entry("point_op_product", {a, b});
      }
    }
  }
}

void check_point_groups(const CommonSpace& s) {
  for (int p = 1; p <= kPointGroupCount; ++p) {
    if (!within(s.pg_order(p), 1, kMaxGroupOrder)) bad_table_entry("pg_order", {p});
    if (!within(s.pg_generator_count(p), 0, kMaxGenerators)) bad_table_entry("pg_generator_count", {p});
    for (int k = 1; k <= kMaxGenerators; ++k) {
      if (!within(s.pg_generators(k, p), 0, kPointOpCount)) bad_table_entry("pg_generators", {k, p});
    }
  }
  for (int l = 1; l <= kBravaisTypeCount; ++l) {
    if (!within(s.bravais_point_group(l), 1, kPointGroupCount)) bad_table_entry("bravais_point_group", {l});
    for (int k = 1; k <= 2; ++k) {
      if (s.lattice_transform_den(k, l) == 0) bad_table_entry("lattice_transform_den", {k, l});
    }
  }
}

// The records of a group's operator or generator list: point operations of the group's list
// and non-zero denominators.
void check_records(const CommonSpace& s, int group, int first, int count) {
  const int list = within(group, kFirstHexagonalGroup, kLastHexagonalGroup) ? 2 : 1;
  for (int r = first; r < first + count; ++r) {
    if (s.sg_op_table(4, r) == 0) bad_table_entry("sg_op_table", {4, r});
    if (op_list(s.sg_op_table(5, r)) != list) bad_table_entry("sg_op_table", {5, r});
  }
}

void check_space_groups(const CommonSpace& s) {
  for (int g = 1; g <= kSpaceGroupCount; ++g) {
    const int pg = s.sg_point_group(g);
    if (!within(pg, 1, kPointGroupCount)) bad_table_entry("sg_point_group", {g});
    if (!within(s.sg_bravais(g), 1, kBravaisTypeCount)) bad_table_entry("sg_bravais", {g});
    if (!within(s.sg_default_setting(g), 1, kSettingEntryCount)) bad_table_entry("sg_default_setting", {g});
    if (!record_run_ok(s.sg_first_op(g), s.pg_order(pg))) bad_table_entry("sg_first_op", {g});
    check_records(s, g, s.sg_first_op(g), s.pg_order(pg));
    for (int b = 1; b <= kMaxGenerators; ++b) {
      if (!record_run_ok(s.sg_first_generator(g, b), s.pg_generator_count(pg))) {
        bad_table_entry("sg_first_generator", {g, b});
      }
      check_records(s, g, s.sg_first_generator(g, b), s.pg_generator_count(pg));
    }
  }
}

void check_setting_entries(const CommonSpace& s) {
  const int count = s.setting_count();
  if (!within(count, 0, kSettingEntryCount)) bad_table_entry("setting_count", {});
  for (int e = 1; e <= count; ++e) {
    const int g = s.setting_sg(e);
    if (!within(g, 1, kSpaceGroupCount)) bad_table_entry("setting_sg", {e});
    const int generators = s.pg_generator_count(s.sg_point_group(g));
    if (!record_run_ok(s.setting_first_generator(e), generators)) bad_table_entry("setting_first_generator", {e});
    check_records(s, g, s.setting_first_generator(e), generators);
  }
}

}  // namespace

CommonSpace& common_space() {
  static CommonSpace block;
  return block;
}

CommonWyckoff& common_wyckoff() {
  static CommonWyckoff block;
  return block;
}

void validate_common_space(const CommonSpace& s) {
  check_point_operations(s);
  check_point_groups(s);
  check_space_groups(s);
  check_setting_entries(s);
}

void validate_common_wyckoff(const CommonWyckoff& w) {
  for (int g = 1; g <= kSpaceGroupCount; ++g) {
    const int count = w.wyc_count(g);
    const int first = w.wyc_first(g);
    if (count < 0) bad_table_entry("wyc_count", {g});
    if (count > 0 && !(first >= 1 && first + count - 1 <= kWyckoffPositionCount)) bad_table_entry("wyc_first", {g});
    for (int p = first; p < first + count; ++p) {
      if (!within(w.wyc_site_point_group(p), 1, kPointGroupCount)) bad_table_entry("wyc_site_point_group", {p});
      if (w.wyc_matrix_table(4, 1, p) == 0) bad_table_entry("wyc_matrix_table", {4, 1, p});
    }
  }
  for (int p = 1; p <= kPointGroupCount; ++p) {
    const int count = w.pg_list_count(p);
    const int first = w.pg_list_first(p);
    if (count < 0) bad_table_entry("pg_list_count", {p});
    if (count > 0 && !(first >= 1 && first + count - 1 <= kElementListCount)) bad_table_entry("pg_list_first", {p});
  }
  for (int l = 1; l <= kElementListCount; ++l) {
    for (int j = 1; j <= kMaxGroupOrder; ++j) {
      if (!within(w.pg_element_list(j, l), 0, kPointOpCount)) bad_table_entry("pg_element_list", {j, l});
    }
  }
}

void load_common_space(std::string_view directory, CommonSpace& block) {
  load_table_block(directory, "data_space.bin", block);
  validate_common_space(block);
}

void load_common_space(std::string_view directory) { load_common_space(directory, common_space()); }

void load_common_wyckoff(std::string_view directory, CommonWyckoff& block) {
  load_table_block(directory, "data_wyckoff.bin", block);
  validate_common_wyckoff(block);
}

void load_common_wyckoff(std::string_view directory) { load_common_wyckoff(directory, common_wyckoff()); }

}  // namespace sgl
