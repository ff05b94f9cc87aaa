// Longitudinal and transverse modes at the zone centre.
#include "vibrex/longitudinal_modes.hpp"

#include <cmath>

#include "library/groups/operator_encodings.hpp"
#include "library/groups/space_group.hpp"
#include "library/text/bomb.hpp"
#include "vibrex/numeric_kernel.hpp"
#include "vibrex/single_precision.hpp"
#include "vibrex/stars.hpp"
#include "vibrex/stored_irrep.hpp"

namespace vibrex {

namespace {

// Length of (p, q, r) in the reference cell; the hexagonal metric takes p q off under the root.
float reference_length(bool hexagonal, float p, float q, float r) {
  double s = wide(p) * wide(p) + wide(q) * wide(q) + wide(r) * wide(r);
  if (hexagonal) s -= wide(p) * wide(q);
  return store_single(std::sqrt(store_single(s)));
}

bool hexagonal_list(int32_t sg) { return sgl::identity_op(sg) == 49; }

}  // namespace

void get_vector_basis(const Tables& t, int32_t sg, VectorBasis& vb) {
  vb = VectorBasis{};
  int32_t nop = 0;
  std::array<sgl::SpaceOp, sgl::kMaxGroupOps> ops{};
  sgl::generate_space_group(t.space, sg, nop, ops);
  const bool hex = hexagonal_list(sg);
  int32_t total = 0;
  for (int32_t m = 1; m <= t.little.little_irrep_count(1, sg); ++m) {
    const int32_t l = t.little.little_irrep_number(m, 1, sg);
    if (l == 0) continue;
    const int32_t irrep = t.little.little_irrep_to_irrep(l);
    const int32_t dim = t.little.little_irrep_dimension(l);
    // Every zone-centre irrep is stored; the vector subspace of one irrep has at most 3 rows.
    if (irrep == 0 || dim < 1 || dim > 3 || vb.n >= 3) sgl::bomb();
    const int32_t s = vb.n + 1;
    // Projection of each axis onto row a.
    std::array<float, 27> proj{};  // (c, a, x)
    auto pw = [&](int32_t c, int32_t a, int32_t x) -> float& {
      return proj[static_cast<std::size_t>(((x - 1) * 3 + (a - 1)) * 3 + (c - 1))];
    };
    for (int32_t g = 0; g < nop; ++g) {
      StoredMatrix sm{};
      float unused = 0.0f;
      int32_t error = 0;
      get_irrep(t, 2, irrep, ops[static_cast<std::size_t>(g)], unused, sm, error);
      if (error != 0) sgl::bomb();
      for (int32_t a = 1; a <= dim; ++a)
        for (int32_t x = 1; x <= 3; ++x)
          for (int32_t c = 1; c <= 3; ++c)
            pw(c, a, x) = store_single(wide(pw(c, a, x)) + wide(sm[static_cast<std::size_t>(a - 1)]) *
                                                               static_cast<double>(t.space.point_op_rot(
                                                                   c, x, ops[static_cast<std::size_t>(g)][4])));
    }
    // Selection of the independent sets.
    int32_t count = 0;
    for (int32_t x = 1; x <= 3; ++x) {
      bool any = false;
      for (int32_t a = 1; a <= dim; ++a)
        for (int32_t c = 1; c <= 3; ++c) any = any || ncmp(pw(c, a, x)) != 0;
      if (!any) continue;
      if (count > 0) {
        std::array<float, kRowopLead * 4> mat{};
        for (int32_t col = 1; col <= count + 1; ++col)
          for (int32_t a = 1; a <= dim; ++a)
            for (int32_t c = 1; c <= 3; ++c)
              mat[static_cast<std::size_t>((col - 1) * kRowopLead + 3 * (a - 1) + c - 1)] =
                  col <= count ? vb.at(c, a, col, s) : pw(c, a, x);
        xrowop(mat, 3 * dim, count + 1);
        if (ncmp(mat[static_cast<std::size_t>(count * kRowopLead + count)]) == 0) continue;
      }
      const float len = reference_length(hex, pw(1, 1, x), pw(2, 1, x), pw(3, 1, x));
      ++count;
      for (int32_t a = 1; a <= dim; ++a)
        for (int32_t c = 1; c <= 3; ++c) vb.at(c, a, count, s) = store_single(wide(pw(c, a, x)) / wide(len));
      if (t.little.little_irrep_reality(l) != 1) break;
    }
    if (count > 0) {
      vb.n = s;
      vb.lirr[static_cast<std::size_t>(s - 1)] = l;
      vb.ncopy[static_cast<std::size_t>(s - 1)] = count;
      total += count * dim;
      if (total == 3) return;
      if (total > 3) sgl::bomb();
    }
  }
  sgl::bomb();
}

void polarize(const Tables& t, int32_t sg, int32_t kx, Polarization& result, int32_t& ierr) {
  result = Polarization{};
  const bool hex = hexagonal_list(sg);
  Mat3f b{}, binv{};
  int32_t cerr = 0;
  get_cartesian(1.0f, 1.0f, 1.0f, 90.0f, 90.0f, hex ? 120.0f : 90.0f, b, binv, cerr);
  if (cerr != 0) sgl::bomb();
  const int32_t lat = t.space.sg_bravais(sg);
  const KMatrix km = table_kmatrix(t.little, kx, lat);
  if (t.little.kvec_parameter_count(kx, lat) != 1 || sgl::m4(km, 1, 1) != 0 || sgl::m4(km, 2, 1) != 0 ||
      sgl::m4(km, 3, 1) != 0) {
    ierr = 1;
    return;
  }
  sgl::RationalVector d = kmatrix_column(km, 2);
  kvector_change_setting(t.space, sg, "pml", "cml", d, d);
  std::array<float, 3> u{}, w{};
  for (int32_t i = 1; i <= 3; ++i) {
    double s = 0.0;
    for (int32_t m = 1; m <= 3; ++m)
      s += wide(at3(binv, m, i)) * static_cast<double>(d[static_cast<std::size_t>(m - 1)]);
    u[static_cast<std::size_t>(i - 1)] = store_single(s);
  }
  for (int32_t i = 1; i <= 3; ++i) {
    double s = 0.0;
    for (int32_t m = 1; m <= 3; ++m) s += wide(at3(binv, i, m)) * wide(u[static_cast<std::size_t>(m - 1)]);
    w[static_cast<std::size_t>(i - 1)] = store_single(s);
  }
  VectorBasis vb;
  get_vector_basis(t, sg, vb);
  for (int32_t s = 1; s <= vb.n; ++s) {
    const int32_t l = vb.lirr[static_cast<std::size_t>(s - 1)];
    const int32_t dim = t.little.little_irrep_dimension(l);
    std::array<float, kRowopLead * 4> mat{};
    for (int32_t a = 1; a <= dim + 1; ++a)
      for (int32_t c = 1; c <= 3; ++c)
        mat[static_cast<std::size_t>((a - 1) * kRowopLead + c - 1)] =
            a <= dim ? vb.at(c, a, 1, s) : w[static_cast<std::size_t>(c - 1)];
    xrowop(mat, 3, dim + 1);
    if (dim != 3 && ncmp(mat[static_cast<std::size_t>(dim * kRowopLead + dim)]) != 0) continue;
    std::array<float, 3> e{};
    double norm = 0.0;
    for (int32_t a = 1; a <= dim; ++a) {
      e[static_cast<std::size_t>(a - 1)] =
          store_single(wide(mat[static_cast<std::size_t>(dim * kRowopLead + a - 1)]) /
                       wide(mat[static_cast<std::size_t>((a - 1) * kRowopLead + a - 1)]));
      norm += wide(e[static_cast<std::size_t>(a - 1)]) * wide(e[static_cast<std::size_t>(a - 1)]);
    }
    const float len = store_single(std::sqrt(store_single(norm)));
    const int32_t n = result.nlong++;
    result.lirr[static_cast<std::size_t>(n)] = l;
    if (t.little.little_irrep_reality(l) == 1)
      for (int32_t a = 1; a <= dim; ++a)
        result.coef[static_cast<std::size_t>(n)][static_cast<std::size_t>(a - 1)] =
            store_single(wide(e[static_cast<std::size_t>(a - 1)]) / wide(len));
  }
  ierr = 0;
}

}  // namespace vibrex
