// Calls one linear-algebra routine with arguments that make it stop, so that a test can check the
// message line on standard output and the stop. The argument names the case.
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "library/geometry/real_vector.hpp"
#include "library/exact/row_operations.hpp"
#include "library/exact/smith_normal_form.hpp"
#include "library/exact/solve_eqs_mod_int.hpp"

int main(int argc, char** argv) {
  const std::string which = argc > 1 ? argv[1] : "";
  const std::vector<int32_t> a{2, 0, 0, 2}, zero(4, 0);
  const std::vector<int32_t> b{1, 1}, whole{2, 4};
  std::vector<int32_t> x(64), null(64);
  int32_t nsol = 0, den = 0, nnull = 0;
  std::vector<double> y(2);
  int32_t flag = 0;
  if (which == "nrow1")
    sgl::solve_eqs_mod_int(0, 2, 2, a, 1, b, 2, nsol, x, 2, 8, den, nnull, null, 2);
  if (which == "nrow2")
    sgl::solve_eqs_mod_int(0, 2, 2, a, 2, b, 2, nsol, x, 1, 8, den, nnull, null, 2);
  if (which == "ncol2")
    sgl::solve_eqs_mod_int(0, 2, 2, a, 2, b, 2, nsol, x, 2, 3, den, nnull, null, 2);
  if (which == "nrow3")
    sgl::solve_eqs_mod_int(0, 2, 2, zero, 2, whole, 2, nsol, x, 2, 8, den, nnull, null, 1);
  if (which == "zero_m")
    sgl::solve_eqs_mod_int(0, 2, 2, a, 2, b, 0, nsol, x, 2, 8, den, nnull, null, 2);
  if (which == "overflow") {
    std::vector<int32_t> big{2, 3, 1, 0, 0, 2147483647};  // ((2, 1, 0), (3, 0, 2147483647))
    sgl::rowop2(big, 2, 3, 2);
  }
  if (which == "smith_overflow") {  // P and Q of this matrix need entries beyond 32 bits
    std::vector<int32_t> wide{3,  -5, 6,  3,  -9, 11, 4,   6,  -8, 8,  12, -7, 6,
                              -7, 9,  -1, -5, 11, 1,  -10, -7, 8,  -1, -7, 3};
    std::vector<int32_t> p(25), q(25);
    sgl::smith_normal_form(wide, 5, 5, 5, p, 5, q, 5);
  }
  if (which == "dsolve_nrow1")
    sgl::dsolve_eqs_mod_int(2, 2, a, 1, std::vector<double>{0.5, 0.5}, y, flag);
  if (which == "dsolve_inf")
    sgl::dsolve_eqs_mod_int(
        2, 2, a, 2, std::vector<double>{0.5, std::numeric_limits<double>::infinity()}, y, flag);
  if (which == "wrap_nan") {
    std::array<double, 3> v{0.5, std::numeric_limits<double>::quiet_NaN(), 0.5};
    sgl::zero_to_one(v);
  }
  return 0;
}
