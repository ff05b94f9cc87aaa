// Storage and loading of the four mode-analysis table blocks.
#include "vibrex/mode_tables.hpp"

namespace vibrex {

CommonImage& common_image() {
  static CommonImage block;
  return block;
}

CommonIrrep& common_irrep() {
  static CommonIrrep block;
  return block;
}

CommonLittle& common_little() {
  static CommonLittle block;
  return block;
}

CommonIsotropy& common_isotropy() {
  static CommonIsotropy block;
  return block;
}

Tables program_tables() {
  return Tables{sgl::common_space(), sgl::common_wyckoff(), common_image(),
                common_irrep(),      common_little(),       common_isotropy()};
}

void load_mode_tables(std::string_view directory, CommonImage& image, CommonIrrep& irrep, CommonLittle& little,
                      CommonIsotropy& isotropy) {
  sgl::load_table_block(directory, "data_images.bin", image);
  sgl::load_table_block(directory, "data_irreps.bin", irrep);
  sgl::load_table_block(directory, "data_little.bin", little);
  sgl::load_table_block(directory, "data_isotropy.bin", isotropy);
}

}  // namespace vibrex
