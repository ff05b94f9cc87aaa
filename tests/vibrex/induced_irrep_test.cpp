// Induced irreps: the representation property, the blocks at the zone centre and for lattice
// translations, the cache, and the refused operators.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/bomb_trap.hpp"
#include "tests/vibrex/induced_irrep_check.hpp"
#include "tests/vibrex/loaded_fixture.hpp"
#include "vibrex/induced_irrep.hpp"

namespace vibrex {
namespace {

using sgl::RationalVector;
using sgl::SpaceOp;
using sgl::testing::Bombed;
using sgl::testing::BombTrap;

// Each test starts from an empty cache, as a run does.
class InducedIrrep : public ::testing::Test {
 protected:
  InducedIrrep() : run_(testing::standard_fixture()) { irrep_cache() = IrrepCache{}; }
  ~InducedIrrep() override { irrep_cache() = IrrepCache{}; }
  testing::FixtureRun run_;
};

Complex8 entry(const InducedMatrix& m, int r, int c) { return m[static_cast<std::size_t>(c - 1) * kInducedLead + r - 1]; }

TEST_F(InducedIrrep, RepresentationOnTheFixture) {
  const Tables t = run_.tables();
  std::mt19937 rng(11);
  // P-1 at GM and X from the small irreps, P-1 and P1 at a general point.
  for (int32_t l = 1; l <= 4; ++l) testing::check_induced_representation(t, l, {0, 0, 0, 1}, rng);
  for (int32_t l : {5, 6}) {
    testing::check_induced_representation(t, l, {6, 4, 3, 12}, rng);
    testing::check_induced_representation(t, l, {-7, 2, 13, 17}, rng);
  }
}

TEST_F(InducedIrrep, TwoArmsOfAGeneralPoint) {
  const Tables t = run_.tables();
  const RationalVector par{1, 1, 1, 8};  // k = (1/8, 1/8, 1/8)
  // A lattice translation t = (1, 2, 0): block (1,1) exp(2 pi i k.t), block (2,2) the conjugate,
  // since the second arm, -k, sees -t.
  auto d = testing::induced(t, 5, {1, 2, 0, 1, 1}, par);
  const double angle = static_cast<double>(kTwoPi) * static_cast<double>(0.375f);
  EXPECT_EQ(entry(d.m, 1, 1), Complex8(static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))));
  EXPECT_EQ(entry(d.m, 2, 2), Complex8(static_cast<float>(std::cos(-angle)), static_cast<float>(std::sin(-angle))));
  EXPECT_EQ(entry(d.m, 1, 2), Complex8());
  EXPECT_EQ(entry(d.m, 2, 1), Complex8());
  EXPECT_NEAR(d.chi.re, 2 * std::cos(angle), 1e-6);
  EXPECT_NEAR(d.chi.im, 0.0, 1e-6);
  // The inversion swaps the arms: off-diagonal ones, character 0.
  d = testing::induced(t, 5, {0, 0, 0, 1, 25}, par);
  EXPECT_EQ(entry(d.m, 1, 2), Complex8(1.0f, 0.0f));
  EXPECT_EQ(entry(d.m, 2, 1), Complex8(1.0f, 0.0f));
  EXPECT_EQ(entry(d.m, 1, 1), Complex8());
  EXPECT_EQ(d.chi, Complex8());
  // One arm in P1.
  d = testing::induced(t, 6, {0, 0, 1, 1, 1}, par);
  EXPECT_EQ(d.dim, 1);
  EXPECT_NEAR(d.chi.re, std::cos(2 * M_PI / 8), 1e-6);
  EXPECT_NEAR(d.chi.im, std::sin(2 * M_PI / 8), 1e-6);
}

TEST_F(InducedIrrep, ZoneCentreIgnoresTranslationsAndSurplusParameters) {
  const Tables t = run_.tables();
  for (const RationalVector& par : {RationalVector{0, 0, 0, 1}, RationalVector{5, 7, 9, 11}}) {
    auto d = testing::induced(t, 2, {3, -1, 2, 1, 25}, par);  // GM1-: the inversion gives -1
    EXPECT_EQ(entry(d.m, 1, 1), Complex8(-1.0f, 0.0f));
    d = testing::induced(t, 2, {7, 0, -4, 1, 1}, par);
    EXPECT_EQ(entry(d.m, 1, 1), Complex8(1.0f, 0.0f));
    // X (1/2, 0, 0): the translation (1, 0, 0) gives exp(i pi), the single-precision way.
    d = testing::induced(t, 3, {1, 0, 0, 1, 1}, par);
    const double angle = static_cast<double>(kTwoPi) * 0.5;
    EXPECT_EQ(entry(d.m, 1, 1), Complex8(static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))));
  }
}

TEST_F(InducedIrrep, CacheIsKeyedByTheLittleIrrepAlone) {
  const Tables t = run_.tables();
  const RationalVector par{1, 2, 3, 7};
  for (int32_t l : {5, 5, 6, 5}) testing::induced(t, l, {0, 0, 0, 1, 1}, par);
  EXPECT_EQ(irrep_cache().builds, 3);
  // The same little irrep with other operators, modes and parameters rebuilds nothing.
  testing::induced(t, 5, {1, 0, 0, 1, 25}, {0, 1, 0, 2});
  EXPECT_EQ(irrep_cache().builds, 3);
  EXPECT_EQ(irrep_cache().key, 5);
  EXPECT_EQ(irrep_cache().narm, 2);
}

TEST_F(InducedIrrep, RefusedOperatorsAndModes) {
  const Tables t = run_.tables();
  InducedMatrix m{};
  m[0] = Complex8(42.0f, 0.0f);
  Complex8 z(42.0f, 0.0f);
  int32_t error = -1;
  for (const SpaceOp& op : {SpaceOp{0, 0, 0, 1, 2}, SpaceOp{1, 0, 0, 2, 1}, SpaceOp{1, 1, 1, 3, 25}}) {
    get_irrep_complex(t, 2, 5, op, {0, 0, 0, 1}, z, m, error);
    EXPECT_EQ(error, 1);
    get_irrep_complex(t, 1, 5, op, {0, 0, 0, 1}, z, m, error);
    EXPECT_EQ(error, 1);
  }
  EXPECT_EQ(m[0], Complex8(42.0f, 0.0f));
  EXPECT_EQ(z, Complex8(42.0f, 0.0f));
  BombTrap trap;
  EXPECT_THROW(get_irrep_complex(t, 3, 5, {0, 0, 0, 1, 1}, {0, 0, 0, 1}, z, m, error), Bombed);
}

TEST(InducedIrrepRealTables, EveryTabulatedLittleIrrep) {
  VIBREX_REQUIRE_MODE_TABLES();
  const Tables t = testing::real_tables().tables();
  setenv("XTALDIR", SGL_DATA_DIR, 1);
  const_common() = ConstCommon{};
  irrep_cache() = IrrepCache{};
  std::mt19937 rng(23);
  std::uniform_int_distribution<int> num(-40, 40);
  for (int32_t g = 1; g <= sgl::kSpaceGroupCount; ++g) {
    const int32_t lattice = t.space.sg_bravais(g);
    for (int32_t j = 1; j <= t.little.kvec_count(lattice); ++j) {
      for (int32_t m = 1; m <= t.little.little_irrep_count(j, g); ++m) {
        const int32_t l = t.little.little_irrep_number(m, j, g);
        // A fixed sample of operator pairs per irrep keeps the sweep short.
        if (l != 0) testing::check_induced_representation(t, l, {num(rng), num(rng), num(rng), 97}, rng, 3);
      }
    }
  }
  irrep_cache() = IrrepCache{};
  const_common() = ConstCommon{};
  unsetenv("XTALDIR");
}

}  // namespace
}  // namespace vibrex
