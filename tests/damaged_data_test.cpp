// Damaged copies of the data tables: one changed value, a cut file or a mistyped constant in a
// copy of data/ (never in data/ itself). Every run ends with a message that names the file and
// the entry, or a fatal read failure that names the file, or a warning that names the line: never
// a hang (each run is killed after a minute) and never a confident wrong answer.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/tables/table_loader.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/table_files.hpp"
#include "tests/text_io_child.hpp"
#include "tests/vibrex/mode_table_fixture.hpp"

namespace sgl {
namespace {

namespace fs = std::filesystem;
using testing::BombTrap;
using testing::TempDir;
using vibrex::testing::FixturePayload;

const std::string kZnO =
    "Wurtzite ZnO\n186\n3.2496 3.2496 5.2042 90 90 120\n2\nZn 2b 0 0 0\nO 2b 0 0 0.3819\n1\nGM\n";

std::string input_of(const std::string& program) {
  if (program == "vibrex") return kZnO;
  if (program == "cellsieve") return "title\n";
  return "";
}

// A copy of the committed data directory.
class DataCopy {
 public:
  DataCopy() {
    for (const auto& entry : fs::directory_iterator(SGL_DATA_DIR)) fs::copy_file(entry.path(), dir_.path() / entry.path().filename());
  }
  const fs::path& path() const { return dir_.path(); }
  std::string slash() const { return dir_.slash(); }

 private:
  TempDir dir_;
};

// Runs a program on the directory, in a working directory of its own (for its log), killed after
// a minute.
text_io_test::ChildResult run_program(const std::string& program, const std::string& input, const std::string& xtaldir) {
  TempDir work;
  text_io_test::ChildOptions options;
  options.input = input;
  options.cwd = work.path().string();
  options.environment = {"XTALDIR=" + xtaldir};
  return text_io_test::run_child({"/usr/bin/timeout", "60", std::string(SGL_BIN_DIR) + "/" + program}, options);
}

std::string tail(const std::string& text, int lines) {
  std::size_t at = text.size();
  for (int i = 0; i < lines && at > 0; ++i) {
    const std::size_t nl = at >= 2 ? text.rfind('\n', at - 2) : std::string::npos;
    at = nl == std::string::npos ? 0 : nl + 1;
  }
  return text.substr(at);
}

// What a run must give; "@" stands for the data directory.
struct Expect {
  std::string out_tail;  // the last lines of standard output
  std::string err;       // all of standard error
  int status;
};

// The stop that names a table entry: "This program has bombed" and "exit" after the message in
// duopath and vibrex; cellsieve's own stop writes nothing more and has its own text.
Expect entry_stop(const std::string& program, const std::string& entry, const std::string& file) {
  const std::string line = " Error: invalid data table entry " + entry + " in @" + file + "\n";
  if (program == "cellsieve") return {line, " STOP This program has bombed!\n", 1};
  return {line + "This program has bombed\nexit\n", " STOP  \n", 1};
}

// The fatal failure of a read that the file cannot satisfy.
Expect read_failure(const std::string& message, const std::string& file) {
  return {"", "? Input/Output Error:\n? " + message + "\n? READ(UNIT=50,...\n? File: @" + file + "\n", 255};
}

std::string payload(const fs::path& file) {
  const std::string all = vibrex::testing::read_file(file);
  return all.substr(4, all.size() - 8);
}

// The entry a change of a block names, with the block loaded from the copy (without validation)
// and written back.
template <typename Block>
std::string change_block(const fs::path& dir, const char* file, const std::function<std::string(Block&)>& change) {
  auto block = std::make_unique<Block>();
  load_table_block(dir.string() + "/", file, *block);
  const std::string entry = change(*block);
  testing::write_record_file(dir / file, testing::payload_of(*block));
  return entry;
}

using Damage = std::function<Expect(const fs::path& dir)>;

Damage space(const std::string& program, std::function<std::string(CommonSpace&)> change) {
  return [=](const fs::path& dir) {
    return entry_stop(program, change_block<CommonSpace>(dir, "data_space.bin", change), "data_space.bin");
  };
}

Damage wyckoff(std::function<std::string(CommonWyckoff&)> change) {
  return [=](const fs::path& dir) {
    return entry_stop("vibrex", change_block<CommonWyckoff>(dir, "data_wyckoff.bin", change), "data_wyckoff.bin");
  };
}

// A change of one of the mode-analysis files through the tests' own description of its layout.
Damage mode(const vibrex::testing::FileLayout& layout, std::function<std::string(FixturePayload&)> change) {
  const vibrex::testing::FileLayout* l = &layout;
  return [=](const fs::path& dir) {
    FixturePayload p(*l, payload(dir / l->file));
    const std::string entry = change(p);
    vibrex::testing::write_record(dir / l->file, p.bytes());
    return entry_stop("vibrex", entry, l->file);
  };
}

// The file ends `missing` bytes early, its length field unchanged.
Damage cut(const std::string& file, std::size_t missing) {
  return [=](const fs::path& dir) {
    const std::string bytes = vibrex::testing::read_file(dir / file);
    text_io_test::spill((dir / file).string(), bytes.substr(0, bytes.size() - missing));
    return read_failure("Attempt to read past end of file", file);
  };
}

// A whole record one byte shorter than the block.
Damage short_record(const std::string& file) {
  return [=](const fs::path& dir) {
    const std::string p = payload(dir / file);
    vibrex::testing::write_record(dir / file, p.substr(0, p.size() - 1));
    return read_failure("Attempt to read past end of record", file);
  };
}

std::string entry(const char* array, std::initializer_list<int> indices) {
  std::string e(array);
  char sep = '(';
  for (int i : indices) {
    e += sep + std::to_string(i);
    sep = ',';
  }
  return e + ")";
}

struct Case {
  const char* what;
  std::string program;
  Damage damage;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.what << " (" << c.program << ")"; }

class DamagedData : public ::testing::TestWithParam<Case> {};

TEST_P(DamagedData, NamedNeverHungNeverSilent) {
  DataCopy copy;
  Expect e = GetParam().damage(copy.path());
  for (std::string* s : {&e.out_tail, &e.err}) {
    for (std::size_t at = s->find('@'); at != std::string::npos; at = s->find('@', at + 1)) s->replace(at, 1, copy.slash());
  }
  const auto r = run_program(GetParam().program, input_of(GetParam().program), copy.slash());
  EXPECT_EQ(r.status, e.status) << r.out << r.err;
  EXPECT_EQ(r.err, e.err);
  const int lines = static_cast<int>(std::count(e.out_tail.begin(), e.out_tail.end(), '\n'));
  EXPECT_EQ(tail(r.out, lines), e.out_tail) << r.out;
}

// The record of a group's operator list at place k (1 the identity).
int op_record(const CommonSpace& s, int g, int k) { return s.sg_first_op(g) + k - 1; }

const auto& images = vibrex::testing::images_layout;
const auto& irreps = vibrex::testing::irreps_layout;
const auto& little = vibrex::testing::little_layout;
const auto& isotropy = vibrex::testing::isotropy_layout;

INSTANTIATE_TEST_SUITE_P(
    DamagedData, DamagedData,
    ::testing::Values(
        // Byte 1491 of data_space.bin, the high byte of point_op_rot(3,1,42), XOR 0x04: the entry
        // became 67,108,864 and vibrex hung multiplying once per lattice step.
        Case{"one byte of a rotation", "vibrex",
             [](const fs::path& dir) {
               std::string bytes = vibrex::testing::read_file(dir / "data_space.bin");
               bytes[1491] = static_cast<char>(bytes[1491] ^ 0x04);
               text_io_test::spill((dir / "data_space.bin").string(), bytes);
               return entry_stop("vibrex", "point_op_rot(3,1,42)", "data_space.bin");
             }},
        Case{"one byte of a rotation", "duopath",
             space("duopath", [](CommonSpace& s) { s.point_op_rot(3, 1, 42) ^= 1 << 26; return std::string("point_op_rot(3,1,42)"); })},
        Case{"one byte of a rotation", "cellsieve",
             space("cellsieve", [](CommonSpace& s) { s.point_op_rot(3, 1, 42) ^= 1 << 26; return std::string("point_op_rot(3,1,42)"); })},
        Case{"rotation of determinant 0", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.point_op_rot(2, 2, 2) = 0; return std::string("point_op_rot(:,:,2)"); })},
        Case{"proper flag of an improper rotation", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.point_op_proper(27).value = true; return std::string("point_op_proper(27)"); })},
        Case{"identity of the hexagonal list", "vibrex",
             space("vibrex", [](CommonSpace& s) {
               // Made a twofold rotation (with the proper flag that goes with it).
               s.point_op_rot(1, 1, 49) = -1;
               s.point_op_rot(2, 2, 49) = -1;
               return std::string("point_op_rot(:,:,49)");
             })},
        Case{"product table", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.point_op_product(5, 9) = 2; return std::string("point_op_product(5,9)"); })},
        Case{"product table", "cellsieve",
             space("cellsieve", [](CommonSpace& s) { s.point_op_product(70, 53) = 49; return std::string("point_op_product(70,53)"); })},
        Case{"inverse table", "duopath",
             space("duopath", [](CommonSpace& s) { s.point_op_inverse(5) = 5; return std::string("point_op_inverse(5)"); })},
        Case{"key of one operation", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.point_op_key(14) = s.point_op_key(5); return std::string("point_op_key(14)"); })},
        Case{"key of the hexagonal identity", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.point_op_key(49) = s.point_op_key(5); return std::string("point_op_key(49)"); })},
        Case{"two point groups of one key", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.point_group_key(30) = s.point_group_key(12); return std::string("point_group_key(30)"); })},
        Case{"conventional code", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.conv_matrix_code(7) += 1; return std::string("conv_matrix_code(7)"); })},
        Case{"rhombohedral code", "duopath",
             space("duopath", [](CommonSpace& s) { s.rhomb_matrix_code(55) = s.rhomb_matrix_code(56); return std::string("rhomb_matrix_code(55)"); })},
        Case{"primitive code in a repeated column", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.prim_matrix_code(3, 13, 4) = 0; return std::string("prim_matrix_code(3,13,4)"); })},
        Case{"lattice transform", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.lattice_transform(1, 2, 1, 6) += 1; return std::string("lattice_transform(:,:,:,6)"); })},
        Case{"lattice denominator negative", "cellsieve",
             space("cellsieve", [](CommonSpace& s) { s.lattice_transform_den(2, 9) = -s.lattice_transform_den(2, 9); return std::string("lattice_transform_den(2,9)"); })},
        Case{"translation not reduced", "vibrex",
             space("vibrex", [](CommonSpace& s) {
               const int r = op_record(s, 62, 2);  // Pnma: a translation of halves
               const int i = s.sg_op_table(1, r) != 0 ? 1 : s.sg_op_table(2, r) != 0 ? 2 : 3;
               s.sg_op_table(i, r) = static_cast<int8_t>(s.sg_op_table(i, r) + s.sg_op_table(4, r));
               return entry("sg_op_table", {i, r});
             })},
        Case{"translation of an operator dropped", "vibrex",
             space("vibrex", [](CommonSpace& s) {
               // 4_1 of I4_1/amd (141) without its screw: no longer a group modulo the lattice.
               const int r = op_record(s, 141, 2);
               for (int i = 1; i <= 3; ++i) s.sg_op_table(i, r) = 0;
               s.sg_op_table(4, r) = 1;
               return entry("sg_op_table", {1, r});
             })},
        Case{"identity not first", "duopath",
             space("duopath", [](CommonSpace& s) {
               const int r = op_record(s, 10, 1);
               s.sg_op_table(2, r) = 1;
               s.sg_op_table(4, r) = 2;
               return entry("sg_op_table", {2, r});
             })},
        Case{"one point operation twice", "vibrex",
             space("vibrex", [](CommonSpace& s) {
               const int r = op_record(s, 47, 3);
               s.sg_op_table(5, r) = s.sg_op_table(5, op_record(s, 47, 2));
               return entry("sg_op_table", {5, r});
             })},
        Case{"point group of a space group", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.sg_point_group(99) = 12; return std::string("sg_point_group(99)"); })},
        Case{"Bravais type of a hexagonal group", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.sg_bravais(186) = 8; return std::string("sg_bravais(186)"); })},
        Case{"default setting of another group", "duopath",
             space("duopath", [](CommonSpace& s) { s.sg_default_setting(5) = s.sg_default_setting(6); return std::string("sg_default_setting(5)"); })},
        Case{"generator translation", "cellsieve",
             space("cellsieve", [](CommonSpace& s) {
               const int r = s.sg_first_generator(19, 1);
               s.sg_op_table(4, r) = 0;
               return entry("sg_op_table", {4, r});
             })},
        Case{"generator beyond its point group's", "cellsieve",
             space("cellsieve", [](CommonSpace& s) { s.pg_generators(5, 8) = 25; return std::string("pg_generators(5,8)"); })},
        Case{"point group order", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.pg_order(5) = 5; return std::string("pg_order(5)"); })},
        Case{"setting transform", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.setting_transform(1, 4, 1, 70, 2) += 1; return std::string("setting_transform(:,:,:,70,2)"); })},
        Case{"setting entry transform", "cellsieve",
             space("cellsieve", [](CommonSpace& s) { s.setting_entry_transform(4, 4, 2, 20) = 0; return std::string("setting_entry_transform(:,:,:,20)"); })},
        Case{"setting flag", "cellsieve",
             space("cellsieve", [](CommonSpace& s) { s.setting_inter_flag(100) = 3; return std::string("setting_inter_flag(100)"); })},
        Case{"symbol with a control character", "vibrex",
             space("vibrex", [](CommonSpace& s) { s.sg_symbol(186).chars[2] = '\x03'; return std::string("sg_symbol(186)"); })},

        Case{"fixed point over denominator 0", "vibrex",
             wyckoff([](CommonWyckoff& w) { w.wyc_matrix_table(4, 1, 300) = 0; return std::string("wyc_matrix_table(4,1,300)"); })},
        Case{"absent parameter with a direction", "vibrex",
             wyckoff([](CommonWyckoff& w) {
               const int p = w.wyc_first(221);  // 1a of Pm-3m: no parameter
               w.wyc_matrix_table(3, 4, p) = 1;
               return entry("wyc_matrix_table", {3, 4, p});
             })},
        Case{"element list with an operation twice", "vibrex",
             wyckoff([](CommonWyckoff& w) {
               const int l = w.pg_list_first(32);
               w.pg_element_list(7, l) = w.pg_element_list(6, l);
               return entry("pg_element_list", {7, l});
             })},
        Case{"element list of another point group", "vibrex",
             wyckoff([](CommonWyckoff& w) {
               const int l = w.pg_list_first(15);  // 4/mmm: its fourfold replaced by a threefold
               for (int j = 1; j <= 48; ++j)
                 if (w.pg_element_list(j, l) == 16) w.pg_element_list(j, l) = 5;
               return "pg_element_list(:," + std::to_string(l) + ")";
             })},
        Case{"Wyckoff label", "vibrex",
             wyckoff([](CommonWyckoff& w) { w.wyc_label(w.wyc_first(186) + 1).chars[0] = '\xb2'; return entry("wyc_label", {w.wyc_first(186) + 1}); })},

        Case{"k denominator negative", "vibrex",
             mode(little(), [](FixturePayload& p) { p.set("kvec_matrix", {4, 2, 14, 10}, -1); return std::string("kvec_matrix(4,2,14,10)"); })},
        Case{"k direction of zero", "vibrex",
             mode(little(), [](FixturePayload& p) { p.set("kvec_matrix", {2, 2, 5, 12}, 0); return std::string("kvec_matrix(:,2,5,12)"); })},
        Case{"constant index beyond the table", "vibrex",
             mode(irreps(), [](FixturePayload& p) {
               const int e = static_cast<int>(p.get("irrep_matrix_first", {1400}));
               const long long x = p.get("irrep_matrix_start", {e});
               p.set("irrep_matrix_element", {static_cast<int>(x)}, 1001);
               return entry("irrep_matrix_element", {static_cast<int>(x)});
             })},
        Case{"order-parameter component beyond the table", "vibrex",
             mode(images(), [](FixturePayload& p) {
               const long long x = p.get("opd_vector_start", {1});
               p.set("opd_vector_component", {static_cast<int>(x)}, 30000);
               return entry("opd_vector_component", {static_cast<int>(x)});
             })},
        Case{"reality type of an image", "vibrex",
             mode(images(), [](FixturePayload& p) { p.set("image_reality_type", {1}, 0); return std::string("image_reality_type(1)"); })},
        Case{"superlattice of no cells", "vibrex",
             mode(isotropy(), [](FixturePayload& p) {
               for (int i = 1; i <= 3; ++i) p.set("isotropy_superlattice", {i, i, 1}, 0);
               return std::string("isotropy_superlattice(:,:,1)");
             })},
        Case{"superlattice of 65 cells", "vibrex",
             mode(isotropy(), [](FixturePayload& p) {
               p.set("isotropy_superlattice", {1, 1, 1}, 5);
               p.set("isotropy_superlattice", {2, 2, 1}, 13);
               return std::string("isotropy_superlattice(:,:,1)");
             })},
        Case{"little irrep label", "vibrex",
             mode(little(), [](FixturePayload& p) { p.set_text("little_irrep_label", {7}, std::string("GM\n")); return std::string("little_irrep_label(7)"); })},
        Case{"multiplicity 0 of a listed site irrep", "vibrex",
             [](const fs::path& dir) {
               auto w = std::make_unique<CommonWyckoff>();
               load_table_block(dir.string() + "/", "data_wyckoff.bin", *w);
               const int s = w->irrep_wyc_list_start(w->irrep_wyc_first(1));
               w->irrep_wyc_multiplicity(s) = 0;
               testing::write_record_file(dir / "data_wyckoff.bin", testing::payload_of(*w));
               return entry_stop("vibrex", entry("irrep_wyc_multiplicity", {s}), "data_wyckoff.bin");
             }},

        // Cut files: the fatal failure of the read names the file (nothing is written before).
        Case{"data_space.bin cut short", "vibrex", cut("data_space.bin", 100)},
        Case{"data_space.bin cut short", "duopath", cut("data_space.bin", 100)},
        Case{"data_space.bin cut short", "cellsieve", cut("data_space.bin", 1)},
        Case{"data_wyckoff.bin cut short", "vibrex", cut("data_wyckoff.bin", 5)},
        Case{"data_wyckoff.bin cut short", "duopath", cut("data_wyckoff.bin", 5000)},
        Case{"data_images.bin cut short", "vibrex", cut("data_images.bin", 100)},
        Case{"data_irreps.bin cut short", "vibrex", cut("data_irreps.bin", 100)},
        Case{"data_little.bin cut short", "vibrex", cut("data_little.bin", 100)},
        Case{"data_isotropy.bin cut short", "vibrex", cut("data_isotropy.bin", 100)},
        Case{"data_isotropy.bin record one byte short", "vibrex", short_record("data_isotropy.bin")},
        Case{"data_space.bin record one byte short", "cellsieve", short_record("data_space.bin")},

        // const.dat: a mistyped value is still skipped, but named; a value that is not a number
        // stops the run.
        Case{"mistyped constant", "vibrex",
             [](const fs::path& dir) {
               std::string text = vibrex::testing::read_file(dir / "const.dat");
               const std::size_t at = text.find("\n6 0.866025404\n");
               text.replace(at, 15, "\n6 0.866O25404\n");
               text_io_test::spill((dir / "const.dat").string(), text);
               return Expect{"***********************************************\nEnd of output\n",
                             "Warning: line 6 of @const.dat skipped, not an index and a value: 6 0.866O25404\n", 0};
             }},
        Case{"constant that is not a number", "vibrex", [](const fs::path& dir) {
               std::string text = vibrex::testing::read_file(dir / "const.dat");
               const std::size_t at = text.find("\n6 0.866025404\n");
               text.replace(at, 15, "\n6 nan\n");
               text_io_test::spill((dir / "const.dat").string(), text);
               return Expect{" Error: invalid value on line 6 of @const.dat: 6 nan\nThis program has bombed\nexit\n",
                             " STOP  \n", 1};
             }}),
    [](const auto& info) {
      std::string name = std::string(info.param.what) + "_" + info.param.program;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

// The committed tables pass every check, in each program (the programs' own tests run on them).
TEST(DamagedData, CommittedTablesPass) {
  BombTrap trap;
  auto s = std::make_unique<CommonSpace>();
  auto w = std::make_unique<CommonWyckoff>();
  load_table_block(SGL_DATA_DIR, "data_space.bin", *s);
  load_table_block(SGL_DATA_DIR, "data_wyckoff.bin", *w);
  EXPECT_NO_THROW(validate_common_space(*s));
  EXPECT_NO_THROW(validate_common_wyckoff(*w, "data_wyckoff.bin", s.get()));
}

// The events of the files in a directory while a program runs: a file opened for writing and
// closed, changed, or its attributes changed.
class WriteWatch {
 public:
  explicit WriteWatch(const fs::path& dir) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    inotify_add_watch(fd_, dir.c_str(), IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_TO);
  }
  ~WriteWatch() { close(fd_); }
  // The names of the files with such an event, one per line.
  std::string events() {
    std::string names;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
        names += std::string(e->len > 0 ? e->name : "?") + "\n";
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    }
    return names;
  }

 private:
  int fd_;
};

// A read-only installation of the tables serves all three programs, and nothing opens a data
// file for writing (as the superuser, whom permissions do not stop, the watch shows it).
TEST(DamagedData, ReadOnlyInstallation) {
  DataCopy copy;
  for (const auto& entry : fs::directory_iterator(copy.path())) {
    fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }
  fs::permissions(copy.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const std::string duopath_input = vibrex::testing::read_file(fs::path(SGL_SOURCE_DIR) / "examples/fe_bain.in");
  const std::string cellsieve_input = vibrex::testing::read_file(fs::path(SGL_SOURCE_DIR) / "examples/cellsieve/batio3.in");
  const struct {
    const char* program;
    std::string input;
  } runs[] = {{"vibrex", kZnO}, {"duopath", duopath_input}, {"cellsieve", cellsieve_input}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.program);
    WriteWatch watch(copy.path());
    const auto r = run_program(run.program, run.input, copy.slash());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(watch.events(), "");
  }
  fs::permissions(copy.path(), fs::perms::owner_all);
}

}  // namespace
}  // namespace sgl
