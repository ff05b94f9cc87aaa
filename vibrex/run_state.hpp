// The run state of vibrex: the tables, the structure read once, and the current k vector.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "library/text/words.hpp"
#include "library/types.hpp"
#include "vibrex/irrep_matrix_cache.hpp"
#include "vibrex/mode_tables.hpp"
#include "vibrex/numeric_kernel.hpp"
#include "vibrex/rank_margins.hpp"
#include "vibrex/stars.hpp"

namespace vibrex {

inline constexpr int kMaxAtomTypes = 20;

// One atom type on a Wyckoff position.
struct AtomType {
  std::string name;           // 4 characters, blank-padded
  int32_t wyc = 0;            // global Wyckoff index
  int32_t w = 0;              // index within the group
  sgl::WyckoffMatrix matrix{};  // with every zero column denominator made 1
  std::array<float, 3> par{};   // x, y, z
  int32_t site_point_group = 0;
  int32_t site_order = 0;
  std::array<sgl::SpaceOp, kMaxOps> site_ops{};
  int32_t ncosets = 0;
  std::array<sgl::SpaceOp, kMaxOps> cosets{};
};

// The k vector being analysed.
struct KVectorState {
  int32_t j = 0;     // index in the list of the lattice type
  int32_t npar = 0;  // its number of parameters
  sgl::RationalVector kpar{0, 0, 0, 1};  // parameter values
  sgl::RationalVector k{0, 0, 0, 1};     // in the reciprocal basis of "pml"
  sgl::RationalVector kc{0, 0, 0, 1};    // the same in "cinter"
  std::string line;                      // the k line, 78 characters
  int32_t nw = 0;                        // its words
  std::array<int32_t, sgl::kMaxWords> lens{};
  std::array<std::string, sgl::kMaxWords> words;
};

struct VibrexRun {
  explicit VibrexRun(const Tables& t) : tables(t) {}

  Tables tables;
  int32_t isg = 0;
  int32_t lattice = 0;
  Mat3f cml_to_cinter{};
  std::array<float, 6> cell{};  // a, b, c, alpha, beta, gamma
  Mat3f b{};                    // Cartesian lattice vectors by columns
  Mat3f binv{};
  std::vector<AtomType> atoms;
  int32_t nk = 0;
  KVectorState kv;
  // The irrep matrices of the isotropy search and the supercell modes of the current irrep, kept
  // as they are computed; or, where a test has put one, another source.
  mutable IrrepMatrixCache irrep_matrix_cache;
  IrrepMatrixSource* irrep_matrix_source = nullptr;
  IrrepMatrixSource& irrep_matrices() const {
    return irrep_matrix_source != nullptr ? *irrep_matrix_source : irrep_matrix_cache;
  }
  // Where a measuring driver collects the rank margins of the isotropy search; none in the program.
  RankMargins* rank_margins = nullptr;
};

}  // namespace vibrex
