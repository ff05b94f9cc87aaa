// Identification of the Wyckoff position and the parameter values of a given point.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace sgl {

struct CommonSpace;
struct CommonWyckoff;

// Folds a parameter value into [-1/2, 1/2] by whole units: steps of -1 while that brings it
// closer to 0, then steps of +1 likewise, so 0.5 and -0.5 stay as they are and 0.75 becomes
// -0.25. Large values jump in bulk first (with the same result); a value that is not finite
// stops the run after a message naming the routine.
double fold_wyckoff_parameter(double y, std::string_view routine);

// The first Wyckoff position of the group, in table order, on whose orbit the point (given in
// the setting) lies within 1e-6 modulo the lattice: its index within the group and the folded
// parameter values (0 for absent parameters). A point on no position stops the run; a point
// with a coordinate that is not finite stops it after a message.
void id_wyckoff4d(const CommonSpace& cs, const CommonWyckoff& cw, int32_t space_group,
                  const std::array<double, 3>& point, std::string_view setting, int32_t& w,
                  std::array<double, 3>& params);

}  // namespace sgl
