// The numeric constant table: loading rules, lookups, appends and the refused files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "library/text/text_io.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/table_files.hpp"
#include "vibrex/constants.hpp"

namespace vibrex {
namespace {

using sgl::testing::Bombed;
using sgl::testing::BombTrap;

// A data directory holding a "const.dat" of the given lines, XTALDIR pointing to it, and an empty
// table; the table is emptied again afterwards.
class ConstFile {
 public:
  explicit ConstFile(const std::vector<std::string>& lines, bool create = true) {
    if (create) {
      std::ofstream f(dir_.path() / "const.dat");
      for (const std::string& l : lines) f << l << '\n';
    }
    setenv("XTALDIR", dir_.slash().c_str(), 1);
    const_common() = ConstCommon{};
  }
  ~ConstFile() {
    // A load that stopped leaves its unit open (the run would have ended there).
    for (int u = 100; u < 110; ++u) sgl::close_unit(u);
    const_common() = ConstCommon{};
    unsetenv("XTALDIR");
  }
  const sgl::testing::TempDir& dir() const { return dir_; }

 private:
  sgl::testing::TempDir dir_;
};

// Runs f under a bomb trap; returns the standard output it wrote and whether it stopped.
template <typename F>
std::string stops(F&& f, bool& bombed) {
  BombTrap trap;
  ::testing::internal::CaptureStdout();
  bombed = false;
  try {
    f();
  } catch (const Bombed&) {
    bombed = true;
  }
  sgl::flush(6);
  return ::testing::internal::GetCapturedStdout();
}

TEST(Constants, CountAndNegationFollowTheLastIndexRead) {
  {
    ConstFile f({"1 0.25", "2 0.5", "4 0.75"});
    EXPECT_EQ(constant(2), 0.5f);
    EXPECT_EQ(const_common().const_count, 5);
    EXPECT_EQ(constant(3), -0.5f);
    EXPECT_EQ(constant(5), -0.75f);
    EXPECT_EQ(constant(1), 0.25f);
  }
  {
    // Last index 10 after an earlier 40: 11 entries; 12..40 loaded but out of range.
    ConstFile f({"40 7.0", "2 1.0", "10 3.0"});
    EXPECT_EQ(constant(10), 3.0f);
    EXPECT_EQ(const_common().const_count, 11);
    EXPECT_EQ(const_common().value(40), 7.0f);
    bool bombed = false;
    stops([] { constant(12); }, bombed);
    EXPECT_TRUE(bombed);
  }
  {
    // Odd last index 9: negation up to entry 9 (k = 1..4), entry 10 counted and zero; the
    // given value of an odd index is replaced.
    ConstFile f({"2 1.5", "3 9.0", "8 2.5", "9 4.0"});
    EXPECT_EQ(constant(3), -1.5f);
    EXPECT_EQ(constant(9), -2.5f);
    EXPECT_EQ(constant(10), 0.0f);
    EXPECT_EQ(const_common().const_count, 10);
  }
  {
    // Unreadable lines are skipped and do not end the loading.
    ConstFile f({"# constants", "2 0.5", "text only", "4 0.25"});
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(constant(4), 0.25f);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(constant(2), 0.5f);
    EXPECT_EQ(const_common().const_count, 5);
  }
}

// A skipped line is named on standard error with its file, line number and text, so that a
// mistyped value never changes the results unnoticed; the loading goes on as before. A record
// whose line ends before its value goes on over the next line, as free format does.
TEST(Constants, SkippedLinesAreReportedOnStandardError) {
  ConstFile f({"1 0", "2 0.5", "", "4 0.707106781", "6 0.866O25404", "# comment, 7 1", "8", "", "1.5", "10 x y",
               "12 2.0 trailing words", "14", "abc"});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(constant(4), 0.70710677f);
  const std::string err = ::testing::internal::GetCapturedStderr();
  const std::string path = f.dir().slash() + "const.dat";
  EXPECT_EQ(err, "Warning: line 5 of " + path + " skipped, not an index and a value: 6 0.866O25404\n" +
                     "Warning: line 6 of " + path + " skipped, not an index and a value: # comment, 7 1\n" +
                     "Warning: line 10 of " + path + " skipped, not an index and a value: 10 x y\n" +
                     "Warning: lines 12-13 of " + path + " skipped, not an index and a value: 14 abc\n");
  // The mistyped value was not stored; "8" took its value 1.5 from line 9; 12 was read.
  EXPECT_EQ(constant(6), 0.0f);
  EXPECT_EQ(constant(8), 1.5f);
  EXPECT_EQ(constant(12), 2.0f);
  // The failed last record assigned its index: 14 entries and one more.
  EXPECT_EQ(const_common().const_count, 15);
}

TEST(Constants, LookupByValueAndAppend) {
  ConstFile f({"1 0.0", "2 1.0", "4 0.5"});
  EXPECT_EQ(iconstant(0.0005f), 1);
  EXPECT_EQ(iconstant(-0.99999f), 3);
  EXPECT_EQ(iconstant(0.5008f), 4);
  // 0.0011 is not within the tolerance of 0: appended as entry 6, found there again.
  EXPECT_EQ(iconstant(0.0011f), 6);
  EXPECT_EQ(const_common().const_count, 6);
  EXPECT_EQ(constant(6), 0.0011f);
  EXPECT_EQ(iconstant(0.0011f), 6);
  EXPECT_EQ(iconstant(0.0012f), 6);
  EXPECT_EQ(iconstant(2.0f), 7);
}

TEST(Constants, TheTableHoldsOneThousandEntries) {
  ConstFile f({"1 0.0"});
  for (int32_t i = 3; i <= kConstCapacity; ++i) ASSERT_EQ(iconstant(static_cast<float>(i)), i);
  bool bombed = false;
  const std::string out = stops([] { iconstant(5000.0f); }, bombed);
  EXPECT_TRUE(bombed);
  EXPECT_EQ(out, " Error in iconstant:  array size too small\n");
}

TEST(Constants, RefusedFiles) {
  const struct {
    std::vector<std::string> lines;
    const char* message;
  } cases[] = {
      {{"1 0.0", "1001 2.0", "2 1.0"}, " Error: invalid index in const.dat:  1001\n"},
      {{"0 2.0", "2 1.0"}, " Error: invalid index in const.dat:  0\n"},
      {{"-3 2.0", "2 1.0"}, " Error: invalid index in const.dat: -3\n"},
      {{"2 1.0", "1000 2.0"}, " Error: invalid index in const.dat:  1000\n"},
      {{}, " Error: no readable line in const.dat\n"},
      {{"comment", "another"}, " Error: no readable line in const.dat\n"},
      // A value that is not a finite number would spread through every matrix that uses it.
      {{"1 0.0", "2 nan"}, " Error: invalid value on line 2 of @const.dat: 2 nan\n"},
      {{"1 0.0", "2", "-inf"}, " Error: invalid value on line 3 of @const.dat: 2 -inf\n"},
  };
  for (const auto& c : cases) {
    ConstFile f(c.lines);
    bool bombed = false;
    std::string message = c.message;
    if (const std::size_t at = message.find('@'); at != std::string::npos) message.replace(at, 1, f.dir().slash());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(stops([] { constant(1); }, bombed), message);
    ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(bombed);
  }
  {
    // The largest last index: entry 999 is the negative of entry 998.
    ConstFile f({"998 1.0", "999 5.0"});
    EXPECT_EQ(constant(999), -1.0f);
    EXPECT_EQ(const_common().const_count, 1000);
  }
}

TEST(Constants, MissingFileStopsAtTheFirstLookup) {
  ConstFile f({}, false);
  bool bombed = false;
  EXPECT_EQ(stops([] { iconstant(1.0f); }, bombed), " Error: cannot open file " + f.dir().slash() + "const.dat\n");
  EXPECT_TRUE(bombed);
  EXPECT_EQ(const_common().const_loaded, 1);
}

TEST(Constants, LoadingUsesAFreeUnitAndLeavesOpenFilesAlone) {
  ConstFile f({"2 1.0"});
  EXPECT_EQ(find_io_unit(), 100);
  const auto other = f.dir().path() / "other.txt";
  sgl::open_unit(100, other.string(), "UNKNOWN", "FORMATTED");
  EXPECT_EQ(find_io_unit(), 101);
  EXPECT_EQ(constant(3), -1.0f);
  EXPECT_TRUE(sgl::unit_is_open(100));
  EXPECT_FALSE(sgl::unit_is_open(101));
  sgl::write_line(100, "(a)", {"still here"});
  sgl::close_unit(100);
  std::ifstream in(other);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "still here");
}

}  // namespace
}  // namespace vibrex
