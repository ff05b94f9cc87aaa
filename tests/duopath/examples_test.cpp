// The committed examples run end to end: each reports exactly the expected paths, named by the
// common subgroup and the cell size, in the order of the search, and ends with "done".
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "tests/duopath/duopath_child.hpp"

namespace {

struct ExampleCase {
  const char* file;
  std::vector<std::pair<int, int>> paths;  // common subgroup, size in crystal 1's primitive cells
};

// Every "Common subgroup:" number with the size of crystal 1's setting that follows it.
std::vector<std::pair<int, int>> reported_paths(const std::string& out) {
  std::vector<std::pair<int, int>> paths;
  static const std::regex path(R"(Common subgroup: *(\d+) [^\n]*\nSetting of crystal 1: \n  Size = *(\d+)\n)");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), path); it != std::sregex_iterator(); ++it) {
    paths.emplace_back(std::stoi((*it)[1]), std::stoi((*it)[2]));
  }
  return paths;
}

TEST(Examples, ReportTheKnownPaths) {
  // Bain: fcc to bcc iron through I4/mmm. Burgers: bcc to hcp titanium through Cmcm with two bcc
  // cells. Rock salt to caesium chloride: R-3m on one primitive cell, Pmmn on two. Each path
  // both found by the search and given by its lattice ("lattice"): the same subgroup either way.
  // Wurtzite to rock salt (ZnO): one wurtzite cell, shuffles up to 1 A, Cmc2_1 alone.
  const std::vector<ExampleCase> cases = {
      {"fe_bain.in", {{139, 1}}},
      {"fe_bain_search.in", {{139, 1}}},
      {"ti_burgers.in", {{63, 2}}},
      {"ti_burgers_lattice.in", {{63, 2}}},
      {"nacl_cscl.in", {{166, 1}, {59, 2}}},
      {"nacl_cscl_r_lattice.in", {{166, 1}}},
      {"nacl_cscl_o_lattice.in", {{59, 2}}},
      {"zno_wurtzite_rocksalt.in", {{36, 1}}},
  };
  for (const ExampleCase& c : cases) {
    const auto run = duopath_test::run_duopath(
        text_io_test::slurp(std::string(SGL_SOURCE_DIR) + "/examples/" + c.file));
    EXPECT_EQ(run.status, 0) << c.file << "\n" << run.out;
    EXPECT_EQ(reported_paths(run.out), c.paths) << c.file << "\n" << run.out;
    EXPECT_EQ(reported_paths(run.log), c.paths) << c.file;
    const std::string end = "---------------------------------------\ndone\n";
    ASSERT_GE(run.log.size(), end.size()) << c.file;
    EXPECT_EQ(run.log.substr(run.log.size() - end.size()), end) << c.file;
  }
}

TEST(Examples, BainStretchesFollowTheLatticeParameters) {
  // a(bcc) / (a(fcc) / sqrt 2) twice and a(bcc) / a(fcc) along the tetragonal axis.
  const auto run = duopath_test::run_duopath(
      text_io_test::slurp(std::string(SGL_SOURCE_DIR) + "/examples/fe_bain.in"));
  EXPECT_NE(run.out.find("Principal values of strain tensor:    1.112   1.112   0.786\n"), std::string::npos)
      << run.out;
}

TEST(Examples, MappingBlockAndMappingTrace) {
  // "output map": after the midpoint's orbit lines, each common-cell atom, its crystal-2 partner
  // and the partner's neighbour cell (14 the home cell), on standard output and in the log.
  // "trace map": the mapping is listed with its running number and no path is reported.
  const std::string burgers = text_io_test::slurp(std::string(SGL_SOURCE_DIR) + "/examples/ti_burgers.in");
  const auto mapped = duopath_test::run_duopath(burgers + "output map\n");
  const std::string block = "  Ti c  y'= 0.29167\nMapping of atoms\n   1   1  14\n   2   2  18\n";
  EXPECT_NE(mapped.out.find(block + " \n---------------------------------------\ndone\n"), std::string::npos) << mapped.out;
  EXPECT_NE(mapped.log.find(block + "---------------------------------------\ndone\n"), std::string::npos) << mapped.log;

  const auto traced = duopath_test::run_duopath(burgers + "trace map\n");
  EXPECT_EQ(traced.status, 0);
  EXPECT_NE(traced.out.find("Mapping   1\n"), std::string::npos) << traced.out;
  EXPECT_EQ(traced.out.find("Mapping   2\n"), std::string::npos) << traced.out;
  EXPECT_EQ(traced.out.find("Common subgroup"), std::string::npos) << traced.out;
}

}  // namespace
