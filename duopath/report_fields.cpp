// The fields of the report lines.
#include "duopath/report_fields.hpp"

namespace duopath {

std::string integer_field(int64_t value, int width) {
  const std::string digits = std::to_string(value);
  const auto w = static_cast<std::size_t>(width);
  return std::string(digits.size() <= w ? w - digits.size() : 1, ' ') + digits;
}

}  // namespace duopath
