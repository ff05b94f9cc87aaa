// The displacement fit, orbit by orbit.
#include "cellsieve/displacement_fit.hpp"

#include "cellsieve/real_equations.hpp"
#include "cellsieve/search.hpp"

namespace cellsieve {

// Places of the atoms: later orbits from place 1 on, the first orbit last.
void assign_places(const DisplacementProblem& p, DisplacementSolution& s) {
  s.place.assign(static_cast<std::size_t>(p.nred) + 1, 0);
  int32_t next = 1;
  for (std::size_t o = 1; o < p.orbits.size(); ++o)
    for (int32_t a : p.orbits[o]) s.place[a] = next++;
  for (int32_t a : p.orbits[0]) s.place[a] = next++;
}

bool read_back(Tables& t, const DisplacementProblem& p, int32_t neq, DisplacementSolution& s) {
  const int32_t ntr = 3 * p.ngen;
  const int32_t nvar = 3 * (p.nred + p.ngen);
  std::vector<double> x;
  if (!fit_min_norm(t, neq, nvar, ntr + 1, nvar, x)) return false;
  s.corr.assign(static_cast<std::size_t>(p.ngen), Vec3{});
  s.disp.assign(static_cast<std::size_t>(p.nred) + 1, Vec3{});
  for (int32_t g = 0; g < p.ngen; ++g)
    for (int k = 0; k < 3; ++k) s.corr[g][k] = x[3 * g + k + 1];
  for (int32_t a = 1; a <= p.nred; ++a)
    for (int k = 0; k < 3; ++k) s.disp[a][k] = x[ntr + 3 * (s.place[a] - 1) + k + 1];
  return true;
}

bool fit_displacements(Tables& t, const DisplacementProblem& p, DisplacementSolution& s) {
  assign_places(p, s);
  const int32_t ntr = 3 * p.ngen;
  const int32_t nvar = 3 * (p.nred + p.ngen);
  t.start_system(nvar);
  const std::vector<int32_t>& first = p.orbits[0];
  const int32_t s1 = static_cast<int32_t>(first.size());
  const int32_t first_col = nvar - 3 * s1;  // the first orbit's displacements: first_col + 1..nvar

  // Position of each atom within its orbit.
  std::vector<int32_t> pos(static_cast<std::size_t>(p.nred) + 1, 0);
  for (const auto& orbit : p.orbits)
    for (std::size_t q = 0; q < orbit.size(); ++q) pos[orbit[q]] = static_cast<int32_t>(q);

  // The first orbit alone: [c] [its displacements] [right-hand side].
  int32_t neq = 0;
  {
    const int32_t ncol = ntr + 3 * s1 + 1;
    auto col = [&](int32_t m) { return ntr + 3 * pos[m]; };
    for (int32_t a : first)
      for (int32_t g = 0; g < p.ngen; ++g)
        for (int k = 1; k <= 3; ++k) {
          t.before_equation(neq + 1);
          write_equation(t, p, ++neq, ncol, a, g, k, col);
        }
    solve_eqs(t.eqs.from_column(1), neq, ncol, t.max_vars);
    rm_zero_eqs(t.eqs.from_column(1), neq, ncol, t.max_vars);
    for (int32_t e = 1; e <= neq; ++e) {
      for (int32_t m = ncol; m > ntr; --m) t.eqs(first_col + (m - ntr), e) = t.eqs(m, e);
      for (int32_t m = ntr + 1; m <= first_col; ++m) t.eqs(m, e) = 0.0;
    }
  }
  int32_t boundary = ntr;
  int32_t last = neq;
  int32_t c0 = ntr;

  // Every later orbit in a block: [c] [its displacements] [first orbit] [right-hand side].
  for (std::size_t o = 1; o < p.orbits.size(); ++o) {
    const std::vector<int32_t>& orbit = p.orbits[o];
    const int32_t sz = static_cast<int32_t>(orbit.size());
    const int32_t own = ntr + 3 * sz;  // block columns of the first orbit: own + 1..own + 3 s1
    const int32_t width = own + 3 * s1;
    const int32_t ncol = width + 1;
    int32_t e = last;
    const int32_t start = last + 1;
    auto copy_first_orbit = [&](int32_t from, int32_t to) {
      for (int32_t m = 1; m <= 3 * s1; ++m) t.eqs(own + m, to) = t.eqs(first_col + m, from);
      t.eqs(ncol, to) = t.eqs(nvar + 1, from);
    };
    for (int32_t j = 1; j <= ntr; ++j) {
      t.before_equation(e + 1);
      ++e;
      for (int32_t m = 1; m <= ncol; ++m) t.eqs(m, e) = 0.0;
      t.eqs(j, e) = 1.0;
      copy_first_orbit(j, e);
    }
    auto col = [&](int32_t m) { return ntr + 3 * pos[m]; };
    for (int32_t a : orbit)
      for (int32_t g = 0; g < p.ngen; ++g)
        for (int k = 1; k <= 3; ++k) {
          t.before_equation(e + 1);
          write_equation(t, p, ++e, ncol, a, g, k, col);
        }
    for (int32_t r = boundary + 1; r <= last; ++r) {
      t.before_equation(e + 1);
      ++e;
      for (int32_t m = 1; m <= own; ++m) t.eqs(m, e) = 0.0;
      copy_first_orbit(r, e);
    }
    int32_t nblock = e - last;
    auto block = t.eqs.from_column(start);
    solve_eqs(block, nblock, ncol, t.max_vars);
    rm_zero_eqs(block, nblock, ncol, t.max_vars);

    // The rows after the translation rows replace the stored rows from the boundary on.
    int32_t row = boundary;
    int32_t new_boundary = boundary;
    std::vector<double> local(static_cast<std::size_t>(ncol) + 1);
    for (int32_t r = ntr + 1; r <= nblock; ++r) {
      const int32_t src = start + r - 1;
      for (int32_t m = 1; m <= ncol; ++m) local[m] = t.eqs(m, src);
      ++row;
      for (int32_t m = 1; m <= nvar + 1; ++m) t.eqs(m, row) = 0.0;
      bool involves = false;
      for (int32_t m = 1; m <= 3 * sz; ++m) {
        t.eqs(c0 + m, row) = local[ntr + m];
        if (ncmpd(local[ntr + m]) != 0) involves = true;
      }
      for (int32_t m = 1; m <= 3 * s1; ++m) t.eqs(first_col + m, row) = local[own + m];
      t.eqs(nvar + 1, row) = local[ncol];
      if (involves) new_boundary = row;
    }
    boundary = new_boundary;
    last = row;
    c0 += 3 * sz;
  }
  return read_back(t, p, last, s);
}

}  // namespace cellsieve
