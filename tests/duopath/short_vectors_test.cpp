// Short-vector lists: the order of crystal 1's list, crystal 2's list against a brute-force
// enumeration of random cells (also layers with vacuum), the 1e-6 rules, given lattices and the
// refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "duopath/short_vectors.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/duopath/duopath_child.hpp"
#include "tests/duopath/run_phases.hpp"

namespace {

using duopath::PreparedCrystal;
using duopath::ShortVectorList;
using V = std::array<int32_t, 3>;

PreparedCrystal with_basis(const std::array<double, 9>& basis) {
  PreparedCrystal p;
  p.primitive_cartesian = basis;
  return p;
}

TEST(ShortVectors, CubicCrystal1InShellOrderWithinEqualLengths) {
  const double a = 2.5;
  ShortVectorList list;
  duopath::crystal1_short_vectors(with_basis({a, 0, 0, 0, a, 0, 0, 0, a}), 1, false, list);
  EXPECT_EQ(list.vectors, (std::vector<V>{{0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}, {1, 1, 1}}));
  EXPECT_DOUBLE_EQ(list.length.back(), a * std::sqrt(3.0));
  duopath::crystal1_short_vectors(with_basis({a, 0, 0, 0, a, 0, 0, 0, a}), 1, true, list);
  EXPECT_EQ(list.vectors, (std::vector<V>{{0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}}));
  // Sizes up to 3: every vector with components 0 .. 3 but zero; in two dimensions the plane
  // and (0, 0, 1).
  duopath::crystal1_short_vectors(with_basis({a, 0, 0, 0, a, 0, 0, 0, a}), 3, false, list);
  EXPECT_EQ(list.count(), 63);
  duopath::crystal1_short_vectors(with_basis({a, 0, 0, 0, a, 0, 0, 0, a}), 3, true, list);
  EXPECT_EQ(list.count(), 16);
}

TEST(ShortVectors, InsertionKeepsArrivalOrderWithin1e6) {
  ShortVectorList list;
  list.insert({1, 0, 0}, {}, 1.0 + 5e-7);
  list.insert({2, 0, 0}, {}, 1.0);        // shorter by 5e-7: still behind
  list.insert({3, 0, 0}, {}, 1.0 - 2e-6);  // shorter by more: in front
  list.insert({4, 0, 0}, {}, 1.0 + 3e-6);
  list.insert({5, 0, 0}, {}, 1.0 + 1e-6 - 1e-9);  // within 1e-6 of the last-but-one: before the last
  list.finish();
  EXPECT_EQ(list.vectors, (std::vector<V>{{3, 0, 0}, {1, 0, 0}, {2, 0, 0}, {5, 0, 0}, {4, 0, 0}}));
}

// Every lattice vector no longer than bound + 1e-6 (in two dimensions the plane and (0, 0, 1)),
// by length, vectors of equal length in the order of the shells and within a shell of the
// components, first slowest.
std::vector<V> brute_force(const std::array<double, 9>& b, double bound, bool dim2) {
  struct Found {
    double length;
    int shell;
    V v;
  };
  // |n_i| <= |row i of B^-1| |c| for c = B n.
  const double det = b[0] * (b[4] * b[8] - b[7] * b[5]) - b[3] * (b[1] * b[8] - b[7] * b[2]) +
                     b[6] * (b[1] * b[5] - b[4] * b[2]);
  const auto cross_norm = [&](int p, int q) {
    const double x = b[p * 3 + 1] * b[q * 3 + 2] - b[p * 3 + 2] * b[q * 3 + 1];
    const double y = b[p * 3 + 2] * b[q * 3] - b[p * 3] * b[q * 3 + 2];
    const double z = b[p * 3] * b[q * 3 + 1] - b[p * 3 + 1] * b[q * 3];
    return std::sqrt(x * x + y * y + z * z);
  };
  const std::array<int, 3> reach{static_cast<int>(bound * cross_norm(1, 2) / std::fabs(det)) + 1,
                                 static_cast<int>(bound * cross_norm(2, 0) / std::fabs(det)) + 1,
                                 static_cast<int>(bound * cross_norm(0, 1) / std::fabs(det)) + 1};
  std::vector<Found> found;
  for (int i = -reach[0]; i <= reach[0]; ++i) {
    for (int j = -reach[1]; j <= reach[1]; ++j) {
      for (int k = -reach[2]; k <= reach[2]; ++k) {
        if (i == 0 && j == 0 && k == 0) continue;
        if (dim2 && !(k == 0 || (k == 1 && i == 0 && j == 0))) continue;
        const V v{i, j, k};
        const auto c = duopath::cartesian_of(b, v);
        const double d = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
        if (d - bound > 1e-6) continue;
        found.push_back({d, std::max({std::abs(i), std::abs(j), std::abs(k)}), v});
      }
    }
  }
  // Lengths equal but for rounding (a hexagonal cell) count as equal.
  std::stable_sort(found.begin(), found.end(), [](const Found& x, const Found& y) {
    const double qx = std::round(x.length * 1e9), qy = std::round(y.length * 1e9);
    if (qx != qy) return qx < qy;
    return x.shell < y.shell;
  });
  std::vector<V> out;
  for (const Found& f : found) out.push_back(f.v);
  return out;
}

std::array<double, 9> random_cell(std::mt19937& rng) {
  std::uniform_real_distribution<double> edge(2.0, 5.0), angle(70.0, 110.0);
  std::array<double, 6> lattice{edge(rng), edge(rng), edge(rng), angle(rng), angle(rng), angle(rng)};
  // Every third cell hexagonal, with its exact ties of length.
  if (std::uniform_int_distribution<int>(0, 2)(rng) == 0) lattice = {lattice[0], lattice[0], lattice[2], 90, 90, 120};
  return duopath::conventional_basis(lattice);
}

TEST(ShortVectors, Crystal2ListIsEveryVectorWithinTheBoundInOrder) {
  std::mt19937 rng(20261210);
  for (int trial = 0; trial < 40; ++trial) {
    const auto cell = random_cell(rng);
    const double bound = std::uniform_real_distribution<double>(4.0, 12.0)(rng);
    SCOPED_TRACE(trial);
    ShortVectorList list;
    duopath::crystal2_short_vectors(with_basis(cell), bound, false, list);
    EXPECT_EQ(list.vectors, brute_force(cell, bound, false));
  }
}

TEST(ShortVectors, LayerWithVacuumHasNoCapacityStop) {
  // A honeycomb layer, a = 2.46, 20 A of vacuum, sizes up to 2: crystal 1 holds the nine
  // in-plane vectors and (0, 0, 1), and crystal 2's bound reaches 1.5 times (0, 0, 1).
  const std::array<double, 9> layer = duopath::conventional_basis({2.46, 2.46, 20.0, 90.0, 90.0, 120.0});
  ShortVectorList list1, list2;
  duopath::crystal1_short_vectors(with_basis(layer), 2, true, list1);
  EXPECT_EQ(list1.count(), 9);
  EXPECT_EQ(list1.vectors.back(), (V{0, 0, 1}));
  const double bound = list1.length.back() * 1.5;
  duopath::crystal2_short_vectors(with_basis(layer), bound, true, list2);
  const auto expected = brute_force(layer, bound, true);
  EXPECT_EQ(list2.vectors, expected);
  EXPECT_GT(list2.count(), 500);
}

TEST(ShortVectors, LongListsInsertAsOne) {
  // Thousands of insertions of lengths with near-ties (within 1e-6) and exact ties against the
  // rule applied to one plain array.
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> pick(0, 3000);
  ShortVectorList list;
  std::vector<std::pair<double, int>> plain;
  for (int n = 0; n < 5000; ++n) {
    const double d = 1.0 + pick(rng) * 4e-7;  // steps below and above the 1e-6 tolerance
    list.insert({n, 0, 0}, {}, d);
    std::size_t m = plain.size();
    if (!plain.empty() && !(d > plain.back().first || std::fabs(d - plain.back().first) <= 1e-6)) {
      for (m = 0; m < plain.size(); ++m)
        if (plain[m].first > d && std::fabs(plain[m].first - d) > 1e-6) break;
    }
    plain.insert(plain.begin() + static_cast<std::ptrdiff_t>(m), {d, n});
  }
  list.finish();
  ASSERT_EQ(list.count(), 5000);
  for (std::size_t m = 0; m < plain.size(); ++m) ASSERT_EQ(list.vectors[m][0], plain[m].second) << m;
}

TEST(ShortVectors, BoundAcceptsWithin1e6) {
  const std::array<double, 9> cubic{3, 0, 0, 0, 3, 0, 0, 0, 3};
  ShortVectorList list;
  duopath::crystal2_short_vectors(with_basis(cubic), 3.0 - 1e-7, false, list);
  EXPECT_EQ(list.count(), 6);
  duopath::crystal2_short_vectors(with_basis(cubic), 3.0 - 1e-5, false, list);
  EXPECT_EQ(list.count(), 0);
  // Equal crystals, size 1, strain 1.5: the bound is 1.5 a sqrt(3).
  duopath::crystal2_short_vectors(with_basis(cubic), 1.5 * 3 * std::sqrt(3.0), false, list);
  EXPECT_EQ(list.vectors, brute_force(cubic, 1.5 * 3 * std::sqrt(3.0), false));
}

TEST(ShortVectors, GivenVectorsKeepTheirOrder) {
  ShortVectorList list;
  duopath::given_short_vectors(with_basis({1, 0, 0, 0, 1, 0, 0, 0, 1}), {{{2, 0, 0}, {0, 1, 0}, {1, 1, 1}}}, list);
  EXPECT_EQ(list.vectors, (std::vector<V>{{2, 0, 0}, {0, 1, 0}, {1, 1, 1}}));
  EXPECT_EQ(list.length, (std::vector<double>{2.0, 1.0, std::sqrt(3.0)}));
}

TEST(ShortVectors, ListsOfARun) {
  // Without a given lattice crystal 1's list depends on the largest size alone; with "trace
  // lattice1" crystal 2's stays empty; with a given lattice both hold the three vectors of
  // each crystal's subgroup cell in its primitive coordinates.
  const std::string sc = "221\n3 3 3 90 90 90\n1\nX a\n";
  const auto counts = [](duopath::Run& r) {
    duopath_test::prepare(r);
    std::string s = std::to_string(r.short_lists[0].count()) + " " + std::to_string(r.short_lists[1].count());
    for (const auto& v : r.short_lists[1].vectors) s += " (" + std::to_string(v[0]) + std::to_string(v[1]) + std::to_string(v[2]) + ")";
    return s;
  };
  EXPECT_EQ(duopath_test::run_phases("t\n" + sc + sc + "size 2 2\ntrace lattice1\n", counts).state, "26 0");
  EXPECT_EQ(duopath_test::run_phases("t\n" + sc + "225\n4 4 4 90 90 90\n1\nX a\n"
                                     "lattice 1 0,0,2 1,0,0 0,1,0 0,0,1 1,0,0 1/2,1/2,0\n",
                                     counts)
                .state,
            // fcc: p1 = (0,1/2,1/2), p2 = (1/2,0,1/2), p3 = (1/2,1/2,0), so (0,0,1) = p1+p2-p3,
            // (1,0,0) = -p1+p2+p3, (1/2,1/2,0) = p3.
            "3 3 (11-1) (-111) (001)");
}

// Crystal 1's count, (size + 1)^3 - 1, overflowed 64 bits from size 2097152 on and the shells
// ran on; every size beyond the capacity stops before a vector is counted.
TEST(ShortVectors, SizesBeyondTheCapacityStop) {
  const PreparedCrystal p = with_basis({3, 0, 0, 0, 3, 0, 0, 0, 3});
  for (const bool dim2 : {false, true}) {
    for (const int32_t size : {dim2 ? 1000 : 100, 2097151, 2097152, std::numeric_limits<int32_t>::max()}) {
      SCOPED_TRACE(std::to_string(size) + (dim2 ? " dim2" : ""));
      ShortVectorList list;
      const std::string out =
          sgl::testing::stop_output([&] { duopath::crystal1_short_vectors(p, size, dim2, list); });
      EXPECT_EQ(out, " Error: more than maxshort vectors\n"
                     " Crystal 1 would need more than 1000000 short vectors: give a smaller size\n");
      EXPECT_EQ(list.count(), 0);
    }
  }
}

TEST(ShortVectors, RunsThatStop) {
  using duopath_test::run_duopath;
  const std::string sc = "221\n3 3 3 90 90 90\n1\nX a\n";
  // Size 0 selects no cell: refused on its line.
  const auto zero = run_duopath("t\n" + sc + sc + "size 0 0\n");
  EXPECT_EQ(zero.status, 1);
  EXPECT_NE(zero.out.find(" syntax error: size 0 0\nThis program has bombed\n"), std::string::npos) << zero.out;
  // A list beyond a million vectors is refused before it is filled: sizes up to 10 of a cell of
  // edge 3 reach 1.5 x 30 sqrt(3) = 77.9, about two million cells of edge 1. The second line
  // says what to change.
  const std::string message =
      " Error: more than maxshort vectors\n"
      " Crystal 2 would need more than 1000000 short vectors to match the longest ones of crystal 1: give a "
      "smaller maximum strain or size, or check that both cells are in the same unit\nThis program has bombed\n";
  const auto tiny = run_duopath("t\n" + sc + "221\n1 1 1 90 90 90\n1\nX a\nsize 10 10\n");
  EXPECT_EQ(tiny.status, 1);
  EXPECT_NE(tiny.out.find(message), std::string::npos) << tiny.out;
}

}  // namespace
