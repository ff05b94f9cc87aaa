// The isotropy search and the supercell modes with each irrep matrix computed once per operator
// against the literal analysis, which calls get_irrep2 at every use: the program and a driver
// that runs the literal analysis must print the same bytes on the examples, on a garnet
// cell (stored irreps at H and P, induced real ones along DT, a k line given twice) and on
// wurtzite along DT (induced irreps that are not real). Then the cache itself on the fixture
// tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/bomb_trap.hpp"
#include "tests/text_io_child.hpp"
#include "tests/vibrex/loaded_fixture.hpp"
#include "vibrex/induced_irrep.hpp"
#include "vibrex/irrep_matrix_cache.hpp"
#include "vibrex/real_irrep.hpp"

namespace vibrex {
namespace {

text_io_test::ChildResult run(const std::string& program, const std::string& input) {
  text_io_test::ChildOptions options;
  options.input = input;
  options.environment = {std::string("XTALDIR=") + SGL_DATA_DIR};
  return text_io_test::run_child({program}, options);
}

// Y3Al5O12, Ia-3d, a = 12.00 A: the 80-atom primitive cell.
const std::string kGarnet =
    "Y3Al5O12 garnet Ia-3d\n230\n12.00 12.00 12.00 90 90 90\n4\nY 24c\nAl 16a\nAl 24d\n"
    "O 96h -0.0306 0.0512 0.1500\n";

TEST(SupercellReference, ProgramMatchesTheLiteralAnalysis) {
  if (!testing::mode_tables_present()) GTEST_SKIP() << "no mode tables in data/";
  std::vector<std::pair<std::string, std::string>> cases = {
      {"garnet at H and P", kGarnet + "2\nH\nP\n"},
      {"garnet along DT", kGarnet + "1\nDT 1/4\n"},
      {"garnet at P twice", kGarnet + "2\nP\nP\n"},
      // Induced irreps that are not real: doubled and brought to real form by stored transforms.
      {"wurtzite along DT", "ZnO\n186\n3.2496 3.2496 5.2042 90 90 120\n2\nZn 2b 0 0 0\nO 2b 0 0 0.3819\n1\nDT 1/4\n"},
  };
  for (const auto& entry : std::filesystem::directory_iterator(std::string(SGL_SOURCE_DIR) + "/examples/vibrex")) {
    if (entry.path().extension() == ".in")
      cases.push_back({entry.path().filename().string(), text_io_test::slurp(entry.path().string())});
  }
  ASSERT_GT(cases.size(), 6u);
  for (const auto& [what, input] : cases) {
    SCOPED_TRACE(what);
    const auto fast = run(std::string(SGL_BIN_DIR) + "/vibrex", input);
    const auto literal = run(std::string(SGL_DRIVER_DIR) + "/vibrex_literal_modes", input);
    EXPECT_EQ(fast.status, 0) << fast.err;
    EXPECT_EQ(fast.status, literal.status);
    EXPECT_NE(fast.out.find("End of output"), std::string::npos);
    EXPECT_TRUE(fast.out == literal.out) << "program:\n" << fast.out.substr(0, 3000) << "\nliteral:\n"
                                         << literal.out.substr(0, 3000);
    EXPECT_EQ(fast.err, literal.err);
  }
}

class IrrepMatrixCacheTest : public ::testing::Test {
 protected:
  IrrepMatrixCacheTest() : run_(testing::standard_fixture()) {
    irrep_cache() = IrrepCache{};
    transform_type1_state() = TransformType1State{};
  }
  Tables tables() const { return run_.tables(); }

  testing::FixtureRun run_;
};

// get_irrep2, counting the matrices asked of it.
int64_t computed = 0;
void counted_get_irrep2(const Tables& t, int32_t mode, int32_t l, const sgl::SpaceOp& op, const sgl::RationalVector& par,
                        float& x, RealMatrix& xm, int32_t& error) {
  ++computed;
  get_irrep2(t, mode, l, op, par, x, xm, error);
}

TEST_F(IrrepMatrixCacheTest, EachOperatorOnceAndTheValuesOfGetIrrep2) {
  // P-1 of the standard fixture: little irreps 1 to 4 of dimension 1, 2 at X of dimension 1 as
  // well; operators with lattice translations added.
  computed = 0;
  IrrepMatrixCache cache(&counted_get_irrep2);
  const sgl::RationalVector par{0, 0, 0, 1};
  const std::vector<sgl::SpaceOp> ops = {{0, 0, 0, 1, 1}, {0, 0, 0, 1, 25}, {1, 0, 0, 1, 1}, {-2, 1, 3, 1, 25}};
  for (int32_t l : {2, 4}) {
    const int64_t before = computed;
    for (int round = 0; round < 3; ++round)
      for (const sgl::SpaceOp& op : ops) {
        const IrrepMatrixView m = cache.matrix(tables(), l, op, par);
        RealMatrix d{};
        float x = 0.0f;
        int32_t error = 0;
        get_irrep2(tables(), 2, l, op, par, x, d, error);
        ASSERT_EQ(error, 0);
        const int32_t dim = tables().little.little_irrep_dimension(l);
        ASSERT_EQ(m.lead, static_cast<std::size_t>(dim));
        for (int32_t a = 1; a <= dim; ++a)
          for (int32_t c = 1; c <= dim; ++c) EXPECT_EQ(m(c, a), rat(d, c, a)) << l << " " << op[4];
      }
    // Another irrep starts afresh; within one, each operator is computed once.
    EXPECT_EQ(computed - before, static_cast<int64_t>(ops.size())) << l;
  }
  // Other parameter values start afresh too, and are then kept in their turn; the matrices of
  // the earlier values are gone.
  cache.matrix(tables(), 4, ops[0], {1, 0, 0, 2});
  cache.matrix(tables(), 4, ops[0], {1, 0, 0, 2});
  EXPECT_EQ(computed, 2 * static_cast<int64_t>(ops.size()) + 1);
  cache.matrix(tables(), 4, ops[1], {0, 0, 0, 1});
  EXPECT_EQ(computed, 2 * static_cast<int64_t>(ops.size()) + 2);
}

TEST_F(IrrepMatrixCacheTest, AnOperatorOutsideTheGroupStops) {
  computed = 0;
  IrrepMatrixCache cache(&counted_get_irrep2);
  sgl::testing::BombTrap trap;
  // Point operation 2 is not in P-1; a translation of 1/2 is not a lattice vector.
  ::testing::internal::CaptureStdout();
  EXPECT_THROW(cache.matrix(tables(), 2, {0, 0, 0, 1, 2}, {0, 0, 0, 1}), sgl::testing::Bombed);
  EXPECT_THROW(cache.matrix(tables(), 2, {1, 0, 0, 2, 1}, {0, 0, 0, 1}), sgl::testing::Bombed);
  ::testing::internal::GetCapturedStdout();
  // Nothing was kept: the next request of a valid operator computes it.
  cache.matrix(tables(), 2, {0, 0, 0, 1, 1}, {0, 0, 0, 1});
  EXPECT_EQ(computed, 3);
  cache.matrix(tables(), 2, {0, 0, 0, 1, 1}, {0, 0, 0, 1});
  EXPECT_EQ(computed, 3);
}

}  // namespace
}  // namespace vibrex
