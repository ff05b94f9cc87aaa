// The memory a run of cellsieve may use.
#include "cellsieve/memory_available.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <limits>

namespace cellsieve {

double memory_available() {
  double bytes = std::numeric_limits<double>::infinity();
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages > 0 && page_size > 0) bytes = static_cast<double>(pages) * static_cast<double>(page_size);
  for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
    rlimit limit{};
    if (getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
      bytes = std::min(bytes, static_cast<double>(limit.rlim_cur));
  }
  return bytes;
}

}  // namespace cellsieve
