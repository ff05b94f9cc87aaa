// The program vibrex: irreps of atomic displacements at k vectors.
#include "vibrex/driver.hpp"

int main() { vibrex::run_program(); }
