// Test support: the committed data tables, loaded once per test process; the one place the tests
// load them. Tests that need them begin with SGL_REQUIRE_TABLES(), which skips the test when the
// data files are absent and fails it when their loading stopped, or with
// SGL_REQUIRE_WYCKOFF_TABLES(), which also skips it while the Wyckoff block is a placeholder
// without positions.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/types.hpp"
#include "tests/bomb_trap.hpp"

namespace sgl::testing {

inline bool tables_present() {
  const std::filesystem::path dir(SGL_DATA_DIR);
  return std::filesystem::exists(dir / "data_space.bin") &&
         std::filesystem::exists(dir / "data_wyckoff.bin");
}

// A block loaded from the data directory; null when its loading stopped (the stop is trapped, so
// that a damaged file fails the tests that need it instead of ending the test process).
template <typename Block>
std::unique_ptr<Block> load_committed(void (*load)(std::string_view, Block&)) {
  auto b = std::make_unique<Block>();
  BombTrap trap;
  try {
    load(SGL_DATA_DIR, *b);
  } catch (const Bombed&) {
    return nullptr;
  }
  return b;
}

inline const CommonSpace* loaded_space_tables() {
  static const std::unique_ptr<CommonSpace> block =
      tables_present() ? load_committed<CommonSpace>(&load_common_space) : nullptr;
  return block.get();
}

inline const CommonWyckoff* loaded_wyckoff_tables() {
  static const std::unique_ptr<CommonWyckoff> block =
      tables_present() ? load_committed<CommonWyckoff>(&load_common_wyckoff) : nullptr;
  return block.get();
}

// Whether both blocks loaded and passed validation.
inline bool tables_loaded() {
  return loaded_space_tables() != nullptr && loaded_wyckoff_tables() != nullptr;
}

// The blocks themselves, for tests that began with SGL_REQUIRE_TABLES().
inline const CommonSpace& space_tables() {
  if (loaded_space_tables() == nullptr) std::abort();
  return *loaded_space_tables();
}

inline const CommonWyckoff& wyckoff_tables() {
  if (loaded_wyckoff_tables() == nullptr) std::abort();
  return *loaded_wyckoff_tables();
}

// Whether the Wyckoff block holds any positions.
inline bool wyckoff_positions_present() {
  if (!tables_loaded()) return false;
  for (int32_t g = 1; g <= kSpaceGroupCount; ++g)
    if (wyckoff_tables().wyc_count(g) != 0) return true;
  return false;
}

// Calls visit(g, w, k) for every Wyckoff position of every group (w its index within group g,
// k its global index), under a trace that names the position.
template <typename Visit>
void for_each_wyckoff_position(Visit&& visit) {
  const CommonWyckoff& cw = wyckoff_tables();
  for (int32_t g = 1; g <= kSpaceGroupCount; ++g) {
    for (int32_t w = 1; w <= cw.wyc_count(g); ++w) {
      const int32_t k = cw.wyc_first(g) + w - 1;
      SCOPED_TRACE("group " + std::to_string(g) + " position " + std::to_string(w) + " (global " +
                   std::to_string(k) + ")");
      visit(g, w, k);
    }
  }
}

// Matrix of the Wyckoff position with global index k, as the table holds it.
inline WyckoffMatrix table_wyckoff_matrix(int32_t k) {
  WyckoffMatrix w;
  for (int j = 1; j <= 4; ++j)
    for (int i = 1; i <= 4; ++i) m4(w, i, j) = wyckoff_tables().wyc_matrix_table(i, j, k);
  return w;
}

// Random parameter values of either sign, away from 0 and from 1/2.
inline std::array<double, 3> random_wyckoff_parameters(std::mt19937& rng) {
  std::uniform_real_distribution<double> u(0.05, 0.45);
  std::bernoulli_distribution sign(0.5);
  std::array<double, 3> x;
  for (double& v : x) v = sign(rng) ? u(rng) : -u(rng);
  return x;
}

// Whether two points in fractional coordinates differ by a lattice vector (within 1e-9).
inline bool same_modulo_lattice(const std::array<double, 3>& a, const std::array<double, 3>& b) {
  for (int i = 0; i < 3; ++i) {
    const double d = a[i] - b[i];
    if (std::fabs(d - std::round(d)) > 1e-9) return false;
  }
  return true;
}

}  // namespace sgl::testing

#define SGL_REQUIRE_TABLES()                                                       \
  if (!::sgl::testing::tables_present()) GTEST_SKIP() << "the data tables are absent"; \
  ASSERT_TRUE(::sgl::testing::tables_loaded()) << "loading the committed data tables stopped"
#define SGL_REQUIRE_WYCKOFF_TABLES()                              \
  SGL_REQUIRE_TABLES();                                           \
  if (!::sgl::testing::wyckoff_positions_present()) \
  GTEST_SKIP() << "the data tables hold no Wyckoff positions"
