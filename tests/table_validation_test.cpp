// Validation of the shared data tables after loading: every index within the extent it indexes.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/table_files.hpp"

namespace sgl {
namespace {

using testing::BombTrap;
using testing::Bombed;
using testing::minimal_space;
using testing::minimal_wyckoff;

TEST(TableValidation, ConsistentBlocksPass) {
  BombTrap trap;
  EXPECT_NO_THROW(validate_common_space(*minimal_space()));
  EXPECT_NO_THROW(validate_common_wyckoff(*minimal_wyckoff()));
}

struct SpaceFault {
  const char* name;
  const char* entry;  // the entry the stop names
  std::function<void(CommonSpace&)> damage;
};
void PrintTo(const SpaceFault& f, std::ostream* os) { *os << f.name; }

class SpaceFaults : public ::testing::TestWithParam<SpaceFault> {};
// The stop names the damaged entry: a fault caught by an earlier check for another reason
// would name a different one.
std::string entry_report(const char* entry, const char* file) {
  return std::string(" Error: invalid data table entry ") + entry + " in " + file + "\n";
}

TEST_P(SpaceFaults, StopNamingTheEntry) {
  auto s = minimal_space();
  GetParam().damage(*s);
  EXPECT_EQ(testing::stop_output([&] { validate_common_space(*s); }), entry_report(GetParam().entry, "data_space.bin"));
}
INSTANTIATE_TEST_SUITE_P(
    TableValidation, SpaceFaults,
    ::testing::Values(
        SpaceFault{"first_op_beyond_table", "sg_first_op(5)", [](CommonSpace& s) { s.sg_first_op(5) = 6001; }},
        SpaceFault{"op_list_runs_past_table", "sg_first_op(7)", [](CommonSpace& s) {
          // Only group 7 has a point group of order 2, so only its run can leave the table.
          s.pg_order(2) = 2;
          s.sg_point_group(7) = 2;
          s.sg_first_op(7) = 6000;
        }},
        SpaceFault{"first_op_zero", "sg_first_op(230)", [](CommonSpace& s) { s.sg_first_op(230) = 0; }},
        SpaceFault{"group_order_above_48", "pg_order(32)", [](CommonSpace& s) { s.pg_order(32) = 49; }},
        SpaceFault{"point_group_zero", "sg_point_group(1)", [](CommonSpace& s) { s.sg_point_group(1) = 0; }},
        SpaceFault{"point_group_33", "sg_point_group(17)", [](CommonSpace& s) { s.sg_point_group(17) = 33; }},
        SpaceFault{"bravais_15", "sg_bravais(3)", [](CommonSpace& s) { s.sg_bravais(3) = 15; }},
        SpaceFault{"bravais_point_group", "bravais_point_group(14)", [](CommonSpace& s) { s.bravais_point_group(14) = 33; }},
        SpaceFault{"default_setting_342", "sg_default_setting(9)", [](CommonSpace& s) { s.sg_default_setting(9) = 342; }},
        SpaceFault{"setting_count_342", "setting_count", [](CommonSpace& s) { s.setting_count() = 342; }},
        SpaceFault{"setting_sg_231", "setting_sg(1)", [](CommonSpace& s) { s.setting_sg(1) = 231; }},
        SpaceFault{"zero_lattice_denominator", "lattice_transform_den(2,5)", [](CommonSpace& s) { s.lattice_transform_den(2, 5) = 0; }},
        SpaceFault{"zero_record_denominator", "sg_op_table(4,1)", [](CommonSpace& s) { s.sg_op_table(4, 1) = 0; }},
        SpaceFault{"record_op_73", "sg_op_table(5,1)", [](CommonSpace& s) { s.sg_op_table(5, 1) = 73; }},
        SpaceFault{"hexagonal_group_cubic_op", "sg_op_table(5,1)", [](CommonSpace& s) { s.sg_first_op(150) = 1; }},
        SpaceFault{"cubic_group_hexagonal_op", "sg_op_table(5,2)", [](CommonSpace& s) { s.sg_first_op(200) = 2; }},
        SpaceFault{"generator_run_zero", "sg_first_generator(1,1)", [](CommonSpace& s) {
          s.pg_generator_count(1) = 1;
          s.pg_generators(1, 1) = 1;
        }},
        SpaceFault{"setting_generator_beyond", "setting_first_generator(1)", [](CommonSpace& s) {
          s.pg_generator_count(1) = 1;
          s.pg_generators(1, 1) = 1;
          for (int g = 1; g <= 230; ++g)
            for (int b = 1; b <= 5; ++b) s.sg_first_generator(g, b) = s.sg_first_op(g);
          s.setting_first_generator(1) = 6001;
        }},
        SpaceFault{"generator_count_6", "pg_generator_count(4)", [](CommonSpace& s) { s.pg_generator_count(4) = 6; }},
        SpaceFault{"pg_generator_73", "pg_generators(5,32)", [](CommonSpace& s) { s.pg_generators(5, 32) = 73; }},
        SpaceFault{"product_leaves_list", "point_op_product(3,4)", [](CommonSpace& s) { s.point_op_product(3, 4) = 50; }},
        SpaceFault{"product_zero", "point_op_product(60,50)", [](CommonSpace& s) { s.point_op_product(60, 50) = 0; }},
        SpaceFault{"inverse_leaves_list", "point_op_inverse(49)", [](CommonSpace& s) { s.point_op_inverse(49) = 1; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TableValidation, UnusedEntriesAreNotChecked) {
  auto s = minimal_space();
  // Products across the two lists, setting entries beyond the count, records no group uses and
  // generator positions of point groups without generators hold anything.
  s->point_op_product(3, 60) = 0;
  s->setting_sg(231) = 999;
  s->sg_op_table(5, 3000) = 100;
  s->sg_first_generator(1, 1) = 0;
  BombTrap trap;
  EXPECT_NO_THROW(validate_common_space(*s));
}

struct WyckoffFault {
  const char* name;
  const char* entry;
  std::function<void(CommonWyckoff&)> damage;
};
void PrintTo(const WyckoffFault& f, std::ostream* os) { *os << f.name; }

class WyckoffFaults : public ::testing::TestWithParam<WyckoffFault> {};
TEST_P(WyckoffFaults, StopNamingTheEntry) {
  auto w = minimal_wyckoff();
  GetParam().damage(*w);
  EXPECT_EQ(testing::stop_output([&] { validate_common_wyckoff(*w); }), entry_report(GetParam().entry, "data_wyckoff.bin"));
}
INSTANTIATE_TEST_SUITE_P(
    TableValidation, WyckoffFaults,
    ::testing::Values(
        WyckoffFault{"first_position_zero", "wyc_first(4)", [](CommonWyckoff& w) { w.wyc_first(4) = 0; }},
        WyckoffFault{"positions_run_past_1731", "wyc_first(230)", [](CommonWyckoff& w) { w.wyc_first(230) = 1730; w.wyc_count(230) = 3; }},
        WyckoffFault{"negative_count", "wyc_count(2)", [](CommonWyckoff& w) { w.wyc_count(2) = -1; }},
        WyckoffFault{"site_point_group_33", "wyc_site_point_group(17)", [](CommonWyckoff& w) { w.wyc_site_point_group(17) = 33; }},
        WyckoffFault{"zero_fixed_point_denominator", "wyc_matrix_table(4,1,100)", [](CommonWyckoff& w) { w.wyc_matrix_table(4, 1, 100) = 0; }},
        WyckoffFault{"list_first_zero", "pg_list_first(3)", [](CommonWyckoff& w) { w.pg_list_count(3) = 1; }},
        WyckoffFault{"lists_run_past_152", "pg_list_first(3)", [](CommonWyckoff& w) { w.pg_list_first(3) = 150; w.pg_list_count(3) = 4; }},
        WyckoffFault{"element_73", "pg_element_list(48,152)", [](CommonWyckoff& w) { w.pg_element_list(48, 152) = 73; }},
        WyckoffFault{"element_negative", "pg_element_list(1,1)", [](CommonWyckoff& w) { w.pg_element_list(1, 1) = -1; }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sgl
