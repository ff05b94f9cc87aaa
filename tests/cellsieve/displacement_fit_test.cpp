// The orbit-by-orbit displacement fit against the whole system solved at once, on seeded random
// systems: the same accept or reject, the same minimum-norm solution to 1e-9, and the minimum
// property itself on small cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "cellsieve/displacement_fit.hpp"
#include "cellsieve/search.hpp"

namespace cellsieve {
namespace {

// The literal version: the whole system assembled at once, every atom's equations in orbit order,
// and reduced in one minimum-norm fit.
bool fit_displacements_dense(Tables& t, const DisplacementProblem& p, DisplacementSolution& s) {
  assign_places(p, s);
  const int32_t ntr = 3 * p.ngen;
  const int32_t nvar = 3 * (p.nred + p.ngen);
  t.start_system(nvar);
  auto col = [&](int32_t m) { return ntr + 3 * (s.place[m] - 1); };
  int32_t neq = 0;
  for (const auto& orbit : p.orbits)
    for (int32_t a : orbit)
      for (int32_t g = 0; g < p.ngen; ++g)
        for (int k = 1; k <= 3; ++k) {
          t.before_equation(neq + 1);
          write_equation(t, p, ++neq, nvar + 1, a, g, k, col);
        }
  return read_back(t, p, neq, s);
}

// A random system: orbits partition the atoms (atom 1 in the first), every image lies in the
// orbit of its atom, rotations are the 48 signed permutation matrices. Consistent systems get
// residuals from a random exact solution; the others random residuals.
DisplacementProblem random_problem(std::mt19937& gen, bool consistent) {
  std::uniform_int_distribution<int> natoms(1, 9), ngens(1, 3), coin(0, 1), perm(0, 5);
  std::uniform_real_distribution<double> val(-0.3, 0.3);
  DisplacementProblem p;
  p.nred = natoms(gen);
  p.ngen = ngens(gen);
  // Orbits: a random order of 2..n after atom 1, cut at random places.
  std::vector<int32_t> order(static_cast<std::size_t>(p.nred));
  for (int32_t a = 0; a < p.nred; ++a) order[a] = a + 1;
  std::shuffle(order.begin() + 1, order.end(), gen);
  p.orbits.push_back({order[0]});
  for (int32_t i = 1; i < p.nred; ++i) {
    if (coin(gen) == 0) p.orbits.emplace_back();
    p.orbits.back().push_back(order[i]);
  }
  std::vector<int32_t> orbit_of(static_cast<std::size_t>(p.nred) + 1);
  for (std::size_t o = 0; o < p.orbits.size(); ++o)
    for (int32_t a : p.orbits[o]) orbit_of[a] = static_cast<int32_t>(o);
  static const int perms[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {1, 0, 2}, {0, 2, 1}, {2, 1, 0}};
  std::vector<Vec3> d(static_cast<std::size_t>(p.nred) + 1);
  for (auto& v : d) v = {val(gen), val(gen), val(gen)};
  for (int32_t g = 0; g < p.ngen; ++g) {
    Mat3 r{};
    const int* pm = perms[perm(gen)];
    for (int i = 1; i <= 3; ++i) at(r, i, pm[i - 1] + 1) = coin(gen) == 0 ? 1.0 : -1.0;
    p.rot.push_back(r);
    const Vec3 c = {val(gen), val(gen), val(gen)};
    p.image.emplace_back(static_cast<std::size_t>(p.nred) + 1, 0);
    p.resid.emplace_back(static_cast<std::size_t>(p.nred) + 1);
    for (int32_t a = 1; a <= p.nred; ++a) {
      const auto& orbit = p.orbits[orbit_of[a]];
      const int32_t b = orbit[std::uniform_int_distribution<std::size_t>(0, orbit.size() - 1)(gen)];
      p.image[g][a] = b;
      Vec3 rd{};
      vector_mlt(r, d[a], rd);
      for (int k = 0; k < 3; ++k)
        p.resid[g][a][k] = consistent ? -(c[k] + rd[k] - d[b][k]) : val(gen);
    }
  }
  return p;
}

// The residual of the fitted equations, largest component.
double worst_equation(const DisplacementProblem& p, const DisplacementSolution& s) {
  double worst = 0.0;
  for (int32_t g = 0; g < p.ngen; ++g)
    for (int32_t a = 1; a <= p.nred; ++a) {
      Vec3 rd{};
      vector_mlt(p.rot[g], s.disp[a], rd);
      const int32_t b = p.image[g][a];
      for (int k = 0; k < 3; ++k)
        worst = std::max(worst, std::fabs(s.corr[g][k] + rd[k] - s.disp[b][k] + p.resid[g][a][k]));
    }
  return worst;
}

TEST(DisplacementFit, OrbitBlocksEqualTheWholeSystem) {
  std::mt19937 gen(20030815);
  Tables t;
  t.allocate_init();
  int accepted = 0, rejected = 0;
  for (int trial = 0; trial < 400; ++trial) {
    SCOPED_TRACE(trial);
    const DisplacementProblem p = random_problem(gen, trial % 3 != 0);
    DisplacementSolution blocks, dense;
    const bool ok_blocks = fit_displacements(t, p, blocks);
    const bool ok_dense = fit_displacements_dense(t, p, dense);
    ASSERT_EQ(ok_blocks, ok_dense);
    if (!ok_blocks) {
      ++rejected;
      continue;
    }
    ++accepted;
    EXPECT_LT(worst_equation(p, blocks), 1e-9);
    for (int32_t g = 0; g < p.ngen; ++g)
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(blocks.corr[g][k], dense.corr[g][k], 1e-9);
    for (int32_t a = 1; a <= p.nred; ++a)
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(blocks.disp[a][k], dense.disp[a][k], 1e-9);
  }
  // Both kinds occur.
  EXPECT_GT(accepted, 100);
  EXPECT_GT(rejected, 20);
}

TEST(DisplacementFit, SmallestDisplacements) {
  // Two atoms swapped by the inversion with residuals +-0.2 along x: the fit splits the
  // mismatch evenly, and the translation correction takes any common part.
  DisplacementProblem p;
  p.nred = 2;
  p.ngen = 1;
  p.rot = {{-1, 0, 0, 0, -1, 0, 0, 0, -1}};
  p.image = {{0, 2, 1}};
  p.resid = {{Vec3{}, Vec3{0.2, 0, 0}, Vec3{0.2, 0, 0}}};
  p.orbits = {{1, 2}};
  Tables t;
  t.allocate_init();
  DisplacementSolution s;
  ASSERT_TRUE(fit_displacements(t, p, s));
  EXPECT_LT(worst_equation(p, s), 1e-12);
  // -d1 - d2 + c = -0.2 (twice): c is free, so d = 0 and c = -0.2 is the smallest.
  EXPECT_NEAR(s.corr[0][0], -0.2, 1e-12);
  EXPECT_NEAR(s.disp[1][0], 0.0, 1e-12);
  EXPECT_NEAR(s.disp[2][0], 0.0, 1e-12);
  // The first orbit takes the last places.
  EXPECT_EQ(s.place[1], 1);
  EXPECT_EQ(s.place[2], 2);
}

}  // namespace
}  // namespace cellsieve
