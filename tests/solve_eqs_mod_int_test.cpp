// Equations A y = b modulo the integers: exact (rational right-hand side) and real solvers.
#include "library/exact/solve_eqs_mod_int.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "library/exact/smith_normal_form.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/linalg_test_support.hpp"

namespace {

using sgl::testing::Bombed;
using sgl::testing::BombTrap;
using sgl_test::by_rows;

struct Result {
  int32_t nsol = -1, den = -1, nnull = -1;
  std::vector<std::vector<int32_t>> x;     // solutions
  std::vector<std::vector<int32_t>> null;  // null-space rows
};

// Calls the solver with roomy outputs (compact leading dimensions plus one spare row).
Result solve(int mode, int nrow, int ncol, const std::vector<int32_t>& a_rows,
             const std::vector<int32_t>& b, int32_t m, int max_solutions = 64) {
  const std::vector<int32_t> a = by_rows(nrow, ncol, a_rows);
  const int nrow2 = ncol + 1, nrow3 = ncol + 1;
  std::vector<int32_t> x(static_cast<size_t>(nrow2) * max_solutions, -7),
      null(static_cast<size_t>(nrow3) * std::max(ncol, 1), -7);
  Result r;
  sgl::solve_eqs_mod_int(mode, nrow, ncol, a, nrow, b, m, r.nsol, x, nrow2, max_solutions, r.den,
                         r.nnull, null, nrow3);
  for (int s = 0; s < r.nsol; ++s)
    r.x.emplace_back(x.begin() + s * nrow2, x.begin() + s * nrow2 + ncol);
  for (int k = 0; k < (mode == 1 ? 0 : r.nnull); ++k) {
    std::vector<int32_t> row;
    for (int j = 0; j < ncol; ++j) row.push_back(null[j * nrow3 + k]);
    r.null.push_back(row);
  }
  return r;
}

TEST(SolveEqsModInt, Examples) {
  using Rows = std::vector<std::vector<int32_t>>;
  struct Case {
    const char* what;
    int mode, nrow, ncol;
    std::vector<int32_t> a, b;
    int32_t m;
    int32_t nsol, den;
    Rows x, null;
  };
  const Case cases[] = {
      {"2 y = 1/2: all solutions", 0, 1, 1, {2}, {1}, 2, 2, 4, {{1}, {3}}, {}},
      {"2 y = 1/2: one solution", 1, 1, 1, {2}, {1}, 2, 1, 4, {{1}}, {}},
      {"0 y = 1/2 has no solution", 0, 1, 1, {0}, {1}, 2, 0, -1, {}, {}},
      {"0 y = 2/2 is consistent, y free", 0, 1, 1, {0}, {2}, 2, 1, 1, {{0}}, {{1}}},
      {"(2, 4) y = 1: right-hand side a multiple of m", 0, 1, 2, {2, 4}, {1}, 1, 2, 2,
       {{0, 0}, {1, 0}}, {{2, -1}}},
      {"inversion centre: 2 y = (1/2, 0, 1/2)", 0, 3, 3, {2, 0, 0, 0, 2, 0, 0, 0, 2}, {1, 0, 1},
       2, 8, 4,
       {{1, 0, 1}, {3, 0, 1}, {1, 2, 1}, {3, 2, 1}, {1, 0, 3}, {3, 0, 3}, {1, 2, 3}, {3, 2, 3}},
       {}},
      {"inversion centre, one origin", 1, 3, 3, {2, 0, 0, 0, 2, 0, 0, 0, 2}, {1, 0, 1}, 2, 1, 4,
       {{1, 0, 1}}, {}},
      {"negative denominator: the same right-hand side", 0, 1, 1, {2}, {-1}, -2, 2, 4,
       {{1}, {3}}, {}},
      {"rows beyond the unknowns must hold: x = 1/3 and x = 1/2 clash", 0, 2, 1, {1, 1}, {2, 3},
       6, 0, -1, {}, {}},
      {"rows beyond the unknowns that agree", 0, 2, 1, {1, 3}, {2, 0}, 6, 1, 3, {{1}}, {}},
      {"no equations: everything free", 0, 0, 2, {}, {}, 1, 1, 1, {{0, 0}}, {{1, 0}, {0, 1}}},
  };
  for (const Case& c : cases) {
    const Result r = solve(c.mode, c.nrow, c.ncol, c.a, c.b, c.m);
    EXPECT_EQ(r.nsol, c.nsol) << c.what;
    if (c.nsol == 0) {
      EXPECT_EQ(r.den, -1) << c.what << ": den must not be written";
      EXPECT_EQ(r.nnull, -1) << c.what << ": nnull must not be written";
      continue;
    }
    EXPECT_EQ(r.den, c.den) << c.what;
    EXPECT_EQ(r.x, c.x) << c.what;
    if (c.mode == 1) {
      EXPECT_EQ(r.nnull, -1) << c.what << ": nnull must not be written in mode 1";
    } else {
      EXPECT_EQ(r.null, c.null) << c.what;
    }
  }
}

TEST(SolveEqsModInt, TooSmallDimensionsStop) {
  BombTrap trap;
  const std::vector<int32_t> a{2, 0, 0, 2};
  std::vector<int32_t> b{1, 1};
  std::vector<int32_t> x(64), null(64);
  int32_t nsol = 0, den = 0, nnull = 0;
  auto run = [&](int mode, int nrow1, int nrow2, int ncol2, int nrow3,
                 const std::vector<int32_t>& aa) {
    sgl::solve_eqs_mod_int(mode, 2, 2, aa, nrow1, b, 2, nsol, x, nrow2, ncol2, den, nnull, null,
                           nrow3);
  };
  EXPECT_THROW(run(0, 1, 2, 4, 2, a), Bombed);  // nrow1 < nrow
  EXPECT_THROW(run(0, 2, 1, 4, 2, a), Bombed);  // nrow2 < ncol
  EXPECT_THROW(run(0, 2, 2, 3, 2, a), Bombed);  // ncol2 < nsol = 4
  EXPECT_NO_THROW(run(1, 2, 2, 1, 0, a));       // mode 1: one column is enough, null untested
  EXPECT_EQ(nsol, 1);
  const std::vector<int32_t> singular{0, 0, 0, 0};
  b = {2, -4};  // whole multiples of m: consistent
  EXPECT_THROW(run(0, 2, 2, 1, 1, singular), Bombed);  // nrow3 < nnull = 2
  EXPECT_NO_THROW(run(1, 2, 2, 1, 0, singular));
  EXPECT_THROW(run(0, 2, 2, 0, 2, singular), Bombed);  // no column for the one solution
  EXPECT_THROW(sgl::solve_eqs_mod_int(0, 2, 2, a, 2, b, 0, nsol, x, 2, 4, den, nnull, null, 2),
               Bombed);  // zero denominator
}

TEST(SolveEqsModInt, WorkBeyond32BitsIsKeptWhenTheResultFits) {
  // The Smith transformations of this matrix need entries beyond 32 bits, the solution does not.
  const std::vector<int32_t> a{3,  11, 12, -1,  -7, -5, 4,  -7, -5, 8, 6, 6, 6,
                               11, -1, 3,  -8, -7, 1, -7, -9, 8, 9, -10, 3};
  const Result r = solve(1, 5, 5, a, {1, 0, 0, 0, 0}, 1);
  ASSERT_EQ(r.nsol, 1);
  // Every solution of A y = 0 mod 1 for this A (det 50194) is a multiple of 1/50194.
  EXPECT_EQ(50194 % r.den, 0);
}

// A y - b / m is integral: m (A x) - den b is divisible by den m.
bool satisfies(const std::vector<int32_t>& a, int nrow, int ncol, const std::vector<int32_t>& x,
               int64_t den, const std::vector<int32_t>& b, int64_t m) {
  for (int i = 0; i < nrow; ++i) {
    int64_t ax = 0;
    for (int j = 0; j < ncol; ++j) ax += static_cast<int64_t>(a[j * nrow + i]) * x[j];
    if ((m * ax - den * b[i]) % (den * m) != 0) return false;
  }
  return true;
}

TEST(SolveEqsModInt, RandomSystemsAgreeWithTheSmithForm) {
  std::mt19937 rng(1108);
  std::uniform_int_distribution<int> dim(1, 4), pick_m(1, 6);
  int brute_forced = 0, consistent = 0;
  for (int t = 0; t < 1500; ++t) {
    const int nrow = dim(rng), ncol = dim(rng);
    std::vector<int32_t> a = sgl_test::random_matrix(rng, nrow, ncol, -3, 3);
    if (t % 5 == 0)
      for (int i = 0; i < nrow; ++i) a[(ncol - 1) * nrow + i] = 2 * a[i];  // dependent columns
    const int32_t m = pick_m(rng);
    std::vector<int32_t> b = sgl_test::random_matrix(rng, nrow, 1, -6, 6);
    if (t % 3 == 0) {  // a right-hand side that is consistent by construction
      const std::vector<int32_t> y = sgl_test::random_matrix(rng, ncol, 1, 0, 5);
      for (int i = 0; i < nrow; ++i) {
        b[i] = 0;
        for (int j = 0; j < ncol; ++j) b[i] += a[j * nrow + i] * y[j];
      }
    }

    // The Smith form predicts the count: the product of the non-zero diagonal entries.
    std::vector<int32_t> d = a, p(nrow * nrow), q(ncol * ncol);
    sgl::smith_normal_form(d, nrow, ncol, nrow, p, nrow, q, ncol);
    int64_t predicted = 1, lcm = 1;
    int rank = 0;
    for (int i = 0; i < std::min(nrow, ncol); ++i)
      if (d[i * nrow + i] != 0) {
        predicted *= d[i * nrow + i];
        lcm = std::lcm(lcm, static_cast<int64_t>(d[i * nrow + i]));
        ++rank;
      }

    const int capacity = 2048;
    std::vector<int32_t> x(static_cast<size_t>(ncol) * capacity), null(ncol * ncol);
    int32_t nsol = -1, den = -1, nnull = -1;
    sgl::solve_eqs_mod_int(0, nrow, ncol, a, nrow, b, m, nsol, x, ncol, capacity, den, nnull,
                           null, ncol);
    if (nsol != 0) {
      ++consistent;
      EXPECT_EQ(nsol, predicted) << "trial " << t;
      EXPECT_EQ(nnull, ncol - rank) << "trial " << t;
      std::set<std::vector<int32_t>> distinct;
      for (int s = 0; s < nsol; ++s) {
        const std::vector<int32_t> xs(x.begin() + s * ncol, x.begin() + (s + 1) * ncol);
        for (int32_t v : xs) {
          EXPECT_GE(v, 0);
          EXPECT_LT(v, den);
        }
        EXPECT_TRUE(satisfies(a, nrow, ncol, xs, den, b, m)) << "trial " << t << " solution " << s;
        distinct.insert(xs);
      }
      EXPECT_EQ(static_cast<int>(distinct.size()), nsol) << "trial " << t;
      // Null-space rows: A v = 0 exactly, no common factor.
      for (int k = 0; k < nnull; ++k) {
        std::vector<int32_t> v;
        int32_t g = 0;
        for (int j = 0; j < ncol; ++j) {
          v.push_back(null[j * ncol + k]);
          g = std::gcd(g, v.back());
        }
        EXPECT_EQ(g, 1) << "trial " << t;
        EXPECT_TRUE(satisfies(a, nrow, ncol, v, 1, std::vector<int32_t>(nrow, 0), 1))
            << "trial " << t;
      }
      // Mode 1 gives the first of them.
      std::vector<int32_t> x1(ncol);
      int32_t nsol1 = -1, den1 = -1, unused = -1;
      sgl::solve_eqs_mod_int(1, nrow, ncol, a, nrow, b, m, nsol1, x1, ncol, 1, den1, unused,
                             null, 0);
      EXPECT_EQ(nsol1, 1);
      EXPECT_EQ(unused, -1);
      for (int j = 0; j < ncol; ++j)
        EXPECT_EQ(static_cast<int64_t>(x1[j]) * den, static_cast<int64_t>(x[j]) * den1);
    }

    // With no free unknowns the solutions lie on the grid 1 / (m L): count them all.
    const int64_t grid = m * lcm;
    int64_t points = 1;
    for (int j = 0; j < ncol; ++j) points *= grid;
    if (rank == ncol && points <= 20000) {
      ++brute_forced;
      int64_t count = 0;
      std::vector<int32_t> y(ncol, 0);
      for (int64_t k = 0; k < points; ++k) {
        int64_t r = k;
        for (int j = 0; j < ncol; ++j, r /= grid) y[j] = static_cast<int32_t>(r % grid);
        if (satisfies(a, nrow, ncol, y, grid, b, m)) ++count;
      }
      EXPECT_EQ(count, nsol) << "trial " << t;
    }
  }
  EXPECT_GT(brute_forced, 300);
  EXPECT_GT(consistent, 500);
}

TEST(DSolveEqsModInt, RightHandSidesNearWholeNumbers) {
  struct Case {
    const char* what;
    std::vector<int32_t> a;  // 1 x 1
    double b;
    int32_t flag;
    double y;
  };
  const Case cases[] = {
      {"within 1e-6 of 1 counts as 0 against a zero diagonal", {0}, 0.9999995, 0, 0.0},
      {"a fraction against a zero diagonal has no solution", {0}, 0.5, 1, 0.0},
      {"-0.25 becomes 0.75", {1}, -0.25, 0, 0.75},
      {"1 becomes 0", {1}, 1.0, 0, 0.0},
      {"divided by the diagonal", {2}, -0.25, 0, 0.375},
      {"a negative coefficient: P = (-1) turns b into -0.25", {-1}, 0.25, 0, 0.75},
      {"large values reduce like single steps", {1}, 1000000.25, 0, 0.25},
      {"far beyond 2^53 the reduction still ends", {0}, 1e300, 0, 0.0},
  };
  for (const Case& c : cases) {
    std::vector<double> y{-9};
    int32_t flag = -1;
    sgl::dsolve_eqs_mod_int(1, 1, c.a, 1, std::vector<double>{c.b}, y, flag);
    EXPECT_EQ(flag, c.flag) << c.what;
    EXPECT_EQ(y[0], c.flag == 0 ? c.y : -9.0) << c.what;
  }
  // 0.9999995 itself ends near -5e-7 and enters the solution so.
  std::vector<double> y{0};
  int32_t flag = -1;
  sgl::dsolve_eqs_mod_int(1, 1, std::vector<int32_t>{1}, 1, std::vector<double>{0.9999995}, y,
                          flag);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(y[0], 0.9999995 - 1.0);
}

TEST(DSolveEqsModInt, WyckoffParameters) {
  // Position (x, x, x) and position (x, 0, z) in numerators of their direction columns.
  const std::vector<int32_t> xxx = by_rows(3, 3, {1, 0, 0, 1, 0, 0, 1, 0, 0});
  const std::vector<int32_t> x0z = by_rows(3, 3, {1, 0, 0, 0, 0, 0, 0, 0, 1});
  struct Case {
    const std::vector<int32_t>* a;
    std::vector<double> b;
    int32_t flag;
    std::vector<double> y;
  };
  const Case cases[] = {
      {&xxx, {0.3, 0.3, 0.3}, 0, {0.3, 0, 0}},
      {&xxx, {0.3, 1.3, -0.7}, 0, {0.3, 0, 0}},
      {&xxx, {0.3, 0.3, 0.4}, 1, {}},
      {&x0z, {0.1, 2.0, 0.7}, 0, {0.1, 0, 0.7}},
      {&x0z, {0.1, 0.5, 0.7}, 1, {}},
  };
  for (const Case& c : cases) {
    std::vector<double> y(3, 9);
    int32_t flag = -1;
    sgl::dsolve_eqs_mod_int(3, 3, *c.a, 3, c.b, y, flag);
    ASSERT_EQ(flag, c.flag);
    if (flag != 0) {
      EXPECT_EQ(y, std::vector<double>(3, 9));
      continue;
    }
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(y[i], c.y[i], 1e-12);
  }
}

TEST(DSolveEqsModInt, RandomSystemsAreSolvedModuloIntegers) {
  std::mt19937 rng(1208);
  std::uniform_int_distribution<int> dim(1, 4);
  std::uniform_real_distribution<double> frac(0.0, 1.0);
  for (int t = 0; t < 500; ++t) {
    const int nrow = dim(rng), ncol = dim(rng);
    const std::vector<int32_t> a = sgl_test::random_matrix(rng, nrow, ncol, -3, 3);
    const std::vector<int32_t> shift = sgl_test::random_matrix(rng, nrow, 1, -4, 4);
    std::vector<double> y0(ncol), b(nrow);
    for (double& v : y0) v = frac(rng);
    for (int i = 0; i < nrow; ++i) {
      b[i] = shift[i];
      for (int j = 0; j < ncol; ++j) b[i] += a[j * nrow + i] * y0[j];
    }
    std::vector<double> y(ncol);
    int32_t flag = -1;
    sgl::dsolve_eqs_mod_int(nrow, ncol, a, nrow, b, y, flag);
    ASSERT_EQ(flag, 0) << "trial " << t;
    for (int i = 0; i < nrow; ++i) {
      double r = -b[i];
      for (int j = 0; j < ncol; ++j) r += a[j * nrow + i] * y[j];
      EXPECT_NEAR(r, std::round(r), 1e-9) << "trial " << t;
    }
  }
}

TEST(DSolveEqsModInt, BadInputStops) {
  BombTrap trap;
  std::vector<double> y(2);
  int32_t flag = -1;
  const std::vector<int32_t> a{1, 0, 0, 1};
  EXPECT_THROW(sgl::dsolve_eqs_mod_int(2, 2, a, 1, std::vector<double>{0, 0}, y, flag), Bombed);
  for (double bad : {std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN()})
    EXPECT_THROW(sgl::dsolve_eqs_mod_int(2, 2, a, 2, std::vector<double>{0.5, bad}, y, flag),
                 Bombed);
}

}  // namespace
