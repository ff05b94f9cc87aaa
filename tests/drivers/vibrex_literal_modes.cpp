// vibrex with the literal irrep matrices: in the isotropy search and the supercell modes every
// irrep matrix is taken from get_irrep2 at every use instead of once per operator. The tests
// compare its output with the program's, byte for byte.
#include "library/text/text_io.hpp"
#include "tests/vibrex/literal_irrep_matrices.hpp"
#include "vibrex/driver.hpp"

int main() {
  sgl::install_out_of_memory_handler();
  vibrex::testing::LiteralIrrepMatrices literal;
  vibrex::run_program(&literal);
}
