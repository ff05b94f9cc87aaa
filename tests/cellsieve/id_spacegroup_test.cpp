// Space-group identification: every group of the tables, in its own basis and in seeded skewed
// bases with shifted origins, checked by an independent test of the returned setting.
#include "cellsieve/id_spacegroup.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "library/exact/row_operations.hpp"
#include "library/groups/space_group.hpp"
#include "library/tables/common_space.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/group_tables.hpp"

namespace cellsieve {
namespace {

using sgl::m3;
using sgl::Mat3i;
using sgl::RationalVector;
using sgl::SpaceOp;
using sgl::testing::Bombed;
using sgl::testing::BombTrap;
using sgl::testing::space_tables;

const Mat3i kUnit{1, 0, 0, 0, 1, 0, 0, 0, 1};

using sgl::Int128;

// Matrix from its rows.
Mat3i rows(std::array<int32_t, 3> r1, std::array<int32_t, 3> r2, std::array<int32_t, 3> r3) {
  Mat3i m{};
  for (int j = 1; j <= 3; ++j) {
    m3(m, 1, j) = r1[j - 1];
    m3(m, 2, j) = r2[j - 1];
    m3(m, 3, j) = r3[j - 1];
  }
  return m;
}

Mat3i times(const Mat3i& a, const Mat3i& b) {
  Mat3i c{};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      int64_t s = 0;
      for (int k = 1; k <= 3; ++k) s += int64_t{m3(a, i, k)} * m3(b, k, j);
      EXPECT_EQ(s, static_cast<int32_t>(s)) << "test matrix entry beyond 32 bits";
      m3(c, i, j) = static_cast<int32_t>(s);
    }
  return c;
}

int64_t det(const Mat3i& a) {
  auto e = [&](int i, int j) { return int64_t{m3(a, i, j)}; };
  return e(1, 1) * (e(2, 2) * e(3, 3) - e(2, 3) * e(3, 2)) -
         e(1, 2) * (e(2, 1) * e(3, 3) - e(2, 3) * e(3, 1)) +
         e(1, 3) * (e(2, 1) * e(3, 2) - e(2, 2) * e(3, 1));
}

// Inverse of a matrix of determinant +1 (the adjugate).
Mat3i inverse(const Mat3i& a) {
  Mat3i b{};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      const int r1 = j % 3 + 1, r2 = (j + 1) % 3 + 1, c1 = i % 3 + 1, c2 = (i + 1) % 3 + 1;
      m3(b, i, j) = static_cast<int32_t>(int64_t{m3(a, r1, c1)} * m3(a, r2, c2) -
                                         int64_t{m3(a, r1, c2)} * m3(a, r2, c1));
    }
  return b;
}

// Rotation of point operation k acting on coordinates in the primitive basis of Bravais type b.
Mat3i primitive_rotation(int32_t b, int32_t k) {
  const sgl::CommonSpace& cs = space_tables();
  Mat3i t1{}, r{}, t2{};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      m3(t1, i, j) = cs.lattice_transform(i, j, 1, b);
      m3(r, i, j) = cs.point_op_rot(i, j, k);
      m3(t2, i, j) = cs.lattice_transform(i, j, 2, b);
    }
  Mat3i m = times(times(t1, r), t2);
  const int32_t den = cs.lattice_transform_den(1, b);
  for (int32_t& e : m) {
    EXPECT_EQ(e % den, 0);
    e /= den;
  }
  return m;
}

// Exact rational 3-vectors for the test's own arithmetic.
struct Frac3 {
  std::array<int64_t, 3> num{};
  int64_t den = 1;
};

Frac3 normal(Frac3 v, bool modulo_lattice) {
  if (v.den < 0) {
    v.den = -v.den;
    for (int64_t& n : v.num) n = -n;
  }
  if (modulo_lattice)
    for (int64_t& n : v.num) n = ((n % v.den) + v.den) % v.den;
  int64_t g = v.den;
  for (int64_t n : v.num) g = std::gcd(g, n);
  v.den /= g;
  for (int64_t& n : v.num) n /= g;
  return v;
}

// m v, over the denominator of v.
Frac3 act(const Mat3i& m, const Frac3& v) {
  Frac3 w;
  w.den = v.den;
  for (int i = 1; i <= 3; ++i)
    for (int k = 1; k <= 3; ++k) w.num[i - 1] += int64_t{m3(m, i, k)} * v.num[k - 1];
  return w;
}

Frac3 add(const Frac3& a, const Frac3& b, int64_t sign = 1) {
  Frac3 c;
  c.den = a.den * b.den;
  for (int i = 0; i < 3; ++i) c.num[i] = a.num[i] * b.den + sign * b.num[i] * a.den;
  return normal(c, false);
}

Frac3 translation(const SpaceOp& op) { return Frac3{{op[0], op[1], op[2]}, op[3]}; }
Frac3 frac(const RationalVector& v) { return Frac3{{v[0], v[1], v[2]}, v[3]}; }

bool integral(const Frac3& v) {
  for (int64_t n : v.num)
    if (n % v.den != 0) return false;
  return true;
}

// A set of operators with their rotations in the basis they are given in.
struct OpSet {
  std::vector<SpaceOp> ops;
  std::vector<Mat3i> rot;
  int32_t n() const { return static_cast<int32_t>(ops.size()); }
};

// The operators of group g as the tables list them, in its primitive basis.
OpSet table_group(int32_t g) {
  const sgl::CommonSpace& cs = space_tables();
  std::array<SpaceOp, sgl::kMaxGroupOps> list{};
  int32_t n = 0;
  sgl::generate_space_group(cs, g, n, list);
  OpSet s;
  for (int32_t k = 0; k < n; ++k) {
    s.ops.push_back(list[k]);
    s.rot.push_back(primitive_rotation(cs.sg_bravais(g), list[k][4]));
  }
  return s;
}

// The same operators in the coordinates x' = q x + shift (q of determinant +1), translations
// modulo the lattice, listed in the order of perm.
OpSet transformed(const OpSet& s, const Mat3i& q, const Frac3& shift,
                  const std::vector<int>& perm) {
  const Mat3i qi = inverse(q);
  OpSet out;
  for (int k : perm) {
    const Mat3i r = times(times(q, s.rot[k]), qi);
    const Frac3 t = add(add(act(q, translation(s.ops[k])), shift), act(r, shift), -1);
    const Frac3 tn = normal(t, true);
    out.ops.push_back(SpaceOp{static_cast<int32_t>(tn.num[0]), static_cast<int32_t>(tn.num[1]),
                              static_cast<int32_t>(tn.num[2]), static_cast<int32_t>(tn.den),
                              s.ops[k][4]});
    out.rot.push_back(r);
  }
  return out;
}

// Independent check of an identification: with x = p x_ref + origin, every operator (W, w) of
// group g in the tables' primitive basis becomes (p W p^-1, p w + origin - p W p^-1 origin), which
// must be one of the given operators modulo the lattice. Returns "" or what failed.
std::string check_setting(int32_t g, const Mat3i& p, const RationalVector& origin,
                          const OpSet& given) {
  std::ostringstream why;
  if (det(p) != 1) return "det P is not 1";
  if (origin[3] <= 0) return "origin denominator not positive";
  const OpSet ref = table_group(g);
  if (ref.n() != given.n()) return "operator counts differ";
  const Mat3i pi = inverse(p);
  const Frac3 o = frac(origin);
  for (int32_t k = 0; k < ref.n(); ++k) {
    const Mat3i r = times(times(p, ref.rot[k]), pi);
    const Frac3 t = add(add(act(p, translation(ref.ops[k])), o), act(r, o), -1);
    int32_t match = -1;
    for (int32_t j = 0; j < given.n(); ++j)
      if (given.rot[j] == r) match = j;
    if (match < 0) {
      why << "table operator " << k + 1 << " has no rotation among the given ones";
      return why.str();
    }
    if (!integral(add(t, translation(given.ops[match]), -1))) {
      why << "table operator " << k + 1 << ": translations differ by a non-lattice vector";
      return why.str();
    }
  }
  return "";
}

struct Result {
  int32_t sg = -7;
  Mat3i p{};
  RationalVector origin{};
};

// Sentinels show that P and the origin are left alone when nothing is found.
const Mat3i kSentinelP{9, 9, 9, 9, 9, 9, 9, 9, 9};
const RationalVector kSentinelOrigin{7, 7, 7, 9};

Result identify(const OpSet& s, int32_t mode = 0) {
  Result r{-7, kSentinelP, kSentinelOrigin};
  id_spacegroup(space_tables(), s.n(), s.ops, s.rot, r.sg, r.p, r.origin, mode);
  return r;
}

Result search_only(const OpSet& s, int passes, int32_t mode = 0) {
  Result r{-7, kSentinelP, kSentinelOrigin};
  id_spacegroup_search(space_tables(), s.n(), s.ops, s.rot, r.sg, r.p, r.origin, mode, passes);
  return r;
}

// Random matrix of determinant +1: column additions with factors -2..2 and signed column swaps.
Mat3i random_unimodular(std::mt19937& rng, int steps) {
  Mat3i q = kUnit;
  std::uniform_int_distribution<int> col(1, 3), factor(-2, 2), kind(0, 3);
  for (int s = 0; s < steps; ++s) {
    const int i = col(rng);
    int j = col(rng);
    if (j == i) j = i % 3 + 1;
    if (kind(rng) == 0) {
      for (int r = 1; r <= 3; ++r) {
        std::swap(m3(q, r, i), m3(q, r, j));
        m3(q, r, i) = -m3(q, r, i);
      }
    } else {
      int f = factor(rng);
      if (f == 0) f = 1;
      for (int r = 1; r <= 3; ++r) m3(q, r, i) += f * m3(q, r, j);
    }
  }
  return q;
}

Frac3 random_shift(std::mt19937& rng) {
  static constexpr std::array<int64_t, 6> dens{1, 2, 3, 4, 6, 12};
  Frac3 s;
  s.den = dens[std::uniform_int_distribution<std::size_t>(0, dens.size() - 1)(rng)];
  std::uniform_int_distribution<int64_t> n(0, s.den - 1);
  for (int64_t& v : s.num) v = n(rng);
  return s;
}

std::string describe(int32_t g, const Mat3i& q, const Frac3& s) {
  std::ostringstream o;
  o << "group " << g << ", q by columns";
  for (int32_t e : q) o << ' ' << e;
  o << ", shift (" << s.num[0] << ", " << s.num[1] << ", " << s.num[2] << ")/" << s.den;
  return o.str();
}

// The search's row reduction against the library's: on seeded random systems of the shapes the
// search builds (9 equations per generator in 9 unknowns; 3 per generator in 3 x generators + 4
// columns), of full and deficient rank, both give the same pivot in every row and the same rows
// up to a factor each.
TEST(IdSpacegroup, RowReductionAgreesWithTheLibrary) {
  std::mt19937 rng(4711);
  std::uniform_int_distribution<int32_t> entry(-3, 3);
  struct Shape {
    int rows, cols, rank;  // rank 0: independent random rows
  };
  const std::vector<Shape> shapes = {{9, 9, 0},  {18, 9, 0}, {27, 9, 0}, {18, 9, 4},
                                     {27, 9, 6}, {3, 7, 0},  {6, 10, 0}, {9, 13, 5},
                                     {9, 13, 0}, {5, 4, 2},  {4, 6, 1}};
  for (const Shape& shape : shapes) {
    for (int trial = 0; trial < 40; ++trial) {
      SCOPED_TRACE(std::to_string(shape.rows) + " x " + std::to_string(shape.cols) + " rank " +
                   std::to_string(shape.rank) + " trial " + std::to_string(trial));
      std::vector<std::vector<int32_t>> m(shape.rows, std::vector<int32_t>(shape.cols));
      if (shape.rank == 0) {
        for (auto& row : m)
          for (int32_t& e : row) e = entry(rng);
      } else {
        std::vector<std::vector<int32_t>> base(shape.rank, std::vector<int32_t>(shape.cols));
        for (auto& row : base)
          for (int32_t& e : row) e = entry(rng);
        for (auto& row : m)
          for (const auto& b : base) {
            const int32_t f = entry(rng);
            for (int j = 0; j < shape.cols; ++j) row[j] += f * b[j];
          }
      }
      if (trial % 5 == 0)  // a column without entries
        for (auto& row : m) row[trial % shape.cols] = 0;

      std::vector<int32_t> lib(static_cast<std::size_t>(sgl::kRowopLeadingDim) * shape.cols, 0);
      std::vector<int64_t> wide(static_cast<std::size_t>(shape.rows) * shape.cols);
      for (int i = 0; i < shape.rows; ++i)
        for (int j = 0; j < shape.cols; ++j) {
          lib[static_cast<std::size_t>(j) * sgl::kRowopLeadingDim + i] = m[i][j];
          wide[static_cast<std::size_t>(i) * shape.cols + j] = m[i][j];
        }
      sgl::rowop(lib, shape.rows, shape.cols);
      ASSERT_TRUE(reduce_rows_exact(wide, shape.rows, shape.cols));
      for (int i = 0; i < shape.rows; ++i) {
        auto l = [&](int j) {
          return int64_t{lib[static_cast<std::size_t>(j) * sgl::kRowopLeadingDim + i]};
        };
        auto w = [&](int j) { return wide[static_cast<std::size_t>(i) * shape.cols + j]; };
        int pl = -1, pw = -1;
        for (int j = shape.cols - 1; j >= 0; --j) {
          if (l(j) != 0) pl = j;
          if (w(j) != 0) pw = j;
        }
        ASSERT_EQ(pw, pl) << "row " << i + 1;
        if (pl < 0) continue;
        EXPECT_GE(pl, i);
        for (int j = 0; j < shape.cols; ++j)
          EXPECT_EQ(static_cast<Int128>(w(j)) * l(pl), static_cast<Int128>(l(j)) * w(pl))
              << "row " << i + 1 << " column " << j + 1;
      }
    }
  }
}

// The search's row reduction taken literally, the reference of reduce_rows_exact: every row kept
// in 128 bits and divided by the greatest common divisor of its entries after each step; false as
// soon as an entry of a divided row reaches 2^62 in magnitude.
bool reduce_rows_literal(std::vector<int64_t>& a, int nrow, int ncol) {
  const Int128 limit = Int128{1} << 62;
  std::vector<std::vector<Int128>> m(static_cast<std::size_t>(nrow), std::vector<Int128>(static_cast<std::size_t>(ncol)));
  for (int i = 0; i < nrow; ++i)
    for (int j = 0; j < ncol; ++j) m[i][j] = a[static_cast<std::size_t>(i) * ncol + j];
  const auto gcd = [](auto self, Int128 u, Int128 v) -> Int128 { return v == 0 ? u : self(self, v, u % v); };
  auto divided = [&](std::vector<Int128>& row) {
    Int128 g = 0;
    for (Int128 e : row) g = gcd(gcd, g, e < 0 ? -e : e);
    bool within = true;
    for (Int128& e : row) {
      if (g > 1) e /= g;
      within = within && e < limit && e > -limit;
    }
    return within;
  };
  for (auto& row : m)
    if (!divided(row)) return false;
  int c = -1;
  for (int i = 0; i < nrow; ++i) {
    int found = -1;
    while (found < 0 && ++c < ncol)
      for (int r = i; r < nrow && found < 0; ++r)
        if (m[r][c] != 0) found = r;
    if (found < 0) break;
    std::swap(m[i], m[found]);
    for (int r = 0; r < nrow; ++r) {
      const Int128 f = m[r][c];
      if (r == i || f == 0) continue;
      const Int128 pivot = m[i][c];
      for (int j = 0; j < ncol; ++j) m[r][j] = pivot * m[r][j] - f * m[i][j];
      if (!divided(m[r])) return false;
    }
  }
  for (int i = 0; i < nrow; ++i)
    for (int j = 0; j < ncol; ++j) a[static_cast<std::size_t>(i) * ncol + j] = static_cast<int64_t>(m[i][j]);
  return true;
}

// The reduction with 64-bit rows where they fit against the literal one in 128 bits: on seeded
// random systems with entries from small to near the limit (so rows fall on both sides of the
// 64-bit range, and some reductions leave the range), the same result and the same matrix.
TEST(IdSpacegroup, RowReductionIn64BitsAgreesWithThe128BitOne) {
  std::mt19937_64 rng(99);
  const std::vector<std::array<int, 2>> shapes = {{9, 9}, {18, 9}, {27, 9}, {6, 10}, {9, 13}, {15, 19}, {4, 6}};
  int out_of_range = 0;
  int reduced = 0;
  for (const auto& shape : shapes) {
    const int nrow = shape[0], ncol = shape[1];
    for (int bits : {2, 8, 20, 31, 40, 61}) {
      for (int trial = 0; trial < 30; ++trial) {
        SCOPED_TRACE(std::to_string(nrow) + " x " + std::to_string(ncol) + ", " + std::to_string(bits) +
                     " bits, trial " + std::to_string(trial));
        const int64_t bound = (int64_t{1} << bits) - 1;
        std::uniform_int_distribution<int64_t> entry(-bound, bound);
        std::uniform_int_distribution<int> kind(0, 3);
        std::vector<int64_t> a(static_cast<std::size_t>(nrow) * ncol);
        for (int64_t& e : a) e = kind(rng) == 0 ? 0 : entry(rng);
        if (trial % 3 == 0)  // a deficient rank: the first row repeated
          for (int j = 0; j < ncol; ++j) a[static_cast<std::size_t>(nrow - 1) * ncol + j] = a[j];
        if (trial % 7 == 0) a[static_cast<std::size_t>(trial % nrow) * ncol] = std::numeric_limits<int64_t>::min();
        std::vector<int64_t> fast = a, wide = a;
        const bool ok_fast = reduce_rows_exact(fast, nrow, ncol);
        const bool ok_wide = reduce_rows_literal(wide, nrow, ncol);
        ASSERT_EQ(ok_fast, ok_wide);
        if (!ok_wide) {
          ++out_of_range;
          continue;
        }
        ++reduced;
        EXPECT_EQ(fast, wide);
      }
    }
  }
  EXPECT_GT(out_of_range, 100);
  EXPECT_GT(reduced, 200);
}

// The test of a pivot row: the sum of entries times values, divisible by the pivot or not, and
// the pivot variable, against the sum in 128 bits. The sums run from small ones, formed in 64
// bits, to entries near 2^62 and values of 2, whose products or partial sums leave 64 bits
// (formed in 128 bits), and to the most negative 64-bit sum, whose negated quotient by -1 does
// not fit 64 bits.
TEST(IdSpacegroup, PivotRowQuotientInEveryWidth) {
  constexpr int64_t big = (int64_t{1} << 62) - 1;
  constexpr int64_t min64 = std::numeric_limits<int64_t>::min();
  struct Case {
    std::vector<int64_t> e, x;
    int64_t d;
  };
  const std::vector<Case> cases = {
      {{3, -5, 7}, {1, 2, 1}, 2},            // 0: divisible
      {{3, -5, 7}, {1, 2, -1}, 3},           // -14: not divisible
      {{4, 0, -6, 2}, {2, -2, 1, 1}, -4},    // zero entries, a negative pivot
      {{big, -big}, {-2, -2}, 7},            // a partial sum near the 64-bit limit, the total 0
      {{big, big}, {2, 2}, 4},               // each product fits, their sum does not
      {{big, big, 3}, {2, 2, 1}, 2},         // an odd sum beyond 64 bits: not divisible
      {{-big, -big}, {2, 2}, 3},             // a negative one, divisible
      {{big, big, -big}, {2, 2, 2}, big},    // a partial sum beyond 64 bits, the total within
      {{big, big, big, big}, {-2, -2, -2, -2}, 8},
      {{big, big, big, big}, {2, -2, 2, 2}, 2},
      {{min64 / 2, min64 / 2}, {1, 1}, -1},  // the most negative sum: -(s / -1) beyond 64 bits
      {{min64 / 2, min64 / 2}, {1, 1}, 2},
  };
  int wide = 0;
  for (const Case& c : cases) {
    Int128 sum = 0;
    bool fits = true;
    for (std::size_t j = 0; j < c.e.size(); ++j) {
      sum += static_cast<Int128>(c.e[j]) * c.x[j];
      fits = fits && sum <= std::numeric_limits<int64_t>::max() && sum >= min64;
    }
    wide += !fits || sum == min64;
    Int128 q = 12345;
    const bool divisible = tail_quotient(c.e, c.x, c.d, q);
    ASSERT_EQ(divisible, sum % c.d == 0) << static_cast<double>(sum) << " / " << c.d;
    if (divisible) {
      EXPECT_TRUE(q == -sum / c.d) << static_cast<double>(q);
    }
  }
  EXPECT_GE(wide, 6);
}

// Every group is found as itself in its own basis, by the bounded search alone, and the setting
// it reports carries the table's operators onto the given ones.
TEST(IdSpacegroup, EveryGroupInItsOwnBasis) {
  SGL_REQUIRE_TABLES();
  for (int32_t g = 1; g <= sgl::kSpaceGroupCount; ++g) {
    SCOPED_TRACE("group " + std::to_string(g));
    const OpSet s = table_group(g);
    const Result bounded = search_only(s, 2);
    ASSERT_EQ(bounded.sg, g);
    EXPECT_EQ(check_setting(g, bounded.p, bounded.origin, s), "");
    const Result r = identify(s);
    EXPECT_EQ(r.sg, g);
    EXPECT_EQ(r.p, bounded.p);
    EXPECT_EQ(r.origin, bounded.origin);
  }
}

// Seeded skewed bases (unimodular, determinant +1) with shifted origins and shuffled operators:
// every group is identified as itself with a verified setting. Where the bounded search finds the
// group, the result is exactly its result; where it finds none, the retry on a reduced basis does.
TEST(IdSpacegroup, EveryGroupInSkewedBasesWithShiftedOrigins) {
  SGL_REQUIRE_TABLES();
  std::mt19937 rng(20261210);
  int retried = 0;
  int direct = 0;
  for (int32_t g = 1; g <= sgl::kSpaceGroupCount; ++g) {
    const OpSet s = table_group(g);
    for (int trial = 0; trial < 6; ++trial) {
      const Mat3i q = random_unimodular(rng, 2 + 2 * trial);
      const Frac3 shift = random_shift(rng);
      std::vector<int> perm(s.ops.size());
      std::iota(perm.begin(), perm.end(), 0);
      std::shuffle(perm.begin(), perm.end(), rng);
      const OpSet given = transformed(s, q, shift, perm);
      SCOPED_TRACE(describe(g, q, shift));
      const Result r = identify(given);
      ASSERT_EQ(r.sg, g);
      EXPECT_EQ(check_setting(g, r.p, r.origin, given), "");
      const Result bounded = search_only(given, 2);
      if (bounded.sg == 0) {
        ++retried;
        EXPECT_EQ(bounded.p, kSentinelP);
        EXPECT_EQ(bounded.origin, kSentinelOrigin);
      } else {
        ++direct;
        EXPECT_EQ(bounded.sg, g);
        EXPECT_EQ(bounded.p, r.p);
        EXPECT_EQ(bounded.origin, r.origin);
      }
    }
  }
  // Both paths are exercised.
  EXPECT_GT(retried, 50);
  EXPECT_GT(direct, 200);
}

// Operators given as point-operation numbers of the cubic list with zero translations, written
// in the basis whose columns (in the axes of that list) are those of b.
OpSet point_group_in_basis(const std::vector<int32_t>& numbers, const Mat3i& b) {
  const sgl::CommonSpace& cs = space_tables();
  const Mat3i bi = inverse(b);
  OpSet s;
  for (int32_t k : numbers) {
    Mat3i r{};
    for (int i = 1; i <= 3; ++i)
      for (int j = 1; j <= 3; ++j) m3(r, i, j) = cs.point_op_rot(i, j, k);
    s.ops.push_back(SpaceOp{0, 0, 0, 1, k});
    s.rot.push_back(times(times(bi, r), b));
  }
  return s;
}

Result expected(int32_t sg, const Mat3i& p, const RationalVector& origin) {
  return Result{sg, p, origin};
}

void expect_result(const Result& got, const Result& want) {
  EXPECT_EQ(got.sg, want.sg);
  EXPECT_EQ(got.p, want.p);
  EXPECT_EQ(got.origin, want.origin);
}

// cellsieve makes the hexagonal-axes entries of the rhombohedral groups their defaults at
// start-up (default entry, slot 1 of the setting pairs, generator column 2). The identification
// reads its generators through the reference setting, so it gives the same results after that.
TEST(IdSpacegroup, PreferredSettingsChangeNoResult) {
  SGL_REQUIRE_TABLES();
  auto replaced = std::make_unique<sgl::CommonSpace>(space_tables());
  sgl::CommonSpace& cs = *replaced;
  int entries = 0;
  for (int32_t e = 1; e <= cs.setting_count(); ++e) {
    const int32_t cls = cs.setting_inter_class(e);
    if (!((cls == 1 || cls == 3) && cs.setting_inter_flag(e) == 1)) continue;
    const int32_t g = cs.setting_sg(e);
    cs.sg_default_setting(g) = static_cast<int16_t>(e);
    for (int k = 1; k <= 2; ++k)
      for (int j = 1; j <= 4; ++j)
        for (int i = 1; i <= 4; ++i)
          cs.setting_transform(i, j, k, g, 1) = cs.setting_entry_transform(i, j, k, e);
    cs.sg_first_generator(g, 2) = cs.setting_first_generator(e);
    ++entries;
  }
  EXPECT_EQ(entries, 7);
  std::mt19937 rng(167);
  for (int32_t g : {146, 148, 155, 160, 161, 166, 167}) {
    const OpSet s = table_group(g);
    std::vector<int> perm(s.ops.size());
    std::iota(perm.begin(), perm.end(), 0);
    for (const Mat3i& q : {kUnit, random_unimodular(rng, 6)}) {
      const Frac3 shift = random_shift(rng);
      SCOPED_TRACE(describe(g, q, shift));
      const OpSet given = transformed(s, q, shift, perm);
      const Result before = identify(given);
      Result after{-7, kSentinelP, kSentinelOrigin};
      id_spacegroup(cs, given.n(), given.ops, given.rot, after.sg, after.p, after.origin, 0);
      ASSERT_EQ(before.sg, g);
      expect_result(after, before);
    }
  }
}

// A one-atom orthorhombic structure in the unimodular cell (3,4,0), (5,7,0), (0,0,1): the basis
// change needs entries 7, -4, 5, -3, beyond every trial value, so the bounded search alone finds
// nothing (the caller would stop with "no space group"); the retry on a reduced basis finds Pmmm.
TEST(IdSpacegroup, SkewedCellIsIdentifiedThroughAReducedBasis) {
  SGL_REQUIRE_TABLES();
  const OpSet s =
      point_group_in_basis({1, 2, 3, 4, 25, 26, 27, 28}, rows({3, 5, 0}, {4, 7, 0}, {0, 0, 1}));
  expect_result(search_only(s, 2), expected(0, kSentinelP, kSentinelOrigin));
  const Result r = identify(s);
  expect_result(r, expected(47, rows({7, 0, 5}, {-4, 0, -3}, {0, 1, 0}), {0, 0, 0, 1}));
  EXPECT_EQ(check_setting(47, r.p, r.origin, s), "");
}

// Rotation entries in the tens of thousands (a cell spanned by consecutive Fibonacci vectors):
// the equations for P are reduced exactly without leaving the integer range, and every group is
// identified with a verified setting.
TEST(IdSpacegroup, VerySkewedCellsAreIdentified) {
  SGL_REQUIRE_TABLES();
  const Mat3i q = rows({89, 55, 0}, {144, 89, 0}, {0, 0, 1});
  const Mat3i q2 = times(q, rows({1, 0, 0}, {0, 34, 21}, {0, 55, 34}));
  const Frac3 shift{{1, 5, 7}, 12};
  for (int32_t g : {2, 15, 47, 94, 136, 160, 167, 191, 221, 230}) {
    for (const Mat3i& basis : {q, q2}) {
      SCOPED_TRACE(describe(g, basis, shift));
      const OpSet s = table_group(g);
      std::vector<int> perm(s.ops.size());
      std::iota(perm.begin(), perm.end(), 0);
      const OpSet given = transformed(s, basis, shift, perm);
      const Result r = identify(given);
      ASSERT_EQ(r.sg, g);
      EXPECT_EQ(check_setting(g, r.p, r.origin, given), "");
    }
  }
}

// With nothing constraining P (the identity alone, or with the inversion) every entry is free,
// and the first P of determinant +1 in the enumeration is not the unit matrix.
TEST(IdSpacegroup, UnconstrainedBasisIsTheFirstOfDeterminantOne) {
  SGL_REQUIRE_TABLES();
  const Mat3i first = rows({0, 0, -1}, {0, 1, 0}, {1, 0, 0});
  const OpSet identity = point_group_in_basis({1}, kUnit);
  expect_result(identify(identity), expected(1, first, {0, 0, 0, 1}));

  // x -> -x + (1/2, 0, 1/2): an inversion centre at (1/4, 0, 1/4) modulo half lattice vectors.
  OpSet inversion = point_group_in_basis({1, 25}, kUnit);
  inversion.ops[1] = SpaceOp{1, 0, 1, 2, 25};
  const Result r = identify(inversion);
  expect_result(r, expected(2, first, {-1, 0, 1, 4}));
  EXPECT_EQ(check_setting(2, r.p, r.origin, inversion), "");
}

// P2 in the basis with rows (1,0,0), (2,1,0), (1,0,1): P needs a free entry 2, so the first pass
// (0, 1, -1) finds nothing and the second pass finds the group, without the retry.
TEST(IdSpacegroup, TrialValueTwoIsFoundInTheSecondPass) {
  SGL_REQUIRE_TABLES();
  const OpSet p2 =
      transformed(table_group(3), rows({1, 0, 0}, {2, 1, 0}, {1, 0, 1}), Frac3{}, {0, 1});
  expect_result(search_only(p2, 1), expected(0, kSentinelP, kSentinelOrigin));
  const Result want = expected(3, rows({0, 0, 1}, {0, -1, 2}, {1, 0, 0}), {0, 0, 0, 1});
  expect_result(search_only(p2, 2), want);
  expect_result(identify(p2), want);
  EXPECT_EQ(check_setting(3, want.p, want.origin, p2), "");
}

// mode n tries group n only: P21 is found as itself, and neither as P2 or C2 (same point group)
// nor as P1 (another point group); a failure leaves P and the origin alone.
TEST(IdSpacegroup, ModeRestrictsTheSearchToOneGroup) {
  SGL_REQUIRE_TABLES();
  const OpSet p21 = table_group(4);
  const Result all = identify(p21, 0);
  ASSERT_EQ(all.sg, 4);
  expect_result(identify(p21, 4), all);
  for (int32_t mode : {3, 5, 1}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    expect_result(identify(p21, mode), expected(0, kSentinelP, kSentinelOrigin));
  }
}

// Operators with the key of mm2 that are not closed (2z times mz is the inversion, which is not
// among them): the product without an operator rejects every assignment, and nothing is found.
TEST(IdSpacegroup, OperatorsThatAreNotClosedMatchNothing) {
  SGL_REQUIRE_TABLES();
  const OpSet open_set = point_group_in_basis({1, 2, 26, 28}, kUnit);
  expect_result(identify(open_set), expected(0, kSentinelP, kSentinelOrigin));
}

// Input outside the contract and tables that cannot serve stop the run, with a message line
// where the fault is the caller's or the tables' shape, without one where the Part's own checks
// fail (a key of no point group, a reference rotation not integral in the primitive basis).
TEST(IdSpacegroup, StopsOnInputItCannotIdentify) {
  SGL_REQUIRE_TABLES();
  struct Case {
    const char* name;
    std::vector<int32_t> point_ops;
    int32_t nops;  // -1: the number of point operations
    int32_t mode;
    void (*doctor)(sgl::CommonSpace&);
    std::string message;
  };
  const std::vector<Case> cases = {
      {"key of no point group", {1, 5}, -1, 0, nullptr, ""},
      {"no operators", {1}, 0, 0, nullptr,
       " Error in id_spacegroup:  number of operators out of range: 0\n"},
      {"49 operators", {1}, 49, 0, nullptr,
       " Error in id_spacegroup:  number of operators out of range: 49\n"},
      {"list shorter than nops", {1}, 2, 0, nullptr,
       " Error in id_spacegroup:  operator list shorter than the number of operators\n"},
      {"point operation 73", {1, 73}, -1, 0, nullptr,
       " Error in id_spacegroup:  point operation out of range: 73\n"},
      {"point operation 0", {0}, -1, 0, nullptr,
       " Error in id_spacegroup:  point operation out of range: 0\n"},
      {"mode 231", {1}, -1, 231, nullptr, " Error in id_spacegroup:  mode out of range: 231\n"},
      {"mode -1", {1}, -1, -1, nullptr, " Error in id_spacegroup:  mode out of range: -1\n"},
      {"primitive rotation not integral", {1}, -1, 0,
       [](sgl::CommonSpace& cs) { cs.lattice_transform_den(1, 1) = 2; }, ""},
      {"six generators", {1}, -1, 0,
       [](sgl::CommonSpace& cs) { cs.pg_generator_count(1) = 6; },
       " Error in id_spacegroup:  space group 1 has more than 5 generators\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto tables = std::make_unique<sgl::CommonSpace>(space_tables());
    if (c.doctor != nullptr) c.doctor(*tables);
    OpSet s;
    for (int32_t k : c.point_ops) {
      s.ops.push_back(SpaceOp{0, 0, 0, 1, k});
      s.rot.push_back(kUnit);
    }
    const int32_t nops = c.nops < 0 ? s.n() : c.nops;
    int32_t sg = -7;
    Mat3i p = kSentinelP;
    RationalVector origin = kSentinelOrigin;
    BombTrap trap;
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(id_spacegroup(*tables, nops, s.ops, s.rot, sg, p, origin, c.mode), Bombed);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.message);
    EXPECT_EQ(sg, -7);
    EXPECT_EQ(p, kSentinelP);
    // Through a cache: the same stop, also when the same call is made again.
    IdentificationCache cache;
    for (int round = 0; round < 2; ++round) {
      ::testing::internal::CaptureStdout();
      EXPECT_THROW(id_spacegroup(*tables, nops, s.ops, s.rot, sg, p, origin, c.mode, cache), Bombed);
      EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.message);
      EXPECT_EQ(sg, -7);
      EXPECT_EQ(p, kSentinelP);
    }
  }
}

// The identification through a cache shared by many calls gives exactly the results of the
// search without one, every call asked twice (the second answered from the cache): every group
// in its own basis, under mode restrictions, and in seeded skewed bases with several shifted
// origins each (the same rotations with other translations, so stored assignments, lists of P,
// origin systems and whole calls are met again), and the special cases above (second pass, retry
// on a reduced basis, very skewed bases, operators that are not closed). A cache handed other
// tables starts afresh.
TEST(IdSpacegroup, CachedIdentificationGivesTheSameResults) {
  SGL_REQUIRE_TABLES();
  IdentificationCache cache;
  auto compare = [&](const sgl::CommonSpace& cs, const OpSet& s, int32_t mode) {
    Result plain{-7, kSentinelP, kSentinelOrigin};
    id_spacegroup(cs, s.n(), s.ops, s.rot, plain.sg, plain.p, plain.origin, mode);
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE("round " + std::to_string(round));
      Result cached{-7, kSentinelP, kSentinelOrigin};
      id_spacegroup(cs, s.n(), s.ops, s.rot, cached.sg, cached.p, cached.origin, mode, cache);
      expect_result(cached, plain);
    }
    return plain.sg;
  };
  std::mt19937 rng(2028);
  int found = 0;
  for (int32_t g = 1; g <= sgl::kSpaceGroupCount; ++g) {
    SCOPED_TRACE("group " + std::to_string(g));
    const OpSet s = table_group(g);
    found += compare(space_tables(), s, 0) == g;
    EXPECT_EQ(compare(space_tables(), s, g), g);
    EXPECT_EQ(compare(space_tables(), s, g == 1 ? 2 : g - 1), 0);
    const Mat3i q = random_unimodular(rng, 2 + g % 7);
    std::vector<int> perm(s.ops.size());
    std::iota(perm.begin(), perm.end(), 0);
    std::shuffle(perm.begin(), perm.end(), rng);
    for (int trial = 0; trial < 3; ++trial) {
      const Frac3 shift = random_shift(rng);
      SCOPED_TRACE(describe(g, q, shift));
      found += compare(space_tables(), transformed(s, q, shift, perm), 0) == g;
    }
  }
  EXPECT_EQ(found, 4 * sgl::kSpaceGroupCount);

  const OpSet p2 =
      transformed(table_group(3), rows({1, 0, 0}, {2, 1, 0}, {1, 0, 1}), Frac3{}, {0, 1});
  EXPECT_EQ(compare(space_tables(), p2, 0), 3);
  const OpSet skewed =
      point_group_in_basis({1, 2, 3, 4, 25, 26, 27, 28}, rows({3, 5, 0}, {4, 7, 0}, {0, 0, 1}));
  EXPECT_EQ(compare(space_tables(), skewed, 0), 47);
  const Mat3i fibonacci = rows({89, 55, 0}, {144, 89, 0}, {0, 0, 1});
  for (int32_t g : {15, 136, 191, 230}) {
    const OpSet s = table_group(g);
    std::vector<int> perm(s.ops.size());
    std::iota(perm.begin(), perm.end(), 0);
    EXPECT_EQ(compare(space_tables(), transformed(s, fibonacci, Frac3{{1, 5, 7}, 12}, perm), 0), g);
  }
  EXPECT_EQ(compare(space_tables(), point_group_in_basis({1, 2, 26, 28}, kUnit), 0), 0);

  // Other tables (here: the same content in another object) empty the cache first.
  auto other = std::make_unique<sgl::CommonSpace>(space_tables());
  for (int32_t g : {2, 62, 194, 227}) EXPECT_EQ(compare(*other, table_group(g), 0), g);
  for (int32_t g : {2, 62, 194, 227}) EXPECT_EQ(compare(space_tables(), table_group(g), 0), g);
}

}  // namespace
}  // namespace cellsieve
