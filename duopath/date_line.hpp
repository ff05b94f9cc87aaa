// The date line of the banner: local date and time in 24 characters, the layout of ctime without
// its line end ("Thu Dec 10 09:05:03 2026"), with English names whatever the locale.
#pragma once

#include <ctime>
#include <string>

namespace duopath {

std::string date_line(std::time_t when);

}  // namespace duopath
