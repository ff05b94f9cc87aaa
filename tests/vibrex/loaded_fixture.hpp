// Test support: the blocks of a fixture directory loaded into the test process.
#pragma once

#include <filesystem>
#include <memory>
#include <cstdlib>
#include <string>

#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/tables/table_loader.hpp"
#include "tests/table_files.hpp"
#include "tests/vibrex/mode_table_fixture.hpp"
#include "vibrex/constants.hpp"
#include "vibrex/mode_tables.hpp"

namespace vibrex::testing {

// The six blocks, loaded without validation; tables() views them.
struct LoadedTables {
  std::unique_ptr<sgl::CommonSpace> space = std::make_unique<sgl::CommonSpace>();
  std::unique_ptr<sgl::CommonWyckoff> wyckoff = std::make_unique<sgl::CommonWyckoff>();
  std::unique_ptr<CommonImage> image = std::make_unique<CommonImage>();
  std::unique_ptr<CommonIrrep> irrep = std::make_unique<CommonIrrep>();
  std::unique_ptr<CommonLittle> little = std::make_unique<CommonLittle>();
  std::unique_ptr<CommonIsotropy> isotropy = std::make_unique<CommonIsotropy>();

  Tables tables() const { return Tables{*space, *wyckoff, *image, *irrep, *little, *isotropy}; }
};

inline std::unique_ptr<LoadedTables> load_directory(const std::string& dir) {
  auto t = std::make_unique<LoadedTables>();
  sgl::load_table_block(dir, "data_space.bin", *t->space);
  sgl::load_table_block(dir, "data_wyckoff.bin", *t->wyckoff);
  load_mode_tables(dir, *t->image, *t->irrep, *t->little, *t->isotropy);
  return t;
}

// A fixture written into a fresh directory and loaded.
inline std::unique_ptr<LoadedTables> load_fixture(const ModeFixture& f) {
  sgl::testing::TempDir dir;
  f.write(dir.path());
  return load_directory(dir.slash());
}

// The standard fixture, loaded once per test process.
inline const LoadedTables& standard_tables() {
  static const std::unique_ptr<LoadedTables> t = load_fixture(standard_fixture());
  return *t;
}

}  // namespace vibrex::testing

namespace vibrex::testing {

// Whether data/ holds the mode-analysis tables; tests over the real tables skip without them.
inline bool mode_tables_present() {
  const std::filesystem::path dir(SGL_DATA_DIR);
  for (const char* f : {"data_images.bin", "data_irreps.bin", "data_little.bin", "data_isotropy.bin", "const.dat"}) {
    if (!std::filesystem::exists(dir / f)) return false;
  }
  return true;
}

// The committed tables, loaded once per test process.
inline const LoadedTables& real_tables() {
  static const std::unique_ptr<LoadedTables> t = load_directory(SGL_DATA_DIR);
  return *t;
}

// The k index of a label in the list of a lattice type; 0 when absent.
inline int32_t k_index(const CommonLittle& little, int32_t lattice, std::string_view label) {
  for (int32_t j = 1; j <= little.kvec_count(lattice); ++j) {
    if (little.kvec_label(j, lattice).trimmed() == label) return j;
  }
  return 0;
}

}  // namespace vibrex::testing

#define VIBREX_REQUIRE_MODE_TABLES() \
  if (!::vibrex::testing::mode_tables_present()) GTEST_SKIP() << "the mode-analysis tables are not in data/"

namespace vibrex::testing {

// A fixture written into a fresh directory, loaded, with XTALDIR pointing to it (so the constant
// table loads from its "const.dat") and an empty constant table; both restored afterwards.
class FixtureRun {
 public:
  explicit FixtureRun(const ModeFixture& f) {
    f.write(dir_.path());
    tables_ = load_directory(dir_.slash());
    setenv("XTALDIR", dir_.slash().c_str(), 1);
    const_common() = ConstCommon{};
  }
  ~FixtureRun() {
    for (int u = 100; u < 110; ++u) sgl::close_unit(u);
    const_common() = ConstCommon{};
    unsetenv("XTALDIR");
  }
  FixtureRun(const FixtureRun&) = delete;
  FixtureRun& operator=(const FixtureRun&) = delete;

  Tables tables() const { return tables_->tables(); }
  LoadedTables& loaded() { return *tables_; }
  const sgl::testing::TempDir& dir() const { return dir_; }

 private:
  sgl::testing::TempDir dir_;
  std::unique_ptr<LoadedTables> tables_;
};

}  // namespace vibrex::testing
