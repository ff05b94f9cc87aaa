// The four blocks of mode-analysis tables: images and order-parameter directions
// ("data_images.bin"), stored irrep matrices and labels ("data_irreps.bin"), k vectors, little
// co-groups and little irreps ("data_little.bin") and isotropy subgroups ("data_isotropy.bin").
//
// Each VIBREX_COMMON_*_ARRAYS list gives a block's arrays in the order of its file's record, with
// element type and extents; members, payload size and loader are generated from it, like the
// shared blocks of the library. Arrays that no routine reads keep their place in the record under
// their block and position (image_item_01, ...). No real number is stored: a real value is an
// index into the numeric constant table, a complex value two such indices, real part first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/tables/fixed_table.hpp"
#include "library/tables/table_loader.hpp"

#define VIBREX_COMMON_IMAGE_ARRAYS(X)              \
  X(image_item_01, int32_t)                        \
  X(image_item_02, ::sgl::Logical, 132)            \
  X(image_item_03, ::sgl::Logical, 2300)           \
  X(image_item_04, ::sgl::Logical, 2300)           \
  X(image_item_05, ::sgl::Logical, 2300)           \
  X(image_item_06, int16_t, 141)                   \
  X(image_item_07, int16_t, 132)                   \
  X(image_item_08, int16_t, 132)                   \
  X(opd_vector_start, int16_t, 700)                \
  X(opd_vector_component, int16_t, 27300)          \
  X(image_item_11, int16_t, 141)                   \
  X(image_item_12, int16_t, 2300)                  \
  X(image_item_13, int16_t, 141)                   \
  X(image_transform_start, int16_t, 132)           \
  X(image_dimension, int8_t, 141)                  \
  X(image_item_16, int8_t, 141)                    \
  X(image_item_17, int8_t, 132)                    \
  X(opd_dimension, int8_t, 700)                    \
  X(opd_parameter_count, int8_t, 700)              \
  X(image_reality_type, int8_t, 132)               \
  X(image_transform_value, int8_t, 4840)           \
  X(image_item_22, ::sgl::Text<6>, 141)            \
  X(image_item_23, ::sgl::Text<6>, 132)            \
  X(image_item_24, ::sgl::Text<4>, 700)            \
  X(image_item_25, int32_t, 2300)                  \
  X(image_item_26, int32_t, 6500)                  \
  X(image_item_27, int32_t, 2300)

#define VIBREX_COMMON_IRREP_ARRAYS(X)              \
  X(irrep_matrix_first, int32_t, 4777)             \
  X(irrep_matrix_start, int32_t, 80000)            \
  X(irrep_sg, int16_t, 4777)                       \
  X(irrep_image, int16_t, 4777)                    \
  X(irrep_item_05, int16_t, 231)                   \
  X(irrep_item_06, int16_t, 4778)                  \
  X(irrep_item_07, int16_t, 84)                    \
  X(irrep_item_08, int16_t, 60)                    \
  X(irrep_matrix_element, int16_t, 170000)         \
  X(irrep_item_10, int16_t, 4777)                  \
  X(irrep_item_11, int16_t, 22136)                 \
  X(irrep_item_12, int16_t, 73)                    \
  X(irrep_item_13, int8_t, 4777)                   \
  X(irrep_item_14, int8_t, 4777)                   \
  X(irrep_item_15, int8_t, 5, 8170)                \
  X(irrep_item_16, int8_t, 73)                     \
  X(irrep_item_17, int8_t, 73)                     \
  X(irrep_label, ::sgl::Text<8>, 4777)             \
  X(irrep_item_19, ::sgl::Text<8>, 4861)           \
  X(irrep_item_20, ::sgl::Text<8>, 4837)           \
  X(irrep_item_21, ::sgl::Text<8>, 4777)           \
  X(irrep_item_22, ::sgl::Text<8>, 73)             \
  X(irrep_second_label, ::sgl::Text<4>, 4777)

#define VIBREX_COMMON_LITTLE_ARRAYS(X)              \
  X(small_irrep_1d_start, int32_t, 27, 230)         \
  X(little_irrep_wyc_first, int32_t, 10300)         \
  X(little_irrep_wyc_list_start, int32_t, 47000)    \
  X(small_irrep_matrix_start, int32_t, 10300)       \
  X(little_irrep_transform_start, int32_t, 10300)   \
  X(little_irrep_number, int16_t, 12, 27, 231)      \
  X(little_irrep_to_irrep, int16_t, 10300)          \
  X(little_irrep_sg, int16_t, 10300)                \
  X(little_item_09, int16_t, 4777)                  \
  X(kvec_count, int8_t, 14)                         \
  X(kvec_matrix, int8_t, 4, 4, 27, 14)              \
  X(kvec_parameter_count, int8_t, 27, 14)           \
  X(little_cogroup_order, int8_t, 27, 230)          \
  X(little_cogroup_ops, int8_t, 48, 27, 230)        \
  X(little_irrep_count, int8_t, 27, 230)            \
  X(small_irrep_dimension, int8_t, 12, 27, 230)     \
  X(small_irrep_1d_value, int8_t, 2, 11200)         \
  X(little_irrep_reality, int8_t, 10300)            \
  X(little_item_19, int8_t, 10300)                  \
  X(little_item_20, int8_t, 10300)                  \
  X(little_item_21, int8_t, 32)                     \
  X(little_item_22, int8_t, 10300)                  \
  X(little_irrep_dimension, int8_t, 10300)          \
  X(little_irrep_kvec, int8_t, 10300)               \
  X(little_irrep_small_irrep, int8_t, 10300)        \
  X(little_irrep_wyc_list_count, int8_t, 47000)     \
  X(little_irrep_wyc_multiplicity, int8_t, 104000)  \
  X(little_irrep_wyc_site_irrep, int8_t, 104000)    \
  X(small_irrep_matrix_value, int8_t, 2, 107000)    \
  X(little_irrep_transform_value, int8_t, 2, 12200) \
  X(kvec_label, ::sgl::Text<2>, 27, 14)             \
  X(little_item_32, ::sgl::Text<2>, 12, 27, 230)    \
  X(little_irrep_label, ::sgl::Text<8>, 10300)

#define VIBREX_COMMON_ISOTROPY_ARRAYS(X)           \
  X(isotropy_item_01, int32_t, 15240)              \
  X(isotropy_item_02, int32_t, 15239)              \
  X(isotropy_item_03, int16_t, 15239)              \
  X(isotropy_sg, int16_t, 15239)                   \
  X(isotropy_item_05, int16_t, 15239)              \
  X(isotropy_opd, int16_t, 15239)                  \
  X(isotropy_irrep_first, int16_t, 4778)           \
  X(isotropy_item_08, int16_t, 94271)              \
  X(isotropy_item_09, int16_t, 94271)              \
  X(isotropy_item_10, int16_t, 15239)              \
  X(isotropy_item_11, int16_t, 15239)              \
  X(isotropy_item_12, int16_t, 15239)              \
  X(isotropy_item_13, int16_t, 94271)              \
  X(isotropy_item_14, int16_t, 94271)              \
  X(isotropy_item_15, int16_t, 4732)               \
  X(isotropy_item_16, int8_t, 460300)              \
  X(isotropy_superlattice, int8_t, 3, 3, 15239)    \
  X(isotropy_item_18, int8_t, 4, 15239)            \
  X(isotropy_item_19, int8_t, 15239)               \
  X(isotropy_item_20, int8_t, 15239)               \
  X(isotropy_item_21, int8_t, 15239)               \
  X(isotropy_item_22, int8_t, 15239)               \
  X(isotropy_item_23, int8_t, 15239)               \
  X(isotropy_item_24, int8_t, 5756)                \
  X(isotropy_item_25, int8_t, 5756)

namespace vibrex {

// Extents the tables share.
inline constexpr int kIrrepCount = 4777;
inline constexpr int kLittleIrrepCount = 10300;
inline constexpr int kImageCount = 141;
inline constexpr int kImageTransformCount = 132;  // images with a reality type and transformation
inline constexpr int kOpdCount = 700;
inline constexpr int kIsotropyEntryCount = 15239;
inline constexpr int kMaxKVectors = 27;
inline constexpr int kMaxSlots = 12;
inline constexpr int kMaxSmallDimension = 6;
inline constexpr int kMaxStoredDimension = 24;
inline constexpr int kMaxInducedDimension = 48;

SGL_TABLE_BLOCK(CommonImage, VIBREX_COMMON_IMAGE_ARRAYS);
SGL_TABLE_BLOCK(CommonIrrep, VIBREX_COMMON_IRREP_ARRAYS);
SGL_TABLE_BLOCK(CommonLittle, VIBREX_COMMON_LITTLE_ARRAYS);
SGL_TABLE_BLOCK(CommonIsotropy, VIBREX_COMMON_ISOTROPY_ARRAYS);

static_assert(CommonImage::payload_bytes == 145994, "data_images.bin payload size");
static_assert(CommonIrrep::payload_bytes == 986752, "data_irreps.bin payload size");
static_assert(CommonLittle::payload_bytes == 1748470, "data_little.bin payload size");
static_assert(CommonIsotropy::payload_bytes == 1854564, "data_isotropy.bin payload size");

// The program's four blocks: zero until loaded.
CommonImage& common_image();
CommonIrrep& common_irrep();
CommonLittle& common_little();
CommonIsotropy& common_isotropy();

// Every table the mode analysis reads, by reference: the two shared blocks and the four above.
struct Tables {
  const sgl::CommonSpace& space;
  const sgl::CommonWyckoff& wyckoff;
  const CommonImage& image;
  const CommonIrrep& irrep;
  const CommonLittle& little;
  const CommonIsotropy& isotropy;
};

// The program's own blocks.
Tables program_tables();

// Loads the four blocks from their files in the directory (trailing blanks removed, the file
// name appended directly), in the order images, irreps, little, isotropy. A file that cannot be
// opened writes "Error: cannot open file " and its path and stops; a short record is an unhandled
// input failure.
void load_mode_tables(std::string_view directory, CommonImage& image, CommonIrrep& irrep, CommonLittle& little,
                      CommonIsotropy& isotropy);

// Checks everything that the analysis can reach from a (space group, k index, slot) and from the
// site point groups of the Wyckoff positions (see mode_table_validation.cpp); the first entry that
// fails is named in one line with its file in the directory ("Error: invalid data table entry
// name(i,...) in <directory>data_little.bin") and the run stops.
void validate_mode_tables(const Tables& t, std::string_view directory = "");

}  // namespace vibrex
