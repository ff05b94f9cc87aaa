// Small predicates of the load-time checks of data-table entries, shared by the library's tables
// and the mode-analysis tables.
#pragma once

#include <string_view>

namespace sgl::entry_checks {

inline bool within(long long value, long long low, long long high) { return value >= low && value <= high; }

// Names and labels stored in the tables hold printable ASCII only.
inline bool printable(std::string_view text) {
  for (const char c : text) {
    if (c < ' ' || c > '~') return false;
  }
  return true;
}

// A run of `count` entries from `start` lies within 1..extent (an empty run anywhere).
inline bool run_ok(long long start, long long count, long long extent) {
  return count == 0 || (start >= 1 && start + count - 1 <= extent);
}

}  // namespace sgl::entry_checks
