// Seeded synthetic common cells for the tests of the atom-mapping search and path acceptance.
//
// A fixture is a common cell of up to five atoms per crystal. Each crystal is either without
// symmetry or centrosymmetric about the origin, and may hold two primitive cells (crystal 1 along
// a, crystal 2 along a or b); its atoms are numbered the way the common cell numbers them, the
// copies of one primitive atom in consecutive numbers, the unshifted one first. The limits are
// drawn from the fixture's own distances so that they cut.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "duopath/mapping_search.hpp"
#include "duopath/path_acceptance.hpp"

namespace duopath::testing {

struct Fixture {
  MappingInput in;
  PathInput path;
  double edge = 4.0;  // length of the cell edges before distortion
};

inline Vec3 cart(const Mat3d& c, const Vec3& x) {
  Vec3 y{};
  for (int i = 0; i < 3; ++i) y[i] = c[i] * x[0] + c[3 + i] * x[1] + c[6 + i] * x[2];
  return y;
}

inline double norm(const Vec3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

inline Mat3d metric_of(const Mat3d& c) {
  Mat3d g{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double s = 0.0;
      for (int k = 0; k < 3; ++k) s += c[i * 3 + k] * c[j * 3 + k];
      g[j * 3 + i] = s;
    }
  }
  return g;
}

// Smallest distance between two atoms (or an atom and its image) of one crystal.
inline double nearest_distance(const std::vector<Vec3>& x, const Mat3d& c) {
  double best = 1e30;
  for (size_t i = 0; i < x.size(); ++i) {
    for (size_t j = 0; j < x.size(); ++j) {
      for (int a = -1; a <= 1; ++a) {
        for (int b = -1; b <= 1; ++b) {
          for (int d = -1; d <= 1; ++d) {
            if (i == j && a == 0 && b == 0 && d == 0) continue;
            Vec3 v{x[j][0] + a - x[i][0], x[j][1] + b - x[i][1], x[j][2] + d - x[i][2]};
            best = std::min(best, norm(cart(c, v)));
          }
        }
      }
    }
  }
  return best;
}

inline double wrap(double v) { return v - std::floor(v); }

// One crystal of the common cell: orbits of random points under the origin inversion (when
// centro) and the translation by half a cell along axis `axis` (when size is 2).
inline void build_crystal(std::mt19937& rng, const std::vector<int32_t>& orbit_types, bool centro,
                          int32_t size, int axis, std::vector<int32_t>& types,
                          std::vector<Vec3>& pos) {
  std::uniform_real_distribution<double> u(0.02, 0.98);
  for (int32_t t : orbit_types) {
    Vec3 x{u(rng), u(rng), u(rng)};
    std::vector<Vec3> prim{x};
    if (centro) prim.push_back({wrap(-x[0]), wrap(-x[1]), wrap(-x[2])});
    for (const Vec3& p : prim) {
      for (int32_t k = 0; k < size; ++k) {
        Vec3 y = p;
        y[axis] = wrap(y[axis] + 0.5 * k);
        types.push_back(t);
        pos.push_back(y);
      }
    }
  }
}

inline Fixture random_fixture(uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  auto chance = [&](double p) { return u01(rng) < p; };
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

  Fixture f;
  MappingInput& in = f.in;
  PathInput& pa = f.path;
  in.dim2 = chance(0.15);
  const bool centro = chance(0.35);
  const int32_t g = centro ? 2 : 1;
  pa.cell_size = chance(0.3) ? 2 : 1;
  in.cell2_size = chance(0.4) ? 2 : 1;
  const int axis2 = pick(0, 1);
  const int32_t unit1 = g * pa.cell_size;
  const int32_t unit2 = g * in.cell2_size;
  const int32_t unit = std::lcm(unit1, unit2);
  const int32_t max_k = 5 / unit;
  const int32_t k = pick(1, std::max(1, max_k));
  const int32_t n = unit * k;
  in.atom_count = n;

  // Types: one or two, each count a multiple of the unit so both crystals can hold it.
  in.type_count = (k >= 2 && chance(0.5)) ? 2 : 1;
  std::vector<int32_t> units(k, 1);
  if (in.type_count == 2) {
    const int32_t first = pick(1, k - 1);
    for (int32_t i = first; i < k; ++i) units[i] = 2;
  }
  auto orbits = [&](int32_t per_orbit) {
    std::vector<int32_t> o;
    for (int32_t t : units) {
      for (int32_t i = 0; i < unit / per_orbit; ++i) o.push_back(t);
    }
    std::shuffle(o.begin(), o.end(), rng);
    return o;
  };
  build_crystal(rng, orbits(unit1), centro, pa.cell_size, 0, in.types1, in.positions1);
  build_crystal(rng, orbits(unit2), centro, in.cell2_size, axis2, in.types2, in.positions2);

  // Cells near a cube of edge f.edge; in two-dimensional mode the third axis is long.
  auto cell = [&](Mat3d& c) {
    std::uniform_real_distribution<double> e(-0.12, 0.12);
    for (int i = 0; i < 9; ++i) c[i] = f.edge * ((i % 4 == 0 ? 1.0 : 0.0) + e(rng));
    if (in.dim2) {
      for (int i = 6; i < 9; ++i) c[i] *= 1.6;
    }
  };
  cell(in.cartesian_cell1);
  cell(in.cartesian_cell2);
  in.metric2 = metric_of(in.cartesian_cell2);

  pa.cell1 = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  pa.cell2 = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  pa.internal_translations = {{0, 0, 0, 1}};
  if (pa.cell_size == 2) {
    pa.cell1[0] = 2;
    pa.internal_translations.push_back({1, 0, 0, 2});
  }
  if (in.cell2_size == 2) pa.cell2[axis2 * 4] = 2;
  pa.common_ops1 = {{0, 0, 0, 1, 1}};
  pa.common_ops2 = {{0, 0, 0, 1, 1}};
  pa.common_rotations = {{1, 0, 0, 0, 1, 0, 0, 0, 1}};
  pa.operators2 = {{0, 0, 0, 1, 1}};
  if (centro) {
    pa.common_ops1.push_back({0, 0, 0, 1, 2});
    pa.common_ops2.push_back({0, 0, 0, 1, 2});
    pa.common_rotations.push_back({-1, 0, 0, 0, -1, 0, 0, 0, -1});
    // Sometimes crystal 2's inversion is tabulated about another centre, so that the centre of
    // the placed atoms is no operation of crystal 2 and the path operation is dropped.
    pa.operators2.push_back(chance(0.3) ? sgl::SpaceOp{1, 0, 0, 2, 2} : sgl::SpaceOp{0, 0, 0, 1, 2});
  }
  pa.nearest_distance1 = nearest_distance(in.positions1, in.cartesian_cell1);
  pa.nearest_distance2 = nearest_distance(in.positions2, in.cartesian_cell2);
  const double s0 = pa.nearest_distance1;

  // Limits.
  if (chance(0.25)) {
    in.bonds_given = true;
    in.bond_length = s0 * (1.0 + 0.6 * u01(rng));
  }
  if (chance(0.4)) in.min_distance = s0 * (0.1 + 0.5 * u01(rng));
  if (chance(0.4)) {
    for (int32_t t = 0; t < in.type_count; ++t) {
      in.type_min_distance.push_back(chance(0.5) ? 0.0 : s0 * 0.8 * u01(rng));
    }
  }
  if (chance(0.85)) {
    in.shuffle_given = true;
    in.max_shuffle = chance(0.8) ? f.edge * (0.2 + 0.5 * u01(rng)) : 1e9;
    if (chance(0.35)) {
      for (int32_t t = 0; t < in.type_count; ++t) {
        in.type_max_shuffle.push_back(chance(0.5) ? 1e9 : f.edge * (0.15 + 0.5 * u01(rng)));
      }
    }
  }
  const int32_t cells = in.dim2 ? 9 : 27;
  if (chance(0.35)) {
    const int32_t total = pick(1, 3);
    in.bond_neighbor_total = total;
    for (int32_t a = 1; a <= n; ++a) {
      for (int32_t s = 1; s <= total; ++s) {
        int32_t b = chance(0.2) ? 0 : pick(1, n);
        CellShift off{pick(-1, 1), pick(-1, 1), in.dim2 ? 0 : pick(-1, 1)};
        if (b == a && off == CellShift{0, 0, 0}) off[0] = 1;
        double d = 0.0;
        if (b != 0) {
          const Vec3& xa = in.positions1[a - 1];
          const Vec3& xb = in.positions1[b - 1];
          d = norm(cart(in.cartesian_cell1,
                        {xb[0] + off[0] - xa[0], xb[1] + off[1] - xa[1], xb[2] + off[2] - xa[2]}));
        } else {
          off = {0, 0, 0};
        }
        in.neighbor_atom.push_back(b);
        in.neighbor_offset.push_back(off);
        in.neighbor_distance.push_back(d);
      }
    }
    for (int32_t s = 1; s <= total; ++s) in.slot_max_change.push_back(s0 * (0.05 + 0.6 * u01(rng)));
  }
  if (chance(0.2)) {
    in.map_given = true;
    in.atom_map.assign(n, {0, 0});
    for (int32_t a = 1; a <= n; ++a) {
      if (!chance(0.4)) continue;
      int32_t j = pick(1, n);
      for (int32_t tries = 0; tries < 5 && in.types2[j - 1] != in.types1[a - 1]; ++tries) j = pick(1, n);
      in.atom_map[a - 1] = {j, chance(0.5) ? 0 : pick(1, chance(0.9) ? cells : 27)};
    }
  }
  return f;
}

}  // namespace duopath::testing
