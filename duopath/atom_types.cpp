// The atom type table.
#include "duopath/atom_types.hpp"

namespace duopath {

namespace {

std::string_view trimmed(std::string_view word) {
  while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
  return word;
}

}  // namespace

int32_t AtomTypes::find(std::string_view word) const {
  const std::string_view w = trimmed(word);
  for (std::size_t t = 0; t < names_.size(); ++t) {
    if (names_[t] == w) return static_cast<int32_t>(t + 1);
  }
  return 0;
}

int32_t AtomTypes::add(std::string_view name) {
  names_.emplace_back(trimmed(name.substr(0, kNameLength)));
  return count();
}

}  // namespace duopath
