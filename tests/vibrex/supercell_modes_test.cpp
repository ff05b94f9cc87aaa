// Supercell atoms and symmetry modes: folding, the sign rule, and the supercells and modes of
// P-1 at GM and X.
#include "vibrex/supercell_modes.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "tests/bomb_trap.hpp"
#include "tests/vibrex/analysis_fixture.hpp"
#include "tests/vibrex/literal_irrep_matrices.hpp"
#include "tests/vibrex/loaded_fixture.hpp"
#include "tests/vibrex/run_builder.hpp"
#include "vibrex/real_irrep.hpp"

namespace vibrex {
namespace {

using sgl::testing::Bombed;
using sgl::testing::BombTrap;

TEST(FoldCoordinate, UnitStepsAndWholeSteps) {
  struct Case {
    float y;
    float folded;
    int64_t steps;  // superlattice columns added to the fixed point
  };
  const Case cases[] = {{0.25f, 0.25f, 0},
                        {0.9995f, 0.9995f - 1.0f, -1},
                        {-0.0005f, -0.0005f, 0},
                        {1.0f, 0.0f, -1},
                        {2.5f, 0.5f, -2},
                        {-1.5f, 0.5f, 2},
                        {-3.0f, 0.0f, 3},
                        {-2.9995f, -2.9995f + 3.0f, 3},
                        {7.9995f, 7.9995f - 8.0f, -8},
                        {3.0e7f, 0.0f, -30000000},
                        {-0.5f, 0.5f, 1}};
  for (const Case& c : cases) {
    float y = c.y;
    sgl::RationalVector p{1, 1, 1, 2};
    fold_coordinate(y, {1, -2, 0}, p);
    EXPECT_FLOAT_EQ(y, c.folded) << c.y;
    // The fixed point moves by the column times its denominator per step.
    EXPECT_EQ(p,
              (sgl::RationalVector{static_cast<int32_t>(1 + 2 * c.steps), static_cast<int32_t>(1 - 4 * c.steps), 1, 2}))
        << c.y;
  }
}

TEST(FoldCoordinate, UnfoldablePositionsStop) {
  BombTrap trap;
  ::testing::internal::CaptureStdout();
  for (float bad : {1.0e10f, std::nanf(""), INFINITY}) {
    float y = bad;
    sgl::RationalVector p{0, 0, 0, 1};
    EXPECT_THROW(fold_coordinate(y, {1, 0, 0}, p), Bombed) << bad;
  }
  ::testing::internal::GetCapturedStdout();
}

TEST(ScaleMode, LargestComponentAndSignRule) {
  struct Case {
    std::vector<float> mode;
    std::optional<std::vector<float>> scaled;
  };
  const Case cases[] = {
      {{0.5f, -1.0f, 0, 0.5f, 0, 0}, std::vector<float>{0.5f, -1.0f, 0, 0.5f, 0, 0}},
      {{-0.5f, -1.0f, 0, 0.5f, 0, 0}, std::vector<float>{0.5f, 1.0f, 0, -0.5f, 0, 0}},
      {{1.0f, -2.0f, 0, 2.0f, -1.0f, 0}, std::vector<float>{0.5f, -1.0f, 0, 1.0f, -0.5f, 0}},
      // A component within 0.001 of zero is not counted but is scaled.
      {{-0.0008f, 0.0008f, -0.5f, 0, 0, 0}, std::vector<float>{0.0016f, -0.0016f, 1.0f, 0, 0, 0}},
      {{0.0005f, -0.0009f, 0, 0, 0, 0}, std::nullopt},
  };
  BombTrap trap;
  for (const Case& c : cases) {
    std::vector<float> m = c.mode;
    if (!c.scaled) {
      EXPECT_THROW(scale_mode(m), Bombed);
      continue;
    }
    scale_mode(m);
    for (std::size_t i = 0; i < m.size(); ++i) EXPECT_NEAR(m[i], (*c.scaled)[i], 1e-6) << i;
  }
}

class SupercellTest : public ::testing::Test {
 protected:
  SupercellTest() : fixture_(testing::standard_fixture()), run_(fixture_.tables()) {
    irrep_cache() = IrrepCache{};
    transform_type1_state() = TransformType1State{};
  }

  ModeRequest request(int32_t l, sgl::Mat3i s) const {
    ModeRequest r;
    r.l = l;
    r.irrep = fixture_.tables().little.little_irrep_to_irrep(l);
    r.superlattice = s;
    r.nvec = 1;
    r.opd_basis.assign(48, 0.0f);
    r.opd_basis[0] = 1.0f;
    return r;
  }

  testing::FixtureRun fixture_;
  VibrexRun run_;
};

constexpr sgl::Mat3i kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};

// P-1 with a = 2, b = 3, c = 4: Si on the inversion centre 1a and O on the general position.
void p1bar_structure(VibrexRun& run) {
  testing::build_structure(run, 2, {2, 3, 4, 90, 90, 90}, {{"Si", "1a", {}}, {"O", "2i", {0.1f, 0.2f, 0.3f}}});
}

TEST_F(SupercellTest, ZoneCentreAtomsAndTheModesOfTheOddIrrep) {
  p1bar_structure(run_);
  SupercellModes out;
  build_supercell_modes(run_, request(2, kIdentity), out);
  ASSERT_EQ(out.translations.size(), 1u);
  const float vectors[9] = {2, 0, 0, 0, 3, 0, 0, 0, 4};
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(out.vectors[i], vectors[i], 1e-6);
  ASSERT_EQ(out.atoms.size(), 3u);
  const float positions[3][3] = {{0, 0, 0}, {0.2f, 0.6f, 1.2f}, {1.8f, 2.4f, 2.8f}};
  for (int a = 0; a < 3; ++a) {
    EXPECT_EQ(out.atoms[a].type, a == 0 ? 1 : 2);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(out.atoms[a].position[i], positions[a][i], 1e-5) << a << i;
  }
  // Three modes of Si along x, y, z, then three of O with both atoms moving together.
  ASSERT_EQ(out.modes.size(), 6u);
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < 9; ++i) {
      const int atom = i / 3, axis = i % 3;
      EXPECT_NEAR(out.modes[k][i], atom == 0 && axis == k ? 1.0f : 0.0f, 1e-6) << k << i;
      EXPECT_NEAR(out.modes[3 + k][i], atom > 0 && axis == k ? 1.0f : 0.0f, 1e-6) << k << i;
    }
  }
}

TEST_F(SupercellTest, EvenIrrepMovesInversionPartnersApart) {
  p1bar_structure(run_);
  SupercellModes out;
  build_supercell_modes(run_, request(1, kIdentity), out);
  // Si on the inversion centre has no even displacement; the O pair moves in opposite senses.
  ASSERT_EQ(out.modes.size(), 3u);
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 9; ++i) {
      const int atom = i / 3, axis = i % 3;
      const float expected = axis != k || atom == 0 ? 0.0f : atom == 1 ? 1.0f : -1.0f;
      EXPECT_NEAR(out.modes[k][i], expected, 1e-6) << k << i;
    }
}

TEST_F(SupercellTest, DoubledCellAtXAlternatesTheSign) {
  p1bar_structure(run_);
  SupercellModes out;
  build_supercell_modes(run_, request(4, {2, 0, 0, 0, 1, 0, 0, 0, 1}), out);
  ASSERT_EQ(out.translations.size(), 2u);
  EXPECT_FLOAT_EQ(out.vectors[0], 4.0f);
  // Types, cosets, translations: Si, Si + a; O, O + a, O', O' + a; folded into the supercell.
  ASSERT_EQ(out.atoms.size(), 6u);
  const float x[6] = {0, 2, 0.2f, 2.2f, 3.8f, 1.8f};
  for (int a = 0; a < 6; ++a) EXPECT_NEAR(out.atoms[a].position[0], x[a], 1e-5) << a;
  // X1- on Si: the two cells move in opposite senses, the first one positive.
  ASSERT_GE(out.modes.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_FLOAT_EQ(out.modes[k][k], 1.0f);
    EXPECT_FLOAT_EQ(out.modes[k][3 + k], -1.0f);
  }
}

TEST_F(SupercellTest, CachedIrrepMatricesGiveTheLiteralModes) {
  // The builder that takes each irrep matrix once per operator against the one that calls
  // get_irrep2 every time, bit for bit, on the requests above and on a cell doubled twice.
  p1bar_structure(run_);
  const std::vector<ModeRequest> requests = {request(2, kIdentity), request(1, kIdentity),
                                             request(4, {2, 0, 0, 0, 1, 0, 0, 0, 1}),
                                             request(4, {2, 0, 0, 0, 2, 0, 0, 0, 1})};
  for (const ModeRequest& req : requests) {
    SCOPED_TRACE(req.l);
    SupercellModes fast, literal;
    build_supercell_modes(run_, req, fast);
    testing::LiteralIrrepMatrices literal_matrices;
    run_.irrep_matrix_source = &literal_matrices;
    build_supercell_modes(run_, req, literal);
    run_.irrep_matrix_source = nullptr;
    EXPECT_GT(literal_matrices.requests(), 0);
    EXPECT_EQ(fast.translations, literal.translations);
    EXPECT_EQ(fast.vectors, literal.vectors);
    ASSERT_EQ(fast.atoms.size(), literal.atoms.size());
    for (std::size_t a = 0; a < fast.atoms.size(); ++a) {
      EXPECT_EQ(fast.atoms[a].type, literal.atoms[a].type);
      EXPECT_EQ(fast.atoms[a].position, literal.atoms[a].position);
    }
    EXPECT_EQ(fast.modes, literal.modes);
    EXPECT_FALSE(fast.modes.empty());
  }
}

}  // namespace
}  // namespace vibrex
