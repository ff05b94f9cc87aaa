// The complementary error function by Chebyshev expansions.
#include "library/geometry/derfc.hpp"

#include <cmath>
#include <cstddef>

#include "library/exact/linalg_support.hpp"
#include "library/geometry/derfc_series.hpp"
#include "library/text/text_io.hpp"

namespace sgl {

namespace {

// Fixed machine constants: the relative precision the series aim at and the smallest positive
// number whose erfc is still represented.
constexpr double kPrecision = 1e-12;
constexpr double kSmallest = 1e-38;
constexpr double kSqrtPi = 1.772453850905516;
constexpr double kOnePlus = 1.000000000001;

DerfcFirstCall compute_first_call() {
  using namespace derfc_series;
  DerfcFirstCall state{};
  // The 0.1 is a single-precision constant and the accuracy is kept in single precision.
  const float eta = static_cast<float>(static_cast<double>(0.1f) * kPrecision);
  state.erf_terms = initds(erf_series, static_cast<int>(erf_series.size()), eta);
  state.erfc_terms = initds(erfc_series, static_cast<int>(erfc_series.size()), eta);
  state.erc2_terms = initds(erc2_series, static_cast<int>(erc2_series.size()), eta);
  state.xsml = -std::sqrt(-std::log(kSqrtPi * kPrecision));
  const double t = std::sqrt(-std::log(kSqrtPi * kSmallest));
  state.xmax = t - 0.5 * std::log(t) / t - 0.01;
  state.sqeps = std::sqrt(2.0 * kPrecision);
  return state;
}

}  // namespace

const DerfcFirstCall& derfc_first_call() {
  static const DerfcFirstCall state = compute_first_call();
  return state;
}

int initds(std::span<const double> os, int nos, float eta) {
  if (nos < 1) stop_run(" At A in sderfc");
  linalg::require_storage(os.size(), nos);
  float err = 0.0f;
  int i = nos;
  for (int ii = 1; ii <= nos; ++ii) {
    i = nos + 1 - ii;
    err = static_cast<float>(static_cast<double>(err) +
                             std::fabs(os[static_cast<std::size_t>(i - 1)]));
    if (err > eta) break;
  }
  if (i == nos) stop_run(" At B in sderfc");
  return i;
}

double dcsevl(double x, std::span<const double> cs, int n) {
  if (n < 1) stop_run(" At C in sderfc");
  if (n > 1000) stop_run(" At D in sderfc");
  if (std::fabs(x) > kOnePlus) stop_run(" At E in sderfc");
  linalg::require_storage(cs.size(), n);
  double b0 = 0.0, b1 = 0.0, b2 = 0.0;
  const double twox = 2.0 * x;
  for (int i = n; i >= 1; --i) {
    b2 = b1;
    b1 = b0;
    b0 = twox * b1 - b2 + cs[static_cast<std::size_t>(i - 1)];
  }
  return 0.5 * (b0 - b2);
}

double derfc(double x) {
  using namespace derfc_series;
  const DerfcFirstCall& s = derfc_first_call();
  if (x <= s.xsml) return 2.0;
  if (x > s.xmax) return 0.0;
  double y = std::fabs(x);
  if (y <= 1.0) {
    if (y < s.sqeps) return 1.0 - 2.0 * x / kSqrtPi;
    return 1.0 - x * (1.0 + dcsevl(2.0 * x * x - 1.0, erf_series, s.erf_terms));
  }
  y = y * y;
  double result;
  if (y <= 4.0)
    result = std::exp(-y) / std::fabs(x) *
             (0.5 + dcsevl((8.0 / y - 5.0) / 3.0, erc2_series, s.erc2_terms));
  else
    result = std::exp(-y) / std::fabs(x) * (0.5 + dcsevl(8.0 / y - 1.0, erfc_series, s.erfc_terms));
  if (x < 0.0) result = 2.0 - result;
  return result;
}

}  // namespace sgl
