// The state the input dialogue leaves for the search: scope flags, tolerances with zero and tiny
// maxima replaced, the lattice in its standard orientation (negated for left-handed vectors),
// the unit cell and its inverse, the atom arrays.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cellsieve/run.hpp"
#include "library/text/text_io.hpp"
#include "tests/cellsieve/grid_columns.hpp"
#include "tests/table_files.hpp"

namespace cellsieve {
namespace {

struct Case {
  const char* what;
  std::string input;
  bool supergroups_only, superlattices_only;
  double dmax, dmin, smax, smin;
  Mat3 lattice;
  bool cell_inv_integral;
  double cell_volume;
  std::vector<int32_t> types;
};

TEST(Dialogue, LeavesTheStructureForTheSearch) {
  const Case cases[] = {
      {"scope 4, zeros replaced, cell doubled along a, types over two lines",
       "Dialogue state\n4\n0 0.05\n-0.0 0\n2\n3 4 5 90 90 90\n2 0 0\n0 1 0\n0 0 1\n3\n5 7\n5 99\n"
       "0 0 0\n0.5 0 0\n0.25 0.5 0.5\n",
       true, true, 1e-10, 0.05, 1e-10, 1e-10, {3, 0, 0, 0, 4, 0, 0, 0, 5}, false, 120.0, {5, 7, 5}},
      // Left-handed vectors keep their handedness (the structure is not mirrored): the negated
      // standard orientation, a proper rotation of the vectors given.
      {"scope 1, left-handed vectors give the negated standard lattice",
       "Mirror\n1\n0.2 0.1\n0.3 0.01\n1\n1 0 0\n0 2 0\n0 0 -3\n1 0 0\n0 1 0\n0 0 1\n1\n-4\n0.1 0.2 0.3\n",
       false, false, 0.2, 0.1, 0.3, 0.01, {-1, 0, 0, 0, -2, 0, 0, 0, -3}, true, 6.0, {-4}},
      {"right-handed vectors give the standard lattice",
       "Vectors\n1\n0.2 0.1\n0.3 0.01\n1\n0 2 0\n-1 0 0\n0 0 3\n1 0 0\n0 1 0\n0 0 1\n1\n1\n0.1 0.2 0.3\n",
       false, false, 0.2, 0.1, 0.3, 0.01, {2, 0, 0, 0, 1, 0, 0, 0, 3}, true, 6.0, {1}},
      // Maxima below the rounding of exact fits count as 1e-10; minima below it are kept (no
      // group then counts as exact).
      {"tiny maxima raised, tiny and negative minima kept",
       "Tiny\n1\n1e-16 1e-30\n1e-300 -1\n2\n3 4 5 90 90 90\n1 0 0\n0 1 0\n0 0 1\n1\n1\n0.1 0.2 0.3\n",
       false, false, 1e-10, 1e-30, 1e-10, -1.0, {3, 0, 0, 0, 4, 0, 0, 0, 5}, true, 60.0, {1}},
      // The triclinic lattice and volume as cctbx's orthogonalization matrix gives them (a along
      // x, b in the xy plane): uctbx.unit_cell((3, 4, 5, 80, 95, 110)).
      {"triclinic lattice against cctbx",
       "Triclinic\n2\n0.2 0.1\n0.3 0.01\n2\n3 4 5 80 95 110\n1 0 0\n0 1 0\n0 0 1\n1\n1\n0.1 0.2 0.3\n",
       true, false, 0.2, 0.1, 0.3, 0.01,
       {3.0, 0.0, 0.0, -1.3680805733026749, 3.7587704831436337, 0.0, -0.4357787137382912,
        0.7653521739929272, 4.9218221181201685},
       true, 55.499999102620706, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sgl::testing::TempDir tmp;
    const auto in = tmp.path() / "input.txt";
    std::ofstream(in) << c.input;
    sgl::open_unit(5, in.string(), "OLD", "FORMATTED");
    auto run = std::make_unique<cellsieve::Run>();
    run->deg_to_rad = 4.0 * std::atan(1.0) / 180.0;
    run->rad_to_deg = 1.0 / run->deg_to_rad;
    run->tables.allocate_init();
    run->open_log((tmp.path() / "cellsieve.log").string());
    ::testing::internal::CaptureStdout();
    run->input_dialogue();
    sgl::flush(6);
    const std::string out = ::testing::internal::GetCapturedStdout();
    sgl::close_unit(kLogUnit);
    sgl::close_unit(5);
    EXPECT_EQ(sgl::testing::slurp(tmp.path() / "cellsieve.log"), out);

    const Structure& s = run->s;
    EXPECT_EQ(s.supergroups_only, c.supergroups_only);
    EXPECT_EQ(s.superlattices_only, c.superlattices_only);
    EXPECT_EQ(s.dmax, c.dmax);
    EXPECT_EQ(s.dmin, c.dmin);
    EXPECT_EQ(s.smax, c.smax);
    EXPECT_EQ(s.smin, c.smin);
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(s.lattice[k], c.lattice[k], 1e-13) << k;
    EXPECT_EQ(detmat(s.lattice) > 0.0, detmat(c.lattice) > 0.0);
    Mat3 product{};
    matrix_mlt(s.lattice, s.lattice_inv, product);
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(product[k], kIdentity3[k], 1e-14);
    EXPECT_EQ(s.cell_inv_integral, c.cell_inv_integral);
    EXPECT_NEAR(s.cell_volume, c.cell_volume, 1e-12);
    EXPECT_NEAR(s.cell_volume, std::fabs(detmat(s.lattice)) * std::fabs(detmat(s.cell)), 1e-12);
    Mat3 cart{};
    matrix_mlt(s.lattice, s.cell, cart);
    EXPECT_EQ(s.cell_cart, cart);
    matrix_mlt(s.cell_cart, s.cell_cart_inv, product);
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(product[k], kIdentity3[k], 1e-14);

    const int32_t n = static_cast<int32_t>(c.types.size());
    ASSERT_EQ(s.natoms, n);
    EXPECT_EQ(run->tables.natoms, n);
    EXPECT_EQ(run->tables.fract_image.rows(), n);
    EXPECT_EQ(columns_of(run->tables.rep_image), run->tables.max_fract);
    EXPECT_EQ(columns_of(run->atoms.candidates), n + 3);
    EXPECT_EQ(columns_of(run->atoms.opperm), 64);
    EXPECT_EQ(run->atoms.orbit_members.rows(), 48);
    for (int32_t a = 1; a <= n; ++a) {
      EXPECT_EQ(s.atom_type(a), c.types[a - 1]);
      EXPECT_EQ(s.atom_type_input(a), c.types[a - 1]);
    }
    EXPECT_EQ(s.atom_pos(3, n), c.types.size() == 1 ? 0.3 : 0.5);  // positions stay as read
  }
}

}  // namespace
}  // namespace cellsieve
