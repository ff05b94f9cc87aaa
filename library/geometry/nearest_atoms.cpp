// The shortest interatomic distance of a crystal given by its Wyckoff lines.
#include "library/geometry/nearest_atoms.hpp"

#include <array>
#include <cstddef>
#include <vector>

#include "library/exact/linalg_support.hpp"
#include "library/geometry/lattice_metric.hpp"
#include "library/geometry/lattice_reduction.hpp"
#include "library/geometry/real_vector.hpp"
#include "library/groups/id_wyckoff.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/types.hpp"

namespace sgl {

namespace {

constexpr int kMaxOrbit = 48;

// Keeps the smaller of the running minimum (negative: unset) and a length.
inline void take(double& shortest, double length) {
  if (shortest < 0.0 || length < shortest) shortest = length;
}

}  // namespace

double dnearest_atoms(const CommonSpace& cs, const CommonWyckoff& cw, int32_t isg, int32_t nsite,
                      std::span<const int32_t> iwyc, std::span<const double> xyz,
                      std::span<const double, 9> g) {
  if (nsite > 0) {
    linalg::require_storage(iwyc.size(), nsite);
    linalg::require_storage(xyz.size(), int64_t{3} * nsite);
  }

  // The shortened basis: metric gr and the change of fractional components by m^-1.
  Mat3i m;
  const bool reduced = reduce_lattice_basis(g, m);
  std::array<double, 9> gr;
  for (int k = 0; k < 9; ++k) gr[k] = g[k];
  Mat3i m_inverse{};
  if (reduced) {
    transform_metric(g, m, gr);
    m_inverse = unimodular_inverse(m);
  }

  double shortest = -1.0;
  for (int t1 = -1; t1 <= 1; ++t1)
    for (int t2 = -1; t2 <= 1; ++t2)
      for (int t3 = -1; t3 <= 1; ++t3) {
        if (t1 == 0 && t2 == 0 && t3 == 0) continue;
        const std::array<double, 3> t{double(t1), double(t2), double(t3)};
        take(shortest, dvlength2(t, gr));
      }

  // Every position of every line.
  std::vector<std::array<double, 3>> positions;
  positions.reserve(static_cast<std::size_t>(nsite > 0 ? nsite : 0) * kMaxOrbit);
  for (int32_t l = 0; l < nsite; ++l) {
    std::array<WyckoffMatrix, kMaxOrbit> orbit;
    int32_t npos = 0;
    get_wyckoff_all(cs, cw, isg, iwyc[l], npos, orbit);
    const std::array<double, 3> params{xyz[3 * l], xyz[3 * l + 1], xyz[3 * l + 2]};
    for (int32_t p = 0; p < npos; ++p) {
      std::array<double, 3> point;
      dget_wyc_xyz(params, orbit[p], point);
      positions.push_back(point);
    }
  }

  const std::size_t count = positions.size();
  for (std::size_t p1 = 0; p1 < count; ++p1)
    for (std::size_t p2 = 0; p2 < count; ++p2) {
      if (p1 == p2) continue;
      std::array<double, 3> diff;
      dvsub(positions[p1], positions[p2], diff, 3);
      if (reduced) {
        std::array<double, 3> carried;
        for (int i = 1; i <= 3; ++i) {
          double sum = 0.0;
          for (int j = 1; j <= 3; ++j)
            sum += static_cast<double>(m3(m_inverse, i, j)) * diff[j - 1];
          carried[i - 1] = sum;
        }
        diff = carried;
      }
      for (double& c : diff) c = fold_wyckoff_parameter(c, "dnearest_atoms");
      for (int t1 = -1; t1 <= 1; ++t1)
        for (int t2 = -1; t2 <= 1; ++t2)
          for (int t3 = -1; t3 <= 1; ++t3) {
            const std::array<double, 3> v{diff[0] + t1, diff[1] + t2, diff[2] + t3};
            take(shortest, dvlength2(v, gr));
          }
    }
  return shortest;
}

double dnearest_atoms(int32_t isg, int32_t nsite, std::span<const int32_t> iwyc,
                      std::span<const double> xyz, std::span<const double, 9> g) {
  return dnearest_atoms(common_space(), common_wyckoff(), isg, nsite, iwyc, xyz, g);
}

}  // namespace sgl
