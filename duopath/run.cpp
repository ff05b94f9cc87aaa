// The order of the phases of a run, the report convention and the closing lines.
#include "duopath/run.hpp"

#include <utility>

namespace duopath {

Run::Run(RunClock clock) : timer(clock.seconds_of_day), clock_(std::move(clock)) {}

void Run::execute() {
  start_up();
  read_crystals();
  read_keywords();
  prepare_crystals();
  short_vectors();
  sgl::flush(6);
  sgl::flush(kLogUnit);
  reference_energies();
  prepare_rotations();
  search();
  explain_empty_search();
  closing_lines();
}

void Run::report(std::string_view format, std::initializer_list<sgl::OutItem> items) const {
  sgl::write_line(6, format, items);
  sgl::write_line(kLogUnit, format, items);
}

void Run::report_free(std::initializer_list<sgl::OutItem> items) const {
  sgl::write_free(6, items);
  sgl::write_free(kLogUnit, items);
}

void Run::closing_lines() {
  sgl::write_free(6);
  report("(a)", {"---------------------------------------"});
  report("(a)", {"done"});
  sgl::close_unit(kLogUnit);
  sgl::end_run();
}

}  // namespace duopath
