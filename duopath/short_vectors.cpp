// The short-vector lists of both crystals, by shells of growing reach.
#include "duopath/short_vectors.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "library/geometry/real_vector.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace duopath {

namespace {

// The list of a crystal would outgrow its capacity; the second line says what to change.
[[noreturn]] void too_many(int crystal) {
  sgl::write_free(6, {"Error: more than maxshort vectors"});
  if (crystal == 1) {
    sgl::write_free(6, {"Crystal 1 would need more than 1000000 short vectors: give a smaller size"});
  } else {
    sgl::write_free(6, {"Crystal 2 would need more than 1000000 short vectors to match the longest ones of crystal 1: "
                        "give a smaller maximum strain or size, or check that both cells are in the same unit"});
  }
  sgl::bomb();
}

bool in_plane_or_normal(int32_t i, int32_t j, int32_t k) { return k == 0 || (k == 1 && i == 0 && j == 0); }

}  // namespace

void ShortVectorList::clear() {
  vectors.clear();
  cartesian.clear();
  length.clear();
  blocks_.clear();
  pending_ = 0;
}

void ShortVectorList::insert(const std::array<int32_t, 3>& v, const std::array<double, 3>& c, double d) {
  constexpr std::size_t kBlockSize = 512;
  const Entry entry{v, c, d};
  if (blocks_.empty()) blocks_.push_back({});
  std::size_t b = blocks_.size() - 1;
  std::size_t m = blocks_[b].entries.size();
  const bool at_end = blocks_[b].entries.empty() || d > blocks_[b].entries.back().d ||
                      !sgl::ncmpd(d - blocks_[b].entries.back().d);
  if (!at_end) {
    // The entry goes before the first one longer than d by more than 1e-6.
    const auto longer = [&](double x) { return x > d && sgl::ncmpd(x - d); };
    for (b = 0; b < blocks_.size() && !longer(blocks_[b].longest); ++b) {
    }
    if (b == blocks_.size()) {
      b = blocks_.size() - 1;
      m = blocks_[b].entries.size();
    } else {
      for (m = 0; !longer(blocks_[b].entries[m].d); ++m) {
      }
    }
  }
  Block& block = blocks_[b];
  block.entries.insert(block.entries.begin() + static_cast<std::ptrdiff_t>(m), entry);
  block.longest = std::max(block.longest, d);
  ++pending_;
  if (block.entries.size() >= 2 * kBlockSize) {
    Block tail;
    tail.entries.assign(block.entries.begin() + kBlockSize, block.entries.end());
    block.entries.resize(kBlockSize);
    for (Block* part : {&block, &tail}) {
      part->longest = 0.0;
      for (const Entry& e : part->entries) part->longest = std::max(part->longest, e.d);
    }
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(tail));
  }
}

void ShortVectorList::finish() {
  vectors.clear();
  cartesian.clear();
  length.clear();
  for (const Block& block : blocks_) {
    for (const Entry& e : block.entries) {
      vectors.push_back(e.v);
      cartesian.push_back(e.c);
      length.push_back(e.d);
    }
  }
  blocks_.clear();
  pending_ = 0;
}

std::array<double, 3> cartesian_of(const std::array<double, 9>& basis, const std::array<int32_t, 3>& v) {
  std::array<double, 3> c{};
  for (int m = 0; m < 3; ++m) {
    for (int i = 0; i < 3; ++i) c[i] += v[m] * basis[m * 3 + i];
  }
  return c;
}

void crystal1_short_vectors(const PreparedCrystal& p, int32_t max_size, bool dim2, ShortVectorList& list) {
  list.clear();
  if (max_size < 1) too_many(1);
  // The count (side^2, or side^3 - 1) is formed only once side^2 is known to be within the
  // capacity, so it cannot overflow whatever the size.
  const int64_t side = static_cast<int64_t>(max_size) + 1;
  if (side * side > kMaxShortVectors) too_many(1);
  const int64_t total = dim2 ? side * side : side * side * side - 1;
  if (total > kMaxShortVectors) too_many(1);
  for (int32_t r = 1; r <= max_size; ++r) {
    for (int32_t i = 0; i <= r; ++i) {
      for (int32_t j = 0; j <= r; ++j) {
        for (int32_t k = 0; k <= r; ++k) {
          if (std::max({i, j, k}) != r) continue;
          if (dim2 && !in_plane_or_normal(i, j, k)) continue;
          const std::array<int32_t, 3> v{i, j, k};
          const std::array<double, 3> c = cartesian_of(p.primitive_cartesian, v);
          list.insert(v, c, sgl::vlength(3, c));
        }
      }
    }
  }
  list.finish();
}

void crystal2_short_vectors(const PreparedCrystal& p, double bound, bool dim2, ShortVectorList& list) {
  list.clear();
  const std::array<double, 9>& q = p.primitive_cartesian;
  double estimate = 0.0;
  if (dim2) {
    // In-plane cell area: |q1 x q2|.
    const double x = q[1] * q[5] - q[2] * q[4];
    const double y = q[2] * q[3] - q[0] * q[5];
    const double z = q[0] * q[4] - q[1] * q[3];
    estimate = 3.141592653589793 * bound * bound / std::sqrt(x * x + y * y + z * z);
  } else {
    estimate = 4.0 / 3.0 * 3.141592653589793 * bound * bound * bound / std::fabs(sgl::ddet3(q));
  }
  if (!(estimate <= static_cast<double>(kMaxShortVectors))) too_many(2);
  for (int32_t r = 1;; ++r) {
    bool accepted = false;
    for (int32_t i = -r; i <= r; ++i) {
      for (int32_t j = -r; j <= r; ++j) {
        for (int32_t k = -r; k <= r; ++k) {
          if (std::max({std::abs(i), std::abs(j), std::abs(k)}) != r) continue;
          if (dim2 && !in_plane_or_normal(i, j, k)) continue;
          const std::array<int32_t, 3> v{i, j, k};
          const std::array<double, 3> c = cartesian_of(q, v);
          const double d = sgl::vlength(3, c);
          if (d - bound > 1e-6) continue;
          accepted = true;
          if (list.count() + 1 > kMaxShortVectors) too_many(2);
          list.insert(v, c, d);
        }
      }
    }
    if (!accepted) break;
  }
  list.finish();
}

void given_short_vectors(const PreparedCrystal& p, const std::array<std::array<int32_t, 3>, 3>& given,
                         ShortVectorList& list) {
  list.clear();
  for (const auto& v : given) {
    const std::array<double, 3> c = cartesian_of(p.primitive_cartesian, v);
    list.vectors.push_back(v);
    list.cartesian.push_back(c);
    list.length.push_back(sgl::vlength(3, c));
  }
}

}  // namespace duopath

#include "duopath/run.hpp"

namespace duopath {

void Run::short_vectors() {
  if (settings.lattice_given) {
    for (int c = 0; c < 2; ++c) {
      std::array<std::array<int32_t, 3>, 3> given{};
      for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) given[j][i] = settings.lattice_vectors[c][j][i];
      }
      given_short_vectors(prepared[c], given, short_lists[c]);
    }
    return;
  }
  crystal1_short_vectors(prepared[0], settings.max_size, settings.dim2, short_lists[0]);
  short_lists[1].clear();
  if (settings.trace && settings.trace_lattice1) return;
  const double bound = short_lists[0].length.back() * settings.max_strain;
  crystal2_short_vectors(prepared[1], bound, settings.dim2, short_lists[1]);
}

}  // namespace duopath
