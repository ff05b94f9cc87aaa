// vibrex measuring how clearly its double-precision reduction decides the ranks of invariant
// subspaces: the run is the program's, byte for byte; at its end the margins go to the file named
// by the first argument, one line for the reductions that decide a subspace and, with a second
// argument "all", one for the subspaces that single precision decides, each reduced in double
// precision as well, and one comparing the two results:
//   deciding|measured <reductions> <smallest pivot kept> <largest entry dropped>
//   compared <subspaces of another dimension> <largest basis difference where they agree>
// (tools/sweep_vibrex.py --margins collects them over the sweep).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "library/text/text_io.hpp"
#include "vibrex/driver.hpp"

namespace {

vibrex::RankMargins margins;
std::string margins_file;

void write_margins() {
  std::FILE* f = std::fopen(margins_file.c_str(), "w");
  if (f == nullptr) return;
  auto line = [&](const char* what, const vibrex::RankExtremes& e) {
    std::fprintf(f, "%s %lld %.17g %.17g\n", what, static_cast<long long>(e.reductions), e.smallest_pivot,
                 e.largest_dropped);
  };
  line("deciding", margins.deciding);
  if (margins.every_subspace) {
    line("measured", margins.measured);
    std::fprintf(f, "compared %lld %.17g\n", static_cast<long long>(margins.other_dimension),
                 margins.largest_basis_difference);
  }
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  sgl::install_out_of_memory_handler();
  if (argc < 2) {
    std::fprintf(stderr, "usage: vibrex_rank_margins MARGINS_FILE [all] <input\n");
    return 2;
  }
  margins_file = argv[1];
  margins.every_subspace = argc > 2 && std::strcmp(argv[2], "all") == 0;
  std::atexit(write_margins);
  vibrex::run_program(nullptr, &margins);
}
