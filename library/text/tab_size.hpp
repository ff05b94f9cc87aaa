// The bound on the tab width that TABSIZE may set, checked by each program at start-up.
#pragma once

namespace sgl {

// The widest tab a run accepts. Real tab widths are a few columns (2, 4, 8, at most 16), and the
// programs read their lines by columns within the first 80, so a tab of more than 1000 columns can
// only be a mistake (a stray variable, a typing slip such as 80000 for 8). The bound keeps such a
// value from turning every tab of the input into a huge run of blanks.
constexpr int kMaxTabWidth = 1000;

// When TABSIZE asks for a tab wider than kMaxTabWidth, writes
// "Error:  TABSIZE environment variable too large (at most 1000)" on standard output and stops
// the run through bomb(), as an unset XTALDIR does. Called at start-up, before any input is read.
void check_tab_size();

}  // namespace sgl
