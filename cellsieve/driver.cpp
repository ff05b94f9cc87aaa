// The run of cellsieve from start-up to its end, and the preferred settings of its space groups.
#include <cfenv>
#include <cmath>
#include <string>

#include "cellsieve/run.hpp"
#include "library/tables/data_directory.hpp"
#include "library/text/bomb.hpp"
#include "library/text/tab_size.hpp"
#include "library/text/text_io.hpp"

namespace cellsieve {

void inter_replace(sgl::CommonSpace& space, int32_t entry) {
  if (entry < 1 || entry > space.setting_count()) {
    sgl::write_free(6, {"Error in inter_replace:  setting entry " + std::to_string(entry) +
                            " outside the table"});
    sgl::bomb();
  }
  const int32_t sg = space.setting_sg(entry);
  space.sg_default_setting(sg) = static_cast<int16_t>(entry);
  space.sg_first_generator(sg, 2) = space.setting_first_generator(entry);
  for (int k = 1; k <= 2; ++k)
    for (int j = 1; j <= 4; ++j)
      for (int i = 1; i <= 4; ++i)
        space.setting_transform(i, j, k, sg, 1) = space.setting_entry_transform(i, j, k, entry);
}

void apply_preferred_settings(sgl::CommonSpace& space) {
  for (int32_t e = 1; e <= space.setting_count(); ++e) {
    const int cls = space.setting_inter_class(e);
    if ((cls == 1 || cls == 3) && space.setting_inter_flag(e) == 1) inter_replace(space, e);
  }
}

void Run::open_log(std::string_view path) { sgl::open_unit(kLogUnit, path, "", "FORMATTED"); }

void Run::start() {
  std::fesetround(FE_TONEAREST);
  deg_to_rad = 4.0 * std::atan(1.0) / 180.0;
  rad_to_deg = 1.0 / deg_to_rad;
  groups_found = 0;
  tables.allocate_init();
  open_log();
  for (int unit : {6, kLogUnit}) sgl::write_line(unit, "(a)", {"cellsieve, Version 1.0-8, August 2003"});
  sgl::check_tab_size();
  xtaldir = sgl::data_directory();
  sgl::load_common_space(xtaldir);
  apply_preferred_settings(sgl::common_space());
  zero_tol = 1e-10;
  read_point_ops(xtaldir, sgl::common_space(), ops);
}

void Run::execute() {
  start();
  input_dialogue();
  search_groups();
  write_summary();
  sgl::end_run();
}

}  // namespace cellsieve
