// The one range check of a space-group number before it indexes the tables.
#include "library/tables/space_group_number.hpp"

#include <string>

#include "library/tables/common_space.hpp"
#include "library/text/bomb.hpp"

namespace sgl {

void check_space_group_number(int32_t space_group, std::string_view routine) {
  if (space_group >= 1 && space_group <= kSpaceGroupCount) return;
  const std::string where = routine.empty() ? "Error:" : "Error in " + std::string(routine) + ":";
  bomb_with_message({where + " space group number out of range:", space_group});
}

}  // namespace sgl
