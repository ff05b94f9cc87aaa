// Helpers shared by the operation search and the group fits: the integer matrix of a rotation in
// a lattice basis, the strain equations, the minimum-norm fit with its read-back, and the rms
// strain.
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

void append_strain_equations(Tables& t, const Mat3& p, const Vec3& len, const Mat3& r, const Mat3& n,
                             int32_t& neq) {
  t.start_system(9);
  Mat3 pn{}, rp{};
  matrix_mlt(p, n, pn);
  matrix_mlt(r, p, rp);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      const int32_t e = neq + 1;
      t.before_equation(e);
      for (int m = 1; m <= 9; ++m) t.eqs(m, e) = 0.0;
      t.eqs(10, e) = at(pn, j, i) - at(rp, j, i);
      for (int l = 1; l <= 3; ++l) {
        t.eqs(3 * (i - 1) + l, e) += len[i - 1] * at(r, j, l);
        t.eqs(3 * (l - 1) + j, e) -= at(n, l, i) * len[l - 1];
      }
      neq = e;
    }
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

Mat3 strain_change(const Vec3& len, const std::vector<double>& x) {
  Mat3 d{};
  for (int i = 1; i <= 3; ++i)
    for (int l = 1; l <= 3; ++l) at(d, l, i) = len[i - 1] * x[3 * (i - 1) + l];
  return d;
}

double rms_strain_of(const Mat3& p_inv, const Mat3& d) {
  Mat3 e{};
  matrix_mlt(p_inv, d, e);
  for (int a = 1; a <= 3; ++a)
    for (int b = a + 1; b <= 3; ++b) {
      const double m = 0.5 * (at(e, a, b) + at(e, b, a));
      at(e, a, b) = m;
      at(e, b, a) = m;
    }
  Vec3 lambda{};
  jacobi(e, lambda);
  return std::sqrt((lambda[0] * lambda[0] + lambda[1] * lambda[1] + lambda[2] * lambda[2]) / 3.0);
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
