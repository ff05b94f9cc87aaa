// The complementary error function and its Chebyshev helpers.
#include "library/geometry/derfc.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "library/geometry/derfc_series.hpp"

namespace {

TEST(Derfc, KnownValuesAndLimits) {
  struct Case {
    double x;
    double expected;
    double tol;
  };
  const Case cases[] = {
      {0.0, 1.0, 0.0},
      {1.0, 0.1572992071, 5e-11},
      {-1.0, 1.8427007929, 5e-11},
      {0.5, 0.4795001221869535, 2e-13 * 0.48},
      {2.0, 0.004677734981047266, 2e-13 * 0.0047},
      {1e-7, 1.0 - 2e-7 / std::sqrt(std::acos(-1.0)), 1e-16},  // below sqeps: the linear term
      {10.0, 0.0, 0.0},                                        // above xmax
      {-6.0, 2.0, 0.0},                                        // below xsml
      {9.19, 0.0, 1e-37},
  };
  for (const Case& c : cases) EXPECT_NEAR(sgl::derfc(c.x), c.expected, c.tol) << c.x;
  // Just above xmax the result is 0, not a tiny number; just above xsml it is not 2.
  const sgl::DerfcFirstCall& s = sgl::derfc_first_call();
  EXPECT_EQ(sgl::derfc(std::nextafter(s.xmax, 10.0)), 0.0);
  EXPECT_GT(sgl::derfc(s.xmax), 0.0);
  EXPECT_EQ(sgl::derfc(s.xsml), 2.0);
  EXPECT_LT(sgl::derfc(std::nextafter(s.xsml, 0.0)), 2.0);
  EXPECT_TRUE(std::isnan(sgl::derfc(NAN)));
}

TEST(Derfc, GridAgainstTheStandardLibrary) {
  // 10^4 points on (-5.2, 9.19), through all three series and the sign change.
  const int points = 10000;
  double worst = 0.0;
  for (int k = 0; k < points; ++k) {
    const double x = -5.2 + (9.19 + 5.2) * (k + 0.5) / points;
    const double expected = std::erfc(x);
    const double error = std::fabs(sgl::derfc(x) - expected) / expected;
    worst = std::fmax(worst, error);
    ASSERT_LT(error, 1e-12) << x;
  }
  EXPECT_GT(worst, 0.0);
}

TEST(Derfc, FirstCallValues) {
  sgl::derfc(0.3);
  const sgl::DerfcFirstCall& s = sgl::derfc_first_call();
  EXPECT_EQ(s.erf_terms, 10);
  EXPECT_EQ(s.erfc_terms, 17);
  EXPECT_EQ(s.erc2_terms, 17);
  EXPECT_NEAR(s.xsml, -5.20179, 5e-6);
  EXPECT_NEAR(s.xmax, 9.19368, 5e-6);
  EXPECT_NEAR(s.sqeps, 1.41421356e-6, 1e-14);
  // Later calls keep them.
  sgl::derfc(3.0);
  EXPECT_EQ(&sgl::derfc_first_call(), &s);
  EXPECT_EQ(s.erf_terms, 10);
}

TEST(Derfc, SeriesLengthsFollowTheSinglePrecisionTailSums) {
  // The tail from term 11 on sums to about 1.8e-14, with term 10 it passes 1e-13.
  const float eta = static_cast<float>(static_cast<double>(0.1f) * 1e-12);
  EXPECT_EQ(sgl::initds(sgl::derfc_series::erf_series, 21, eta), 10);
  EXPECT_EQ(sgl::initds(sgl::derfc_series::erf_series, 21, 1e-3f), 3);
  EXPECT_EQ(sgl::initds(sgl::derfc_series::erf_series, 21, 1.0f), 1);  // never exceeded
  // Shorter tables of the same series: the walk starts at the last term given.
  EXPECT_EQ(sgl::initds(sgl::derfc_series::erf_series, 12, eta), 10);
  const std::vector<double> halves{1.0, 0.5, 0.25, 0.125};
  EXPECT_EQ(sgl::initds(halves, 4, 0.3f), 3);    // 0.125, then 0.375 > 0.3 at term 3
  EXPECT_EQ(sgl::initds(halves, 4, 0.375f), 2);  // the sum must exceed eta, not reach it
}

TEST(Derfc, ClenshawSumOfChebyshevPolynomials) {
  // c(1)/2 + c(2) T1 + c(3) T2 + c(4) T3 with T1 = x, T2 = 2x^2 - 1, T3 = 4x^3 - 3x.
  const std::vector<double> c{2.0, 0.5, -1.5, 0.25};
  for (double x : {-1.0, -0.3, 0.0, 0.7, 1.0}) {
    const double expected = 1.0 + 0.5 * x - 1.5 * (2 * x * x - 1) + 0.25 * (4 * x * x * x - 3 * x);
    EXPECT_NEAR(sgl::dcsevl(x, c, 4), expected, 1e-15) << x;
  }
  EXPECT_EQ(sgl::dcsevl(0.4, c, 1), 1.0);  // only c(1)/2
}

}  // namespace
