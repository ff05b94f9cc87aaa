// Input lines whose text reaches past the columns that are read.
#include "duopath/unread_text.hpp"

#include <string>

#include "duopath/keyword_line.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"
#include "library/text/words.hpp"

namespace duopath {

namespace {

// The message and the whole line on a line of its own, then the fatal stop.
[[noreturn]] void fail_beyond(std::size_t columns, std::string_view line) {
  sgl::write_line(6, "(a)", {"Error: text beyond column " + std::to_string(columns) +
                                 " (after tabs are expanded) in line: ",
                             trim_right(line)});
  sgl::bomb();
}

}  // namespace

void refuse_text_beyond_words(CommentStyle comment) {
  const std::string line(sgl::last_line_read(5));
  std::string checked = line;
  if (comment == CommentStyle::anywhere) {
    const std::size_t bang = checked.find('!');
    if (bang != std::string::npos) checked.resize(bang);
  }
  if (sgl::first_dropped_column(checked, KeywordLine::kLineLength, comment == CommentStyle::word) != 0) {
    fail_beyond(78, line);
  }
}

void refuse_text_beyond(std::size_t columns) {
  const std::string_view line = sgl::last_line_read(5);
  if (trim_right(line).size() > columns) fail_beyond(columns, line);
}

}  // namespace duopath
