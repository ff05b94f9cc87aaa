// The identification of the groups that whole searches accept, through the run's cache, against
// the identification without a cache: every group of a search on supercells and perturbed
// structures, in the order the search meets them, gets the same space group, basis and origin.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "cellsieve/id_spacegroup.hpp"
#include "tests/cellsieve/search_support.hpp"

namespace cellsieve {
namespace {

using testing::Input;
using testing::SearchRun;

// Runs the whole search and compares each accepted group's identification; returns the number of
// groups compared.
int compare_identifications(const Input& in) {
  SearchRun r(in);
  int compared = 0;
  r.phase([&] {
    Run& run = *r;
    run.find_translations();
    run.enumerate_sublattices();
    for (int32_t cur = 1; cur <= run.search.nsublattices; ++cur) {
      if (!run.prepare_sublattice(cur)) continue;
      run.find_point_operations();
      run.build_candidates();
      for (int32_t c = 1; c <= run.search.nsubgroups; ++c) {
        if (!run.prepare_candidate(c)) continue;
        if (!run.fit_group(c)) continue;
        run.close_group(c);
        const Search& x = run.search;
        int32_t sg = -1;
        sgl::Mat3i p{};
        sgl::RationalVector origin{0, 0, 0, 1};
        id_spacegroup(sgl::common_space(), x.group_nops,
                      std::span<const sgl::SpaceOp>(x.group_space_ops.data(), x.group_nops),
                      std::span<const sgl::Mat3i>(x.group_matrices.data(), x.group_nops), sg, p, origin, 0);
        EXPECT_EQ(sg, run.group.sg_number) << "sublattice " << cur << ", candidate " << c;
        EXPECT_EQ(p, x.id_basis) << "sublattice " << cur << ", candidate " << c;
        EXPECT_EQ(origin, run.group.id_origin) << "sublattice " << cur << ", candidate " << c;
        ++compared;
        run.report_group();
      }
    }
  });
  EXPECT_FALSE(r.bombed());
  return compared;
}

// Seeded small moves of every atom (fractions up to size), so that no group fits below the
// minimum displacement and none is marked: every subgroup is fitted and identified.
Input moved(Input in, double size, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> shift(-size, size);
  for (auto& a : in.atoms) {
    a.x += shift(rng);
    a.y += shift(rng);
    a.z += shift(rng);
  }
  in.dmax = 0.03;
  in.dmin = 1e-6;
  return in;
}

TEST(IdentificationCache, WholeSearchesGiveTheSameGroups) {
  Input perovskite;
  perovskite.params = {3.905, 3.905, 3.905, 90, 90, 90};
  perovskite.atoms = {{1, 0, 0, 0}, {2, 0.5, 0.5, 0.5}, {3, 0.5, 0.5, 0}, {3, 0.5, 0, 0.5}, {3, 0, 0.5, 0.5}};
  Input rutile;
  rutile.params = {4.594, 4.594, 2.959, 90, 90, 90};
  rutile.atoms = {{1, 0, 0, 0}, {1, 0.5, 0.5, 0.5}, {2, 0.3048, 0.3048, 0},
                  {2, 0.6952, 0.6952, 0}, {2, 0.8048, 0.1952, 0.5}, {2, 0.1952, 0.8048, 0.5}};
  Input strained = moved(testing::supercell(perovskite, 2, 1, 1), 0.002, 5);
  strained.params[1] *= 1.001;
  strained.smin = 1e-8;
  const struct {
    const char* what;
    Input in;
    int at_least;
  } cases[] = {{"perovskite 2x1x1", moved(testing::supercell(perovskite, 2, 1, 1), 0.0005, 1), 200},
               {"perovskite 2x1x1, strained", strained, 200},
               {"rutile 1x1x2", moved(testing::supercell(rutile, 1, 1, 2), 0.0005, 2), 100},
               {"cubic cell 2x2x1", moved(testing::supercell(Input{}, 2, 2, 1), 0.0005, 3), 700}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_GE(compare_identifications(c.in), c.at_least);
  }
}

}  // namespace
}  // namespace cellsieve
