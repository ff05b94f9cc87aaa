// Identification of the space-group type of a subgroup.
#include "library/groups/id_subgroup.hpp"

#include <array>
#include <cstddef>
#include <cstdlib>
#include <optional>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/exact/checked_int.hpp"
#include "library/exact/row_operations.hpp"
#include "library/exact/solve_eqs_mod_int.hpp"
#include "library/groups/nice_lattice2.hpp"
#include "library/groups/space_group.hpp"
#include "library/tables/common_space.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace sgl {

namespace {

constexpr const char* kRoutine = "id_subgroup";
constexpr int kMaxGenerators = 3;
constexpr int kLd = 50;  // leading dimension of the equation matrices
constexpr std::array<int32_t, 11> kTrialValues{0, 1, -1, 2, -2, 3, -3, 4, -4, 6, -6};
constexpr std::array<int, 4> kPassValues{3, 5, 7, 11};

Mat3i transform_matrix(const CommonSpace& cs, int m, int32_t bravais) {
  Mat3i t;
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) m3(t, i, j) = cs.lattice_transform(i, j, m, bravais);
  return t;
}

Mat3i point_op_rot(const CommonSpace& cs, int32_t p) {
  Mat3i r;
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) m3(r, i, j) = cs.point_op_rot(i, j, p);
  return r;
}

// The rotation of point operation p in the primitive basis of Bravais type l, over its
// denominator after reduction: M1 R M2 / e.
Mat3i primitive_rotation(const CommonSpace& cs, int32_t l, int32_t p, int32_t& den) {
  Mat3i r;
  matmlt(transform_matrix(cs, 1, l), point_op_rot(cs, p), r);
  matmlt(r, transform_matrix(cs, 2, l), r);
  den = cs.lattice_transform_den(1, l);
  reduc3(r, den);
  return r;
}

// The generators of a candidate group in its primitive setting, read once per call.
struct Candidate {
  int32_t count = 0;
  std::array<SpaceOp, kMaxGenerators> op{};
  std::array<Mat3i, kMaxGenerators> rotation{};
};

// A basis reduced with the metric of the Bravais type's conventional axes (unit metric, or the
// hexagonal one for hP and hR), by size reduction against single vectors and sums with pairs
// until nothing shortens; only columns plus integer multiples of others, so the determinant is
// kept. The retry after the greedy basis failed starts from it.
Mat3i reduced_basis(const CommonSpace& cs, int32_t l, const Mat3i& lattice) {
  const Mat3i m1 = transform_matrix(cs, 1, l);
  const Mat3i m2 = transform_matrix(cs, 2, l);
  const bool hexagonal = l == 10 || l == 11;
  using V = std::array<int64_t, 3>;
  auto dot = [&](const V& a, const V& b) {
    int64_t s = 0;
    if (hexagonal) {
      s = add64(s, mul64(2 * a[0] - a[1], b[0], kRoutine), kRoutine);
      s = add64(s, mul64(2 * a[1] - a[0], b[1], kRoutine), kRoutine);
      s = add64(s, mul64(2 * a[2], b[2], kRoutine), kRoutine);
    } else {
      for (int i = 0; i < 3; ++i) s = add64(s, mul64(a[i], b[i], kRoutine), kRoutine);
    }
    return s;
  };
  std::array<V, 3> k{};
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) {
      int64_t s = 0;
      for (int l2 = 0; l2 < 3; ++l2)
        s = add64(s, mul64(m3(m2, i + 1, l2 + 1), m3(lattice, l2 + 1, j + 1), kRoutine), kRoutine);
      k[j][i] = s;
    }
  auto combine = [&](const V& a, int64_t f, const V& b) {
    V v;
    for (int i = 0; i < 3; ++i) v[i] = add64(a[i], mul64(f, b[i], kRoutine), kRoutine);
    return v;
  };
  for (bool changed = true; changed;) {
    changed = false;
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        if (j == i) continue;
        const int64_t nj = dot(k[j], k[j]);
        const int64_t pij = dot(k[i], k[j]);
        // The nearest integer to -pij / nj.
        int64_t f = (2 * std::llabs(pij) + nj) / (2 * nj);
        if (pij > 0) f = -f;
        if (f == 0) continue;
        const V v = combine(k[i], f, k[j]);
        if (dot(v, v) < dot(k[i], k[i])) {
          k[i] = v;
          changed = true;
        }
      }
      const int j = (i + 1) % 3;
      const int m = (i + 2) % 3;
      for (int64_t sj : {int64_t{1}, int64_t{-1}})
        for (int64_t sm : {int64_t{1}, int64_t{-1}}) {
          const V v = combine(combine(k[i], sj, k[j]), sm, k[m]);
          if (dot(v, v) < dot(k[i], k[i])) {
            k[i] = v;
            changed = true;
          }
        }
    }
  }
  Mat3i out;
  int32_t den = cs.lattice_transform_den(1, l);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) {
      int64_t s = 0;
      for (int l2 = 0; l2 < 3; ++l2)
        s = add64(s, mul64(m3(m1, i + 1, l2 + 1), k[j][l2], kRoutine), kRoutine);
      m3(out, i + 1, j + 1) = narrow32(s, kRoutine);
    }
  reduc3(out, den);
  if (den != 1) bomb();
  return out;
}

// One identification run on a working basis: the given operators referred to it, and the
// search over candidates, assignments and trials.
class Search {
 public:
  Search(const CommonSpace& cs, int32_t group, const Mat3i& bn, int32_t op_count,
         std::span<const SpaceOp> ops, int32_t mode, std::array<std::optional<Candidate>, 231>& cache)
      : cs_(cs), bn_(bn), op_count_(op_count), ops_(ops), mode_(mode), cache_(cache) {
    const int32_t l = cs.sg_bravais(group);
    Mat3i bninv;
    int32_t d = 0;
    matinv(bn, bninv, d);
    op_of_point_.fill(0);
    int64_t key = 0;
    for (int32_t k = 0; k < op_count; ++k) {
      const SpaceOp& op = ops[static_cast<std::size_t>(k)];
      const int32_t p = op[4];
      if (p < 1 || p > kPointOpCount) bomb();
      int32_t den = 0;
      Mat3i r = primitive_rotation(cs, l, p, den);
      matmlt(bninv, r, r);
      matmlt(r, bn, r);
      den = narrow32(mul64(den, d, kRoutine), kRoutine);
      reduc3(r, den);
      if (den != 1) bomb();  // the operation does not keep the lattice
      rotation_[static_cast<std::size_t>(k)] = r;
      RationalVector t{op[0], op[1], op[2], 0};
      vmlt(bninv, t.data(), t.data());
      t[3] = narrow32(mul64(op[3], d, kRoutine), kRoutine);
      reduc2(t);
      reduc1(t);
      translation_[static_cast<std::size_t>(k)] = t;
      point_[static_cast<std::size_t>(k)] = p;
      op_of_point_[static_cast<std::size_t>(p)] = k + 1;
      key += cs.point_op_key(p);
    }
    for (int32_t pg = 1; pg <= kPointGroupCount && point_group_ == 0; ++pg)
      if (cs.point_group_key(pg) == key) point_group_ = pg;
    if (point_group_ == 0) bomb();
  }

  // One pass over the candidate range with the first nval trial values; true when found.
  bool pass(int32_t first, int32_t last, int nval, int32_t& restriction, int32_t& subgroup,
            Mat3i& basis, RationalVector& origin) {
    for (int32_t s = first; s <= last; ++s) {
      if (cs_.sg_point_group(s) != point_group_) continue;
      if (restriction != 0 && restriction != cs_.sg_bravais(s)) continue;
      if (try_candidate(s, nval, restriction, basis, origin)) {
        subgroup = s;
        return true;
      }
    }
    return false;
  }

 private:
  const Candidate& candidate(int32_t s) {
    std::optional<Candidate>& slot = cache_[static_cast<std::size_t>(s)];
    if (!slot) {
      Candidate c;
      c.count = cs_.pg_generator_count(cs_.sg_point_group(s));
      if (c.count > kMaxGenerators || c.count < 0) bomb();
      get_generators(cs_, s, std::span<SpaceOp>(c.op.data(), static_cast<std::size_t>(c.count)),
                     "pml");
      const int32_t ls = cs_.sg_bravais(s);
      for (int g = 0; g < c.count; ++g) {
        int32_t den = 0;
        c.rotation[static_cast<std::size_t>(g)] = primitive_rotation(cs_, ls, c.op[static_cast<std::size_t>(g)][4], den);
        if (den != 1) bomb();
        RationalVector t{c.op[g][0], c.op[g][1], c.op[g][2], c.op[g][3]};
        reduc2(t);
        reduc1(t);
        for (int i = 0; i < 4; ++i) c.op[g][i] = t[i];
      }
      slot = c;
    }
    return *slot;
  }

  bool try_candidate(int32_t s, int nval, int32_t& restriction, Mat3i& basis,
                     RationalVector& origin) {
    const Candidate& c = candidate(s);
    const int ng = c.count;
    std::array<std::vector<int32_t>, kMaxGenerators> choices;
    int64_t assignments = 1;
    for (int g = 0; g < ng; ++g) {
      const int32_t key = cs_.point_op_key(c.op[static_cast<std::size_t>(g)][4]);
      for (int32_t k = 0; k < op_count_; ++k)
        if (cs_.point_op_key(point_[static_cast<std::size_t>(k)]) == key) choices[g].push_back(k);
      assignments *= static_cast<int64_t>(choices[g].size());
    }
    for (int64_t a = 0; a < assignments; ++a) {
      std::array<int32_t, kMaxGenerators> assigned{};
      int64_t r = a;
      bool distinct = true;
      for (int g = 0; g < ng; ++g) {
        const int64_t n = static_cast<int64_t>(choices[g].size());
        assigned[g] = choices[g][static_cast<std::size_t>(r % n)];
        r /= n;
        for (int h = 0; h < g; ++h)
          if (assigned[h] == assigned[g]) distinct = false;
      }
      if (!distinct) continue;
      if (!closes(c, assigned)) continue;
      if (try_assignment(s, c, assigned, nval, restriction, basis, origin)) return true;
    }
    return false;
  }

  // Grows the correspondence of the candidate's point operations with the given operators from
  // the generators by products; true when it is one-to-one, product-compatible and complete.
  bool closes(const Candidate& c, const std::array<int32_t, kMaxGenerators>& assigned) const {
    const int ng = c.count;
    std::array<int32_t, kPointOpCount + 1> entry_of_point{};  // candidate point op -> entry + 1
    std::array<int32_t, kMaxGroupOps> entry_of_op{};           // given operator -> entry + 1
    std::vector<std::pair<int32_t, int32_t>> corr;             // (candidate point op, operator)
    for (int g = 0; g < ng; ++g) {
      const int32_t h = c.op[static_cast<std::size_t>(g)][4];
      corr.emplace_back(h, assigned[g]);
      entry_of_point[static_cast<std::size_t>(h)] = static_cast<int32_t>(corr.size());
      entry_of_op[static_cast<std::size_t>(assigned[g])] = static_cast<int32_t>(corr.size());
    }
    if (ng != 0 && ng < op_count_) {
      std::size_t fresh = 0;  // entries from this index on were added in the previous sweep
      bool appended = true;
      while (appended && static_cast<int32_t>(corr.size()) < op_count_) {
        appended = false;
        const std::size_t n = corr.size();
        for (std::size_t i = 0; i < n; ++i) {
          for (std::size_t j = 0; j < n; ++j) {
            if (i < fresh && j < fresh) continue;
            const int32_t h = cs_.point_op_product(corr[j].first, corr[i].first);
            const int32_t pq = cs_.point_op_product(point_[static_cast<std::size_t>(corr[j].second)],
                                                    point_[static_cast<std::size_t>(corr[i].second)]);
            // A product outside the given operators: they are not closed, so no correspondence.
            if (h < 1 || pq < 1) return false;
            const int32_t q1 = op_of_point_[static_cast<std::size_t>(pq)];
            if (q1 == 0) return false;
            const int32_t q = q1 - 1;
            const int32_t e = entry_of_point[static_cast<std::size_t>(h)];
            if (e == 0) {
              if (entry_of_op[static_cast<std::size_t>(q)] != 0) return false;
              corr.emplace_back(h, q);
              entry_of_point[static_cast<std::size_t>(h)] = static_cast<int32_t>(corr.size());
              entry_of_op[static_cast<std::size_t>(q)] = static_cast<int32_t>(corr.size());
              appended = true;
            } else if (corr[static_cast<std::size_t>(e - 1)].second != q) {
              return false;
            }
          }
        }
        fresh = n;
      }
    }
    return static_cast<int32_t>(corr.size()) == op_count_;
  }

  bool try_assignment(int32_t s, const Candidate& c,
                      const std::array<int32_t, kMaxGenerators>& assigned, int nval,
                      int32_t& restriction, Mat3i& basis, RationalVector& origin) {
    const int ng = c.count;
    const int nrow = 9 * ng;
    std::array<int32_t, kLd * 9> eq{};
    std::array<int, 9> pivot_col{};  // per row: its pivot column (1-based), 0 for none
    std::vector<int> free_cols;
    if (mode_ >= 0) {
      auto e = [&](int row, int col) -> int32_t& {
        return eq[static_cast<std::size_t>((col - 1) * kLd + (row - 1))];
      };
      for (int g = 0; g < ng; ++g) {
        const Mat3i& rg = c.rotation[static_cast<std::size_t>(g)];
        const Mat3i& rk = rotation_[static_cast<std::size_t>(assigned[g])];
        for (int a = 1; a <= 3; ++a)
          for (int m = 1; m <= 3; ++m) {
            const int row = 9 * g + 3 * (a - 1) + m;
            for (int b = 1; b <= 3; ++b) {
              e(row, 3 * (a - 1) + b) += m3(rg, b, m);
              e(row, 3 * (b - 1) + m) -= m3(rk, a, b);
            }
          }
      }
      rowop(eq, nrow, 9);
      std::array<bool, 10> is_pivot{};
      for (int row = 1; row <= std::min(nrow, 9); ++row) {
        for (int col = row; col <= 9; ++col)
          if (e(row, col) != 0) {
            pivot_col[static_cast<std::size_t>(row - 1)] = col;
            is_pivot[static_cast<std::size_t>(col)] = true;
            break;
          }
      }
      for (int col = 1; col <= 9; ++col)
        if (!is_pivot[static_cast<std::size_t>(col)]) free_cols.push_back(col);
    }
    int64_t trials = 1;
    if (mode_ >= 0)
      for (std::size_t i = 0; i < free_cols.size(); ++i) trials *= nval;

    for (int64_t t = 0; t < trials; ++t) {
      Mat3i p{};
      if (mode_ >= 0) {
        std::array<int64_t, 10> u{};
        int64_t r = t;
        for (int col : free_cols) {
          u[static_cast<std::size_t>(col)] = kTrialValues[static_cast<std::size_t>(r % nval)];
          r /= nval;
        }
        bool ok = true;
        for (int row = 1; row <= std::min(nrow, 9) && ok; ++row) {
          const int pc = pivot_col[static_cast<std::size_t>(row - 1)];
          if (pc == 0) continue;
          int64_t sum = 0;
          for (int col = pc + 1; col <= 9; ++col)
            sum += static_cast<int64_t>(eq[static_cast<std::size_t>((col - 1) * kLd + row - 1)]) *
                   u[static_cast<std::size_t>(col)];
          const int64_t piv = eq[static_cast<std::size_t>((pc - 1) * kLd + row - 1)];
          if (sum % piv != 0) ok = false;
          else u[static_cast<std::size_t>(pc)] = -sum / piv;
        }
        if (!ok) continue;
        for (int x = 1; x <= 3; ++x)
          for (int y = 1; y <= 3; ++y)
            m3(p, x, y) = narrow32(u[static_cast<std::size_t>(3 * (x - 1) + y)], kRoutine);
        if (ndet(p) != 1) continue;
      } else {
        p = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        for (int g = 0; g < ng; ++g)
          if (c.rotation[static_cast<std::size_t>(g)] != rotation_[static_cast<std::size_t>(assigned[g])])
            return false;
      }
      restriction = cs_.sg_bravais(s);
      Mat3i pinv;
      int32_t pden = 0;
      matinv(p, pinv, pden);
      if (pden != 1) bomb();
      // The origin: (1 - R_g) x = w_g modulo integers for every generator g.
      std::array<RationalVector, kMaxGenerators> w{};
      int64_t dd = 1;
      for (int g = 0; g < ng; ++g) {
        const RationalVector& tk = translation_[static_cast<std::size_t>(assigned[g])];
        RationalVector v = tk;
        vmlt(pinv, v.data(), v.data());
        const SpaceOp& gop = c.op[static_cast<std::size_t>(g)];
        vsub(v, {gop[0], gop[1], gop[2], gop[3]}, v);
        reduc1(v);
        w[static_cast<std::size_t>(g)] = v;
        dd = mul64(dd, v[3], kRoutine);
      }
      const int32_t d32 = narrow32(dd, kRoutine);
      std::array<int32_t, kLd * 3> a{};
      std::array<int32_t, kLd> b{};
      for (int g = 0; g < ng; ++g) {
        const Mat3i& rg = c.rotation[static_cast<std::size_t>(g)];
        for (int i = 1; i <= 3; ++i) {
          const int row = 3 * g + i;
          for (int j = 1; j <= 3; ++j)
            a[static_cast<std::size_t>((j - 1) * kLd + row - 1)] = (i == j ? 1 : 0) - m3(rg, i, j);
          const RationalVector& v = w[static_cast<std::size_t>(g)];
          b[static_cast<std::size_t>(row - 1)] =
              narrow32(mul64(v[static_cast<std::size_t>(i - 1)], d32 / v[3], kRoutine), kRoutine);
        }
      }
      int32_t nsol = 0, den = 1, nnull = 0;
      std::array<int32_t, 3> x{};
      std::array<int32_t, 9> null{};
      solve_eqs_mod_int(1, 3 * ng, 3, a, kLd, b, d32, nsol, x, 3, 1, den, nnull, null, 3);
      if (nsol == 0) continue;
      matmlt(bn_, p, basis);
      origin = {x[0], x[1], x[2], den};
      vmlt(basis, origin.data(), origin.data());
      reduc2(origin);
      return true;
    }
    return false;
  }

  const CommonSpace& cs_;
  Mat3i bn_;
  int32_t op_count_;
  std::span<const SpaceOp> ops_;
  int32_t mode_;
  std::array<std::optional<Candidate>, 231>& cache_;
  std::array<Mat3i, kMaxGroupOps> rotation_{};
  std::array<RationalVector, kMaxGroupOps> translation_{};
  std::array<int32_t, kMaxGroupOps> point_{};
  std::array<int32_t, kPointOpCount + 1> op_of_point_{};
  int32_t point_group_ = 0;
};

}  // namespace

void id_subgroup(const CommonSpace& cs, int32_t group, const Mat3i& lattice, int32_t op_count,
                 std::span<const SpaceOp> ops, int32_t& subgroup, Mat3i& basis,
                 RationalVector& origin, int32_t mode, IdSubgroupTrace* trace) {
  check_space_group_number(group, kRoutine);
  if (op_count < 1 || op_count > kMaxGroupOps || ops.size() < static_cast<std::size_t>(op_count))
    bomb();
  if (mode != 0) check_space_group_number(std::abs(mode), kRoutine);
  const int32_t l = cs.sg_bravais(group);
  const int32_t first = mode == 0 ? 1 : std::abs(mode);
  const int32_t last = mode == 0 ? kSpaceGroupCount : std::abs(mode);

  std::array<std::optional<Candidate>, 231> cache;
  int32_t restriction = 0;
  Mat3i bn = lattice;
  if (mode >= 0) nice_lattice2(cs, l, lattice, bn);

  // The passes on the greedy basis decide the result; the retry on a reduced basis of the same
  // lattice runs only when they all fail (a change of basis with larger entries is otherwise
  // never found).
  std::vector<Mat3i> bases{bn};
  if (mode >= 0) {
    const Mat3i br = reduced_basis(cs, l, lattice);
    if (br != bn) bases.push_back(br);
  }
  for (std::size_t attempt = 0; attempt < bases.size(); ++attempt) {
    Search search(cs, group, bases[attempt], op_count, ops, mode, cache);
    for (int pass = 0; pass < 4; ++pass) {
      if (search.pass(first, last, kPassValues[static_cast<std::size_t>(pass)], restriction,
                      subgroup, basis, origin)) {
        if (trace != nullptr) {
          trace->pass = pass + 1;
          trace->retried = attempt > 0;
        }
        return;
      }
    }
  }
  write_free(6, {kSpaceGroupNotFound});
  bomb();
}

}  // namespace sgl
