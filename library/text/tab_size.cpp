// The bound on the tab width that TABSIZE may set.
#include "library/text/tab_size.hpp"

#include <string>

#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"
#include "library/text/text_io_units.hpp"

namespace sgl {

void check_tab_size() {
  if (textio::tab_width() <= kMaxTabWidth) return;
  write_line(6, "(a)", {"Error:  TABSIZE environment variable too large (at most " +
                            std::to_string(kMaxTabWidth) + ")"});
  bomb();
}

}  // namespace sgl
