// The date line of the banner.
#include "duopath/date_line.hpp"

#include <cstdio>

namespace duopath {

std::string date_line(std::time_t when) {
  static constexpr const char* kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm t{};
  if (localtime_r(&when, &t) == nullptr) t = std::tm{};
  const int weekday = t.tm_wday >= 0 && t.tm_wday < 7 ? t.tm_wday : 0;
  const int month = t.tm_mon >= 0 && t.tm_mon < 12 ? t.tm_mon : 0;
  char text[64];
  std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %4d", kWeekdays[weekday],
                kMonths[month], t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
  return text;
}

}  // namespace duopath
