// Structure input: title, space group, lattice and atom types on Wyckoff positions.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "library/geometry/lattice_metric.hpp"
#include "library/exact/arithmetic.hpp"
#include "library/groups/change_setting.hpp"
#include "library/groups/operator_encodings.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "library/groups/wyckoff_parameters.hpp"
#include "library/text/characters.hpp"
#include "library/text/text_io.hpp"
#include "library/text/words.hpp"
#include "vibrex/driver.hpp"
#include "vibrex/input_lines.hpp"

namespace vibrex {

namespace {

using sgl::trim_trailing_blanks;

// The largest Wyckoff parameter accepted. A parameter is a fractional coordinate: a value beyond
// a few cells only repeats a smaller one, and far beyond it the single-precision value has no
// fractional part left (and the folding into the supercell would overflow).
constexpr float kMaxWyckoffParameter = 10.0f;

// A Wyckoff parameter word: free-format reading would take "1/2" as 1 (the slash ends the
// read), "2*0.3" as 0.3 and "0.1,0.2" as 0.1, a silently wrong structure; such words, and values
// that are not finite, are refused, and so are values beyond the bound, naming the word. A word
// that is no number stops the run with the text layer's diagnostic, which names the atom line.
float wyckoff_parameter(std::string_view word, int32_t place) {
  if (word.find_first_of("/*,") != std::string_view::npos) sgl::stop_run("Error:  invalid Wyckoff parameter");
  static const char* const names[3] = {"x", "y", "z"};
  const std::string awaited = std::string("the Wyckoff parameter ") + names[place - 1] + " as a decimal number";
  float v = 0.0f;
  sgl::read_free_text(word, {v}, sgl::ReadHandling{.awaited = awaited, .text_of_unit = 5});
  if (!std::isfinite(v)) sgl::stop_run("Error:  invalid Wyckoff parameter");
  if (std::fabs(v) > kMaxWyckoffParameter) {
    sgl::stop_run("Error:  Wyckoff parameter " + std::string(word) + " out of range -10 to 10");
  }
  return v;
}

// Whether the lattice angles span a cell: the squared height of a unit c above the a-b plane,
// from the angles in double precision, must not vanish (nor be negative).
bool forms_cell(const std::array<float, 6>& p) {
  const double degree = 3.14159265358979323846 / 180.0;
  return sgl::forms_cell(p[3] * degree, p[4] * degree, p[5] * degree, 1e-12);
}

// The bound of lattice lengths: 10000 and more no longer fit the report's columns.
constexpr float kMaxLength = 10000.0f;

// Lengths positive, finite and below 10000, angles strictly between 0 and 180 degrees: anything
// else would fill the report with infinities, NaNs or asterisks.
void check_lattice_parameters(const std::array<float, 6>& p) {
  static const char* const names[6] = {"a", "b", "c", "alpha", "beta", "gamma"};
  for (int k = 0; k < 3; ++k) {
    if (!(p[k] > 0.0f) || !std::isfinite(p[k])) {
      sgl::stop_run(std::string("Error:  invalid lattice parameter ") + names[k] + ": a length must be positive and finite");
    }
    // The report writes lengths and Cartesian components in columns of ten (f10.5).
    if (p[k] >= kMaxLength) {
      sgl::stop_run(std::string("Error:  invalid lattice parameter ") + names[k] + ": a length must be below 10000");
    }
  }
  for (int k = 3; k < 6; ++k) {
    if (!(p[k] > 0.0f && p[k] < 180.0f)) {
      sgl::stop_run(std::string("Error:  invalid lattice parameter ") + names[k] +
                    ": an angle must lie between 0 and 180 degrees");
    }
  }
}

// Whether two lattice lengths are equal, and an angle has a given value, within the precision of
// single-precision input.
bool same_length(float a, float b) { return std::fabs(a - b) <= 1e-5f * std::max(a, b); }
bool angle_is(float angle, float value) { return std::fabs(angle - value) <= 1e-4f; }

// The groups 146, 148, 155, 160, 161, 166 and 167 are described in rhombohedral axes.
bool rhombohedral(int32_t sg) {
  return sg == 146 || sg == 148 || sg == 155 || sg == 160 || sg == 161 || sg == 166 || sg == 167;
}

// The lattice parameters must have the symmetry of the group's lattice system in the setting the
// tables use (monoclinic with unique axis b, rhombohedral groups in rhombohedral axes): the
// operators are applied to the cell as given, and a cell without their symmetry gives positions
// and modes of another structure. Returns the rule broken, or an empty text.
std::string lattice_system_rule(int32_t sg, const std::array<float, 6>& p) {
  const float a = p[0], b = p[1], c = p[2], alpha = p[3], beta = p[4], gamma = p[5];
  const bool right_ab = angle_is(alpha, 90.0f) && angle_is(beta, 90.0f);
  if (sg <= 2) return "";
  if (sg <= 15) {
    if (angle_is(alpha, 90.0f) && angle_is(gamma, 90.0f)) return "";
    return "monoclinic, unique axis b: alpha = gamma = 90";
  }
  if (sg <= 74) {
    if (right_ab && angle_is(gamma, 90.0f)) return "";
    return "orthorhombic: alpha = beta = gamma = 90";
  }
  if (sg <= 142) {
    if (same_length(a, b) && right_ab && angle_is(gamma, 90.0f)) return "";
    return "tetragonal: a = b, alpha = beta = gamma = 90";
  }
  if (rhombohedral(sg)) {
    if (same_length(a, b) && same_length(a, c) && angle_is(alpha - beta, 0.0f) && angle_is(alpha - gamma, 0.0f)) return "";
    std::string rule =
        "rhombohedral axes: a = b = c, alpha = beta = gamma; from hexagonal axes aH, cH: "
        "a = sqrt(aH^2/3 + cH^2/9), sin(alpha/2) = 3 aH / (2 sqrt(3 aH^2 + cH^2))";
    if (same_length(a, b) && right_ab && angle_is(gamma, 120.0f)) {
      // Hexagonal axes given: the rhombohedral parameters they stand for.
      const double ah = a, ch = c;
      const double ar = std::sqrt(ah * ah / 3.0 + ch * ch / 9.0);
      const double half = std::asin(3.0 * ah / (2.0 * std::sqrt(3.0 * ah * ah + ch * ch)));
      rule += "; these hexagonal axes give a = " + sgl::value_text("(f10.5)", ar) +
              ", alpha = " + sgl::value_text("(f10.5)", 2.0 * half * 180.0 / 3.14159265358979323846);
    }
    return rule;
  }
  if (sg <= 194) {
    if (same_length(a, b) && right_ab && angle_is(gamma, 120.0f)) return "";
    return "hexagonal axes: a = b, alpha = beta = 90, gamma = 120";
  }
  if (same_length(a, b) && same_length(a, c) && right_ab && angle_is(gamma, 90.0f)) return "";
  return "cubic: a = b = c, alpha = beta = gamma = 90";
}

// The atoms of a type in the primitive cell: its representative point, for the parameters, carried
// by each coset representative; fractional coordinates of "pml" in double precision.
std::vector<std::array<double, 3>> atom_points(const VibrexRun& run, const AtomType& atom) {
  const sgl::CommonSpace& cs = run.tables.space;
  std::vector<std::array<double, 3>> points;
  for (int32_t q = 0; q < atom.ncosets; ++q) {
    const sgl::SpaceOp& op = atom.cosets[static_cast<std::size_t>(q)];
    std::array<double, 3> x{};
    for (int c = 1; c <= 4; ++c) {
      const sgl::RationalVector column{sgl::m4(atom.matrix, 1, c), sgl::m4(atom.matrix, 2, c), sgl::m4(atom.matrix, 3, c),
                                       sgl::m4(atom.matrix, 4, c)};
      sgl::RationalVector v{};
      sgl::vrot(cs, run.lattice, op[4], column, v);
      if (c == 1) sgl::vadd(v, {op[0], op[1], op[2], op[3]}, v);
      const double scale = c == 1 ? 1.0 : static_cast<double>(atom.par[static_cast<std::size_t>(c - 2)]);
      for (int r = 0; r < 3; ++r) x[static_cast<std::size_t>(r)] += scale * v[static_cast<std::size_t>(r)] / v[3];
    }
    points.push_back(x);
  }
  return points;
}

// Two atoms at one point (two types on the same position with the same parameters, or parameters
// that put a position's point on a symmetry element, so that its orbit folds onto itself) would
// be analysed as two atoms with the site symmetry of their position, a wrong count of modes; such
// a structure is refused, naming the two atom lines. Points within 0.001 of a cell edge in every
// coordinate, modulo the lattice, count as one.
void refuse_coincident_atoms(const VibrexRun& run) {
  constexpr double kSamePoint = 0.001;
  struct Placed {
    std::size_t type;
    std::array<double, 3> x;
  };
  std::vector<Placed> atoms;
  for (std::size_t t = 0; t < run.atoms.size(); ++t) {
    for (const auto& x : atom_points(run, run.atoms[t])) atoms.push_back({t, x});
  }
  for (std::size_t a = 0; a < atoms.size(); ++a) {
    for (std::size_t b = 0; b < a; ++b) {
      bool same = true;
      for (int r = 0; r < 3 && same; ++r) {
        const double d = atoms[a].x[static_cast<std::size_t>(r)] - atoms[b].x[static_cast<std::size_t>(r)];
        same = std::fabs(d - std::nearbyint(d)) <= kSamePoint;
      }
      if (!same) continue;
      const AtomType& first = run.atoms[atoms[b].type];
      const AtomType& second = run.atoms[atoms[a].type];
      const sgl::CommonWyckoff& cw = run.tables.wyckoff;
      sgl::stop_run("Error:  two atoms at the same point: " + std::string(trim_trailing_blanks(first.name)) + " " +
                    std::string(cw.wyc_label(first.wyc).trimmed()) + " and " + std::string(trim_trailing_blanks(second.name)) + " " +
                    std::string(cw.wyc_label(second.wyc).trimmed()));
    }
  }
}

// Numbers given in the places of the coordinates that the position fixes must be 0 or those
// coordinates: anything else is a parameter typed in the wrong place (anatase's O 8e, which is
// (0,1/4,z), given as "O 8e 0.0831"), which would otherwise be dropped without a word. The places
// are those of the triple in the setting of the input, "cinter"; `table` is the position's matrix
// as the tables give it (in "pml"), whose zero column denominators mark the fixed places.
void refuse_misplaced_parameters(const VibrexRun& run, const AtomType& atom, const sgl::WyckoffMatrix& table,
                                 std::string_view line) {
  const sgl::CommonWyckoff& cw = run.tables.wyckoff;
  sgl::WyckoffMatrix given_setting{};
  sgl::wyckoff_change_setting(run.tables.space, run.isg, "pml", "cinter", table, given_setting);
  const std::array<double, 3> given{atom.par[0], atom.par[1], atom.par[2]};
  const std::string refusal = sgl::fixed_parameter_refusal(cw.wyc_label(atom.wyc).trimmed(), given_setting, given);
  if (!refusal.empty()) sgl::stop_run("Error:  " + refusal + on_line(line));
}

void read_atom_type(VibrexRun& run, AtomType& atom, int32_t index, int32_t count) {
  const sgl::CommonSpace& cs = run.tables.space;
  const sgl::CommonWyckoff& cw = run.tables.wyckoff;
  const std::string which = line_of("atom line", index, count);
  const std::string line = read_input_line(which);
  sgl::write_line(6, "(a78)", {line});
  refuse_text_beyond_column_78();
  int32_t nw = 0;
  std::array<int32_t, sgl::kMaxWords> lens{};
  std::array<std::string, sgl::kMaxWords> words;
  sgl::separate_words(line, nw, lens, words);
  if (nw < 2) {
    sgl::stop_run("Error:  insufficient input on line: " + named_line(line) + " (" + which +
                  " needs a name and a Wyckoff label)");
  }
  atom.name = words[0].substr(0, 4);
  atom.name.resize(4, ' ');

  const int32_t first = cw.wyc_first(run.isg);
  atom.w = 0;
  for (int32_t w = 1; w <= cw.wyc_count(run.isg); ++w) {
    if (cw.wyc_label(first + w - 1).trimmed() == trim_trailing_blanks(words[1])) {
      atom.w = w;
      break;
    }
  }
  if (atom.w == 0) {
    // The letter alone (as other programs write it) names the position the label ends with.
    const std::string_view word = trim_trailing_blanks(words[1]);
    for (int32_t w = 1; w <= cw.wyc_count(run.isg) && word.size() == 1; ++w) {
      const std::string_view label = cw.wyc_label(first + w - 1).trimmed();
      if (!label.empty() && label.back() == word[0]) {
        sgl::stop_run("Error:  Wyckoff position not in data base: write " + std::string(word) + " as " +
                      std::string(label) + " (multiplicity and letter)");
      }
    }
    sgl::stop_run("Error:  Wyckoff position not in data base");
  }
  atom.wyc = first + atom.w - 1;

  sgl::WyckoffMatrix table{};
  for (int j = 1; j <= 4; ++j)
    for (int i = 1; i <= 4; ++i) sgl::m4(table, i, j) = cw.wyc_matrix_table(i, j, atom.wyc);

  atom.par = {0.0f, 0.0f, 0.0f};
  for (int32_t i = 3; i <= nw && i <= 5; ++i) {
    if (word_cut_short(line, i - 1)) sgl::stop_run("Error:  invalid Wyckoff parameter");
    atom.par[i - 3] = wyckoff_parameter(trim_trailing_blanks(words[i - 1]), i - 2);
  }
  refuse_misplaced_parameters(run, atom, table, line);

  atom.matrix = table;
  for (int j = 1; j <= 4; ++j) {
    if (sgl::m4(atom.matrix, 4, j) == 0) sgl::m4(atom.matrix, 4, j) = 1;
  }

  atom.site_point_group = cw.wyc_site_point_group(atom.wyc);
  atom.site_order = cs.pg_order(atom.site_point_group);
  sgl::wyc_pg_elements(cs, cw, run.isg, "pml", atom.wyc, atom.matrix, atom.site_ops);
  sgl::wyc_pg_cosets(cs, run.isg, atom.site_order, atom.site_ops, atom.ncosets, atom.cosets);
}

}  // namespace

void read_structure(VibrexRun& run) {
  const sgl::CommonSpace& cs = run.tables.space;
  const std::string title = read_input_line("the title");
  sgl::write_line(6, "(a78)", {title});

  sgl::read_free(5, {run.isg}, sgl::ReadHandling{.awaited = "the space group number"});
  // No table is read with a group number outside the tables.
  if (run.isg < 1 || run.isg > sgl::kSpaceGroupCount) {
    sgl::stop_run("Error:  invalid space group " + std::to_string(run.isg));
  }
  sgl::write_line(6, "(a12)", {"Space Group:"});
  sgl::write_line(6, "(i3,1x,a10)", {run.isg, cs.setting_symbol(cs.sg_default_setting(run.isg)).view()});
  run.lattice = cs.sg_bravais(run.isg);

  for (int32_t i = 1; i <= 3; ++i) {
    sgl::RationalVector e{0, 0, 0, 1};
    e[i - 1] = 1;
    sgl::vector_change_setting(cs, run.isg, "cml", "cinter", e, e);
    for (int32_t r = 1; r <= 3; ++r) {
      at3(run.cml_to_cinter, r, i) = store_single(static_cast<double>(e[r - 1]) / static_cast<double>(e[3]));
    }
  }

  auto& p = run.cell;
  sgl::read_free(5, {p[0], p[1], p[2], p[3], p[4], p[5]},
                 sgl::ReadHandling{.awaited = "the lattice parameters a b c alpha beta gamma"});
  sgl::write_line(6, "(a43)", {"Lattice Parameters (a,b,c,alpha,beta,gamma)"});
  sgl::write_line(6, "(6f10.5)", {p[0], p[1], p[2], p[3], p[4], p[5]});
  int32_t ierr = 0;
  check_lattice_parameters(p);
  get_cartesian(p[0], p[1], p[2], p[3], p[4], p[5], run.b, run.binv, ierr);
  // Angles that do not form a cell are the same fault whether or not the single-precision
  // inverse notices it.
  if (ierr != 0 || !forms_cell(p)) sgl::stop_run("Error: invalid lattice parameters");
  const std::string rule = lattice_system_rule(run.isg, p);
  if (!rule.empty()) {
    sgl::stop_run("Error:  lattice parameters do not fit space group " + std::to_string(run.isg) + " (" + rule + ")");
  }

  int32_t ntypes = 0;
  sgl::read_free(5, {ntypes}, sgl::ReadHandling{.awaited = "the number of atom types"});
  // The run state holds 20 atom types; the atom lines are read one by one, so the count only
  // bounds the loop.
  if (ntypes > kMaxAtomTypes) {
    sgl::stop_run("Error:  too many atom types: " + std::to_string(ntypes) + " (at most " +
                  std::to_string(kMaxAtomTypes) + ")");
  }
  // A structure without atoms has no modes to analyse.
  if (ntypes < 1) sgl::stop_run("Error:  no atoms: the number of atom types is " + std::to_string(ntypes));
  sgl::write_line(6, "(a37)", {"Wyckoff position of each type of atom"});
  run.atoms.clear();
  for (int32_t i = 1; i <= ntypes; ++i) {
    run.atoms.emplace_back();
    read_atom_type(run, run.atoms.back(), i, ntypes);
  }
  refuse_coincident_atoms(run);
}

}  // namespace vibrex
