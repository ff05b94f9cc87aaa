// Start-up of a run: floating-point mode, the log, the banner and the data tables.
#include <cfenv>

#include "duopath/date_line.hpp"
#include "duopath/run.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/tables/data_directory.hpp"
#include "library/text/tab_size.hpp"

#ifndef DUOPATH_VERSION
#error "the build defines DUOPATH_VERSION"
#endif

namespace duopath {

void Run::start_up() {
  // Round to nearest in double precision; overflow and invalid operations give infinities and
  // NaNs without a trap.
  std::fesetround(FE_TONEAREST);
  feclearexcept(FE_ALL_EXCEPT);
  fedisableexcept(FE_ALL_EXCEPT);

  wyckoff_letters.clear();
  for (int k = 1; k <= 26; ++k) wyckoff_letters += static_cast<char>(96 + k);
  wyckoff_letters += 'A';

  timer.start();
  path_count = 0;

  sgl::open_unit(kLogUnit, "duopath.log", "UNKNOWN", "FORMATTED");
  report("(a)", {"duopath " DUOPATH_VERSION});
  report("(a)", {"Transition paths between two crystal structures through a common subgroup"});
  report("(a)", {date_line(clock_.wall())});
  report_free({});

  sgl::check_tab_size();
  data_directory = sgl::data_directory();
  sgl::load_common_space(data_directory);
  sgl::load_common_wyckoff(data_directory);
}

}  // namespace duopath
