// The search nest: cell sizes, then the crystal-1 triples taken at their newest vector; and the
// table of images of crystal 2's short vectors under its rotations.
#include <algorithm>
#include <limits>
#include <vector>

#include "duopath/crystal1_triples.hpp"
#include "duopath/run.hpp"
#include "library/exact/arithmetic.hpp"
#include "library/exact/int128.hpp"

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

}  // namespace

int64_t cell_determinant(const sgl::Mat3i& m) {
  const auto e = [&](int i, int j) { return static_cast<sgl::Int128>(m[j * 3 + i]); };
  const sgl::Int128 d = e(0, 0) * (e(1, 1) * e(2, 2) - e(1, 2) * e(2, 1)) - e(0, 1) * (e(1, 0) * e(2, 2) - e(1, 2) * e(2, 0)) +
                 e(0, 2) * (e(1, 0) * e(2, 1) - e(1, 1) * e(2, 0));
  const sgl::Int128 top = std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(d > top ? top : d < -top ? -top : d);
}

void Run::set_crystal1_triple(int32_t i1, int32_t i2, int32_t i3) {
  pair.vector_triple1 = {i1, i2, i3};
  for (int c = 0; c < 3; ++c) {
    const auto& col = short_lists[0].vectors[static_cast<std::size_t>(pair.vector_triple1[c] - 1)];
    for (int i = 0; i < 3; ++i) pair.cell1[c * 3 + i] = col[i];
  }
}

int32_t Run::crystal2_position(const std::array<int32_t, 3>& v) const {
  if (!crystal2_grid.empty()) {
    std::size_t index = 0;
    for (int i = 0; i < 3; ++i) {
      const int64_t d = static_cast<int64_t>(v[static_cast<std::size_t>(i)]) - crystal2_low[static_cast<std::size_t>(i)];
      if (d < 0 || d >= crystal2_extent[static_cast<std::size_t>(i)]) return 0;
      index = index * static_cast<std::size_t>(crystal2_extent[static_cast<std::size_t>(i)]) + static_cast<std::size_t>(d);
    }
    return crystal2_grid[index];
  }
  int64_t key = 0;
  if (!vector_key(v, key)) return 0;
  const auto it = crystal2_index.find(key);
  return it == crystal2_index.end() ? 0 : it->second;
}

void Run::build_short_vector_images() {
  const ShortVectorList& list = short_lists[1];
  // Positions by components: a dense grid over the box that holds the list when the box is
  // small (it is, for every list of a real search: components within a few tens), else a hash
  // map. Filled from the end, so the first position of a vector wins.
  crystal2_index.clear();
  crystal2_grid.clear();
  std::array<int64_t, 3> low{}, high{};
  low.fill(std::numeric_limits<int64_t>::max());
  high.fill(std::numeric_limits<int64_t>::min());
  for (const auto& w : list.vectors)
    for (std::size_t i = 0; i < 3; ++i) {
      low[i] = std::min<int64_t>(low[i], w[i]);
      high[i] = std::max<int64_t>(high[i], w[i]);
    }
  constexpr int64_t kGridLimit = int64_t{1} << 22;
  int64_t cells = list.vectors.empty() ? 0 : 1;
  for (std::size_t i = 0; i < 3 && cells != 0; ++i) {
    const int64_t extent = high[i] - low[i] + 1;
    cells = extent <= kGridLimit && cells * extent <= kGridLimit ? cells * extent : 0;
  }
  if (cells != 0) {
    for (std::size_t i = 0; i < 3; ++i) {
      crystal2_low[i] = static_cast<int32_t>(low[i]);
      crystal2_extent[i] = static_cast<int32_t>(high[i] - low[i] + 1);
    }
    crystal2_grid.assign(static_cast<std::size_t>(cells), 0);
    for (int32_t j = list.count(); j >= 1; --j) {
      const auto& w = list.vectors[static_cast<std::size_t>(j - 1)];
      std::size_t index = 0;
      for (std::size_t i = 0; i < 3; ++i)
        index = index * static_cast<std::size_t>(crystal2_extent[i]) + static_cast<std::size_t>(w[i] - crystal2_low[i]);
      crystal2_grid[index] = j;
    }
  } else {
    for (int32_t j = list.count(); j >= 1; --j) {
      int64_t key = 0;
      if (vector_key(list.vectors[static_cast<std::size_t>(j - 1)], key)) crystal2_index[key] = j;
    }
  }
  const PreparedCrystal& p = prepared[1];
  short_vector_images.assign(p.operators.size(), std::vector<int32_t>());
  for (std::vector<int32_t>& images : short_vector_images) images.resize(list.vectors.size(), 0);
  for (std::size_t k = 0; k < p.operators.size(); ++k) {
    const sgl::Mat3i& r = p.primitive_rotations[static_cast<std::size_t>(p.operators[k][4])];
    // Rotation entries below 2^20 in magnitude keep the product with 32-bit components exact in
    // 64 bits; a result beyond 32 bits goes to the checked product, which stops on it.
    bool plain = true;
    for (int32_t x : r) plain = plain && x > -(1 << 20) && x < (1 << 20);
    for (std::size_t j = 0; j < list.vectors.size(); ++j) {
      const auto& v = list.vectors[j];
      std::array<int32_t, 3> w{};
      bool done = plain;
      for (int i = 1; i <= 3 && done; ++i) {
        const int64_t x = static_cast<int64_t>(sgl::m3(r, i, 1)) * v[0] + static_cast<int64_t>(sgl::m3(r, i, 2)) * v[1] +
                          static_cast<int64_t>(sgl::m3(r, i, 3)) * v[2];
        done = x >= std::numeric_limits<int32_t>::min() && x <= std::numeric_limits<int32_t>::max();
        w[static_cast<std::size_t>(i - 1)] = static_cast<int32_t>(x);
      }
      if (!done) sgl::vmlt(r, v.data(), w.data());
      // A rotated vector outside the list (a dim2 layer turned over) has no image: 0.
      short_vector_images[k][j] = crystal2_position(w);
    }
  }
}

void Run::search() {
  trial_lattices.clear();
  known_lattices.clear();
  progress = SearchProgress{};
  const ShortVectorList& list1 = short_lists[0];
  const int32_t nsv1 = list1.count();
  const bool given = settings.lattice_given;
  // For the newest vector v, the cross products c_x = x × v of the vectors x up to v, formed once
  // per v: the determinant of (i1, i2, v) is then c_i2 · i1, that of (i1, v, i3) is c_i1 · i3.
  // Crystal 1's components lie within 0 .. max_size (at most 999), or, for a given lattice, within
  // a few thousand (components of at most 1000 conventional cells), so every product and sum is
  // exact in 64 bits.
  std::vector<std::array<int64_t, 3>> cv(static_cast<std::size_t>(nsv1));
  const auto vec = [&](int32_t i) -> const std::array<int32_t, 3>& { return list1.vectors[static_cast<std::size_t>(i - 1)]; };
  const auto dot = [&](const std::array<int64_t, 3>& c, const std::array<int32_t, 3>& w) {
    return c[0] * w[0] + c[1] * w[1] + c[2] * w[2];
  };
  const auto det = [&](int32_t i1, int32_t i2, int32_t i3, int32_t v) -> int64_t {
    return i2 == v ? dot(cv[static_cast<std::size_t>(i1 - 1)], vec(i3)) : dot(cv[static_cast<std::size_t>(i2 - 1)], vec(i1));
  };
  // The progress timer is read once per newest vector v (when a triple was taken since the last
  // read) and before a triple of the right size goes on to its trial-lattice tests, not once per
  // triple: between two reads only determinants are taken.
  bool pending = false;
  const auto read_timer = [&] {
    if (pending) timer.tick();
    pending = false;
  };
  // No cell has a size below 1: the walk starts at 1 at the lowest, so that a very negative
  // smallest size does not run through sizes that can find nothing.
  for (int32_t n = std::max(settings.min_size, 1); n <= settings.max_size; ++n) {
    for (int32_t v = 3; v <= nsv1; ++v) {
      const auto& b = vec(v);
      for (int32_t x = 1; x <= v; ++x) {
        const auto& a = vec(x);
        cv[static_cast<std::size_t>(x - 1)] = {static_cast<int64_t>(a[1]) * b[2] - static_cast<int64_t>(a[2]) * b[1],
                                              static_cast<int64_t>(a[2]) * b[0] - static_cast<int64_t>(a[0]) * b[2],
                                              static_cast<int64_t>(a[0]) * b[1] - static_cast<int64_t>(a[1]) * b[0]};
      }
      const bool go_on = triples_at(v, given, [&](int32_t i1, int32_t i2, int32_t i3) {
        pending = true;
        // Only a cell of this size can form a trial lattice.
        if (det(i1, i2, i3, v) != n) return true;
        read_timer();
        set_crystal1_triple(i1, i2, i3);
        const TrialOutcome outcome = trial_lattice(n);
        if (outcome == TrialOutcome::table_full) {
          progress.table_full = true;
          return false;
        }
        if (outcome == TrialOutcome::accepted) crystal2_triples();
        return true;
      });
      if (!go_on) return;
      read_timer();
    }
  }
}

}  // namespace duopath
