// The three programs build and link the library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// cellsieve reads its tables and a structure; its runs are tested in tests/cellsieve/.
TEST(Build, ProgramsStartAndEnd) {
  for (const char* prog : {"duopath", "vibrex"}) {
    std::string cmd = std::string(SGL_BIN_DIR) + "/" + prog + " </dev/null >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << prog;
  }
}
