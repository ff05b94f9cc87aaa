// The wall clock in seconds of the day.
#include "library/text/clock.hpp"

#include <ctime>

#include "library/exact/checked_int.hpp"

namespace sgl {

int32_t seconds_since(int32_t now, int32_t t0) {
  int64_t n = static_cast<int64_t>(now) - t0;
  if (n < 0) n += 86400;
  return narrow32(n, "nsec");
}

int32_t nsec(int32_t t0) {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return seconds_since((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec, t0);
}

}  // namespace sgl
