// The data files end to end: a program's start-up with XTALDIR pointing at a directory of
// hand-made data files.
#include <gtest/gtest.h>

#include <string>

#include "tests/table_files.hpp"

namespace sgl {
namespace {

using testing::minimal_space;
using testing::minimal_wyckoff;
using testing::payload_of;
using testing::run_driver;
using testing::TempDir;
using testing::write_record_file;

constexpr const char* kBombed = "This program has bombed\nexit\n";
constexpr int kBombStatus = 1;  // every stop reports failure
constexpr const char* kBombStopLine = " STOP  \n";
const std::string kSpaceLoaded = " space loaded, setting_count  230\n";
const std::string kWyckoffLoaded = " wyckoff loaded, wyc_count(230)  1\n";

class TableFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    space_ = payload_of(*minimal_space());
    wyckoff_ = payload_of(*minimal_wyckoff());
  }
  testing::RunResult run(const std::string& args, const std::string& xtaldir) {
    return run_driver("load_tables", args, xtaldir.c_str(), dir_.path());
  }
  TempDir dir_;
  std::string space_, wyckoff_;
};

TEST_F(TableFiles, BothBlocksLoad) {
  ASSERT_EQ(space_.size(), 433862u);
  ASSERT_EQ(wyckoff_.size(), 477926u);
  write_record_file(dir_.path() / "data_space.bin", space_);
  write_record_file(dir_.path() / "data_wyckoff.bin", wyckoff_);
  const auto r = run("both", dir_.slash());
  EXPECT_EQ(r.out, kSpaceLoaded + kWyckoffLoaded);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

TEST_F(TableFiles, PayloadOneByteShortIsFatal) {
  const std::string shorter = space_.substr(0, space_.size() - 1);
  write_record_file(dir_.path() / "data_space.bin", shorter);
  const auto r = run("", dir_.slash());
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("? Attempt to read past end of record\n"), std::string::npos) << r.err;
}

TEST_F(TableFiles, TruncatedFileIsFatal) {
  // The length field promises the whole payload, but the file ends early.
  std::ofstream(dir_.path() / "data_space.bin", std::ios::binary)
      .write("\xc6\x9e\x06\x00", 4)  // 433862, little-endian
      .write(space_.data(), 1000);
  const auto r = run("", dir_.slash());
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("? Attempt to read past end of file\n"), std::string::npos) << r.err;
}

TEST_F(TableFiles, PayloadOneByteLongLoads) {
  write_record_file(dir_.path() / "data_space.bin", space_ + '\x55');
  const auto r = run("", dir_.slash());
  EXPECT_EQ(r.out, kSpaceLoaded);
  EXPECT_EQ(r.status, 0);
}

TEST_F(TableFiles, TrailingLengthIsNotCompared) {
  write_record_file(dir_.path() / "data_space.bin", space_, 433862, 12345);
  const auto r = run("", dir_.slash());
  EXPECT_EQ(r.out, kSpaceLoaded);
  EXPECT_EQ(r.status, 0);
}

TEST_F(TableFiles, MissingFileNamesTheJoinedPath) {
  const auto r = run("", dir_.slash());
  EXPECT_EQ(r.out, " Error: cannot open file " + dir_.slash() + "data_space.bin\n" + kBombed);
  EXPECT_EQ(r.err, kBombStopLine);
  EXPECT_EQ(r.status, kBombStatus);
}

TEST_F(TableFiles, DirectoryWithoutSlashRunsIntoTheFileName) {
  write_record_file(dir_.path() / "data_space.bin", space_);
  // Trailing blanks of the value go; no separator is added.
  const auto r = run("", dir_.path().string() + "   ");
  EXPECT_EQ(r.out, " Error: cannot open file " + dir_.path().string() + "data_space.bin\n" + kBombed);
  EXPECT_EQ(r.status, kBombStatus);
}

TEST_F(TableFiles, MissingWyckoffFileAfterSpaceLoaded) {
  write_record_file(dir_.path() / "data_space.bin", space_);
  const auto r = run("both", dir_.slash());
  EXPECT_EQ(r.out, kSpaceLoaded + " Error: cannot open file " + dir_.slash() + "data_wyckoff.bin\n" + kBombed);
  EXPECT_EQ(r.status, kBombStatus);
}

TEST_F(TableFiles, BlankOrUnsetDataDirectory) {
  for (const char* value : {"", "    "}) {
    const auto r = run_driver("load_tables", "", value, dir_.path());
    EXPECT_EQ(r.out, std::string("Error:  XTALDIR environment variable not defined\n") + kBombed) << '"' << value << '"';
    EXPECT_EQ(r.status, kBombStatus);
  }
  const auto r = run_driver("load_tables", "", nullptr, dir_.path());
  EXPECT_EQ(r.out, std::string("Error:  XTALDIR environment variable not defined\n") + kBombed);
}

TEST_F(TableFiles, DataDirectoryIsNotCut) {
  // A directory path well beyond 100 characters.
  std::filesystem::path deep = dir_.path();
  for (int i = 0; i < 6; ++i) deep /= "a_rather_long_directory_name_" + std::to_string(i);
  std::filesystem::create_directories(deep);
  write_record_file(deep / "data_space.bin", space_);
  write_record_file(deep / "data_wyckoff.bin", wyckoff_);
  ASSERT_GT(deep.string().size(), 100u);
  const auto r = run("both", deep.string() + "/");
  EXPECT_EQ(r.out, kSpaceLoaded + kWyckoffLoaded);
}

TEST_F(TableFiles, InvalidEntryIsNamedThenStops) {
  auto s = minimal_space();
  s->sg_first_op(12) = 6001;
  write_record_file(dir_.path() / "data_space.bin", payload_of(*s));
  const auto r = run("", dir_.slash());
  EXPECT_EQ(r.out, " Error: invalid data table entry sg_first_op(12) in " + dir_.slash() + "data_space.bin\n" + kBombed);
  EXPECT_EQ(r.status, kBombStatus);

  auto w = minimal_wyckoff();
  w->pg_list_first(5) = 151;
  w->pg_list_count(5) = 3;
  write_record_file(dir_.path() / "data_space.bin", space_);
  write_record_file(dir_.path() / "data_wyckoff.bin", payload_of(*w));
  const auto rw = run("both", dir_.slash());
  EXPECT_EQ(rw.out, kSpaceLoaded + " Error: invalid data table entry pg_list_first(5) in " + dir_.slash() +
                        "data_wyckoff.bin\n" + kBombed);
}

}  // namespace
}  // namespace sgl
