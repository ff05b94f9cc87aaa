// The wall clock in seconds of the day.
#pragma once

#include <cstdint>

namespace sgl {

// Seconds from t0 (a time of day in seconds) to the local time of day now; a negative difference
// (midnight passed since t0) has 86400 added. nsec(0) is the number of seconds since midnight.
int32_t nsec(int32_t t0);

// The same difference for a given time of day `now` (seconds since midnight).
int32_t seconds_since(int32_t now, int32_t t0);

}  // namespace sgl
