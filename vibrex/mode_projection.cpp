// Mode projection.
#include "vibrex/mode_projection.hpp"

#include <algorithm>
#include <cmath>

#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"
#include "vibrex/constants.hpp"
#include "vibrex/numeric_kernel.hpp"
#include "vibrex/real_irrep.hpp"
#include "vibrex/single_precision.hpp"
#include "vibrex/stored_irrep.hpp"

namespace vibrex {

namespace {

int32_t divisor(int32_t reality) {
  switch (reality) {
    case 1:
      return 1;
    case 2:
      return 4;
    case 3:
      return 2;
    default:
      sgl::bomb();
  }
}

// The complex transformation of a little irrep that is not real.
void transformation(const Tables& t, int32_t ir, const sgl::RationalVector& kpar, int32_t dim, InducedMatrix& tm) {
  const int32_t irrep = t.little.little_irrep_to_irrep(ir);
  const int32_t reality = t.little.little_irrep_reality(ir);
  if (irrep != 0) {
    const int32_t start = t.image.image_transform_start(t.irrep.irrep_image(irrep));
    // Pairs of consecutive entries, dim x dim of them, inside the table.
    if (start < 1 || static_cast<int64_t>(start) - 1 + 2LL * dim * dim > 4840) sgl::bomb();
    int32_t e = start;
    for (int32_t c = 1; c <= dim; ++c)
      for (int32_t r = 1; r <= dim; ++r, e += 2)
        zat(tm, r, c) =
            Complex8(constant(t.image.image_transform_value(e)), constant(t.image.image_transform_value(e + 1)));
  } else if (reality == 3) {
    const int32_t start = t.little.little_irrep_transform_start(ir);
    if (start == 0) {
      sgl::write_free(6, {"Error in project: no stored transformation for little irrep ", ir});
      sgl::bomb();
    }
    if (start < 1 || static_cast<int64_t>(start) - 1 + static_cast<int64_t>(dim) * dim > 12200) sgl::bomb();
    int32_t e = start;
    for (int32_t c = 1; c <= dim; ++c)
      for (int32_t r = 1; r <= dim; ++r, ++e)
        zat(tm, r, c) = Complex8(constant(t.little.little_irrep_transform_value(1, e)),
                                 constant(t.little.little_irrep_transform_value(2, e)));
  } else {
    transform_type2(t, ir, kpar, tm);
  }
}

}  // namespace

int32_t mode_multiplicity(int32_t p, int32_t reality, int32_t sreal) {
  const int32_t d = divisor(reality);
  const int32_t q = sreal == 1 ? p : 2 * p;
  if (q % d != 0) sgl::bomb();
  return q / d;
}

void project(const Tables& t, int32_t ir, const sgl::RationalVector& kpar, int32_t w,
             std::span<const sgl::SpaceOp> siteops, int32_t r, int32_t& lo, int32_t& m, std::vector<float>& modes) {
  const CommonLittle& lt = t.little;
  const sgl::CommonWyckoff& wy = t.wyckoff;
  const int32_t irrep = lt.little_irrep_to_irrep(ir);
  const int32_t sg = lt.little_irrep_sg(ir);
  const int32_t dim = lt.little_irrep_dimension(ir);
  const int32_t reality = lt.little_irrep_reality(ir);
  if (dim < 1 || dim > kInducedLead) sgl::bomb();

  InducedMatrix tm{};
  if (reality != 1) transformation(t, ir, kpar, dim, tm);

  const int32_t wyc = wy.wyc_first(sg) + w - 1;
  const int32_t pg = wy.wyc_site_point_group(wyc);
  const int32_t sirrep = wy.pg_irrep_index(r, pg);
  const int32_t sdim = t.image.image_dimension(t.irrep.irrep_image(sirrep));
  const int32_t sreal = t.image.image_reality_type(t.irrep.irrep_image(sirrep));
  if (sdim < 1 || sdim > 3) sgl::bomb();

  // Multiplicity from the site-irrep list of the (irrep, position) entry.
  int32_t start = 0, count = 0;
  if (irrep != 0) {
    const int32_t e = wy.irrep_wyc_first(irrep) + w - 1;
    start = wy.irrep_wyc_list_start(e);
    count = wy.irrep_wyc_list_count(e);
  } else {
    const int32_t e = lt.little_irrep_wyc_first(ir) + w - 1;
    start = lt.little_irrep_wyc_list_start(e);
    count = lt.little_irrep_wyc_list_count(e);
  }
  m = 0;
  int32_t listed = -1;
  for (int32_t i = start; i < start + count && listed < 0; ++i) {
    const int32_t site = irrep != 0 ? wy.irrep_wyc_site_irrep(i) : lt.little_irrep_wyc_site_irrep(i);
    if (site == r) listed = irrep != 0 ? wy.irrep_wyc_multiplicity(i) : lt.little_irrep_wyc_multiplicity(i);
  }
  if (listed < 0) return;
  m = mode_multiplicity(listed, reality, sreal);
  if (m == 0) return;

  // The orientation list that holds the site operations, and the reference operations.
  const int32_t order = t.space.pg_order(pg);
  if (static_cast<int32_t>(siteops.size()) < order) sgl::bomb();
  const int32_t first = wy.pg_list_first(pg);
  std::vector<sgl::SpaceOp> refs(static_cast<std::size_t>(order));
  lo = 0;
  for (int32_t list = first; list < first + wy.pg_list_count(pg) && lo == 0; ++list) {
    bool all = true;
    for (int32_t j = 1; j <= order && all; ++j) {
      const int32_t p = wy.pg_element_list(j, list);
      bool found = false;
      for (int32_t i = 0; i < order; ++i) {
        if (siteops[static_cast<std::size_t>(i)][4] != p) continue;
        refs[static_cast<std::size_t>(i)] = {0, 0, 0, 1, wy.pg_element_list(j, first)};
        found = true;
      }
      all = found;
    }
    if (all) lo = list;
  }
  if (lo == 0) sgl::bomb();

  // Candidates: column t of the irrep projected against the first site basis function.
  const int32_t ncolz = reality == 1 ? dim * sdim : dim * sdim / 2;
  const int32_t rows_per = reality == 2 ? 2 : 1;
  const int32_t lead = rows_per * (m + 1);
  std::vector<Complex8> z(static_cast<std::size_t>(lead) * static_cast<std::size_t>(std::max(ncolz, 1)));
  auto zz = [&](int32_t row, int32_t col) -> Complex8& {
    return z[static_cast<std::size_t>((col - 1) * lead + (row - 1))];
  };
  modes.assign(static_cast<std::size_t>(3 * kCoefColumns) * static_cast<std::size_t>(m + 1), 0.0f);
  int32_t accepted = 0, rows = 0;
  for (int32_t tcol = 1; tcol <= dim; ++tcol) {
    const int32_t n = accepted + 1;
    for (int32_t a = 1; a <= dim; ++a)
      for (int32_t b = 1; b <= 3; ++b) modes[coef_index(b, a, n)] = 0.0f;
    for (int32_t i = 0; i < order; ++i) {
      RealMatrix d{};
      float x = 0.0f;
      int32_t error = 0;
      get_irrep2(t, 2, ir, siteops[static_cast<std::size_t>(i)], kpar, x, d, error);
      if (error != 0) sgl::bomb();
      StoredMatrix s{};
      get_irrep(t, 2, sirrep, refs[static_cast<std::size_t>(i)], x, s, error);
      if (error != 0) sgl::bomb();
      for (int32_t a = 1; a <= dim; ++a)
        for (int32_t b = 1; b <= sdim; ++b)
          modes[coef_index(b, a, n)] = store_single(wide(modes[coef_index(b, a, n)]) +
                                                    wide(rat(d, a, tcol)) * wide(s[static_cast<std::size_t>(b - 1)]));
    }
    float mx = 0.0f;
    for (int32_t a = 1; a <= dim; ++a)
      for (int32_t b = 1; b <= sdim; ++b) mx = std::max(mx, std::fabs(modes[coef_index(b, a, n)]));
    if (ncmp(mx) == 0) continue;
    for (int32_t a = 1; a <= dim; ++a)
      for (int32_t b = 1; b <= sdim; ++b)
        modes[coef_index(b, a, n)] = store_single(wide(modes[coef_index(b, a, n)]) / wide(mx));
    // The candidate as rows of Z.
    if (reality == 1) {
      ++rows;
      for (int32_t a = 1; a <= dim; ++a)
        for (int32_t b = 1; b <= sdim; ++b) zz(rows, (a - 1) * sdim + b) = Complex8(modes[coef_index(b, a, n)], 0.0f);
    } else {
      const int32_t half = dim / 2;
      for (int32_t part = 0; part < rows_per; ++part) {
        ++rows;
        for (int32_t c = 1; c <= ncolz; ++c) zz(rows, c) = Complex8{};
        for (int32_t hh = 1; hh <= half; ++hh) {
          const int32_t h = hh + part * half;
          for (int32_t b = 1; b <= sdim; ++b) {
            ComplexD sum{};
            for (int32_t a = 1; a <= dim; ++a)
              sum = sum + ComplexD{wide(modes[coef_index(b, a, n)]), 0.0} * zat(tm, a, h);
            zz(rows, (hh - 1) * sdim + b) = sum;
          }
        }
      }
    }
    zrowop2(z, rows, ncolz, lead);
    bool independent = false;
    for (int32_t c = 1; c <= ncolz; ++c) independent = independent || ncmpz(zz(rows, c)) != 0;
    if (independent) {
      ++accepted;
      if (accepted == m) {
        modes.resize(static_cast<std::size_t>(3 * kCoefColumns) * static_cast<std::size_t>(m));
        return;
      }
    } else {
      rows -= rows_per;
    }
  }
  sgl::bomb();
}

void project_vector(const Tables& t, int32_t pg, int32_t lo, int32_t r, int32_t ncol, int32_t sdim, int32_t kind,
                    int32_t op, int32_t nblocks, std::span<const float> coef, int32_t& nvec, std::vector<float>& vec) {
  const sgl::CommonWyckoff& wy = t.wyckoff;
  const double sign = kind == 2 && !t.space.point_op_proper(op).value ? -1.0 : 1.0;
  nvec = 0;
  if (sdim < 1 || sdim > 3 || ncol < 0 || ncol > kCoefColumns) sgl::bomb();
  vec.assign(static_cast<std::size_t>(3 * kCoefColumns) * static_cast<std::size_t>(3 * std::max(nblocks, 1)), 0.0f);
  for (int32_t v = 1; v <= 3; v += sdim) {
    if (wy.pg_vector_irrep(v, kind, pg) != r) continue;
    if (v + sdim - 1 > 3) {
      sgl::write_free(6, {"Error in project_vector: site irrep slots past the third, slot ", v});
      sgl::bomb();
    }
    for (int32_t k = 1; k <= nblocks; ++k) {
      ++nvec;
      for (int32_t j = 1; j <= ncol; ++j) {
        std::array<float, 3> u{};
        for (int32_t x = 1; x <= 3; ++x) {
          double s = 0.0;
          for (int32_t c = 1; c <= sdim; ++c)
            s += wide(constant(wy.pg_vector_basis(x, v + c - 1, kind, lo))) * wide(coef[coef_index(c, j, k)]);
          u[static_cast<std::size_t>(x - 1)] = store_single(s);
        }
        for (int32_t i = 1; i <= 3; ++i) {
          double s = 0.0;
          for (int32_t x = 1; x <= 3; ++x)
            s += static_cast<double>(t.space.point_op_rot(i, x, op)) * sign * wide(u[static_cast<std::size_t>(x - 1)]);
          vec[coef_index(i, j, nvec)] = store_single(s);
        }
      }
    }
  }
}

}  // namespace vibrex
