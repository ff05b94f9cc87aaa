// The fatal stop of cellsieve and its numbered error messages.
#include "cellsieve/errors.hpp"

#include <string>

#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace cellsieve {

void bomb_handler() { sgl::stop_run("This program has bombed!"); }

std::string error_heading(int32_t code) {
  std::string digits = std::to_string(code);
  while (digits.size() < 3) digits.insert(digits.begin(), '0');
  return (code == 11 || code == 13) ? "Error in " + digits + " cellsieve"
                                    : "Error " + digits + " in cellsieve";
}

void numbered_error(int32_t code, std::initializer_list<std::string_view> lines) {
  sgl::write_free(6, {error_heading(code)});
  for (std::string_view line : lines) sgl::write_free(6, {line});
  sgl::bomb();
}

}  // namespace cellsieve
