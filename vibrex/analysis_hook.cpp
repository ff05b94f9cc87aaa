// The analysis of one k vector. The driver calls it after writing the k-vector header, with the
// structure and the current k vector in the run state; the irrep report is not built yet, so it
// writes nothing.
#include "vibrex/driver.hpp"

namespace vibrex {

void analyse_k_vector(VibrexRun& run) { static_cast<void>(run); }

}  // namespace vibrex
