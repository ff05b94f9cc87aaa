// Test support: a run state with a structure, built in the test process from the loaded tables
// as the structure input builds it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/groups/change_setting.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "vibrex/run_state.hpp"

namespace vibrex::testing {

struct AtomLine {
  std::string name, label;
  std::array<float, 3> par{};
};

inline void build_structure(VibrexRun& run, int32_t isg, std::array<float, 6> cell,
                            const std::vector<AtomLine>& atoms) {
  const sgl::CommonSpace& cs = run.tables.space;
  const sgl::CommonWyckoff& cw = run.tables.wyckoff;
  run.isg = isg;
  run.lattice = cs.sg_bravais(isg);
  for (int32_t i = 1; i <= 3; ++i) {
    sgl::RationalVector e{0, 0, 0, 1};
    e[static_cast<std::size_t>(i - 1)] = 1;
    sgl::vector_change_setting(cs, isg, "cml", "cinter", e, e);
    for (int32_t r = 1; r <= 3; ++r)
      at3(run.cml_to_cinter, r, i) = static_cast<float>(static_cast<double>(e[static_cast<std::size_t>(r - 1)]) / e[3]);
  }
  run.cell = cell;
  int32_t ierr = 0;
  get_cartesian(cell[0], cell[1], cell[2], cell[3], cell[4], cell[5], run.b, run.binv, ierr);
  ASSERT_EQ(ierr, 0);
  run.atoms.clear();
  for (const AtomLine& line : atoms) {
    AtomType a;
    a.name = line.name;
    a.name.resize(4, ' ');
    const int32_t first = cw.wyc_first(isg);
    for (int32_t w = 1; w <= cw.wyc_count(isg); ++w)
      if (cw.wyc_label(first + w - 1).trimmed() == line.label) a.w = w;
    ASSERT_NE(a.w, 0) << line.label;
    a.wyc = first + a.w - 1;
    for (int j = 1; j <= 4; ++j)
      for (int i = 1; i <= 4; ++i) sgl::m4(a.matrix, i, j) = cw.wyc_matrix_table(i, j, a.wyc);
    for (int j = 1; j <= 4; ++j)
      if (sgl::m4(a.matrix, 4, j) == 0) sgl::m4(a.matrix, 4, j) = 1;
    a.par = line.par;
    a.site_point_group = cw.wyc_site_point_group(a.wyc);
    a.site_order = cs.pg_order(a.site_point_group);
    sgl::wyc_pg_elements(cs, cw, isg, "pml", a.wyc, a.matrix, a.site_ops);
    sgl::wyc_pg_cosets(cs, isg, a.site_order, a.site_ops, a.ncosets, a.cosets);
    run.atoms.push_back(a);
  }
}

}  // namespace vibrex::testing
