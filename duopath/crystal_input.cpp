// Reading the title and the two crystal blocks: space group, lattice parameters and atom lines,
// each atom on a Wyckoff position given by its letter and free parameters or by its coordinates.
#include "duopath/crystal_input.hpp"

#include <cmath>
#include <string>

#include "duopath/report_fields.hpp"
#include "duopath/run.hpp"
#include "duopath/unread_text.hpp"
#include "duopath/value_word.hpp"
#include "library/geometry/lattice_metric.hpp"
#include "library/groups/change_setting.hpp"
#include "library/groups/id_wyckoff.hpp"
#include "library/groups/wyckoff_parameters.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/text/bomb.hpp"
#include "library/text/words.hpp"

namespace duopath {

namespace {

constexpr double kDegree = 0.017453292519943295;

// A message followed by the offending line on a line of its own, then the fatal stop.
[[noreturn]] void fail_line(std::string_view message, std::string_view line) {
  sgl::write_line(6, "(a)", {message, trim_right(line)});
  sgl::bomb();
}

// Lengths and coordinates have an upper bound of their own (lengths: kMaxCellLength). A
// coordinate or Wyckoff parameter is a fraction of the cell: beyond a few cells it only repeats a
// smaller one, and the path report writes the parameters of the subgroup's positions, which
// follow from it, in eight columns with five decimals (f8.5), which hold no value from -10 on
// down or from 100 on up.
constexpr double kMaxCoordinate = 10.0;

// Whether the three angles span a cell: the squared height of a unit c above the a-b plane, as
// the Cartesian frame of the crystal computes it, must not vanish (nor be negative).
bool forms_cell(const std::array<double, 6>& p) {
  return sgl::forms_cell(p[3] * kDegree, p[4] * kDegree, p[5] * kDegree, 1e-12);
}

}  // namespace

void Run::read_crystals() {
  std::string title(78, ' ');
  sgl::read_line(5, "(a78)", {title}, {.awaited = "the title line"});
  report("(a)", {trim_right(title)});
  read_crystal_block(1);
  read_crystal_block(2);
}

void Run::read_crystal_block(int crystal) {
  const sgl::CommonSpace& cs = sgl::common_space();
  CrystalInput& input = crystals[static_cast<std::size_t>(crystal - 1)];
  report("(a)", {crystal == 1 ? "First crystal:" : "Second crystal:"});

  // What each read waits for, named when the input ends before it.
  const std::string of_crystal = " of crystal " + std::to_string(crystal);
  const std::string space_group_text = "the space group" + of_crystal;
  const std::string lattice_text = "the lattice parameters" + of_crystal + " (a b c alpha beta gamma)";
  const std::string count_text = "the number of atom lines" + of_crystal;

  int32_t sg = 0;
  sgl::read_free(5, {sg}, {.awaited = space_group_text});
  if (sg < 1 || sg > 230) {
    sgl::write_free(6, {"Error:  invalid space group number ", sg});
    sgl::bomb();
  }
  input.space_group = sg;
  report("(a,i3,1x,a10)", {"  Space group: ", sg,
                           cs.setting_symbol(cs.sg_default_setting(sg)).view()});

  std::array<double, 6>& p = input.lattice;
  p.fill(0.0);
  sgl::read_free(5, {p[0], p[1], p[2], p[3], p[4], p[5]}, {.awaited = lattice_text});
  for (int k = 0; k < 6; ++k) {
    const bool bad = !(p[k] > 0.0) || !std::isfinite(p[k]) || (k >= 3 && p[k] >= 180.0) ||
                     (k < 3 && p[k] >= kMaxCellLength);
    if (bad) {
      sgl::write_free(6, {"Error:  invalid lattice parameter ", p[k]});
      sgl::bomb();
    }
  }
  if (!forms_cell(p)) {
    sgl::write_free(6, {"Error:  lattice angles do not form a cell"});
    sgl::bomb();
  }
  report("(a,6f9.4)", {"  Lattice parameters: ", p[0], p[1], p[2], p[3], p[4], p[5]});

  int32_t count = 0;
  sgl::read_free(5, {count}, {.awaited = count_text});
  input.line_count = count;
  // The lines are stored as they are read: the count sizes nothing, and the input ends early
  // when it holds fewer lines than the count says.
  report("(a)", {"  Number of Wyckoff positions: " + integer_field(count, 3)});
  // Without atoms there is nothing to map; crystal 2 could not even name a type.
  if (count < 1) {
    sgl::write_line(6, "(a,i1)", {"Error: no atoms in crystal ", int32_t{crystal}});
    sgl::bomb();
  }
  input.lines.clear();
  for (int32_t n = 1; n <= count; ++n) read_atom_line(crystal, n, count);
}

void Run::read_atom_line(int crystal, int32_t line_number, int32_t count) {
  const sgl::CommonSpace& cs = sgl::common_space();
  const sgl::CommonWyckoff& cw = sgl::common_wyckoff();
  CrystalInput& input = crystals[static_cast<std::size_t>(crystal - 1)];
  const int32_t sg = input.space_group;

  std::string line(80, ' ');
  const std::string awaited = "atom line " + std::to_string(line_number) + " of " + std::to_string(count) +
                              " of crystal " + std::to_string(crystal);
  sgl::read_line(5, "(a80)", {line}, {.awaited = awaited});
  refuse_text_beyond_words(CommentStyle::word);
  int32_t nw = 0;
  std::array<int32_t, sgl::kMaxWords> lens{};
  std::array<std::string, sgl::kMaxWords> words;
  words.fill(std::string(sgl::kWordLength, ' '));
  sgl::separate_words(line, nw, lens, words);
  for (int32_t k = 1; k <= nw; ++k) {
    if (words[static_cast<std::size_t>(k - 1)][0] == '!') {
      nw = k - 1;
      break;
    }
  }
  const auto word = [&](int k) -> const std::string& { return words[static_cast<std::size_t>(k - 1)]; };
  if (nw == 0) fail_line("Error: insufficient input on line:", line);

  // The type: the first crystal defines the table, the second only looks names up. A name has
  // at most 10 characters; a longer word in the first crystal would be cut to a name that never
  // matches its own word again, so it is refused.
  int32_t type = 0;
  if (crystal == 1) {
    if (lens[0] > static_cast<int32_t>(AtomTypes::kNameLength)) {
      fail_line("Error: atom type longer than 10 characters in line: ", line);
    }
    type = types.find(word(1));
    if (type == 0) type = types.add(word(1));
  } else {
    type = types.find(word(1));
    if (type == 0) {
      sgl::write_line(6, "(a)", {"Error: type of atom in crystal not found in crystal 1"});
      sgl::bomb();
    }
  }
  if (nw == 1) fail_line("Error: insufficient input on line:", line);

  const auto number = [&](int k) {
    double value = 0.0;
    if (!read_real_word(word(k), value)) fail_line("Error: invalid number in line: ", line);
    if (std::fabs(value) > kMaxCoordinate) {
      fail_line("Error: coordinate " + std::string(trim_right(word(k))) +
                    " too large (more than 10 in magnitude) in line: ",
                line);
    }
    return value;
  };

  WyckoffLine entry;
  entry.type = type;
  std::array<double, 3> point{};
  const char first = word(2)[0];
  if (first >= 'a' && first <= 'z') {
    if (lens[1] > 1) fail_line("Error: invalid Wyckoff symbol in line: ", line);
    entry.wyckoff = first - 96;
    if (entry.wyckoff > cw.wyc_count(sg)) fail_line("Error: invalid Wyckoff position in line: ", line);
    if (nw > 5) fail_line("Error: extra data in line: ", line);
    for (int k = 3; k <= nw; ++k) entry.params[static_cast<std::size_t>(k - 3)] = number(k);
    const int32_t global = cw.wyc_first(sg) + entry.wyckoff - 1;
    sgl::WyckoffMatrix w{};
    for (int j = 1; j <= 4; ++j) {
      for (int i = 1; i <= 4; ++i) sgl::m4(w, i, j) = cw.wyc_matrix_table(i, j, global);
    }
    sgl::wyckoff_change_setting(cs, sg, "pml", "cinter", w, w);
    // The numbers go by place: one in a place that the position fixes would otherwise be dropped
    // without a word (O b 0.3819 for 2b (1/3,2/3,z) puts the oxygen onto the zinc).
    const std::string refusal = sgl::fixed_parameter_refusal(
        "Wyckoff position " + std::string(1, wyckoff_letters[static_cast<std::size_t>(entry.wyckoff - 1)]), w,
        entry.params);
    if (!refusal.empty()) fail_line("Error: " + refusal + ", in line: ", line);
    sgl::dget_wyc_xyz(entry.params, w, point);
  } else {
    // A Wyckoff label with its multiplicity (8a, as other programs write it) is no coordinate.
    const std::string_view label = trim_right(word(2));
    if (label.size() >= 2 && label.back() >= 'a' && label.back() <= 'z' &&
        label.find_first_not_of("0123456789") == label.size() - 1) {
      fail_line("Error: invalid Wyckoff symbol " + std::string(label) + " (give the letter alone: " +
                    std::string(1, label.back()) + ") in line: ",
                line);
    }
    if (nw < 4) fail_line("Error: insufficient input on line:", line);
    for (int k = 2; k <= 4; ++k) point[static_cast<std::size_t>(k - 2)] = number(k);
    sgl::id_wyckoff4d(cs, cw, sg, point, "cinter", entry.wyckoff, entry.params);
  }
  input.lines.push_back(entry);

  const std::string head = "  " + types.name(type) + ", Wyckoff position " +
                           wyckoff_letters[static_cast<std::size_t>(entry.wyckoff - 1)] + ", ";
  report("(a,3f10.5,a)", {head, point[0], point[1], point[2], " "});
}

}  // namespace duopath
