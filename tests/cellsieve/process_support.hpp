// Test support: runs the built cellsieve as a child process in a fresh working directory, with
// XTALDIR set as given, and collects standard output, standard error, the exit status and the
// log file.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/table_files.hpp"

namespace cellsieve::testing {

struct Outcome {
  int status = -1;
  std::string out, err, log;
};

inline Outcome run_cellsieve(const std::string& input, const std::optional<std::string>& xtaldir,
                             const std::filesystem::path& workdir) {
  {
    std::ofstream f(workdir / "input.txt", std::ios::binary);
    f << input;
  }
  const std::string exe = std::string(SGL_BIN_DIR) + "/cellsieve";
  const std::string env = xtaldir ? "XTALDIR='" + *xtaldir + "' " : "env -u XTALDIR ";
  const std::string cmd = "cd '" + workdir.string() + "' && " + env + "'" + exe +
                          "' <input.txt >run.out 2>run.err";
  const int rc = std::system(cmd.c_str());
  Outcome r;
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  r.out = sgl::testing::slurp(workdir / "run.out");
  r.err = sgl::testing::slurp(workdir / "run.err");
  r.log = sgl::testing::slurp(workdir / "cellsieve.log");
  for (const char* f : {"input.txt", "run.out", "run.err", "cellsieve.log"}) std::filesystem::remove(workdir / f);
  return r;
}

// A data directory holding the committed tables, each of which a test may replace.
class DataDir {
 public:
  DataDir() {
    for (const char* f : {"data_space.bin", "symmetry.dat"})
      std::filesystem::copy_file(std::string(SGL_DATA_DIR) + f, dir_.path() / f);
  }
  std::string slash() const { return dir_.slash(); }
  std::filesystem::path file(const char* name) const { return dir_.path() / name; }

  // The lines of symmetry.dat, and writing them back.
  std::vector<std::string> symmetry_lines() const {
    std::ifstream f(file("symmetry.dat"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(f, line);) lines.push_back(line);
    return lines;
  }
  void write_symmetry(const std::vector<std::string>& lines) const {
    std::ofstream f(file("symmetry.dat"), std::ios::trunc);
    for (const std::string& line : lines) f << line << '\n';
  }

 private:
  sgl::testing::TempDir dir_;
};

inline constexpr const char* kBanner = "cellsieve, Version 1.0-8, August 2003\n";
inline constexpr const char* kBombed = " STOP This program has bombed!\n";

}  // namespace cellsieve::testing
