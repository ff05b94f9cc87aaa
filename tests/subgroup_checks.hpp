// Independent checks of a subgroup identification and of an orbit splitting, shared by the
// library tests and the cross-check driver. Each returns an empty text when the check holds, else
// a description of the first fault.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/groups/get_new_fractionals.hpp"
#include "library/groups/get_new_wyckoff.hpp"
#include "library/groups/operator_encodings.hpp"
#include "library/groups/space_group.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/types.hpp"

namespace sgl::testing {

// The map from the subgroup's coordinates to the parent's: x = basis y + origin, as an operator
// matrix.
inline OpMatrix subgroup_frame(const Mat3i& basis, const RationalVector& origin) {
  OpMatrix t{};
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) m4(t, i, j) = origin[3] * m3(basis, i, j);
  for (int i = 1; i <= 4; ++i) m4(t, i, 4) = origin[static_cast<std::size_t>(i - 1)];
  return t;
}

// Every given operator of G, referred to H's basis and origin, must be the operator of H's table
// with the same rotation, its translation equal modulo H's lattice.
inline std::string check_identification(const CommonSpace& cs, int32_t g,
                                        std::span<const SpaceOp> ops, int32_t h,
                                        const Mat3i& basis, const RationalVector& origin) {
  const OpMatrix t = subgroup_frame(basis, origin);
  OpMatrix tinv;
  matinv4(t, tinv);
  int32_t nh = 0;
  std::array<SpaceOp, kMaxGroupOps> hops;
  generate_space_group(cs, h, nh, hops);
  if (static_cast<std::size_t>(nh) != ops.size())
    return "group " + std::to_string(h) + " has " + std::to_string(nh) + " operators, given " +
           std::to_string(ops.size());
  for (const SpaceOp& op : ops) {
    OpMatrix m;
    op_to_mat(cs, g, "pml", op, m);
    trans4(tinv, m, t, m);  // T^-1 M T
    bool found = false;
    for (int32_t k = 0; k < nh && !found; ++k) {
      OpMatrix e;
      op_to_mat(cs, h, "pml", hops[static_cast<std::size_t>(k)], e);
      bool same = true;
      for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 3; ++i)
          if (static_cast<int64_t>(m4(m, i, j)) * m4(e, 4, 4) !=
              static_cast<int64_t>(m4(e, i, j)) * m4(m, 4, 4))
            same = false;
      if (!same) continue;
      for (int i = 1; i <= 3; ++i) {
        const int64_t num = static_cast<int64_t>(m4(m, i, 4)) * m4(e, 4, 4) -
                            static_cast<int64_t>(m4(e, i, 4)) * m4(m, 4, 4);
        if (num % (static_cast<int64_t>(m4(m, 4, 4)) * m4(e, 4, 4)) != 0) same = false;
      }
      found = same;
    }
    if (!found)
      return "operator (" + std::to_string(op[0]) + "," + std::to_string(op[1]) + "," +
             std::to_string(op[2]) + ")/" + std::to_string(op[3]) + " #" + std::to_string(op[4]) +
             " is no operator of group " + std::to_string(h) + " in the returned frame";
  }
  return {};
}

using Point3 = std::array<double, 3>;

inline Point3 wrap(Point3 p) {
  for (double& v : p) {
    v -= std::floor(v);
    if (v > 1.0 - 1e-9) v = 0.0;
  }
  return p;
}

inline bool same_point_mod1(const Point3& a, const Point3& b, double tol = 1e-7) {
  for (int i = 0; i < 3; ++i) {
    const double d = a[i] - b[i];
    if (std::fabs(d - std::round(d)) > tol) return false;
  }
  return true;
}

// The operator (given in "pml" of group s) applied to a point.
inline Point3 apply_op(const CommonSpace& cs, int32_t s, const SpaceOp& op, const Point3& x) {
  OpMatrix m;
  op_to_mat(cs, s, "pml", op, m);
  const double d = m4(m, 4, 4);
  Point3 y;
  for (int i = 1; i <= 3; ++i) {
    double v = m4(m, i, 4) / d;
    for (int j = 1; j <= 3; ++j) v += m4(m, i, j) / d * x[static_cast<std::size_t>(j - 1)];
    y[static_cast<std::size_t>(i - 1)] = v;
  }
  return y;
}

// The point of a subgroup orbit's position for the new parameters that its relation gives at the
// old parameters x.
inline Point3 related_point(const CommonWyckoff& cw, int32_t h, int32_t w,
                            const WyckoffRelation& r, const Point3& x) {
  Point3 q{};
  for (int c = 1; c <= 3; ++c) {
    if (rel(r, 5, c) == 0) continue;
    q[static_cast<std::size_t>(c - 1)] =
        (static_cast<double>(rel(r, 1, c)) + static_cast<double>(rel(r, 2, c)) * x[0] +
         static_cast<double>(rel(r, 3, c)) * x[1] + static_cast<double>(rel(r, 4, c)) * x[2]) /
        static_cast<double>(rel(r, 5, c));
  }
  WyckoffMatrix wm;
  const int32_t k = cw.wyc_first(h) + w - 1;
  for (int j = 1; j <= 4; ++j)
    for (int i = 1; i <= 4; ++i) m4(wm, i, j) = cw.wyc_matrix_table(i, j, k);
  Point3 p;
  dget_wyc_xyz(q, wm, p);
  return p;
}

// The split of position w of G into H's orbits must cover the atoms of G's orbit in one cell of
// H exactly once: every new orbit, generated by H's operators from the point its relation gives
// at the old parameters x, is a set of atoms of the old orbit, and together they are all of them.
inline std::string check_split(const CommonSpace& cs, const CommonWyckoff& cw, int32_t g,
                               int32_t h, const Mat3i& basis, const RationalVector& origin,
                               int32_t w, int32_t count, std::span<const int32_t> new_wyckoff,
                               std::span<const WyckoffRelation> relation, const Point3& x) {
  // The old orbit's atoms in H coordinates, modulo H's lattice.
  int32_t np = 0;
  std::array<WyckoffMatrix, kMaxGroupOps> orbit;
  get_wyckoff_all(cs, cw, g, w, np, orbit);
  std::vector<RationalVector> shifts(static_cast<std::size_t>(std::abs(ndet(basis))));
  int32_t nt = 0;
  get_new_fractionals(basis, nt, shifts);
  Mat3i binv;
  int32_t bden = 0;
  matinv(basis, binv, bden);
  const double o[3] = {static_cast<double>(origin[0]) / origin[3],
                       static_cast<double>(origin[1]) / origin[3],
                       static_cast<double>(origin[2]) / origin[3]};
  auto to_h = [&](const Point3& p) {
    Point3 y{};
    for (int i = 1; i <= 3; ++i) {
      double v = 0;
      for (int j = 1; j <= 3; ++j)
        v += static_cast<double>(m3(binv, i, j)) / bden * (p[static_cast<std::size_t>(j - 1)] - o[j - 1]);
      y[static_cast<std::size_t>(i - 1)] = v;
    }
    return wrap(y);
  };
  std::vector<Point3> atoms;
  for (int32_t f = 0; f < nt; ++f)
    for (int32_t p = 0; p < np; ++p) {
      Point3 a;
      dget_wyc_xyz(x, orbit[static_cast<std::size_t>(p)], a);
      for (int i = 0; i < 3; ++i) a[static_cast<std::size_t>(i)] += shifts[static_cast<std::size_t>(f)][static_cast<std::size_t>(i)];
      atoms.push_back(to_h(a));
    }
  std::vector<int> hit(atoms.size(), 0);
  int32_t nh = 0;
  std::array<SpaceOp, kMaxGroupOps> hops;
  generate_space_group(cs, h, nh, hops);
  std::size_t covered = 0;
  for (int32_t k = 0; k < count; ++k) {
    const Point3 y = related_point(cw, h, new_wyckoff[static_cast<std::size_t>(k)],
                                   relation[static_cast<std::size_t>(k)], x);
    std::vector<Point3> images;
    for (int32_t j = 0; j < nh; ++j) {
      const Point3 z = wrap(apply_op(cs, h, hops[static_cast<std::size_t>(j)], y));
      if (std::none_of(images.begin(), images.end(),
                       [&](const Point3& q) { return same_point_mod1(q, z); }))
        images.push_back(z);
    }
    for (const Point3& z : images) {
      std::size_t a = 0;
      while (a < atoms.size() && !same_point_mod1(atoms[a], z)) ++a;
      if (a == atoms.size())
        return "orbit " + std::to_string(k + 1) + " (position " +
               std::to_string(new_wyckoff[static_cast<std::size_t>(k)]) +
               ") holds a point that is no atom of the old orbit";
      if (hit[a]++ != 0)
        return "orbit " + std::to_string(k + 1) + " holds an atom already covered";
      ++covered;
    }
  }
  if (covered != atoms.size())
    return "the orbits cover " + std::to_string(covered) + " of " + std::to_string(atoms.size()) +
           " atoms";
  return {};
}

}  // namespace sgl::testing
