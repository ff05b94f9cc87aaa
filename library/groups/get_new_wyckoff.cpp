// The splitting of a Wyckoff orbit of a space group into the orbits of a subgroup.
#include "library/groups/get_new_wyckoff.hpp"

#include <algorithm>
#include <cstddef>
#include <unordered_map>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/exact/checked_int.hpp"
#include "library/exact/row_operations.hpp"
#include "library/groups/get_new_fractionals.hpp"
#include "library/groups/operator_encodings.hpp"
#include "library/groups/space_group.hpp"
#include "library/groups/wyckoff_orbits.hpp"
#include "library/tables/common_space.hpp"
#include "library/tables/common_wyckoff.hpp"
#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace sgl {

namespace {

constexpr const char* kRoutine = "get_new_wyckoff";

RationalVector column(const WyckoffMatrix& w, int j) {
  return {m4(w, 1, j), m4(w, 2, j), m4(w, 3, j), m4(w, 4, j)};
}

void set_column(WyckoffMatrix& w, int j, const RationalVector& v) {
  for (int i = 1; i <= 4; ++i) m4(w, i, j) = v[static_cast<std::size_t>(i - 1)];
}

bool has_direction(const WyckoffMatrix& w, int j) {
  return m4(w, 1, j) != 0 || m4(w, 2, j) != 0 || m4(w, 3, j) != 0;
}

struct MatrixHash {
  std::size_t operator()(const WyckoffMatrix& w) const {
    std::size_t h = 1469598103934665603ull;
    for (int32_t v : w) h = (h ^ static_cast<std::size_t>(static_cast<uint32_t>(v))) * 1099511628211ull;
    return h;
  }
};

// The shifts tried when naming an orbit: components from 0, 1, -1 (27 shifts, (0, 0, 0) first),
// then, as a last resort, the further shifts with components up to 3 in magnitude in the same
// order of values.
std::vector<std::array<int32_t, 3>> naming_shifts() {
  std::vector<std::array<int32_t, 3>> out;
  for (int32_t limit : {1, 3}) {
    static constexpr int32_t kValues[] = {0, 1, -1, 2, -2, 3, -3};
    const int n = 2 * limit + 1;
    for (int a = 0; a < n; ++a)
      for (int b = 0; b < n; ++b)
        for (int c = 0; c < n; ++c) {
          std::array<int32_t, 3> s{kValues[a], kValues[b], kValues[c]};
          if (limit == 3 && std::max({std::abs(s[0]), std::abs(s[1]), std::abs(s[2])}) <= 1)
            continue;
          out.push_back(s);
        }
  }
  return out;
}

}  // namespace

void get_new_wyckoff(const CommonSpace& cs, const CommonWyckoff& cw, int32_t group,
                     int32_t subgroup, const Mat3i& basis, const RationalVector& origin,
                     int32_t wyckoff, int32_t& new_count, std::span<int32_t> new_wyckoff,
                     std::span<WyckoffRelation> relation, int32_t maxnewcount,
                     GetNewWyckoffTrace* trace) {
  GetNewWyckoffTrace sizes;
  check_space_group_number(group, kRoutine);
  check_space_group_number(subgroup, kRoutine);
  if (maxnewcount < 0 || new_wyckoff.size() < static_cast<std::size_t>(maxnewcount) ||
      relation.size() < static_cast<std::size_t>(maxnewcount))
    bomb();

  // 1. The map from H coordinates to G coordinates and its inverse: x_H = (R' x_G + t') / d'.
  OpMatrix t{};
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) m4(t, i, j) = narrow32(mul64(origin[3], m3(basis, i, j), kRoutine), kRoutine);
  for (int i = 1; i <= 4; ++i) m4(t, i, 4) = origin[static_cast<std::size_t>(i - 1)];
  OpMatrix inv;
  matinv4(t, inv);
  Mat3i rinv;
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) m3(rinv, i, j) = m4(inv, i, j);
  const int32_t dinv = m4(inv, 4, 4);
  const RationalVector tinv{m4(inv, 1, 4), m4(inv, 2, 4), m4(inv, 3, 4), dinv};

  // 2. The old orbit and the coset translations of H's lattice.
  int32_t np = 0;
  std::array<WyckoffMatrix, kMaxGroupOps> orbit{};
  get_wyckoff_all(cs, cw, group, wyckoff, np, orbit);
  const int64_t nt64 = std::llabs(static_cast<int64_t>(ndet(basis)));
  std::vector<RationalVector> shifts(static_cast<std::size_t>(nt64));
  int32_t nt = 0;
  get_new_fractionals(basis, nt, shifts);

  // 3. The images of the atoms in H coordinates, translation outer, position inner.
  const std::size_t natoms = static_cast<std::size_t>(nt) * static_cast<std::size_t>(np);
  std::vector<WyckoffMatrix> image(natoms);
  std::vector<int32_t> label(natoms, 0);
  std::unordered_map<WyckoffMatrix, std::size_t, MatrixHash> index_of;
  index_of.reserve(natoms * 2);
  for (int32_t f = 0; f < nt; ++f) {
    for (int32_t p = 0; p < np; ++p) {
      const WyckoffMatrix& w = orbit[static_cast<std::size_t>(p)];
      WyckoffMatrix& im = image[static_cast<std::size_t>(f) * np + p];
      RationalVector pt;
      vadd(column(w, 1), shifts[static_cast<std::size_t>(f)], pt);
      vmlt(rinv, pt.data(), pt.data());
      pt[3] = narrow32(mul64(pt[3], dinv, kRoutine), kRoutine);
      vadd(pt, tinv, pt);
      reduc1(pt);
      set_column(im, 1, pt);
      for (int j = 2; j <= 4; ++j) {
        RationalVector d = column(w, j);
        vmlt(rinv, d.data(), d.data());
        d[3] = narrow32(mul64(d[3], dinv, kRoutine), kRoutine);
        reduc2(d);
        set_column(im, j, d);
      }
      index_of.try_emplace(im, static_cast<std::size_t>(f) * np + p);
    }
  }

  // 4. H's operators.
  int32_t nh = 0;
  std::array<SpaceOp, kMaxGroupOps> hops{};
  generate_space_group(cs, subgroup, nh, hops);
  const int32_t lh = cs.sg_bravais(subgroup);

  // 5. The orbits under H.
  struct Orbit {
    std::size_t representative;
    int32_t point_group;
    std::vector<int> used;  // used parameter columns of the representative (2 .. 4)
  };
  std::vector<Orbit> orbits;
  for (std::size_t a = 0; a < natoms; ++a) {
    if (label[a] != 0) continue;
    const int32_t k = static_cast<int32_t>(orbits.size()) + 1;
    if (k > maxnewcount) {
      write_free(6, {kMaxNewCountTooSmall});
      write_free(6, {maxnewcount});
      bomb();
    }
    label[a] = k;
    Orbit o{a, 0, {}};
    const WyckoffMatrix& rep = image[a];
    for (int j = 2; j <= 4; ++j)
      if (has_direction(rep, j)) o.used.push_back(j);
    int64_t key = cs.point_op_key(hops[0][4]);
    for (int32_t j = 1; j < nh; ++j) {
      const SpaceOp& op = hops[static_cast<std::size_t>(j)];
      WyckoffMatrix im;
      RationalVector v;
      vrot(cs, lh, op[4], column(rep, 1), v);
      vadd(v, {op[0], op[1], op[2], op[3]}, v);
      reduc1(v);
      set_column(im, 1, v);
      for (int c = 2; c <= 4; ++c) {
        vrot(cs, lh, op[4], column(rep, c), v);
        set_column(im, c, v);
      }
      const auto found = index_of.find(im);
      if (found == index_of.end()) bomb();
      const std::size_t b = found->second;
      if (label[b] != 0 && label[b] != k) bomb();
      label[b] = k;
      if (b == a) key += cs.point_op_key(op[4]);
    }
    for (int32_t pg = 1; pg <= kPointGroupCount && o.point_group == 0; ++pg)
      if (cs.point_group_key(pg) == key) o.point_group = pg;
    if (o.point_group == 0) bomb();
    orbits.push_back(std::move(o));
  }

  // 6. Naming.
  static const std::vector<std::array<int32_t, 3>> kShifts = naming_shifts();
  const int32_t first = cw.wyc_first(subgroup);
  for (std::size_t ko = 0; ko < orbits.size(); ++ko) {
    const Orbit& o = orbits[ko];
    const int32_t k = static_cast<int32_t>(ko) + 1;
    const int nu = static_cast<int>(o.used.size());
    WyckoffRelation& out = relation[ko];
    bool named = false;
    // The 27 small shifts over all positions first; the wider ones only when none fits.
    for (int stage = 0; stage < 2 && !named; ++stage) {
      for (int32_t w = 1; w <= cw.wyc_count(subgroup) && !named; ++w) {
        const int32_t g = first + w - 1;
        if (cw.wyc_site_point_group(g) != o.point_group) continue;
        WyckoffMatrix wm;
        for (int j = 1; j <= 4; ++j)
          for (int i = 1; i <= 4; ++i) m4(wm, i, j) = cw.wyc_matrix_table(i, j, g);
        for (int j = 1; j <= 4; ++j)
          if (m4(wm, 4, j) == 0) m4(wm, 4, j) = 1;
        RationalVector base = column(wm, 1);
        reduc1(base);
        std::vector<int> wused;
        for (int j = 2; j <= 4; ++j)
          if (has_direction(wm, j)) wused.push_back(j);
        const int nw = static_cast<int>(wused.size());
        if (nu > nw) continue;
        const std::size_t s_begin = stage == 0 ? 0 : 27;
        const std::size_t s_end = stage == 0 ? 27 : kShifts.size();
        for (std::size_t si = s_begin; si < s_end && !named; ++si) {
          RationalVector wp = base;
          for (int i = 0; i < 3; ++i)
            wp[static_cast<std::size_t>(i)] = narrow32(
                sub64(wp[static_cast<std::size_t>(i)],
                      mul64(kShifts[si][static_cast<std::size_t>(i)], wp[3], kRoutine), kRoutine),
                kRoutine);
          for (std::size_t b = 0; b < natoms && !named; ++b) {
            if (label[b] != k) continue;
            const WyckoffMatrix& im = image[b];
            if (nw == 0) {
              if (std::equal(wp.begin(), wp.end(), im.begin())) {
                new_wyckoff[ko] = w;
                out.fill(0);
                named = true;
              }
              continue;
            }
            // W's point plus its parameters times its directions equals the image's point plus
            // the old parameters times the image's directions, all scaled by D.
            int64_t dd = 1;
            for (int j = 1; j <= 4; ++j) {
              dd = mul64(dd, m4(im, 4, j), kRoutine);
              dd = mul64(dd, j == 1 ? wp[3] : m4(wm, 4, j), kRoutine);
            }
            const int ncol = nw + 1 + nu;
            std::vector<int64_t> e(static_cast<std::size_t>(3 * ncol), 0);
            auto at = [&](int i, int j) -> int64_t& {
              return e[static_cast<std::size_t>((j - 1) * 3 + (i - 1))];
            };
            for (int i = 1; i <= 3; ++i) {
              for (int c = 1; c <= nw; ++c) {
                const int col = wused[static_cast<std::size_t>(c - 1)];
                at(i, c) = mul64(m4(wm, i, col), dd / m4(wm, 4, col), kRoutine);
              }
              at(i, nw + 1) = sub64(mul64(m4(im, i, 1), dd / m4(im, 4, 1), kRoutine),
                                    mul64(wp[static_cast<std::size_t>(i - 1)], dd / wp[3], kRoutine),
                                    kRoutine);
              for (int m = 1; m <= nu; ++m) {
                const int col = o.used[static_cast<std::size_t>(m - 1)];
                at(i, nw + 1 + m) = mul64(m4(im, i, col), dd / m4(im, 4, col), kRoutine);
              }
            }
            auto note_entries = [&] {
              for (int64_t v : e) sizes.largest_equation = std::max(sizes.largest_equation, v < 0 ? -v : v);
            };
            sizes.largest_scale = std::max(sizes.largest_scale, dd);
            note_entries();
            rowop2_64(e, 3, ncol, 3, kRoutine);
            note_entries();
            bool consistent = true;
            for (int i = nw + 1; i <= 3 && consistent; ++i)
              for (int j = 1; j <= ncol; ++j)
                if (at(i, j) != 0) consistent = false;
            if (!consistent) continue;
            new_wyckoff[ko] = w;
            out.fill(0);
            for (int i = 1; i <= nw; ++i) {
              const int q = wused[static_cast<std::size_t>(i - 1)] - 1;
              if (at(i, i) == 0) bomb();
              rel(out, 1, q) = at(i, nw + 1);
              for (int m = 1; m <= nu; ++m)
                rel(out, o.used[static_cast<std::size_t>(m - 1)], q) = at(i, nw + 1 + m);
              rel(out, 5, q) = at(i, i);
              if (at(i, i) < 0)
                for (int r = 1; r <= 5; ++r) rel(out, r, q) = sub64(0, rel(out, r, q), kRoutine);
            }
            for (int64_t v : out) sizes.largest_relation = std::max(sizes.largest_relation, v < 0 ? -v : v);
            named = true;
          }
        }
      }
      if (named && stage == 1) ++sizes.wide_shifts;
    }
    if (!named) bomb();
  }
  new_count = static_cast<int32_t>(orbits.size());
  if (trace != nullptr) *trace = sizes;
}

}  // namespace sgl
