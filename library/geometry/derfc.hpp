// The complementary error function in double precision, by three Chebyshev expansions (the
// method of SLATEC's DERFC), with its two helpers.
#pragma once

#include <span>

namespace sgl {

// erfc(x), about 2e-13 relative accuracy. Below xsml (about -5.2018) the result is 2, above xmax
// (about 9.1937) it is 0. The first call fixes the series lengths and the limits for the run.
double derfc(double x);

// The number of leading terms of the Chebyshev series os(1..nos) needed for the accuracy eta: the
// magnitudes are summed from the last term down, in single precision, until the sum exceeds eta.
// Stops the run with the stop text " At A in sderfc" when nos < 1, and with " At B in sderfc" when
// the last term alone exceeds eta.
int initds(std::span<const double> os, int nos, float eta);

// The Chebyshev series cs(1)/2 + sum over k >= 2 of cs(k) T(k-1)(x), by the Clenshaw recurrence.
// Stops the run with " At C in sderfc" when n < 1, " At D in sderfc" when n > 1000 and
// " At E in sderfc" when |x| > 1.000000000001.
double dcsevl(double x, std::span<const double> cs, int n);

// What the first call of derfc computes, for the tests: the lengths of the erf, erfc (x^2 > 4) and
// erfc (1 < x^2 <= 4) series, the limits and the bound below which the erf series is skipped.
struct DerfcFirstCall {
  int erf_terms;
  int erfc_terms;
  int erc2_terms;
  double xsml;
  double xmax;
  double sqeps;
};
const DerfcFirstCall& derfc_first_call();

}  // namespace sgl
