// The candidate groups of a sublattice: the accepted operations combined with the coset
// representatives form a finite element set whose products are found by composing atom
// permutations; every subset closed under these products (and free of pure representative
// translations) is built by adding one element at a time to a known candidate and closing it.
// The candidates are sorted by decreasing order, creation order kept among equals.
//
// Speed without changing results: the products come from the group that the representatives'
// atom actions form (each composed action compared once per pair of operations and
// representative, not once per pair of elements), or, when they form none, from comparing each
// composed action with the representatives that carry atom 1 where it does (every representative
// with the same whole action is among them, so two of them still stop the run); closures work on
// member lists and form only the pairs with a new member; what adding an element to a candidate
// gave is kept and, through the rules of closures, answers later additions without closing; the
// duplicate test looks only at candidates with the same hash of their member set.
//
// Room: a closure only ever looks up the product of two members with the lower element number
// first, so only those products are kept, one 16-bit entry per pair of elements; the products in
// the other order are formed only for the check that no product has two representatives. A
// sublattice whose product table would not fit stops the run with a message before it is
// created.
#include <algorithm>
#include <bit>
#include <numeric>
#include <string>
#include <unordered_map>
#include <vector>

#include "cellsieve/closing_set.hpp"
#include "cellsieve/errors.hpp"
#include "cellsieve/member_set_hash.hpp"
#include "cellsieve/memory_available.hpp"
#include "cellsieve/run.hpp"

namespace cellsieve {

namespace {

// The product table through the group of the representatives' atom actions. Element (o, t) acts
// as R_t P_o (P_o: the atom permutation of operation o, R_t: the action of representative t), so
// (o1, t1) after (o2, t2) acts as R_t1 B with B = P_o1 R_t2 P_o2. When the R_t are permutations of
// the reduced atoms, pairwise different and closed under composition (R_t1 R_u = R_s(t1, u), with
// s(t1, .) one-to-one), then R_t3 P_o3 equals R_t1 B exactly when t3 = s(t1, u) for a u with
// R_u P_o3 = B: R_t1 is one-to-one, and s(t1, .) reaches every t3. So the representatives u that
// match B, found once for (o1, t2, o2), give the product for every t1, and two of them mean two
// matches (error 002) for every t1. Returns false, with nothing written, when the representatives
// do not form such a group; the caller then compares every product. Each product is handed to
// store(e1, e2, e3).
template <typename Store>
bool products_by_translation_group(Run& run, const std::array<int32_t, kOpCount + 1>& index,
                                   const std::vector<int32_t>& first_rep, const std::vector<int32_t>& next_rep,
                                   Store&& store) {
  Search& x = run.search;
  const Tables& t = run.tables;
  const int32_t nc = x.ncoset;
  const int32_t nred = x.nred;
  if (nred < 1) return false;
  const std::size_t width = static_cast<std::size_t>(nred) + 1;
  auto row = [&](const std::vector<int32_t>& v, int32_t k) { return v.data() + static_cast<std::size_t>(k - 1) * nred; };

  // R_t, each a permutation of 1..nred.
  std::vector<int32_t> rep(static_cast<std::size_t>(nc) * nred);
  std::vector<int32_t> image_of_rep(width, 0);  // the last representative with atom v as an image
  for (int32_t tt = 1; tt <= nc; ++tt)
    for (int32_t n = 1; n <= nred; ++n) {
      const int32_t v = t.rep_image(n, t.fract_rep(tt));
      if (v < 1 || v > nred || image_of_rep[v] == tt) return false;
      image_of_rep[v] = tt;
      rep[static_cast<std::size_t>(tt - 1) * nred + (n - 1)] = v;
    }
  // P_o, with images in 1..nred.
  std::vector<int32_t> perm(static_cast<std::size_t>(x.nops) * nred);
  for (int32_t o = 1; o <= x.nops; ++o)
    for (int32_t n = 1; n <= nred; ++n) {
      const int32_t v = run.atoms.opperm(n, x.oplist[o]);
      if (v < 1 || v > nred) return false;
      perm[static_cast<std::size_t>(o - 1) * nred + (n - 1)] = v;
    }
  // s(t1, u): the one representative whose action is R_t1 R_u; s(t1, .) one-to-one.
  std::vector<int32_t> head(width, 0), next(static_cast<std::size_t>(nc) + 1, 0);
  for (int32_t tt = nc; tt >= 1; --tt) {
    next[tt] = head[row(rep, tt)[0]];
    head[row(rep, tt)[0]] = tt;
  }
  std::vector<int32_t> s(static_cast<std::size_t>(nc) * nc, 0);
  std::vector<int32_t> used(static_cast<std::size_t>(nc) + 1, 0);
  std::vector<int32_t> comp(static_cast<std::size_t>(nred));
  for (int32_t t1 = 1; t1 <= nc; ++t1) {
    const int32_t* r1 = row(rep, t1);
    for (int32_t u = 1; u <= nc; ++u) {
      const int32_t* ru = row(rep, u);
      for (int32_t n = 0; n < nred; ++n) comp[n] = r1[ru[n] - 1];
      int32_t found = 0;
      for (int32_t w = head[comp[0]]; w != 0; w = next[w]) {
        if (!std::equal(comp.begin(), comp.end(), row(rep, w))) continue;
        if (found != 0) return false;
        found = w;
      }
      if (found == 0 || used[found] == t1) return false;
      used[found] = t1;
      s[static_cast<std::size_t>(t1 - 1) * nc + (u - 1)] = found;
    }
  }

  std::vector<int32_t> b(static_cast<std::size_t>(nred));
  for (int32_t o1 = 1; o1 <= x.nops; ++o1)
    for (int32_t o2 = 1; o2 <= x.nops; ++o2) {
      const int32_t p = run.ops.op_product(x.oplist[o1], x.oplist[o2]);
      if (p == 0 || index[p] == 0) continue;
      const int32_t o3 = index[p];
      const int32_t* p1 = row(perm, o1);
      const int32_t* p2 = row(perm, o2);
      for (int32_t t2 = 1; t2 <= nc; ++t2) {
        const int32_t* r2 = row(rep, t2);
        for (int32_t n = 0; n < nred; ++n) b[n] = p1[r2[p2[n] - 1] - 1];
        // The representatives u with R_u P_o3 = B: in the chain of element (o3, u) by atom 1.
        int32_t u = 0;
        for (int32_t w = first_rep[static_cast<std::size_t>(o3) * width + b[0]]; w != 0;
             w = next_rep[(o3 - 1) * nc + w]) {
          if (!std::equal(b.begin(), b.end(), row(x.elem_action, (o3 - 1) * nc + w))) continue;
          if (u != 0) numbered_error(2);
          u = w;
        }
        if (u == 0) continue;
        const int32_t e2 = (o2 - 1) * nc + t2;
        for (int32_t t1 = 1; t1 <= nc; ++t1)
          store((o1 - 1) * nc + t1, e2, (o3 - 1) * nc + s[static_cast<std::size_t>(t1 - 1) * nc + (u - 1)]);
      }
    }
  return true;
}

// A map from 64-bit keys to non-zero 32-bit values, 0 for a key not stored; open addressing with
// linear probing, kept at most three quarters full.
class OutcomeMap {
 public:
  int32_t get(uint64_t key) const {
    if (keys_.empty()) return 0;
    for (std::size_t i = slot(key);; i = (i + 1) & mask_) {
      if (keys_[i] == key) return values_[i];
      if (keys_[i] == kEmpty) return 0;
    }
  }
  void put(uint64_t key, int32_t value) {
    if (4 * (count_ + 1) > 3 * keys_.size()) grow();
    std::size_t i = slot(key);
    while (keys_[i] != kEmpty && keys_[i] != key) i = (i + 1) & mask_;
    if (keys_[i] == kEmpty) ++count_;
    keys_[i] = key;
    values_[i] = value;
  }

 private:
  static constexpr uint64_t kEmpty = ~uint64_t{0};
  std::size_t slot(uint64_t key) const { return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> shift_); }
  void grow() {
    std::vector<uint64_t> old_keys = std::move(keys_);
    std::vector<int32_t> old_values = std::move(values_);
    const std::size_t size = old_keys.empty() ? 1024 : 2 * old_keys.size();
    keys_.assign(size, kEmpty);
    values_.assign(size, 0);
    mask_ = size - 1;
    shift_ = 64 - std::countr_zero(size);
    count_ = 0;
    for (std::size_t i = 0; i < old_keys.size(); ++i)
      if (old_keys[i] != kEmpty) put(old_keys[i], old_values[i]);
  }

  std::vector<uint64_t> keys_;
  std::vector<int32_t> values_;
  std::size_t count_ = 0;
  std::size_t mask_ = 0;
  int shift_ = 64;
};

}  // namespace

void check_product_room(int32_t ne, int32_t nred, double available) {
  const double elements = static_cast<double>(ne);
  const double bytes = 0.5 * elements * (elements + 1.0) * sizeof(uint16_t) + elements * nred * sizeof(int32_t);
  if (ne > Search::kMaxSublatticeElements)
    numbered_error(45, {"Too large:  a sublattice with " + std::to_string(ne) + " elements, more than " +
                        std::to_string(Search::kMaxSublatticeElements)});
  if (bytes > available)
    numbered_error(45, {"Too large:  the products of " + std::to_string(ne) +
                        " elements of a sublattice need more memory than is available"});
}

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
  check_product_room(ne, nred, memory_available());

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

  // Products of pairs with the lower element first; no product reaches, and no product is formed
  // with, a pure representative translation (elements 2..ncoset).
  x.pair_products.assign(static_cast<std::size_t>(ne) * (static_cast<std::size_t>(ne) + 1) / 2, 0);
  auto excluded = [&](int32_t e) { return e >= 2 && e <= ncoset; };
  auto store = [&](int32_t e1, int32_t e2, int32_t e3) {
    if (e1 <= e2 && !excluded(e1) && !excluded(e2) && !excluded(e3))
      x.pair_products[Search::pair_index(e1, e2)] = static_cast<uint16_t>(e3);
  };
  if (!products_by_translation_group(*this, index, first_rep, next_rep, store))
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
            int32_t product = 0;
            int32_t t3 = first_rep[static_cast<std::size_t>(o3) * width + (nred >= 1 ? a1[a2[0] - 1] : 0)];
            for (; t3 != 0; t3 = next_rep[(o3 - 1) * ncoset + t3]) {
              const int32_t e3 = (o3 - 1) * ncoset + t3;
              const int32_t* a3 = x.elem_action.data() + static_cast<std::size_t>(e3 - 1) * nred;
              bool same = true;
              for (int32_t n = 1; n < nred && same; ++n) same = a3[n] == a1[a2[n] - 1];
              if (!same) continue;
              if (product != 0) numbered_error(2);
              product = e3;
            }
            if (product != 0) store(e1, e2, product);
          }
        }
      }

  const std::size_t words = static_cast<std::size_t>(ne) / 64 + 1;  // of a bit set of elements
  auto has = [](const uint64_t* set, int32_t b) { return ((set[b >> 6] >> (b & 63)) & 1U) != 0; };

  // Enumeration from {element 1}.
  //
  // Shortcuts that give the same candidates: a closure is a closure operator (it only grows with
  // its start, and closing a closed set together with more elements is closing all of them at
  // once), and a start is abandoned exactly when its whole closure holds a pair with product 0.
  // So, for a candidate s met as closure(q + x) (q its parent and x its last generator, or any
  // later pair that gave s again):
  // - adding e to s is abandoned when adding e to q, or to an ancestor of s, was abandoned;
  // - when adding e to q gave the candidate r, adding e to s gives closure(r + x): r itself when
  //   x is in r, else whatever adding x to r gave, when that is known already.
  // Such results are existing candidates (the new one would be a duplicate) or abandonments.
  struct Candidate {
    std::vector<int32_t> members;
    std::vector<int32_t> gens;
    int32_t parent = -1;            // the candidate it was built from (index), -1 for {element 1}
    std::vector<uint64_t> in;       // bit e: element e is a member
    std::vector<uint64_t> failed;   // bit e: adding element e was abandoned
    // The other (candidate, element) pairs whose addition gave this candidate again.
    std::vector<std::pair<int32_t, int32_t>> also_from;
  };
  // The outcome of adding element e to candidate s: kUnknown (not tried), kAbandoned, or 1 + the
  // index of the candidate it gave (kept in `candidate_from`, by s and e).
  constexpr int32_t kUnknown = 0;
  constexpr int32_t kAbandoned = -1;
  std::vector<Candidate> cands;
  cands.push_back({{1}, {1}, -1, std::vector<uint64_t>(words, 0), std::vector<uint64_t>(words, 0), {}});
  cands[0].in[0] |= uint64_t{1} << 1;
  OutcomeMap candidate_from;
  auto key = [](int32_t s, int32_t e) { return (static_cast<uint64_t>(s) << 32) | static_cast<uint32_t>(e); };
  auto outcome = [&](int32_t s, int32_t e) {
    if (has(cands[s].failed.data(), e)) return kAbandoned;
    return candidate_from.get(key(s, e));
  };
  auto set_outcome = [&](int32_t s, int32_t e, int32_t v) {
    if (v == kAbandoned)
      cands[s].failed[e >> 6] |= uint64_t{1} << (e & 63);
    else
      candidate_from.put(key(s, e), v);
  };
  std::unordered_multimap<uint64_t, int32_t> by_members;
  by_members.emplace(member_set_hash(cands[0].members), 0);
  x.elem_done.assign(static_cast<std::size_t>(ne) + 1, 0);
  ClosingSet closure(ne);
  auto member = [&](int32_t c, int32_t e) { return has(cands[c].in.data(), e); };
  // The result of adding e to closure(q + x0), as far as the outcome of adding e to q tells it:
  // kAbandoned, 1 + the index of an existing candidate, or kUnknown.
  auto result_through = [&](int32_t q, int32_t x0, int32_t e) {
    const int32_t r = outcome(q, e);
    if (r == kUnknown || r == kAbandoned) return r;
    if (member(r - 1, x0)) return r;
    return outcome(r - 1, x0);
  };
  // The known result of adding e to candidate s (index), not in s: kAbandoned, 1 + the index of
  // an existing candidate, or kUnknown.
  auto known_result = [&](int32_t s, int32_t e) {
    const int32_t p = cands[s].parent;
    if (p < 0) return kUnknown;
    for (int32_t g = p; g >= 0; g = cands[g].parent)
      if (has(cands[g].failed.data(), e)) return kAbandoned;
    int32_t k = result_through(p, cands[s].gens.back(), e);
    for (std::size_t w = 0; w < cands[s].also_from.size() && k == kUnknown; ++w)
      k = result_through(cands[s].also_from[w].first, cands[s].also_from[w].second, e);
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
        const int32_t k = known_result(sidx - 1, e);
        if (k != kUnknown) {
          set_outcome(sidx - 1, e, k);
          if (k != kAbandoned) cands[k - 1].also_from.emplace_back(sidx - 1, e);
          continue;
        }
        // Closure under the products of member pairs (lower element number first). The base is
        // a candidate, closed with no product 0, so only pairs with a newer member are formed:
        // each new member with every member listed before it and with itself.
        const std::vector<int32_t>& base = cands[sidx - 1].members;
        closure.start(base, e);
        std::vector<int32_t>& list = closure.members;
        bool abandoned = false;
        for (std::size_t i = base.size(); i < list.size() && !abandoned; ++i) {
          const int32_t a = list[i];
          for (std::size_t j = 0; j <= i && !abandoned; ++j) abandoned = !closure.join(x.pair_product(list[j], a));
        }
        if (abandoned) {
          set_outcome(sidx - 1, e, kAbandoned);
          continue;
        }
        std::sort(list.begin(), list.end());
        const uint64_t h = member_set_hash(list);
        int32_t same = -1;
        auto range = by_members.equal_range(h);
        for (auto it = range.first; it != range.second && same < 0; ++it)
          if (cands[it->second].members == list) same = it->second;
        if (same >= 0) {
          set_outcome(sidx - 1, e, same + 1);
          cands[same].also_from.emplace_back(sidx - 1, e);
          continue;
        }
        Candidate next;
        next.members = list;
        if (sidx != 1) next.gens = cands[sidx - 1].gens;
        next.gens.push_back(e);
        next.parent = sidx - 1;
        next.in.assign(words, 0);
        for (const int32_t m : list) next.in[m >> 6] |= uint64_t{1} << (m & 63);
        next.failed = cands[sidx - 1].failed;  // what failed for the parent fails here too
        const int32_t index = static_cast<int32_t>(cands.size());
        set_outcome(sidx - 1, e, index + 1);
        by_members.emplace(h, index);
        cands.push_back(std::move(next));
        added = true;
      }
    }
  }

  // Stable sort by decreasing order, into the module tables; the member lists into the search.
  std::vector<int32_t> order(cands.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    return cands[a].members.size() > cands[b].members.size();
  });
  x.nsubgroups = static_cast<int32_t>(cands.size());
  while (t.max_subgroups < x.nsubgroups + 1) t.allocate_subgroups();
  std::size_t max_gens = 1;
  for (const Candidate& c : cands) max_gens = std::max(max_gens, c.gens.size());
  while (t.max_gens < static_cast<int32_t>(max_gens)) t.allocate_gens();
  t.subgroup_order = Grid<int32_t>(t.max_subgroups, 1);
  t.subgroup_ngens = Grid<int32_t>(t.max_subgroups, 1);
  t.subgroup_mark = Grid<bool>(t.max_subgroups, 1);
  t.subgroup_gens = Grid<int32_t>(t.max_gens, t.max_subgroups);
  x.members.resize(cands.size());
  for (int32_t pos = 1; pos <= x.nsubgroups; ++pos) {
    Candidate& c = cands[order[pos - 1]];
    t.subgroup_order(pos) = static_cast<int32_t>(c.members.size());
    t.subgroup_ngens(pos) = static_cast<int32_t>(c.gens.size());
    for (std::size_t j = 0; j < c.gens.size(); ++j) t.subgroup_gens(static_cast<int32_t>(j) + 1, pos) = c.gens[j];
    x.members[pos - 1] = std::move(c.members);
  }
}

bool Run::prepare_candidate(int32_t c) {
  Search& x = search;
  Tables& t = tables;
  const std::vector<int32_t>& mine = x.members[c - 1];
  for (int32_t g = 1; g < c; ++g)
    if (t.subgroup_mark(g) && std::includes(x.members[g - 1].begin(), x.members[g - 1].end(), mine.begin(), mine.end()))
      return false;
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
