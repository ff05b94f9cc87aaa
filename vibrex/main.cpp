// The program vibrex: irreps of atomic displacements at k vectors. Memory that cannot be obtained
// is the text layer's fatal failure from the start.
#include "library/text/text_io.hpp"
#include "vibrex/driver.hpp"

int main() {
  sgl::install_out_of_memory_handler();
  vibrex::run_program();
}
