// Subgroups identified and orbits split by the library, checked by cctbx and spglib: a fixed-seed
// sample of translationengleiche, klassengleiche and chained subgroups of 26 parent groups of all
// crystal systems (the whole set runs through scripts/subgroup-sweep).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/group_tables.hpp"
#include "tests/python_check.hpp"

namespace {

TEST(SubgroupCrosscheck, SampleAgreesWithCctbxAndSpglib) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const auto check = testing_support::run_python_check(
      "library_subgroup_check.py", std::string("'") + SGL_DRIVER_DIR + "/subgroup_driver' '" +
                                       SGL_DATA_DIR + "' --per-parent 8");
  EXPECT_EQ(check.status, 0) << check.report;
  EXPECT_NE(check.report.find("other stops: 0"), std::string::npos) << check.report;
  EXPECT_NE(check.report.find("0 problems"), std::string::npos) << check.report;
  std::printf("%s", check.report.c_str());
}

}  // namespace
