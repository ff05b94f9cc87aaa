// Test support: properties every induced irrep must have, checked over the operators of its group.
#pragma once

#include <gtest/gtest.h>

#include <complex>
#include <random>
#include <string>

#include "library/groups/space_group.hpp"
#include "vibrex/induced_irrep.hpp"

namespace vibrex::testing {

inline std::complex<double> cd(Complex8 z) { return {z.re, z.im}; }

// The matrix of op, its dimension narm * s, and the character in mode 1.
struct Induced {
  InducedMatrix m{};
  Complex8 chi{};
  int32_t dim = 0;
};

inline Induced induced(const Tables& t, int32_t l, const sgl::SpaceOp& op, const sgl::RationalVector& par) {
  Induced r;
  int32_t error = -1;
  get_irrep_complex(t, 2, l, op, par, r.chi, r.m, error);
  EXPECT_EQ(error, 0);
  get_irrep_complex(t, 1, l, op, par, r.chi, r.m, error);
  r.dim = irrep_cache().narm * irrep_cache().small_dim;
  return r;
}

// D(g1) D(g2) = D(g1 g2) within 1e-4 for every pair of operators (or, with samples > 0, for that
// many random pairs), each moved by a random lattice translation; every matrix unitary; the
// character the trace of the matrix.
inline void check_induced_representation(const Tables& t, int32_t l, const sgl::RationalVector& par,
                                         std::mt19937& rng, int samples = 0) {
  SCOPED_TRACE("little irrep " + std::to_string(l));
  const int32_t g = t.little.little_irrep_sg(l);
  const int32_t lattice = t.space.sg_bravais(g);
  int32_t nop = 0;
  std::array<sgl::SpaceOp, kMaxOps> ops;
  sgl::generate_space_group(t.space, g, nop, ops);
  std::uniform_int_distribution<int> n(-2, 2);
  auto shift = [&](sgl::SpaceOp op) {
    for (int i = 0; i < 3; ++i) op[i] += n(rng) * op[3];
    return op;
  };
  std::uniform_int_distribution<int32_t> pick(0, nop - 1);
  for (int32_t step = 0; step < (samples > 0 ? samples : nop); ++step) {
    const int32_t i = samples > 0 ? pick(rng) : step;
    const sgl::SpaceOp g1 = shift(ops[i]);
    const Induced d1 = induced(t, l, g1, par);
    const int32_t dim = d1.dim;
    std::complex<double> trace = 0;
    for (int r = 0; r < dim; ++r) trace += cd(d1.m[static_cast<std::size_t>(r) * kInducedLead + r]);
    EXPECT_NEAR(cd(d1.chi).real(), trace.real(), 1e-5);
    EXPECT_NEAR(cd(d1.chi).imag(), trace.imag(), 1e-5);
    for (int r = 0; r < dim; ++r) {
      for (int c = 0; c < dim; ++c) {
        std::complex<double> s = 0;
        for (int k = 0; k < dim; ++k) {
          s += cd(d1.m[static_cast<std::size_t>(k) * kInducedLead + r]) *
               std::conj(cd(d1.m[static_cast<std::size_t>(k) * kInducedLead + c]));
        }
        EXPECT_NEAR(std::abs(s - (r == c ? 1.0 : 0.0)), 0.0, 1e-5) << "not unitary, operator " << i + 1;
      }
    }
    for (int32_t step2 = 0; step2 < (samples > 0 ? 1 : nop); ++step2) {
      const int32_t j = samples > 0 ? pick(rng) : step2;
      const sgl::SpaceOp g2 = shift(ops[j]);
      sgl::SpaceOp g12;
      gmlt(t.space, lattice, g1, g2, g12);
      const Induced d2 = induced(t, l, g2, par);
      const Induced d12 = induced(t, l, g12, par);
      for (int r = 0; r < dim; ++r) {
        for (int c = 0; c < dim; ++c) {
          std::complex<double> s = 0;
          for (int k = 0; k < dim; ++k) {
            s += cd(d1.m[static_cast<std::size_t>(k) * kInducedLead + r]) *
                 cd(d2.m[static_cast<std::size_t>(c) * kInducedLead + k]);
          }
          ASSERT_NEAR(std::abs(s - cd(d12.m[static_cast<std::size_t>(c) * kInducedLead + r])), 0.0, 1e-4)
              << "operators " << i + 1 << " and " << j + 1 << " entry " << r << "," << c;
        }
      }
    }
  }
}

}  // namespace vibrex::testing
