// Space-group identification by exact integer arithmetic.
//
// For each space group of the operators' point group (lowest number first) the group's
// generators are matched to the given operators by point-operation kind; an assignment must
// extend to an isomorphism of the point groups (closure check). Then an integer basis change P
// of determinant +1 with R P = P M for every generator is sought, its undetermined entries taking
// bounded trial values in a fixed order, and for each such P an origin shift that makes the
// translations agree modulo the lattice. The first solution found is the answer.
//
// The search keeps in an IdentificationCache (the caller's, or one of its own for a single call)
// what depends only on the rotations (the assignments that pass the closure check, the reduced
// equations for P and the admissible P in enumeration order), on the origin system's data (its
// outcome) or on the whole call (its result), and reuses it when it recurs; it visits the same
// candidates in the same order either way. Rows of the exact reductions are formed in 64 bits
// while they fit and in 128 bits otherwise.
#include "cellsieve/id_spacegroup.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <unordered_map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/exact/checked_int.hpp"
#include "library/exact/int128.hpp"
#include "library/groups/space_group.hpp"
#include "library/tables/common_space.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace cellsieve {

namespace {

using sgl::Int128;
using sgl::kMaxGenerators;
using sgl::UInt128;
using sgl::m3;
using sgl::Mat3i;
using sgl::RationalVector;
using sgl::SpaceOp;

constexpr const char* kRoutine = "id_spacegroup";
constexpr int kMaxOps = 48;
constexpr std::array<int32_t, 5> kTrialValues{0, 1, -1, 2, -2};

// Largest magnitude of an entry of P that the search accepts: the translations are carried by
// P^-1, whose entries are 2 x 2 minors of P, in 32-bit arithmetic.
constexpr int64_t kMaxPEntry = 4096;

// Thrown inside the search, and caught where it starts, when an exact value leaves the range in
// which it can be formed: the bounded search then counts as having found nothing.
struct OutOfRange {};

bool fits32(Int128 v) {
  return v <= std::numeric_limits<int32_t>::max() && v >= std::numeric_limits<int32_t>::min();
}

// c = a b; false when an entry does not fit 32 bits. c may be a or b.
bool product32(const Mat3i& a, const Mat3i& b, Mat3i& c) {
  Mat3i out{};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      Int128 e = 0;
      for (int k = 1; k <= 3; ++k) e += static_cast<Int128>(m3(a, i, k)) * m3(b, k, j);
      if (!fits32(e)) return false;
      m3(out, i, j) = static_cast<int32_t>(e);
    }
  c = out;
  return true;
}

// w = m v on three numerators; false when a result does not fit 32 bits. w may be v.
bool apply32(const Mat3i& m, const int32_t* v, int32_t* w) {
  std::array<int32_t, 3> out{};
  for (int i = 1; i <= 3; ++i) {
    Int128 e = 0;
    for (int k = 1; k <= 3; ++k) e += static_cast<Int128>(m3(m, i, k)) * v[k - 1];
    if (!fits32(e)) return false;
    out[i - 1] = static_cast<int32_t>(e);
  }
  for (int i = 0; i < 3; ++i) w[i] = out[i];
  return true;
}

[[noreturn]] void stop(const std::string& text) {
  sgl::write_free(6, {"Error in id_spacegroup:  " + text});
  sgl::bomb();
}

// Bound on the stored entries of a reduced system: a product of two stays far inside 128 bits.
constexpr int64_t kEntryLimit = int64_t{1} << 62;

// The magnitude of a signed value as its unsigned type (also for the most negative value).
template <typename U, typename T>
U magnitude(T e) {
  return e < 0 ? U{0} - static_cast<U>(e) : static_cast<U>(e);
}

// Stores row r (entries row[0..ncol-1], 64 or 128 bits) of a row-major matrix divided by the
// greatest common divisor of its entries; false when an entry stays beyond the limit. The
// divisor and the quotients are formed on the magnitudes, in the unsigned type U of the row's
// width.
template <typename U, typename T>
bool store_row(std::span<int64_t> a, int ncol, int r, const std::vector<T>& row) {
  U g = 0;
  for (const T e : row) {
    U u = magnitude<U>(e);
    while (u != 0) {
      const U t = g % u;
      g = u;
      u = t;
    }
  }
  for (int j = 1; j <= ncol; ++j) {
    T e = row[j - 1];
    // g > 1 divides every entry, so the quotient's magnitude is at most half the entry's.
    if (g > 1) {
      const U q = magnitude<U>(e) / g;
      e = e < 0 ? -static_cast<T>(q) : static_cast<T>(q);
    }
    if (e >= kEntryLimit || e <= -kEntryLimit) return false;
    a[static_cast<std::size_t>(r - 1) * ncol + (j - 1)] = static_cast<int64_t>(e);
  }
  return true;
}

// A system of integer equations (one per row), reduced by reduce_rows_exact, with the pivot
// column of each row and the variable columns that are no row's pivot.
struct ReducedSystem {
  int nrow = 0;
  int ncol = 0;
  std::vector<int64_t> a;  // row-major
  std::vector<int> pivot;  // per row 1..nrow, 0 for a zero row
  std::vector<int> free;   // variable columns that are no row's pivot

  ReducedSystem() = default;
  ReducedSystem(int rows, int cols)
      : nrow(rows),
        ncol(cols),
        a(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), 0),
        pivot(static_cast<std::size_t>(rows) + 1, 0) {}
  int64_t& at(int i, int j) { return a[static_cast<std::size_t>(i - 1) * ncol + (j - 1)]; }
  int64_t at(int i, int j) const { return a[static_cast<std::size_t>(i - 1) * ncol + (j - 1)]; }

  // Reduces the rows and finds the pivots (searched in row r from column r on); columns
  // 1..nvar are variables.
  void reduce(int nvar) {
    if (!reduce_rows_exact(a, nrow, ncol)) throw OutOfRange{};
    std::vector<bool> is_pivot(static_cast<std::size_t>(ncol) + 1, false);
    for (int r = 1; r <= nrow; ++r) {
      pivot[r] = 0;
      for (int j = r; j <= ncol; ++j) {
        if (at(r, j) != 0) {
          pivot[r] = j;
          is_pivot[j] = true;
          break;
        }
      }
    }
    free.clear();
    for (int j = 1; j <= nvar; ++j)
      if (!is_pivot[j]) free.push_back(j);
  }

  // Removes the rows without a pivot (the zero rows, which take no part in solving for the
  // variables), keeping the others in order; for a system that is kept.
  void drop_zero_rows() {
    int kept = 0;
    for (int r = 1; r <= nrow; ++r) {
      if (pivot[r] == 0) continue;
      ++kept;
      if (kept != r) {
        std::copy_n(a.begin() + static_cast<std::ptrdiff_t>(r - 1) * ncol, ncol,
                    a.begin() + static_cast<std::ptrdiff_t>(kept - 1) * ncol);
        pivot[kept] = pivot[r];
      }
    }
    nrow = kept;
    a.resize(static_cast<std::size_t>(nrow) * ncol);
    a.shrink_to_fit();
    pivot.resize(static_cast<std::size_t>(nrow) + 1);
    pivot.shrink_to_fit();
  }

  bool is_pivot_column(int c) const {
    for (int r = 1; r <= nrow; ++r)
      if (pivot[r] == c) return true;
    return false;
  }

  // The entries of row r after column p, and the values x (1-based) of those columns. Entries in
  // other pivot columns are zero, so only free values (at most 2 in magnitude) and the constant 1
  // enter a sum over them.
  std::span<const int64_t> tail(int r, int p) const {
    return {a.data() + static_cast<std::size_t>(r - 1) * ncol + p, static_cast<std::size_t>(ncol - p)};
  }
  std::span<const int64_t> tail_values(int p, const std::vector<int64_t>& x) const {
    return {x.data() + p + 1, static_cast<std::size_t>(ncol - p)};
  }

  // Whether the tail sum of row r (pivot column p) is divisible by the pivot entry, and then q
  // = -sum / pivot.
  bool pivot_quotient(int r, int p, const std::vector<int64_t>& x, Int128& q) const {
    return tail_quotient(tail(r, p), tail_values(p, x), at(r, p), q);
  }
};

// The number of combinations of trial values of the free columns of s.
int64_t combination_count(const ReducedSystem& s, int nvalues) {
  int64_t total = 1;
  for (std::size_t k = 0; k < s.free.size(); ++k) total *= nvalues;
  return total;
}

// Writes combination c (from 0) of trial values into the free columns of x: free column k takes
// the value of digit k of c in base nvalues, the first free column varying fastest.
void set_combination(const ReducedSystem& s, int nvalues, int64_t c, std::vector<int64_t>& x) {
  int64_t rest = c;
  for (int col : s.free) {
    x[col] = kTrialValues[static_cast<std::size_t>(rest % nvalues)];
    rest /= nvalues;
  }
}

// Calls visit() for each combination of trial values of the free columns of s, written into x,
// in order. Stops at, and returns true for, the first visit that returns true.
template <typename Visit>
bool for_each_combination(const ReducedSystem& s, int nvalues, std::vector<int64_t>& x,
                          Visit&& visit) {
  const int64_t total = combination_count(s, nvalues);
  for (int64_t c = 0; c < total; ++c) {
    set_combination(s, nvalues, c, x);
    if (visit()) return true;
  }
  return false;
}

int64_t det128(const std::array<int64_t, 9>& m) {
  auto e = [&](int i, int j) -> Int128 { return m[(j - 1) * 3 + (i - 1)]; };
  const Int128 d = e(1, 1) * (e(2, 2) * e(3, 3) - e(2, 3) * e(3, 2)) -
                   e(1, 2) * (e(2, 1) * e(3, 3) - e(2, 3) * e(3, 1)) +
                   e(1, 3) * (e(2, 1) * e(3, 2) - e(2, 2) * e(3, 1));
  if (d > std::numeric_limits<int64_t>::max() || d < std::numeric_limits<int64_t>::min()) return 0;
  return static_cast<int64_t>(d);
}

// The P of the combination of trial values in the free columns of x: each pivot variable solved
// from its row, bottom row first, must be an integer of magnitude at most kMaxPEntry, and det P
// must be +1. The entries stay below 2^13, so the determinant is formed in 64 bits. pinv receives
// P^-1, integral as det P is 1.
bool p_of_combination(const ReducedSystem& ps, std::vector<int64_t>& x, Mat3i& p, Mat3i& pinv) {
  for (int r = ps.nrow; r >= 1; --r) {
    const int pc = ps.pivot[r];
    if (pc == 0) continue;
    Int128 v = 0;
    if (!ps.pivot_quotient(r, pc, x, v)) return false;
    if (v > kMaxPEntry || v < -kMaxPEntry) return false;
    x[pc] = static_cast<int64_t>(v);
  }
  // Entry (r, i) of P is x(3(r - 1) + i); p is stored by columns.
  auto e = [&](int r, int i) { return x[3 * (r - 1) + i]; };
  const int64_t det = e(1, 1) * (e(2, 2) * e(3, 3) - e(2, 3) * e(3, 2)) -
                      e(1, 2) * (e(2, 1) * e(3, 3) - e(2, 3) * e(3, 1)) +
                      e(1, 3) * (e(2, 1) * e(3, 2) - e(2, 2) * e(3, 1));
  if (det != 1) return false;
  for (int r = 1; r <= 3; ++r)
    for (int i = 1; i <= 3; ++i) m3(p, r, i) = static_cast<int32_t>(e(r, i));
  int32_t pden = 0;
  sgl::matinv(p, pinv, pden);
  if (pden != 1) sgl::bomb();
  return true;
}

// The sum of e[j] x[j] in 128 bits.
Int128 wide_dot(std::span<const int64_t> e, std::span<const int64_t> x) {
  Int128 s = 0;
  for (std::size_t j = 0; j < e.size(); ++j)
    if (e[j] != 0) s += static_cast<Int128>(e[j]) * x[j];
  return s;
}

// The outcome of an origin system: no solution, a solution (-o in normal form, in the basis of
// the table's primitive setting, before P carries it into the given basis), or a value beyond
// the exact range.
struct OriginOutcome {
  enum class Kind { kNone, kFound, kOutOfRange };
  Kind kind = Kind::kNone;
  RationalVector o{};
};

// Solves the origin system os (unreduced; 3 rows per generator, columns o, n and the constant)
// with nvalues trial values for its free variables.
OriginOutcome solve_origin_system(ReducedSystem os, int nvalues) {
  OriginOutcome out;
  try {
    const int nrow = os.nrow;
    const int ncol = os.ncol;
    os.reduce(ncol - 1);
    if (os.is_pivot_column(ncol)) return out;  // the equations contradict each other

    std::vector<int64_t> x(static_cast<std::size_t>(ncol) + 1, 0);
    x[ncol] = 1;
    const bool found = for_each_combination(os, nvalues, x, [&] {
      for (int r = 1; r <= nrow; ++r) {
        const int pc = os.pivot[r];
        if (pc <= 3) continue;  // origin rows and zero rows are not tested
        Int128 q = 0;
        if (!os.pivot_quotient(r, pc, x, q)) return false;
      }
      return true;
    });
    if (!found) return out;

    // -o from the origin rows; a free origin coordinate keeps the trial value it was solved with.
    std::array<int64_t, 4> num{}, den{};
    for (int k = 1; k <= 3; ++k) {
      num[k] = x[k];
      den[k] = 1;
    }
    for (int r = 1; r <= 3 && r <= nrow; ++r) {
      const int pc = os.pivot[r];
      if (pc == 0 || pc > 3) break;
      const Int128 s = wide_dot(os.tail(r, pc), os.tail_values(pc, x));
      if (!fits32(s) || !fits32(os.at(r, pc))) throw OutOfRange{};
      num[pc] = -static_cast<int64_t>(s);
      den[pc] = os.at(r, pc);
    }
    const std::array<Int128, 4> wide{static_cast<Int128>(num[1]) * den[2] * den[3],
                                     static_cast<Int128>(num[2]) * den[1] * den[3],
                                     static_cast<Int128>(num[3]) * den[1] * den[2],
                                     -static_cast<Int128>(den[1]) * den[2] * den[3]};
    Int128 g = 0;
    for (Int128 e : wide) {
      Int128 a = e < 0 ? -e : e;
      while (a != 0) {
        const Int128 t = g % a;
        g = a;
        a = t;
      }
    }
    RationalVector o{};
    for (int k = 0; k < 4; ++k) {
      const Int128 e = wide[k] / g;
      if (!fits32(e)) throw OutOfRange{};
      o[k] = static_cast<int32_t>(e);
    }
    sgl::reduc2(o);
    out.kind = OriginOutcome::Kind::kFound;
    out.o = o;
  } catch (const OutOfRange&) {
    out.kind = OriginOutcome::Kind::kOutOfRange;
  }
  return out;
}

// A space group's generators in setting "pml" and their rotations in its primitive basis.
struct GroupGenerators {
  int32_t ngen = 0;
  std::array<SpaceOp, kMaxGenerators> gens{};
  std::array<Mat3i, kMaxGenerators> m{};
  std::vector<int32_t> gen_op;  // the generators' point operations
};

// One assignment of operators to the generators of a space group that extends to an
// isomorphism, with its equations for P (reduced on first use) and the admissible P (determinant
// +1, entries within the bound) found so far for each number of trial values.
struct AssignmentEntry {
  enum class State { kNew, kReduced, kOutOfRange };
  std::vector<int32_t> assigned;
  State state = State::kNew;
  ReducedSystem ps;
  struct Found {
    std::vector<Mat3i> p, pinv;
    int64_t next = 0;  // the next combination of trial values to examine
    bool done = false;
  };
  std::array<Found, 2> found;  // 3 and 5 trial values
};

// Per rotation set: per space group (by number), its assignments in the order of the search.
struct RotationSetEntry {
  std::array<std::unique_ptr<std::vector<AssignmentEntry>>, sgl::kSpaceGroupCount + 1> groups;
};

// A hash of a list of integers, for the keys of the cache.
struct IntsHash {
  std::size_t operator()(const std::vector<int32_t>& v) const {
    uint64_t h = 1469598103934665603ULL;
    for (const int32_t e : v) {
      h ^= static_cast<uint32_t>(e);
      h *= 1099511628211ULL;
      h ^= h >> 31;
    }
    return static_cast<std::size_t>(h);
  }
};

struct CallResult {
  int32_t sg = 0;
  Mat3i p{};
  RationalVector origin{};
};

}  // namespace

struct IdentificationCache::Store {
  const sgl::CommonSpace* tables = nullptr;
  std::array<std::unique_ptr<GroupGenerators>, sgl::kSpaceGroupCount + 1> generators;
  std::unordered_map<std::vector<int32_t>, RotationSetEntry, IntsHash> rotation_sets;
  std::unordered_map<std::vector<int32_t>, OriginOutcome, IntsHash> origins;
  std::unordered_map<std::vector<int32_t>, CallResult, IntsHash> calls;

  // Empties the cache when it was filled from other tables.
  void bind(const sgl::CommonSpace& cs) {
    if (tables == &cs) return;
    for (auto& g : generators) g.reset();
    rotation_sets.clear();
    origins.clear();
    calls.clear();
    tables = &cs;
  }
};

IdentificationCache::IdentificationCache() : store_(std::make_unique<Store>()) {}
IdentificationCache::~IdentificationCache() = default;

namespace {

// The search over space groups for one set of operators in one basis; with a cache it takes
// what earlier searches learnt and adds what it learns.
class Search {
 public:
  Search(const sgl::CommonSpace& cs, int32_t nops, std::span<const SpaceOp> ops,
         std::span<const Mat3i> rot, IdentificationCache::Store* cache)
      : cs_(cs), nops_(nops), ops_(ops), rot_(rot), cache_(cache) {
    int64_t key = 0;
    for (int32_t k = 0; k < nops_; ++k) key += cs_.point_op_key(ops_[k][4]);
    for (int32_t g = 1; g <= sgl::kPointGroupCount && pg_ == 0; ++g)
      if (cs_.point_group_key(g) == key) pg_ = g;
    if (pg_ == 0) sgl::bomb();
    position_.fill(-1);
    for (int32_t k = 0; k < nops_; ++k)
      if (position_[ops_[k][4]] < 0) position_[ops_[k][4]] = k;
    std::vector<int32_t> rkey{nops_};
    for (int32_t k = 0; k < nops_; ++k) {
      rkey.push_back(ops_[k][4]);
      rkey.insert(rkey.end(), rot_[k].begin(), rot_[k].end());
    }
    rotation_set_ = &cache_->rotation_sets[rkey];
  }

  // Passes over the range with 3, then 5 trial values; the Bravais type of the first group that
  // yields a P of determinant +1 restricts the rest of the search.
  bool run(int32_t mode, int passes, int32_t& sg, Mat3i& p, RationalVector& origin) {
    const int32_t first = mode == 0 ? 1 : mode;
    const int32_t last = mode == 0 ? sgl::kSpaceGroupCount : mode;
    for (int pass = 1; pass <= passes; ++pass) {
      const int nvalues = pass == 1 ? 3 : 5;
      for (int32_t isg = first; isg <= last; ++isg) {
        if (cs_.sg_point_group(isg) != pg_) continue;
        if (bravais_ != 0 && cs_.sg_bravais(isg) != bravais_) continue;
        if (try_group(isg, nvalues, p, origin)) {
          sg = isg;
          return true;
        }
      }
    }
    return false;
  }

 private:
  int32_t point_op(int32_t k) const { return ops_[k][4]; }

  // Whether the assignment of operators to generators extends to an isomorphism of the point
  // groups: products of the table's point operations and of the assigned operators are formed
  // side by side until the list is complete; each table operation must meet exactly one operator.
  bool closure_holds(const std::vector<int32_t>& gen_op, const std::vector<int32_t>& assigned) {
    std::vector<int32_t> table;    // table point operation of each list element
    std::vector<int32_t> operand;  // operator (0-based) of each list element
    std::array<int32_t, sgl::kPointOpCount + 1> where{};  // table operation -> element + 1
    std::vector<int32_t> has_op(static_cast<std::size_t>(nops_), 0);  // operator -> element + 1
    for (std::size_t g = 0; g < gen_op.size(); ++g) {
      if (where[gen_op[g]] != 0) return false;
      table.push_back(gen_op[g]);
      operand.push_back(assigned[g]);
      where[gen_op[g]] = static_cast<int32_t>(table.size());
      has_op[assigned[g]] = static_cast<int32_t>(table.size());
    }
    std::size_t fresh = 0;  // elements from here on were added in the previous sweep
    for (;;) {
      const std::size_t end = table.size();
      for (std::size_t x = 0; x < end; ++x) {
        for (std::size_t y = 0; y < end; ++y) {
          if (x < fresh && y < fresh) continue;
          const int32_t tp = cs_.point_op_product(table[y], table[x]);
          const int32_t pp = cs_.point_op_product(point_op(operand[y]), point_op(operand[x]));
          if (tp < 1 || pp < 1) return false;
          const int32_t j = position_[pp];
          if (j < 0) return false;  // the product's point operation has no operator
          if (where[tp] == 0) {
            if (has_op[j] != 0) return false;
            table.push_back(tp);
            operand.push_back(j);
            where[tp] = static_cast<int32_t>(table.size());
            has_op[j] = static_cast<int32_t>(table.size());
          } else if (operand[where[tp] - 1] != j) {
            return false;
          }
        }
      }
      fresh = end;
      if (!(table.size() > end && static_cast<int32_t>(table.size()) < nops_)) break;
    }
    return static_cast<int32_t>(table.size()) == nops_;
  }

  // The generators of isg and their rotations in its primitive basis; false when its point group
  // has no generator.
  bool load_generators(int32_t isg, GroupGenerators& out) {
    const int32_t b = cs_.sg_bravais(isg);
    const int32_t ngen = cs_.pg_generator_count(pg_);
    if (ngen > kMaxGenerators)
      stop("space group " + std::to_string(isg) + " has more than 5 generators");
    if (ngen < 1) return false;
    GroupGenerators g{};
    g.ngen = ngen;
    sgl::get_generators(cs_, isg, g.gens, "pml");
    for (int32_t k = 0; k < ngen; ++k) {
      Mat3i rot{};
      for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 3; ++i) m3(rot, i, j) = cs_.point_op_rot(i, j, g.gens[k][4]);
      Mat3i t1{}, t2{};
      for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 3; ++i) {
          m3(t1, i, j) = cs_.lattice_transform(i, j, 1, b);
          m3(t2, i, j) = cs_.lattice_transform(i, j, 2, b);
        }
      sgl::matmlt(t1, rot, g.m[k]);
      sgl::matmlt(g.m[k], t2, g.m[k]);
      int32_t den = cs_.lattice_transform_den(1, b);
      sgl::reduc3(g.m[k], den);
      if (den != 1) sgl::bomb();
      g.gen_op.push_back(g.gens[k][4]);
    }
    out = std::move(g);
    return true;
  }

  // Candidate operators of each generator (the same kind of point operation) and the number of
  // assignments, the product of their counts.
  int64_t candidates_of(const GroupGenerators& gg, std::vector<std::vector<int32_t>>& candidates) {
    candidates.assign(static_cast<std::size_t>(gg.ngen), {});
    int64_t assignments = 1;
    for (int32_t g = 0; g < gg.ngen; ++g) {
      const int32_t key = cs_.point_op_key(gg.gens[g][4]);
      for (int32_t k = 0; k < nops_; ++k)
        if (cs_.point_op_key(point_op(k)) == key) candidates[g].push_back(k);
      assignments *= static_cast<int64_t>(candidates[g].size());
    }
    return assignments;
  }

  // Assignment number c in mixed-radix order, generator 1 varying fastest; false when it gives
  // two generators the same operator.
  static bool assignment_of(int64_t c, const std::vector<std::vector<int32_t>>& candidates,
                            std::vector<int32_t>& assigned) {
    assigned.resize(candidates.size());
    int64_t rest = c;
    bool repeated = false;
    for (std::size_t g = 0; g < candidates.size(); ++g) {
      const int64_t n = static_cast<int64_t>(candidates[g].size());
      assigned[g] = candidates[g][static_cast<std::size_t>(rest % n)];
      rest /= n;
      for (std::size_t h = 0; h < g; ++h)
        if (assigned[h] == assigned[g]) repeated = true;
    }
    return !repeated;
  }

  // The equations for P of one assignment, not yet reduced: entry (a, c) of P M(g) - R(J) P = 0,
  // variables x(3(r - 1) + i) = P(r, i).
  ReducedSystem p_system(const GroupGenerators& gg, const std::vector<int32_t>& assigned) const {
    ReducedSystem ps(9 * gg.ngen, 9);
    for (int32_t g = 0; g < gg.ngen; ++g) {
      const Mat3i& r = rot_[assigned[g]];
      for (int a = 1; a <= 3; ++a) {
        for (int c = 1; c <= 3; ++c) {
          const int row = 9 * g + 3 * (a - 1) + c;
          std::array<int64_t, 10> e{};
          for (int i = 1; i <= 3; ++i) e[3 * (a - 1) + i] += m3(gg.m[g], i, c);
          for (int k = 1; k <= 3; ++k) e[3 * (k - 1) + c] -= m3(r, a, k);
          for (int j = 1; j <= 9; ++j) ps.at(row, j) = e[j];
        }
      }
    }
    return ps;
  }

  // The assignments of operators to the generators of isg that extend to an isomorphism, in
  // mixed-radix order; for each the admissible P in enumeration order; for each P its origin
  // system. What depends only on the rotations, or on an origin system, is kept in the cache and
  // taken from there when it recurs.
  bool try_group(int32_t isg, int nvalues, Mat3i& p_out, RationalVector& origin_out) {
    std::unique_ptr<GroupGenerators>& slot = cache_->generators[isg];
    if (!slot) {
      auto gg = std::make_unique<GroupGenerators>();
      if (!load_generators(isg, *gg)) gg->ngen = 0;
      slot = std::move(gg);
    }
    const GroupGenerators& gg = *slot;
    if (gg.ngen == 0) return false;

    std::unique_ptr<std::vector<AssignmentEntry>>& list = rotation_set_->groups[isg];
    if (!list) {
      auto entries = std::make_unique<std::vector<AssignmentEntry>>();
      std::vector<std::vector<int32_t>> candidates;
      const int64_t assignments = candidates_of(gg, candidates);
      std::vector<int32_t> assigned;
      for (int64_t c = 0; c < assignments; ++c) {
        if (!assignment_of(c, candidates, assigned)) continue;
        if (!closure_holds(gg.gen_op, assigned)) continue;
        entries->emplace_back();
        entries->back().assigned = assigned;
      }
      list = std::move(entries);
    }

    const int32_t b = cs_.sg_bravais(isg);
    for (AssignmentEntry& a : *list) {
      if (a.state == AssignmentEntry::State::kNew) {
        a.ps = p_system(gg, a.assigned);
        try {
          a.ps.reduce(9);
          a.ps.drop_zero_rows();
          a.state = AssignmentEntry::State::kReduced;
        } catch (const OutOfRange&) {
          a.state = AssignmentEntry::State::kOutOfRange;
          a.ps = ReducedSystem();
        }
      }
      if (a.state == AssignmentEntry::State::kOutOfRange) throw OutOfRange{};
      AssignmentEntry::Found& f = a.found[nvalues == 3 ? 0 : 1];
      for (std::size_t k = 0;; ++k) {
        if (k == f.p.size() && !next_p(a.ps, nvalues, f)) break;
        if (bravais_ == 0) bravais_ = b;
        const Mat3i p = f.p[k];
        RationalVector origin{};
        if (!solve_origin(isg, gg, a.assigned, nvalues, p, f.pinv[k], origin)) continue;
        p_out = p;
        origin_out = origin;
        return true;
      }
    }
    return false;
  }

  // Appends the next admissible P of the enumeration (with its inverse) to f; false when the
  // combinations are exhausted.
  static bool next_p(const ReducedSystem& ps, int nvalues, AssignmentEntry::Found& f) {
    if (f.done) return false;
    const int64_t total = combination_count(ps, nvalues);
    std::vector<int64_t> x(10, 0);
    for (; f.next < total; ++f.next) {
      set_combination(ps, nvalues, f.next, x);
      Mat3i p{}, pinv{};
      if (!p_of_combination(ps, x, p, pinv)) continue;
      f.p.push_back(p);
      f.pinv.push_back(pinv);
      ++f.next;
      return true;
    }
    f.done = true;
    return false;
  }

  // The origin shift for one P: d (I - M(g)) o + d n + e = 0 per generator and component, with
  // e/d = P^-1 t(J) - t(g) reduced modulo the lattice and n integral. The system is fixed by the
  // space group (its M(g)), the number of trial values and the vectors v(g) = e/d, which key the
  // cache of outcomes.
  bool solve_origin(int32_t isg, const GroupGenerators& gg, const std::vector<int32_t>& assigned,
                    int nvalues, const Mat3i& p, const Mat3i& pinv, RationalVector& origin) {
    const int32_t ngen = gg.ngen;
    std::array<RationalVector, kMaxGenerators> v{};
    for (int32_t g = 0; g < ngen; ++g) {
      const SpaceOp& tj = ops_[assigned[g]];
      RationalVector w{tj[0], tj[1], tj[2], tj[3]};
      sgl::reduc2(w);  // a lattice vector less changes nothing modulo the lattice below
      sgl::reduc1(w);
      if (!apply32(pinv, w.data(), w.data())) throw OutOfRange{};
      const RationalVector tg{gg.gens[g][0], gg.gens[g][1], gg.gens[g][2], gg.gens[g][3]};
      sgl::vsub(w, tg, v[g]);
      sgl::reduc1(v[g]);
    }
    auto build = [&] {
      const int nrow = 3 * ngen;
      const int ncol = 3 * ngen + 4;
      ReducedSystem os(nrow, ncol);
      for (int32_t g = 0; g < ngen; ++g) {
        const int64_t d = v[g][3];
        for (int i = 1; i <= 3; ++i) {
          const int r = 3 * g + i;
          for (int j = 1; j <= 3; ++j)
            os.at(r, j) = sgl::mul64(d, (i == j ? 1 : 0) - m3(gg.m[g], i, j), kRoutine);
          os.at(r, 3 + r) = v[g][3];
          os.at(r, ncol) = v[g][i - 1];
        }
      }
      return os;
    };

    std::vector<int32_t> key{isg, nvalues};
    for (int32_t g = 0; g < ngen; ++g) key.insert(key.end(), v[g].begin(), v[g].end());
    auto it = cache_->origins.find(key);
    if (it == cache_->origins.end())
      it = cache_->origins.emplace(std::move(key), solve_origin_system(build(), nvalues)).first;
    const OriginOutcome outcome = it->second;
    if (outcome.kind == OriginOutcome::Kind::kOutOfRange) throw OutOfRange{};
    if (outcome.kind == OriginOutcome::Kind::kNone) return false;
    RationalVector o = outcome.o;
    if (!apply32(p, o.data(), o.data())) throw OutOfRange{};
    sgl::reduc2(o);
    origin = o;
    return true;
  }

  const sgl::CommonSpace& cs_;
  int32_t nops_;
  std::span<const SpaceOp> ops_;
  std::span<const Mat3i> rot_;
  IdentificationCache::Store* cache_;
  RotationSetEntry* rotation_set_ = nullptr;
  int32_t pg_ = 0;
  int32_t bravais_ = 0;
  std::array<int32_t, sgl::kPointOpCount + 1> position_{};  // point operation -> operator
};

void check_arguments(int32_t nops, std::span<const SpaceOp> ops, std::span<const Mat3i> rot,
                     int32_t mode) {
  if (nops < 1 || nops > kMaxOps) stop("number of operators out of range: " + std::to_string(nops));
  if (ops.size() < static_cast<std::size_t>(nops) || rot.size() < static_cast<std::size_t>(nops))
    stop("operator list shorter than the number of operators");
  for (int32_t k = 0; k < nops; ++k)
    if (ops[k][4] < 1 || ops[k][4] > sgl::kPointOpCount)
      stop("point operation out of range: " + std::to_string(ops[k][4]));
  if (mode < 0 || mode > sgl::kSpaceGroupCount) stop("mode out of range: " + std::to_string(mode));
}

// Columns of a basis of the integer lattice, determinant +1, short in the metric sum R^T R that
// every rotation of a group keeps: pairwise size reduction and the sums and differences of three
// vectors, each step shortening one vector, until no step shortens any. The scalar products are
// formed exactly as sums of products of the rotated vectors, which stay small once the vectors are
// short. False when a value grows beyond the range where that is exact, or the metric is not
// positive.
bool reduced_basis(int32_t nops, std::span<const Mat3i> rot, Mat3i& q) {
  using Vec = std::array<int64_t, 3>;
  constexpr Int128 kLimit = Int128{1} << 58;  // |rotated entry|: 432 products stay in range
  bool ok = true;
  auto dot = [&](const Vec& u, const Vec& w) {
    Int128 s = 0;
    for (int32_t k = 0; k < nops && ok; ++k) {
      for (int i = 1; i <= 3; ++i) {
        Int128 ru = 0, rw = 0;
        for (int j = 1; j <= 3; ++j) {
          ru += static_cast<Int128>(m3(rot[k], i, j)) * u[j - 1];
          rw += static_cast<Int128>(m3(rot[k], i, j)) * w[j - 1];
        }
        if (ru >= kLimit || ru <= -kLimit || rw >= kLimit || rw <= -kLimit) ok = false;
        s += ru * rw;
      }
    }
    return s;
  };
  auto entry = [&](Int128 v) {
    if (v >= kLimit || v <= -kLimit) ok = false;
    return static_cast<int64_t>(ok ? v : 0);
  };
  auto floor_div = [](Int128 a, Int128 b) {  // b > 0
    Int128 f = a / b;
    if (a % b != 0 && a < 0) --f;
    return f;
  };

  std::array<Vec, 3> basis{};
  for (int v = 0; v < 3; ++v) basis[v][v] = 1;
  for (bool changed = true; changed && ok;) {
    changed = false;
    for (int i = 0; i < 3 && ok; ++i) {
      for (int j = 0; j < 3 && ok; ++j) {
        if (i == j) continue;
        const Int128 njj = dot(basis[j], basis[j]);
        if (njj <= 0) return false;
        const Int128 hij = dot(basis[i], basis[j]);
        if (2 * (hij < 0 ? -hij : hij) <= njj) continue;
        const Int128 mu = floor_div(2 * hij + njj, 2 * njj);
        for (int c = 0; c < 3; ++c) basis[i][c] = entry(basis[i][c] - mu * basis[j][c]);
        changed = true;
      }
    }
    for (int k = 0; k < 3 && ok; ++k) {
      const int i = (k + 1) % 3;
      const int j = (k + 2) % 3;
      for (int si : {1, -1}) {
        for (int sj : {1, -1}) {
          Vec c{};
          for (int e = 0; e < 3; ++e)
            c[e] = entry(Int128{basis[k][e]} + si * Int128{basis[i][e]} + sj * Int128{basis[j][e]});
          if (ok && dot(c, c) < dot(basis[k], basis[k])) {
            basis[k] = c;
            changed = true;
          }
        }
      }
    }
  }
  if (!ok) return false;
  std::array<int64_t, 9> w{};
  for (int v = 0; v < 3; ++v)
    for (int i = 0; i < 3; ++i) w[v * 3 + i] = basis[v][i];
  const int64_t det = det128(w);
  if (det != 1 && det != -1) return false;
  if (det == -1)
    for (int i = 0; i < 3; ++i) w[i] = -w[i];
  for (int k = 0; k < 9; ++k) {
    if (w[k] > std::numeric_limits<int32_t>::max() || w[k] < std::numeric_limits<int32_t>::min())
      return false;
    q[k] = static_cast<int32_t>(w[k]);
  }
  return true;
}

}  // namespace

bool reduce_rows_exact(std::span<int64_t> a, int nrow, int ncol) {
  if (nrow <= 0 || ncol <= 0) return true;
  auto at = [&](int i, int j) -> int64_t& {
    return a[static_cast<std::size_t>(i - 1) * ncol + (j - 1)];
  };
  std::vector<int64_t> row64(static_cast<std::size_t>(ncol));
  std::vector<Int128> row(static_cast<std::size_t>(ncol));
  for (int r = 1; r <= nrow; ++r) {
    for (int j = 1; j <= ncol; ++j) row64[j - 1] = at(r, j);
    if (!store_row<uint64_t>(a, ncol, r, row64)) return false;
  }
  int c = 0;
  for (int i = 1; i <= nrow; ++i) {
    int found = 0;
    while (found == 0 && ++c <= ncol) {
      for (int r = i; r <= nrow && found == 0; ++r) {
        if (at(r, c) == 0) continue;
        found = r;
        for (int j = 1; j <= ncol; ++j) std::swap(at(i, j), at(r, j));
      }
    }
    if (found == 0) break;
    const int64_t piv = at(i, c);
    for (int r = 1; r <= nrow; ++r) {
      const int64_t f = at(r, c);
      if (r == i || f == 0) continue;
      // The new row in 64 bits while every product and difference fits, else in 128 bits.
      bool fits = true;
      for (int j = 1; j <= ncol && fits; ++j) {
        int64_t u = 0, v = 0;
        fits = !__builtin_mul_overflow(piv, at(r, j), &u) && !__builtin_mul_overflow(f, at(i, j), &v) &&
               !__builtin_sub_overflow(u, v, &row64[j - 1]);
      }
      if (fits) {
        if (!store_row<uint64_t>(a, ncol, r, row64)) return false;
        continue;
      }
      for (int j = 1; j <= ncol; ++j)
        row[j - 1] = static_cast<Int128>(piv) * at(r, j) - static_cast<Int128>(f) * at(i, j);
      if (!store_row<UInt128>(a, ncol, r, row)) return false;
    }
  }
  return true;
}

bool tail_quotient(std::span<const int64_t> e, std::span<const int64_t> x, int64_t d, Int128& q) {
  int64_t s = 0;
  bool fits = true;
  for (std::size_t j = 0; j < e.size() && fits; ++j) {
    if (e[j] == 0) continue;
    int64_t t = 0;
    fits = !__builtin_mul_overflow(e[j], x[j], &t) && !__builtin_add_overflow(s, t, &s);
  }
  if (fits && s != std::numeric_limits<int64_t>::min()) {
    if (s % d != 0) return false;
    q = -(s / d);
    return true;
  }
  const Int128 wide = wide_dot(e, x);
  if (wide % d != 0) return false;
  q = -wide / d;
  return true;
}

void id_spacegroup_search(const sgl::CommonSpace& cs, int32_t nops, std::span<const SpaceOp> ops,
                          std::span<const Mat3i> rot, int32_t& sg, Mat3i& p, RationalVector& origin,
                          int32_t mode, int passes, IdentificationCache* cache) {
  check_arguments(nops, ops, rot, mode);
  // Without a cache of the caller's, the search keeps what it learns for this call alone.
  IdentificationCache own;
  IdentificationCache::Store* store = cache != nullptr ? &cache->store() : &own.store();
  store->bind(cs);
  Search search(cs, nops, ops, rot, store);
  Mat3i p_found{};
  RationalVector origin_found{};
  int32_t sg_found = 0;
  try {
    if (!search.run(mode, passes, sg_found, p_found, origin_found)) sg_found = 0;
  } catch (const OutOfRange&) {
    sg_found = 0;
  }
  sg = sg_found;
  if (sg == 0) return;
  p = p_found;
  origin = origin_found;
}

namespace {

// The identification with its retry on a reduced basis, through the cache when there is one.
void identify_with_retry(const sgl::CommonSpace& cs, int32_t nops, std::span<const SpaceOp> ops,
                         std::span<const Mat3i> rot, int32_t& sg, Mat3i& p, RationalVector& origin,
                         int32_t mode, IdentificationCache* cache) {
  id_spacegroup_search(cs, nops, ops, rot, sg, p, origin, mode, 2, cache);
  if (sg != 0) return;

  // A skewed basis can need entries of P beyond the trial values: search again in a reduced basis
  // q of the same lattice (x = q x_red) and carry the result back.
  Mat3i q{};
  if (!reduced_basis(nops, rot, q)) return;
  const Mat3i unit{1, 0, 0, 0, 1, 0, 0, 0, 1};
  if (q == unit) return;
  Mat3i qinv{};
  int32_t qden = 0;
  sgl::matinv(q, qinv, qden);
  if (qden != 1) return;
  std::vector<SpaceOp> ops_red(static_cast<std::size_t>(nops));
  std::vector<Mat3i> rot_red(static_cast<std::size_t>(nops));
  for (int32_t k = 0; k < nops; ++k) {
    RationalVector t{ops[k][0], ops[k][1], ops[k][2], ops[k][3]};
    sgl::reduc2(t);
    sgl::reduc1(t);
    if (!product32(qinv, rot[k], rot_red[k]) || !product32(rot_red[k], q, rot_red[k]) ||
        !apply32(qinv, t.data(), t.data()))
      return;
    sgl::reduc1(t);
    ops_red[k] = SpaceOp{t[0], t[1], t[2], t[3], ops[k][4]};
  }
  int32_t sg_red = 0;
  Mat3i p_red{};
  RationalVector origin_red{};
  id_spacegroup_search(cs, nops, ops_red, rot_red, sg_red, p_red, origin_red, mode, 2, cache);
  if (sg_red == 0) return;
  Mat3i p_given{};
  if (!product32(q, p_red, p_given) || !apply32(q, origin_red.data(), origin_red.data())) return;
  sgl::reduc2(origin_red);
  p = p_given;
  origin = origin_red;
  sg = sg_red;
}

}  // namespace

void id_spacegroup(const sgl::CommonSpace& cs, int32_t nops, std::span<const SpaceOp> ops,
                   std::span<const Mat3i> rot, int32_t& sg, Mat3i& p, RationalVector& origin,
                   int32_t mode) {
  identify_with_retry(cs, nops, ops, rot, sg, p, origin, mode, nullptr);
}

void id_spacegroup(const sgl::CommonSpace& cs, int32_t nops, std::span<const SpaceOp> ops,
                   std::span<const Mat3i> rot, int32_t& sg, Mat3i& p, RationalVector& origin,
                   int32_t mode, IdentificationCache& cache) {
  check_arguments(nops, ops, rot, mode);
  IdentificationCache::Store& store = cache.store();
  store.bind(cs);
  std::vector<int32_t> key{mode, nops};
  for (int32_t k = 0; k < nops; ++k) {
    key.insert(key.end(), ops[k].begin(), ops[k].end());
    key.insert(key.end(), rot[k].begin(), rot[k].end());
  }
  auto it = store.calls.find(key);
  if (it == store.calls.end()) {
    CallResult r;
    identify_with_retry(cs, nops, ops, rot, r.sg, r.p, r.origin, mode, &cache);
    it = store.calls.emplace(std::move(key), r).first;
  }
  sg = it->second.sg;
  if (sg == 0) return;
  p = it->second.p;
  origin = it->second.origin;
}

}  // namespace cellsieve
