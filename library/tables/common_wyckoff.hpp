// The Wyckoff block of the shared data tables, loaded from "data_wyckoff.bin".
//
// SGL_COMMON_WYCKOFF_ARRAYS lists the block's arrays in record order with element type and
// extents; members, payload size and loader are generated from it (see common_space.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "library/tables/common_space.hpp"
#include "library/tables/fixed_table.hpp"

#define SGL_COMMON_WYCKOFF_ARRAYS(X)              \
  X(irrep_wyc_first, int32_t, 4777)               \
  X(irrep_wyc_list_start, int32_t, 44000)         \
  X(wyc_first, int16_t, 230)                      \
  X(wyckoff_item_04, int16_t, 32)                 \
  X(wyckoff_item_05, int16_t, 2163)               \
  X(irrep_wyc_site_irrep, int16_t, 61000)         \
  X(pg_irrep_index, int16_t, 12, 32)              \
  X(wyc_count, int8_t, 230)                       \
  X(wyc_matrix_table, int8_t, 4, 4, 1731)         \
  X(wyc_site_point_group, int8_t, 1731)           \
  X(pg_element_list, int8_t, 48, 152)             \
  X(pg_irrep_count, int8_t, 32)                   \
  X(irrep_wyc_list_count, int8_t, 44000)          \
  X(irrep_wyc_multiplicity, int8_t, 61000)        \
  X(pg_list_first, int16_t, 32)                   \
  X(pg_list_count, int8_t, 32)                    \
  X(pg_vector_irrep, int8_t, 3, 2, 32)            \
  X(pg_vector_basis, int8_t, 3, 3, 2, 152)        \
  X(wyc_label, ::sgl::Text<5>, 1731)              \
  X(wyckoff_item_20, ::sgl::Text<4>, 12, 32)

namespace sgl {

inline constexpr int kWyckoffPositionCount = 1731;
inline constexpr int kElementListCount = 152;

SGL_TABLE_BLOCK(CommonWyckoff, SGL_COMMON_WYCKOFF_ARRAYS);

static_assert(CommonWyckoff::payload_bytes == 477926, "data_wyckoff.bin payload size");

// The program's Wyckoff block: zero until loaded.
CommonWyckoff& common_wyckoff();

// Fills the block from "data_wyckoff.bin" in the directory, like load_common_space. The program's
// block (first form) is also checked against the program's space-group block, which is loaded
// first; a block given with a space-group block is checked against that one.
void load_common_wyckoff(std::string_view directory);
void load_common_wyckoff(std::string_view directory, CommonWyckoff& block);
void load_common_wyckoff(std::string_view directory, CommonWyckoff& block, const CommonSpace* space);

// Checks every index the block holds against the extent it indexes and every value against the
// range the routines rely on; with a space-group block also the element lists against its point
// groups. The first entry that fails is named in one line, with the file, and the run stops.
void validate_common_wyckoff(const CommonWyckoff& block, std::string_view file = "data_wyckoff.bin",
                             const CommonSpace* space = nullptr);

}  // namespace sgl
