// Coset representatives of a sublattice and the greedy shortening of a lattice basis.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/groups/get_new_fractionals.hpp"
#include "library/groups/nice_lattice2.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/group_tables.hpp"

namespace sgl {
namespace {

using testing::Bombed;
using testing::BombTrap;
using testing::space_tables;

Mat3i columns(std::array<std::array<int32_t, 3>, 3> c) {
  Mat3i m;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) m[static_cast<std::size_t>(j * 3 + i)] = c[j][i];
  return m;
}

std::vector<RationalVector> fractionals_of(const Mat3i& cell) {
  std::vector<RationalVector> v(static_cast<std::size_t>(std::abs(ndet(cell))));
  int32_t count = -1;
  get_new_fractionals(cell, count, v);
  EXPECT_EQ(count, static_cast<int32_t>(v.size()));
  return v;
}

TEST(GetNewFractionals, SmallCellsInOrder) {
  struct Case {
    Mat3i cell;
    std::vector<RationalVector> expected;
  };
  const Case cases[] = {
      {columns({{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}), {{0, 0, 0, 1}}},
      {columns({{{1, 0, 0}, {0, 1, 0}, {0, 0, 2}}}), {{0, 0, 0, 1}, {0, 0, 1, 1}}},
      {columns({{{0, 1, 0}, {1, 0, 0}, {0, 0, 2}}}), {{0, 0, 0, 1}, {0, 0, 1, 1}}},  // det -2
      // The vectors with an even coordinate sum: two cosets.
      {columns({{{0, 1, 1}, {1, 0, 1}, {1, 1, 0}}}), {{0, 0, 0, 1}, {1, 1, 1, 1}}},
  };
  for (const Case& c : cases) EXPECT_EQ(fractionals_of(c.cell), c.expected);
}

// Larger and skewed cells: |det| vectors, the zero vector first, pairwise in different cosets
// (their difference is no vector of the sublattice).
TEST(GetNewFractionals, OneVectorPerCoset) {
  const Mat3i cells[] = {
      columns({{{2, 0, 0}, {0, 2, 0}, {0, 0, 3}}}),
      columns({{{1, 2, 0}, {-1, 1, 3}, {2, 0, 1}}}),
      columns({{{3, 1, 0}, {0, 1, 0}, {1, 1, -4}}}),
  };
  for (const Mat3i& cell : cells) {
    const auto v = fractionals_of(cell);
    ASSERT_FALSE(v.empty());
    EXPECT_EQ(v[0], (RationalVector{0, 0, 0, 1}));
    Mat3i inv;
    int32_t d = 0;
    matinv(cell, inv, d);
    for (std::size_t a = 0; a < v.size(); ++a)
      for (std::size_t b = 0; b < a; ++b) {
        std::array<int32_t, 3> diff{v[a][0] - v[b][0], v[a][1] - v[b][1], v[a][2] - v[b][2]};
        vmlt(inv, diff.data(), diff.data());
        EXPECT_FALSE(diff[0] % d == 0 && diff[1] % d == 0 && diff[2] % d == 0)
            << "vectors " << a << " and " << b << " lie in one coset";
      }
  }
}

TEST(GetNewFractionals, SingularCellOrShortListStops) {
  BombTrap trap;
  int32_t count = 0;
  std::vector<RationalVector> room(4);
  EXPECT_THROW(get_new_fractionals(columns({{{1, 0, 0}, {2, 0, 0}, {0, 0, 1}}}), count, room), Bombed);
  std::vector<RationalVector> one(1);
  EXPECT_THROW(get_new_fractionals(columns({{{1, 0, 0}, {0, 1, 0}, {0, 0, 2}}}), count, one), Bombed);
}

TEST(NiceLattice2, ShortensGreedily) {
  SGL_REQUIRE_TABLES();
  const CommonSpace& cs = space_tables();
  struct Case {
    const char* what;
    int32_t bravais;
    Mat3i lattice;
    Mat3i expected;
  };
  const Mat3i unit = columns({{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}});
  const Case cases[] = {
      // Column 2 minus column 1 in the first sweep; the second sweep changes nothing.
      {"aP, one step", 1, columns({{{1, 0, 0}, {1, 1, 0}, {0, 0, 1}}}), unit},
      {"cP, already shortest", 12, unit, unit},
      {"cF primitive basis, already shortest (ties do not replace)", 13, unit, unit},
      // Lengths along the conventional axes of cF: columns 1 and 2 are (0,1,1)+(1,0,1) and
      // (1,0,1); column 1 minus column 2 is shorter.
      {"cF, one step", 13, columns({{{1, 1, 0}, {0, 1, 0}, {0, 0, 1}}}), unit},
      {"aP, several sweeps", 1, columns({{{1, 0, 0}, {3, 1, 0}, {2, 2, 1}}}), unit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Mat3i out{};
    nice_lattice2(cs, c.bravais, c.lattice, out);
    EXPECT_EQ(out, c.expected);
    Mat3i same = c.lattice;  // the result may overwrite the input
    nice_lattice2(cs, c.bravais, same, same);
    EXPECT_EQ(same, c.expected);
  }
}

}  // namespace
}  // namespace sgl
