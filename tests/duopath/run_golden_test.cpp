// Whole runs of duopath compared with expected standard output and log, byte for byte; the date
// line and the version in the banner are the only masked parts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "tests/duopath/duopath_child.hpp"

namespace {

using duopath_test::run_duopath;

std::string golden(const std::string& name) {
  return text_io_test::slurp(std::string(SGL_SOURCE_DIR) + "/tests/duopath/golden/" + name);
}

bool digits(const std::string& s, std::size_t from, std::size_t n) {
  for (std::size_t k = from; k < from + n; ++k) {
    if (s[k] < '0' || s[k] > '9') return false;
  }
  return true;
}

// "Thu Dec 10 09:05:03 2026": English day and month, the day blank-padded.
bool date_layout(const std::string& d) {
  const auto named = [](const std::string& list, const std::string& name) {
    const std::size_t p = list.find(name);
    return p != std::string::npos && p % 3 == 0;
  };
  return d.size() == 24 && named("SunMonTueWedThuFriSat", d.substr(0, 3)) && d[3] == ' ' &&
         named("JanFebMarAprMayJunJulAugSepOctNovDec", d.substr(4, 3)) && d[7] == ' ' && (d[8] == ' ' || digits(d, 8, 1)) &&
         digits(d, 9, 1) && d[10] == ' ' && digits(d, 11, 2) && d[13] == ':' && digits(d, 14, 2) &&
         d[16] == ':' && digits(d, 17, 2) && d[19] == ' ' && digits(d, 20, 4);
}

// Replaces the version in line 1 and the date line (line 3) by the placeholders of the expected
// files, after checking the date line's layout: "Thu Dec 10 09:05:03 2026".
std::string masked(const std::string& text) {
  std::string s = text;
  const std::string banner = "duopath " DUOPATH_VERSION "\n";
  if (s.compare(0, banner.size(), banner) == 0) s.replace(0, banner.size(), "duopath @VERSION@\n");
  const std::size_t line2 = s.find('\n') + 1;
  const std::size_t line3 = s.find('\n', line2) + 1;
  const std::size_t end3 = s.find('\n', line3);
  if (end3 == std::string::npos) return s;
  const std::string date = s.substr(line3, end3 - line3);
  if (date_layout(date)) s.replace(line3, end3 - line3, "@DATE@");
  return s;
}

class GoldenRun : public testing::TestWithParam<const char*> {};

// The runs that ask for energies find the stand-ins of kelmo and qhx first on PATH; each answers
// a constant energy per atom, so the pressure is 0 (blocks.in carries five extra qhx lines).
duopath_test::DuopathOptions golden_options() {
  duopath_test::DuopathOptions options;
  const char* path = std::getenv("PATH");
  options.environment.push_back("PATH=" + std::string(SGL_SOURCE_DIR) + "/tests/duopath/standins:" +
                                (path ? path : "/usr/bin:/bin"));
  options.environment.push_back("STANDIN_MODE=constant:-1.5");
  options.environment.push_back("STANDIN_EXTRA=5");
  return options;
}

TEST_P(GoldenRun, OutputAndLogAsExpected) {
  const std::string name = GetParam();
  const auto run = run_duopath(golden(name + ".in"), golden_options());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(masked(run.out), golden(name + ".out"));
  EXPECT_EQ(masked(run.log), golden(name + ".log"));
}

// keywords: every one-line keyword, "size" twice, comments, a last keyword line without a line
// feed. blocks: the four keyword blocks, a letter-form line with only its z parameter effective,
// eleven-word atom lines. hexagonal: a title longer than 78 characters, coordinates identified
// in hexagonal and rhombohedral axes, a last atom line without a line feed and no keyword.
INSTANTIATE_TEST_SUITE_P(Inputs, GoldenRun, testing::Values("keywords", "blocks", "hexagonal"));

TEST(GoldenRun, ElevenWordWarningsAlsoGoToUnit20) {
  const auto run = run_duopath(golden("blocks.in"));
  EXPECT_EQ(run.for020,
            "Warning: Extra parameters ignored: parameter of b\n"
            "Warning: Extra parameters ignored: its coordinates here\n");
}

TEST(GoldenRun, LogIsRewrittenFromItsStartAndCut) {
  // An older, longer log in the working directory must not leave its tail behind: the same
  // run gives the same log as in a fresh directory.
  const std::string dir = text_io_test::temp_dir();
  text_io_test::spill(dir + "/duopath.log", std::string(20000, 'x') + "\n");
  text_io_test::ChildOptions child;
  child.input = golden("hexagonal.in");
  child.cwd = dir;
  child.environment = {std::string("XTALDIR=") + SGL_DATA_DIR};
  const auto r = text_io_test::run_child({std::string(SGL_BIN_DIR) + "/duopath"}, child);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(masked(text_io_test::slurp(dir + "/duopath.log")), golden("hexagonal.log"));
  std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace

namespace {

TEST(CellCheck, NearlyDegenerateCellsThatExistAreAccepted) {
  // Angles just short of the flat limit, and a very acute cell, still span a volume: the input
  // takes them and the preparation measures them. One atom per crystal; in the two flattest
  // cells its images come closer than 0.1, which the preparation refuses.
  struct Case {
    std::string lattice, echo;
    int status;
  };
  const std::vector<Case> cases = {
      {"5 5 5 119.99 119.99 119.99", "  Lattice parameters:    5.0000   5.0000   5.0000 119.9900 119.9900 119.9900\n", 0},
      {"5 5 5 1 1 1", "  Lattice parameters:    5.0000   5.0000   5.0000   1.0000   1.0000   1.0000\n", 1},
      {"5 5 5 179.9999 90 90", "  Lattice parameters:    5.0000   5.0000   5.0000 179.9999  90.0000  90.0000\n", 1},
  };
  for (const auto& [lattice, echo, status] : cases) {
    SCOPED_TRACE(lattice);
    const auto run = run_duopath("t\n1\n" + lattice + "\n1\nX 0 0 0\n1\n" + lattice + "\n1\nX 0 0 0\n");
    EXPECT_EQ(run.status, status);
    EXPECT_NE(run.out.find(echo), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Nearest distance between atoms in crystal 1:"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Error: atoms too close together") != std::string::npos, status == 1) << run.out;
  }
}

}  // namespace

namespace {

TEST(GoldenRun, LongDataDirectoryIsUsedWhole) {
  // More than 100 characters, still naming the data directory.
  std::string dir = SGL_DATA_DIR;
  while (dir.size() <= 150) dir += "./";
  duopath_test::DuopathOptions options;
  options.environment = {"XTALDIR=" + dir};
  const auto run = run_duopath(golden("hexagonal.in"), options);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(masked(run.out), golden("hexagonal.out"));
}

}  // namespace

namespace {

TEST(GoldenRun, BainPathReportedWhole) {
  // The committed Bain example, fcc to bcc iron through I4/mmm: standard output and log of the
  // whole run. The report was checked by hand: stretches a(bcc) / (a(fcc) / sqrt 2) twice and
  // a(bcc) / a(fcc), nearest approach the bcc distance a sqrt(3) / 2, 4 of fcc's 12 bonds broken,
  // the midpoint cell the mean parameters scaled to the mean volume; the blank line before each
  // separator only on standard output.
  const auto run = run_duopath(text_io_test::slurp(std::string(SGL_SOURCE_DIR) + "/examples/fe_bain.in"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(masked(run.out), golden("fe_bain.out"));
  EXPECT_EQ(masked(run.log), golden("fe_bain.log"));
}

}  // namespace
