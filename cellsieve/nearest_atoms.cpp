// The atom of a type nearest to a point, through a grid of the unit cell.
#include "cellsieve/nearest_atoms.hpp"

#include <algorithm>
#include <cmath>

#include "cellsieve/search.hpp"

namespace cellsieve {

namespace {

// Rounding of the lattice coordinates, relative to their size: the grid places atoms and points
// by coordinates computed apart from the differences that near_origin reduces, so a margin of this
// much (far above the rounding of double precision) keeps every atom that may tie with the best.
constexpr double kRelativeMargin = 1e-9;

// The grid cell holding grid coordinate s, wrapped into 0..dims - 1.
int32_t wrapped(double s, int32_t dims) {
  const double q = std::floor(s);
  const double m = q - static_cast<double>(dims) * std::floor(q / static_cast<double>(dims));
  return std::clamp(static_cast<int32_t>(m), 0, dims - 1);
}

}  // namespace

NearestAtoms::NearestAtoms(const Mat3& basis, const Mat3& basis_inv, const Grid<double>& cart,
                           const Grid<int32_t>& type, int32_t n)
    : basis_(basis), basis_inv_(basis_inv), cart_(&cart) {
  for (int i = 1; i <= 3; ++i)
    row_norm_[i - 1] = length({at(basis_inv, i, 1), at(basis_inv, i, 2), at(basis_inv, i, 3)});

  std::vector<Vec3> frac(static_cast<std::size_t>(n) + 1);
  for (int32_t a = 1; a <= n; ++a) {
    vector_mlt(basis_inv, column(cart, a), frac[a]);
    for (double& f : frac[a]) {
      coordinate_scale_ = std::max(coordinate_scale_, std::fabs(f));
      f -= std::floor(f);
    }
  }
  for (int32_t a = 1; a <= n; ++a) {
    auto it = std::lower_bound(grids_.begin(), grids_.end(), type(a),
                               [](const TypeGrid& g, int32_t t) { return g.type < t; });
    if (it == grids_.end() || it->type != type(a)) {
      it = grids_.insert(it, TypeGrid{});
      it->type = type(a);
    }
    it->atoms.push_back(a);
  }

  // About two atoms per grid cell, the cell edges in the proportions of the lattice vectors.
  const double volume = std::fabs(detmat(basis));
  for (TypeGrid& g : grids_) {
    const double count = static_cast<double>(g.atoms.size());
    const double per_length = volume > 0.0 ? std::cbrt(0.5 * count / volume) : 0.0;
    for (int i = 0; i < 3; ++i) {
      const double edges = length(mat_column(basis, i + 1)) * per_length;
      g.dims[i] = std::isfinite(edges) ? std::clamp(static_cast<int32_t>(std::lround(edges)), 1, 64) : 1;
    }
    const int32_t cells = g.dims[0] * g.dims[1] * g.dims[2];
    std::vector<int32_t> cell_of_atom(g.atoms.size());
    g.start.assign(static_cast<std::size_t>(cells) + 1, 0);
    for (std::size_t q = 0; q < g.atoms.size(); ++q) {
      int32_t c[3];
      cell_of(g, frac[g.atoms[q]], c);
      cell_of_atom[q] = (c[2] * g.dims[1] + c[1]) * g.dims[0] + c[0];
      ++g.start[cell_of_atom[q] + 1];
    }
    for (int32_t c = 0; c < cells; ++c) g.start[c + 1] += g.start[c];
    g.items.assign(g.atoms.size(), 0);
    std::vector<int32_t> fill(g.start.begin(), g.start.end() - 1);
    for (std::size_t q = 0; q < g.atoms.size(); ++q) g.items[fill[cell_of_atom[q]]++] = g.atoms[q];
  }
}

const NearestAtoms::TypeGrid* NearestAtoms::grid_of(int32_t type) const {
  auto it = std::lower_bound(grids_.begin(), grids_.end(), type,
                             [](const TypeGrid& g, int32_t t) { return g.type < t; });
  return it == grids_.end() || it->type != type ? nullptr : &*it;
}

void NearestAtoms::cell_of(const TypeGrid& g, const Vec3& f, int32_t (&c)[3]) const {
  for (int i = 0; i < 3; ++i) c[i] = wrapped(f[i] * g.dims[i] + kOffset, g.dims[i]);
}

int32_t NearestAtoms::nearest(const Vec3& u, int32_t type, Vec3& lattice_part) const {
  const TypeGrid* g = grid_of(type);
  if (g == nullptr) return 0;
  int32_t best = 0;
  double best_d = 0.0;
  Vec3 best_w{}, best_r{};
  auto measure = [&](int32_t m) {
    Vec3 w{};
    vector_sub(u, column(*cart_, m), w);
    Vec3 d{};
    near_origin(basis_inv_, basis_, w, d);
    const double dist = length(d);
    if (best == 0 || dist < best_d || (dist == best_d && m < best)) {
      best = m;
      best_d = dist;
      best_w = w;
      best_r = d;
    }
  };
  auto measure_cell = [&](int32_t x, int32_t y, int32_t z) {
    const int32_t c = (z * g->dims[1] + y) * g->dims[0] + x;
    for (int32_t q = g->start[c]; q < g->start[c + 1]; ++q) measure(g->items[q]);
  };
  auto measure_all = [&] {
    for (int32_t m : g->atoms) measure(m);
  };

  Vec3 f{};
  vector_mlt(basis_inv_, u, f);
  double s[3];
  bool finite = true;
  for (int i = 0; i < 3; ++i) {
    s[i] = f[i] * g->dims[i] + kOffset;
    finite = finite && std::isfinite(s[i]);
  }
  if (g->dims[0] * g->dims[1] * g->dims[2] == 1 || !finite) {
    measure_all();
  } else {
    // The grid cell of the point, else its neighbours, give a first bound.
    int32_t c[3];
    for (int i = 0; i < 3; ++i) c[i] = wrapped(s[i], g->dims[i]);
    measure_cell(c[0], c[1], c[2]);
    bool neighbours = false;
    if (best == 0) {
      neighbours = true;
      for (int dz = -1; dz <= 1; ++dz)
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            measure_cell(wrapped(c[0] + dx, g->dims[0]), wrapped(c[1] + dy, g->dims[1]),
                         wrapped(c[2] + dz, g->dims[2]));
    }
    if (best == 0) {
      measure_all();
    } else {
      // An atom no farther than best_d differs from u by at most row_norm_[i] best_d in lattice
      // coordinate i (modulo 1): the grid cells within that reach, with the margin, hold every
      // atom that can still win.
      const double margin =
          kRelativeMargin * (1.0 + coordinate_scale_ + std::max({std::fabs(f[0]), std::fabs(f[1]), std::fabs(f[2])}));
      int64_t lo[3], count[3];
      bool whole = true;
      for (int i = 0; i < 3; ++i) {
        const double reach = (row_norm_[i] * best_d * (1.0 + kRelativeMargin) + margin) * g->dims[i];
        const double first = std::floor(s[i] - reach);
        const double last = std::floor(s[i] + reach);
        if (!(last - first + 1.0 < static_cast<double>(g->dims[i]))) {
          lo[i] = 0;
          count[i] = g->dims[i];
        } else {
          lo[i] = wrapped(first, g->dims[i]);
          count[i] = static_cast<int64_t>(last - first) + 1;
          whole = false;
        }
      }
      if (whole) {
        best = 0;
        measure_all();
      } else {
        for (int64_t z = 0; z < count[2]; ++z)
          for (int64_t y = 0; y < count[1]; ++y)
            for (int64_t x = 0; x < count[0]; ++x) {
              const auto cx = static_cast<int32_t>((lo[0] + x) % g->dims[0]);
              const auto cy = static_cast<int32_t>((lo[1] + y) % g->dims[1]);
              const auto cz = static_cast<int32_t>((lo[2] + z) % g->dims[2]);
              if (!neighbours && cx == c[0] && cy == c[1] && cz == c[2]) continue;
              measure_cell(cx, cy, cz);
            }
      }
    }
  }
  if (best != 0) vector_sub(best_w, best_r, lattice_part);
  return best;
}

}  // namespace cellsieve
