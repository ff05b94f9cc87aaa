// Induced irreps.
#include "vibrex/induced_irrep.hpp"

#include <cmath>

#include "library/exact/arithmetic.hpp"
#include "library/groups/space_group.hpp"
#include "library/text/bomb.hpp"
#include "vibrex/constants.hpp"

namespace vibrex {

namespace {

void build_cache(const Tables& t, int32_t l, IrrepCache& c) {
  const CommonLittle& lt = t.little;
  const sgl::CommonSpace& cs = t.space;
  c.sg = lt.little_irrep_sg(l);
  c.kvec = lt.little_irrep_kvec(l);
  c.small_irrep = lt.little_irrep_small_irrep(l);
  c.bravais = cs.sg_bravais(c.sg);
  sgl::generate_space_group(cs, c.sg, c.nop, c.ops);
  c.kmat = table_kmatrix(lt, c.kvec, c.bravais);

  Star star;
  get_star(t, c.sg, c.kvec, star);
  c.narm = star.narm;
  for (int32_t a = 0; a < c.narm; ++a) {
    c.coset[a] = star.cosets[a];
    ginv(cs, c.bravais, c.coset[a], c.coset_inv[a]);
  }
  c.cogroup_pos.fill(0);
  for (int32_t e = 1; e <= star.nlittle; ++e) c.cogroup_pos[star.little[e - 1][4]] = e;

  const int32_t nlittle = star.nlittle;
  const int32_t start = lt.small_irrep_1d_start(c.kvec, c.sg) + (c.small_irrep - 1) * nlittle;
  for (int32_t e = 1; e <= nlittle; ++e) {
    c.char1d[e - 1] = Complex8(constant(lt.small_irrep_1d_value(1, start + e - 1)),
                               constant(lt.small_irrep_1d_value(2, start + e - 1)));
  }
  const int32_t s = lt.small_irrep_dimension(c.small_irrep, c.kvec, c.sg);
  // The work arrays hold small irreps of dimension 6 and induced matrices of dimension 48.
  if (s < 1 || s > kMaxSmallDimension || c.narm * s > kInducedLead) sgl::bomb();
  c.small_dim = s;
  if (s == 1) {
    for (int32_t e = 1; e <= nlittle; ++e) c.small(1, 1, e) = c.char1d[e - 1];
  } else {
    int32_t v = lt.small_irrep_matrix_start(l);
    for (int32_t e = 1; e <= nlittle; ++e) {
      for (int32_t col = 1; col <= s; ++col) {
        for (int32_t row = 1; row <= s; ++row, ++v) {
          c.small(row, col, e) = Complex8(constant(lt.small_irrep_matrix_value(1, v)),
                                          constant(lt.small_irrep_matrix_value(2, v)));
        }
      }
    }
  }

  // The arm map: for operator j and arm a, the one arm b with g_a^-1 g_j g_b in the little group.
  for (int32_t j = 1; j <= c.nop; ++j) {
    for (int32_t a = 1; a <= c.narm; ++a) {
      int32_t count = 0;
      for (int32_t b = 1; b <= c.narm; ++b) {
        const int32_t inner = cs.point_op_product(c.ops[j - 1][4], c.coset[b - 1][4]);
        const int32_t q = cs.point_op_product(cs.point_op_inverse(c.coset[a - 1][4]), inner);
        if (q >= 1 && q <= sgl::kPointOpCount && c.cogroup_pos[q] != 0) {
          ++count;
          c.map(a, j) = b;
        }
      }
      if (count != 1) sgl::bomb();
    }
  }
  c.key = l;
  ++c.builds;
}

}  // namespace

IrrepCache& irrep_cache() {
  static IrrepCache cache;
  return cache;
}

void get_irrep_complex(const Tables& t, int32_t mode, int32_t l, const sgl::SpaceOp& op,
                       const sgl::RationalVector& par, Complex8& z, InducedMatrix& zm, int32_t& error) {
  error = 0;
  IrrepCache& c = irrep_cache();
  if (l != c.key) build_cache(t, l, c);
  const sgl::CommonSpace& cs = t.space;

  int32_t j = 0;
  for (int32_t q = 1; q <= c.nop; ++q) {
    if (c.ops[q - 1][4] == op[4]) {
      j = q;
      break;
    }
  }
  if (j == 0) {
    error = 1;
    return;
  }
  const sgl::SpaceOp& listed = c.ops[j - 1];
  sgl::RationalVector d;
  sgl::vsub({op[0], op[1], op[2], op[3]}, {listed[0], listed[1], listed[2], listed[3]}, d);
  if (d[3] != 1) {
    error = 1;
    return;
  }

  // k in real numbers: each term in double precision, the running sum stored in single.
  const int32_t npar = t.little.kvec_parameter_count(c.kvec, c.bravais);
  const int32_t values[3] = {par[0], par[1], par[2]};
  std::array<float, 3> k{};
  for (int32_t r = 1; r <= 3; ++r) {
    float sum = store_single(static_cast<double>(sgl::m4(c.kmat, r, 1)) / static_cast<double>(sgl::m4(c.kmat, 4, 1)));
    for (int32_t q = 1; q <= npar; ++q) {
      const double term = static_cast<double>(sgl::m4(c.kmat, r, q + 1)) * static_cast<double>(values[q - 1]) /
                          static_cast<double>(sgl::m4(c.kmat, 4, q + 1)) / static_cast<double>(par[3]);
      sum = store_single(wide(sum) + term);
    }
    k[r - 1] = sum;
  }

  // The phase factor and co-group position of g_a^-1 op g_b.
  auto block = [&](int32_t a, int32_t b, int32_t& u) {
    sgl::SpaceOp h;
    gmlt(cs, c.bravais, c.coset_inv[a - 1], op, h);
    gmlt(cs, c.bravais, h, c.coset[b - 1], h);
    u = c.cogroup_pos[h[4]];
    if (u == 0) sgl::bomb();
    const float theta = store_single((static_cast<double>(h[0]) * wide(k[0]) + static_cast<double>(h[1]) * wide(k[1]) +
                                      static_cast<double>(h[2]) * wide(k[2])) /
                                     static_cast<double>(h[3]));
    const double angle = wide(kTwoPi) * wide(theta);
    return Complex8(store_single(std::cos(angle)), store_single(std::sin(angle)));
  };

  if (mode == 1) {
    ComplexD sum{};
    for (int32_t a = 1; a <= c.narm; ++a) {
      if (c.map(a, j) != a) continue;
      int32_t u = 0;
      const Complex8 w = block(a, a, u);
      sum = sum + w * c.char1d[u - 1];
    }
    z = Complex8(sum);
  } else if (mode == 2) {
    const int32_t s = c.small_dim;
    for (int32_t a = 1; a <= c.narm; ++a) {
      for (int32_t b = 1; b <= c.narm; ++b) {
        int32_t u = 0;
        const bool mapped = c.map(a, j) == b;
        const Complex8 w = mapped ? block(a, b, u) : Complex8();
        for (int32_t col = 1; col <= s; ++col) {
          for (int32_t row = 1; row <= s; ++row) {
            Complex8& out = zm[static_cast<std::size_t>(((b - 1) * s + col - 1) * kInducedLead + (a - 1) * s + row - 1)];
            out = mapped ? Complex8(w * c.small(row, col, u)) : Complex8();
          }
        }
      }
    }
  } else {
    sgl::bomb();
  }
}

}  // namespace vibrex
