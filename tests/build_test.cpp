// The three programs build and link the library.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

TEST(Build, ProgramsStartAndEnd) {
  for (const char* prog : {"duopath", "cellsieve"}) {
    std::string cmd = std::string(SGL_BIN_DIR) + "/" + prog + " </dev/null >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << prog;
  }
  // vibrex reads its tables first: without XTALDIR it stops through the fatal stop (status 1).
  const std::string cmd = "env -u XTALDIR " + std::string(SGL_BIN_DIR) + "/vibrex </dev/null >/dev/null 2>&1";
  const int rc = std::system(cmd.c_str());
  EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 1) << "vibrex";
}
