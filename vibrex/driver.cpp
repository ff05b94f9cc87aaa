// The program vibrex: start-up, the k loop and the closing lines.
#include "vibrex/driver.hpp"

#include <cfenv>

#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/tables/data_directory.hpp"
#include "library/text/tab_size.hpp"
#include "library/text/text_io.hpp"

namespace vibrex {

namespace {

const char* const kAsterisks = "***********************************************";

}  // namespace

void set_floating_point_mode() {
  std::fesetround(FE_TONEAREST);
  std::fenv_t env;
  std::feholdexcept(&env);  // clears the flags and masks every exception
}

std::string start_up() {
  sgl::check_tab_size();
  const std::string dir = sgl::data_directory();
  sgl::load_common_space(dir);
  sgl::load_common_wyckoff(dir);
  load_mode_tables(dir, common_image(), common_irrep(), common_little(), common_isotropy());
  validate_mode_tables(program_tables(), dir);
  sgl::write_line(6, "(a)", {"VIBREX, version 1.2.4, January 1999"});
  sgl::write_line(6, "(a)", {"Irreducible representations of atomic displacements at k vectors"});
  sgl::write_line(6, "(a)", {"Group-theory tables of images, irreps, little groups and isotropy subgroups"});
  return dir;
}

void run_program(IrrepMatrixSource* matrices, RankMargins* margins) {
  set_floating_point_mode();
  start_up();
  VibrexRun run(program_tables());
  run.irrep_matrix_source = matrices;
  run.rank_margins = margins;
  read_structure(run);
  // Each k line is read, analysed and reported before the next: nothing is kept per k line, so
  // a count beyond the lines given only meets the end of the input.
  sgl::read_free(5, {run.nk}, sgl::ReadHandling{.awaited = "the number of k vectors"});
  for (int32_t i = 1; i <= run.nk; ++i) {
    read_k_vector(run, i, run.nk);
    sgl::write_line(6, "(a47)", {kAsterisks});
    sgl::write_line(6, "(a50)", {k_vector_line(run)});
    analyse_k_vector(run);
  }
  sgl::write_line(6, "(a47)", {kAsterisks});
  sgl::write_line(6, "(a13)", {"End of output"});
  sgl::end_run();
}

}  // namespace vibrex
