// Splits the line given as the first argument (blank-padded to 80 characters) into words and
// writes the word count and the words, one free-format line each.
#include <array>
#include <string>

#include "library/text/text_io.hpp"
#include "library/text/words.hpp"

int main(int argc, char** argv) {
  std::string line = argc > 1 ? argv[1] : "";
  line.resize(80, ' ');
  int32_t nw = 0;
  std::array<int32_t, sgl::kMaxWords> lens{};
  std::array<std::string, sgl::kMaxWords> words;
  sgl::separate_words(line, nw, lens, words);
  sgl::write_free(6, {nw});
  for (int k = 0; k < nw; ++k) sgl::write_free(6, {words[static_cast<std::size_t>(k)]});
  sgl::end_run();
}
