// Program entry point: one run of duopath, from start-up to its closing lines.
#include "duopath/run.hpp"

int main() {
  duopath::Run run;
  run.execute();
}
