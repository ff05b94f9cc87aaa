// Linear equations A y = b modulo the integers, with integer coefficients.
#include "library/exact/solve_eqs_mod_int.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>
#include <vector>

#include "library/exact/linalg_support.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/exact/smith_normal_form.hpp"

namespace sgl {

namespace {

using linalg::at;
using linalg::WorkMatrix;

// The Smith form of the nrow x ncol matrix A: its diagonal d (max(nrow, ncol) entries, zero
// beyond the matrix), P and Q.
struct SmithForm {
  std::vector<int64_t> d;
  WorkMatrix p;
  WorkMatrix q;
};

SmithForm smith_of(std::span<const int32_t> a, int nrow, int ncol, int nrow1, const char* routine) {
  WorkMatrix s(nrow, ncol);
  linalg::load(s, a, nrow, ncol, nrow1);
  SmithForm f{std::vector<int64_t>(static_cast<std::size_t>(std::max(nrow, ncol)), 0),
              WorkMatrix(nrow, nrow), WorkMatrix(ncol, ncol)};
  linalg::smith_work(s, f.p, f.q, routine);
  for (int i = 1; i <= std::min(nrow, ncol); ++i) f.d[i - 1] = s(i, i);
  return f;
}

constexpr const char* kSolve = "solve_eqs_mod_int";

// lcm(a, b) for positive a and b, checked.
int64_t lcm64(int64_t a, int64_t b) { return mul64(a / std::gcd(a, b), b, kSolve); }

}  // namespace

void solve_eqs_mod_int(int mode, int nrow, int ncol, std::span<const int32_t> a, int nrow1,
                       std::span<const int32_t> b, int32_t m, int32_t& nsol, std::span<int32_t> x,
                       int nrow2, int ncol2, int32_t& den, int32_t& nnull, std::span<int32_t> null,
                       int nrow3) {
  if (nrow1 < nrow) linalg::stop_with_message(linalg::msg::kNrow1TooSmall);
  if (nrow2 < ncol) linalg::stop_with_message(linalg::msg::kNrow2TooSmall);
  if (m == 0) linalg::stop_with_message(linalg::msg::kZeroDenominator);
  nrow = std::max(nrow, 0);
  ncol = std::max(ncol, 0);
  linalg::require_storage(b.size(), nrow);
  const SmithForm f = smith_of(a, nrow, ncol, nrow1, kSolve);
  const int k = std::max(nrow, ncol);

  // b / m with a positive denominator: the same right-hand side.
  const int64_t den_b = m < 0 ? -static_cast<int64_t>(m) : m;
  const int64_t sign_b = m < 0 ? -1 : 1;

  // c = P b; an entry that is a whole multiple of the denominator is 0 modulo the integers.
  std::vector<int64_t> c(static_cast<std::size_t>(k), 0);
  for (int i = 1; i <= nrow; ++i) {
    int64_t sum = 0;
    for (int j = 1; j <= nrow; ++j)
      sum = add64(sum, mul64(f.p(i, j), sign_b * b[j - 1], kSolve), kSolve);
    c[i - 1] = sum % den_b == 0 ? 0 : sum;
  }
  for (int i = 0; i < k; ++i) {
    if (f.d[i] == 0 && c[i] != 0) {
      nsol = 0;
      return;
    }
  }

  std::vector<int> pivots;  // the unknowns i (1-based, up to ncol) with d(i) not 0
  for (int i = 1; i <= ncol; ++i)
    if (f.d[i - 1] != 0) pivots.push_back(i);

  if (pivots.empty()) {
    if (ncol2 < 1) linalg::stop_with_message(linalg::msg::kNcol2TooSmall);
    linalg::require_storage(x.size(), ncol);
    for (int i = 1; i <= ncol; ++i) x[at(i, 1, nrow2)] = 0;
    den = 1;
    nsol = 1;
  } else {
    int64_t lcm = 1;
    for (int i : pivots) lcm = lcm64(lcm, f.d[i - 1]);
    const int64_t big_m = mul64(lcm, den_b, kSolve);  // the common denominator before reduction

    int64_t count = 1;
    if (mode != 1)
      for (int i : pivots) count = mul64(count, f.d[i - 1], kSolve);
    if (ncol2 < count) linalg::stop_with_message(linalg::msg::kNcol2TooSmall);
    const int32_t nsolutions = narrow32(count, kSolve);
    linalg::require_storage(x.size(), linalg::storage_needed(ncol, nsolutions, nrow2));

    // y(w, i) = M (c(i) / m + w) / d(i): M times a solution of d(i) z(i) = c(i) / m mod 1.
    std::vector<std::vector<int64_t>> y(static_cast<std::size_t>(ncol));
    for (int i : pivots) {
      const int64_t d = f.d[i - 1];
      const int64_t nw = mode == 1 ? 1 : d;
      for (int64_t w = 0; w < nw; ++w)
        y[i - 1].push_back(
            add64(mul64(c[i - 1], big_m, kSolve) / den_b / d, mul64(w, big_m, kSolve) / d, kSolve));
    }

    // Solution s takes y(digit(j), j) for each pivot j, s - 1 written in mixed radix over the d(j)
    // with the first pivot the fastest digit.
    std::vector<int64_t> numerators;  // M first, then x(1,1), x(2,1), ..., x(ncol, nsol)
    numerators.reserve(static_cast<std::size_t>(ncol) * nsolutions + 1);
    numerators.push_back(big_m);
    std::vector<int64_t> chosen(static_cast<std::size_t>(ncol), 0);
    for (int s = 1; s <= nsolutions; ++s) {
      int64_t t = s - 1;
      for (int j : pivots) {
        const int64_t d = static_cast<int64_t>(y[j - 1].size());
        chosen[j - 1] = y[j - 1][static_cast<std::size_t>(t % d)];
        t /= d;
      }
      for (int i = 1; i <= ncol; ++i) {
        int64_t sum = 0;
        for (int j : pivots) sum = add64(sum, mul64(f.q(i, j), chosen[j - 1], kSolve), kSolve);
        sum %= big_m;
        numerators.push_back(sum < 0 ? sum + big_m : sum);
      }
    }
    factor64(numerators, kSolve);
    std::size_t next = 1;
    for (int s = 1; s <= nsolutions; ++s)
      for (int i = 1; i <= ncol; ++i)
        x[at(i, s, nrow2)] = narrow32(numerators[next++], kSolve);
    den = narrow32(numerators[0], kSolve);
    nsol = nsolutions;
  }

  if (mode == 1) return;
  int32_t free_count = 0;
  for (int i = 1; i <= ncol; ++i)
    if (f.d[i - 1] == 0) ++free_count;
  nnull = free_count;
  if (free_count == 0) return;
  if (nrow3 < free_count) linalg::stop_with_message(linalg::msg::kNrow3TooSmall);
  linalg::require_storage(null.size(), linalg::storage_needed(free_count, ncol, nrow3));
  int row = 0;
  std::vector<int64_t> column(static_cast<std::size_t>(ncol));
  for (int i = 1; i <= ncol; ++i) {
    if (f.d[i - 1] != 0) continue;
    ++row;
    for (int j = 1; j <= ncol; ++j) column[j - 1] = f.q(j, i);
    factor64(column, kSolve);
    for (int j = 1; j <= ncol; ++j)
      null[at(row, j, nrow3)] = narrow32(column[j - 1], kSolve);
  }
}

void dsolve_eqs_mod_int(int nrow, int ncol, std::span<const int32_t> a, int nrow1,
                        std::span<const double> b, std::span<double> y, int32_t& flag) {
  if (nrow1 < nrow) linalg::stop_with_message(linalg::msg::kNrow1TooSmall);
  nrow = std::max(nrow, 0);
  ncol = std::max(ncol, 0);
  linalg::require_storage(b.size(), nrow);
  const SmithForm f = smith_of(a, nrow, ncol, nrow1, "dsolve_eqs_mod_int");
  std::vector<double> z(f.d.size(), 0.0);
  for (int i = 1; i <= nrow; ++i) {
    double c = 0.0;
    for (int j = 1; j <= nrow; ++j) c += static_cast<double>(f.p(i, j)) * b[j - 1];
    if (!std::isfinite(c)) linalg::stop_with_message(linalg::msg::kRhsNotFinite);
    // Into whole units: the result lies in [-1e-6, 1 - 1e-6).
    c = linalg::reduce_by_whole_steps(
        c, [](double t) { return t > 1.0 || !ncmpd(t - 1.0); },
        [](double t) { return ncmpd(t) && t < 0.0; });
    const int64_t d = f.d[i - 1];
    if (d != 0) {
      z[i - 1] = c / static_cast<double>(d);
    } else if (ncmpd(c)) {
      flag = 1;
      return;
    }
  }
  flag = 0;
  linalg::require_storage(y.size(), ncol);
  for (int i = 1; i <= ncol; ++i) {
    double sum = 0.0;
    for (int j = 1; j <= ncol; ++j) sum += static_cast<double>(f.q(i, j)) * z[j - 1];
    y[i - 1] = sum;
  }
}

}  // namespace sgl
