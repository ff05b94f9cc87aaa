// The candidate groups of a sublattice: the accepted operations combined with the coset
// representatives form a finite element set whose products are found by composing atom
// permutations; every subset closed under these products (and free of pure representative
// translations) is built by adding one element at a time to a known candidate and closing it.
// The candidates are sorted by decreasing order, creation order kept among equals.
//
// Speed without changing results: a product is compared only with the representatives that carry
// atom 1 where the composed action does (every representative with the same whole action is among
// them, so two of them still stop the run); closures work on member lists; the duplicate test
// looks only at candidates with the same hash of their member set.
#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <vector>

#include "cellsieve/errors.hpp"
#include "cellsieve/run.hpp"

namespace cellsieve {

namespace {

uint64_t hash_ints(const int32_t* v, int32_t n) {
  uint64_t h = 1469598103934665603ULL;
  for (int32_t i = 0; i < n; ++i) {
    h ^= static_cast<uint64_t>(static_cast<uint32_t>(v[i])) + 0x9e3779b97f4a7c15ULL;
    h *= 1099511628211ULL;
    h ^= h >> 29;
  }
  return h;
}

}  // namespace

void Run::build_candidates() {
  Search& x = search;
  Tables& t = tables;
  const int32_t ncoset = x.ncoset;
  const int32_t nred = x.nred;
  x.nelem = x.nops * ncoset;
  x.nsubgroups = 0;
  x.members.clear();
  // Without operations, or without the identity among them, there is no group to build.
  if (x.nops == 0 || x.oplist[1] != 1) {
    x.nelem = 0;
    return;
  }
  const int32_t ne = x.nelem;

  // The action of every element on the reduced atoms.
  x.elem_action.assign(static_cast<std::size_t>(ne) * static_cast<std::size_t>(nred), 0);
  for (int32_t o = 1; o <= x.nops; ++o)
    for (int32_t tt = 1; tt <= ncoset; ++tt) {
      const int32_t e = (o - 1) * ncoset + tt;
      for (int32_t n = 1; n <= nred; ++n)
        x.elem_action[static_cast<std::size_t>(e - 1) * nred + (n - 1)] =
            t.rep_image(atoms.opperm(n, x.oplist[o]), t.fract_rep(tt));
    }
  std::array<int32_t, kOpCount + 1> index{};
  for (int32_t o = 1; o <= x.nops; ++o) index[x.oplist[o]] = o;

  // Per accepted operation and atom m: its representatives that carry reduced atom 1 onto m, in
  // increasing order, as chains through next_rep (first_rep(o, m), then next_rep(t), 0 ends).
  // Every representative whose whole action equals a composed action lies in the chain of the
  // image of atom 1, so only those are compared; all of them are, in increasing order.
  const std::size_t width = static_cast<std::size_t>(nred) + 1;
  std::vector<int32_t> first_rep((static_cast<std::size_t>(x.nops) + 1) * width, 0);
  std::vector<int32_t> next_rep(static_cast<std::size_t>(ne) + 1, 0);
  // (Without atoms every action is the empty one: all representatives share the chain of 0.)
  for (int32_t o = 1; o <= x.nops; ++o)
    for (int32_t tt = ncoset; tt >= 1; --tt) {
      const int32_t e = (o - 1) * ncoset + tt;
      int32_t& head = first_rep[static_cast<std::size_t>(o) * width + (nred >= 1 ? x.action(1, e) : 0)];
      next_rep[e] = head;
      head = tt;
    }

  x.elprod.assign(static_cast<std::size_t>(ne) * static_cast<std::size_t>(ne), 0);
  for (int32_t o1 = 1; o1 <= x.nops; ++o1)
    for (int32_t o2 = 1; o2 <= x.nops; ++o2) {
      const int32_t p = ops.op_product(x.oplist[o1], x.oplist[o2]);
      if (p == 0 || index[p] == 0) continue;
      const int32_t o3 = index[p];
      for (int32_t t1 = 1; t1 <= ncoset; ++t1) {
        const int32_t e1 = (o1 - 1) * ncoset + t1;
        const int32_t* a1 = x.elem_action.data() + static_cast<std::size_t>(e1 - 1) * nred;
        for (int32_t t2 = 1; t2 <= ncoset; ++t2) {
          const int32_t e2 = (o2 - 1) * ncoset + t2;
          const int32_t* a2 = x.elem_action.data() + static_cast<std::size_t>(e2 - 1) * nred;
          // The composed action (e2 first, then e1) of atom n is a1[a2[n - 1] - 1].
          int32_t t3 = first_rep[static_cast<std::size_t>(o3) * width + (nred >= 1 ? a1[a2[0] - 1] : 0)];
          for (; t3 != 0; t3 = next_rep[(o3 - 1) * ncoset + t3]) {
            const int32_t e3 = (o3 - 1) * ncoset + t3;
            const int32_t* a3 = x.elem_action.data() + static_cast<std::size_t>(e3 - 1) * nred;
            bool same = true;
            for (int32_t n = 1; n < nred && same; ++n) same = a3[n] == a1[a2[n] - 1];
            if (!same) continue;
            if (x.product(e1, e2) != 0) numbered_error(2);
            x.product(e1, e2) = e3;
          }
        }
      }
    }

  // No product reaches, and no product is formed with, a pure representative translation.
  for (int32_t c = 2; c <= ncoset; ++c)
    for (int32_t e = 1; e <= ne; ++e) {
      x.product(c, e) = 0;
      x.product(e, c) = 0;
    }
  for (int32_t& v : x.elprod)
    if (v >= 2 && v <= ncoset) v = 0;

  // The product looked up for a pair of members, the lower element number first, as a symmetric
  // table whose row for one element is contiguous: pair(a, b) = product(min(a, b), max(a, b)).
  std::vector<int32_t> pair(static_cast<std::size_t>(ne) * static_cast<std::size_t>(ne), 0);
  for (int32_t b = 1; b <= ne; ++b)
    for (int32_t a = 1; a <= b; ++a) {
      const int32_t c = x.product(a, b);
      pair[static_cast<std::size_t>(a - 1) * ne + (b - 1)] = c;
      pair[static_cast<std::size_t>(b - 1) * ne + (a - 1)] = c;
    }
  // Per element a, the bit set of the elements b (itself included) whose pair with a has the
  // product 0: a closure is abandoned as soon as it holds both members of such a pair.
  const std::size_t words = static_cast<std::size_t>(ne) / 64 + 1;
  std::vector<uint64_t> zero_with(static_cast<std::size_t>(ne + 1) * words, 0);
  for (int32_t a = 1; a <= ne; ++a)
    for (int32_t b = 1; b <= ne; ++b)
      if (pair[static_cast<std::size_t>(a - 1) * ne + (b - 1)] == 0)
        zero_with[static_cast<std::size_t>(a) * words + (static_cast<std::size_t>(b) >> 6)] |= uint64_t{1} << (b & 63);
  auto zero_set = [&](int32_t a) { return zero_with.data() + static_cast<std::size_t>(a) * words; };
  auto has = [](const uint64_t* set, int32_t b) { return ((set[b >> 6] >> (b & 63)) & 1U) != 0; };

  // Enumeration from {element 1}.
  //
  // Shortcuts that give the same candidates: a closure is a closure operator (it only grows with
  // its start, and closing a closed set together with more elements is closing all of them at
  // once), and a start is abandoned exactly when its whole closure holds a pair with product 0.
  // So, with s built from its parent p by adding e0 (s = closure(p + e0)):
  // - adding e to s is abandoned when adding e to p, or to any earlier ancestor, was abandoned;
  // - when adding e to p gave the candidate r, adding e to s gives closure(r + e0): r itself when
  //   e0 is in r, else whatever adding e0 to r gave, when that is known already.
  // Both results are existing candidates (so the new one is a duplicate) or abandonments.
  struct Candidate {
    std::vector<int32_t> members;
    std::vector<int32_t> gens;
    int32_t parent = -1;            // the candidate it was built from (index), -1 for {element 1}
    std::vector<int32_t> outcome;   // per element e: 0 not tried, -1 abandoned, else 1 + the
                                    // index of the candidate that adding e gave
    std::vector<uint64_t> zero;     // union of the members' zero_with sets
    // Other ways the candidate was met: (q, x) with closure(q + x) equal to it.
    std::vector<std::pair<int32_t, int32_t>> ways;
  };
  constexpr int32_t kUnknown = 0;
  constexpr int32_t kAbandoned = -1;
  std::vector<Candidate> cands;
  cands.push_back({{1}, {1}, -1, std::vector<int32_t>(static_cast<std::size_t>(ne) + 1, kUnknown),
                   std::vector<uint64_t>(zero_set(1), zero_set(1) + words)});
  std::vector<uint64_t> zero(words);  // the zero set of the closure being formed
  std::unordered_multimap<uint64_t, int32_t> by_members;
  by_members.emplace(hash_ints(cands[0].members.data(), 1), 0);
  x.elem_done.assign(static_cast<std::size_t>(ne) + 1, 0);
  std::vector<int32_t> in(static_cast<std::size_t>(ne) + 1, 0);  // = stamp: member of this closure
  int32_t stamp = 0;
  std::vector<int32_t> list;
  auto member = [&](int32_t c, int32_t e) {
    const std::vector<int32_t>& m = cands[c].members;
    return std::binary_search(m.begin(), m.end(), e);
  };
  // The known result of adding e to candidate s (index), not in s: kAbandoned, 1 + the index of
  // an existing candidate, or kUnknown.
  auto via = [&](int32_t q, int32_t x0, int32_t e) {
    const int32_t r = cands[q].outcome[e];
    if (r == kUnknown || r == kAbandoned) return r;
    if (member(r - 1, x0)) return r;
    return cands[r - 1].outcome[x0];
  };
  auto known = [&](int32_t s, int32_t e) {
    const int32_t p = cands[s].parent;
    if (p < 0) return kUnknown;
    for (int32_t g = p; g >= 0; g = cands[g].parent)
      if (cands[g].outcome[e] == kAbandoned) return kAbandoned;
    int32_t k = via(p, cands[s].gens.back(), e);
    for (std::size_t w = 0; w < cands[s].ways.size() && k == kUnknown; ++w)
      k = via(cands[s].ways[w].first, cands[s].ways[w].second, e);
    return k;
  };
  bool added = true;
  while (added) {
    added = false;
    for (int32_t e = 2; e <= ne; ++e) {
      const int32_t old = x.elem_done[e];
      const int32_t top = static_cast<int32_t>(cands.size());
      x.elem_done[e] = top;
      for (int32_t sidx = old + 1; sidx <= top; ++sidx) {
        if (member(sidx - 1, e)) continue;
        const int32_t k = known(sidx - 1, e);
        if (k != kUnknown) {
          cands[sidx - 1].outcome[e] = k;
          if (k != kAbandoned) cands[k - 1].ways.emplace_back(sidx - 1, e);
          continue;
        }
        // Closure under the products of member pairs (lower element number first). The base is
        // a candidate, closed with no product 0, so only pairs with a newer member are formed:
        // each new member with every member listed before it and with itself.
        // A pair with product 0 is caught when its second member joins (zero holds the zero
        // sets of all members so far), which abandons the closure where the pair would.
        const std::vector<int32_t>& base = cands[sidx - 1].members;
        ++stamp;
        list = base;
        for (int32_t m : list) in[m] = stamp;
        std::copy(cands[sidx - 1].zero.begin(), cands[sidx - 1].zero.end(), zero.begin());
        bool abandoned = false;
        auto join = [&](int32_t c) {
          const uint64_t* z = zero_set(c);
          if (has(zero.data(), c) || has(z, c)) return false;
          for (std::size_t w = 0; w < words; ++w) zero[w] |= z[w];
          in[c] = stamp;
          list.push_back(c);
          return true;
        };
        abandoned = !join(e);
        for (std::size_t i = base.size(); i < list.size() && !abandoned; ++i) {
          const int32_t* row = pair.data() + static_cast<std::size_t>(list[i] - 1) * ne;
          for (std::size_t j = 0; j <= i; ++j) {
            const int32_t c = row[list[j] - 1];
            if (c == 0 || (in[c] != stamp && !join(c))) {
              abandoned = true;
              break;
            }
          }
        }
        if (abandoned) {
          cands[sidx - 1].outcome[e] = kAbandoned;
          continue;
        }
        std::sort(list.begin(), list.end());
        const uint64_t h = hash_ints(list.data(), static_cast<int32_t>(list.size()));
        int32_t same = -1;
        auto range = by_members.equal_range(h);
        for (auto it = range.first; it != range.second && same < 0; ++it)
          if (cands[it->second].members == list) same = it->second;
        if (same >= 0) {
          cands[sidx - 1].outcome[e] = same + 1;
          cands[same].ways.emplace_back(sidx - 1, e);
          continue;
        }
        Candidate next;
        next.members = list;
        if (sidx != 1) next.gens = cands[sidx - 1].gens;
        next.gens.push_back(e);
        next.parent = sidx - 1;
        next.outcome.assign(static_cast<std::size_t>(ne) + 1, kUnknown);
        next.zero = zero;
        const int32_t index = static_cast<int32_t>(cands.size());
        cands[sidx - 1].outcome[e] = index + 1;
        by_members.emplace(h, index);
        cands.push_back(std::move(next));
        added = true;
      }
    }
  }

  // Stable sort by decreasing order, into the module tables.
  std::vector<int32_t> order(cands.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    return cands[a].members.size() > cands[b].members.size();
  });
  x.nsubgroups = static_cast<int32_t>(cands.size());
  while (t.max_subgroups < x.nsubgroups + 1) t.max_subgroups *= 2;
  std::size_t max_gens = 1;
  for (const Candidate& c : cands) max_gens = std::max(max_gens, c.gens.size());
  while (t.max_gens < static_cast<int32_t>(max_gens)) t.allocate_gens();
  t.subgroup_order = Grid<int32_t>(t.max_subgroups, 1);
  t.subgroup_ngens = Grid<int32_t>(t.max_subgroups, 1);
  t.subgroup_mark = Grid<bool>(t.max_subgroups, 1);
  t.subgroup_gens = Grid<int32_t>(t.max_gens, t.max_subgroups);
  t.create_subgroup_member(ne);
  x.members.resize(cands.size());
  for (int32_t pos = 1; pos <= x.nsubgroups; ++pos) {
    Candidate& c = cands[order[pos - 1]];
    t.subgroup_order(pos) = static_cast<int32_t>(c.members.size());
    t.subgroup_ngens(pos) = static_cast<int32_t>(c.gens.size());
    for (std::size_t j = 0; j < c.gens.size(); ++j) t.subgroup_gens(static_cast<int32_t>(j) + 1, pos) = c.gens[j];
    for (int32_t m : c.members) t.subgroup_member(m, pos) = true;
    x.members[pos - 1] = std::move(c.members);
  }
}

bool Run::prepare_candidate(int32_t c) {
  Search& x = search;
  Tables& t = tables;
  const std::vector<int32_t>& mine = x.members[c - 1];
  for (int32_t g = 1; g < c; ++g) {
    if (!t.subgroup_mark(g)) continue;
    bool inside = true;
    for (int32_t m : mine)
      if (!t.subgroup_member(m, g)) {
        inside = false;
        break;
      }
    if (inside) return false;
  }
  for (int32_t j = 1; j <= t.subgroup_ngens(c); ++j) {
    const int32_t e = t.subgroup_gens(j, c);
    const int32_t op = x.oplist[(e - 1) / x.ncoset + 1];
    const int32_t rep = t.fract_rep((e - 1) % x.ncoset + 1);
    t.gen_op(j) = op;
    t.gen_fract_index(j) = rep;
    Vec3 v{};
    vector_add(x.optrans[op], column(t.fract, rep), v);
    set_column(t.gen_trans, j, v);
  }
  return true;
}

}  // namespace cellsieve
