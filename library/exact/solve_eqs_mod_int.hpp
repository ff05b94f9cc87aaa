// Linear equations A y = b modulo the integers, with integer coefficients.
#pragma once

#include <cstdint>
#include <span>

namespace sgl {

// Solves A y = b / m modulo integers (every component of A y - b / m an integer), A with nrow
// rows, ncol columns and leading dimension nrow1 (not changed).
//   mode 1: one solution (the one with the free unknowns 0); any other mode: all solutions that
//   differ modulo the integers and the null space, and the null space.
//   nsol: the number of solutions, 0 when the equations are inconsistent (nothing else written).
//   x (leading dimension nrow2 >= ncol, ncol2 columns >= nsol): column s holds the numerators of
//   solution s over the common denominator den, each value in [0, 1).
//   nnull, null (leading dimension nrow3 >= nnull; not written in mode 1): row k holds the integer
//   null-space vector k, without a common factor.
// Dimensions too small stop the run after a message line; so does m == 0. A negative m is taken
// as -m with -b. Computed in 64 bits; values that do not fit 32 bits stop the run (message and
// bomb()).
void solve_eqs_mod_int(int mode, int nrow, int ncol, std::span<const int32_t> a, int nrow1,
                       std::span<const int32_t> b, int32_t m, int32_t& nsol, std::span<int32_t> x,
                       int nrow2, int ncol2, int32_t& den, int32_t& nnull, std::span<int32_t> null,
                       int nrow3);

// Solves A y = b modulo integers for a real right-hand side, with the zero test 1e-6: flag 0 and
// one solution y (ncol values, not reduced modulo 1; free unknowns 0), or flag 1 when the
// equations have no solution (y not written). nrow1 < nrow stops the run after a message line,
// a non-finite right-hand side too.
void dsolve_eqs_mod_int(int nrow, int ncol, std::span<const int32_t> a, int nrow1,
                        std::span<const double> b, std::span<double> y, int32_t& flag);

}  // namespace sgl
