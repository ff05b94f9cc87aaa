// Input lines whose text reaches past the columns that are read: a value there would be lost
// without a word (a line aligned with tabs, say, pushes its last numbers beyond column 78). Such a
// line stops the run, naming the line and the limit.
#pragma once

#include <cstddef>

namespace duopath {

// How a line read from standard input marks its comment.
enum class CommentStyle {
  word,      // an atom line: a word that begins with "!" and everything after it
  anywhere,  // a keyword or type line: everything from the first "!" on
};

// Stops the run when the line last read from standard input holds, outside its comment, text
// beyond column 78 that none of its words takes.
void refuse_text_beyond_words(CommentStyle comment);

// Stops the run when the line last read from standard input holds text beyond the given column
// (a line that is kept whole at that width).
void refuse_text_beyond(std::size_t columns);

}  // namespace duopath
