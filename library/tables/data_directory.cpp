// The data directory of the programs: the value of the environment variable XTALDIR.
#include "library/tables/data_directory.hpp"

#include <cstdlib>

#include "library/text/bomb.hpp"
#include "library/text/characters.hpp"
#include "library/text/text_io.hpp"

namespace sgl {

std::string data_directory() {
  const char* value = std::getenv("XTALDIR");
  const std::string dir(trim_trailing_blanks(value != nullptr ? value : ""));
  if (dir.empty()) {
    write_line(6, "(a)", {"Error:  XTALDIR environment variable not defined"});
    bomb();
  }
  return dir;
}

}  // namespace sgl
