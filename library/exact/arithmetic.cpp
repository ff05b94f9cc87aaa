// Exact integer and rational arithmetic on vectors, 3x3 matrices and operator matrices.
//
// Every value is widened to 64 bits before it enters a product or a sum; a 64-bit step that would
// overflow, or a stored result outside the 32-bit range, writes one line naming the routine and
// stops the run. Each routine computes into a local temporary and copies it to the output at the
// end, so an output may be the same object as an input.
#include "library/exact/arithmetic.hpp"

#include <array>
#include <cstddef>
#include <limits>
#include <numeric>
#include <string>

#include "library/text/bomb.hpp"
#include "library/exact/checked_int.hpp"
#include "library/text/text_io.hpp"

namespace sgl {

namespace {

// Negates all values when the value at index `sign_at` is negative, then removes the common factor.
template <std::size_t N>
void normalise_wide(std::array<int64_t, N>& v, std::size_t sign_at, const char* routine) {
  if (v[sign_at] < 0) {
    for (int64_t& x : v) x = sub64(0, x, routine);
  }
  factor64(v, routine);
}

template <std::size_t N, typename Src>
std::array<int64_t, N> widen(const Src& src) {
  std::array<int64_t, N> w{};
  for (std::size_t i = 0; i < N; ++i) w[i] = src[i];
  return w;
}

template <std::size_t N, typename Dst>
void store(const std::array<int64_t, N>& src, Dst& dst, const char* routine) {
  std::array<int32_t, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = narrow32(src[i], routine);
  for (std::size_t i = 0; i < N; ++i) dst[i] = out[i];
}

// Lowest terms of a rational vector held in 64 bits; a zero denominator stops the run.
void reduc2_wide(std::array<int64_t, 4>& v, const char* routine) {
  if (v[3] == 0) bomb();
  normalise_wide(v, 3, routine);
}

// Signed cofactor (i, j) of a 3x3 matrix.
int64_t cofactor(const Mat3i& a, int i, int j, const char* routine) {
  int r[2], c[2];
  for (int k = 1, n = 0; k <= 3; ++k)
    if (k != i) r[n++] = k;
  for (int k = 1, n = 0; k <= 3; ++k)
    if (k != j) c[n++] = k;
  int64_t minor = sub64(mul64(m3(a, r[0], c[0]), m3(a, r[1], c[1]), routine),
                      mul64(m3(a, r[0], c[1]), m3(a, r[1], c[0]), routine), routine);
  return ((i + j) % 2 == 0) ? minor : -minor;
}

int64_t det_wide(const Mat3i& a, const char* routine) {
  int64_t d = mul64(m3(a, 1, 1), cofactor(a, 1, 1, routine), routine);
  d = add64(d, mul64(m3(a, 1, 2), cofactor(a, 1, 2, routine), routine), routine);
  return add64(d, mul64(m3(a, 1, 3), cofactor(a, 1, 3, routine), routine), routine);
}

// Product of two column-major n x n integer matrices, exact in 64 bits.
template <int N, typename M>
std::array<int64_t, N * N> product(const M& a, const M& b, const char* routine) {
  std::array<int64_t, N * N> p{};
  for (int j = 1; j <= N; ++j)
    for (int i = 1; i <= N; ++i) {
      int64_t s = 0;
      for (int k = 1; k <= N; ++k) {
        const int64_t term = mul64(a[column_major_index(i, k, N)], b[column_major_index(k, j, N)], routine);
        s = add64(s, term, routine);
      }
      p[column_major_index(i, j, N)] = s;
    }
  return p;
}

void matmlt4_named(const OpMatrix& a, const OpMatrix& b, OpMatrix& p, const char* routine) {
  std::array<int64_t, 16> w = product<4>(a, b, routine);
  normalise_wide(w, column_major_index(4, 4, 4), routine);
  store(w, p, routine);
}

void vadd_named(const RationalVector& a, const RationalVector& b, int64_t sign_b, RationalVector& c,
                const char* routine) {
  std::array<int64_t, 4> w{};
  const int64_t da = a[3];
  const int64_t db = sign_b * b[3];
  for (int i = 0; i < 3; ++i) w[i] = add64(mul64(a[i], db, routine), mul64(b[i], da, routine), routine);
  w[3] = mul64(da, db, routine);
  reduc2_wide(w, routine);
  store(w, c, routine);
}

}  // namespace

int32_t ndet(const Mat3i& a) { return narrow32(det_wide(a, "ndet"), "ndet"); }

void matmlt(const Mat3i& a, const Mat3i& b, Mat3i& p) { store(product<3>(a, b, "matmlt"), p, "matmlt"); }

void vmlt(const Mat3i& m, const int32_t* v, int32_t* w) {
  std::array<int64_t, 3> r{};
  for (int i = 1; i <= 3; ++i) {
    int64_t s = 0;
    for (int j = 1; j <= 3; ++j) s = add64(s, mul64(m3(m, i, j), v[j - 1], "vmlt"), "vmlt");
    r[i - 1] = s;
  }
  store(r, w, "vmlt");
}

void matinv(const Mat3i& a, Mat3i& b, int32_t& den) {
  std::array<int64_t, 10> w{};  // the adjugate by columns, then the determinant
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) w[column_major_index(i, j, 3)] = cofactor(a, j, i, "matinv");
  w[9] = det_wide(a, "matinv");
  if (w[9] == 0) bomb();
  normalise_wide(w, 9, "matinv");
  std::array<int32_t, 10> out{};
  store(w, out, "matinv");
  for (int k = 0; k < 9; ++k) b[k] = out[k];
  den = out[9];
}

void matmlt4(const OpMatrix& a, const OpMatrix& b, OpMatrix& p) { matmlt4_named(a, b, p, "matmlt4"); }

void trans4(const OpMatrix& a, const OpMatrix& b, const OpMatrix& e, OpMatrix& p) {
  OpMatrix ab{};
  matmlt4_named(a, b, ab, "trans4");
  matmlt4_named(ab, e, p, "trans4");
}

void matinv4(const OpMatrix& m, OpMatrix& n) {
  Mat3i r{};
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) m3(r, i, j) = m4(m, i, j);
  const int64_t d = m4(m, 4, 4);
  Mat3i inv{};
  int32_t e = 0;
  matinv(r, inv, e);
  std::array<int64_t, 16> w{};
  for (int i = 1; i <= 3; ++i) {
    int64_t t = 0;
    for (int j = 1; j <= 3; ++j) {
      w[column_major_index(i, j, 4)] = mul64(d, m3(inv, i, j), "matinv4");
      t = add64(t, mul64(m3(inv, i, j), m4(m, j, 4), "matinv4"), "matinv4");
    }
    w[column_major_index(i, 4, 4)] = sub64(0, t, "matinv4");
  }
  w[column_major_index(4, 4, 4)] = e;
  normalise_wide(w, column_major_index(4, 4, 4), "matinv4");
  store(w, n, "matinv4");
}

void vadd(const RationalVector& a, const RationalVector& b, RationalVector& c) { vadd_named(a, b, 1, c, "vadd"); }

void vsub(const RationalVector& a, const RationalVector& b, RationalVector& c) { vadd_named(a, b, -1, c, "vsub"); }

void reduc1(RationalVector& v) {
  // Only a positive denominator has a range 0 .. d-1 to bring the numerators into.
  if (v[3] <= 0) bomb();
  for (int i = 0; i < 3; ++i) {
    int32_t r = v[i] % v[3];
    if (r < 0) r += v[3];
    v[i] = r;
  }
}

void reduc2(RationalVector& v) {
  std::array<int64_t, 4> w = widen<4>(v);
  reduc2_wide(w, "reduc2");
  store(w, v, "reduc2");
}

void reduc3(Mat3i& m, int32_t& d) {
  if (d == 0) bomb();
  std::array<int64_t, 10> w{};
  for (int k = 0; k < 9; ++k) w[k] = m[k];
  w[9] = d;
  normalise_wide(w, 9, "reduc3");
  std::array<int32_t, 10> out{};
  store(w, out, "reduc3");
  for (int k = 0; k < 9; ++k) m[k] = out[k];
  d = out[9];
}

void reduc4(OpMatrix& m) {
  std::array<int64_t, 16> w = widen<16>(m);
  normalise_wide(w, column_major_index(4, 4, 4), "reduc4");
  store(w, m, "reduc4");
}

int32_t factor(std::span<int32_t> v) {
  uint64_t g = 0;
  for (int32_t x : v) g = std::gcd(g, static_cast<uint64_t>(x < 0 ? -static_cast<int64_t>(x) : x));
  if (g < 2) return 1;
  if (g > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) overflow_stop("factor");
  for (int32_t& x : v) x = static_cast<int32_t>(x / static_cast<int64_t>(g));
  return static_cast<int32_t>(g);
}

int32_t ngcd(int32_t a, int32_t b) {
  if (a == 0 || b == 0) return 0;
  const int64_t ma = a < 0 ? -static_cast<int64_t>(a) : a;
  const int64_t mb = b < 0 ? -static_cast<int64_t>(b) : b;
  return narrow32(ma / std::gcd(ma, mb) * mb, "ngcd");
}

int32_t ngcd2(std::span<const int32_t> v) {
  if (v.empty()) return 1;
  int32_t l = v[0];
  for (std::size_t i = 1; i < v.size(); ++i) l = ngcd(l, v[i]);
  return l;
}

}  // namespace sgl
