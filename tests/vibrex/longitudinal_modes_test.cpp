// The vector representation at the zone centre and the irreps that hold a longitudinal direction.
#include "vibrex/longitudinal_modes.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/bomb_trap.hpp"
#include "tests/vibrex/irrep_builder.hpp"
#include "tests/vibrex/loaded_fixture.hpp"

namespace vibrex {
namespace {

using sgl::testing::Bombed;
using sgl::testing::BombTrap;

// P4mm (99): A1 (z) in slot 1 and E ((x, y), the upper 2 x 2 block of the rotations) in slot 2,
// as little irreps 7 and 8 with stored irreps 6 and 7. Its lattice gets the k vectors GM, a line
// along c (LZ), one along a (LX), one along a + b + c (LG), one not through the origin (LC) and
// one with two parameters (PL).
class PolarizeTest : public ::testing::Test {
 protected:
  PolarizeTest() : run_(testing::standard_fixture()), builder_(run_.loaded()) {
    testing::LoadedTables& t = run_.loaded();
    builder_.add(6, 99, "GM1", 3, 1, [](const sgl::SpaceOp&) { return testing::IntMatrix{1}; });
    builder_.add(7, 99, "GM5", 4, 2, [&](const sgl::SpaceOp& op) {
      const testing::IntMatrix r = builder_.rotation(op);
      return testing::IntMatrix{r[0], r[1], r[3], r[4]};
    });
    CommonLittle& lt = *t.little;
    lt.little_irrep_count(1, 99) = 2;
    for (int m = 1; m <= 2; ++m) {
      const int l = 6 + m;
      lt.little_irrep_number(m, 1, 99) = static_cast<int16_t>(l);
      lt.little_irrep_to_irrep(l) = static_cast<int16_t>(5 + m);
      lt.little_irrep_dimension(l) = static_cast<int8_t>(m);
      lt.little_irrep_reality(l) = 1;
      lt.little_irrep_sg(l) = 99;
      lt.little_irrep_kvec(l) = 1;
    }
    lattice_ = t.space->sg_bravais(99);
    const char* labels[] = {"GM", "LZ", "LX", "LG", "LC", "PL"};
    lt.kvec_count(lattice_) = 6;
    for (int j = 1; j <= 6; ++j) {
      lt.kvec_label(j, lattice_) = sgl::Text<2>{{labels[j - 1][0], labels[j - 1][1]}};
      for (int c = 1; c <= 4; ++c) lt.kvec_matrix(4, c, j, lattice_) = 1;
      lt.kvec_parameter_count(j, lattice_) = j == 1 ? 0 : j == 6 ? 2 : 1;
    }
    lt.kvec_matrix(3, 2, 2, lattice_) = 1;
    lt.kvec_matrix(1, 2, 3, lattice_) = 1;
    for (int r = 1; r <= 3; ++r) lt.kvec_matrix(r, 2, 4, lattice_) = 1;
    lt.kvec_matrix(1, 1, 5, lattice_) = 1;
    lt.kvec_matrix(4, 1, 5, lattice_) = 2;
    lt.kvec_matrix(3, 2, 5, lattice_) = 1;
    lt.kvec_matrix(1, 2, 6, lattice_) = 1;
    lt.kvec_matrix(2, 3, 6, lattice_) = 1;
  }
  Tables tables() const { return run_.tables(); }

  testing::FixtureRun run_;
  testing::IrrepBuilder builder_;
  int32_t lattice_ = 0;
};

TEST_F(PolarizeTest, VectorBasisOfP4mmIsZThenXy) {
  VectorBasis vb;
  get_vector_basis(tables(), 99, vb);
  ASSERT_EQ(vb.n, 2);
  EXPECT_EQ(vb.lirr[0], 7);
  EXPECT_EQ(vb.lirr[1], 8);
  EXPECT_EQ(vb.ncopy[0], 1);
  EXPECT_EQ(vb.ncopy[1], 1);
  for (int c = 1; c <= 3; ++c) {
    EXPECT_FLOAT_EQ(vb.at(c, 1, 1, 1), c == 3 ? 1.0f : 0.0f);
    EXPECT_FLOAT_EQ(vb.at(c, 1, 1, 2), c == 1 ? 1.0f : 0.0f);
    EXPECT_FLOAT_EQ(vb.at(c, 2, 1, 2), c == 2 ? 1.0f : 0.0f);
  }
}

TEST_F(PolarizeTest, VectorBasisOfP1bar) {
  // Three independent copies of the odd irrep, the unit vectors; the even irrep holds none.
  VectorBasis vb;
  get_vector_basis(tables(), 2, vb);
  ASSERT_EQ(vb.n, 1);
  EXPECT_EQ(vb.lirr[0], 2);
  EXPECT_EQ(vb.ncopy[0], 3);
  for (int j = 1; j <= 3; ++j)
    for (int c = 1; c <= 3; ++c) EXPECT_FLOAT_EQ(vb.at(c, 1, j, 1), c == j ? 1.0f : 0.0f);
}

TEST_F(PolarizeTest, DirectionsFoundInTheirIrreps) {
  struct Case {
    int32_t kx;
    int32_t nlong;
    int32_t lirr;
    std::array<float, 3> coef;
  };
  const Case cases[] = {{2, 1, 7, {1, 0, 0}}, {3, 1, 8, {1, 0, 0}}, {4, 0, 0, {0, 0, 0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE("k index " + std::to_string(c.kx));
    Polarization p;
    int32_t ierr = -1;
    polarize(tables(), 99, c.kx, p, ierr);
    EXPECT_EQ(ierr, 0);
    ASSERT_EQ(p.nlong, c.nlong);
    if (c.nlong == 0) continue;
    EXPECT_EQ(p.lirr[0], c.lirr);
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(p.coef[0][a], c.coef[a], 1e-6);
  }
}

TEST_F(PolarizeTest, NonRealIrrepListedWithZeroCoefficients) {
  run_.loaded().little->little_irrep_reality(8) = 2;
  Polarization p;
  int32_t ierr = -1;
  polarize(tables(), 99, 3, p, ierr);
  ASSERT_EQ(p.nlong, 1);
  EXPECT_EQ(p.lirr[0], 8);
  for (float c : p.coef[0]) EXPECT_EQ(c, 0.0f);
}

TEST_F(PolarizeTest, LinesNotThroughTheOriginOrWithTwoParametersAreRefused) {
  for (int32_t kx : {1, 5, 6}) {
    Polarization p;
    int32_t ierr = 0;
    polarize(tables(), 99, kx, p, ierr);
    EXPECT_EQ(ierr, 1) << kx;
    EXPECT_EQ(p.nlong, 0);
  }
}

TEST_F(PolarizeTest, ZoneCentreIrrepsThatDoNotAddUpToThreeStop) {
  run_.loaded().little->little_irrep_count(1, 99) = 1;
  BombTrap trap;
  VectorBasis vb;
  EXPECT_THROW(get_vector_basis(tables(), 99, vb), Bombed);
  // A zone-centre little irrep without its stored irrep.
  run_.loaded().little->little_irrep_count(1, 99) = 2;
  run_.loaded().little->little_irrep_to_irrep(7) = 0;
  EXPECT_THROW(get_vector_basis(tables(), 99, vb), Bombed);
}

}  // namespace
}  // namespace vibrex
