#include "duopath/mapping_search.hpp"

#include <algorithm>
#include <cmath>

#include "duopath/cell_vectors.hpp"
#include "library/geometry/lattice_metric.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/text/bomb.hpp"

namespace duopath {

namespace {

Vec3 shifted(const Vec3& x, const CellShift& l) {
  return {x[0] + l[0], x[1] + l[1], x[2] + l[2]};
}

}  // namespace

std::vector<CellShift> neighbor_cells(bool dim2) {
  std::vector<CellShift> cells;
  for (int32_t a = -1; a <= 1; ++a) {
    for (int32_t b = -1; b <= 1; ++b) {
      for (int32_t c = -1; c <= 1; ++c) {
        if (dim2 && c != 0) continue;
        cells.push_back({a, b, c});
      }
    }
  }
  return cells;
}

int32_t home_cell(bool dim2) { return dim2 ? 5 : 14; }

MappingSearch::MappingSearch(const MappingInput& input)
    : in_(input),
      cells_(neighbor_cells(input.dim2)),
      cell_count_(static_cast<int32_t>(cells_.size())),
      home_(home_cell(input.dim2)) {
  const int32_t n = in_.atom_count;
  check_input();
  // Every slot is tested once both of its atoms are placed: the slots of atom c whose neighbour
  // is not above c when c is placed, the others when their neighbour is placed.
  reverse_slots_.assign(n + 1, {});
  for (int32_t a = 1; a <= n; ++a) {
    for (int32_t s = 1; s <= in_.bond_neighbor_total; ++s) {
      const int32_t b = in_.neighbor_atom[(a - 1) * in_.bond_neighbor_total + s - 1];
      if (b > a) reverse_slots_[b].push_back({a, s});
    }
  }
  // Positions fixed for the pair: the Cartesian start of every atom image, and which pairs of
  // atom images are bonds of crystal 1.
  const auto cells = static_cast<size_t>(cell_count_);
  start_cart_.resize(static_cast<size_t>(n) * cells);
  end_cart_.resize(static_cast<size_t>(n) * cells);
  for (int32_t a = 1; a <= n; ++a) {
    for (int32_t m = 1; m <= cell_count_; ++m) {
      start_cart_[(a - 1) * cells + m - 1] =
          times(in_.cartesian_cell1, shifted(in_.positions1[a - 1], cells_[m - 1]));
    }
  }
  if (in_.bonds_given) {
    bond1_.assign(static_cast<size_t>(n) * n * cells, false);
    for (int32_t c = 1; c <= n; ++c) {
      const Vec3& x1c = in_.positions1[c - 1];
      for (int32_t a = 1; a <= c; ++a) {
        const Vec3& x1a = in_.positions1[a - 1];
        for (int32_t m = 1; m <= cell_count_; ++m) {
          const CellShift& lm = cells_[m - 1];
          Vec3 f;
          for (int i = 0; i < 3; ++i) f[i] = x1a[i] + lm[i] - x1c[i];
          bond1_[((c - 1) * static_cast<size_t>(n) + a - 1) * cells + m - 1] =
              length(times(in_.cartesian_cell1, f)) <= in_.bond_length;
        }
      }
    }
  }
}

// The arrays must match the common cell and every stored index must lie in its range; an input
// that does not is a fault of the caller and stops the run.
void MappingSearch::check_input() const {
  const auto n = static_cast<size_t>(in_.atom_count);
  const auto slots = n * static_cast<size_t>(std::max(in_.bond_neighbor_total, 0));
  bool ok = in_.atom_count >= 0 && in_.cell2_size >= 1 && in_.types1.size() == n &&
            in_.types2.size() == n && in_.positions1.size() >= n && in_.positions2.size() >= n &&
            (in_.type_min_distance.empty() || in_.type_min_distance.size() >= static_cast<size_t>(in_.type_count)) &&
            (in_.type_max_shuffle.empty() || in_.type_max_shuffle.size() >= static_cast<size_t>(in_.type_count)) &&
            (!in_.map_given || in_.atom_map.size() >= n) && in_.bond_neighbor_total >= 0 &&
            in_.neighbor_atom.size() >= slots && in_.neighbor_offset.size() >= slots &&
            in_.neighbor_distance.size() >= slots &&
            in_.slot_max_change.size() >= static_cast<size_t>(in_.bond_neighbor_total);
  for (size_t i = 0; ok && i < n; ++i) {
    ok = in_.types1[i] >= 1 && in_.types1[i] <= in_.type_count && in_.types2[i] >= 1 &&
         in_.types2[i] <= in_.type_count;
  }
  for (size_t k = 0; ok && k < slots; ++k) {
    ok = in_.neighbor_atom[k] >= 0 && in_.neighbor_atom[k] <= in_.atom_count;
  }
  if (!ok) sgl::bomb();
}

Vec3 MappingSearch::end_fraction(int32_t j, int32_t l) const {
  return shifted(in_.positions2[j - 1], cells_[l - 1]);
}

void MappingSearch::run(const Callback& on_complete) {
  const int32_t n = in_.atom_count;
  trial_count = placement_count = complete_count = 0;
  refusals = {};
  mapping_.partner.assign(n, 0);
  mapping_.partner_cell.assign(n, 0);
  mapping_.closest_approach.assign(n, 0.0);
  mapping_.atom_bond_change.assign(n, 0.0);
  partner_taken_.assign(n, false);
  displacement_.assign(n, {});
  if (n <= 0) return;

  auto& partner = mapping_.partner;
  auto& cell = mapping_.partner_cell;
  int32_t c = 1;
  partner[0] = 1;
  cell[0] = 1;
  for (;;) {
    bool found = false;
    int32_t j = partner[c - 1];
    int32_t l = cell[c - 1];
    for (; j <= n && !found; ++j, l = 1) {
      if (in_.types2[j - 1] != in_.types1[c - 1]) continue;
      if (partner_taken_[j - 1]) continue;
      if (in_.map_given && in_.atom_map[c - 1][0] != 0 && j != in_.atom_map[c - 1][0]) {
        ++refusals.map;
        continue;
      }
      for (; l <= cell_count_; ++l) {
        if (in_.map_given) {
          if (in_.atom_map[c - 1][1] != 0 && l != in_.atom_map[c - 1][1]) {
            ++refusals.map;
            continue;
          }
        } else if (c == 1) {
          if (l != home_ || (j - 1) % in_.cell2_size != 0) continue;
        }
        partner[c - 1] = j;
        cell[c - 1] = l;
        ++trial_count;
        if (place(c, j, l)) {
          found = true;
          break;
        }
      }
      if (found) break;
    }
    if (found) {
      partner_taken_[j - 1] = true;
      ++placement_count;
      if (c < n) {
        ++c;
        partner[c - 1] = 1;
        cell[c - 1] = 1;
        continue;
      }
      ++complete_count;
      on_complete(mapping_);
    } else {
      // The partners of atom c are exhausted: back to the atom before it.
      --c;
      if (c == 0) return;
    }
    // Release atom c's partner and resume it at its next cell.
    partner_taken_[partner[c - 1] - 1] = false;
    if (++cell[c - 1] > cell_count_) {
      ++partner[c - 1];
      cell[c - 1] = 1;
    }
  }
}

bool MappingSearch::place(int32_t c, int32_t j, int32_t l) {
  // The tests are pure predicates on the placement, so their order does not change which
  // placements pass nor the values kept for a placed atom; the cheap ones go first.
  // Each refusal is counted under the test that made it.
  int64_t* refused = nullptr;
  if (in_.shuffle_given && !test_shuffle(c, j, l)) {
    refused = &refusals.shuffle;
  } else if (in_.bond_neighbor_total > 0 && !test_bond_change(c, j, l)) {
    refused = &refusals.bond_change;
  } else if (in_.bonds_given && !test_bonds(c, j, l)) {
    refused = &refusals.bonds;
  } else if (!test_closest_approach(c, j, l)) {
    refused = &refusals.distance;
  }
  if (refused == nullptr) return true;
  ++*refused;
  return false;
}

// A bond of crystal 1 (at most bond_length long) must stay at most bond_length long at the end.
bool MappingSearch::test_bonds(int32_t c, int32_t j, int32_t l) const {
  const Vec3& x2j = in_.positions2[j - 1];
  const CellShift& lc = cells_[l - 1];
  for (int32_t a = 1; a <= c; ++a) {
    const Vec3& x2a = in_.positions2[(a == c ? j : mapping_.partner[a - 1]) - 1];
    const CellShift& la = cells_[(a == c ? l : mapping_.partner_cell[a - 1]) - 1];
    for (int32_t m = 1; m <= cell_count_; ++m) {
      if (a == c && m == home_) continue;
      if (!bond1_[((c - 1) * static_cast<size_t>(in_.atom_count) + a - 1) * cell_count_ + m - 1]) {
        continue;
      }
      const CellShift& lm = cells_[m - 1];
      Vec3 g;
      for (int i = 0; i < 3; ++i) g[i] = x2a[i] + la[i] + lm[i] - x2j[i] - lc[i];
      if (length(times(in_.cartesian_cell2, g)) > in_.bond_length) return false;
    }
  }
  return true;
}

// The smallest separation of atom c from every placed atom and every image along the paths.
// Every pair is held to the global limit and to the limits of both atoms' types.
bool MappingSearch::test_closest_approach(int32_t c, int32_t j, int32_t l) {
  double& closest = mapping_.closest_approach[c - 1];
  closest = 1e6;
  const auto cells = static_cast<size_t>(cell_count_);
  // The Cartesian end of every image of atom c; those of the placed atoms were kept when they
  // were placed.
  const Vec3 end_c = end_fraction(j, l);
  Vec3* ec_images = &end_cart_[(c - 1) * cells];
  for (int32_t m = 1; m <= cell_count_; ++m) {
    ec_images[m - 1] = times(in_.cartesian_cell2, shifted(end_c, cells_[m - 1]));
  }
  const Vec3& sc = start_cart_[(c - 1) * cells + home_ - 1];
  const Vec3& ec = ec_images[home_ - 1];
  const int32_t type_c = in_.types1[c - 1];
  const double limit_c =
      in_.type_min_distance.empty() ? 0.0 : in_.type_min_distance[type_c - 1];
  for (int32_t a = 1; a <= c; ++a) {
    const int32_t type_a = in_.types1[a - 1];
    const double limit = std::max(
        {in_.min_distance,
         in_.type_min_distance.empty() ? 0.0 : in_.type_min_distance[type_a - 1], limit_c});
    const Vec3* sa_images = &start_cart_[(a - 1) * cells];
    const Vec3* ea_images = &end_cart_[(a - 1) * cells];
    for (int32_t m = 1; m <= cell_count_; ++m) {
      if (a == c && m == home_) continue;
      const Vec3& sa = sa_images[m - 1];
      const Vec3& ea = ea_images[m - 1];
      Vec3 r0, w;
      for (int i = 0; i < 3; ++i) {
        r0[i] = sa[i] - sc[i];
        w[i] = (ea[i] - sa[i]) - (ec[i] - sc[i]);
      }
      const double ww = dot(w, w);
      double t = 0.0;
      if (sgl::ncmpd(ww)) {
        t = -dot(w, r0) / ww;
        if (t < 0.0) t = 0.0;
        if (t > 1.0) t = 1.0;
      }
      Vec3 r;
      for (int i = 0; i < 3; ++i) r[i] = r0[i] + t * w[i];
      const double d = std::sqrt(dot(r, r));
      if (d < closest) closest = d;
      if (d < limit) return false;
    }
  }
  return true;
}

// Half the range of each Cartesian component of the displacements of the placed atoms, over all
// atoms and per type, in both metrics.
bool MappingSearch::test_shuffle(int32_t c, int32_t j, int32_t l) {
  Vec3 f;
  const Vec3 x2 = end_fraction(j, l);
  for (int i = 0; i < 3; ++i) f[i] = x2[i] - in_.positions1[c - 1][i];
  displacement_[c - 1][0] = times(in_.cartesian_cell1, f);
  displacement_[c - 1][1] = times(in_.cartesian_cell2, f);
  const auto types = static_cast<size_t>(in_.type_count);
  type_high_.assign(types, 0.0);
  type_low_.assign(types, 0.0);
  for (int k = 0; k < 2; ++k) {
    for (int q = 0; q < 3; ++q) {
      type_seen_.assign(types, false);
      double high = displacement_[0][k][q];
      double low = high;
      for (int32_t a = 1; a <= c; ++a) {
        const double v = displacement_[a - 1][k][q];
        high = std::max(high, v);
        low = std::min(low, v);
        const auto t = static_cast<size_t>(in_.types1[a - 1] - 1);
        if (!type_seen_[t]) {
          type_seen_[t] = true;
          type_high_[t] = v;
          type_low_[t] = v;
        } else {
          type_high_[t] = std::max(type_high_[t], v);
          type_low_[t] = std::min(type_low_[t], v);
        }
      }
      if ((high - low) / 2 > in_.max_shuffle) return false;
      for (size_t t = 0; t < types; ++t) {
        const double half = type_seen_[t] ? (type_high_[t] - type_low_[t]) / 2 : 0.0;
        const double limit = in_.type_max_shuffle.empty() ? 1e9 : in_.type_max_shuffle[t];
        if (half > limit) return false;
      }
    }
  }
  return true;
}

// The change of length of bond slot s of atom a between crystal 1 and the end of the path; both
// atoms of the slot are placed.
double MappingSearch::slot_change(int32_t a, int32_t s) const {
  const size_t k = static_cast<size_t>(a - 1) * in_.bond_neighbor_total + s - 1;
  const int32_t b = in_.neighbor_atom[k];
  const Vec3& x2b = in_.positions2[mapping_.partner[b - 1] - 1];
  const CellShift& lb = cells_[mapping_.partner_cell[b - 1] - 1];
  const CellShift& la = cells_[mapping_.partner_cell[a - 1] - 1];
  const Vec3& x2a = in_.positions2[mapping_.partner[a - 1] - 1];
  const CellShift& off = in_.neighbor_offset[k];
  std::array<double, 3> v;
  for (int i = 0; i < 3; ++i) v[i] = x2b[i] + off[i] + lb[i] - la[i] - x2a[i];
  std::array<double, 9> g;
  std::copy(in_.metric2.begin(), in_.metric2.end(), g.begin());
  const double d2 = sgl::dvlength2(v, g);
  return std::fabs(d2 - in_.neighbor_distance[k]);
}

bool MappingSearch::test_bond_change(int32_t c, int32_t /*j*/, int32_t /*l*/) {
  // partner(c) and partner_cell(c) already hold (j, l).
  double& change = mapping_.atom_bond_change[c - 1];
  change = 0.0;
  const int32_t total = in_.bond_neighbor_total;
  for (int32_t s = 1; s <= total; ++s) {
    const int32_t b = in_.neighbor_atom[static_cast<size_t>(c - 1) * total + s - 1];
    if (b == 0 || b > c) continue;
    const double d = slot_change(c, s);
    if (d > in_.slot_max_change[s - 1]) return false;
    change = std::max(change, d);
  }
  for (const auto& [a, s] : reverse_slots_[c]) {
    const double d = slot_change(a, s);
    if (d > in_.slot_max_change[s - 1]) return false;
    change = std::max(change, d);
  }
  return true;
}

}  // namespace duopath
