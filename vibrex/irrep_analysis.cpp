// The irrep analysis of one k vector and its report.
#include "vibrex/irrep_analysis.hpp"

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/groups/space_group.hpp"
#include "library/text/bomb.hpp"
#include "library/text/characters.hpp"
#include "library/text/text_io.hpp"
#include "vibrex/constants.hpp"
#include "vibrex/driver.hpp"
#include "vibrex/input_lines.hpp"
#include "vibrex/isotropy.hpp"
#include "vibrex/real_irrep.hpp"
#include "vibrex/report_columns.hpp"
#include "vibrex/single_precision.hpp"
#include "vibrex/stars.hpp"
#include "vibrex/supercell_modes.hpp"
#include "vibrex/tensors.hpp"

namespace vibrex {

namespace {

const char* const kAsterisks = "***********************************************";
const char* const kHyphens = "------------------------------------------";

using sgl::trim_trailing_blanks;

// The stored irrep of a little irrep where one is required.
int32_t required_irrep(const Tables& t, int32_t l) {
  const int32_t irrep = t.little.little_irrep_to_irrep(l);
  if (irrep == 0) {
    sgl::write_free(6, {"Error: no stored irrep for little irrep ", l});
    sgl::bomb();
  }
  return irrep;
}

// The zone-centre direction of a k line of at least three words: word 2 names a line through
// the origin with one parameter. jdir 0 when the line gives none.
struct Direction {
  int32_t jdir = 0;
  std::array<float, 3> zone{};
  Polarization pol;
};

Direction zone_direction(const VibrexRun& run) {
  Direction d;
  const KVectorState& kv = run.kv;
  if (kv.nw <= 2) return d;
  const CommonLittle& lt = run.tables.little;
  const int32_t lat = run.lattice;
  for (int32_t j = 1; j <= lt.kvec_count(lat) && d.jdir == 0; ++j)
    if (lt.kvec_label(j, lat).trimmed() == trim_trailing_blanks(kv.words[1])) d.jdir = j;
  if (d.jdir == 0) {
    sgl::stop_run("Error:  k vector not in data base: " + std::string(trim_trailing_blanks(kv.words[1])) + on_line(kv.line));
  }
  if (lt.kvec_parameter_count(d.jdir, lat) != 1) sgl::stop_run("Error: invalid direction of longitudinal mode");
  sgl::RationalVector dv{};
  for (int32_t r = 1; r <= 4; ++r) {
    dv[static_cast<std::size_t>(r - 1)] = lt.kvec_matrix(r, 2, d.jdir, lat);
    if (lt.kvec_matrix(r, 1, d.jdir, lat) != 0 && r != 4)
      sgl::stop_run("Error: invalid direction of longitudinal mode");
  }
  kvector_change_setting(run.tables.space, run.isg, "pml", "cinter", dv, dv);
  double norm = 0.0;
  for (int32_t i = 1; i <= 3; ++i) {
    float s = 0.0f;
    for (int32_t m = 1; m <= 3; ++m)
      s = store_single(wide(s) + wide(at3(run.binv, m, i)) * static_cast<double>(dv[static_cast<std::size_t>(m - 1)]));
    d.zone[static_cast<std::size_t>(i - 1)] = s;
    norm += wide(s) * wide(s);
  }
  const float len = store_single(std::sqrt(store_single(norm)));
  for (float& z : d.zone) z = store_single(wide(z) / wide(len));
  int32_t ierr = 0;
  polarize(run.tables, run.isg, d.jdir, d.pol, ierr);
  if (ierr != 0) sgl::bomb();
  return d;
}

// The order-parameter direction and superlattice of one irrep from the isotropy table.
void tabulated_isotropy(const Tables& t, int32_t irrep, int32_t dim, ModeRequest& req) {
  const CommonIsotropy& iso = t.isotropy;
  const int32_t first = iso.isotropy_irrep_first(irrep), end = iso.isotropy_irrep_first(irrep + 1);
  std::vector<IsotropyCandidate> rows;
  for (int32_t e = first; e < end; ++e) {
    IsotropyCandidate c;
    c.p = t.image.opd_parameter_count(iso.isotropy_opd(e));
    sgl::Mat3i s{};
    for (int j = 1; j <= 3; ++j)
      for (int i = 1; i <= 3; ++i) sgl::m3(s, i, j) = iso.isotropy_superlattice(i, j, e);
    c.det = sgl::ndet(s);
    const int32_t pg = t.space.sg_point_group(iso.isotropy_sg(e));
    c.order = t.space.pg_order(pg);
    for (int32_t g = 1; g <= 5; ++g)
      if (t.space.pg_generators(g, pg) == 25 || t.space.pg_generators(g, pg) == 61) c.inversion = 1;
    rows.push_back(c);
  }
  int32_t minpar = 0;
  const int32_t chosen = choose_isotropy(rows, minpar);
  if (chosen == 0) sgl::bomb();
  const int32_t e = first + chosen - 1;
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) sgl::m3(req.superlattice, i, j) = iso.isotropy_superlattice(i, j, e);
  const int32_t o = iso.isotropy_opd(e);
  if (t.image.opd_dimension(o) != dim) sgl::bomb();
  req.nvec = minpar;
  req.opd_basis.assign(static_cast<std::size_t>(kBasisLead) * static_cast<std::size_t>(std::max(minpar, 1)), 0.0f);
  int32_t at = t.image.opd_vector_start(o);
  for (int32_t p = 1; p <= minpar; ++p)
    for (int32_t c = 1; c <= dim; ++c)
      req.opd_basis[static_cast<std::size_t>((p - 1) * kBasisLead + c - 1)] =
          constant(t.image.opd_vector_component(at++));
}

void write_block(const VibrexRun& run, int32_t m, int32_t l, int32_t irrep, int32_t dim, const ModeRequest& req,
                 const SupercellModes& sc, bool longitudinal_line, const Direction& dir) {
  const Tables& t = run.tables;
  const ZoneCentreCounts& zc = zone_centre_counts();
  const int32_t trans = zc.trans_mode_count[static_cast<std::size_t>(m - 1)];
  const int32_t raman = zc.raman_flag[static_cast<std::size_t>(m - 1)];
  const int32_t modecount = static_cast<int32_t>(sc.modes.size());
  sgl::write_line(6, "(a47)", {kAsterisks});
  sgl::write_line(6, "(a6,a8,3x,a4)",
                  {"Irrep ", t.little.little_irrep_label(l).view(),
                   t.irrep.irrep_second_label(irrep == 0 ? kIrrepCount : irrep).view()});
  sgl::write_line(6, "(a12,i2)", {"Degeneracy: ", dim});
  const int32_t total = dim * modecount / req.nvec;
  sgl::write_line(6, total_line_format(total), {"Total number of modes: ", total});
  if (trans != 0) {
    sgl::write_line(6, "(a14,i1,a20)", {"These include ", dim * trans, " translational modes"});
    sgl::write_line(6, "(a9)", {"IR active"});
  }
  if (raman != 0) sgl::write_line(6, "(a12)", {"Raman active"});
  sgl::write_line(6, "(a)", {"Vectors defining superlattice"});
  for (int c = 1; c <= 3; ++c)
    sgl::write_line(6, "(3f10.5)", {at3(sc.vectors, 1, c), at3(sc.vectors, 2, c), at3(sc.vectors, 3, c)});
  sgl::write_line(6, "(a)", {"atom  type   position"});
  for (std::size_t a = 0; a < sc.atoms.size(); ++a) {
    const SupercellAtom& atom = sc.atoms[a];
    sgl::write_line(6, atom_line_format(static_cast<int32_t>(a + 1)),
                    {static_cast<int32_t>(a + 1), run.atoms[static_cast<std::size_t>(atom.type - 1)].name,
                     atom.position[0], atom.position[1], atom.position[2]});
  }
  if (longitudinal_line) {
    sgl::write_line(
        6, "(a33,a2,a11)",
        {"Modes are longitudinal along the ", t.little.kvec_label(dir.jdir, run.lattice).view(), " direction,"});
    sgl::write_line(6, "(3f10.5)", {dir.zone[0], dir.zone[1], dir.zone[2]});
  }
  sgl::write_line(6, "(a15)", {"Symmetry modes:"});
  if (trans != 0)
    sgl::write_line(6, "(a22,i1,a20)", {"The following include ", trans * req.nvec, " translational modes"});
  sgl::write_line(6, "(a25)", {"atom  type   displacement"});
  for (const std::vector<float>& mode : sc.modes) {
    sgl::write_line(6, "(a42)", {kHyphens});
    for (std::size_t a = 0; a < sc.atoms.size(); ++a) {
      const float* d = mode.data() + 3 * a;
      if (ncmp(d[0]) == 0 && ncmp(d[1]) == 0 && ncmp(d[2]) == 0) continue;
      sgl::write_line(6, atom_line_format(static_cast<int32_t>(a + 1)),
                      {static_cast<int32_t>(a + 1), run.atoms[static_cast<std::size_t>(sc.atoms[a].type - 1)].name,
                       d[0], d[1], d[2]});
    }
  }
}

}  // namespace

ZoneCentreCounts& zone_centre_counts() {
  static ZoneCentreCounts c;
  return c;
}

void count_zone_centre_modes(const Tables& t, int32_t isg, const sgl::RationalVector& kpar, ZoneCentreCounts& counts) {
  int32_t nop = 0;
  std::array<sgl::SpaceOp, sgl::kMaxGroupOps> ops{};
  sgl::generate_space_group(t.space, isg, nop, ops);
  std::array<float, sgl::kMaxGroupOps> chiv{};
  for (int32_t g = 0; g < nop; ++g) {
    int32_t tr = 0;
    for (int i = 1; i <= 3; ++i) tr += t.space.point_op_rot(i, i, ops[static_cast<std::size_t>(g)][4]);
    chiv[static_cast<std::size_t>(g)] = static_cast<float>(tr);
  }
  const int32_t nslot = t.little.little_irrep_count(1, isg);
  if (nslot > kMaxSlots) sgl::bomb();
  int32_t total = 0;
  for (int32_t m = 1; m <= nslot; ++m) {
    const int32_t l = t.little.little_irrep_number(m, 1, isg);
    if (l == 0) continue;
    float s = 0.0f;
    for (int32_t g = 0; g < nop; ++g) {
      float chi = 0.0f;
      RealMatrix unused{};
      int32_t error = 0;
      get_irrep2(t, 1, l, ops[static_cast<std::size_t>(g)], kpar, chi, unused, error);
      if (error != 0) sgl::bomb();
      s = store_single(wide(s) + wide(chiv[static_cast<std::size_t>(g)]) * wide(chi));
    }
    const float x = store_single(wide(s) / static_cast<double>(nop));
    const long long n = std::llround(wide(x));
    if (ncmp(store_single(wide(x) - static_cast<double>(n))) != 0 || n < 0) sgl::bomb();
    int32_t count = static_cast<int32_t>(n);
    if (t.little.little_irrep_reality(l) != 1) count /= 2;
    counts.trans_mode_count[static_cast<std::size_t>(m - 1)] = count;
    total += t.little.little_irrep_dimension(l) * count;
  }
  if (total != 3) sgl::bomb();
  static constexpr std::array<int32_t, 4> kSymmetricPair{2, 1, 2, 0};
  for (int32_t m = 1; m <= nslot; ++m) {
    const int32_t l = t.little.little_irrep_number(m, 1, isg);
    if (l == 0) continue;
    int32_t mult = 0, nind = 0;
    std::vector<float> basis;
    std::vector<int32_t> ind;
    tensor_basis(t, required_irrep(t, l), 1, 2, kSymmetricPair, mult, basis, nind, ind);
    counts.raman_flag[static_cast<std::size_t>(m - 1)] = mult;
  }
}

int32_t choose_isotropy(std::span<const IsotropyCandidate> entries, int32_t& minpar) {
  int32_t chosen = 0, bestdet = 100, bestorder = 0, bestinv = 0;
  minpar = 100;
  for (std::size_t e = 0; e < entries.size(); ++e) {
    const IsotropyCandidate& c = entries[e];
    if (c.p > minpar) continue;
    minpar = c.p;
    const bool wins = c.det < bestdet || (c.det == bestdet && c.order > bestorder) ||
                      (c.det == bestdet && c.order == bestorder && c.inversion == 1 && bestinv == 0);
    if (!wins) continue;
    chosen = static_cast<int32_t>(e + 1);
    bestdet = c.det;
    bestorder = c.order;
    bestinv = c.inversion;
  }
  return chosen;
}

std::array<float, 3> transverse_direction(int32_t dim, const std::array<float, 3>& c) {
  if (dim == 2) return {-c[1], c[0], 0.0f};
  if (dim != 3) sgl::bomb();
  for (int32_t a = 0; a < 3; ++a) {
    if (ncmp(c[static_cast<std::size_t>(a)]) == 0) {
      std::array<float, 3> v{};
      v[static_cast<std::size_t>(a)] = 1.0f;
      return v;
    }
  }
  return {-c[1], c[0], 0.0f};
}

void analyse_irreps(VibrexRun& run) {
  const Tables& t = run.tables;
  const KVectorState& kv = run.kv;
  Direction dir;
  ZoneCentreCounts& zc = zone_centre_counts();
  if (kv.j == 1) {
    dir = zone_direction(run);
    count_zone_centre_modes(t, run.isg, kv.kpar, zc);
  } else {
    zc = ZoneCentreCounts{};
  }
  const int32_t nslot = t.little.little_irrep_count(kv.j, run.isg);
  if (nslot > kMaxSlots) sgl::bomb();
  for (int32_t m = 1; m <= nslot; ++m) {
    const int32_t l = t.little.little_irrep_number(m, kv.j, run.isg);
    if (l == 0) continue;
    const int32_t irrep = t.little.little_irrep_to_irrep(l);
    const int32_t reality = t.little.little_irrep_reality(l);
    const int32_t dim = t.little.little_irrep_dimension(l);
    int32_t pos = 0;
    if (kv.j == 1 && dir.jdir != 0)
      for (int32_t n = 1; n <= dir.pol.nlong && pos == 0; ++n)
        if (dir.pol.lirr[static_cast<std::size_t>(n - 1)] == l) pos = n;
    const bool lflag = pos != 0;
    const int32_t passes = lflag && dim >= 2 && reality == 1 ? 2 : 1;
    for (int32_t pass = 0; pass < passes; ++pass) {
      // Site test: some type's site irrep reaches the irrep.
      bool reached = false;
      for (const AtomType& at : run.atoms) {
        for (int32_t r = 1; r <= t.wyckoff.pg_irrep_count(at.site_point_group) && !reached; ++r)
          reached = site_irrep_reached(t, l, irrep, kv.npar, at.w, at.site_point_group, r);
        if (reached) break;
      }
      if (!reached) break;
      ModeRequest req;
      req.l = l;
      req.irrep = irrep;
      if (kv.npar == 0) {
        tabulated_isotropy(t, required_irrep(t, l), dim, req);
      } else {
        int32_t ndim = 0, nops = 0;
        std::vector<sgl::SpaceOp> ops;
        find_isotropy_subgroup(t, l, kv.kpar, ndim, req.opd_basis, req.superlattice, nops, ops, &run.irrep_matrices(),
                               run.rank_margins);
        req.nvec = ndim;
      }
      if (reality == 1) req.nvec = 1;
      // An order-parameter direction without a vector has no modes to report.
      if (req.nvec < 1) sgl::bomb();
      if (lflag && reality == 1) {
        const std::array<float, 3>& c = dir.pol.coef[static_cast<std::size_t>(pos - 1)];
        const std::array<float, 3> v = pass == 0 ? c : transverse_direction(dim, c);
        for (int32_t a = 1; a <= dim; ++a)
          req.opd_basis[static_cast<std::size_t>(a - 1)] = v[static_cast<std::size_t>(a - 1)];
      }
      SupercellModes sc;
      build_supercell_modes(run, req, sc);
      refuse_unprintable_coordinates(sc.vectors, sc.atoms,
                                     ", irrep " + std::string(t.little.little_irrep_label(l).trimmed()) + on_line(kv.line));
      write_block(run, m, l, irrep, dim, req, sc, lflag && pass == 0, dir);
    }
  }
}

}  // namespace vibrex
