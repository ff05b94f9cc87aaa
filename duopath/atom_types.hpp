// The atom type table: the names that the first crystal's atom lines define, in the order of
// their first appearance; later phases refer to types by their index in it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace duopath {

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
