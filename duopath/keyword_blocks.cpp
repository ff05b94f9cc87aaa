// The keywords that read lines of their own: "map" (a prescribed part of the atom mapping) and
// "kelmo", "quanthop" and "madelung" (energy estimates, with data per atom type).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "duopath/report_fields.hpp"
#include "duopath/run.hpp"
#include "duopath/unread_text.hpp"
#include "duopath/value_word.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io_units.hpp"

namespace duopath {

namespace {

// A second block of an energy keyword finds its table already made: an unchecked failure, as
// for an end of input inside a block. Pending output is written, every file closed, two "? "
// lines go to standard error and the run ends with exit status 255.
[[noreturn]] void fail_second_block(std::string_view keyword) {
  sgl::textio::finish_units(false);
  const std::string text = "? Allocation Error:\n? the table of \"" + std::string(keyword) +
                           "\" is already made; the keyword may come once\n";
  [[maybe_unused]] ssize_t n = ::write(2, text.data(), text.size());
  std::_Exit(255);
}

// Largest magnitude of a Madelung point charge, in elementary charges.
constexpr double kMaxCharge = 1000.0;

// A message followed by the line on a line of its own, then the fatal stop.
[[noreturn]] void fail_line(std::string_view message, std::string_view line) {
  sgl::write_line(6, "(a)", {message, line});
  sgl::bomb();
}

// "line n of m of the <keyword> block", what a read of a block waits for.
std::string block_line(int32_t n, int32_t m, std::string_view keyword) {
  return "line " + std::to_string(n) + " of " + std::to_string(m) + " of the " + std::string(keyword) + " block";
}

// A type line of an energy block: words in columns 1 to 78, a comment from "!" on.
std::string read_type_text(std::string_view awaited) {
  std::string text(KeywordLine::kLineLength, ' ');
  sgl::read_line(5, "(a80)", {text}, {.awaited = awaited});
  refuse_text_beyond_words(CommentStyle::anywhere);
  return text;
}

}  // namespace

void Run::keyword_map(const KeywordLine& line) {
  if (settings.map_given) {
    sgl::write_free(6, {"You can only map atoms once!"});
    sgl::bomb();
  }
  if (line.word_count() != 3) line.fail_count();
  const int32_t atom_count = line.integer(2);
  const int32_t lines = line.integer(3);
  settings.atom_map = AtomMap{};
  settings.atom_map.atom_count = atom_count;
  report("(a)", {"Map atoms"});
  settings.map_given = true;
  // Values a map line leaves out (a "/" ends it early) keep those of the line before.
  int32_t i = 0, j = 0, k = 0;
  // The map lines are read as they come: the count sizes nothing. An input that ends before the
  // last of them stops the run, as in the energy blocks: a map cut short would leave its atoms free.
  for (int32_t m = 1; m <= lines; ++m) {
    std::string first80(KeywordLine::kLineLength, ' ');
    const std::string awaited = block_line(m, lines, "map") + " (atom, partner, cell)";
    sgl::read_line(5, "(a80)", {first80}, {.awaited = awaited});
    // A map line is read as a whole, however long, so that no number of it is lost.
    const std::string text(sgl::last_line_read(5));
    if (sgl::read_free_text(text, {i, j, k}, {.error_branch = true}) != sgl::ReadOutcome::ok) {
      sgl::write_free(6, {"syntax error in line: ", trim_right(text)});
      sgl::bomb();
    }
    if (i < 1 || i > atom_count || j < 1 || j > atom_count || k < 0 || k > 27) {
      sgl::write_free(6, {"invalid value for map in line: ", trim_right(text)});
      sgl::bomb();
    }
    settings.atom_map.entries[i] = {j, k};
    report("(a)", {integer_field(i, 4) + integer_field(j, 4) + integer_field(k, 4)});
  }
}

KeywordLine Run::read_type_line(int32_t n, std::string_view keyword, int32_t& type) const {
  KeywordLine line(read_type_text(block_line(n, types.count(), keyword) + " (one line per atom type)"));
  type = types.find(line.word(1));
  if (type == 0) fail_line("Error: invalid type of atom in line: ", line.trimmed_line());
  return line;
}

void Run::keyword_kelmo() {
  settings.use_kelmo = true;
  report("(a)", {"Use KELMO to estimate energy barrier"});
  if (settings.kelmo_table_made) fail_second_block("kelmo");
  settings.kelmo_table_made = true;
  settings.kelmo_electrons.assign(static_cast<std::size_t>(types.count()), {0, 0, 0, 0});
  for (int32_t n = 1; n <= types.count(); ++n) {
    int32_t t = 0;
    const KeywordLine line = read_type_line(n, "kelmo", t);
    std::array<int32_t, 4>& electrons = settings.kelmo_electrons[static_cast<std::size_t>(t - 1)];
    if (electrons[0] != 0) {
      sgl::write_line(6, "(a)", {"Error: atom type ," + std::string(line.trimmed_word(1)) +
                                 " listed more than once"});
      sgl::bomb();
    }
    // The table holds four numbers per type.
    if (line.word_count() > 5) line.fail_count();
    for (int k = 2; k <= line.word_count(); ++k) {
      electrons[static_cast<std::size_t>(k - 2)] = line.integer(k);
    }
    if (electrons[0] == 0) fail_line("Error: no s electrons in line: ", line.trimmed_line());
  }
}

void Run::keyword_quanthop() {
  settings.use_quanthop = true;
  report("(a)", {"Use quanthop to estimate energy barrier"});
  if (settings.quanthop_table_made) fail_second_block("quanthop");
  settings.quanthop_table_made = true;
  settings.quanthop_type_numbers.assign(static_cast<std::size_t>(types.count()), 0);
  for (int32_t n = 1; n <= types.count(); ++n) {
    int32_t t = 0;
    const KeywordLine line = read_type_line(n, "quanthop", t);
    int32_t& number = settings.quanthop_type_numbers[static_cast<std::size_t>(t - 1)];
    if (number != 0) {
      sgl::write_line(6, "(a)", {"Error: atom type ," + std::string(line.trimmed_word(1)) +
                                 " listed more than once"});
      sgl::bomb();
    }
    number = line.integer(2);
  }
  settings.quanthop_extra_lines.clear();
  for (;;) {
    std::string text(KeywordLine::kLineLength, ' ');
    sgl::read_line(5, "(a80)", {text}, {.awaited = "the line \"end\" that closes the quanthop block"});
    // The lines are kept 80 characters wide for the program's input.
    refuse_text_beyond(KeywordLine::kLineLength);
    if (trim_right(text) == "end") break;
    settings.quanthop_extra_lines.push_back(std::move(text));
  }
}

void Run::keyword_madelung() {
  settings.use_madelung = true;
  report("(a)", {"Use madelung energy to estimate energy barrier"});
  if (settings.madelung_table_made) fail_second_block("madelung");
  settings.madelung_table_made = true;
  settings.madelung_charges.assign(static_cast<std::size_t>(types.count()), 0.0);
  for (int32_t n = 1; n <= types.count(); ++n) {
    int32_t t = 0;
    const KeywordLine line = read_type_line(n, "madelung", t);
    // A point charge is a few elementary charges; one beyond kMaxCharge is a slip, and its
    // products in the Ewald sums would leave the range of reals (an energy of NaN).
    const double charge = line.real(2);
    if (std::fabs(charge) > kMaxCharge) line.fail_word(line.word(2));
    settings.madelung_charges[static_cast<std::size_t>(t - 1)] = charge;
  }
}

}  // namespace duopath
