// The numeric kernel of the mode analysis.
#include "vibrex/numeric_kernel.hpp"

#include <cmath>
#include <utility>

#include "library/text/bomb.hpp"

namespace vibrex {

namespace {

constexpr float kZeroTolerance = 0.001f;

bool nonzero(float x) { return ncmp(x) != 0; }
bool nonzero(Complex8 z) { return ncmpz(z) != 0; }

float divide(float x, float p) { return store_single(wide(x) / wide(p)); }
Complex8 divide(Complex8 x, Complex8 p) { return x / p; }

// x - y * f, in double precision, rounded once.
float eliminate(float x, float y, float f) { return store_single(wide(x) - wide(y) * wide(f)); }
Complex8 eliminate(Complex8 x, Complex8 y, Complex8 f) { return x - y * f; }

// The Gauss-Jordan reduction shared by the real and complex routines.
template <typename T>
void rowop(std::span<T> a, int32_t n, int32_t m, int32_t lda) {
  auto at = [&](int32_t i, int32_t j) -> T& {
    return a[static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(lda) + static_cast<std::size_t>(i - 1)];
  };
  int32_t j = 1;
  for (int32_t i = 1; i <= n; ++i) {
    // Pivot: the first nonzero entry of column j from row i down; else the next column.
    for (;;) {
      if (j > m) return;
      if (nonzero(at(i, j))) break;
      int32_t k = i + 1;
      while (k <= n && !nonzero(at(k, j))) ++k;
      if (k <= n) {
        for (int32_t c = 1; c <= m; ++c) std::swap(at(i, c), at(k, c));
        break;
      }
      ++j;
    }
    const T pivot = at(i, j);
    for (int32_t c = j; c <= m; ++c) at(i, c) = divide(at(i, c), pivot);
    for (int32_t k = 1; k <= n; ++k) {
      if (k == i || !nonzero(at(k, j))) continue;
      const T f = at(k, j);
      for (int32_t c = 1; c <= m; ++c) {
        if (c != j) at(k, c) = eliminate(at(k, c), at(i, c), f);
      }
      at(k, j) = T{};
    }
    ++j;
  }
}

}  // namespace

int32_t ncmp(float x) { return std::fabs(x) > kZeroTolerance ? 1 : 0; }

int32_t ncmpz(Complex8 z) { return ncmp(store_single(std::fabs(wide(z.re)) + std::fabs(wide(z.im)))); }

void xrowop(std::span<float> a, int32_t n, int32_t m) { rowop(a, n, m, kRowopLead); }
void xrowop2(std::span<float> a, int32_t n, int32_t m, int32_t lda) { rowop(a, n, m, lda); }
void zrowop(std::span<Complex8> a, int32_t n, int32_t m) { rowop(a, n, m, kRowopLead); }
void zrowop2(std::span<Complex8> a, int32_t n, int32_t m, int32_t lda) { rowop(a, n, m, lda); }

Complex8 zdet(std::span<Complex8> a, int32_t n) {
  // The 6 x 6 storage has no room for a larger determinant.
  if (n > kDetLead) sgl::bomb();
  auto at = [&](int32_t i, int32_t j) -> Complex8& {
    return a[static_cast<std::size_t>(j - 1) * kDetLead + static_cast<std::size_t>(i - 1)];
  };
  Complex8 det(1.0f, 0.0f);
  for (int32_t i = 1; i <= n; ++i) {
    if (ncmpz(at(i, i)) == 0) {
      int32_t k = i + 1;
      while (k <= n && ncmpz(at(k, i)) == 0) ++k;
      if (k > n) return Complex8(0.0f, 0.0f);
      for (int32_t c = 1; c <= n; ++c) std::swap(at(i, c), at(k, c));
      det = Complex8(-det.re, -det.im);
    }
    const Complex8 pivot = at(i, i);
    det = det * pivot;
    for (int32_t c = i; c <= n; ++c) at(i, c) = at(i, c) / pivot;
    for (int32_t k = 1; k <= n; ++k) {
      if (k == i || ncmpz(at(k, i)) == 0) continue;
      const Complex8 f = at(k, i);
      for (int32_t c = 1; c <= n; ++c) {
        if (c != i) at(k, c) = at(k, c) - at(i, c) * f;
      }
      at(k, i) = Complex8(0.0f, 0.0f);
    }
  }
  return det;
}

float cos_d(float x) { return store_single(std::cos(wide(x) / 180.0 * wide(kPi))); }
float sin_d(float x) { return store_single(std::sin(wide(x) / 180.0 * wide(kPi))); }

void get_cartesian(float a, float b, float c, float alpha, float beta, float gamma, Mat3f& bmat, Mat3f& binv,
                   int32_t& ierr) {
  ierr = 0;
  const float ca = cos_d(alpha);
  const float cb = cos_d(beta);
  const float cg = cos_d(gamma);
  const float sg = sin_d(gamma);
  bmat.fill(0.0f);
  at3(bmat, 1, 1) = a;
  at3(bmat, 1, 2) = store_single(wide(b) * wide(cg));
  at3(bmat, 2, 2) = store_single(wide(b) * wide(sg));
  at3(bmat, 1, 3) = store_single(wide(c) * wide(cb));
  at3(bmat, 2, 3) = store_single(wide(c) * (wide(ca) - wide(cg) * wide(cb)) / wide(sg));
  const double b13 = wide(at3(bmat, 1, 3));
  const double b23 = wide(at3(bmat, 2, 3));
  at3(bmat, 3, 3) = store_single(std::sqrt(wide(c) * wide(c) - b13 * b13 - b23 * b23));

  // B^T X = I: equation 3(i-1)+j holds B(l, i) in the column 3(j-1)+l of unknown X(l, j).
  std::array<float, kRowopLead * 10> eq{};
  auto m = [&](int32_t r, int32_t col) -> float& { return eq[static_cast<std::size_t>(col - 1) * kRowopLead + r - 1]; };
  for (int32_t i = 1; i <= 3; ++i) {
    for (int32_t j = 1; j <= 3; ++j) {
      const int32_t r = 3 * (i - 1) + j;
      for (int32_t l = 1; l <= 3; ++l) m(r, 3 * (j - 1) + l) = at3(bmat, l, i);
      m(r, 10) = i == j ? 1.0f : 0.0f;
    }
  }
  xrowop(eq, 9, 10);
  if (ncmp(m(9, 9)) == 0) {
    ierr = 2;
    return;
  }
  for (int32_t i = 1; i <= 3; ++i) {
    for (int32_t j = 1; j <= 3; ++j) {
      const int32_t r = 3 * (i - 1) + j;
      at3(binv, i, j) = store_single(wide(m(r, 10)) / wide(m(r, r)));
    }
  }
}

}  // namespace vibrex
