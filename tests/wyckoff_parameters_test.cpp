// The free parameters of Wyckoff positions as input lines give them: the coordinate triple of
// every position, and the check of the numbers in the places that a position fixes.
#include "library/groups/wyckoff_parameters.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>

#include "library/groups/change_setting.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "tests/group_tables.hpp"

namespace sgl {
namespace {

using testing::space_tables;
using testing::table_wyckoff_matrix;
using testing::wyckoff_tables;
using Point = std::array<double, 3>;

// The matrix of position `letter` of group g in "cinter", the setting the input lines use.
WyckoffMatrix cinter_matrix(int32_t g, char letter) {
  const int32_t k = wyckoff_tables().wyc_first(g) + (letter - 'a');
  WyckoffMatrix w = table_wyckoff_matrix(k);
  wyckoff_change_setting(space_tables(), g, "pml", "cinter", w, w);
  return w;
}

// The value of one coordinate of a triple's text ("-x+1/2", "2x", "x-y", "1/4") at a point.
double evaluate(const std::string& text, const Point& x) {
  double sum = 0.0;
  std::size_t k = 0;
  while (k < text.size()) {
    double sign = 1.0;
    if (text[k] == '+' || text[k] == '-') sign = text[k++] == '-' ? -1.0 : 1.0;
    double factor = 1.0;
    bool number = false;
    if (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]))) {
      std::size_t used = 0;
      factor = std::stod(text.substr(k), &used);
      k += used;
      number = true;
    }
    if (k < text.size() && text[k] == '/' && number) {
      std::size_t used = 0;
      factor /= std::stod(text.substr(k + 1), &used);
      k += 1 + used;
    }
    if (k < text.size() && text[k] >= 'x' && text[k] <= 'z') {
      factor *= x[static_cast<std::size_t>(text[k] - 'x')];
      ++k;
      if (k < text.size() && text[k] == '/') {
        std::size_t used = 0;
        factor /= std::stod(text.substr(k + 1), &used);
        k += 1 + used;
      }
    }
    sum += sign * factor;
  }
  return sum;
}

// Every position of every group: its triple, read back at random parameters, is the point of its
// matrix; the parameters in their places with 0 or the coordinates elsewhere pass the check, and a
// number elsewhere that is neither is refused.
TEST(WyckoffParameters, EveryPositionItsTripleAndItsFixedPlaces) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  std::mt19937 rng(20261211);
  std::uniform_real_distribution<double> u(0.05, 0.45);
  testing::for_each_wyckoff_position([&](int32_t g, int32_t w, int32_t k) {
    WyckoffMatrix m = table_wyckoff_matrix(k);
    wyckoff_change_setting(space_tables(), g, "pml", "cinter", m, m);
    const Point x{u(rng), u(rng), u(rng)};
    Point free{};
    int count = 0;
    for (int j = 1; j <= 3; ++j) {
      if (wyckoff_has_parameter(m, j)) free[j - 1] = x[j - 1], ++count;
    }
    Point point{};
    dget_wyc_xyz(free, m, point);
    const std::string triple = wyckoff_triple_text(m);
    ASSERT_GE(triple.size(), 7u);
    ASSERT_EQ(triple.front(), '(');
    ASSERT_EQ(triple.back(), ')');
    const std::string inner = triple.substr(1, triple.size() - 2);
    const std::size_t c1 = inner.find(','), c2 = inner.find(',', c1 + 1);
    ASSERT_NE(c2, std::string::npos) << triple;
    const std::string parts[3] = {inner.substr(0, c1), inner.substr(c1 + 1, c2 - c1 - 1), inner.substr(c2 + 1)};
    for (int r = 0; r < 3; ++r) EXPECT_NEAR(evaluate(parts[r], free), point[r], 1e-12) << triple;

    EXPECT_EQ(fixed_parameter_refusal("p", m, free), "") << triple;
    Point coordinates = point;
    for (int j = 1; j <= 3; ++j) {
      if (wyckoff_has_parameter(m, j)) coordinates[j - 1] = x[j - 1];
    }
    EXPECT_EQ(fixed_parameter_refusal("p", m, coordinates), "") << triple;
    for (int j = 1; j <= 3; ++j) {
      if (wyckoff_has_parameter(m, j)) continue;
      Point wrong = free;
      wrong[j - 1] = point[j - 1] + 0.013;  // neither the coordinate nor 0 (it lies in [0, 1))
      if (std::fabs(wrong[j - 1] - std::nearbyint(wrong[j - 1])) < 1e-3) continue;
      EXPECT_NE(fixed_parameter_refusal("p", m, wrong), "") << triple << " place " << j;
    }
    (void)w;
    (void)count;
  });
}

TEST(WyckoffParameters, RefusalsNameThePositionAndItsPlaces) {
  SGL_REQUIRE_WYCKOFF_TABLES();
  struct Case {
    int32_t group;
    char letter;
    const char* label;
    Point given;
    const char* refusal;  // empty: accepted
  };
  const Case cases[] = {
      // Anatase O, I4_1/amd 8e (0,1/4,z): z typed in the first place.
      {141, 'e', "8e", {0.0831, 0, 0}, "8e is (0,1/4,z): give z as the third number"},
      {141, 'e', "8e", {0, 0, 0.2083}, ""},
      {141, 'e', "8e", {0, 0.25, 0.2083}, ""},
      {141, 'e', "8e", {1, 1.25, 0.2083}, ""},  // modulo 1
      // The agreement is 1e-4, modulo 1, on both sides: with the coordinate and with 0.
      {141, 'e', "8e", {0, 0.25009, 0.2083}, ""},
      {141, 'e', "8e", {0, 0.25011, 0.2083}, "8e is (0,1/4,z): give z as the third number"},
      {141, 'e', "8e", {0.00009, 0, 0.2083}, ""},
      {141, 'e', "8e", {0.00011, 0, 0.2083}, "8e is (0,1/4,z): give z as the third number"},
      {141, 'e', "8e", {0.99991, 0, 0.2083}, ""},
      {141, 'e', "8e", {0.99989, 0, 0.2083}, "8e is (0,1/4,z): give z as the third number"},
      // Wurtzite O on 2b (1/3,2/3,z): the coordinates within 1e-4, not to three decimals.
      {186, 'b', "b", {0.3819, 0, 0}, "b is (1/3,2/3,z): give z as the third number"},
      {186, 'b', "b", {0.33333, 0.66667, 0.3819}, ""},
      {186, 'b', "b", {0.333, 0.667, 0.3819}, "b is (1/3,2/3,z): give z as the third number"},
      // Rutile O on 4f (x,x,0): the second place may repeat x.
      {136, 'f', "4f", {0.3048, 0, 0}, ""},
      {136, 'f', "4f", {0.3048, 0.3048, 0}, ""},
      {136, 'f', "4f", {0.3048, 0.5, 0}, "4f is (x,x,0): give x as the first number"},
      // R-3m in rhombohedral axes, 2c (x,x,x).
      {166, 'c', "2c", {0.2339, 0, 0}, ""},
      {166, 'c', "2c", {0.2339, 0.2339, 0.2339}, ""},
      // Fm-3m 4a (0,0,0): no parameters.
      {225, 'a', "a", {0.5, 0, 0}, "a is (0,0,0): it has no free parameters"},
      {225, 'a', "a", {1, 0, -1}, ""},
      // P6_3/mmc 12k (x,2x,z): two parameters; the second place may be 2x.
      {194, 'k', "12k", {0.1, 0.2, 0.3}, ""},
      {194, 'k', "12k", {0.1, 0.5, 0.3}, "12k is (x,2x,z): give x and z as the first and third numbers"},
      {194, 'h', "6h", {0.1, 0, 0.3}, "6h is (x,2x,1/4): give x as the first number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.group) + c.letter);
    EXPECT_EQ(fixed_parameter_refusal(c.label, cinter_matrix(c.group, c.letter), c.given), c.refusal);
  }
}

}  // namespace
}  // namespace sgl
