// The three programs build, link the library and reach their start-up: without XTALDIR each
// stops through its fatal stop (status 1). Their whole runs are tested in tests/<program>/.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

TEST(Build, ProgramsStopWithoutTheDataDirectory) {
  for (const char* prog : {"duopath", "cellsieve", "vibrex"}) {
    const std::string cmd = "cd \"$(mktemp -d)\" && env -u XTALDIR " + std::string(SGL_BIN_DIR) +
                            "/" + prog + " </dev/null >/dev/null 2>&1";
    const int rc = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 1) << prog;
  }
}
