// Program entry point of cellsieve: memory that cannot be obtained is the text layer's fatal
// failure from the start; then its own fatal stop, then the run.
#include "cellsieve/errors.hpp"
#include "cellsieve/run.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

int main() {
  sgl::install_out_of_memory_handler();
  sgl::set_bomb_handler(&cellsieve::bomb_handler);
  static cellsieve::Run run;
  run.execute();
}
