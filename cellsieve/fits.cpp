// Helpers shared by the operation search and the group fits: the integer matrix of a rotation in
// a lattice basis, the strain fit, the minimum-norm fit with its read-back, and the rms strain.
#include <cmath>

#include "cellsieve/real_equations.hpp"
#include "cellsieve/real_helpers.hpp"
#include "cellsieve/run.hpp"
#include "cellsieve/search.hpp"

namespace cellsieve {

Mat3 integer_matrix(const Mat3& p, const Mat3& p_inv, const Mat3& r) {
  Mat3 m{};
  matrix_mlt(p_inv, r, m);
  matrix_mlt(m, p, m);
  for (double& v : m) v = std::round(v);
  return m;
}

namespace {

// The column of the entry (l, i) of the relative basis change.
constexpr int32_t change_var(int l, int i) { return 9 + 3 * (i - 1) + l; }

}  // namespace

void start_strain_equations(Tables& t, const Mat3& p_inv, const Vec3& len, int32_t& neq) {
  t.start_system(kStrainVars);
  const int32_t rhs = kStrainVars + 1;
  for (int m = 1; m <= 3; ++m)
    for (int l = 1; l <= 3; ++l) {
      // H(l, m) - sum over i of D(l, i) P^-1(i, m) = 0.
      const int32_t e = neq + 1;
      t.before_equation(e);
      for (int32_t v = 1; v <= rhs; ++v) t.eqs(v, e) = 0.0;
      t.eqs(3 * (m - 1) + l, e) = 1.0;
      for (int i = 1; i <= 3; ++i) t.eqs(change_var(l, i), e) = -len[i - 1] * at(p_inv, i, m);
      neq = e;
    }
}

void append_strain_equations(Tables& t, const Mat3& p, const Vec3& len, const Mat3& r, const Mat3& n,
                             int32_t& neq) {
  t.start_system(kStrainVars);
  const int32_t rhs = kStrainVars + 1;
  Mat3 pn{}, rp{};
  matrix_mlt(p, n, pn);
  matrix_mlt(r, p, rp);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      // Entry (j, i) of R D - D N = P N - R P.
      const int32_t e = neq + 1;
      t.before_equation(e);
      for (int32_t v = 1; v <= rhs; ++v) t.eqs(v, e) = 0.0;
      t.eqs(rhs, e) = at(pn, j, i) - at(rp, j, i);
      for (int l = 1; l <= 3; ++l) {
        t.eqs(change_var(l, i), e) += len[i - 1] * at(r, j, l);
        t.eqs(change_var(j, l), e) -= at(n, l, i) * len[l - 1];
      }
      neq = e;
    }
}

bool fit_strain(Tables& t, int32_t neq, const Vec3& len, Mat3& d) {
  std::vector<double> x;
  if (!fit_min_norm(t, neq, kStrainVars, 1, 9, x)) return false;
  for (int i = 1; i <= 3; ++i)
    for (int l = 1; l <= 3; ++l) at(d, l, i) = len[i - 1] * x[change_var(l, i)];
  return true;
}

bool fit_min_norm(Tables& t, int32_t neq, int32_t nvar, int32_t lo, int32_t hi, std::vector<double>& x) {
  t.before_minimize(neq, nvar);
  int32_t flag = 0;
  minimize_variables(t.eqs.from_column(1), neq, nvar, lo, hi, flag, t.max_vars, t.pivot_vars.from_column(1),
                     t.free_vars.from_column(1));
  if (flag != 0) return false;
  x.assign(static_cast<std::size_t>(nvar) + 1, 0.0);
  for (int32_t k = 1; k <= nvar; ++k) {
    if (k > neq) return false;
    int32_t pivot = 0;
    for (int32_t m = 1; m <= nvar && pivot == 0; ++m)
      if (ncmpd(t.eqs(m, k)) != 0) pivot = m;
    if (pivot != k) return false;
    x[k] = t.eqs(nvar + 1, k);
  }
  return true;
}

double rms_strain_of(const Mat3& p_inv, const Mat3& d) {
  // H = D P^-1 is the displacement gradient that carries the lattice P onto P + D. The principal
  // stretches l of I + H are the square roots of the eigenvalues of (I + H)^T (I + H) = I + C,
  // C = H + H^T + H^T H; the principal strains l - 1 are formed as mu / (1 + sqrt(1 + mu)) from
  // the eigenvalues mu of C, so that small strains keep their digits.
  Mat3 h{};
  matrix_mlt(d, p_inv, h);
  Mat3 c{};
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) {
      double sum = 0.0;
      for (int k = 1; k <= 3; ++k) sum += at(h, k, i) * at(h, k, j);
      at(c, i, j) = (at(h, i, j) + at(h, j, i)) + sum;
    }
  Vec3 mu{};
  jacobi(c, mu);
  double sum2 = 0.0;
  for (double m : mu) {
    const double e = m / (1.0 + std::sqrt(1.0 + m));
    sum2 += e * e;
  }
  return std::sqrt(sum2 / 3.0);
}

double Run::rms_position(const Mat3& ps, const Mat3& ps_inv, const Grid<double>& fitted) const {
  double sum2 = 0.0;
  for (int32_t i = 1; i <= s.natoms; ++i) {
    Vec3 z{};
    vector_mlt(s.cell_inv, {s.atom_pos(1, i), s.atom_pos(2, i), s.atom_pos(3, i)}, z);
    vector_mlt(search.cell_in_prim, z, z);
    vector_mlt(ps, z, z);
    Vec3 dd{};
    vector_sub(column(fitted, atoms.atom_orbit(i)), z, dd);
    Vec3 dn{};
    near_origin(ps_inv, ps, dd, dn);
    sum2 += dn[0] * dn[0] + dn[1] * dn[1] + dn[2] * dn[2];
  }
  return std::sqrt(sum2 / static_cast<double>(s.natoms));
}

}  // namespace cellsieve
