// Calls one lattice-geometry routine with arguments that make it stop, so that a test can check
// the message line on standard output, the stop text and the exit status. The argument names the
// case; "dcsevl_edge" calls the series evaluation just inside its limits and ends normally.
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "library/geometry/derfc.hpp"
#include "library/geometry/jacobi.hpp"
#include "library/geometry/magic_strain.hpp"

int main(int argc, char** argv) {
  const std::string which = argc > 1 ? argv[1] : "";
  const std::vector<double> series{1.0, 0.5, 0.25};
  if (which == "magic_singular") {
    const std::array<double, 9> flat{1, 0, 0, 0, 1, 0, 0, 0, 0};
    std::array<double, 9> b{1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::array<double, 3> s;
    sgl::magic_strain(flat, b, s);
  }
  if (which == "jacobi_nan") {
    std::vector<double> a{1, 0, 0, std::numeric_limits<double>::quiet_NaN(), 1, 0, 0, 0, 1};
    std::vector<double> d(3), v(9);
    sgl::jacobi(a, 3, d, v, 3);
  }
  if (which == "initds_empty") sgl::initds(series, 0, 1e-13f);
  if (which == "initds_short") sgl::initds(series, 3, 0.1f);  // the last term alone exceeds eta
  if (which == "dcsevl_empty") sgl::dcsevl(0.5, series, 0);
  if (which == "dcsevl_long") {
    const std::vector<double> long_series(1001, 0.0);
    sgl::dcsevl(0.5, long_series, 1001);
  }
  if (which == "dcsevl_outside") sgl::dcsevl(1.000000000002, series, 3);
  if (which == "dcsevl_edge") {
    const std::vector<double> full(1000, 0.0);
    sgl::dcsevl(1.000000000001, full, 1000);
    sgl::dcsevl(-1.000000000001, series, 1);
  }
  return 0;
}
