// Binary records: lengths that match, fall short, run long, and files that end early.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "library/text/text_io.hpp"
#include "text_io_child.hpp"

namespace {

using sgl::ReadOutcome;

std::string le32(int64_t v) {
  std::string s(4, '\0');
  for (int k = 0; k < 4; ++k) s[k] = static_cast<char>((static_cast<uint64_t>(v) >> (8 * k)) & 0xff);
  return s;
}

std::string record(const std::string& payload, int64_t length, int64_t trailer) {
  return le32(length) + payload + le32(trailer);
}

// The payload that the driver's "record" mode and the tests below read: two 1-byte integers,
// two 2-byte integers, two 4-byte integers, one logical, four characters (22 bytes).
std::string sample_payload() {
  std::string p;
  p += static_cast<char>(0x05);
  p += static_cast<char>(0xfe);                    // -2
  p += std::string("\x34\x12", 2);                 // 0x1234
  p += std::string("\xff\xff", 2);                 // -1
  p += le32(100000);
  p += le32(-7);
  p += le32(2);                                    // nonzero: true
  p += "abcd";
  return p;
}

struct Targets {
  std::vector<int8_t> bytes = std::vector<int8_t>(2, 0);
  std::vector<int16_t> shorts = std::vector<int16_t>(2, 0);
  std::vector<int32_t> words = std::vector<int32_t>(2, 0);
  std::vector<sgl::Logical> flags = std::vector<sgl::Logical>(1);
  std::vector<char> text = std::vector<char>(4, '.');

  ReadOutcome read(int unit, sgl::ReadHandling handling) {
    return sgl::read_record(unit, {std::span<int8_t>(bytes), std::span<int16_t>(shorts),
                                   std::span<int32_t>(words), std::span<sgl::Logical>(flags),
                                   std::span<char>(text)},
                            handling);
  }
};

class TextRecords : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = text_io_test::temp_dir(); }
  void TearDown() override {
    sgl::close_unit(50);
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  // Opens unit 50 on a file holding the given bytes.
  void open_with(const std::string& bytes) {
    const std::string path = dir_ + "/data.bin";
    text_io_test::spill(path, bytes);
    int status = -99;
    sgl::open_unit(50, path, "OLD", "UNFORMATTED", &status);
    ASSERT_EQ(status, 0);
  }
  std::string dir_;
};

TEST_F(TextRecords, ExactLongerAndDifferingTrailerLoad) {
  const std::string payload = sample_payload();
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"exact", record(payload, 22, 22)},
      {"longer", record(payload + "xyz", 25, 25)},
      {"trailer differs", record(payload, 22, 999)},
  };
  for (const Case& c : cases) {
    open_with(c.bytes + record("\x09", 1, 1));  // a second record follows
    Targets t;
    int status = -99;
    EXPECT_EQ(t.read(50, {.status = &status}), ReadOutcome::ok) << c.name;
    EXPECT_EQ(status, 0) << c.name;
    EXPECT_EQ(t.bytes, (std::vector<int8_t>{5, -2})) << c.name;
    EXPECT_EQ(t.shorts, (std::vector<int16_t>{0x1234, -1})) << c.name;
    EXPECT_EQ(t.words, (std::vector<int32_t>{100000, -7})) << c.name;
    EXPECT_TRUE(t.flags[0].value) << c.name;
    EXPECT_EQ(std::string(t.text.begin(), t.text.end()), "abcd") << c.name;
    // The next record starts after the trailing length.
    int8_t next = 0;
    EXPECT_EQ(sgl::read_record(50, {std::span<int8_t>(&next, 1)}, {.status = &status}),
              ReadOutcome::ok);
    EXPECT_EQ(next, 9) << c.name;
    EXPECT_EQ(sgl::read_record(50, {std::span<int8_t>(&next, 1)}, {.end_branch = true}),
              ReadOutcome::end);
    sgl::close_unit(50);
  }
}

TEST_F(TextRecords, ShortRecordIsPastEndOfRecord) {
  open_with(record(sample_payload().substr(0, 21), 21, 21));
  Targets t;
  int status = 0;
  EXPECT_EQ(t.read(50, {.status = &status}), ReadOutcome::failure);
  EXPECT_EQ(status, sgl::kStatusPastRecordEnd);
  // What the record held was converted; the element it could not complete keeps its value.
  EXPECT_EQ(t.words, (std::vector<int32_t>{100000, -7}));
  EXPECT_EQ(std::string(t.text.begin(), t.text.end()), "abc.");
}

TEST_F(TextRecords, FilesThatEndInsideARecordAreEndOfInput) {
  const std::string payload = sample_payload();
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"truncated payload", le32(22) + payload.substr(0, 10)},
      {"missing trailer", le32(22) + payload},
      {"length beyond the file", record(payload, 0x7fffffff, 22)},
      {"negative length", record(payload, -22, -22)},
      {"partial length", std::string("\x16\x00", 2)},
      {"empty file", ""},
  };
  for (const Case& c : cases) {
    open_with(c.bytes);
    Targets t;
    int status = 0;
    EXPECT_EQ(t.read(50, {.status = &status}), ReadOutcome::end) << c.name;
    EXPECT_EQ(status, sgl::kStatusEnd) << c.name;
    sgl::close_unit(50);
  }
}

TEST_F(TextRecords, ReadHandlingBranches) {
  open_with("");
  Targets t;
  // A failure branch without an end branch also takes end of input.
  EXPECT_EQ(t.read(50, {.error_branch = true}), ReadOutcome::failure);
  EXPECT_EQ(t.read(50, {.end_branch = true, .error_branch = true}), ReadOutcome::end);
  sgl::close_unit(50);
  open_with(record("x", 1, 1));
  EXPECT_EQ(t.read(50, {.end_branch = true, .error_branch = true}), ReadOutcome::failure);
}

TEST_F(TextRecords, UnhandledOutcomesAreFatal) {
  const std::string path = dir_ + "/data.bin";
  struct Case {
    const char* name;
    std::string bytes;
    const char* message;
  };
  const Case cases[] = {
      {"one byte short", record(sample_payload().substr(0, 21), 21, 21),
       "Attempt to read past end of record"},
      {"truncated", le32(22) + "abc", "Attempt to read past end of file"},
  };
  for (const Case& c : cases) {
    text_io_test::spill(path, c.bytes);
    const auto r = text_io_test::run_driver({"record", path});
    EXPECT_EQ(r.status, 255) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    // The read was from a file: the fourth line names it.
    EXPECT_EQ(r.err, std::string("? Input/Output Error:\n? ") + c.message + "\n? READ(UNIT=50,...\n? File: " +
                         path + "\n")
        << c.name;
  }
  text_io_test::spill(path, record(sample_payload(), 22, 22));
  const auto ok = text_io_test::run_driver({"record", path});
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.out, "   5 -2  4660 -1  100000 -7 T abcd\n");
}

}  // namespace
