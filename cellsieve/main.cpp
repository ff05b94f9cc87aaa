// Program entry point of cellsieve: its own fatal stop first, then the run.
#include "cellsieve/errors.hpp"
#include "cellsieve/run.hpp"
#include "library/text/bomb.hpp"

int main() {
  sgl::set_bomb_handler(&cellsieve::bomb_handler);
  static cellsieve::Run run;
  run.execute();
}
