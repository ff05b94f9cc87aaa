// A whole run that finds more distinct paths than the saved list holds: P1 with three atoms of
// one type as both crystals at size 1. Every permutation and cell shift of the three atoms is a
// path of its own, so the 1000th saved mapping stops the run after 999 reported paths.
#include <gtest/gtest.h>

#include <string>

#include "tests/duopath/duopath_child.hpp"

namespace {

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(MaxsaveStop, ThousandthSavedMappingStopsTheRun) {
  const std::string crystal =
      "1\n3 3.1 3.2 80 85 95\n3\nX a 0 0 0\nX a 0.3 0.1 0.2\nX a 0.6 0.5 0.1\n";
  const auto run = duopath_test::run_duopath("P1 three atoms\n" + crystal + crystal + "size 1 1\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(count_of(run.out, "Common subgroup:"), 999);
  EXPECT_TRUE(ends_with(run.out, "\nError: maxsave too small\nThis program has bombed\nexit\n"))
      << run.out.substr(run.out.size() > 400 ? run.out.size() - 400 : 0);
  EXPECT_NE(run.err.find("STOP"), std::string::npos) << run.err;
  // The log holds the same paths; the message goes to standard output only.
  EXPECT_EQ(count_of(run.log, "Common subgroup:"), 999);
  EXPECT_EQ(run.log.find("maxsave"), std::string::npos);
  EXPECT_EQ(run.out.find("\ndone\n"), std::string::npos);
}

}  // namespace
