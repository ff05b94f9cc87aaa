// The three programs build and link the library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// duopath and cellsieve read their input from standard input, so an empty input is an error
// there; their whole runs are tested in tests/duopath/ and tests/cellsieve/.
TEST(Build, ProgramsStartAndEnd) {
  for (const char* prog : {"vibrex"}) {
    std::string cmd = std::string(SGL_BIN_DIR) + "/" + prog + " </dev/null >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << prog;
  }
}
