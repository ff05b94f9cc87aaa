// Files behind units: status words, creation mode, the cut after the last line written, the
// implicit FOR<nnn>.DAT connection, buffering, flush and close.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "library/text/text_io.hpp"
#include "text_io_child.hpp"

namespace {

using text_io_test::slurp;
using text_io_test::spill;

class TextFiles : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = text_io_test::temp_dir(); }
  void TearDown() override {
    for (int unit : {30, 31, 32}) sgl::close_unit(unit);
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  std::string path(const char* name) const { return dir_ + "/" + name; }
  std::string dir_;
};

TEST_F(TextFiles, RewritingALongerFileCutsItAfterTheLastLineWritten) {
  spill(path("run.log"), std::string(5000, 'o') + "\nold tail\n");
  sgl::open_unit(30, path("run.log"), "", "");
  sgl::write_line(30, "(a)", {"new line 1"});
  sgl::write_free(30, {"value", 2});
  sgl::close_unit(30);
  EXPECT_EQ(slurp(path("run.log")), "new line 1\n value  2\n");
  // The same through the ends of a run of a program.
  spill(path("prog.log"), std::string(100, 'o') + "\n");
  auto r = text_io_test::run_driver({"log", path("prog.log")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(slurp(path("prog.log")), "new line 1\nnew line 2\n");
  spill(path("stop.log"), std::string(100, 'o') + "\n");
  r = text_io_test::run_driver({"log_stop", path("stop.log")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(slurp(path("stop.log")), "logged\n");
}

TEST_F(TextFiles, PendingFileOutputIsWrittenWhenAProgramEndsWithoutTheStops) {
  // Returning from main: the opened unit, the implicitly connected unit 20 and standard output
  // all keep their line; std::exit keeps its own status and loses nothing either.
  text_io_test::ChildOptions options;
  options.cwd = dir_;
  auto r = text_io_test::run_driver({"log_return", path("ret.log")}, options);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "out\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(slurp(path("ret.log")), "returned\n");
  EXPECT_EQ(slurp(path("FOR020.DAT")), "implicit\n");
  r = text_io_test::run_driver({"log_exit", path("exit.log")});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "out\n");
  EXPECT_EQ(slurp(path("exit.log")), "exited\n");
}

TEST_F(TextFiles, AFileThatIsOnlyReadKeepsItsContents) {
  spill(path("input.txt"), "first\nsecond\n");
  sgl::open_unit(31, path("input.txt"), "old", "formatted");
  std::string line(6, ' ');
  EXPECT_EQ(sgl::read_line(31, "(a)", {line}), sgl::ReadOutcome::ok);
  EXPECT_EQ(line, "first ");
  sgl::close_unit(31);
  EXPECT_EQ(slurp(path("input.txt")), "first\nsecond\n");
}

TEST_F(TextFiles, StatusWordsAndRefusals) {
  spill(path("exists.txt"), "x\n");
  struct Case {
    std::string name;
    const char* status_word;
    int expected;
  };
  const Case cases[] = {
      {path("missing.txt"), "OLD", ENOENT},
      {path("missing.txt"), "old  ", ENOENT},
      {path("exists.txt"), "NEW", sgl::kStatusNewExists},
      {"   ", "", sgl::kStatusBadFileName},
      {"", "OLD", sgl::kStatusBadFileName},
      {dir_, "", EISDIR},
      {dir_, "OLD", EISDIR},
      {path("no/such/dir.txt"), "", ENOENT},
  };
  for (const Case& c : cases) {
    int status = -99;
    sgl::open_unit(31, c.name, c.status_word, "", &status);
    EXPECT_EQ(status, c.expected) << c.name << " " << c.status_word;
    EXPECT_FALSE(sgl::unit_is_open(31)) << c.name;  // a failed open leaves the unit unconnected
  }
  int status = -99;
  sgl::open_unit(31, "  " + path("created.txt") + "  ", "NEW", "", &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(sgl::unit_is_open(31));
  sgl::close_unit(31);
  EXPECT_FALSE(sgl::unit_is_open(31));
  sgl::open_unit(31, path("exists.txt"), "unknown", "", &status);
  EXPECT_EQ(status, 0);
}

TEST_F(TextFiles, UnhandledOpenFailureIsFatalWithThePlatformText) {
  auto r = text_io_test::run_driver({"open_old", path("missing.txt")});
  EXPECT_EQ(r.status, 255);
  // A fourth line names the file.
  EXPECT_EQ(r.err, "? System Error:\n? No such file or directory\n? OPEN(UNIT=31,...\n? File: " + path("missing.txt") +
                       "\n");
  r = text_io_test::run_driver({"open_log", dir_});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "? System Error:\n? Is a directory\n? OPEN(UNIT=30,...\n? File: " + dir_ + "\n");
}

TEST_F(TextFiles, CreatedFilesGet0664LessTheUmask) {
  for (mode_t mask : {mode_t{022}, mode_t{0}, mode_t{077}}) {
    const mode_t previous = ::umask(mask);
    const std::string name = path("mode.txt");
    std::remove(name.c_str());
    sgl::open_unit(32, name, "", "");
    ::umask(previous);
    sgl::close_unit(32);
    struct stat info {};
    ASSERT_EQ(::stat(name.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0664 & ~mask) << std::oct << mask;
  }
}

TEST_F(TextFiles, UnopenedUnitWritesToItsDefaultFile) {
  spill(path("FOR020.DAT"), std::string(200, 'z') + "\n");
  text_io_test::ChildOptions options;
  options.cwd = dir_;
  const auto r = text_io_test::run_driver({"unit20"}, options);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(slurp(path("FOR020.DAT")), "first warning\n second  2\n");
}

TEST_F(TextFiles, BufferedOutputReachesTheFileOnFlushCloseAndFullBlocks) {
  sgl::open_unit(31, path("out.txt"), "", "");
  sgl::write_line(31, "(a)", {"one"});
  EXPECT_EQ(slurp(path("out.txt")), "");  // still in the unit's buffer
  sgl::flush(31);
  EXPECT_EQ(slurp(path("out.txt")), "one\n");
  sgl::write_line(31, "(a)", {std::string(9000, 'b')});
  EXPECT_EQ(slurp(path("out.txt")).size(), 4u + 8192u);  // a full block went out
  sgl::close_unit(31);
  EXPECT_EQ(slurp(path("out.txt")), "one\n" + std::string(9000, 'b') + "\n");
  // Flush and close of an unconnected unit do nothing; the standard units are always open.
  sgl::flush(33);
  sgl::close_unit(33);
  EXPECT_FALSE(sgl::unit_is_open(33));
  for (int unit : {0, 5, 6, sgl::kDefaultUnit}) EXPECT_TRUE(sgl::unit_is_open(unit));
}

TEST_F(TextFiles, WriteFailuresAreFatalExceptForQuietCopies) {
  auto r = text_io_test::run_driver({"write_fails", "/dev/full"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "? System Error:\n? No space left on device\n? WRITE(UNIT=21,...\n");
  r = text_io_test::run_driver({"quiet", "/dev/full"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, " written F\n");
  EXPECT_EQ(r.err, "");
  // FOR020.DAT cannot be created (a directory of that name): the copy is skipped.
  ASSERT_EQ(::mkdir(path("FOR020.DAT").c_str(), 0755), 0);
  text_io_test::ChildOptions options;
  options.cwd = dir_;
  r = text_io_test::run_driver({"quiet"}, options);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, " written F\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(TextFiles, FilesAreOpenedCloseOnExec) {
  const std::string name = path("exec.txt");
  sgl::open_unit(32, name, "", "");
  int checked = 0;
  for (int fd = 3; fd < 1024; ++fd) {
    char link[64];
    char target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = '\0';
    if (name != target) continue;
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    ++checked;
  }
  EXPECT_EQ(checked, 1);
}

TEST_F(TextFiles, CarriageReturnsAreDroppedFromWrittenText) {
  sgl::open_unit(31, path("cr.txt"), "", "");
  sgl::write_line(31, "(a)", {"a\rb\r"});
  sgl::close_unit(31);
  EXPECT_EQ(slurp(path("cr.txt")), "ab\n");
}

}  // namespace
