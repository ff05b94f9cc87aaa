// Supercell atoms and symmetry modes.
#include "vibrex/supercell_modes.hpp"

#include <cmath>
#include <cstdlib>

#include "library/exact/arithmetic.hpp"
#include "library/exact/checked_int.hpp"
#include "library/groups/change_setting.hpp"
#include "library/groups/get_new_fractionals.hpp"
#include "library/groups/operator_encodings.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"
#include "vibrex/mode_projection.hpp"
#include "vibrex/numeric_kernel.hpp"
#include "vibrex/real_irrep.hpp"
#include "vibrex/single_precision.hpp"

namespace vibrex {

namespace {

constexpr const char* kFold = "the folding into the supercell";

sgl::RationalVector column_of(const sgl::WyckoffMatrix& w, int c) {
  return {sgl::m4(w, 1, c), sgl::m4(w, 2, c), sgl::m4(w, 3, c), sgl::m4(w, 4, c)};
}
void set_column(sgl::WyckoffMatrix& w, int c, const sgl::RationalVector& v) {
  for (int r = 1; r <= 4; ++r) sgl::m4(w, r, c) = v[static_cast<std::size_t>(r - 1)];
}

// The point of a Wyckoff matrix for the parameters, in single precision.
std::array<float, 3> point_of(const sgl::WyckoffMatrix& p, const std::array<float, 3>& par) {
  std::array<float, 3> x{};
  for (int a = 1; a <= 3; ++a) {
    float v = store_single(static_cast<double>(sgl::m4(p, a, 1)) / static_cast<double>(sgl::m4(p, 4, 1)));
    for (int q = 1; q <= 3; ++q)
      v = store_single(wide(v) + static_cast<double>(sgl::m4(p, a, q + 1)) *
                                     wide(par[static_cast<std::size_t>(q - 1)]) /
                                     static_cast<double>(sgl::m4(p, 4, q + 1)));
    x[static_cast<std::size_t>(a - 1)] = v;
  }
  return x;
}

std::array<float, 3> cartesian(const Mat3f& b, const std::array<float, 3>& x) {
  std::array<float, 3> c{};
  for (int i = 1; i <= 3; ++i) {
    float s = 0.0f;
    for (int m = 1; m <= 3; ++m)
      s = store_single(wide(s) + wide(at3(b, i, m)) * wide(x[static_cast<std::size_t>(m - 1)]));
    c[static_cast<std::size_t>(i - 1)] = s;
  }
  return c;
}

// Shifts the fixed point by n times the column (times its denominator), in checked arithmetic.
void shift(sgl::RationalVector& p, const std::array<int32_t, 3>& column, int64_t n) {
  for (int r = 0; r < 3; ++r) {
    const int64_t step = sgl::mul64(sgl::mul64(column[static_cast<std::size_t>(r)], p[3], kFold), n, kFold);
    p[static_cast<std::size_t>(r)] = sgl::narrow32(sgl::add64(p[static_cast<std::size_t>(r)], step, kFold), kFold);
  }
}

}  // namespace

bool site_irrep_reached(const Tables& t, int32_t l, int32_t irrep, int32_t npar, int32_t w, int32_t pg, int32_t r) {
  bool vector_slot = false;
  for (int32_t v = 1; v <= 3; ++v) vector_slot = vector_slot || t.wyckoff.pg_vector_irrep(v, 1, pg) == r;
  if (!vector_slot) return false;
  int32_t start = 0, count = 0;
  if (npar == 0) {
    if (irrep == 0) {
      sgl::write_free(6, {"Error: no stored irrep for little irrep ", l});
      sgl::bomb();
    }
    const int32_t e = t.wyckoff.irrep_wyc_first(irrep) + w - 1;
    start = t.wyckoff.irrep_wyc_list_start(e);
    count = t.wyckoff.irrep_wyc_list_count(e);
    for (int32_t i = start; i < start + count; ++i)
      if (t.wyckoff.irrep_wyc_site_irrep(i) == r) return true;
    return false;
  }
  const int32_t e = t.little.little_irrep_wyc_first(l) + w - 1;
  start = t.little.little_irrep_wyc_list_start(e);
  count = t.little.little_irrep_wyc_list_count(e);
  for (int32_t i = start; i < start + count; ++i)
    if (t.little.little_irrep_wyc_site_irrep(i) == r) return true;
  return false;
}

void fold_coordinate(float& y, const std::array<int32_t, 3>& column, sgl::RationalVector& p) {
  // A value that is not finite never folds.
  if (!std::isfinite(y)) sgl::bomb();
  // Whole steps at once; below 2^24 in magnitude y - n is exact, so the result is that of the
  // unit steps, which follow.
  if (y > 2.0f) {
    const int64_t n = static_cast<int64_t>(std::floor(wide(y))) - 1;
    y = store_single(wide(y) - static_cast<double>(n));
    shift(p, column, -n);
  }
  while (y > 1.0f || ncmp(store_single(wide(y) - 1.0)) == 0) {
    y = store_single(wide(y) - 1.0);
    shift(p, column, -1);
  }
  if (y < -1.0f) {
    const int64_t n = static_cast<int64_t>(std::floor(-wide(y)));
    y = store_single(wide(y) + static_cast<double>(n));
    shift(p, column, n);
  }
  while (ncmp(y) != 0 && y < 0.0f) {
    y = store_single(wide(y) + 1.0);
    shift(p, column, 1);
  }
}

void scale_mode(std::vector<float>& mode) {
  int64_t nnz = 0, npos = 0;
  float mx = 0.0f;
  for (float v : mode) {
    if (ncmp(v) == 0) continue;
    ++nnz;
    if (v > 0.0f) ++npos;
    mx = std::max(mx, std::fabs(v));
  }
  if (ncmp(mx) == 0) sgl::bomb();
  if (2 * npos < nnz) mx = -mx;
  for (float& v : mode) v = store_single(wide(v) / wide(mx));
}

Mat3f superlattice_vectors(const VibrexRun& run, const sgl::Mat3i& s) {
  Mat3f vectors{};
  for (int c = 1; c <= 3; ++c) {
    sgl::RationalVector v{sgl::m3(s, 1, c), sgl::m3(s, 2, c), sgl::m3(s, 3, c), 1};
    sgl::vector_change_setting(run.tables.space, run.isg, "pml", "cinter", v, v);
    for (int i = 1; i <= 3; ++i) {
      float sum = 0.0f;
      for (int m = 1; m <= 3; ++m)
        sum =
            store_single(wide(sum) + wide(at3(run.b, i, m)) * static_cast<double>(v[static_cast<std::size_t>(m - 1)]));
      at3(vectors, i, c) = store_single(wide(sum) / static_cast<double>(v[3]));
    }
  }
  return vectors;
}

void build_supercell_modes(const VibrexRun& run, const ModeRequest& req, SupercellModes& out) {
  const Tables& t = run.tables;
  const sgl::CommonSpace& cs = t.space;
  out = SupercellModes{};
  const sgl::Mat3i& s = req.superlattice;

  // Supercell: the parent cells inside it and S^-1.
  const int32_t det = sgl::ndet(s);
  out.translations.assign(static_cast<std::size_t>(std::llabs(static_cast<long long>(det))), sgl::RationalVector{});
  int32_t nfrac = 0;
  sgl::get_new_fractionals(s, nfrac, out.translations);
  out.translations.resize(static_cast<std::size_t>(nfrac));
  sgl::Mat3i sinv{};
  int32_t den = 0;
  sgl::matinv(s, sinv, den);
  out.vectors = superlattice_vectors(run, s);

  // Atoms: types, cosets, translations; index[type][coset][translation].
  std::vector<std::vector<std::vector<int32_t>>> index(run.atoms.size());
  for (std::size_t ti = 0; ti < run.atoms.size(); ++ti) {
    const AtomType& at = run.atoms[ti];
    index[ti].assign(static_cast<std::size_t>(at.ncosets), std::vector<int32_t>(static_cast<std::size_t>(nfrac), 0));
    for (int32_t q = 0; q < at.ncosets; ++q) {
      const sgl::SpaceOp& cos = at.cosets[static_cast<std::size_t>(q)];
      sgl::WyckoffMatrix wq{};
      for (int c = 1; c <= 4; ++c) {
        sgl::RationalVector v{};
        sgl::vrot(cs, run.lattice, cos[4], column_of(at.matrix, c), v);
        set_column(wq, c, v);
      }
      sgl::RationalVector fp = column_of(wq, 1);
      sgl::vadd(fp, {cos[0], cos[1], cos[2], cos[3]}, fp);
      set_column(wq, 1, fp);
      // The direction columns in "cinter": the same for every translation of the coset.
      sgl::WyckoffMatrix directions{};
      for (int c = 2; c <= 4; ++c) {
        sgl::RationalVector v{};
        sgl::vector_change_setting(cs, run.isg, "pml", "cinter", column_of(wq, c), v);
        set_column(directions, c, v);
      }
      for (int32_t f = 0; f < nfrac; ++f) {
        sgl::WyckoffMatrix p = wq;
        sgl::RationalVector pf{};
        sgl::vadd(column_of(p, 1), out.translations[static_cast<std::size_t>(f)], pf);
        set_column(p, 1, pf);
        const std::array<float, 3> x = point_of(p, at.par);
        std::array<float, 3> y{};
        for (int r = 1; r <= 3; ++r) {
          double sum = 0.0;
          for (int c = 1; c <= 3; ++c)
            sum += static_cast<double>(sgl::m3(sinv, r, c)) * wide(x[static_cast<std::size_t>(c - 1)]);
          y[static_cast<std::size_t>(r - 1)] = store_single(sum / static_cast<double>(den));
        }
        for (int r = 1; r <= 3; ++r) {
          fold_coordinate(y[static_cast<std::size_t>(r - 1)], {sgl::m3(s, 1, r), sgl::m3(s, 2, r), sgl::m3(s, 3, r)},
                          pf);
        }
        // The folded position in "cinter".
        sgl::WyckoffMatrix pc = directions;
        sgl::RationalVector v{};
        sgl::xyz_change_setting(cs, run.isg, "pml", "cinter", pf, v);
        set_column(pc, 1, v);
        out.atoms.push_back({static_cast<int32_t>(ti + 1), cartesian(run.b, point_of(pc, at.par))});
        index[ti][static_cast<std::size_t>(q)][static_cast<std::size_t>(f)] = static_cast<int32_t>(out.atoms.size());
      }
    }
  }

  // Modes: every type and every site irrep that reaches the irrep.
  const int32_t dim = t.little.little_irrep_dimension(req.l);
  const std::size_t natoms = out.atoms.size();
  IrrepMatrixSource& matrices = run.irrep_matrices();
  for (std::size_t ti = 0; ti < run.atoms.size(); ++ti) {
    const AtomType& at = run.atoms[ti];
    const int32_t pg = at.site_point_group;
    for (int32_t r = 1; r <= t.wyckoff.pg_irrep_count(pg); ++r) {
      if (!site_irrep_reached(t, req.l, req.irrep, run.kv.npar, at.w, pg, r)) continue;
      const int32_t sdim = t.image.image_dimension(t.irrep.irrep_image(t.wyckoff.pg_irrep_index(r, pg)));
      int32_t lo = 0, m = 0;
      std::vector<float> coef;
      project(t, req.l, run.kv.kpar, at.w,
              std::span<const sgl::SpaceOp>(at.site_ops.data(), static_cast<std::size_t>(at.site_order)), r, lo, m,
              coef);
      if (m == 0) sgl::bomb();
      for (int32_t n = 1; n <= m; ++n) {
        const std::size_t first = out.modes.size();
        int32_t count = -1;
        for (int32_t q = 0; q < at.ncosets; ++q) {
          const sgl::SpaceOp& cos = at.cosets[static_cast<std::size_t>(q)];
          for (int32_t f = 0; f < nfrac; ++f) {
            sgl::RationalVector tr{};
            sgl::vadd({cos[0], cos[1], cos[2], cos[3]}, out.translations[static_cast<std::size_t>(f)], tr);
            const sgl::SpaceOp g{tr[0], tr[1], tr[2], tr[3], cos[4]};
            const IrrepMatrixView d = matrices.matrix(t, req.l, g, run.kv.kpar);
            // T(b, c) = sum_a D(c, a) modes(b, a, n); U(b, p) = sum_c opd(c, p) T(b, c).
            std::vector<float> tm(static_cast<std::size_t>(3 * dim), 0.0f);
            for (int32_t c = 1; c <= dim; ++c)
              for (int32_t b = 1; b <= sdim; ++b) {
                double sum = 0.0;
                for (int32_t a = 1; a <= dim; ++a) sum += wide(d(c, a)) * wide(coef[coef_index(b, a, n)]);
                tm[static_cast<std::size_t>((c - 1) * 3 + b - 1)] = store_single(sum);
              }
            std::vector<float> u(static_cast<std::size_t>(3 * kCoefColumns), 0.0f);
            for (int32_t p = 1; p <= req.nvec; ++p)
              for (int32_t b = 1; b <= sdim; ++b) {
                double sum = 0.0;
                for (int32_t c = 1; c <= dim; ++c)
                  sum += wide(req.opd_basis[static_cast<std::size_t>((p - 1) * kCoefColumns + c - 1)]) *
                         wide(tm[static_cast<std::size_t>((c - 1) * 3 + b - 1)]);
                u[coef_index(b, p, 1)] = store_single(sum);
              }
            int32_t nout = 0;
            std::vector<float> vec;
            project_vector(t, pg, lo, r, req.nvec, sdim, 1, g[4], 1, u, nout, vec);
            if (count < 0) {
              count = nout * req.nvec;
              out.modes.resize(first + static_cast<std::size_t>(count), std::vector<float>(3 * natoms, 0.0f));
            }
            const int32_t atom = index[ti][static_cast<std::size_t>(q)][static_cast<std::size_t>(f)];
            for (int32_t k = 1; k <= nout; ++k)
              for (int32_t p = 1; p <= req.nvec; ++p) {
                std::array<float, 3> cml{};
                for (int i = 0; i < 3; ++i) cml[static_cast<std::size_t>(i)] = vec[coef_index(i + 1, p, k)];
                const std::array<float, 3> disp = cartesian(run.b, cartesian(run.cml_to_cinter, cml));
                std::vector<float>& mode = out.modes[first + static_cast<std::size_t>((k - 1) * req.nvec + p - 1)];
                for (int i = 0; i < 3; ++i)
                  mode[static_cast<std::size_t>((atom - 1) * 3 + i)] = disp[static_cast<std::size_t>(i)];
              }
          }
        }
        for (std::size_t mi = first; mi < out.modes.size(); ++mi) scale_mode(out.modes[mi]);
      }
    }
  }
}

}  // namespace vibrex
