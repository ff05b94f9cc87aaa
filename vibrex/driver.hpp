// The program vibrex: start-up, structure input, the k loop and the closing lines.
#pragma once

#include <string>

#include "vibrex/run_state.hpp"

namespace vibrex {

// Rounding to nearest in double precision, every floating-point exception masked.
void set_floating_point_mode();

// The data directory, the six table blocks (loaded into the program's blocks and validated) and
// the three banner lines. Returns the data directory.
std::string start_up();

// Reads the structure: title, space group, lattice, atom types on Wyckoff positions; writes
// their report lines. Input errors stop the run with their message.
void read_structure(VibrexRun& run);

// Reads k line `index` of `count` and builds the current k vector from it (label, parameters, k,
// kc); stops on input errors, on parameters whose k vector needs a superlattice of more than 64
// cells, on a k vector the tables do not cover and on parameters that give a special point.
void read_k_vector(VibrexRun& run, int32_t index, int32_t count);

// The k-vector line: "k vector", the label, "=" and kc as "(a,b,c)", 50 characters.
std::string k_vector_line(const VibrexRun& run);

// The analysis of one k vector, run after its header.
void analyse_k_vector(VibrexRun& run);

// The whole run: start-up, structure, the k loop, "End of output"; ends the process. The irrep
// matrices come from the run's cache, or from `matrices` when a test driver gives its own; a
// measuring driver may give a collector of the isotropy search's rank margins.
[[noreturn]] void run_program(IrrepMatrixSource* matrices = nullptr, RankMargins* margins = nullptr);

}  // namespace vibrex
