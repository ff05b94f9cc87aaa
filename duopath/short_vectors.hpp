// The short lattice vectors of a crystal from which the search builds its cells: components in
// the crystal's primitive basis, Cartesian form and length, ordered by length.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "duopath/prepared_crystal.hpp"

namespace duopath {

// Largest number of vectors a list may hold; a longer list is refused.
inline constexpr int64_t kMaxShortVectors = 1000000;

struct ShortVectorList {
  std::vector<std::array<int32_t, 3>> vectors;
  std::vector<std::array<double, 3>> cartesian;
  std::vector<double> length;

  int32_t count() const { return static_cast<int32_t>(vectors.size()) + pending_; }
  void clear();
  // Inserts by length: at the end when d is larger than the last length or within 1e-6 of it,
  // else before the first entry longer than d by more than 1e-6; equal lengths (within 1e-6)
  // keep the order in which the vectors came. The three arrays above show the inserted
  // vectors after finish().
  void insert(const std::array<int32_t, 3>& v, const std::array<double, 3>& c, double d);
  void finish();

 private:
  // While the list is filled it is kept in blocks, each with the largest length it holds: the
  // first entry longer than d by more than 1e-6 lies in the first block whose largest length is,
  // so an insertion looks at the block maxima and one block.
  struct Entry {
    std::array<int32_t, 3> v;
    std::array<double, 3> c;
    double d;
  };
  struct Block {
    std::vector<Entry> entries;
    double longest = 0.0;
  };
  std::vector<Block> blocks_;
  int32_t pending_ = 0;
};

// Cartesian form of integer components in a basis (columns).
std::array<double, 3> cartesian_of(const std::array<double, 9>& basis, const std::array<int32_t, 3>& v);

// Crystal 1's list: every vector with components 0 .. max_size except zero (with dim2 only the
// in-plane ones and (0, 0, 1)), by shells. Refuses with "Error: more than maxshort vectors" when
// the list would exceed kMaxShortVectors or max_size is below 1.
void crystal1_short_vectors(const PreparedCrystal& p, int32_t max_size, bool dim2, ShortVectorList& list);

// Crystal 2's list: every vector no longer than bound + 1e-6, both signs, shells up to the first
// that adds none (with dim2 only the in-plane ones and (0, 0, 1)). The list is bounded before it
// is filled (sphere, or disc in dim2, of radius bound over the cell volume or area) and refused
// like crystal 1's.
void crystal2_short_vectors(const PreparedCrystal& p, double bound, bool dim2, ShortVectorList& list);

// The three given vectors (numerators in primitive coordinates), in their given order.
void given_short_vectors(const PreparedCrystal& p, const std::array<std::array<int32_t, 3>, 3>& given,
                         ShortVectorList& list);

}  // namespace duopath
