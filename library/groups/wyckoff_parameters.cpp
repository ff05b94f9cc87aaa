// The free parameters of a Wyckoff position as an input line gives them.
#include "library/groups/wyckoff_parameters.hpp"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numeric>

#include "library/groups/wyckoff_orbits.hpp"

namespace sgl {

namespace {

constexpr const char* kNames[3] = {"x", "y", "z"};
constexpr const char* kPlaces[3] = {"first", "second", "third"};

// Agreement of a given number with a coordinate: 1e-4, modulo 1.
constexpr double kSameCoordinate = 1e-4;

bool same_modulo_one(double a, double b) {
  const double d = a - b;
  return std::fabs(d - std::nearbyint(d)) <= kSameCoordinate;
}

// n/d (d not 0) in lowest terms with a positive denominator.
void lowest_terms(int64_t& n, int64_t& d) {
  if (d < 0) n = -n, d = -d;
  const int64_t g = std::gcd(n, d);
  if (g > 1) n /= g, d /= g;
}

// A rational number n/d (d not 0) in lowest terms: "1/4", "-2", "0".
std::string rational_text(int64_t n, int64_t d) {
  lowest_terms(n, d);
  std::string text = std::to_string(n);
  if (d != 1) text += "/" + std::to_string(d);
  return text;
}

// One coordinate of the triple: its parameter terms ("x", "-x", "2x", "x/2"), then its constant
// with a sign when terms come first; "0" when there is neither.
std::string coordinate_text(const WyckoffMatrix& w, int row) {
  std::string text;
  for (int j = 1; j <= 3; ++j) {
    if (!wyckoff_has_parameter(w, j)) continue;
    int64_t n = m4(w, row, j + 1);
    int64_t d = m4(w, 4, j + 1);
    if (n == 0) continue;
    lowest_terms(n, d);
    if (n < 0) {
      text += "-";
    } else if (!text.empty()) {
      text += "+";
    }
    if (std::llabs(n) != 1) text += std::to_string(std::llabs(n));
    text += kNames[j - 1];
    if (d != 1) text += "/" + std::to_string(d);
  }
  const int64_t n = m4(w, row, 1);
  const int64_t d = m4(w, 4, 1);
  if (n != 0 && d != 0) {
    const std::string constant = rational_text(n, d);
    if (!text.empty() && constant[0] != '-') text += "+";
    text += constant;
  }
  return text.empty() ? "0" : text;
}

// Where the position's parameters go: "give z as the third number", "give x and z as the first
// and third numbers", or that it has none.
std::string parameter_places(const WyckoffMatrix& w) {
  std::string names, places;
  int count = 0;
  for (int j = 1; j <= 3; ++j) count += wyckoff_has_parameter(w, j) ? 1 : 0;
  int seen = 0;
  for (int j = 1; j <= 3; ++j) {
    if (!wyckoff_has_parameter(w, j)) continue;
    ++seen;
    const char* join = seen == 1 ? "" : (seen == count ? " and " : ", ");
    names += join;
    names += kNames[j - 1];
    places += join;
    places += kPlaces[j - 1];
  }
  if (count == 0) return "it has no free parameters";
  return "give " + names + " as the " + places + (count == 1 ? " number" : " numbers");
}

}  // namespace

bool wyckoff_has_parameter(const WyckoffMatrix& w, int j) { return m4(w, 4, j + 1) != 0; }

std::string wyckoff_triple_text(const WyckoffMatrix& w) {
  return "(" + coordinate_text(w, 1) + "," + coordinate_text(w, 2) + "," + coordinate_text(w, 3) + ")";
}

std::string fixed_parameter_refusal(std::string_view label, const WyckoffMatrix& w,
                                    const std::array<double, 3>& given) {
  // The point of the parameters the position has; the other places may repeat its coordinates.
  std::array<double, 3> free{};
  for (int j = 1; j <= 3; ++j) {
    if (wyckoff_has_parameter(w, j)) free[static_cast<std::size_t>(j - 1)] = given[static_cast<std::size_t>(j - 1)];
  }
  std::array<double, 3> point{};
  dget_wyc_xyz(free, w, point);
  for (int j = 1; j <= 3; ++j) {
    if (wyckoff_has_parameter(w, j)) continue;
    const double v = given[static_cast<std::size_t>(j - 1)];
    if (same_modulo_one(v, 0.0) || same_modulo_one(v, point[static_cast<std::size_t>(j - 1)])) continue;
    return std::string(label) + " is " + wyckoff_triple_text(w) + ": " + parameter_places(w);
  }
  return "";
}

}  // namespace sgl
