// The candidate groups against the literal algorithms they speed up: the element products found
// by comparing the composed atom action with every representative, and the enumeration by
// sweeps over all member pairs with the duplicate test over all earlier candidates and an
// insertion sort. Same products (those the closures look up: the lower element first), same
// candidates in the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/cellsieve/literal_references.hpp"
#include "tests/cellsieve/search_support.hpp"

namespace cellsieve {
namespace {

using testing::Input;
using testing::SearchRun;

// The product table as the literal search builds it, exclusions applied.
std::vector<int32_t> literal_products(cellsieve::Run& run) {
  const Search& x = run.search;
  const Tables& t = run.tables;
  const int32_t nc = x.ncoset, ne = x.nops * nc, nred = x.nred;
  std::vector<int32_t> prod(static_cast<std::size_t>(ne) * ne, 0);
  auto at_ = [&](int32_t e1, int32_t e2) -> int32_t& { return prod[(e2 - 1) * ne + (e1 - 1)]; };
  for (int32_t o1 = 1; o1 <= x.nops; ++o1)
    for (int32_t o2 = 1; o2 <= x.nops; ++o2) {
      const int32_t p = run.ops.op_product(x.oplist[o1], x.oplist[o2]);
      int32_t o3 = 0;
      for (int32_t o = 1; o <= x.nops; ++o)
        if (x.oplist[o] == p) o3 = o;
      if (p == 0 || o3 == 0) continue;
      for (int32_t t1 = 1; t1 <= nc; ++t1)
        for (int32_t t2 = 1; t2 <= nc; ++t2)
          for (int32_t t3 = 1; t3 <= nc; ++t3) {
            bool same = true;
            for (int32_t n = 1; n <= nred && same; ++n) {
              const int32_t w = t.rep_image(
                  run.atoms.opperm(t.rep_image(run.atoms.opperm(n, x.oplist[o2]), t.fract_rep(t2)), x.oplist[o1]),
                  t.fract_rep(t1));
              same = t.rep_image(run.atoms.opperm(n, p), t.fract_rep(t3)) == w;
            }
            if (same) at_((o1 - 1) * nc + t1, (o2 - 1) * nc + t2) = (o3 - 1) * nc + t3;
          }
    }
  for (int32_t c = 2; c <= nc; ++c)
    for (int32_t e = 1; e <= ne; ++e) at_(c, e) = at_(e, c) = 0;
  for (int32_t& v : prod)
    if (v >= 2 && v <= nc) v = 0;
  return prod;
}

// The literal candidates of a literal product table, and the run's against them.
void expect_literal_candidates(const cellsieve::Run& run, const std::vector<int32_t>& prod) {
  const int32_t ne = run.search.nelem;
  // The products a closure looks up, the lower element number first.
  for (int32_t b = 1; b <= ne; ++b)
    for (int32_t a = 1; a <= b; ++a) ASSERT_EQ(run.search.pair_product(a, b), prod[(b - 1) * ne + (a - 1)]) << a << " " << b;
  const auto groups = testing::literal_closed_sets(ne, [&](int32_t a, int32_t b) { return prod[(b - 1) * ne + (a - 1)]; });
  ASSERT_EQ(static_cast<int32_t>(groups.size()), run.search.nsubgroups);
  for (int32_t s = 1; s <= run.search.nsubgroups; ++s)
    for (int32_t e = 1; e <= ne; ++e) ASSERT_EQ(groups[s - 1][e], testing::is_member(run.search, s, e)) << s << " " << e;
}

TEST(CandidatesReference, SameProductsAndCandidates) {
  Input rocksalt;
  rocksalt.params = {5.64, 5.64, 5.64, 90, 90, 90};
  rocksalt.atoms = {{1, 0, 0, 0}, {1, 0.5, 0.5, 0}, {1, 0.5, 0, 0.5}, {1, 0, 0.5, 0.5},
                    {2, 0.5, 0, 0}, {2, 0, 0.5, 0}, {2, 0, 0, 0.5}, {2, 0.5, 0.5, 0.5}};
  Input hcp;
  hcp.params = {3, 3, 4.9, 90, 90, 120};
  hcp.atoms = {{1, 1.0 / 3, 2.0 / 3, 0.25}, {1, 2.0 / 3, 1.0 / 3, 0.75}};
  Input perovskite;
  perovskite.params = {3.905, 3.905, 3.905, 90, 90, 90};
  perovskite.atoms = {{1, 0, 0, 0}, {2, 0.5, 0.5, 0.5}, {3, 0.5, 0.5, 0}, {3, 0.5, 0, 0.5}, {3, 0, 0.5, 0.5}};
  // Doubled along a with the same oxygen of both halves moved along c: the translation stays, the
  // operations that turn c over no longer fit.
  Input distorted = testing::supercell(perovskite, 2, 1, 1);
  distorted.atoms[2].z += 0.04;
  distorted.atoms[7].z += 0.04;
  const struct {
    const char* what;
    Input in;
    int32_t sublattice;  // 0: the last
  } cases[] = {{"rock salt, the face centring as cosets", rocksalt, 0},
               {"rock salt, the primitive cell", rocksalt, 1},
               {"hcp", hcp, 0},
               {"doubled cubic cell", testing::supercell(Input{}, 1, 1, 2), 0},
               {"cubic cell 2x2x1", testing::supercell(Input{}, 2, 2, 1), 0},
               {"perovskite 2x1x1, the doubled cell", testing::supercell(perovskite, 2, 1, 1), 0},
               {"perovskite 2x1x1, the primitive cell", testing::supercell(perovskite, 2, 1, 1), 1},
               {"distorted perovskite 2x1x1", distorted, 0},
               {"hcp 1x1x2", testing::supercell(hcp, 1, 1, 2), 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SearchRun r(c.in);
    r.through_operations(c.sublattice);
    r.phase([&] { r->build_candidates(); });
    expect_literal_candidates(*r, literal_products(*r));
  }
}

// When the representatives' atom actions do not form a group (here made so by hand: two images
// of one representative swapped, or one image repeated), the products are found by comparing
// each composed action, with the same results as the literal search.
TEST(CandidatesReference, RepresentativesThatFormNoGroup) {
  Input rocksalt;
  rocksalt.params = {5.64, 5.64, 5.64, 90, 90, 90};
  rocksalt.atoms = {{1, 0, 0, 0}, {1, 0.5, 0.5, 0}, {1, 0.5, 0, 0.5}, {1, 0, 0.5, 0.5},
                    {2, 0.5, 0, 0}, {2, 0, 0.5, 0}, {2, 0, 0, 0.5}, {2, 0.5, 0.5, 0.5}};
  for (const bool repeat : {false, true}) {
    SCOPED_TRACE(repeat ? "an image repeated" : "two images swapped");
    SearchRun r(rocksalt);
    r.through_operations(0);
    ASSERT_GE(r->search.ncoset, 2);
    ASSERT_GE(r->search.nred, 2);
    Tables& t = r->tables;
    const int32_t rep = t.fract_rep(2);
    if (repeat)
      t.rep_image(2, rep) = t.rep_image(1, rep);
    else
      std::swap(t.rep_image(1, rep), t.rep_image(2, rep));
    r.phase([&] { r->build_candidates(); });
    ASSERT_FALSE(r.bombed());
    expect_literal_candidates(*r, literal_products(*r));
  }
}

// Two representatives that act alike on every reduced atom: a composed action matches both, and
// the run stops with error 002 (the representatives form no group, so the products are compared
// one by one).
TEST(CandidatesReference, TwoRepresentativesActingAlikeStop) {
  SearchRun r(testing::supercell(Input{}, 2, 2, 1));
  r.through_operations(0);
  ASSERT_GE(r->search.ncoset, 3);
  Tables& t = r->tables;
  for (int32_t n = 1; n <= r->search.nred; ++n) t.rep_image(n, t.fract_rep(3)) = t.rep_image(n, t.fract_rep(2));
  const std::string out = r.phase([&] { r->build_candidates(); });
  EXPECT_TRUE(r.bombed());
  EXPECT_EQ(out, " Error 002 in cellsieve\n");
}

// The product table is refused, before it is made, when its 16-bit entries cannot name every
// element or it needs more memory than there is (65535 elements over 5 atoms need 4.3 GB); the
// message names the limit met, the element limit when both are.
TEST(CandidatesReference, ProductTableThatCannotBeMade) {
  const double need = 0.5 * 65535.0 * 65536.0 * 2.0 + 65535.0 * 5.0 * 4.0;
  auto memory = [](int32_t ne) {
    return " Error 045 in cellsieve\n Too large:  the products of " + std::to_string(ne) +
           " elements of a sublattice need more memory than is available\n";
  };
  auto elements = [](int32_t ne) {
    return " Error 045 in cellsieve\n Too large:  a sublattice with " + std::to_string(ne) +
           " elements, more than 65535\n";
  };
  const struct {
    int32_t ne;
    double available;
    std::string out;  // empty: the table is made
  } cases[] = {{65535, need, ""},
               {65535, need - 1.0, memory(65535)},
               {65536, 1e300, elements(65536)},
               {65536, 0.0, elements(65536)},
               {1, 0.0, memory(1)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.ne) + " elements, " + std::to_string(c.available) + " bytes");
    SearchRun r(Input{});
    const std::string out = r.phase([&] { check_product_room(c.ne, 5, c.available); });
    EXPECT_EQ(r.bombed(), !c.out.empty());
    EXPECT_EQ(out, c.out);
  }
}

}  // namespace
}  // namespace cellsieve
