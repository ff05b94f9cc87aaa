// The mapping search and path acceptance against an independent brute-force enumerator on
// hundreds of seeded common cells. The enumerator shares only the fixture structs: it walks the
// (partner, cell) sequences in lexicographic order under the type, bijection, pin and map
// filters, judges the mappings by whole-path predicates (every crystal-1 bond stays a bond, every
// pair stays at least the largest of the global and both type limits apart, every half range of
// the displacements within its limits, every bond slot within its change), cutting a prefix only
// once a predicate among its atoms fails, and accepts paths with its own symmetry code.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "duopath/mapping_search.hpp"
#include "duopath/path_acceptance.hpp"
#include "tests/duopath/mapping_fixture.hpp"

namespace {

using duopath::AtomMapping;
using duopath::CellShift;
using duopath::MappingSearch;
using duopath::PathAcceptance;
using duopath::Vec3;
using duopath::testing::cart;
using duopath::testing::Fixture;
using duopath::testing::norm;
using duopath::testing::random_fixture;

struct Frac {
  int64_t n = 0;
  int64_t d = 1;
};

Frac make(int64_t n, int64_t d) {
  if (d < 0) n = -n, d = -d;
  const int64_t g = std::gcd(n < 0 ? -n : n, d);
  return {n / g, d / g};
}
Frac add(Frac a, Frac b) { return make(a.n * b.d + b.n * a.d, a.d * b.d); }

struct Op {
  int32_t point = 0;
  std::array<Frac, 3> t;
};

struct Complete {
  std::vector<int32_t> partner, cell;  // 1-based
  std::vector<double> closest, change;
};

struct Path {
  bool accepted = false;
  int32_t bonds = 0, broken = 0;
  double max_shuffle = 0.0, nearest = 0.0, max_change = 0.0;
  std::vector<Op> ops1, ops2;
  std::string ops;  // the search's operators as text
};

class Oracle {
 public:
  explicit Oracle(const Fixture& f) : f_(f), in_(f.in), n_(f.in.atom_count) {
    for (int idx = 0; idx < 27; ++idx) {
      CellShift s{idx / 9 - 1, idx / 3 % 3 - 1, idx % 3 - 1};
      if (in_.dim2 && s[2] != 0) continue;
      if (s == CellShift{0, 0, 0}) home_ = static_cast<int32_t>(cells_.size());
      cells_.push_back(s);
    }
  }

  // False when more than `budget` prefixes were visited.
  bool enumerate(int64_t budget) {
    budget_ = budget;
    complete.clear();
    p_.assign(n_, -1);
    l_.assign(n_, -1);
    taken_.assign(n_, false);
    return n_ == 0 || walk(0);
  }

  Path judge(const Complete& mp) {
    Path out;
    const auto& x1 = in_.positions1;
    std::vector<Vec3> end(n_), d(n_);
    Vec3 mean{};
    for (int i = 0; i < n_; ++i) {
      for (int q = 0; q < 3; ++q) {
        end[i][q] = in_.positions2[mp.partner[i] - 1][q] + cells_[mp.cell[i] - 1][q];
        mean[q] += end[i][q] - x1[i][q];
      }
    }
    for (int q = 0; q < 3; ++q) mean[q] /= n_;
    for (int i = 0; i < n_; ++i) {
      for (int q = 0; q < 3; ++q) {
        end[i][q] -= mean[q];
        d[i][q] = end[i][q] - x1[i][q];
      }
    }
    for (int i = 0; i < n_; ++i) {
      for (const auto* c : {&in_.cartesian_cell1, &in_.cartesian_cell2}) {
        const double s = norm(cart(*c, d[i]));
        out.max_shuffle = std::max(out.max_shuffle, s);
        const double tl = in_.type_max_shuffle.empty() ? 1e9 : in_.type_max_shuffle[in_.types1[i] - 1];
        if (in_.shuffle_given && (s > in_.max_shuffle || s > tl)) return out;
      }
    }
    out.nearest = *std::min_element(mp.closest.begin(), mp.closest.end());
    if (in_.bond_neighbor_total > 0) out.max_change = *std::max_element(mp.change.begin(), mp.change.end());
    const double f1 = 1.0099999904632568 * f_.path.nearest_distance1;
    const double f2 = 1.0099999904632568 * f_.path.nearest_distance2;
    for (int i = 0; i < n_; ++i) {
      for (int j = i; j < n_; ++j) {
        for (size_t m = 0; m < cells_.size(); ++m) {
          if (i == j && static_cast<int32_t>(m) == home_) continue;
          const CellShift& s = cells_[m];
          Vec3 a{x1[j][0] + s[0] - x1[i][0], x1[j][1] + s[1] - x1[i][1], x1[j][2] + s[2] - x1[i][2]};
          if (!(norm(cart(in_.cartesian_cell1, a)) < f1)) continue;
          ++out.bonds;
          Vec3 b{end[j][0] + s[0] - end[i][0], end[j][1] + s[1] - end[i][1], end[j][2] + s[2] - end[i][2]};
          if (norm(cart(in_.cartesian_cell2, b)) > f2) ++out.broken;
        }
      }
    }

    const auto& pa = f_.path;
    for (size_t k = 0; k < pa.common_ops1.size(); ++k) {
      const auto& r = pa.common_rotations[k];
      auto rot = [&](const Vec3& v) {
        Vec3 y{};
        for (int i = 0; i < 3; ++i) y[i] = r[i] * v[0] + r[3 + i] * v[1] + r[6 + i] * v[2];
        return y;
      };
      for (size_t tau = 0; tau < pa.internal_translations.size(); ++tau) {
        const auto& it = pa.internal_translations[tau];
        const auto& o1 = pa.common_ops1[k];
        std::array<Frac, 3> t;
        Vec3 td;
        for (int q = 0; q < 3; ++q) {
          t[q] = add(make(o1[q], o1[3]), make(it[q], it[3]));
          td[q] = static_cast<double>(t[q].n) / static_cast<double>(t[q].d);
        }
        bool symmetric = true;
        std::vector<Vec3> moved(n_);
        for (int i = 0; i < n_; ++i) {
          const Vec3 rs = rot(x1[i]);
          int image = -1;
          Vec3 shift{};
          for (int i2 = 0; i2 < n_ && image < 0; ++i2) {
            bool ok = true;
            for (int q = 0; q < 3; ++q) {
              const double e = td[q] + rs[q] - x1[i2][q];
              shift[q] = std::round(e);
              ok = ok && std::fabs(e - shift[q]) <= 1e-6;
            }
            if (ok) image = i2;
          }
          EXPECT_GE(image, 0) << "fixture not closed under its operations";
          if (image < 0) return out;
          const Vec3 re = rot(end[i]);
          for (int q = 0; q < 3; ++q) {
            if (std::fabs(td[q] - shift[q] + re[q] - end[image][q]) > 1e-6) symmetric = false;
          }
          moved[image] = rot(d[i]);
        }
        if (!symmetric) {
          for (const auto& s : saved_) {
            bool same = true;
            for (int i = 0; i < n_; ++i) {
              for (int q = 0; q < 3; ++q) same = same && std::fabs(moved[i][q] - s[i][q]) <= 1e-6;
            }
            if (same) return out;
          }
          continue;
        }
        const Vec3 rm = rot(mean);
        std::array<Frac, 3> t2;
        for (int q = 0; q < 3; ++q) {
          const double u = mean[q] - rm[q];
          int64_t den = 1;
          while (den <= 100 && std::fabs(den * u - std::round(den * u)) > 1e-6) ++den;
          EXPECT_LE(den, 100);
          t2[q] = add(t[q], make(static_cast<int64_t>(std::round(den * u)), den));
        }
        auto in_basis = [](const duopath::testing::Fixture&, const sgl::Mat3i& c,
                           const std::array<Frac, 3>& v) {
          std::array<Frac, 3> w;
          for (int i = 0; i < 3; ++i) {
            Frac s{0, 1};
            for (int j = 0; j < 3; ++j) s = add(s, make(c[j * 3 + i] * v[j].n, v[j].d));
            w[i] = s;
          }
          return w;
        };
        const auto p2 = in_basis(f_, pa.cell2, t2);
        const int32_t point2 = pa.common_ops2[k][4];
        const sgl::SpaceOp* op = nullptr;
        for (const auto& o : pa.operators2) {
          if (o[4] == point2) {
            op = &o;
            break;
          }
        }
        EXPECT_NE(op, nullptr);
        if (op == nullptr) return out;
        bool in_crystal2 = true;
        for (int q = 0; q < 3; ++q) {
          const Frac diff = add(make((*op)[q], (*op)[3]), make(-p2[q].n, p2[q].d));
          in_crystal2 = in_crystal2 && diff.d == 1;
        }
        if (!in_crystal2) continue;
        if (k == 0 && (it[0] != 0 || it[1] != 0 || it[2] != 0)) return out;
        out.ops1.push_back({o1[4], in_basis(f_, pa.cell1, t)});
        out.ops2.push_back({point2, p2});
      }
    }
    out.accepted = true;
    saved_.push_back(d);
    return out;
  }

  std::vector<Complete> complete;

 private:
  Vec3 end_of(int a) const {
    const Vec3& x = in_.positions2[p_[a]];
    const CellShift& s = cells_[l_[a]];
    return {x[0] + s[0], x[1] + s[1], x[2] + s[2]};
  }

  double approach(int a, int c, int m) const {
    const CellShift& s = cells_[m];
    const Vec3& xa = in_.positions1[a];
    const Vec3& xc = in_.positions1[c];
    const Vec3 ea = end_of(a), ec = end_of(c);
    const Vec3 r0 = cart(in_.cartesian_cell1, {xa[0] + s[0] - xc[0], xa[1] + s[1] - xc[1], xa[2] + s[2] - xc[2]});
    const Vec3 e = cart(in_.cartesian_cell2, {ea[0] + s[0] - ec[0], ea[1] + s[1] - ec[1], ea[2] + s[2] - ec[2]});
    const Vec3 w{e[0] - r0[0], e[1] - r0[1], e[2] - r0[2]};
    const double ww = w[0] * w[0] + w[1] * w[1] + w[2] * w[2];
    double t = 0.0;
    if (std::fabs(ww) > 1e-6) t = std::clamp(-(w[0] * r0[0] + w[1] * r0[1] + w[2] * r0[2]) / ww, 0.0, 1.0);
    return norm({r0[0] + t * w[0], r0[1] + t * w[1], r0[2] + t * w[2]});
  }

  double type_limit(const std::vector<double>& v, int atom) const {
    return v.empty() ? 0.0 : v[in_.types1[atom] - 1];
  }

  // Change of bond slot s of atom a at the end of the path.
  double slot_change(int a, int s) const {
    const size_t k = static_cast<size_t>(a) * in_.bond_neighbor_total + s;
    const int b = in_.neighbor_atom[k] - 1;
    const CellShift& off = in_.neighbor_offset[k];
    const Vec3 ea = end_of(a), eb = end_of(b);
    const Vec3 v{eb[0] + off[0] - ea[0], eb[1] + off[1] - ea[1], eb[2] + off[2] - ea[2]};
    return std::fabs(norm(cart(in_.cartesian_cell2, v)) - in_.neighbor_distance[k]);
  }

  // The predicates between atom c and the atoms before it, and the ranges of the prefix.
  bool prefix_holds(int c) const {
    for (int a = 0; a <= c; ++a) {
      const double limit = std::max({in_.min_distance, type_limit(in_.type_min_distance, a),
                                     type_limit(in_.type_min_distance, c)});
      for (int m = 0; m < static_cast<int>(cells_.size()); ++m) {
        if (a == c && m == home_) continue;
        const CellShift& s = cells_[m];
        if (in_.bonds_given) {
          const Vec3& xa = in_.positions1[a];
          const Vec3& xc = in_.positions1[c];
          const Vec3 ea = end_of(a), ec = end_of(c);
          if (norm(cart(in_.cartesian_cell1, {xa[0] + s[0] - xc[0], xa[1] + s[1] - xc[1], xa[2] + s[2] - xc[2]})) <=
                  in_.bond_length &&
              norm(cart(in_.cartesian_cell2, {ea[0] + s[0] - ec[0], ea[1] + s[1] - ec[1], ea[2] + s[2] - ec[2]})) >
                  in_.bond_length) {
            return false;
          }
        }
        if (approach(a, c, m) < limit) return false;
      }
    }
    if (in_.shuffle_given) {
      for (const auto* cell : {&in_.cartesian_cell1, &in_.cartesian_cell2}) {
        std::vector<Vec3> disp;
        for (int a = 0; a <= c; ++a) {
          const Vec3 e = end_of(a);
          const Vec3& x = in_.positions1[a];
          disp.push_back(cart(*cell, {e[0] - x[0], e[1] - x[1], e[2] - x[2]}));
        }
        for (int q = 0; q < 3; ++q) {
          for (int type = 0; type <= in_.type_count; ++type) {  // 0: all atoms
            double hi = -1e300, lo = 1e300;
            for (int a = 0; a <= c; ++a) {
              if (type != 0 && in_.types1[a] != type) continue;
              hi = std::max(hi, disp[a][q]);
              lo = std::min(lo, disp[a][q]);
            }
            if (hi < lo) continue;
            const double limit = type == 0 ? in_.max_shuffle
                                 : in_.type_max_shuffle.empty() ? 1e9
                                                                : in_.type_max_shuffle[type - 1];
            if ((hi - lo) / 2 > limit) return false;
          }
        }
      }
    }
    for (int a = 0; a <= c; ++a) {
      for (int s = 0; s < in_.bond_neighbor_total; ++s) {
        const int b = in_.neighbor_atom[static_cast<size_t>(a) * in_.bond_neighbor_total + s] - 1;
        if (b < 0 || std::max(a, b) != c) continue;
        if (slot_change(a, s) > in_.slot_max_change[s]) return false;
      }
    }
    return true;
  }

  bool walk(int c) {
    for (int j = 0; j < n_; ++j) {
      if (in_.map_given && in_.atom_map[c][0] != 0 && in_.atom_map[c][0] != j + 1) continue;
      if (in_.types2[j] != in_.types1[c] || taken_[j]) continue;
      for (int l = 0; l < static_cast<int>(cells_.size()); ++l) {
        if (in_.map_given && in_.atom_map[c][1] != 0 && in_.atom_map[c][1] != l + 1) continue;
        if (!in_.map_given && c == 0 && (l != home_ || j % in_.cell2_size != 0)) continue;
        if (--budget_ < 0) return false;
        p_[c] = j;
        l_[c] = l;
        if (!prefix_holds(c)) continue;
        if (c + 1 == n_) {
          record();
          continue;
        }
        taken_[j] = true;
        const bool ok = walk(c + 1);
        taken_[j] = false;
        if (!ok) return false;
      }
    }
    return true;
  }

  void record() {
    Complete r;
    for (int c = 0; c < n_; ++c) {
      r.partner.push_back(p_[c] + 1);
      r.cell.push_back(l_[c] + 1);
      double closest = 1e6;
      for (int a = 0; a <= c; ++a) {
        for (int m = 0; m < static_cast<int>(cells_.size()); ++m) {
          if (!(a == c && m == home_)) closest = std::min(closest, approach(a, c, m));
        }
      }
      r.closest.push_back(closest);
      double change = 0.0;
      for (int a = 0; a <= c; ++a) {
        for (int s = 0; s < in_.bond_neighbor_total; ++s) {
          const int b = in_.neighbor_atom[static_cast<size_t>(a) * in_.bond_neighbor_total + s] - 1;
          if (b >= 0 && std::max(a, b) == c) change = std::max(change, slot_change(a, s));
        }
      }
      r.change.push_back(change);
    }
    complete.push_back(std::move(r));
  }

  const Fixture& f_;
  const duopath::MappingInput& in_;
  int n_;
  std::vector<CellShift> cells_;
  int32_t home_ = 0;
  std::vector<int> p_, l_;
  std::vector<bool> taken_;
  int64_t budget_ = 0;
  std::vector<std::vector<Vec3>> saved_;
};

bool close(double a, double b) { return std::fabs(a - b) <= 1e-9 * (1.0 + std::fabs(a)); }

std::string op_text(const sgl::SpaceOp& op) {
  return std::to_string(op[4]) + ":" + std::to_string(op[0]) + "," + std::to_string(op[1]) + "," +
         std::to_string(op[2]) + "/" + std::to_string(op[3]);
}
std::string op_text(const Op& op) {
  // Translations over one common denominator, as the search stores them.
  int64_t den = 1;
  for (const Frac& f : op.t) den = std::lcm(den, f.d);
  int64_t num[3];
  for (int q = 0; q < 3; ++q) num[q] = op.t[q].n * (den / op.t[q].d);
  return std::to_string(op.point) + ":" + std::to_string(num[0]) + "," + std::to_string(num[1]) +
         "," + std::to_string(num[2]) + "/" + std::to_string(den);
}

TEST(MappingOracle, SearchAndAcceptanceAgreeWithBruteForceOnSeededCells) {
  constexpr uint32_t kFixtures = 400;
  int64_t mappings = 0, accepted_total = 0, equivalent_total = 0, symmetric_paths = 0;
  int64_t fixtures_with_paths = 0, fixtures_cut = 0;
  for (uint32_t seed = 1; seed <= kFixtures; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Fixture f = random_fixture(seed);
    std::vector<Path> expected;
    int32_t expected_accepted = 0;
    for (int attempt = 0;; ++attempt) {
      Oracle oracle(f);
      const bool finished = oracle.enumerate(25000);
      expected.clear();
      expected_accepted = 0;
      if (finished && oracle.complete.size() <= 1000) {
        for (const Complete& c : oracle.complete) {
          expected.push_back(oracle.judge(c));
          expected_accepted += expected.back().accepted;
        }
        if (expected_accepted < 999) {
          // The search must produce exactly the enumerator's complete mappings.
          std::vector<Complete> got;
          std::vector<Path> judged;
          MappingSearch search(f.in);
          PathAcceptance acceptance(f.in, f.path);
          acceptance.start_pair();
          int32_t number = 0;
          search.run([&](const AtomMapping& m) {
            got.push_back({m.partner, m.partner_cell, m.closest_approach, m.atom_bond_change});
            Path p;
            p.accepted = acceptance.accept(m, number);
            const auto& v = acceptance.values;
            if (p.accepted) {
              p.bonds = v.bond_count;
              p.broken = v.broken_bond_count;
              p.max_shuffle = v.max_atomic_shuffle;
              p.nearest = v.nearest_approach;
              p.max_change = v.max_bond_change;
              EXPECT_EQ(v.path_symmetry_count, static_cast<int32_t>(v.path_symmetry_ops1.size()));
              for (int32_t s = 0; s < v.path_symmetry_count; ++s) {
                p.ops += op_text(v.path_symmetry_ops1[s]) + " | " + op_text(v.path_symmetry_ops2[s]) + "; ";
              }
            }
            judged.push_back(p);
          });
          ASSERT_EQ(got.size(), oracle.complete.size());
          for (size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE("mapping " + std::to_string(i));
            ASSERT_EQ(got[i].partner, oracle.complete[i].partner);
            ASSERT_EQ(got[i].cell, oracle.complete[i].cell);
            for (int a = 0; a < f.in.atom_count; ++a) {
              EXPECT_PRED2(close, got[i].closest[a], oracle.complete[i].closest[a]) << "atom " << a + 1;
              if (f.in.bond_neighbor_total > 0) {
                EXPECT_PRED2(close, got[i].change[a], oracle.complete[i].change[a]) << "atom " << a + 1;
              }
            }
            ASSERT_EQ(judged[i].accepted, expected[i].accepted);
            if (!expected[i].accepted) continue;
            EXPECT_EQ(judged[i].bonds, expected[i].bonds);
            EXPECT_EQ(judged[i].broken, expected[i].broken);
            EXPECT_PRED2(close, judged[i].max_shuffle, expected[i].max_shuffle);
            EXPECT_PRED2(close, judged[i].nearest, expected[i].nearest);
            EXPECT_PRED2(close, judged[i].max_change, expected[i].max_change);
            std::string want;
            for (size_t s = 0; s < expected[i].ops1.size(); ++s) {
              want += op_text(expected[i].ops1[s]) + " | " + op_text(expected[i].ops2[s]) + "; ";
            }
            EXPECT_EQ(judged[i].ops, want);
            symmetric_paths += expected[i].ops1.size() > 1;
          }
          EXPECT_EQ(number, expected_accepted);
          EXPECT_EQ(acceptance.saved_count, expected_accepted);
          mappings += static_cast<int64_t>(got.size());
          accepted_total += expected_accepted;
          equivalent_total += static_cast<int64_t>(got.size()) - expected_accepted;
          fixtures_with_paths += expected_accepted > 0;
          break;
        }
      }
      // Too many mappings for a quick comparison: tighten the shuffle limit and try again.
      ++fixtures_cut;
      ASSERT_LT(attempt, 12);
      f.in.shuffle_given = true;
      f.in.max_shuffle = std::min(f.in.max_shuffle, f.edge * 0.6) * 0.7;
    }
  }
  // The fixtures must exercise what they are meant to: many paths, rejected copies and symmetric
  // paths.
  EXPECT_GT(fixtures_with_paths, kFixtures / 3);
  EXPECT_GT(accepted_total, 1000);
  EXPECT_GT(equivalent_total, 100);
  EXPECT_GT(symmetric_paths, 20);
  std::printf("fixtures %u (%lld tightened): %lld complete mappings, %lld accepted, %lld paths with symmetry\n",
              kFixtures, static_cast<long long>(fixtures_cut), static_cast<long long>(mappings),
              static_cast<long long>(accepted_total), static_cast<long long>(symmetric_paths));
}

}  // namespace
