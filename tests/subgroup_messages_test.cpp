// The message lines of the subgroup routines before they stop.
#include <gtest/gtest.h>

#include <string>

#include "tests/group_tables.hpp"
#include "tests/text_io_child.hpp"

namespace {

TEST(SubgroupMessages, MessageThenTheStop) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  struct Case {
    const char* which;
    const char* lines;
  };
  const Case cases[] = {
      // Pmmm asked as Pnnm: four passes, the retry on a reduced basis, then the stop.
      {"notfound", " Error in id_subgroup: space group not found\n"},
      // Room for one orbit when 3c of Pm-3m splits into 2e and 1c of P4/mmm.
      {"maxnewcount", " Error in get_new_wyckoff:  maxnewcount too small\n   1\n"},
  };
  const std::string driver = std::string(SGL_DRIVER_DIR) + "/subgroup_driver";
  for (const Case& c : cases) {
    const auto r = text_io_test::run_child({driver, SGL_DATA_DIR, c.which});
    EXPECT_EQ(r.out, std::string(c.lines) + "This program has bombed\nexit\n") << c.which;
    EXPECT_EQ(r.status, 1) << c.which;
  }
}

}  // namespace
