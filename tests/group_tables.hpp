// Test support: the committed data tables, loaded once per test process. Tests that need them
// begin with SGL_REQUIRE_TABLES(), which skips the test when the data files are absent.
#pragma once

#include <filesystem>
#include <memory>

#include "library/common_space.hpp"
#include "library/common_wyckoff.hpp"

namespace sgl::testing {

inline bool tables_present() {
  const std::filesystem::path dir(SGL_DATA_DIR);
  return std::filesystem::exists(dir / "data_space.bin") &&
         std::filesystem::exists(dir / "data_wyckoff.bin");
}

inline const CommonSpace& space_tables() {
  static const std::unique_ptr<CommonSpace> block = [] {
    auto b = std::make_unique<CommonSpace>();
    load_common_space(SGL_DATA_DIR, *b);
    return b;
  }();
  return *block;
}

inline const CommonWyckoff& wyckoff_tables() {
  static const std::unique_ptr<CommonWyckoff> block = [] {
    auto b = std::make_unique<CommonWyckoff>();
    load_common_wyckoff(SGL_DATA_DIR, *b);
    return b;
  }();
  return *block;
}

}  // namespace sgl::testing

#define SGL_REQUIRE_TABLES() \
  if (!::sgl::testing::tables_present()) GTEST_SKIP() << "the data tables are absent"
