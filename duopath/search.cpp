// The search nest: cell sizes, then the crystal-1 triples taken at their newest vector; and the
// table of images of crystal 2's short vectors under its rotations.
#include <algorithm>

#include "duopath/run.hpp"
#include "library/exact/arithmetic.hpp"

namespace duopath {

namespace {

// Components within +-2^20 pack into one key; anything wider is in no short-vector list.
constexpr int32_t kKeyReach = 1 << 20;

bool vector_key(const std::array<int32_t, 3>& v, int64_t& key) {
  key = 0;
  for (int32_t x : v) {
    if (x <= -kKeyReach || x >= kKeyReach) return false;
    key = key * (2 * static_cast<int64_t>(kKeyReach)) + (x + kKeyReach);
  }
  return true;
}

int64_t determinant(const sgl::Mat3i& m) {
  const auto e = [&](int i, int j) { return static_cast<int64_t>(m[j * 3 + i]); };
  return e(0, 0) * (e(1, 1) * e(2, 2) - e(1, 2) * e(2, 1)) - e(0, 1) * (e(1, 0) * e(2, 2) - e(1, 2) * e(2, 0)) +
         e(0, 2) * (e(1, 0) * e(2, 1) - e(1, 1) * e(2, 0));
}

}  // namespace

int32_t Run::crystal2_position(const std::array<int32_t, 3>& v) const {
  int64_t key = 0;
  if (!vector_key(v, key)) return 0;
  const auto it = crystal2_index.find(key);
  return it == crystal2_index.end() ? 0 : it->second;
}

void Run::build_short_vector_images() {
  const ShortVectorList& list = short_lists[1];
  crystal2_index.clear();
  for (int32_t j = list.count(); j >= 1; --j) {
    int64_t key = 0;
    if (vector_key(list.vectors[static_cast<std::size_t>(j - 1)], key)) crystal2_index[key] = j;
  }
  const PreparedCrystal& p = prepared[1];
  short_vector_images.assign(p.operators.size(), std::vector<int32_t>(list.vectors.size(), 0));
  for (std::size_t j = 0; j < list.vectors.size(); ++j) {
    for (std::size_t k = 0; k < p.operators.size(); ++k) {
      std::array<int32_t, 3> w{};
      sgl::vmlt(p.primitive_rotations[static_cast<std::size_t>(p.operators[k][4])], list.vectors[j].data(), w.data());
      // A rotated vector outside the list (a dim2 layer turned over) has no image: 0.
      short_vector_images[k][j] = crystal2_position(w);
    }
  }
}

void Run::search() {
  trial_lattices.clear();
  known_lattices.clear();
  const ShortVectorList& list1 = short_lists[0];
  const int32_t nsv1 = list1.count();
  const bool given = settings.lattice_given;
  // No cell has a size below 1: the walk starts at 1 at the lowest, so that a very negative
  // smallest size does not run through sizes that can find nothing.
  for (int32_t n = std::max(settings.min_size, 1); n <= settings.max_size; ++n) {
    for (int32_t v = 3; v <= nsv1; ++v) {
      for (int32_t i1 = 1; i1 <= v - 2; ++i1) {
        if (given && i1 != 1) continue;
        for (int32_t i2 = i1 + 1; i2 <= v; ++i2) {
          if (given && i2 != 2) continue;
          // Each triple is taken at its newest vector: unless i2 is v, only i3 = v remains.
          for (int32_t i3 = (i2 == v ? i1 + 1 : v); i3 <= v; ++i3) {
            if (given && i3 != 3) continue;
            timer.tick();
            pair.vector_triple1 = {i1, i2, i3};
            for (int c = 0; c < 3; ++c) {
              const auto& col = list1.vectors[static_cast<std::size_t>(pair.vector_triple1[c] - 1)];
              for (int i = 0; i < 3; ++i) pair.cell1[c * 3 + i] = col[i];
            }
            // Only a cell of this size can form a trial lattice.
            if (determinant(pair.cell1) != n) continue;
            const TrialOutcome outcome = trial_lattice(n);
            if (outcome == TrialOutcome::table_full) return;
            if (outcome == TrialOutcome::accepted) crystal2_triples();
          }
        }
      }
    }
  }
}

}  // namespace duopath
