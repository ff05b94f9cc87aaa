// Whole runs of rock salt to caesium chloride under a bond constraint and a per-type distance
// limit: listing the Cl lines before the Na lines must not change which paths are found nor any
// figure reported for them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/duopath/duopath_child.hpp"

namespace {

// Both crystals with their Wyckoff lines in the given order, at the volume of rock salt.
std::string rock_salt_input(bool sodium_first, const std::string& bonds) {
  const std::string lines = sodium_first ? "Na a\nCl b\n" : "Cl b\nNa a\n";
  return "NaCl B1->B2 line order\n225\n5.6402 5.6402 5.6402 90 90 90\n2\n" + lines +
         "221\n4.123 4.123 4.123 90 90 90\n2\n" + lines +
         "samevolume\nsize 1 2\nstrain 0.6 1.5\nshuffle 1.0\n" + bonds + "\nneighbor 2.75 Cl\n";
}

// The figures of each path: its summary lines (strain, nearest distance, broken bonds, bond
// change, shuffle), the common subgroup, and the size and lattice parameters of each setting.
// Orbit lines are left out: they follow the input's line order.
std::vector<std::string> path_figures(const std::string& out) {
  static const std::vector<std::string> starts = {
      "Subgroup ", "Principal values", "Nearest-neighbor", "Broken bonds", "Maximum change",
      "Maximum atomic", "Common subgroup", "  Size = ", "  Lattice"};
  std::vector<std::string> figures;
  std::size_t at = 0;
  while (at < out.size()) {
    std::size_t end = out.find('\n', at);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(at, end - at);
    for (const std::string& s : starts) {
      if (line.rfind(s, 0) == 0) figures.push_back(line);
    }
    at = end + 1;
  }
  return figures;
}

TEST(OrderInvariance, RockSaltToCaesiumChlorideEitherLineOrder) {
  struct Case {
    std::string bonds;
    int paths;  // "Common subgroup" blocks expected in each order
  };
  // The Na-Cl bond grows from 2.820 to 3.077 at constant volume: a limit of 0.2 leaves no path,
  // 0.3 keeps the rhombohedral and the orthorhombic one.
  const std::vector<Case> cases = {{"bonds2 Na Cl 6 0.2", 0}, {"bonds2 Na Cl 6 0.3", 2}};
  for (const Case& c : cases) {
    const auto na_first = duopath_test::run_duopath(rock_salt_input(true, c.bonds));
    const auto cl_first = duopath_test::run_duopath(rock_salt_input(false, c.bonds));
    ASSERT_EQ(na_first.status, 0) << c.bonds << "\n" << na_first.out;
    ASSERT_EQ(cl_first.status, 0) << c.bonds << "\n" << cl_first.out;
    const auto a = path_figures(na_first.out);
    const auto b = path_figures(cl_first.out);
    int count = 0;
    for (const std::string& s : a) count += s.rfind("Common subgroup", 0) == 0;
    EXPECT_EQ(count, c.paths) << c.bonds << "\n" << na_first.out;
    EXPECT_EQ(a, b) << c.bonds << "\n" << na_first.out << "\n" << cl_first.out;
    if (c.paths > 0) {
      EXPECT_NE(na_first.out.find("Maximum change in bond length along path:    0.257\n"), std::string::npos)
          << na_first.out;
    }
  }
}

}  // namespace
