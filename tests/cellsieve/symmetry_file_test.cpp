// cellsieve started on doctored copies of "symmetry.dat" (and one of the product table in
// "data_space.bin"): each fault stops the run with its message before the dialogue, the log
// holding only the banner.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/cellsieve/process_support.hpp"

namespace cellsieve {
namespace {

using testing::DataDir;
using testing::kBanner;
using testing::kBombed;
using testing::Outcome;
using testing::run_cellsieve;

using Lines = std::vector<std::string>;

// Header line of record k (1-based) and its matrix line.
std::string& header(Lines& l, int k) { return l[static_cast<std::size_t>(2 * k - 2)]; }
std::string& matrix(Lines& l, int k) { return l[static_cast<std::size_t>(2 * k - 1)]; }

struct Case {
  const char* what;
  std::function<void(Lines&)> doctor;
  int status;
  std::string message;
};

TEST(SymmetryFile, DoctoredCopies) {
  const Case cases[] = {
      {"hexagonal product carried by no record",  // record 49 (hexagonal 50) loses its number
       [](Lines& l) { header(l, 49).replace(9, 3, "  0"); }, 1, " Error 016 in cellsieve\n"},
      {"cubic and hexagonal readings disagree",  // records 2 and 3 swap their hexagonal numbers
       [](Lines& l) {
         header(l, 2).replace(9, 3, " 59");
         header(l, 3).replace(9, 3, " 52");
       },
       1, " Error 015 in cellsieve\n"},
      {"cubic number out of order", [](Lines& l) { header(l, 5).replace(6, 3, "  6"); }, 1,
       " Error in symmetry.dat:  record 5 (3 c05):  cubic number is not the record number\n"},
      {"cubic number after record 48", [](Lines& l) { header(l, 49).replace(6, 3, "  3"); }, 1,
       " Error in symmetry.dat:  record 49 (3 h02):  cubic number after record 48\n"},
      {"hexagonal number 73", [](Lines& l) { header(l, 50).replace(9, 3, " 73"); }, 1,
       " Error in symmetry.dat:  record 50 (3 h03):  hexagonal number outside 49-72\n"},
      {"hexagonal number 48", [](Lines& l) { header(l, 7).replace(9, 3, " 48"); }, 1,
       " Error in symmetry.dat:  record 7 (3 c07):  hexagonal number outside 49-72\n"},
      {"matrix entry NaN", [](Lines& l) { matrix(l, 30) = "0 1 0 0 0 1 -1 0 NaN"; }, 1,
       " Error in symmetry.dat:  record 30 (-3c30):  matrix entry not finite\n"},
      {"blank number fields read as 0", [](Lines& l) { header(l, 49) = "3 h02"; }, 1,
       " Error 016 in cellsieve\n"},
      {"63 records", [](Lines& l) { l.resize(126); }, 255, ""},
      {"unreadable number field", [](Lines& l) { header(l, 3).replace(6, 3, "  x"); }, 255, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DataDir data;
    sgl::testing::TempDir work;
    Lines lines = data.symmetry_lines();
    ASSERT_EQ(lines.size(), 128u);
    c.doctor(lines);
    data.write_symmetry(lines);
    const Outcome r = run_cellsieve("title\n", data.slash(), work.path());
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.log, kBanner);
    if (c.status == 255) {
      EXPECT_EQ(r.out, kBanner);
      EXPECT_EQ(r.err.substr(0, 2), "? ") << r.err;
    } else {
      EXPECT_EQ(r.out, kBanner + c.message);
      EXPECT_EQ(r.err, kBombed);
    }
  }
}

// A product table in which an operation is its own square: its powers never come back to the
// identity, and the run stops instead of looping. The check of the loaded tables (the products
// are those of the matrices) now stops it first, naming the entry.
TEST(SymmetryFile, PowersThatNeverReachTheIdentity) {
  DataDir data;
  sgl::testing::TempDir work;
  auto space = std::make_unique<sgl::CommonSpace>();
  sgl::load_common_space(SGL_DATA_DIR, *space);
  space->point_op_product(5, 5) = 5;
  sgl::testing::write_record_file(data.file("data_space.bin"), sgl::testing::payload_of(*space));
  const Outcome r = run_cellsieve("title\n", data.slash(), work.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, std::string(kBanner) + " Error: invalid data table entry point_op_product(5,5) in " + data.slash() +
                       "data_space.bin\n");
  EXPECT_EQ(r.err, kBombed);
}

}  // namespace
}  // namespace cellsieve
