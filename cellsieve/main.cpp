// Program entry point; the run grows as its phases are built. Every run ends through the text
// layer, which writes all pending output and closes every file.
#include "library/text/text_io.hpp"

int main() { sgl::end_run(); }
