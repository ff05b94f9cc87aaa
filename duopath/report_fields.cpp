// The fields of the report lines.
#include "duopath/report_fields.hpp"

#include "library/text/text_io.hpp"

namespace duopath {

bool fits_field(std::string_view format, double value) {
  return sgl::value_text(format, value).find('*') == std::string::npos;
}

std::string integer_field(int64_t value, int width) {
  const std::string digits = std::to_string(value);
  const auto w = static_cast<std::size_t>(width);
  return std::string(digits.size() <= w ? w - digits.size() : 1, ' ') + digits;
}

}  // namespace duopath
