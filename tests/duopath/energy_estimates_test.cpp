// The energies computed inside duopath: the Madelung sums of the end crystals and of a midpoint
// against known Madelung constants, and the atoms of an energy structure as the input files list
// them.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>
#include <string>

#include "duopath/energy_estimates.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/text/text_io.hpp"
#include "tests/text_io_child.hpp"

namespace {

class EnergyEstimates : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sgl::load_common_space(SGL_DATA_DIR);
    sgl::load_common_wyckoff(SGL_DATA_DIR);
  }
};

// A cubic crystal with Na on a and Cl on b, in its primitive cell.
duopath::EnergyCrystal cubic(int32_t group, double a, const sgl::Mat3i& basis, int32_t den) {
  duopath::EnergyCrystal c;
  c.space_group = group;
  c.lattice = {a, a, a, 90.0, 90.0, 90.0};
  c.primitive_basis = basis;
  c.primitive_basis_den = den;
  c.lines = {{1, 1, {}}, {2, 2, {}}};
  c.multiplicity = {1, 1};
  c.atom_count = 2;
  for (std::size_t k = 0; k < 9; ++k) c.primitive_cartesian[k] = a * basis[k] / den;
  return c;
}

const sgl::Mat3i kFaceCentred{0, 1, 1, 1, 0, 1, 1, 1, 0};
const sgl::Mat3i kUnit{1, 0, 0, 0, 1, 0, 0, 0, 1};

// Energy per atom of an ion pair with Madelung constant alpha at nearest distance r, in eV, with
// the widened single constants: alpha / r per cell of one pair, halved, times 27.196 and 0.529177.
double pair_energy(double alpha, double r) {
  return -alpha / r / 2 * static_cast<double>(27.196f) * static_cast<double>(0.529177f);
}

TEST_F(EnergyEstimates, MadelungReferenceMatchesKnownConstants) {
  const std::vector<double> charges{1.0, -1.0};
  struct Case {
    const char* name;
    duopath::EnergyCrystal crystal;
    double expected;
  };
  const Case cases[] = {
      {"NaCl", cubic(225, 5.64, kFaceCentred, 2), -4.459233},
      {"CsCl", cubic(221, 3.36, kUnit, 1), -4.358914},
  };
  // The expected figures follow from the textbook constants and the widened conversion factors.
  EXPECT_NEAR(pair_energy(1.747565, 5.64 / 2), -4.459233, 1e-6);
  EXPECT_NEAR(pair_energy(1.762675, 3.36 * std::sqrt(3.0) / 2), -4.358914, 1e-6);
  for (const Case& c : cases) {
    EXPECT_NEAR(duopath::madelung_reference(c.crystal, charges), c.expected, 2e-6) << c.name;
  }
  // Zero charges give zero.
  EXPECT_EQ(duopath::madelung_reference(cases[0].crystal, {0.0, 0.0}), 0.0);
}

// A midpoint identical to both ends contributes nothing; it is built from the subgroup's own
// conventional cell, so this also checks the primitive basis taken from the tables.
TEST_F(EnergyEstimates, MadelungMidpointOfIdenticalEndsIsZero) {
  const std::vector<double> charges{1.0, -1.0};
  const auto nacl = cubic(225, 5.64, kFaceCentred, 2);
  duopath::PathSubgroup subgroup;
  subgroup.common_subgroup = 225;
  for (int32_t t = 1; t <= 2; ++t) {
    duopath::SubgroupOrbit o;
    o.line = o.type = o.wyckoff = t;
    subgroup.orbits.push_back(o);
  }
  duopath::MidpointPath path{subgroup, {}, 1, 2, 2};
  for (auto& p : path.cell_parameters) p = nacl.lattice;
  const double reference = duopath::madelung_reference(nacl, charges);
  EXPECT_NEAR(duopath::madelung_midpoint(path, charges), reference, 1e-9);
  const auto structure = duopath::midpoint_energy_structure(path);
  EXPECT_EQ(structure.primitive_basis[0], (std::array<double, 3>{0.0, 0.5, 0.5}));
  EXPECT_EQ(structure.atom_count, 2);
}

// The atoms of a site follow its orbit in the primitive cell: P4/mmm 4l (x,0,0) gives four atoms,
// listed with coordinates as they come (-x not reduced into [0, 1)), and the files carry one
// type line with four indices, four coordinate lines and, for kelmo, four electron lines.
TEST_F(EnergyEstimates, FourAtomSiteWithUnreducedCoordinates) {
  const auto& cw = sgl::common_wyckoff();
  const int32_t index = cw.wyc_first(123) + 11;
  ASSERT_EQ(cw.wyc_label(index).trimmed(), "4l");
  duopath::EnergyStructure s;
  s.space_group = 123;
  s.lattice = {3.0, 3.0, 4.0, 90.0, 90.0, 90.0};
  s.primitive_basis = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  s.atom_count = 5;
  s.sites = {{1, 2, {}}, {12, 1, {0.25, 0.0, 0.0}}};
  const auto atoms = duopath::energy_atoms(s);
  EXPECT_EQ(atoms.site_counts, (std::vector<int32_t>{1, 4}));
  std::set<std::array<double, 3>> got(atoms.coordinates.begin() + 1, atoms.coordinates.end());
  const std::set<std::array<double, 3>> want{{0.25, 0, 0}, {-0.25, 0, 0}, {0, 0.25, 0}, {0, -0.25, 0}};
  EXPECT_EQ(got, want);

  duopath::AtomTypes types;
  types.add("Si");
  types.add("O123456789");
  duopath::KeywordSettings settings;
  settings.kelmo_electrons = {{2, 2, 0, 0}, {2, 4, 0, 0}};
  const std::string dir = text_io_test::temp_dir();
  const std::string file = dir + "/kelmo.in";
  sgl::open_unit(31, file, "", "FORMATTED");
  duopath::write_kelmo_input(31, s, 5.0, settings, types);
  sgl::close_unit(31);
  const std::string text = text_io_test::slurp(file);
  std::system(("rm -rf '" + dir + "'").c_str());
  EXPECT_NE(text.find("\nslater_Si.txt\nslater_O123456789.txt\n   5\n   2\n   1  1  1  1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  -0.250000000000000  0.000000000000000  0.000000000000000\n"), std::string::npos) << text;
  EXPECT_NE(text.find("   2  4  0  0\n   2  2  0  0\n   2  2  0  0\n   2  2  0  0\n   2  2  0  0\n 7\n 1\n 0\n"),
            std::string::npos)
      << text;
}

}  // namespace
