// Program entry point: memory that cannot be obtained is the text layer's fatal failure from the
// start; then one run of duopath, from start-up to its closing lines.
#include "duopath/run.hpp"
#include "library/text/text_io.hpp"

int main() {
  sgl::install_out_of_memory_handler();
  duopath::Run run;
  run.execute();
}
