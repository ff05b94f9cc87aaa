// The displacement fit of the operation search and of the group fits: the smallest atomic
// displacements d (and free corrections c of the generators' translations) that make a structure
// exactly symmetric under G generators.
//
// For every reduced atom a, generator g and component k one equation
//   c_g,k + sum_i R_g(k, i) d_a,i - d_b,k = -r_k,
// b the atom that g carries a onto (in the same orbit as a) and r the residual of the unfitted
// structure. Variables: c_1..c_G (3 each, first), then the displacements by place: the members
// of orbits 2, 3, ... take places 1, 2, ... in orbit and member order, the first orbit the last
// places. The solution minimises the sum of squared displacements.
//
// fit_displacements reduces the system one orbit at a time: the first orbit on its own, then
// each later orbit in a block holding the translation rows, its own equations and the rows of the
// first orbit alone, so the table never holds more than the rank so far plus one block.
// Assembling the whole system at once gives the same solution; the tests keep that literal
// version as their reference, from the building blocks below.
#pragma once

#include <cstdint>
#include <vector>

#include "cellsieve/real_helpers.hpp"
#include "cellsieve/tables.hpp"

namespace cellsieve {

struct DisplacementProblem {
  int32_t ngen = 1;
  int32_t nred = 0;
  std::vector<Mat3> rot;                     // [g]: rotation of generator g (0-based g)
  std::vector<std::vector<int32_t>> image;   // [g][a]: image of atom a (1-based a, entry 0 unused)
  std::vector<std::vector<Vec3>> resid;      // [g][a]: residual r of the equation of a and g
  std::vector<std::vector<int32_t>> orbits;  // the orbits, members in order; orbits[0] is the first
};

struct DisplacementSolution {
  std::vector<Vec3> corr;    // [g]: translation correction of generator g
  std::vector<Vec3> disp;    // [a]: displacement of atom a (1-based, entry 0 unused)
  std::vector<int32_t> place;  // [a]: place of atom a in the variables
};

// False when the equations contradict each other or the solution cannot be read back.
bool fit_displacements(Tables& t, const DisplacementProblem& p, DisplacementSolution& s);

// The building blocks of the fit. The places of the atoms among the variables (later orbits from
// place 1 on, the first orbit last).
void assign_places(const DisplacementProblem& p, DisplacementSolution& s);

// Writes into equation e (ncol columns, the right-hand side last) the equation of atom a under
// generator g, component k: the column of translation correction j is j, that of the displacement
// of atom m, component i, is col(m) + i.
template <typename Column>
void write_equation(Tables& t, const DisplacementProblem& p, int32_t e, int32_t ncol, int32_t a, int32_t g,
                    int k, Column col) {
  for (int32_t m = 1; m <= ncol; ++m) t.eqs(m, e) = 0.0;
  const int32_t b = p.image[g][a];
  t.eqs(3 * g + k, e) = 1.0;
  t.eqs(col(b) + k, e) = -1.0;
  for (int i = 1; i <= 3; ++i) t.eqs(col(a) + i, e) += at(p.rot[g], k, i);
  t.eqs(ncol, e) = -p.resid[g][a][k - 1];
}

// The minimum-norm solution of the neq reduced equations in the full variable order, read back
// into the corrections and the displacements; false when there is none.
bool read_back(Tables& t, const DisplacementProblem& p, int32_t neq, DisplacementSolution& s);

}  // namespace cellsieve
