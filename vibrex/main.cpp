// Program entry point; the run grows as its phases are built. Memory that cannot be obtained is
// the text layer's fatal failure from the start; every run ends through the text layer, which
// writes all pending output and closes every file.
#include "library/text/text_io.hpp"

int main() {
  sgl::install_out_of_memory_handler();
  sgl::end_run();
}
