// The keyword lines: the loop up to the end of input and the keywords of one line each.
#include <string>

#include "duopath/report_fields.hpp"
#include "duopath/run.hpp"
#include "duopath/unread_text.hpp"
#include "duopath/value_word.hpp"
#include "library/text/bomb.hpp"

namespace duopath {

void Run::read_keywords() {
  settings = KeywordSettings{};
  settings.type_max_shuffle.assign(static_cast<std::size_t>(types.count()), 1e9);
  settings.type_min_distance.assign(static_cast<std::size_t>(types.count()), 0.0);
  counters = RunCounters{};
  read_keyword_lines();
  check_size();
}

// The largest size depends on "dim2", which may come before or after the "size" line, so it is
// checked once every keyword has been read. A larger size could never be searched: crystal 1's
// list would outgrow its capacity. With a given lattice the list holds three vectors, but the walk
// over the sizes and the room kept for the subgroup orbits of a path (atoms times the largest
// size) grow with it, so the same bound holds.
void Run::check_size() const {
  const int32_t largest = settings.dim2 ? kLargestSizeDim2 : kLargestSize;
  if (settings.max_size <= largest) return;
  const std::string limit = settings.dim2 ? "the largest size allowed with dim2 is " + std::to_string(largest)
                                          : "the largest size allowed is " + std::to_string(largest);
  sgl::write_line(6, "(a)", {"Error: cell size " + std::to_string(settings.max_size) + " too large (" + limit +
                                 ") in line: ",
                             settings.size_line});
  sgl::bomb();
}

void Run::read_keyword_lines() {
  for (;;) {
    std::string text(KeywordLine::kLineLength, ' ');
    if (sgl::read_line(5, "(a80)", {text}, {.end_branch = true}) == sgl::ReadOutcome::end) return;
    refuse_text_beyond_words(CommentStyle::anywhere);
    const KeywordLine line(std::move(text));
    if (line.blank()) continue;
    const std::string_view keyword = line.trimmed_word(1);
    if (keyword == "strain") {
      keyword_strain(line);
    } else if (keyword == "size") {
      keyword_size(line);
    } else if (keyword == "bonds") {
      keyword_bonds(line);
    } else if (keyword == "bonds2") {
      keyword_bonds2(line);
    } else if (keyword == "shuffle") {
      keyword_shuffle(line);
    } else if (keyword == "neighbor") {
      keyword_neighbor(line);
    } else if (keyword == "trace") {
      keyword_trace(line);
    } else if (keyword == "subgroup") {
      keyword_subgroup(line);
    } else if (keyword == "samevolume") {
      settings.same_volume = true;
      report("(a)", {"Adjust lattice parameters of crystal 2 to remove volume strain"});
    } else if (keyword == "lattice") {
      keyword_lattice(line);
    } else if (keyword == "output") {
      keyword_output(line);
    } else if (keyword == "dim2") {
      settings.dim2 = true;
      report("(a)", {"2-Dimensional Crystals"});
    } else if (keyword == "map") {
      keyword_map(line);
    } else if (keyword == "kelmo") {
      keyword_kelmo();
    } else if (keyword == "quanthop") {
      keyword_quanthop();
    } else if (keyword == "madelung") {
      keyword_madelung();
    } else {
      line.fail_unknown();
    }
  }
}

void Run::keyword_strain(const KeywordLine& line) {
  settings.min_strain = line.real(2);
  settings.max_strain = line.real(3);
  // Stretches are positive, and a vector of crystal 2 is a candidate only when its length lies
  // strictly between the two bounds times its partner's: bounds that are negative, equal or
  // swapped select nothing.
  if (settings.min_strain < 0.0 || !(settings.min_strain < settings.max_strain)) line.fail_count();
  // The echo shows both bounds in g8.3, which has no room for the sign of a negative zero.
  if (!sgl::fits_field("(g8.3)", settings.min_strain)) line.fail_word(line.word(2));
  if (!sgl::fits_field("(g8.3)", settings.max_strain)) line.fail_word(line.word(3));
  report("(a,g8.3)", {"Minimum strain: ", settings.min_strain});
  report("(a,g8.3)", {"Maximum strain: ", settings.max_strain});
}

void Run::keyword_size(const KeywordLine& line) {
  const int32_t first = line.integer(2);
  if (line.word_count() > 2) {
    const int32_t last = line.integer(3);
    settings.min_size = first;
    settings.max_size = last;
  } else {
    settings.max_size = first;
  }
  // No cell has a size below 1, and a range that ends below its start holds none.
  if (settings.min_size < 1 || settings.max_size < 1 || settings.min_size > settings.max_size) line.fail_count();
  settings.size_line = std::string(line.trimmed_line());
  report("(a,i3)", {"Minimum size of unit cell: ", settings.min_size});
  report("(a,i3)", {"Maximum size of unit cell: ", settings.max_size});
}

void Run::keyword_bonds(const KeywordLine& line) {
  if (line.word_count() != 2) line.fail_count();
  settings.bond_length = line.real(2);
  if (settings.bond_length < 0.0) line.fail_count();  // a length: no bond is shorter than 0
  if (!sgl::fits_field("(f10.2)", settings.bond_length)) line.fail_word(line.word(2));
  settings.bonds_given = true;
  report("(a,f10.2)", {"Conserve bonds of length less than ", settings.bond_length});
}

void Run::keyword_bonds2(const KeywordLine& line) {
  if (line.word_count() != 5) line.fail_count();
  if (settings.bond_case_count + 1 > kMaxBondCases) {
    sgl::write_free(6, {"Error: too many bond cases"});
    sgl::bomb();
  }
  std::array<int32_t, 2> case_types{};
  for (int k = 2; k <= 3; ++k) {
    case_types[static_cast<std::size_t>(k - 2)] =
        line.trimmed_word(k) == "*" ? 0 : line.type(k, types);
  }
  // The count sizes per-pair tables of the search and is echoed in two columns.
  const int32_t neighbors = line.integer(4);
  if (neighbors < 0 || neighbors > 99) line.fail_word(line.word(4));
  double change = line.real(5);
  if (change < 0.0) line.fail_count();  // no bond changes by less than nothing
  if (change >= 100.0) change = static_cast<double>(99.99f);

  const std::size_t c = static_cast<std::size_t>(settings.bond_case_count);
  settings.bond_case_count += 1;
  settings.bond_case_types[c] = case_types;
  settings.bond_case_neighbors[c] = neighbors;
  settings.bond_neighbor_total += neighbors;
  settings.bond_case_max_change[c] = change;
  report("(a)", {"Constrain change in length of bond from " + std::string(line.trimmed_word(2)) +
                 " to nearest " + std::string(line.trimmed_word(3)) + " neighbors"});
  report("(2x,a,i2)", {"Number of nearest neighbors: ", neighbors});
  report("(2x,a,f5.2)", {"Maximum change in bond length: ", change});
}

void Run::keyword_shuffle(const KeywordLine& line) {
  const double value = line.real(2);
  if (value < 0.0) line.fail_count();  // a distance: no atom moves less than nothing
  if (!sgl::fits_field("(f5.2)", value)) line.fail_word(line.word(2));  // the echo's field
  if (line.word_count() == 2) {
    settings.shuffle_given = true;
    settings.max_shuffle = value;
    report("(a,f5.2)", {"Constrain shuffle to ", value});
  } else {
    const int32_t t = line.type(3, types);
    settings.shuffle_given = true;
    settings.type_max_shuffle[static_cast<std::size_t>(t - 1)] = value;
    report("(a,f5.2,a)", {"Constrain shuffle to ", value, " for " + std::string(line.trimmed_word(3))});
  }
}

void Run::keyword_neighbor(const KeywordLine& line) {
  const bool per_type = line.word_count() > 2;
  const int32_t t = per_type ? line.type(3, types) : 0;
  const std::string_view written = line.trimmed_word(2);
  const bool percent = !written.empty() && written.back() == '%';
  double value = 0.0;
  if (!read_real_word(percent ? written.substr(0, written.size() - 1) : written, value)) {
    line.fail_word(line.word(2));
  }
  if (value < 0.0) line.fail_count();  // a distance, or a percentage of one
  if (!sgl::fits_field(percent ? "(f8.1)" : "(f8.3)", value)) line.fail_word(line.word(2));  // the echo's field
  settings.min_distance_percent = percent;
  if (per_type) {
    settings.type_min_distance[static_cast<std::size_t>(t - 1)] = value;
  } else {
    settings.min_distance = value;
  }
  const std::string for_type = per_type ? " for " + std::string(line.trimmed_word(3)) : "";
  if (percent) {
    report("(a,f8.1,a)", {"Minimum distance between atoms: ", value, "%" + for_type});
  } else if (per_type) {
    report("(a,f8.3,a)", {"Minimum distance between atoms: ", value, for_type});
  } else {
    report("(a,f8.3)", {"Minimum distance between atoms: ", value});
  }
}

void Run::keyword_trace(const KeywordLine& line) {
  report("(a)", {"Trace progress of program"});
  settings.trace = true;
  if (line.word_count() != 2) return;
  const std::string_view sub = line.trimmed_word(2);
  if (sub == "lattice1") {
    settings.trace_lattice1 = true;
    counters.trial_list_number = 0;
  } else if (sub == "lattice2") {
    settings.trace_lattice2 = true;
    counters.tried_pair_count = 0;
  } else if (sub == "map") {
    settings.trace_map = true;
  }
}

void Run::keyword_subgroup(const KeywordLine& line) {
  settings.min_subgroup = line.integer(2);
  settings.max_subgroup = line.integer(3);
  // The bounds are space-group numbers, 1 to 230, the first not above the last.
  if (settings.min_subgroup < 1 || settings.max_subgroup > 230 || settings.min_subgroup > settings.max_subgroup) {
    line.fail_count();
  }
  // The first number has two columns; a number from 100 on takes the three it needs.
  report("(a)", {"Select subgroups " + integer_field(settings.min_subgroup, 2) + " through " +
                 integer_field(settings.max_subgroup, 3)});
}

void Run::keyword_output(const KeywordLine& line) {
  if (line.word_count() == 1) line.fail_count();
  const std::string_view what = line.trimmed_word(2);
  if (what == "atoms") {
    settings.output_atoms = true;
    report("(a)", {"Output atomic positions"});
  } else if (what == "map") {
    settings.output_map = true;
    report("(a)", {"Output mapping of atoms"});
  } else {
    line.fail_unknown();
  }
}

}  // namespace duopath
