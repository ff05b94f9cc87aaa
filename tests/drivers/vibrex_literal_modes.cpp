// vibrex with the literal supercell modes: every irrep matrix taken from get_irrep2 at every use
// instead of once per operator. The tests compare its output with the program's, byte for byte.
#include "library/text/text_io.hpp"
#include "vibrex/driver.hpp"

int main() {
  sgl::install_out_of_memory_handler();
  vibrex::run_program(vibrex::build_supercell_modes_literal);
}
