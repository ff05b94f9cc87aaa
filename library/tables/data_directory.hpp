// The data directory of the programs: the value of the environment variable XTALDIR.
#pragma once

#include <string>

namespace sgl {

// The value of XTALDIR with its trailing blanks removed, at any length; the data file names are
// appended to it without a separator, so it is expected to end with "/". When the variable is
// unset, empty or all blanks, writes "Error:  XTALDIR environment variable not defined" on
// standard output and stops the run.
std::string data_directory();

}  // namespace sgl
