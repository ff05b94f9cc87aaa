// Layout of the data files: sentinels written into a payload of zeros at offsets worked out by
// hand from the record's array list, loaded, and found under the right names and indices.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/tables/table_loader.hpp"
#include "tests/table_files.hpp"

namespace sgl {
namespace {

using testing::TempDir;
using testing::write_record_file;

void put_int(std::string& payload, std::size_t offset, int64_t value, int bytes) {
  for (int b = 0; b < bytes; ++b) payload[offset + b] = static_cast<char>((value >> (8 * b)) & 0xff);
}

void put_text(std::string& payload, std::size_t offset, std::string_view text) {
  payload.replace(offset, text.size(), text);
}

// Number of elements of a block that are not all zero bytes.
template <typename Block>
int nonzero_elements(const Block& block) {
  int n = 0;
  Block::for_each_array(block, [&](const char*, const auto& table) {
    using T = typename std::remove_cvref_t<decltype(table)>::value_type;
    const auto bytes = table.bytes();
    for (std::size_t k = 0; k < table.count; ++k) {
      bool zero = true;
      for (std::size_t b = 0; b < sizeof(T); ++b) zero = zero && bytes[k * sizeof(T) + b] == std::byte{0};
      n += zero ? 0 : 1;
    }
  });
  return n;
}

TEST(TableLayout, SpaceSentinelsLandOnTheirElements) {
  std::string payload(433862, '\0');
  put_int(payload, 0, 0x01020304, 4);       // point_op_rot(1,1,1)
  put_int(payload, 2588, -2, 4);            // point_op_rot(3,3,72), last of the array
  put_int(payload, 2592, 5, 4);             // lattice_transform(1,1,1,1)
  put_int(payload, 27780, 7, 4);            // setting_transform(2,1,1,1,1)
  put_int(payload, 27776 + 4 * (3 + 4 * 3 + 16 * 1 + 32 * 229 + 7360 * 7), 9, 4);  // setting_transform(4,4,2,230,8)
  put_int(payload, 323644, 16484, 4);       // prim_matrix_code(72,14,4)
  put_int(payload, 323656, 1, 4);           // point_op_proper(3)
  put_int(payload, 325076, 230, 2);         // setting_sg(341)
  put_int(payload, 335086, 341, 2);         // setting_count
  put_int(payload, 335088, 258, 2);         // sg_first_op(1)
  put_int(payload, 337846, -3, 2);          // sg_first_generator(230,5)
  put_int(payload, 338995, 3, 1);           // sg_op_table(1,2)
  put_int(payload, 368989, -5, 1);          // sg_op_table(5,6000)
  put_int(payload, 370014, 50, 1);          // point_op_product(2,1)
  put_int(payload, 375969 + 27, 6, 1);      // lattice_transform_den(2,14)
  put_text(payload, 378845, "Ia-3d   ");    // sg_symbol(230)
  put_text(payload, 378895, "P1        ");  // setting_symbol(1)
  put_text(payload, 388101, "R");           // setting_lattice_letter(341)
  put_text(payload, 394320, "cinter");      // setting_name(2,8)
  put_text(payload, 394350, "cml   ");      // generator_setting_name(1)
  put_int(payload, 433861, 0x7f, 1);        // space_item_62(4,4,2425), last byte of the payload

  TempDir dir;
  write_record_file(dir.path() / "data_space.bin", payload);
  auto s = std::make_unique<CommonSpace>();
  load_table_block(dir.slash(), "data_space.bin", *s);

  EXPECT_EQ(s->point_op_rot(1, 1, 1), 0x01020304);
  EXPECT_EQ(s->point_op_rot(3, 3, 72), -2);
  EXPECT_EQ(s->lattice_transform(1, 1, 1, 1), 5);
  EXPECT_EQ(s->setting_transform(2, 1, 1, 1, 1), 7);
  EXPECT_EQ(s->setting_transform(4, 4, 2, 230, 8), 9);
  EXPECT_EQ(s->prim_matrix_code(72, 14, 4), 16484);
  EXPECT_TRUE(s->point_op_proper(3).value);
  EXPECT_FALSE(s->point_op_proper(4).value);
  EXPECT_EQ(s->setting_sg(341), 230);
  EXPECT_EQ(s->setting_count(), 341);
  EXPECT_EQ(s->sg_first_op(1), 258);
  EXPECT_EQ(s->sg_first_generator(230, 5), -3);
  EXPECT_EQ(s->sg_op_table(1, 2), 3);
  EXPECT_EQ(s->sg_op_table(5, 6000), -5);
  EXPECT_EQ(s->point_op_product(2, 1), 50);
  EXPECT_EQ(s->point_op_product(1, 2), 0);
  EXPECT_EQ(s->lattice_transform_den(2, 14), 6);
  EXPECT_EQ(s->sg_symbol(230).view(), "Ia-3d   ");
  EXPECT_EQ(s->setting_symbol(1).trimmed(), "P1");
  EXPECT_EQ(s->setting_lattice_letter(341).view(), "R");
  EXPECT_EQ(s->setting_name(2, 8).view(), "cinter");
  EXPECT_EQ(s->generator_setting_name(1).trimmed(), "cml");
  EXPECT_EQ(s->space_item_62(4, 4, 2425), 0x7f);
  // Texts count one element per field; everything else stayed zero.
  EXPECT_EQ(nonzero_elements(*s), 21);
}

TEST(TableLayout, WyckoffSentinelsLandOnTheirElements) {
  std::string payload(477926, '\0');
  put_int(payload, 0, 0x7fffffff, 4);       // irrep_wyc_first(1)
  put_int(payload, 195566, 1731, 2);        // wyc_first(230)
  put_int(payload, 350639, 2, 1);           // wyc_matrix_table(4,1,1731)
  put_int(payload, 352383 + 47 + 48 * 151, 72, 1);  // pg_element_list(48,152)
  put_int(payload, 464711, 0x0203, 2);      // pg_list_first(1): an odd offset
  put_int(payload, 464773, -1, 2);          // pg_list_first(32)
  put_int(payload, 464775, 9, 1);           // pg_list_count(1)
  put_text(payload, 476385, "192l ");       // wyc_label(1731)
  put_text(payload, 477922, "zzzz");        // wyckoff_item_20(12,32), end of the payload

  TempDir dir;
  write_record_file(dir.path() / "data_wyckoff.bin", payload);
  auto w = std::make_unique<CommonWyckoff>();
  load_table_block(dir.slash(), "data_wyckoff.bin", *w);

  EXPECT_EQ(w->irrep_wyc_first(1), 0x7fffffff);
  EXPECT_EQ(w->wyc_first(230), 1731);
  EXPECT_EQ(w->wyc_matrix_table(4, 1, 1731), 2);
  EXPECT_EQ(w->pg_element_list(48, 152), 72);
  EXPECT_EQ(w->pg_list_first(1), 0x0203);
  EXPECT_EQ(w->pg_list_first(32), -1);
  EXPECT_EQ(w->pg_list_count(1), 9);
  EXPECT_EQ(w->wyc_label(1731).view(), "192l ");
  EXPECT_EQ(w->wyckoff_item_20(12, 32).view(), "zzzz");
  EXPECT_EQ(nonzero_elements(*w), 9);
}

}  // namespace
}  // namespace sgl
