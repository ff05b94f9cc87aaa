// The space-group block of the shared data tables, loaded from "data_space.bin".
//
// SGL_COMMON_SPACE_ARRAYS lists the block's arrays in the order of the file's record, each with its
// element type and extents; it is the only description of the layout: the members of CommonSpace,
// the payload size and the loader are all generated from it. Arrays that no routine reads are kept
// under their position in the record (space_item_03, ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "library/tables/fixed_table.hpp"
#include "library/tables/table_loader.hpp"
#include "library/text/text_io.hpp"
#include "library/types.hpp"  // Logical

// X(name, element type, extents...); no extents for a single value. Logicals are 4 bytes in the
// file (non-zero true) and a Logical in memory.
#define SGL_COMMON_SPACE_ARRAYS(X)                 \
  X(point_op_rot, int32_t, 3, 3, 72)               \
  X(lattice_transform, int32_t, 3, 3, 4, 14)       \
  X(space_item_03, int32_t, 3, 3, 4, 15)           \
  X(space_item_04, int32_t, 3, 3, 4, 14)           \
  X(point_op_key, int32_t, 72)                     \
  X(point_group_key, int32_t, 32)                  \
  X(space_item_07, int32_t, 3, 3, 2, 230)          \
  X(space_item_08, int32_t, 3, 3, 4, 14)           \
  X(setting_transform, int32_t, 4, 4, 2, 230, 8)   \
  X(setting_entry_transform, int32_t, 4, 4, 2, 341) \
  X(conv_matrix_code, int32_t, 72)                 \
  X(rhomb_matrix_code, int32_t, 72)                \
  X(prim_matrix_code, int32_t, 72, 14, 4)          \
  X(point_op_proper, ::sgl::Logical, 72)           \
  X(space_item_15, int16_t, 230)                   \
  X(setting_sg, int16_t, 341)                      \
  X(space_item_17, int16_t, 5, 341)                \
  X(space_item_18, int16_t, 3, 3, 341)             \
  X(sg_default_setting, int16_t, 230)              \
  X(setting_count, int16_t)                        \
  X(sg_first_op, int16_t, 230)                     \
  X(sg_first_generator, int16_t, 230, 5)           \
  X(setting_first_generator, int16_t, 341)         \
  X(sg_point_group, int8_t, 230)                   \
  X(sg_bravais, int8_t, 230)                       \
  X(sg_op_table, int8_t, 5, 6000)                  \
  X(setting_inter_class, int8_t, 341)              \
  X(setting_inter_flag, int8_t, 341)               \
  X(space_item_29, int8_t, 341)                    \
  X(point_op_product, int8_t, 72, 72)              \
  X(point_op_inverse, int8_t, 72)                  \
  X(pg_order, int8_t, 32)                          \
  X(pg_generators, int8_t, 5, 32)                  \
  X(pg_generator_count, int8_t, 32)                \
  X(bravais_point_group, int8_t, 14)               \
  X(space_item_36, int8_t, 14)                     \
  X(space_item_37, int8_t, 4, 8, 14)               \
  X(lattice_transform_den, int8_t, 2, 14)          \
  X(space_item_39, int8_t, 2, 15)                  \
  X(space_item_40, int8_t, 2, 14)                  \
  X(space_item_41, int8_t, 230)                    \
  X(space_item_42, int8_t, 2, 14)                  \
  X(space_item_43, ::sgl::Text<6>, 72)             \
  X(space_item_44, ::sgl::Text<4>, 32)             \
  X(space_item_45, ::sgl::Text<2>, 14)             \
  X(space_item_46, ::sgl::Text<1>, 8, 14)          \
  X(sg_symbol, ::sgl::Text<8>, 230)                \
  X(space_item_48, ::sgl::Text<3>, 14)             \
  X(setting_symbol, ::sgl::Text<10>, 341)          \
  X(space_item_50, ::sgl::Text<16>, 341)           \
  X(setting_lattice_letter, ::sgl::Text<1>, 341)   \
  X(space_item_52, ::sgl::Text<5>, 32)             \
  X(space_item_53, ::sgl::Text<10>, 230)           \
  X(space_item_54, ::sgl::Text<10>, 230)           \
  X(space_item_55, ::sgl::Text<3>, 72)             \
  X(space_item_56, ::sgl::Text<8>, 72)             \
  X(space_item_57, ::sgl::Text<8>, 72)             \
  X(setting_name, ::sgl::Text<6>, 2, 8)            \
  X(prim_setting_name, ::sgl::Text<6>, 4)          \
  X(generator_setting_name, ::sgl::Text<6>, 5)     \
  X(space_item_61, int16_t, 341)                   \
  X(space_item_62, int8_t, 4, 4, 2425)

namespace sgl {

// Extents shared by the tables.
inline constexpr int kSpaceGroupCount = 230;
inline constexpr int kSettingEntryCount = 341;
inline constexpr int kPointOpCount = 72;
inline constexpr int kPointGroupCount = 32;
inline constexpr int kBravaisTypeCount = 14;
inline constexpr int kOpRecordCount = 6000;
// Generators of a point group (the columns of pg_generators and sg_first_generator).
inline constexpr int kMaxGenerators = 5;

SGL_TABLE_BLOCK(CommonSpace, SGL_COMMON_SPACE_ARRAYS);

static_assert(CommonSpace::payload_bytes == 433862, "data_space.bin payload size");

// The program's space-group block: zero until loaded.
CommonSpace& common_space();

// Fills the block (common_space(), or the one given) from "data_space.bin" in the directory: the
// directory with its trailing blanks removed, followed directly by the file name. Returns only
// after a successful load that passed validation.
void load_common_space(std::string_view directory);
void load_common_space(std::string_view directory, CommonSpace& block);

// Checks every index the block holds against the extent it indexes and every value against the
// range the routines rely on (see common_tables.cpp); the first entry that fails is named in one
// line, with the file, and the run stops.
void validate_common_space(const CommonSpace& block, std::string_view file = "data_space.bin");

}  // namespace sgl
