// How far the search got at each of its steps, over the whole run: the counts that say why a run
// found no path. The counts of the steps the run object already keeps (lattice pairs within the
// strain bounds and completed, complete and accepted mappings) stay there.
#pragma once

#include <algorithm>
#include <cstdint>

#include "duopath/mapping_search.hpp"

namespace duopath {

struct SearchProgress {
  bool table_full = false;  // the search ended at "maxlattices too small"
  // Placements that each limit of the atom-mapping searches refused.
  MappingRefusals mapping_refusals;
  // Complete mappings that the path acceptance refused (path_acceptance.hpp).
  int64_t refused_shuffle = 0;
  int64_t refused_smaller_cell = 0;
  // Accepted paths whose common subgroup lay outside the "subgroup" range, and the lowest and
  // highest of those subgroups.
  int64_t outside_subgroups = 0;
  int32_t lowest_outside = 0;
  int32_t highest_outside = 0;

  void outside_subgroup(int32_t h) {
    lowest_outside = outside_subgroups == 0 ? h : std::min(lowest_outside, h);
    highest_outside = outside_subgroups == 0 ? h : std::max(highest_outside, h);
    ++outside_subgroups;
  }
};

}  // namespace duopath
