// The set being closed in the enumerations of closed sets (the sublattices of the translations,
// the candidate groups of the elements): its members in the order they joined, and a stamp per
// element that tells in one look whether an element is a member already.
#pragma once

#include <cstdint>
#include <vector>

namespace cellsieve {

class ClosingSet {
 public:
  // For elements 1..n.
  explicit ClosingSet(int32_t n) : stamp_of_(static_cast<std::size_t>(n) + 1, 0) {}

  // Starts the set of the members of base and the element e (not in base).
  void start(const std::vector<int32_t>& base, int32_t e) {
    ++stamp_;
    members = base;
    members.push_back(e);
    for (const int32_t m : members) stamp_of_[m] = stamp_;
  }
  bool has(int32_t e) const { return stamp_of_[e] == stamp_; }
  // Takes in a product c of members: false when it is 0 (there is no such product, and the set is
  // abandoned); otherwise true, and c is listed when it is new.
  bool join(int32_t c) {
    if (c == 0) return false;
    if (stamp_of_[c] != stamp_) {
      stamp_of_[c] = stamp_;
      members.push_back(c);
    }
    return true;
  }

  std::vector<int32_t> members;

 private:
  std::vector<int32_t> stamp_of_;  // == stamp_: a member of the set being closed
  int32_t stamp_ = 0;
};

}  // namespace cellsieve
