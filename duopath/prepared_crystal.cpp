// The per-crystal steps of the preparation: primitive basis, operators, atoms, Cartesian bases
// and the rotations in the primitive basis.
#include "duopath/prepared_crystal.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "library/exact/arithmetic.hpp"
#include "library/geometry/lattice_metric.hpp"
#include "library/groups/change_setting.hpp"
#include "library/groups/space_group.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/tables/setting_tables.hpp"
#include "library/text/bomb.hpp"

namespace duopath {

using sgl::m3;

void make_primitive_basis(const sgl::CommonSpace& cs, int32_t space_group, PreparedCrystal& p) {
  std::array<sgl::RationalVector, 3> w{};
  for (int j = 0; j < 3; ++j) {
    sgl::RationalVector e{0, 0, 0, 1};
    e[j] = 1;
    sgl::vector_change_setting(cs, space_group, "pml", "cinter", e, w[j]);
  }
  sgl::Mat3i basis{};
  int64_t den = 1;
  for (int j = 0; j < 3; ++j) {
    int64_t other = 1;
    for (int k = 0; k < 3; ++k) {
      if (k != j) other *= w[k][3];
    }
    for (int i = 0; i < 3; ++i) basis[j * 3 + i] = static_cast<int32_t>(w[j][i] * other);
    den *= w[j][3];
  }
  int32_t basis_den = static_cast<int32_t>(den);
  sgl::reduc3(basis, basis_den);
  p.primitive_basis = basis;
  p.primitive_basis_den = basis_den;
  sgl::Mat3i inverse{};
  int32_t inverse_den = 1;
  sgl::matinv(basis, inverse, inverse_den);
  for (int32_t& x : inverse) x = static_cast<int32_t>(static_cast<int64_t>(x) * basis_den);
  sgl::reduc3(inverse, inverse_den);
  if (inverse_den != 1) sgl::bomb();
  p.to_primitive = inverse;
}

void make_operators(const sgl::CommonSpace& cs, const sgl::CommonWyckoff& cw,
                    const CrystalInput& crystal, PreparedCrystal& p) {
  const int32_t sg = crystal.space_group;
  p.operators.assign(sgl::kMaxGroupOps, sgl::SpaceOp{});
  sgl::generate_space_group(cs, sg, p.operator_count, p.operators);
  p.operators.resize(static_cast<std::size_t>(p.operator_count));
  p.operator_inverse.assign(p.operators.size(), 0);
  for (std::size_t k = 0; k < p.operators.size(); ++k) {
    const int32_t inverse = cs.point_op_inverse(p.operators[k][4]);
    for (std::size_t m = 0; m < p.operators.size(); ++m) {
      if (p.operators[m][4] == inverse) {
        p.operator_inverse[k] = static_cast<int32_t>(m + 1);
        break;
      }
    }
    if (p.operator_inverse[k] == 0) sgl::bomb();
  }
  p.point_group = cs.sg_point_group(sg);
  p.bravais_type = cs.sg_bravais(sg);
  p.wyckoff_global.clear();
  p.site_point_group.clear();
  p.multiplicity.clear();
  p.atom_count = 0;
  for (const WyckoffLine& line : crystal.lines) {
    const int32_t global = cw.wyc_first(sg) + line.wyckoff - 1;
    const int32_t site = cw.wyc_site_point_group(global);
    const int32_t multiplicity = p.operator_count / cs.pg_order(site);
    p.wyckoff_global.push_back(global);
    p.site_point_group.push_back(site);
    p.multiplicity.push_back(multiplicity);
    p.atom_count += multiplicity;
  }
}

void make_atoms(const sgl::CommonSpace& cs, const sgl::CommonWyckoff& cw,
                const CrystalInput& crystal, PreparedCrystal& p) {
  p.atom_positions.clear();
  p.atom_types.clear();
  std::array<sgl::WyckoffMatrix, sgl::kMaxGroupOps> orbit{};
  for (const WyckoffLine& line : crystal.lines) {
    int32_t npos = 0;
    sgl::get_wyckoff_all(cs, cw, crystal.space_group, line.wyckoff, npos, orbit);
    for (int32_t m = 0; m < npos; ++m) {
      std::array<double, 3> x{};
      sgl::dget_wyc_xyz(line.params, orbit[static_cast<std::size_t>(m)], x);
      p.atom_positions.push_back(x);
      p.atom_types.push_back(line.type);
    }
  }
  if (static_cast<int32_t>(p.atom_positions.size()) != p.atom_count) sgl::bomb();
}

std::array<double, 9> conventional_basis(const std::array<double, 6>& lattice) {
  constexpr double kRadian = 0.017453292519943295;
  const double a = lattice[0], b = lattice[1], c = lattice[2];
  const double alpha = lattice[3] * kRadian;
  const double beta = lattice[4] * kRadian;
  const double gamma = lattice[5] * kRadian;
  std::array<double, 9> t{};
  t[0] = a;
  t[3] = b * std::cos(gamma);
  t[4] = b * std::sin(gamma);
  t[6] = c * std::cos(beta);
  t[7] = c * (std::cos(alpha) - std::cos(gamma) * std::cos(beta)) / std::sin(gamma);
  t[8] = std::sqrt(c * c - t[6] * t[6] - t[7] * t[7]);
  return t;
}

void make_primitive_cartesian(PreparedCrystal& p) {
  for (int j = 1; j <= 3; ++j) {
    for (int k = 1; k <= 3; ++k) {
      double sum = 0.0;
      for (int m = 1; m <= 3; ++m) {
        sum += static_cast<double>(m3(p.primitive_basis, m, j)) * p.conventional_cartesian[(m - 1) * 3 + k - 1] /
               static_cast<double>(p.primitive_basis_den);
      }
      p.primitive_cartesian[(j - 1) * 3 + k - 1] = sum;
    }
  }
}

bool primitive_rotation(const sgl::CommonSpace& cs, int32_t bravais, int32_t p_op, sgl::Mat3i& r) {
  namespace st = sgl::setting_tables;
  sgl::Mat3i product{};
  sgl::matmlt(st::lattice_matrix(cs, 1, bravais), st::point_op_matrix(cs, p_op), product);
  sgl::matmlt(product, st::lattice_matrix(cs, 2, bravais), product);
  int32_t den = cs.lattice_transform_den(1, bravais);
  sgl::reduc3(product, den);
  if (den != 1) return false;
  r = product;
  return true;
}

void make_primitive_rotations(const sgl::CommonSpace& cs, PreparedCrystal& p) {
  for (const sgl::SpaceOp& op : p.operators) {
    sgl::Mat3i r{};
    if (!primitive_rotation(cs, p.bravais_type, op[4], r)) sgl::bomb();
    p.primitive_rotations[static_cast<std::size_t>(op[4])] = r;
  }
}

bool rotations_keep_metric(const sgl::CommonSpace& cs, const PreparedCrystal& p) {
  std::array<double, 9> g{};
  sgl::dget_gmat2(p.primitive_cartesian, g);
  const double scale = std::max({g[0], g[4], g[8]});
  for (const sgl::SpaceOp& op : p.operators) {
    sgl::Mat3i r{};
    if (!primitive_rotation(cs, p.bravais_type, op[4], r)) continue;  // refused later
    for (int i = 1; i <= 3; ++i) {
      for (int j = 1; j <= 3; ++j) {
        // (R^T G R)(i, j) = sum over k, l of R(k, i) G(k, l) R(l, j).
        double sum = 0.0;
        for (int k = 1; k <= 3; ++k) {
          for (int l = 1; l <= 3; ++l) {
            sum += m3(r, k, i) * g[(l - 1) * 3 + k - 1] * m3(r, l, j);
          }
        }
        // A NaN metric fails as well.
        if (!(std::fabs(sum - g[(j - 1) * 3 + i - 1]) <= 1e-6 * scale)) return false;
      }
    }
  }
  return true;
}

int32_t proper_operator_count(const sgl::CommonSpace& cs, const PreparedCrystal& p) {
  int32_t last = 0;
  for (std::size_t k = 0; k < p.operators.size(); ++k) {
    if (cs.point_op_proper(p.operators[k][4]).value) last = static_cast<int32_t>(k + 1);
  }
  for (int32_t k = 0; k < last; ++k) {
    if (!cs.point_op_proper(p.operators[static_cast<std::size_t>(k)][4]).value) return -1;
  }
  return last;
}

}  // namespace duopath
