// Structure input: title, space group, lattice and atom types on Wyckoff positions.
#include <cmath>
#include <string_view>

#include "library/groups/change_setting.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "library/text/text_io.hpp"
#include "library/text/words.hpp"
#include "vibrex/driver.hpp"

namespace vibrex {

namespace {

constexpr int kLineWidth = 78;

std::string read_text_line() {
  std::string line(kLineWidth, ' ');
  sgl::read_line(5, "(a78)", {line});
  return line;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// A Wyckoff parameter word: free-format reading would take "1/2" as 1 (the slash ends the
// read), "2*0.3" as 0.3 and "0.1,0.2" as 0.1, a silently wrong structure; such words, and values
// that are not finite, are refused.
float wyckoff_parameter(std::string_view word) {
  if (word.find_first_of("/*,") != std::string_view::npos) sgl::stop_run("Error:  invalid Wyckoff parameter");
  float v = 0.0f;
  sgl::read_free_text(word, {v});
  if (!std::isfinite(v)) sgl::stop_run("Error:  invalid Wyckoff parameter");
  return v;
}

void read_atom_type(VibrexRun& run, AtomType& atom) {
  const sgl::CommonSpace& cs = run.tables.space;
  const sgl::CommonWyckoff& cw = run.tables.wyckoff;
  const std::string line = read_text_line();
  sgl::write_line(6, "(a78)", {line});
  int32_t nw = 0;
  std::array<int32_t, sgl::kMaxWords> lens{};
  std::array<std::string, sgl::kMaxWords> words;
  sgl::separate_words(line, nw, lens, words);
  if (nw < 2) sgl::stop_run("Error:  insufficient input on line");
  atom.name = words[0].substr(0, 4);
  atom.name.resize(4, ' ');

  const int32_t first = cw.wyc_first(run.isg);
  atom.w = 0;
  for (int32_t w = 1; w <= cw.wyc_count(run.isg); ++w) {
    if (cw.wyc_label(first + w - 1).trimmed() == trimmed(words[1])) {
      atom.w = w;
      break;
    }
  }
  if (atom.w == 0) sgl::stop_run("Error:  Wyckoff position not in data base");
  atom.wyc = first + atom.w - 1;

  for (int j = 1; j <= 4; ++j)
    for (int i = 1; i <= 4; ++i) sgl::m4(atom.matrix, i, j) = cw.wyc_matrix_table(i, j, atom.wyc);
  for (int j = 1; j <= 4; ++j) {
    if (sgl::m4(atom.matrix, 4, j) == 0) sgl::m4(atom.matrix, 4, j) = 1;
  }

  atom.par = {0.0f, 0.0f, 0.0f};
  for (int32_t i = 3; i <= nw && i <= 5; ++i) atom.par[i - 3] = wyckoff_parameter(trimmed(words[i - 1]));

  atom.site_point_group = cw.wyc_site_point_group(atom.wyc);
  atom.site_order = cs.pg_order(atom.site_point_group);
  sgl::wyc_pg_elements(cs, cw, run.isg, "pml", atom.wyc, atom.matrix, atom.site_ops);
  sgl::wyc_pg_cosets(cs, run.isg, atom.site_order, atom.site_ops, atom.ncosets, atom.cosets);
}

}  // namespace

void read_structure(VibrexRun& run) {
  const sgl::CommonSpace& cs = run.tables.space;
  const std::string title = read_text_line();
  sgl::write_line(6, "(a78)", {title});

  sgl::read_free(5, {run.isg});
  // No table is read with a group number outside the tables.
  if (run.isg < 1 || run.isg > sgl::kSpaceGroupCount) sgl::stop_run("Error:  invalid space group");
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
  sgl::read_free(5, {p[0], p[1], p[2], p[3], p[4], p[5]});
  sgl::write_line(6, "(a43)", {"Lattice Parameters (a,b,c,alpha,beta,gamma)"});
  sgl::write_line(6, "(6f10.5)", {p[0], p[1], p[2], p[3], p[4], p[5]});
  int32_t ierr = 0;
  get_cartesian(p[0], p[1], p[2], p[3], p[4], p[5], run.b, run.binv, ierr);
  if (ierr != 0) sgl::stop_run("Error: invalid lattice parameters");

  int32_t ntypes = 0;
  sgl::read_free(5, {ntypes});
  // The run state holds 20 atom types.
  if (ntypes > kMaxAtomTypes) sgl::stop_run("Error:  too many atom types");
  sgl::write_line(6, "(a37)", {"Wyckoff position of each type of atom"});
  run.atoms.clear();
  for (int32_t i = 1; i <= ntypes; ++i) {
    run.atoms.emplace_back();
    read_atom_type(run, run.atoms.back());
  }
}

}  // namespace vibrex
