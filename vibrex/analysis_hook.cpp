// The analysis of one k vector. The driver calls it after writing the k-vector header, with the
// structure and the current k vector in the run state.
#include "vibrex/driver.hpp"
#include "vibrex/irrep_analysis.hpp"

namespace vibrex {

void analyse_k_vector(VibrexRun& run) { analyse_irreps(run); }

}  // namespace vibrex
