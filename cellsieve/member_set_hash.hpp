// A 64-bit hash of a sorted list of member numbers, by which the enumerations of sublattices and
// of candidate groups find an equal earlier set among the few with the same hash instead of
// comparing every earlier set.
#pragma once

#include <cstdint>
#include <span>

namespace cellsieve {

inline uint64_t member_set_hash(std::span<const int32_t> members) {
  uint64_t h = 1469598103934665603ULL;
  for (const int32_t m : members) {
    h ^= static_cast<uint64_t>(static_cast<uint32_t>(m)) + 0x9e3779b97f4a7c15ULL;
    h *= 1099511628211ULL;
    h ^= h >> 29;
  }
  return h;
}

}  // namespace cellsieve
