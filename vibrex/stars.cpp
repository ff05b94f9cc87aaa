// Operators, k vectors and stars, exactly.
#include "vibrex/stars.hpp"

#include "library/exact/arithmetic.hpp"
#include "library/exact/checked_int.hpp"
#include "library/groups/change_setting.hpp"
#include "library/groups/operator_encodings.hpp"
#include "library/groups/space_group.hpp"
#include "library/text/bomb.hpp"

namespace vibrex {

namespace {

sgl::Mat3i lattice_matrix(const sgl::CommonSpace& cs, int32_t which, int32_t lattice) {
  sgl::Mat3i m;
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) sgl::m3(m, i, j) = cs.lattice_transform(i, j, which, lattice);
  return m;
}

sgl::Mat3i rotation(const sgl::CommonSpace& cs, int32_t p) {
  if (p < 1 || p > sgl::kPointOpCount) sgl::bomb();
  sgl::Mat3i m;
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) sgl::m3(m, i, j) = cs.point_op_rot(i, j, p);
  return m;
}

sgl::RationalVector translation(const sgl::SpaceOp& g) { return {g[0], g[1], g[2], g[3]}; }

int32_t product(const sgl::CommonSpace& cs, int32_t p, int32_t q) {
  if (p < 1 || p > sgl::kPointOpCount || q < 1 || q > sgl::kPointOpCount) sgl::bomb();
  return cs.point_op_product(p, q);
}

// Whether two vectors are equal (exactly, both in lowest terms) or equal modulo the lattice.
bool same(const sgl::RationalVector& a, const sgl::RationalVector& b) { return a == b; }
bool same_modulo_lattice(const sgl::RationalVector& a, const sgl::RationalVector& b) {
  sgl::RationalVector d;
  sgl::vsub(a, b, d);
  return d[3] == 1;
}

sgl::RationalVector scaled(const sgl::RationalVector& v, int32_t sign) {
  sgl::RationalVector s = v;
  if (sign < 0) s[3] = -s[3];
  sgl::reduc2(s);
  return s;
}

}  // namespace

sgl::RationalVector kmatrix_column(const KMatrix& m, int32_t c) {
  return {sgl::m4(m, 1, c), sgl::m4(m, 2, c), sgl::m4(m, 3, c), sgl::m4(m, 4, c)};
}

KMatrix table_kmatrix(const CommonLittle& little, int32_t kidx, int32_t lattice) {
  KMatrix m;
  for (int c = 1; c <= 4; ++c)
    for (int r = 1; r <= 4; ++r) sgl::m4(m, r, c) = little.kvec_matrix(r, c, kidx, lattice);
  return m;
}

void ginv(const sgl::CommonSpace& cs, int32_t lattice, const sgl::SpaceOp& g, sgl::SpaceOp& h) {
  if (g[4] < 1 || g[4] > sgl::kPointOpCount) sgl::bomb();
  const int32_t inverse = cs.point_op_inverse(g[4]);
  sgl::RationalVector t = translation(g);
  sgl::vrot(cs, lattice, inverse, t, t);
  t[3] = -t[3];
  sgl::reduc2(t);
  h = {t[0], t[1], t[2], t[3], inverse};
}

void gmlt(const sgl::CommonSpace& cs, int32_t lattice, const sgl::SpaceOp& g1, const sgl::SpaceOp& g2,
          sgl::SpaceOp& g3) {
  const int32_t p = product(cs, g1[4], g2[4]);
  sgl::RationalVector t2 = translation(g2);
  sgl::vrot(cs, lattice, g1[4], t2, t2);
  sgl::RationalVector t;
  sgl::vadd(translation(g1), t2, t);
  g3 = {t[0], t[1], t[2], t[3], p};
}

void krot(const sgl::CommonSpace& cs, int32_t lattice, int32_t p, const sgl::RationalVector& k,
          sgl::RationalVector& out) {
  if (lattice < 1 || lattice > sgl::kBravaisTypeCount) sgl::bomb();
  sgl::Mat3i a;
  sgl::matmlt(lattice_matrix(cs, 3, lattice), rotation(cs, p), a);
  sgl::matmlt(a, lattice_matrix(cs, 4, lattice), a);
  sgl::RationalVector r;
  sgl::vmlt(a, k.data(), r.data());
  r[3] = sgl::narrow32(sgl::mul64(cs.lattice_transform_den(2, lattice), k[3], "krot"), "krot");
  sgl::reduc2(r);
  out = r;
}

void kvector_change_setting(const sgl::CommonSpace& cs, int32_t space_group, std::string_view s1,
                            std::string_view s2, const sgl::RationalVector& k, sgl::RationalVector& out) {
  constexpr const char* kName = "kvector_change_setting";
  int64_t den = 1;
  int64_t a[3][3] = {};
  for (int i = 0; i < 3; ++i) {
    sgl::RationalVector e{0, 0, 0, 1};
    e[i] = 1;
    sgl::vector_change_setting(cs, space_group, s2, s1, e, e);
    for (int c = 0; c < 3; ++c) a[i][c] = sgl::mul64(e[c], den, kName);
    den = sgl::mul64(den, e[3], kName);
    for (int r = 0; r < i; ++r)
      for (int c = 0; c < 3; ++c) a[r][c] = sgl::mul64(a[r][c], e[3], kName);
  }
  sgl::Mat3i m;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) sgl::m3(m, r + 1, c + 1) = sgl::narrow32(a[r][c], kName);
  int32_t d = sgl::narrow32(den, kName);
  sgl::reduc3(m, d);
  sgl::RationalVector r;
  sgl::vmlt(m, k.data(), r.data());
  r[3] = sgl::narrow32(sgl::mul64(k[3], d, kName), kName);
  sgl::reduc2(r);
  out = r;
}

int32_t is_k_special(const Tables& t, int32_t space_group, int32_t kidx, const sgl::RationalVector& k) {
  const int32_t lattice = t.space.sg_bravais(space_group);
  const int32_t npar = t.little.kvec_parameter_count(kidx, lattice);
  if (npar == 0) return 0;
  const KMatrix line = table_kmatrix(t.little, kidx, lattice);
  int32_t nop = 0;
  std::array<sgl::SpaceOp, kMaxOps> ops;
  sgl::generate_space_group(t.space, space_group, nop, ops);
  sgl::RationalVector kk = k;
  sgl::reduc2(kk);
  for (int32_t j = 0; j < nop; ++j) {
    const int32_t p = ops[j][4];
    sgl::RationalVector rk;
    krot(t.space, lattice, p, kk, rk);
    for (int32_t sign : {1, -1}) {
      if (!same_modulo_lattice(rk, scaled(kk, sign))) continue;
      // p takes this k to sign k; special unless it does so along the whole line.
      sgl::RationalVector c;
      krot(t.space, lattice, p, kmatrix_column(line, 1), c);
      bool whole = same_modulo_lattice(c, scaled(kmatrix_column(line, 1), sign));
      for (int32_t q = 1; q <= npar && whole; ++q) {
        krot(t.space, lattice, p, kmatrix_column(line, q + 1), c);
        whole = same(c, scaled(kmatrix_column(line, q + 1), sign));
      }
      if (!whole) return 1;
    }
  }
  return 0;
}

void get_star(const Tables& t, int32_t space_group, int32_t kidx, Star& star) {
  const sgl::CommonSpace& cs = t.space;
  const int32_t lattice = cs.sg_bravais(space_group);
  int32_t nop = 0;
  std::array<sgl::SpaceOp, kMaxOps> ops;
  sgl::generate_space_group(cs, space_group, nop, ops);
  std::array<int32_t, sgl::kPointOpCount + 1> position{};
  for (int32_t j = 1; j <= nop; ++j) position[ops[j - 1][4]] = j;
  auto position_of = [&](int32_t p) {
    if (p < 1 || p > sgl::kPointOpCount || position[p] == 0) sgl::bomb();
    return position[p];
  };

  const KMatrix arm1 = table_kmatrix(t.little, kidx, lattice);
  star.nlittle = t.little.little_cogroup_order(kidx, space_group);
  // A co-group order of 0 would divide by zero below.
  if (star.nlittle < 1 || star.nlittle > kMaxOps) sgl::bomb();
  for (int32_t i = 1; i <= star.nlittle; ++i) {
    star.little[i - 1] = ops[position_of(t.little.little_cogroup_ops(i, kidx, space_group)) - 1];
  }
  star.narm = nop / star.nlittle;
  if (star.narm * star.nlittle != nop) sgl::bomb();

  std::array<bool, kMaxOps + 1> marked{};
  int32_t n = 0;
  for (int32_t j = 1; j <= nop; ++j) {
    if (marked[j]) continue;
    ++n;
    const sgl::SpaceOp& g = ops[j - 1];
    star.cosets[n - 1] = g;
    for (int32_t c = 1; c <= 4; ++c) {
      sgl::RationalVector col;
      krot(cs, lattice, g[4], kmatrix_column(arm1, c), col);
      for (int r = 1; r <= 4; ++r) sgl::m4(star.arms[n - 1], r, c) = col[r - 1];
    }
    for (int32_t i = 1; i <= star.nlittle; ++i) {
      const int32_t q = position_of(product(cs, g[4], star.little[i - 1][4]));
      if (marked[q]) sgl::bomb();
      marked[q] = true;
    }
  }
  // A co-group that is not closed leaves fewer cosets than arms, and arms without a coset.
  if (n != star.narm) sgl::bomb();
}

}  // namespace vibrex
