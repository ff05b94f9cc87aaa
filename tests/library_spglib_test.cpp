// Crystals built by the library from Wyckoff positions in "cinter", checked by spglib: every
// space group, two structures each with one atom on every Wyckoff position (460 crystals);
// spglib must find the same space group and the same Wyckoff letter for every atom.
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

TEST(LibrarySpglib, SameGroupsAndWyckoffLetters) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  char dir_template[] = "/tmp/sgl_spglib_XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string dir = dir_template;
  const std::string report = dir + "/report.txt";

  const std::string check = std::string("/usr/bin/python3 '") + SGL_SOURCE_DIR +
                            "/tools/tests/library_spglib_check.py' '" + SGL_DRIVER_DIR +
                            "/wyckoff_structures' '" + SGL_DATA_DIR + "' 2 >'" + report + "' 2>&1";
  const int status = std::system(check.c_str());
  const std::string text = read_file(report);
  EXPECT_EQ(status, 0) << text;
  EXPECT_NE(text.find("230 groups"), std::string::npos) << text;
  std::printf("%s", text.c_str());

  std::remove(report.c_str());
  rmdir(dir.c_str());
}

}  // namespace
