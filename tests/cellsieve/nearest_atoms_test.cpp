// The nearest atom of a type through the grid of the unit cell, against the scan of every atom:
// the same atom and, bit for bit, the same lattice part, for points near atoms, anywhere in and far
// outside the cell, in oblique cells large and small (lattice coordinates per unit of length below
// and above 1), for types of one atom or of atoms bunched in a corner, and for points at equal
// distances from several atoms, where the lowest index wins.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "cellsieve/nearest_atoms.hpp"
#include "cellsieve/real_equations.hpp"
#include "tests/cellsieve/literal_references.hpp"

namespace cellsieve {
namespace {

struct Structure {
  Mat3 basis{}, basis_inv{};
  Grid<double> cart;
  Grid<int32_t> type;
  int32_t n = 0;

  Structure(const Mat3& b, const std::vector<Vec3>& frac, const std::vector<int32_t>& types)
      : basis(b), cart(3, static_cast<int32_t>(frac.size())), type(static_cast<int32_t>(frac.size()), 1),
        n(static_cast<int32_t>(frac.size())) {
    int32_t err = 0;
    matrix_inverse(basis, basis_inv, err);
    EXPECT_EQ(err, 0);
    for (int32_t a = 1; a <= n; ++a) {
      Vec3 c{};
      vector_mlt(basis, frac[a - 1], c);
      set_column(cart, a, c);
      type(a) = types[a - 1];
    }
  }
  Vec3 at_fraction(const Vec3& f) const {
    Vec3 c{};
    vector_mlt(basis, f, c);
    return c;
  }
};

// Every point of `points`, for every type of the structure and one type it lacks.
void expect_same_as_scan(const Structure& st, const std::vector<Vec3>& points, const char* what) {
  SCOPED_TRACE(what);
  const NearestAtoms nearest(st.basis, st.basis_inv, st.cart, st.type, st.n);
  std::vector<int32_t> types(st.type.size());
  for (int32_t a = 1; a <= st.n; ++a) types[a - 1] = st.type(a);
  std::sort(types.begin(), types.end());
  types.erase(std::unique(types.begin(), types.end()), types.end());
  types.push_back(99);
  for (std::size_t p = 0; p < points.size(); ++p)
    for (int32_t ty : types) {
      Vec3 fast{}, slow{};
      const int32_t m = nearest.nearest(points[p], ty, fast);
      const int32_t expected = testing::literal_nearest(st.basis, st.basis_inv, st.cart, st.type, st.n, points[p], ty, slow);
      ASSERT_EQ(m, expected) << "point " << p << " type " << ty;
      if (m != 0) {
        ASSERT_EQ(fast, slow) << "point " << p << " type " << ty;
      }
    }
}

TEST(NearestAtoms, RandomStructuresAndPoints) {
  const Mat3 cubic = {9, 0, 0, 0, 9, 0, 0, 0, 9};
  const Mat3 hexagonal = {8, 0, 0, -4, 4 * std::sqrt(3.0), 0, 0, 0, 13};
  const Mat3 oblique = {7, 0, 0, 3.1, 6.2, 0, -2.4, 1.7, 5.3};  // triclinic, far from orthogonal
  const Mat3 small_oblique = {0.6, 0, 0, 0.25, 0.55, 0, 0.1, -0.2, 0.7};  // edges below 1
  std::mt19937 rng(34);
  std::uniform_real_distribution<double> unit(0.0, 1.0), wide(-3.0, 4.0), small(-0.03, 0.03);
  for (const Mat3& basis : {cubic, hexagonal, oblique, small_oblique})
    for (int32_t n : {1, 7, 60, 400}) {
      std::vector<Vec3> frac(static_cast<std::size_t>(n));
      std::vector<int32_t> types(static_cast<std::size_t>(n));
      for (int32_t a = 0; a < n; ++a) {
        frac[a] = {unit(rng), unit(rng), unit(rng)};
        types[a] = a % 5 == 0 ? 3 : (a % 2 == 0 ? 1 : 2);  // three types, one of them rarer
      }
      const Structure st(basis, frac, types);
      std::vector<Vec3> points;
      for (int q = 0; q < 150; ++q) {
        points.push_back(st.at_fraction({unit(rng), unit(rng), unit(rng)}));
        points.push_back(st.at_fraction({wide(rng), wide(rng), wide(rng)}));
        // Near an atom, shifted by a lattice vector: its image is that atom, at once.
        const Vec3& f = frac[rng() % frac.size()];
        points.push_back(st.at_fraction({f[0] + 2 + small(rng), f[1] - 1 + small(rng), f[2] + small(rng)}));
      }
      points.push_back(st.at_fraction({1000.25, -2000.5, 3000.75}));
      expect_same_as_scan(st, points, n == 1 ? "one atom" : n == 7 ? "seven atoms" : n == 60 ? "60 atoms" : "400 atoms");
    }
}

// A type bunched into one corner of the cell: points elsewhere find no atom near their grid cell,
// and the nearest one may lie a whole cell away.
TEST(NearestAtoms, AtomsBunchedInACorner) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> corner(0.0, 0.08), unit(0.0, 1.0);
  std::vector<Vec3> frac;
  for (int a = 0; a < 200; ++a) frac.push_back({corner(rng), corner(rng), corner(rng)});
  const Structure st({10, 0, 0, 0, 11, 0, 0, 0, 12}, frac, std::vector<int32_t>(frac.size(), 1));
  std::vector<Vec3> points;
  for (int q = 0; q < 300; ++q) points.push_back(st.at_fraction({unit(rng), unit(rng), unit(rng)}));
  expect_same_as_scan(st, points, "bunched");
}

// Atoms on a simple cubic grid, numbered in a shuffled order, and points at the centres of the
// grid's cubes and edges: eight or four atoms at exactly the same distance (all coordinates are
// exact in binary), of which the lowest index must win whatever order the grid meets them in.
TEST(NearestAtoms, EqualDistancesTakeTheLowestIndex) {
  const int k = 8;
  std::vector<Vec3> frac;
  for (int i = 0; i < k; ++i)
    for (int j = 0; j < k; ++j)
      for (int l = 0; l < k; ++l) frac.push_back({i / 8.0, j / 8.0, l / 8.0});
  std::mt19937 rng(12);
  std::shuffle(frac.begin(), frac.end(), rng);
  const Structure st({16, 0, 0, 0, 16, 0, 0, 0, 16}, frac, std::vector<int32_t>(frac.size(), 1));
  std::vector<Vec3> points;
  for (int i = 0; i < k; ++i)
    for (int j = 0; j < k; ++j) {
      points.push_back(st.at_fraction({(i + 0.5) / 8.0, (j + 0.5) / 8.0, (i + j + 0.5) / 8.0}));
      points.push_back(st.at_fraction({(i + 0.5) / 8.0, (j + 0.5) / 8.0, (i * j % k) / 8.0}));
    }
  expect_same_as_scan(st, points, "ties");
}

}  // namespace
}  // namespace cellsieve
