// Crystals built by the library from Wyckoff positions in "cinter", checked by spglib: every
// space group, two structures each with one atom on every Wyckoff position (460 crystals);
// spglib must find the same space group and the same Wyckoff letter for every atom.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/group_tables.hpp"
#include "tests/python_check.hpp"

namespace {

TEST(LibrarySpglib, SameGroupsAndWyckoffLetters) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  const auto check = testing_support::run_python_check(
      "library_spglib_check.py",
      std::string("'") + SGL_DRIVER_DIR + "/wyckoff_structures' '" + SGL_DATA_DIR + "' 2");
  EXPECT_EQ(check.status, 0) << check.report;
  EXPECT_NE(check.report.find("230 groups"), std::string::npos) << check.report;
  std::printf("%s", check.report.c_str());
}

}  // namespace
