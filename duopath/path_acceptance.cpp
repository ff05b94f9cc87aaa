#include "duopath/path_acceptance.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <numeric>

#include "duopath/cell_vectors.hpp"
#include "library/exact/arithmetic.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace duopath {

namespace {

bool within(const Vec3& a, const Vec3& b) {
  for (int i = 0; i < 3; ++i) {
    if (sgl::ncmpd(a[i] - b[i])) return false;
  }
  return true;
}

sgl::RationalVector translation(const sgl::SpaceOp& op) { return {op[0], op[1], op[2], op[3]}; }

// A translation of common-cell coordinates in the primitive coordinates of a crystal: the cell
// matrix times the numerators over the same denominator, in lowest terms.
sgl::RationalVector to_primitive(const sgl::Mat3i& cell, const sgl::RationalVector& t) {
  sgl::RationalVector p{0, 0, 0, t[3]};
  sgl::vmlt(cell, t.data(), p.data());
  sgl::reduc2(p);
  return p;
}

}  // namespace

bool fraction_of(double x, int32_t max_den, int32_t& numerator, int32_t& denominator) {
  for (int32_t d = 1; d <= max_den; ++d) {
    const double v = d * x;
    const double n = std::round(v);
    if (!sgl::ncmpd(v - n)) {
      numerator = static_cast<int32_t>(n);
      denominator = d;
      return true;
    }
  }
  return false;
}

// The denominators of the translations in the tables are 1, 2, 3, 4 and 6, and the cell inverses
// add the two cell sizes: the shift's denominator divides 12 lcm(cell_size, cell2_size).
int32_t shift_denominator_cap(int32_t cell_size, int32_t cell2_size) {
  const int64_t l = std::lcm(static_cast<int64_t>(std::max(cell_size, 1)),
                             static_cast<int64_t>(std::max(cell2_size, 1)));
  return static_cast<int32_t>(std::clamp<int64_t>(12 * l, 100, INT32_MAX));
}

PathAcceptance::PathAcceptance(const MappingInput& mapping_input, const PathInput& path_input)
    : mi_(mapping_input),
      pi_(path_input),
      cells_(neighbor_cells(mapping_input.dim2)),
      home_(home_cell(mapping_input.dim2)) {}

bool PathAcceptance::accept(const AtomMapping& mapping, int32_t& mapping_number) {
  const int32_t n = mi_.atom_count;
  PathValues& v = values;
  v.start.assign(mi_.positions1.begin(), mi_.positions1.begin() + n);
  v.end.resize(n);

  // End positions and the mean displacement, which is then removed from the ends.
  Vec3 sum{};
  for (int32_t i = 0; i < n; ++i) {
    const Vec3& x2 = mi_.positions2[mapping.partner[i] - 1];
    const CellShift& l = cells_[mapping.partner_cell[i] - 1];
    for (int q = 0; q < 3; ++q) {
      v.end[i][q] = x2[q] + l[q];
      sum[q] += v.end[i][q] - v.start[i][q];
    }
  }
  for (int q = 0; q < 3; ++q) v.mean_displacement[q] = sum[q] / n;
  for (int32_t i = 0; i < n; ++i) {
    for (int q = 0; q < 3; ++q) v.end[i][q] -= v.mean_displacement[q];
  }

  // Displacements into the free slot of the saved mappings, and the final shuffle.
  const size_t slot = static_cast<size_t>(saved_count) * n;
  if (saved_.size() < slot + n) saved_.resize(slot + n);
  v.max_atomic_shuffle = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    Vec3& d = saved_[slot + i];
    for (int q = 0; q < 3; ++q) d[q] = v.end[i][q] - v.start[i][q];
    for (int k = 1; k <= 2; ++k) {
      const double s = length(times(k == 1 ? mi_.cartesian_cell1 : mi_.cartesian_cell2, d));
      if (mi_.shuffle_given) {
        const double type_limit =
            mi_.type_max_shuffle.empty() ? 1e9 : mi_.type_max_shuffle[mi_.types1[i] - 1];
        if (s > mi_.max_shuffle || s > type_limit) {
          ++refused_shuffle;
          return false;
        }
      }
      v.max_atomic_shuffle = std::max(v.max_atomic_shuffle, s);
    }
  }

  v.nearest_approach = *std::min_element(mapping.closest_approach.begin(),
                                         mapping.closest_approach.begin() + n);
  if (mi_.bond_neighbor_total > 0) {
    v.max_bond_change = *std::max_element(mapping.atom_bond_change.begin(),
                                          mapping.atom_bond_change.begin() + n);
  }

  // Bonds of crystal 1 at the start and those of them broken at the end.
  const double factor = static_cast<double>(1.01f);
  const double bond1 = factor * pi_.nearest_distance1;
  const double bond2 = factor * pi_.nearest_distance2;
  v.bond_count = 0;
  v.broken_bond_count = 0;
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = i; j < n; ++j) {
      for (int32_t m = 1; m <= static_cast<int32_t>(cells_.size()); ++m) {
        if (j == i && m == home_) continue;
        const CellShift& l = cells_[m - 1];
        Vec3 f;
        for (int q = 0; q < 3; ++q) f[q] = v.start[j][q] + l[q] - v.start[i][q];
        if (!(length(times(mi_.cartesian_cell1, f)) < bond1)) continue;
        ++v.bond_count;
        for (int q = 0; q < 3; ++q) f[q] = v.end[j][q] + l[q] - v.end[i][q];
        if (length(times(mi_.cartesian_cell2, f)) > bond2) ++v.broken_bond_count;
      }
    }
  }

  if (!symmetry_pass()) return false;

  ++mapping_number;
  ++saved_count;
  if (saved_count >= kMaxSavedMappings) {
    sgl::write_line(6, "(a)", {"Error: maxsave too small"});
    sgl::bomb();
  }
  return true;
}

// Every combination of a common operation with an internal translation either carries the path
// onto itself (a path symmetry, kept when it is also an operation of crystal 2) or carries the
// displacement field somewhere else; when that is a saved mapping, the new one is a copy.
bool PathAcceptance::symmetry_pass() {
  const int32_t n = mi_.atom_count;
  PathValues& v = values;
  const std::vector<Vec3>& start = v.start;
  const std::vector<Vec3>& end = v.end;
  const size_t slot = static_cast<size_t>(saved_count) * n;
  transformed_.resize(n);
  v.path_symmetry_count = 0;
  v.path_symmetry_ops1.clear();
  v.path_symmetry_ops2.clear();
  const int32_t cap = shift_denominator_cap(pi_.cell_size, mi_.cell2_size);

  for (size_t k = 0; k < pi_.common_ops1.size(); ++k) {
    const sgl::Mat3i& r = pi_.common_rotations[k];
    for (int32_t tau = 0; tau < pi_.cell_size; ++tau) {
      sgl::RationalVector t;
      sgl::vadd(translation(pi_.common_ops1[k]), pi_.internal_translations[tau], t);
      const Vec3 td{static_cast<double>(t[0]) / t[3], static_cast<double>(t[1]) / t[3],
                    static_cast<double>(t[2]) / t[3]};

      bool symmetric = true;
      hit_.assign(n, false);
      for (int32_t i = 0; i < n; ++i) {
        const Vec3 rs = times(r, start[i]);
        Vec3 y;
        for (int q = 0; q < 3; ++q) y[q] = td[q] + rs[q];
        int32_t image = -1;
        Vec3 shift{};
        for (int32_t i2 = 0; i2 < n && image < 0; ++i2) {
          bool match = true;
          Vec3 nn;
          for (int q = 0; q < 3 && match; ++q) {
            const double e = y[q] - start[i2][q];
            nn[q] = std::round(e);
            if (sgl::ncmpd(e - nn[q])) match = false;
          }
          if (match) {
            image = i2;
            shift = nn;
          }
        }
        if (image < 0 || hit_[image]) sgl::bomb();
        hit_[image] = true;
        if (symmetric) {
          const Vec3 re = times(r, end[i]);
          for (int q = 0; q < 3; ++q) {
            const double z = td[q] - shift[q] + re[q];
            if (sgl::ncmpd(z - end[image][q])) symmetric = false;
          }
        }
        transformed_[image] = times(r, saved_[slot + i]);
      }

      if (!symmetric) {
        for (int32_t s = 0; s < saved_count; ++s) {
          bool same = true;
          for (int32_t i = 0; i < n && same; ++i) {
            same = within(transformed_[i], saved_[static_cast<size_t>(s) * n + i]);
          }
          if (same) return false;
        }
        continue;
      }

      // The operation seen from crystal 2, whose atoms lie at the ends plus the mean displacement.
      const Vec3 rm = times(r, v.mean_displacement);
      std::array<int32_t, 3> num{}, den{};
      for (int q = 0; q < 3; ++q) {
        const double u = v.mean_displacement[q] - rm[q];
        if (!fraction_of(u, cap, num[q], den[q])) sgl::bomb();
      }
      int64_t common = 1;
      for (int q = 0; q < 3; ++q) common = std::lcm(common, static_cast<int64_t>(den[q]));
      if (common > INT32_MAX) sgl::bomb();
      sgl::RationalVector u{0, 0, 0, static_cast<int32_t>(common)};
      for (int q = 0; q < 3; ++q) u[q] = static_cast<int32_t>(num[q] * (common / den[q]));
      sgl::reduc2(u);
      sgl::RationalVector t2;
      sgl::vadd(t, u, t2);

      const sgl::RationalVector p2 = to_primitive(pi_.cell2, t2);
      const int32_t point2 = pi_.common_ops2[k][4];
      const sgl::SpaceOp* op2 = nullptr;
      for (const sgl::SpaceOp& op : pi_.operators2) {
        if (op[4] == point2) {
          op2 = &op;
          break;
        }
      }
      if (op2 == nullptr) sgl::bomb();
      sgl::RationalVector diff;
      sgl::vsub(translation(*op2), p2, diff);
      sgl::reduc1(diff);
      if (diff[0] != 0 || diff[1] != 0 || diff[2] != 0) continue;

      const sgl::RationalVector& it = pi_.internal_translations[tau];
      if (k == 0 && (it[0] != 0 || it[1] != 0 || it[2] != 0)) {
        ++refused_smaller_cell;
        return false;
      }

      const sgl::RationalVector p1 = to_primitive(pi_.cell1, t);
      v.path_symmetry_ops1.push_back({p1[0], p1[1], p1[2], p1[3], pi_.common_ops1[k][4]});
      v.path_symmetry_ops2.push_back({p2[0], p2[1], p2[2], p2[3], point2});
      ++v.path_symmetry_count;
    }
  }
  return true;
}

}  // namespace duopath
