// The Ewald sum of point charges in a periodic cell.
#include "library/geometry/madelung_energy.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <new>
#include <stdexcept>
#include <vector>

#include "library/exact/linalg_support.hpp"
#include "library/geometry/derfc.hpp"
#include "library/geometry/lattice_metric.hpp"
#include "library/geometry/lattice_reduction.hpp"
#include "library/text/text_io.hpp"
#include "library/types.hpp"

namespace sgl {

namespace {

constexpr double kAccuracy = 1e-7;
constexpr int kMaxShell = 10;
// The single-precision value of 1/3, as the radius of the sphere of one cell's volume uses it.
constexpr double kOneThird = static_cast<double>(1.0f / 3.0f);

constexpr int idx(int i, int j) { return (j - 1) * 3 + (i - 1); }

// Calls visit(h1, h2, h3) for the integer triples whose largest magnitude is exactly m (shell 0:
// the origin alone), h1 slowest and h3 fastest, each from -m to m.
template <typename Visit>
void for_each_in_shell(int m, Visit&& visit) {
  for (int h1 = -m; h1 <= m; ++h1)
    for (int h2 = -m; h2 <= m; ++h2)
      for (int h3 = -m; h3 <= m; ++h3) {
        if (std::abs(h1) != m && std::abs(h2) != m && std::abs(h3) != m) continue;
        visit(h1, h2, h3);
      }
}

// The pair tables, lower triangle only (j <= i): differences r_i - r_j and the sum of everything
// that multiplies q_i q_j.
class PairTables {
 public:
  explicit PairTables(int n) : n_(n) {
    try {
      const std::size_t nn = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
      diff_.assign(3 * nn, 0.0);
      sum_.assign(nn, 0.0);
    } catch (const std::bad_alloc&) {
      fail_out_of_memory();
    } catch (const std::length_error&) {
      fail_out_of_memory();
    }
  }
  // Component c (1..3) of D(:, j, i), 1-based j and i.
  double* diff(int j, int i) { return &diff_[3 * slot(j, i)]; }
  double& sum(int j, int i) { return sum_[slot(j, i)]; }

 private:
  std::size_t slot(int j, int i) const {
    return static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(n_) +
           static_cast<std::size_t>(j - 1);
  }
  int n_;
  std::vector<double> diff_;
  std::vector<double> sum_;
};

}  // namespace

void madelung_energy(std::span<const double, 9> b_given, int n, std::span<const double> q,
                     std::span<const double> r, double& e) {
  if (n < 0) n = 0;
  linalg::require_storage(q.size(), n);
  linalg::require_storage(r.size(), int64_t{3} * n);

  // A shortened basis of the same lattice, or the given one when nothing shortens it.
  std::array<double, 9> b;
  for (int k = 0; k < 9; ++k) b[k] = b_given[k];
  {
    std::array<double, 9> g;
    dget_gmat2(b_given, g);
    Mat3i m;
    if (reduce_lattice_basis(g, m)) {
      for (int j = 1; j <= 3; ++j)
        for (int c = 1; c <= 3; ++c) {
          double sum = 0.0;
          for (int k = 1; k <= 3; ++k) sum += b_given[idx(c, k)] * static_cast<double>(m3(m, k, j));
          b[idx(c, j)] = sum;
        }
    }
  }
  auto a = [&](int i, int j) { return b[idx(i, j)]; };

  // Step 1: constants of the cell.
  PairTables tables(n);
  const double pi = 4.0 * std::atan2(1.0, 1.0);
  const double sqrt_pi = std::sqrt(pi);
  double volume = a(1, 1) * a(2, 2) * a(3, 3) + a(1, 2) * a(2, 3) * a(3, 1) +
                  a(1, 3) * a(2, 1) * a(3, 2) - a(1, 3) * a(2, 2) * a(3, 1) -
                  a(1, 1) * a(2, 3) * a(3, 2) - a(1, 2) * a(2, 1) * a(3, 3);
  if (volume < 0.0) volume = -volume;
  const double r0 = std::pow(3.0 * volume / (4.0 * pi), kOneThird);
  const double alpha = 1.5 * sqrt_pi / (2.0 * r0);
  const double alpha2 = alpha * alpha;

  // Step 2: the differences.
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= i; ++j) {
      double* d = tables.diff(j, i);
      for (int c = 0; c < 3; ++c) d[c] = r[3 * (i - 1) + c] - r[3 * (j - 1) + c];
    }

  // Step 3: the reciprocal vectors (the negatives of the usual ones for a left-handed basis;
  // only |k|^2 and cos(k . r) enter).
  const double two_pi_v = 2.0 * pi / volume;
  std::array<std::array<double, 3>, 3> g;
  for (int v = 0; v < 3; ++v) {
    const int p = (v + 1) % 3 + 1, s = (v + 2) % 3 + 1;  // b_p x b_s
    g[v][0] = two_pi_v * (a(2, p) * a(3, s) - a(3, p) * a(2, s));
    g[v][1] = two_pi_v * (a(3, p) * a(1, s) - a(1, p) * a(3, s));
    g[v][2] = two_pi_v * (a(1, p) * a(2, s) - a(2, p) * a(1, s));
  }

  // Step 4: the uniform background.
  const double background = -(pi / volume) / alpha2;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= i; ++j) tables.sum(j, i) = background;

  // Step 5: the reciprocal cut-off on |k|^2.
  const double four_pi_v = 4.0 * pi / volume;
  const double c = four_pi_v / kAccuracy;
  double k_cut = 4.0 * alpha2 * std::log(c);
  for (int step = 0; step < 2; ++step) k_cut = 4.0 * alpha2 * std::log(c / k_cut);

  // Step 6: the reciprocal sum; the whole first shell always enters.
  for (int m = 1; m <= kMaxShell; ++m) {
    int accepted = 0;
    for_each_in_shell(m, [&](int h1, int h2, int h3) {
      std::array<double, 3> k;
      for (int x = 0; x < 3; ++x) k[x] = h1 * g[0][x] + h2 * g[1][x] + h3 * g[2][x];
      const double k2 = k[0] * k[0] + k[1] * k[1] + k[2] * k[2];
      if (m != 1 && !(k2 < k_cut)) return;
      const double f = std::exp(-(0.25 * k2) / alpha2) * four_pi_v / k2;
      for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= i; ++j) {
          const double* d = tables.diff(j, i);
          tables.sum(j, i) += f * std::cos(k[0] * d[0] + k[1] * d[1] + k[2] * d[2]);
        }
      ++accepted;
    });
    if (m >= 2 && accepted == 0) break;
  }

  // Step 7: the real-space cut-off on squared distances.
  double rho = 1.0 / alpha2;
  for (int step = 0; step < 2; ++step) rho = -std::log(rho * sqrt_pi * alpha * kAccuracy) / alpha2;
  rho = rho * 1.5;

  // Step 8: the real-space sum, with the self term of each charge.
  const double self_term = -2.0 * alpha / sqrt_pi;
  for (int m = 0; m <= kMaxShell; ++m) {
    int added = 0;
    for_each_in_shell(m, [&](int p1, int p2, int p3) {
      std::array<double, 3> t;
      for (int x = 1; x <= 3; ++x) t[x - 1] = p1 * a(x, 1) + p2 * a(x, 2) + p3 * a(x, 3);
      for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= i; ++j) {
          const double* d = tables.diff(j, i);
          const double x0 = t[0] + d[0], x1 = t[1] + d[1], x2 = t[2] + d[2];
          const double d2 = x0 * x0 + x1 * x1 + x2 * x2;
          if (!(d2 < rho)) continue;
          if (i == j && m == 0) {
            tables.sum(j, i) += self_term;
          } else {
            const double dist = std::sqrt(d2);
            tables.sum(j, i) += derfc(alpha * dist) / dist;
          }
          ++added;
        }
    });
    if (m >= 2 && added == 0) break;
  }

  // Step 9: the charges enter once, at the end.
  double total = 0.0;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= i; ++j) {
      if (j == i)
        total += q[i - 1] * q[i - 1] * tables.sum(i, i);
      else
        total += 2.0 * q[i - 1] * q[j - 1] * tables.sum(j, i);
    }
  e = 0.5 * total;
}

}  // namespace sgl
