// Site-symmetry operators, coset representatives and orbits of Wyckoff positions.
#include "library/groups/wyckoff_orbits.hpp"

#include <string>

#include "library/exact/arithmetic.hpp"
#include "library/text/bomb.hpp"
#include "library/groups/change_setting.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/groups/operator_encodings.hpp"
#include "library/groups/space_group.hpp"
#include "library/text/text_io.hpp"

namespace sgl {

namespace {

// Stops the run with a message naming the routine.
[[noreturn]] void fail(std::string_view routine, std::string_view what) {
  bomb_with_message({std::string("Error in ") + std::string(routine) + ": " + std::string(what)});
}

RationalVector column(const WyckoffMatrix& w, int j) {
  return {m4(w, 1, j), m4(w, 2, j), m4(w, 3, j), m4(w, 4, j)};
}

void set_column(WyckoffMatrix& w, int j, const RationalVector& v) {
  for (int i = 1; i <= 4; ++i) m4(w, i, j) = v[i - 1];
}

RationalVector translation(const SpaceOp& op) { return {op[0], op[1], op[2], op[3]}; }

}  // namespace

void wyc_pg_elements(const CommonSpace& cs, const CommonWyckoff& cw, int32_t space_group,
                     std::string_view setting, int32_t wyc, const WyckoffMatrix& w,
                     std::span<SpaceOp> site_ops) {
  check_space_group_number(space_group, "wyc_pg_elements");
  if (wyc < 1 || wyc > kWyckoffPositionCount) fail("wyc_pg_elements", "Wyckoff index out of range");

  std::array<SpaceOp, kMaxGroupOps> ops;
  int32_t n = 0;
  generate_space_group(cs, space_group, n, ops);
  const int32_t bravais = cs.sg_bravais(space_group);
  // Validation covers the positions inside the groups' runs only: an index outside every run
  // may find anything here.
  const int32_t q = cw.wyc_site_point_group(wyc);
  if (q < 1 || q > kPointGroupCount) fail("wyc_pg_elements", "site point group out of range");
  const int32_t nq = cs.pg_order(q);
  if (site_ops.size() < static_cast<std::size_t>(nq))
    fail("wyc_pg_elements", "result list too short");

  const RationalVector w1 = column(w, 1);
  std::array<SpaceOp, kMaxGroupOps> found;
  int32_t count = 0;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t k = ops[i][4];
    RationalVector u;
    vrot(cs, bravais, k, w1, u);
    vsub(w1, u, u);  // u = W1 - R W1, lowest terms
    RationalVector rest;
    vsub(u, translation(ops[i]), rest);
    if (rest[3] != 1) continue;  // t differs from W1 - R W1 by more than a lattice vector
    bool fixes_directions = true;
    for (int c = 2; c <= 4 && fixes_directions; ++c) {
      if (m4(w, 4, c) == 0) continue;
      RationalVector d = column(w, c);
      RationalVector r;
      vrot(cs, bravais, k, d, r);
      for (int j = 0; j < 3; ++j)
        if (r[j] != d[j]) fixes_directions = false;
    }
    if (!fixes_directions) continue;
    found[count++] = {u[0], u[1], u[2], u[3], k};
  }
  if (count != nq) bomb();

  // Order the site operators by the first element list of the site point group that holds them:
  // place h of the list decides result position h.
  const int32_t first = cw.pg_list_first(q);
  const int32_t lists = cw.pg_list_count(q);
  bool placed = false;
  for (int32_t l = first; l < first + lists && !placed; ++l) {
    std::array<SpaceOp, kMaxGroupOps> ordered;
    bool fits = true;
    for (int32_t h = 1; h <= nq && fits; ++h) {
      const int32_t number = cw.pg_element_list(h, l);
      int32_t s = 0;
      while (s < count && found[s][4] != number) ++s;
      if (s == count)
        fits = false;
      else
        ordered[h - 1] = found[s];
    }
    if (fits) {
      found = ordered;
      placed = true;
    }
  }
  if (!placed) bomb();

  for (int32_t h = 0; h < nq; ++h)
    op_change_setting(cs, space_group, "pml", setting, found[h], site_ops[h]);
}

void wyc_pg_cosets(const CommonSpace& cs, int32_t space_group, int32_t nsite,
                   std::span<const SpaceOp> site_ops, int32_t& ncosets,
                   std::span<SpaceOp> representatives) {
  std::array<SpaceOp, kMaxGroupOps> ops;
  int32_t n = 0;
  generate_space_group(cs, space_group, n, ops);
  if (nsite < 1 || static_cast<std::size_t>(nsite) > site_ops.size())
    fail("wyc_pg_cosets", "number of site operators out of range");
  for (int32_t s = 0; s < nsite; ++s)
    if (site_ops[s][4] < 1 || site_ops[s][4] > kPointOpCount)
      fail("wyc_pg_cosets", "point operation out of range");

  std::array<bool, kMaxGroupOps> marked{};
  int32_t count = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (marked[i]) continue;
    if (representatives.size() <= static_cast<std::size_t>(count))
      fail("wyc_pg_cosets", "result list too short");
    representatives[count++] = ops[i];
    for (int32_t s = 0; s < nsite; ++s) {
      const int32_t k = cs.point_op_product(ops[i][4], site_ops[s][4]);
      int32_t j = 0;
      while (j < n && ops[j][4] != k) ++j;
      if (j == n || marked[j]) bomb();
      marked[j] = true;
    }
  }
  if (static_cast<int64_t>(nsite) * count != n) bomb();
  ncosets = count;
}

void get_wyckoff_all(const CommonSpace& cs, const CommonWyckoff& cw, int32_t space_group, int32_t w,
                     int32_t& npos, std::span<WyckoffMatrix> orbit) {
  check_space_group_number(space_group, "get_wyckoff_all");
  if (w < 1 || w > cw.wyc_count(space_group)) fail("get_wyckoff_all", "Wyckoff index out of range");
  const int32_t k = cw.wyc_first(space_group) + w - 1;

  WyckoffMatrix first;
  for (int j = 1; j <= 4; ++j)
    for (int i = 1; i <= 4; ++i) m4(first, i, j) = cw.wyc_matrix_table(i, j, k);
  for (int j = 1; j <= 4; ++j)
    if (m4(first, 4, j) == 0) m4(first, 4, j) = 1;

  std::array<SpaceOp, kMaxGroupOps> site;
  wyc_pg_elements(cs, cw, space_group, "pml", k, first, site);
  const int32_t nsite = cs.pg_order(cw.wyc_site_point_group(k));
  std::array<SpaceOp, kMaxGroupOps> reps;
  int32_t ncosets = 0;
  wyc_pg_cosets(cs, space_group, nsite, std::span<const SpaceOp>(site.data(), nsite), ncosets,
                reps);
  if (orbit.size() < static_cast<std::size_t>(ncosets))
    fail("get_wyckoff_all", "result list too short");

  const int32_t bravais = cs.sg_bravais(space_group);
  orbit[0] = first;
  for (int32_t m = 1; m < ncosets; ++m) {
    WyckoffMatrix image;
    for (int j = 1; j <= 4; ++j) {
      RationalVector v;
      vrot(cs, bravais, reps[m][4], column(first, j), v);
      set_column(image, j, v);
    }
    RationalVector p = column(image, 1);
    vadd(p, translation(reps[m]), p);
    set_column(image, 1, p);
    orbit[m] = image;
  }
  npos = ncosets;
}

void dget_wyc_xyz(const std::array<double, 3>& x, const WyckoffMatrix& w,
                  std::array<double, 3>& point) {
  std::array<double, 3> r;
  for (int i = 1; i <= 3; ++i)
    r[i - 1] = static_cast<double>(m4(w, i, 1)) / static_cast<double>(m4(w, 4, 1));
  for (int j = 1; j <= 3; ++j) {
    if (m4(w, 4, j + 1) == 0) continue;
    for (int i = 1; i <= 3; ++i)
      r[i - 1] =
          (static_cast<double>(m4(w, i, j + 1)) * x[j - 1]) / static_cast<double>(m4(w, 4, j + 1)) +
          r[i - 1];
  }
  point = r;
}

}  // namespace sgl
