// Runs one of the Python cross-checks of tools/tests/ with Debian's python3, its standard output
// and standard error going to a report file in a fresh temporary directory; returns the exit
// status and the report, and removes the directory.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace testing_support {

struct PythonCheck {
  int status = -1;
  std::string report;
};

// `script` names a file under tools/tests/; `arguments` follow it on the command line as given
// (quoted by the caller where needed).
inline PythonCheck run_python_check(const std::string& script, const std::string& arguments) {
  PythonCheck result;
  char dir_template[] = "/tmp/sgl_check_XXXXXX";
  if (mkdtemp(dir_template) == nullptr) return result;
  const std::string dir = dir_template;
  const std::string report = dir + "/report.txt";
  const std::string command = std::string("/usr/bin/python3 '") + SGL_SOURCE_DIR + "/tools/tests/" +
                              script + "' " + arguments + " >'" + report + "' 2>&1";
  result.status = std::system(command.c_str());
  std::ifstream in(report);
  std::stringstream text;
  text << in.rdbuf();
  result.report = text.str();
  std::remove(report.c_str());
  rmdir(dir.c_str());
  return result;
}

}  // namespace testing_support
