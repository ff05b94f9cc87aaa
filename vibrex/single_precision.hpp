// Single-precision values formed in double precision.
//
// Every real and complex value of the mode analysis is stored in single precision, but each
// expression is evaluated in double precision and rounded once, when it is stored. Plain float
// arithmetic rounds after every operation (a*b + c rounds the product first), and
// std::complex<float> does the same per part, so neither is used for computation: operands are
// widened with wide(), expressions run in double, and store_single() (or the Complex8 constructor
// from a ComplexD) rounds the result.
#pragma once

namespace vibrex {

// The one rounding of a double-precision result into single precision.
inline float store_single(double x) { return static_cast<float>(x); }

// A single-precision value widened for an expression.
inline double wide(float x) { return static_cast<double>(x); }

// A complex intermediate in double precision.
struct ComplexD {
  double re = 0.0;
  double im = 0.0;
};

inline ComplexD operator+(ComplexD a, ComplexD b) { return {a.re + b.re, a.im + b.im}; }
inline ComplexD operator-(ComplexD a, ComplexD b) { return {a.re - b.re, a.im - b.im}; }
inline ComplexD operator*(ComplexD a, ComplexD b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
inline ComplexD operator/(ComplexD a, ComplexD b) {
  const double den = b.re * b.re + b.im * b.im;
  return {(a.re * b.re + a.im * b.im) / den, (a.im * b.re - a.re * b.im) / den};
}
inline ComplexD conj(ComplexD a) { return {a.re, -a.im}; }

// A stored complex value: two single-precision parts, real part first. Its operators widen both
// operands and give a ComplexD, so a whole expression runs in double precision and is rounded
// per part only when it is assigned to a Complex8.
struct Complex8 {
  float re = 0.0f;
  float im = 0.0f;

  constexpr Complex8() = default;
  constexpr Complex8(float r, float i) : re(r), im(i) {}
  // The rounding at the store.
  Complex8(ComplexD z) : re(store_single(z.re)), im(store_single(z.im)) {}

  ComplexD wide() const { return {static_cast<double>(re), static_cast<double>(im)}; }
  bool operator==(const Complex8&) const = default;
};

inline ComplexD operator+(Complex8 a, Complex8 b) { return a.wide() + b.wide(); }
inline ComplexD operator-(Complex8 a, Complex8 b) { return a.wide() - b.wide(); }
inline ComplexD operator*(Complex8 a, Complex8 b) { return a.wide() * b.wide(); }
inline ComplexD operator/(Complex8 a, Complex8 b) { return a.wide() / b.wide(); }
inline ComplexD operator+(ComplexD a, Complex8 b) { return a + b.wide(); }
inline ComplexD operator-(ComplexD a, Complex8 b) { return a - b.wide(); }
inline ComplexD operator*(ComplexD a, Complex8 b) { return a * b.wide(); }
inline ComplexD operator+(Complex8 a, ComplexD b) { return a.wide() + b; }
inline ComplexD operator-(Complex8 a, ComplexD b) { return a.wide() - b; }
inline ComplexD operator*(Complex8 a, ComplexD b) { return a.wide() * b; }
inline ComplexD conj(Complex8 a) { return conj(a.wide()); }

// The pi of the angle helpers and 2 pi of the lattice phases: the single-precision constants.
inline constexpr float kPi = 3.1415927f;
inline constexpr float kTwoPi = 6.2831855f;

}  // namespace vibrex
