// Isotropy subgroups and superlattices.
#include "vibrex/isotropy.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "library/exact/arithmetic.hpp"
#include "library/groups/get_new_fractionals.hpp"
#include "library/groups/operator_encodings.hpp"
#include "library/groups/space_group.hpp"
#include "library/text/bomb.hpp"
#include "vibrex/numeric_kernel.hpp"
#include "vibrex/real_irrep.hpp"
#include "vibrex/single_precision.hpp"
#include "vibrex/stars.hpp"

namespace vibrex {

namespace {

int64_t largest_entry(const std::array<int64_t, 3>& w) {
  return std::max({std::llabs(w[0]), std::llabs(w[1]), std::llabs(w[2])});
}

}  // namespace

void newlat(std::span<const sgl::RationalVector> ks, sgl::Mat3i& v) {
  if (ks.empty()) sgl::bomb();
  const int32_t n = ks[0][3];
  // The search costs about N^3 trials and its superlattice has N cells.
  if (n < 1 || n > kMaxSuperlatticeCells) sgl::bomb();
  auto accepted = [&](const std::array<int64_t, 3>& c) {
    for (const sgl::RationalVector& k : ks) {
      if (k[3] == 0) sgl::bomb();
      const int64_t dot =
          static_cast<int64_t>(k[0]) * c[0] + static_cast<int64_t>(k[1]) * c[1] + static_cast<int64_t>(k[2]) * c[2];
      if (dot % k[3] != 0) return false;
    }
    return true;
  };
  std::array<std::array<int64_t, 3>, 3> col{};
  for (int32_t i = 1; i <= 3; ++i) {
    bool found = false;
    for (int32_t entry = 1; entry <= n && !found; ++entry) {
      std::array<int64_t, 3> c{};
      c[static_cast<std::size_t>(i - 1)] = entry;
      // The odometer over entries 1..i-1, entry 1 fastest.
      for (;;) {
        if (accepted(c)) {
          found = true;
          break;
        }
        int32_t digit = 0;
        while (digit < i - 1 && c[static_cast<std::size_t>(digit)] == n) c[static_cast<std::size_t>(digit++)] = 0;
        if (digit == i - 1) break;
        ++c[static_cast<std::size_t>(digit)];
      }
      if (found) col[static_cast<std::size_t>(i - 1)] = c;
    }
    if (!found) sgl::bomb();
  }
  for (int32_t pass = 0; pass < 3; ++pass)
    for (int32_t i = 0; i < 3; ++i)
      for (int32_t j = 0; j < 3; ++j) {
        if (j == i) continue;
        for (int32_t sign : {-1, 1}) {
          std::array<int64_t, 3> w{};
          for (int r = 0; r < 3; ++r)
            w[static_cast<std::size_t>(r)] = col[static_cast<std::size_t>(i)][static_cast<std::size_t>(r)] +
                                             sign * col[static_cast<std::size_t>(j)][static_cast<std::size_t>(r)];
          if (largest_entry(w) < largest_entry(col[static_cast<std::size_t>(i)])) col[static_cast<std::size_t>(i)] = w;
        }
      }
  for (int32_t c = 1; c <= 3; ++c)
    for (int32_t r = 1; r <= 3; ++r)
      sgl::m3(v, r, c) = static_cast<int32_t>(col[static_cast<std::size_t>(c - 1)][static_cast<std::size_t>(r - 1)]);
}

std::vector<sgl::SpaceOp> orderparam_generators(int32_t sg, const sgl::Mat3i& v, std::span<const sgl::SpaceOp> ops) {
  std::vector<sgl::SpaceOp> gens(ops.begin(), ops.end());
  for (int32_t c = 1; c <= 3; ++c)
    gens.push_back({sgl::m3(v, 1, c), sgl::m3(v, 2, c), sgl::m3(v, 3, c), 1, sgl::identity_op(sg)});
  return gens;
}

namespace {

// The null space of a reduced system of dim columns, rows 1..pivot.size() - 1 with the pivot
// columns given (pivot[0] unused): for each column c that is no pivot column, taken from
// c = dim down to 1, a basis vector with 1 at component dim + 1 - c and -E(r, c) / E(r, p) at
// component dim + 1 - p for each row r with pivot column p (ratio(r, c, p) gives that value).
// The equations hold the components in reverse order, so the vectors come ordered by their free
// component, lowest first, with their other entries on higher components. Returns the count.
template <typename Ratio>
int32_t write_null_space(int32_t dim, const std::vector<int32_t>& pivot, Ratio ratio, int32_t ndim,
                         std::vector<float>& basis) {
  const int32_t rows = static_cast<int32_t>(pivot.size()) - 1;
  std::vector<char> is_pivot(static_cast<std::size_t>(dim + 1), 0);
  for (int32_t r = 1; r <= rows; ++r) is_pivot[static_cast<std::size_t>(pivot[static_cast<std::size_t>(r)])] = 1;
  basis.assign(static_cast<std::size_t>(kBasisLead) * static_cast<std::size_t>(std::max(ndim, 1)), 0.0f);
  int32_t count = 0;
  for (int32_t c = dim; c >= 1; --c) {
    if (is_pivot[static_cast<std::size_t>(c)] != 0) continue;
    if (count >= ndim) return count + 1;
    float* vec = basis.data() + static_cast<std::size_t>(count) * kBasisLead;
    vec[dim - c] = 1.0f;
    for (int32_t r = 1; r <= rows; ++r) {
      const int32_t p = pivot[static_cast<std::size_t>(r)];
      vec[dim - p] = ratio(r, c, p);
    }
    ++count;
  }
  return count;
}

// Column c of the equation of basis function i of generator matrix d: D(i, dim + 1 - c), less 1
// on the diagonal.
int32_t equation_column(int32_t dim, int32_t c) { return dim + 1 - c; }

}  // namespace

bool invariant_subspace_single(const Tables& t, int32_t ir, const sgl::RationalVector& kpar,
                               std::span<const sgl::SpaceOp> gens, IrrepMatrixSource& matrices, std::vector<float>& basis,
                               int32_t& ndim) {
  const int32_t dim = t.little.little_irrep_dimension(ir);
  std::vector<float> e(static_cast<std::size_t>(kEquationRows) * static_cast<std::size_t>(dim), 0.0f);
  auto at = [&](int32_t r, int32_t c) -> float& {
    return e[static_cast<std::size_t>((c - 1) * kEquationRows + (r - 1))];
  };
  int32_t rows = 0;
  // Reduces the rows gathered so far and keeps those up to the last with a nonzero entry; false
  // when all 50 stay, which the carrier space (at most 48 dimensions) cannot hold: the zero test
  // has kept rounding errors.
  auto reduce = [&] {
    xrowop2(e, rows, dim, kEquationRows);
    int32_t last = 0;
    for (int32_t r = 1; r <= rows; ++r)
      for (int32_t c = 1; c <= dim; ++c)
        if (ncmp(at(r, c)) != 0) last = r;
    rows = last;
    return rows < kEquationRows;
  };
  for (std::size_t g = 0; g < gens.size(); ++g) {
    const IrrepMatrixView d = matrices.matrix(t, ir, gens[g], kpar);
    for (int32_t i = 1; i <= dim; ++i) {
      ++rows;
      for (int32_t c = 1; c <= dim; ++c) {
        const int32_t col = equation_column(dim, c);
        at(rows, c) = col == i ? store_single(wide(d(i, col)) - 1.0) : d(i, col);
      }
      if ((rows == kEquationRows || (g + 1 == gens.size() && i == dim)) && !reduce()) return false;
    }
  }
  std::vector<int32_t> pivot(static_cast<std::size_t>(rows + 1), 0);
  for (int32_t r = 1; r <= rows; ++r) {
    for (int32_t c = 1; c <= dim && pivot[static_cast<std::size_t>(r)] == 0; ++c)
      if (ncmp(at(r, c)) != 0) pivot[static_cast<std::size_t>(r)] = c;
    // A kept row without an entry above the zero test: the reduction has lost its pivot.
    if (pivot[static_cast<std::size_t>(r)] == 0) return false;
  }
  std::vector<float> found;
  const int32_t count = write_null_space(
      dim, pivot, [&](int32_t r, int32_t c, int32_t p) { return store_single(-wide(at(r, c)) / wide(at(r, p))); },
      dim - rows, found);
  // Two kept rows with one pivot column leave more free columns than the rank allows.
  if (count != dim - rows) return false;
  ndim = dim - rows;
  basis = std::move(found);
  return true;
}

void invariant_subspace_double(const Tables& t, int32_t ir, const sgl::RationalVector& kpar,
                               std::span<const sgl::SpaceOp> gens, IrrepMatrixSource& matrices, std::vector<float>& basis,
                               int32_t& ndim, RankExtremes* extremes) {
  const int32_t dim = t.little.little_irrep_dimension(ir);
  if (extremes != nullptr) ++extremes->reductions;
  // Room for the independent rows kept so far (at most dim) and the dim rows of one generator.
  const int32_t lead = 2 * dim;
  std::vector<double> e(static_cast<std::size_t>(lead) * static_cast<std::size_t>(dim), 0.0);
  auto at = [&](int32_t r, int32_t c) -> double& { return e[static_cast<std::size_t>((c - 1) * lead + (r - 1))]; };
  int32_t rows = 0;
  std::vector<int32_t> pivot(1, 0);
  for (const sgl::SpaceOp& g : gens) {
    const IrrepMatrixView d = matrices.matrix(t, ir, g, kpar);
    for (int32_t i = 1; i <= dim; ++i) {
      ++rows;
      for (int32_t c = 1; c <= dim; ++c) {
        const int32_t col = equation_column(dim, c);
        at(rows, c) = static_cast<double>(d(i, col)) - (col == i ? 1.0 : 0.0);
      }
    }
    // Gauss-Jordan with the largest remaining entry of each column as its pivot; a column whose
    // largest remaining entry is within the tolerance has no pivot, and those remainders are
    // rounding left of dependent rows, dropped with them.
    pivot.assign(1, 0);
    int32_t i = 1;
    for (int32_t c = 1; c <= dim && i <= rows; ++c) {
      int32_t best = i;
      for (int32_t r = i + 1; r <= rows; ++r)
        if (std::fabs(at(r, c)) > std::fabs(at(best, c))) best = r;
      const bool kept = !(std::fabs(at(best, c)) <= kRankTolerance);
      if (extremes != nullptr) extremes->note(std::fabs(at(best, c)), kept);
      if (!kept) continue;
      if (best != i)
        for (int32_t cc = 1; cc <= dim; ++cc) std::swap(at(i, cc), at(best, cc));
      const double p = at(i, c);
      for (int32_t cc = 1; cc <= dim; ++cc) at(i, cc) /= p;
      for (int32_t r = 1; r <= rows; ++r) {
        if (r == i || at(r, c) == 0.0) continue;
        const double f = at(r, c);
        for (int32_t cc = 1; cc <= dim; ++cc) at(r, cc) -= f * at(i, cc);
        at(r, c) = 0.0;
      }
      pivot.push_back(c);
      ++i;
    }
    rows = i - 1;
  }
  ndim = dim - rows;
  write_null_space(
      dim, pivot, [&](int32_t r, int32_t c, int32_t) { return store_single(-at(r, c)); }, ndim, basis);
}

void subgroup_to_orderparam(const Tables& t, int32_t ir, const sgl::RationalVector& kpar, std::vector<float>& basis,
                            int32_t& ndim, const sgl::Mat3i& v, std::span<const sgl::SpaceOp> ops,
                            IrrepMatrixSource* matrices, RankMargins* margins) {
  const int32_t sg = t.little.little_irrep_sg(ir);
  const int32_t dim = t.little.little_irrep_dimension(ir);
  if (dim < 1 || dim > kBasisLead) sgl::bomb();
  IrrepMatrixCache own;
  IrrepMatrixSource& source = matrices != nullptr ? *matrices : own;
  const std::vector<sgl::SpaceOp> gens = orderparam_generators(sg, v, ops);
  if (!invariant_subspace_single(t, ir, kpar, gens, source, basis, ndim)) {
    invariant_subspace_double(t, ir, kpar, gens, source, basis, ndim, margins != nullptr ? &margins->deciding : nullptr);
  } else if (margins != nullptr && margins->every_subspace) {
    std::vector<float> twice;
    int32_t ndouble = 0;
    invariant_subspace_double(t, ir, kpar, gens, source, twice, ndouble, &margins->measured);
    margins->compare(ndim, basis, ndouble, twice);
  }
}

void find_isotropy_subgroup(const Tables& t, int32_t ir, const sgl::RationalVector& kpar, int32_t& ndim,
                            std::vector<float>& basis, sgl::Mat3i& v, int32_t& nops, std::vector<sgl::SpaceOp>& ops,
                            IrrepMatrixSource* matrices, RankMargins* margins) {
  const int32_t sg = t.little.little_irrep_sg(ir);
  const int32_t lattice = t.space.sg_bravais(sg);
  const int32_t kx = t.little.little_irrep_kvec(ir);
  const KMatrix km = table_kmatrix(t.little, kx, lattice);
  sgl::RationalVector k = kmatrix_column(km, 1);
  for (int32_t p = 1; p <= t.little.kvec_parameter_count(kx, lattice); ++p) {
    sgl::RationalVector c = kmatrix_column(km, p + 1);
    for (int r = 0; r < 3; ++r) c[static_cast<std::size_t>(r)] *= kpar[static_cast<std::size_t>(p - 1)];
    c[3] *= kpar[3];
    sgl::vadd(k, c, k);
  }
  newlat(std::span<const sgl::RationalVector>(&k, 1), v);
  nops = 0;
  ops.clear();
  subgroup_to_orderparam(t, ir, kpar, basis, ndim, v, ops, matrices, margins);
  if (ndim == 0) sgl::bomb();
  const int32_t reality = t.little.little_irrep_reality(ir);
  const int32_t target = reality == 1 ? 1 : reality == 2 ? 4 : 2;
  if (ndim == target) return;
  const int32_t det = sgl::ndet(v);
  if (det > kMaxSuperlatticeCells) sgl::bomb();
  std::vector<sgl::RationalVector> fracs(static_cast<std::size_t>(std::abs(det)));
  int32_t nfrac = 0;
  sgl::get_new_fractionals(v, nfrac, fracs);
  int32_t nop = 0;
  std::array<sgl::SpaceOp, sgl::kMaxGroupOps> group{};
  sgl::generate_space_group(t.space, sg, nop, group);
  int32_t best = ndim;
  std::vector<float> trial_basis;
  for (int32_t g = 1; g < nop; ++g) {
    const sgl::SpaceOp& op = group[static_cast<std::size_t>(g)];
    for (int32_t f = 0; f < nfrac; ++f) {
      sgl::RationalVector tr{};
      sgl::vadd({op[0], op[1], op[2], op[3]}, fracs[static_cast<std::size_t>(f)], tr);
      ops.push_back({tr[0], tr[1], tr[2], tr[3], op[4]});
      int32_t trial = 0;
      subgroup_to_orderparam(t, ir, kpar, trial_basis, trial, v, ops, matrices, margins);
      if (trial == target) {
        nops = static_cast<int32_t>(ops.size());
        ndim = trial;
        basis = trial_basis;
        return;
      }
      if (trial != 0 && trial < best) {
        best = trial;
        basis = trial_basis;
        break;
      }
      ops.pop_back();
    }
  }
  nops = static_cast<int32_t>(ops.size());
  ndim = best;
}

}  // namespace vibrex
