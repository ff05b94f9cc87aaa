// Runs duopath's phases on the input on standard input, as the program does up to the end of its
// search (the report goes to standard output), then prints to standard error one line of
// counters: lattice pairs completed, placements and complete mappings of the atom-mapping
// searches, accepted paths, and the wall time of the whole run in seconds.
#include <chrono>
#include <cstdio>

#include "duopath/run.hpp"
#include "library/text/text_io.hpp"

int main() {
  sgl::install_out_of_memory_handler();
  const auto t0 = std::chrono::steady_clock::now();
  duopath::Run run;
  run.start_up();
  run.read_crystals();
  run.read_keywords();
  if (run.prepare_crystals()) {
    run.short_vectors();
    run.reference_energies();
    run.prepare_rotations();
    run.search();
  }
  sgl::flush(6);
  sgl::flush(duopath::Run::kLogUnit);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::fprintf(stderr, "pairs %lld placements %lld complete %lld paths %d seconds %.4f\n",
               static_cast<long long>(run.pairs_completed), static_cast<long long>(run.mapping_placements),
               static_cast<long long>(run.complete_mappings), run.mapping_number, seconds);
  return 0;
}
