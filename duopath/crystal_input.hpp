// What the crystal blocks of the input give: per crystal its space group, lattice parameters and
// atom lines (as Wyckoff lines), and the atom type table that the first crystal defines.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace duopath {

// One atom line: the type (1-based index into the atom type table), the Wyckoff position
// (1-based index within the space group) and the values of its free parameters x, y, z in the
// setting "cinter" (a parameter the position lacks is kept but has no effect).
struct WyckoffLine {
  int32_t type = 0;
  int32_t wyckoff = 0;
  std::array<double, 3> params{};
};

struct CrystalInput {
  int32_t space_group = 0;
  std::array<double, 6> lattice{};  // a, b, c, alpha, beta, gamma (degrees)
  int32_t line_count = 0;            // the count as read (may be 0 or less)
  std::vector<WyckoffLine> lines;
};

// Type names of at most 10 characters, in the order in which the first crystal names them.
class AtomTypes {
 public:
  static constexpr std::size_t kNameLength = 10;

  // The 1-based index of the type whose name equals the word (trailing blanks ignored, case
  // mattering), the first in table order; 0 when none does. A word longer than 10 characters
  // names no type.
  int32_t find(std::string_view word) const;

  // Appends a name (at most 10 characters) and returns its index.
  int32_t add(std::string_view name);

  int32_t count() const { return static_cast<int32_t>(names_.size()); }
  // The name of type t (1-based), without trailing blanks.
  const std::string& name(int32_t t) const { return names_.at(static_cast<std::size_t>(t - 1)); }

 private:
  std::vector<std::string> names_;
};

}  // namespace duopath
