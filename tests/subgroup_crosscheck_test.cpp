// Subgroups identified and orbits split by the library, checked by cctbx and spglib: a fixed-seed
// sample of translationengleiche, klassengleiche and chained subgroups of 26 parent groups of all
// crystal systems (the whole set runs through scripts/subgroup-sweep).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/group_tables.hpp"

namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(SubgroupCrosscheck, SampleAgreesWithCctbxAndSpglib) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  char dir_template[] = "/tmp/sgl_subgroups_XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string dir = dir_template;
  const std::string report = dir + "/report.txt";
  const std::string check = std::string("/usr/bin/python3 '") + SGL_SOURCE_DIR +
                            "/tools/tests/library_subgroup_check.py' '" + SGL_DRIVER_DIR +
                            "/subgroup_driver' '" + SGL_DATA_DIR + "' --per-parent 8 >'" + report +
                            "' 2>&1";
  const int status = std::system(check.c_str());
  const std::string text = read_file(report);
  EXPECT_EQ(status, 0) << text;
  EXPECT_NE(text.find("other stops: 0"), std::string::npos) << text;
  EXPECT_NE(text.find("0 problems"), std::string::npos) << text;
  std::printf("%s", text.c_str());
  std::remove(report.c_str());
  rmdir(dir.c_str());
}

}  // namespace
