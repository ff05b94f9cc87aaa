// The memory a run of cellsieve may use, against which its large tables are checked before they
// are created, so that a run that cannot fit stops with a message instead of failing part way.
#pragma once

namespace cellsieve {

// The physical memory in bytes, or less when the process is limited (address space or data
// segment); infinity when neither is known.
double memory_available();

}  // namespace cellsieve
