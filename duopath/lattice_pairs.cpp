// Trial lattices of crystal 1 and their partner cells of crystal 2 within the strain bounds.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "duopath/run.hpp"
#include "library/exact/arithmetic.hpp"
#include "library/exact/int128.hpp"
#include "library/geometry/lattice_metric.hpp"
#include "library/geometry/magic_strain.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/text/words.hpp"

namespace duopath {

using sgl::m3;

bool integral_product(const sgl::Mat3i& cell_inverse, int32_t den, const sgl::Mat3i& m) {
  for (int j = 1; j <= 3; ++j) {
    for (int i = 1; i <= 3; ++i) {
      int64_t sum = 0;
      for (int k = 1; k <= 3; ++k) sum += static_cast<int64_t>(m3(cell_inverse, i, k)) * m3(m, k, j);
      if (sum % den != 0) return false;
    }
  }
  return true;
}

std::array<int64_t, 6> lattice_key(const sgl::Mat3i& cell) {
  // Columns of the basis; column operations (unimodular) keep the lattice.
  std::array<std::array<int64_t, 3>, 3> col{};
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) col[j][i] = cell[j * 3 + i];
  const auto combine = [&](int p, int q, int row) {
    // Euclid on row `row` between columns p and q, leaving q's entry 0.
    while (col[q][row] != 0) {
      const int64_t t = col[p][row] / col[q][row];
      for (int i = 0; i < 3; ++i) col[p][i] -= t * col[q][i];
      std::swap(col[p], col[q]);
    }
  };
  // Row 3 into column 3 alone, then row 2 into column 2 alone among columns 1 and 2.
  combine(2, 0, 2);
  combine(2, 1, 2);
  combine(1, 0, 1);
  for (int j = 0; j < 3; ++j) {
    if (col[j][j] < 0)
      for (int i = 0; i < 3; ++i) col[j][i] = -col[j][i];
  }
  const auto reduce = [&](int target, int by, int row) {
    // Entry `row` of column target into 0 .. pivot - 1 with multiples of column by.
    const int64_t pivot = col[by][row];
    int64_t t = col[target][row] / pivot;
    if (col[target][row] - t * pivot < 0) --t;
    for (int i = 0; i < 3; ++i) col[target][i] -= t * col[by][i];
  };
  reduce(1, 0, 0);
  reduce(2, 1, 1);
  reduce(2, 0, 0);
  return {col[0][0], col[1][0], col[1][1], col[2][0], col[2][1], col[2][2]};
}

namespace {

// "(x,y,z)" of column j of basis x cell over den, each component in lowest terms.
void append_column(std::string& text, int32_t& p, const sgl::Mat3i& basis, int32_t den, const sgl::Mat3i& cell,
                   int j) {
  sgl::Mat3i v{};
  sgl::matmlt(basis, cell, v);
  text[static_cast<std::size_t>(p++)] = '(';
  for (int i = 1; i <= 3; ++i) {
    if (i > 1) text[static_cast<std::size_t>(p++)] = ',';
    sgl::fraction_string(p, text, m3(v, i, j), den);
  }
  text[static_cast<std::size_t>(p++)] = ')';
}

}  // namespace

std::string cell_vectors_text(const sgl::Mat3i& basis, int32_t den, const sgl::Mat3i& cell) {
  // Room for three columns of three fractions of two 11-character numbers each.
  std::string text(400, ' ');
  int32_t p = 0;
  for (int j = 1; j <= 3; ++j) {
    if (j > 1) text[static_cast<std::size_t>(p++)] = ',';
    append_column(text, p, basis, den, cell, j);
  }
  return text.substr(0, static_cast<std::size_t>(p));
}

Run::TrialOutcome Run::trial_lattice(int32_t n) {
  const PreparedCrystal& p1 = prepared[0];
  pair.cell_size = sgl::ndet(pair.cell1);
  if (pair.cell_size <= 0 || pair.cell_size != n) return TrialOutcome::rejected;
  if (static_cast<int64_t>(p1.atom_count) * pair.cell_size % prepared[1].atom_count != 0) {
    return TrialOutcome::rejected;
  }

  // Novelty: neither a stored lattice of this size nor its image under a rotation of crystal 1
  // (at size 1 every cell spans the whole lattice). Two cells of one size span the same lattice
  // exactly when one is an integer combination of the other, that is when their Hermite normal
  // forms agree; the forms of every stored lattice and of its images are kept in a set.
  const std::array<int64_t, 6> key = lattice_key(pair.cell1);
  if (known_lattices.count(key) != 0) return TrialOutcome::rejected;
  if (static_cast<int32_t>(trial_lattices.size()) + 1 > max_trial_lattices) {
    sgl::write_free(6, {"maxlattices too small"});
    return TrialOutcome::table_full;
  }
  // The inverse is needed only from here on (a cell of positive size always has one).
  sgl::matinv(pair.cell1, pair.cell1_inverse, pair.cell1_inverse_den);
  trial_lattices.push_back({pair.cell_size, pair.cell1});
  known_lattices.insert(key);
  if (pair.cell_size != 1) {
    for (std::size_t k = 1; k < p1.operators.size(); ++k) {
      sgl::Mat3i turned{};
      sgl::matmlt(p1.primitive_rotations[static_cast<std::size_t>(p1.operators[k][4])], pair.cell1, turned);
      known_lattices.insert(lattice_key(turned));
    }
  }

  const ShortVectorList& list1 = short_lists[0];
  const std::array<std::array<int, 2>, 3> ab{{{2, 1}, {3, 1}, {3, 2}}};
  for (int q = 0; q < 3; ++q) {
    const auto& a = list1.cartesian[static_cast<std::size_t>(pair.vector_triple1[ab[q][0] - 1] - 1)];
    const auto& b = list1.cartesian[static_cast<std::size_t>(pair.vector_triple1[ab[q][1] - 1] - 1)];
    std::array<double, 3> d{};
    sgl::dvsub(a, b, d, 3);
    pair.pair_distances1[q] = sgl::vlength(3, d);
  }

  for (const sgl::SpaceOp& op : p1.operators) {
    const std::size_t p = static_cast<std::size_t>(op[4]);
    sgl::Mat3i m{};
    sgl::matmlt(pair.cell1_inverse, p1.primitive_rotations[p], m);
    sgl::matmlt(m, pair.cell1, m);
    int32_t den = pair.cell1_inverse_den;
    sgl::reduc3(m, den);
    pair.lattice_ops1[p] = m;
    pair.lattice_ops1_den[p] = den;
  }

  if (settings.trace_lattice1) {
    ++counters.trial_list_number;
    std::string head(80, ' ');
    const sgl::Mat3i& c = pair.cell1;
    sgl::write_text(head, "(i3,i2,2x,3i2,2x,3i2,2x,3i2)",
                    {counters.trial_list_number, pair.cell_size, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8]});
    head.erase(head.find_last_not_of(' ') + 1);
    const std::string line =
        head + "     " + cell_vectors_text(p1.primitive_basis, p1.primitive_basis_den, pair.cell1);
    report("(2x,a)", {line});
    return TrialOutcome::listed;
  }
  return TrialOutcome::accepted;
}

bool Run::candidate_ranges(std::array<int32_t, 3>& lo, std::array<int32_t, 3>& hi) const {
  const ShortVectorList& list1 = short_lists[0];
  const ShortVectorList& list2 = short_lists[1];
  const int32_t nsv2 = list2.count();
  for (int c = 0; c < 3; ++c) {
    if (settings.lattice_given) {
      lo[c] = 1;
      hi[c] = 3;
      continue;
    }
    const double l = list1.length[static_cast<std::size_t>(pair.vector_triple1[c] - 1)];
    lo[c] = 0;
    for (int32_t j = 1; j <= nsv2; ++j) {
      if (list2.length[static_cast<std::size_t>(j - 1)] > settings.min_strain * l) {
        lo[c] = j;
        break;
      }
    }
    hi[c] = 0;
    for (int32_t j = nsv2; j >= 1; --j) {
      if (list2.length[static_cast<std::size_t>(j - 1)] < settings.max_strain * l) {
        hi[c] = j;
        break;
      }
    }
    if (lo[c] == 0 || hi[c] == 0) return false;
  }
  return true;
}

bool Run::column_fits(int c, int32_t j) const {
  const auto third = [](const ShortVectorList& l, int32_t k) { return l.vectors[static_cast<std::size_t>(k - 1)][2]; };
  if (settings.dim2 && third(short_lists[1], j) != third(short_lists[0], pair.vector_triple1[c])) return false;
  return !settings.lattice_given || j == c + 1;
}

void Run::examine_pair() {
  const ShortVectorList& list1 = short_lists[0];
  const ShortVectorList& list2 = short_lists[1];
  bool within = true;
  for (int c = 0; c < 3; ++c) {
    for (int i = 0; i < 3; ++i) {
      pair.cartesian_cell1[c * 3 + i] = list1.cartesian[static_cast<std::size_t>(pair.vector_triple1[c] - 1)][i];
      pair.cartesian_cell2[c * 3 + i] = list2.cartesian[static_cast<std::size_t>(pair.vector_triple2[c] - 1)][i];
    }
  }
  sgl::magic_strain(pair.cartesian_cell1, pair.cartesian_cell2, pair.principal_stretches);
  for (double s : pair.principal_stretches) {
    within = within && s >= settings.min_strain && s <= settings.max_strain;
  }
  if (!within) return;
  pair_within_bounds = true;
  sgl::dget_gmat2(pair.cartesian_cell1, pair.metric1);
  sgl::dget_gmat2(pair.cartesian_cell2, pair.metric2);
  sgl::matinv(pair.cell2, pair.cell2_inverse, pair.cell2_inverse_den);
  if (!settings.lattice_given && !canonical_pair()) return;
  if (common_cell()) {
    neighbor_lists();
    mapping_paths();
    ++pairs_completed;
  }
}

void Run::set_crystal2_triple(int32_t j1, int32_t j2, int32_t j3) {
  pair.vector_triple2 = {j1, j2, j3};
  for (int c = 0; c < 3; ++c) {
    const auto& col = short_lists[1].vectors[static_cast<std::size_t>(pair.vector_triple2[c] - 1)];
    for (int i = 0; i < 3; ++i) pair.cell2[c * 3 + i] = col[i];
  }
}

namespace {

// Candidates of the third column in blocks of kBlock, components in T; the unused places of the
// last block hold the zero vector, whose determinant with any two columns is 0 and never the
// pair's (positive) size.
constexpr std::size_t kBlock = 32;

template <typename T>
struct ThirdColumns {
  std::vector<int32_t> position;  // list positions, kept in list order
  std::vector<T> x, y, z;

  void clear() {
    position.clear();
    x.clear();
    y.clear();
    z.clear();
  }
  void add(int32_t j, const std::array<int32_t, 3>& v) {
    position.push_back(j);
    x.push_back(static_cast<T>(v[0]));
    y.push_back(static_cast<T>(v[1]));
    z.push_back(static_cast<T>(v[2]));
  }
  void pad() {
    while (x.size() % kBlock != 0) {
      x.push_back(0);
      y.push_back(0);
      z.push_back(0);
    }
  }
};

// The largest size a determinant in T can stand for (sizes are 64-bit values).
template <typename T>
constexpr int64_t largest_determinant() {
  if constexpr (sizeof(T) >= sizeof(int64_t)) {
    return std::numeric_limits<int64_t>::max();
  } else {
    return std::numeric_limits<T>::max();
  }
}

// Calls found(k) for every candidate k in order whose determinant with the cross product c is
// target. Every product and sum fits T (the caller bounds the components). A block is tested
// without a branch per candidate; only a block with a hit is gone through again.
template <typename T, typename Found>
void scan_determinants(const ThirdColumns<T>& cand, const std::array<T, 3>& c, T target, Found&& found) {
  const std::size_t n = cand.x.size();
  const T* x = cand.x.data();
  const T* y = cand.y.data();
  const T* z = cand.z.data();
  const auto det = [&](std::size_t k) { return static_cast<T>(c[0] * x[k] + c[1] * y[k] + c[2] * z[k]); };
  for (std::size_t base = 0; base < n; base += kBlock) {
    T hit = 0;
    for (std::size_t k = base; k < base + kBlock; ++k) hit |= static_cast<T>(det(k) == target);
    if (hit == 0) continue;
    for (std::size_t k = base; k < base + kBlock; ++k)
      if (det(k) == target) found(k);
  }
}

}  // namespace

void Run::crystal2_triples() {
  std::array<int32_t, 3> lo{}, hi{};
  if (!candidate_ranges(lo, hi)) return;
  const ShortVectorList& list2 = short_lists[1];
  // Components of at most 17 in magnitude keep every product and sum of a determinant
  // (|det| <= 6 x 17^3 = 29478) within 16 bits, up to 710 within 32 bits; then no determinant
  // can overflow, and the tests may run in any order. Wider components (a cell of crystal 2 far
  // thinner in one direction than the cells it is matched with) take 128 bits, in which the
  // determinant of any three 32-bit vectors is exact.
  int32_t reach = 0;
  for (const auto& v : list2.vectors)
    for (int32_t x : v) reach = std::max(reach, x < 0 ? -x : x);
  if (reach <= 17) {
    crystal2_triples_fast<int16_t>(lo, hi);
  } else if (reach <= 710) {
    crystal2_triples_fast<int32_t>(lo, hi);
  } else {
    crystal2_triples_fast<sgl::Int128>(lo, hi);
  }
}

template <typename T>
void Run::crystal2_triples_fast(const std::array<int32_t, 3>& lo, const std::array<int32_t, 3>& hi) {
  const ShortVectorList& list2 = short_lists[1];
  std::array<std::vector<int32_t>, 3> fitting;  // the fitting positions of each column, in order
  for (int c = 0; c < 3; ++c)
    for (int32_t j = lo[c]; j <= hi[c]; ++j)
      if (column_fits(c, j)) fitting[c].push_back(j);

  // The one determinant a pair can have: atom_count(1) x cell_size = atom_count(2) x cell2_size.
  // A size that is not a whole number, or beyond every determinant of T, matches no triple: then
  // only the timer reads remain.
  const int64_t atoms1 = static_cast<int64_t>(prepared[0].atom_count) * pair.cell_size;
  const int64_t atoms2 = prepared[1].atom_count;
  const bool sized = atoms1 % atoms2 == 0 && atoms1 / atoms2 <= largest_determinant<T>();
  const T target = sized ? static_cast<T>(atoms1 / atoms2) : T{0};

  // The progress timer is read once per batch of triples, not once per triple: at the end of
  // each j1 (when a triple reached the third column since the last read) and before a triple
  // goes on to the stretches. Between two reads only cheap tests run, so a dot still comes
  // within a moment of its minute, before the same report lines.
  bool pending = false;
  const auto read_timer = [&] {
    if (pending) timer.tick();
    pending = false;
  };
  std::array<DistanceWindow, 3> window{
      DistanceWindow(pair.pair_distances1[0], settings.min_strain, settings.max_strain),
      DistanceWindow(pair.pair_distances1[1], settings.min_strain, settings.max_strain),
      DistanceWindow(pair.pair_distances1[2], settings.min_strain, settings.max_strain)};
  const auto cartesian = [&](int32_t j) -> const std::array<double, 3>& {
    return list2.cartesian[static_cast<std::size_t>(j - 1)];
  };
  ThirdColumns<T> third;
  for (int32_t j1 : fitting[0]) {
    if (fitting[2].empty()) break;
    if (sized) {
      // The third-column candidates of j1 that pass the pair distance (3, 1).
      third.clear();
      for (int32_t j3 : fitting[2])
        if (window[1].fits(cartesian(j3), cartesian(j1))) third.add(j3, list2.vectors[static_cast<std::size_t>(j3 - 1)]);
      third.pad();
    }
    const auto& a = list2.vectors[static_cast<std::size_t>(j1 - 1)];
    for (int32_t j2 : fitting[1]) {
      if (j2 == j1) continue;
      pending = true;
      if (!sized || third.position.empty() || !window[0].fits(cartesian(j2), cartesian(j1))) continue;
      const auto& b = list2.vectors[static_cast<std::size_t>(j2 - 1)];
      // det(a, b, c) = (a x b) . c
      const std::array<T, 3> cross{static_cast<T>(static_cast<T>(a[1]) * b[2] - static_cast<T>(a[2]) * b[1]),
                                   static_cast<T>(static_cast<T>(a[2]) * b[0] - static_cast<T>(a[0]) * b[2]),
                                   static_cast<T>(static_cast<T>(a[0]) * b[1] - static_cast<T>(a[1]) * b[0])};
      scan_determinants(third, cross, target, [&](std::size_t k) {
        // A positive determinant: the third column differs from the other two.
        const int32_t j3 = third.position[k];
        if (!window[2].fits(cartesian(j3), cartesian(j2))) return;
        pending = true;
        read_timer();
        set_crystal2_triple(j1, j2, j3);
        pair.cell2_size = static_cast<int32_t>(target);
        examine_pair();
      });
    }
    read_timer();
  }
}

bool Run::canonical_pair() const {
  const PreparedCrystal& p1 = prepared[0];
  const PreparedCrystal& p2 = prepared[1];
  for (std::size_t k = 0; k < p1.operators.size(); ++k) {
    const std::size_t p = static_cast<std::size_t>(p1.operators[k][4]);
    if (pair.lattice_ops1_den[p] != 1) continue;
    sgl::Mat3i w{};
    sgl::matmlt(pair.cell2, pair.lattice_ops1[p], w);
    std::array<int32_t, 3> m{};
    bool found = true;
    for (int c = 0; c < 3 && found; ++c) {
      m[c] = crystal2_position({w[c * 3], w[c * 3 + 1], w[c * 3 + 2]});
      found = m[c] != 0;
    }
    if (!found) continue;
    const bool proper1 = static_cast<int32_t>(k + 1) <= p1.proper_count;
    for (std::size_t k2 = 0; k2 < p2.operators.size(); ++k2) {
      const bool proper2 = static_cast<int32_t>(k2 + 1) <= p2.proper_count;
      if (proper1 != proper2) continue;
      const std::vector<int32_t>& images = short_vector_images[k2];
      const std::array<int32_t, 3> g{images[static_cast<std::size_t>(m[0] - 1)],
                                     images[static_cast<std::size_t>(m[1] - 1)],
                                     images[static_cast<std::size_t>(m[2] - 1)]};
      if (g[0] == 0 || g[1] == 0 || g[2] == 0) continue;
      if (g < pair.vector_triple2) return false;
    }
  }
  return true;
}

}  // namespace duopath
