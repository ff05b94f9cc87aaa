// Runs duopath on the input on standard input, as the program does, and writes every accepted
// mapping to the file named by the first argument: per path the line "path M S N" (mapping
// number after acceptance, path_symmetry_count, common-cell atoms), the Cartesian common cells of
// crystal 1 and of crystal 2 (rotation removed), each as three lines of one cell vector, and one
// line per atom: its crystal-1 type, start and end of stage 2 of common_positions (fractions of
// the common cell). The report goes to standard output as usual.
#include <cstdio>
#include <cstdlib>

#include "duopath/path_acceptance.hpp"
#include "duopath/run.hpp"
#include "library/text/text_io.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: duopath_path_dump FILE <input\n");
    return 2;
  }
  std::FILE* dump = std::fopen(argv[1], "w");
  if (dump == nullptr) return 2;
  sgl::install_out_of_memory_handler();
  duopath::Run run;
  run.on_accepted_path = [dump](const duopath::Run& r, const duopath::PathValues& v) {
    const int32_t n = r.common.common_atom_count;
    std::fprintf(dump, "path %d %d %d\n", r.mapping_number, v.path_symmetry_count, n);
    for (const auto* cell : {&r.pair.cartesian_cell1, &r.pair.cartesian_cell2}) {
      for (int j = 0; j < 3; ++j) {
        std::fprintf(dump, "%.17g %.17g %.17g\n", (*cell)[j * 3], (*cell)[j * 3 + 1], (*cell)[j * 3 + 2]);
      }
    }
    for (int32_t i = 0; i < n; ++i) {
      const auto& a = v.start[static_cast<std::size_t>(i)];
      const auto& b = v.end[static_cast<std::size_t>(i)];
      std::fprintf(dump, "%d %.17g %.17g %.17g %.17g %.17g %.17g\n",
                   r.common.common_types[0][static_cast<std::size_t>(i)], a[0], a[1], a[2], b[0], b[1], b[2]);
    }
    std::fflush(dump);
  };
  run.execute();
}
