// Start-up of a program that uses the shared data tables: the data directory from XTALDIR, then
// "data_space.bin" and, with the argument "both", "data_wyckoff.bin". Writes one line after each
// block that loaded.
#include <string_view>

#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/tables/data_directory.hpp"
#include "library/text/text_io.hpp"

int main(int argc, char** argv) {
  const std::string dir = sgl::data_directory();
  sgl::load_common_space(dir);
  sgl::write_free(6, {"space loaded, setting_count", int32_t{sgl::common_space().setting_count()}});
  if (argc > 1 && std::string_view(argv[1]) == "both") {
    sgl::load_common_wyckoff(dir);
    sgl::write_free(6, {"wyckoff loaded, wyc_count(230)", int32_t{sgl::common_wyckoff().wyc_count(230)}});
  }
  sgl::end_run();
}
