// The lattice-pair search against its literal version: search() takes determinants as dot
// products with cross products, in 16, 32 or 128 bits as the components allow, tests the pair
// distances before the determinant and reads the progress timer once per batch of triples;
// search_literal() (lattice_search_literal.hpp) takes every triple in turn with the exact
// determinant and one timer read per triple. Both must form the same trial lattices and
// pairs, in the same order, and print the same bytes. The table of crystal 2's rotated short
// vectors is checked against a plain search of the list.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <utility>
#include <sstream>
#include <string>
#include <vector>

#include "duopath/lattice_pair.hpp"
#include "library/geometry/real_vector.hpp"
#include "tests/duopath/lattice_search_literal.hpp"
#include "tests/duopath/run_phases.hpp"

using duopath_test::PhaseRun;

namespace {

const std::string kRockSalt = "225\n5.6402 5.6402 5.6402 90 90 90\n2\nNa a\nCl b\n";
const std::string kCaesiumChloride = "221\n4.123 4.123 4.123 90 90 90\n2\nNa a\nCl b\n";
const std::string kBcc = "229\n3.3065 3.3065 3.3065 90 90 90\n1\nTi a\n";
const std::string kHcp = "194\n2.9508 2.9508 4.6855 90 90 120\n1\nTi c\n";

// What a search leaves behind: its trial lattices and counts.
std::string search_state(const duopath::Run& r) {
  std::string s = "lattices";
  for (const auto& t : r.trial_lattices) {
    s += " " + std::to_string(t.cell_size) + ":";
    for (int32_t x : t.cell) s += std::to_string(x) + ",";
  }
  s += " listed " + std::to_string(r.counters.trial_list_number) + " tried " + std::to_string(r.counters.tried_pair_count) +
       " pairs " + std::to_string(r.pairs_completed) + " placements " + std::to_string(r.mapping_placements) +
       " complete " + std::to_string(r.complete_mappings) + " accepted " + std::to_string(r.mapping_number) +
       " paths " + std::to_string(r.path_count);
  return s;
}

// Runs the fast or the literal search on the input. For the fast search the timer's clock moves
// on by a minute at every read, so that every read writes a mark: "@" in place of the dot (the
// line ends are left out), in its place among the report lines. The literal search, which reads
// the clock for every triple, runs on a clock that stands still.
// `prepare` readies the run for its search (it may put short-vector lists of its own in place).
PhaseRun run_search(const std::string& input, bool literal,
                    const std::function<bool(duopath::Run&)>& prepare = duopath_test::prepare) {
  return duopath_test::run_phases(input, [literal, prepare](duopath::Run& r) {
    static int32_t now = 0;
    r.timer = duopath::ProgressTimer([literal] { return literal ? now : now = (now + 60) % 86400; },
                                     [](duopath::ProgressTimer::Mark m) {
                                       if (m == duopath::ProgressTimer::Mark::dot) sgl::write_line(6, "(a,$)", {"@"});
                                     });
    r.timer.start();
    if (!prepare(r)) return std::string("compositions differ");
    if (literal) {
      duopath_test::search_literal(r);
    } else {
      r.search();
    }
    return search_state(r);
  });
}

// The text after the date line (the third), without the marks.
std::string without_marks(std::string s) {
  std::erase(s, '@');
  std::size_t p = 0;
  for (int line = 0; line < 3 && p != std::string::npos; ++line) p = s.find('\n', p) + 1;
  return s.substr(p);
}

std::size_t count_of(const std::string& s, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t p = 0; (p = s.find(what, p)) != std::string::npos; p += what.size()) ++n;
  return n;
}

struct Case {
  const char* what;
  std::string input;
};

TEST(LatticeSearchReference, FastSearchMatchesTheLiteralOne) {
  const std::vector<Case> cases = {
      {"NaCl to CsCl, sizes 1-2, whole paths",
       "t\n" + kRockSalt + kCaesiumChloride + "samevolume\nsize 1 2\nstrain 0.6 1.5\nshuffle 1.0\n"},
      {"NaCl to CsCl, size 3, every pair listed",
       "t\n" + kRockSalt + kCaesiumChloride + "samevolume\nsize 3 3\nstrain 0.6 1.5\ntrace lattice2\n"},
      {"bcc to hcp, sizes 1-3, every pair listed", "t\n" + kBcc + kHcp + "size 1 3\ntrace lattice2\n"},
      {"bcc to hcp, size 2, whole paths", "t\n" + kBcc + kHcp + "size 2 2\nshuffle 1.2\n"},
      {"4 atoms against 3: sizes 1 and 2 pair with no whole crystal-2 cell",
       "t\n1\n4 4.1 4.2 88 91 92\n4\nA 0 0 0\nA .5 .5 0\nA .5 0 .5\nA 0 .5 .5\n"
       "1\n3.63 3.7 3.8 89 90 91\n3\nA 0 0 0\nA .33 .33 .33\nA .67 .67 .67\nsize 1 3\ntrace lattice2\n"},
      {"layers: only in-plane partners", "t\n191\n2.46 2.46 20 90 90 120\n1\nC c\n187\n2.50 2.50 20 90 90 120\n2\nC a\nC c\n"
                                         "dim2\nsize 1 2\ntrace lattice2\n"},
      {"ratios of exactly 1.5 at the bound", "t\n221\n2 2 2 90 90 90\n1\nX a\n221\n3 3 3 90 90 90\n1\nX a\n"
                                              "size 1 2\nstrain 0.66 1.50001\ntrace lattice2\n"},
      {"a lower strain bound of 0", "t\n221\n3 3 3 90 90 90\n1\nX a\n221\n3.2 3.2 3.2 90 90 90\n1\nX a\n"
                                    "size 1 2\nstrain 0 1.2\ntrace lattice2\n"},
      {"crystal-2 components beyond 16 bits of determinant",
       "t\n221\n3 3 3 90 90 90\n1\nX a\n123\n3 3 0.4 90 90 90\n1\nX a\nsize 1 2\nstrain 0.9 1.1\ntrace lattice2\n"},
      {"a given lattice",
       "t\n" + kRockSalt + kCaesiumChloride +
           "samevolume\nsize 2\nlattice 59 1/2,0,-1/2 0,1,0 1/2,0,1/2 0,-1,-1 0,-1,1 -1,0,0\nstrain 0.6 1.5\nshuffle 1.0\n"},
      {"trial lattices listed", "t\n" + kRockSalt + kCaesiumChloride + "size 1 3\ntrace lattice1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PhaseRun literal = run_search(c.input, true);
    const PhaseRun fast = run_search(c.input, false);
    ASSERT_EQ(literal.status, 0) << literal.out;
    ASSERT_EQ(fast.status, 0) << fast.out;
    EXPECT_EQ(fast.state, literal.state);
    EXPECT_EQ(literal.out.find('@'), std::string::npos);
    EXPECT_TRUE(without_marks(fast.out) == without_marks(literal.out))
        << "fast:\n" << fast.out.substr(0, 4000) << "\nliteral:\n" << literal.out.substr(0, 4000);
    EXPECT_GT(count_of(fast.out, "@"), 0u);
    // Every trial lattice and every pair that goes on is preceded by a read since the last one:
    // a dot that is due comes before their report lines.
    for (const std::string block : {"Try lattice vectors ", "     ("}) {
      std::size_t from = 0;
      for (std::size_t p = 0; (p = fast.out.find(block, p)) != std::string::npos; p += block.size()) {
        EXPECT_NE(fast.out.find('@', from), std::string::npos);
        EXPECT_LT(fast.out.find('@', from), p) << fast.out.substr(from, p - from + 40);
        from = p + block.size();
      }
    }
  }
}

TEST(LatticeSearchReference, FewClockReadsOnALongSearch) {
  // NaCl to CsCl at size 3 meets some 10^8 crystal-2 triples; the literal search reads the clock
  // for each, the fast one for each crystal-2 vector of the first column and each pair that goes
  // on.
  const PhaseRun fast = run_search("t\n" + kRockSalt + kCaesiumChloride + "samevolume\nsize 3 3\nstrain 0.6 1.5\ntrace lattice2\n",
                                   false);
  ASSERT_EQ(fast.status, 0);
  EXPECT_LT(count_of(fast.out, "@"), 100000u);
  EXPECT_GT(count_of(fast.out, "Try lattice vectors "), 0u);
}

// Crystal 2's short-vector list holding just one triple, whose determinant is the pair's size 1
// plus 2^16 (components up to 40) or plus 2^32 (components up to 1631): crystal 2 is a cubic cell
// so small that the triple spans a cell of crystal 1's shape and volume. In the width that the
// components call for, the triple is no pair (its determinant is not the size); in too narrow a
// width its determinant would wrap onto the size, and the pair would go on to the trace block.
TEST(LatticeSearchReference, DeterminantsAreTakenWideEnoughNeverToWrap) {
  struct Wrap {
    const char* what;
    std::array<std::array<int32_t, 3>, 3> triple;
    double det;
  };
  const std::vector<Wrap> cases = {
      {"components beyond 17, determinant 2^16 + 1", {{{40, 5, 4}, {-3, 40, -1}, {-5, 4, 40}}}, 65537.0},
      {"components beyond 710, determinant 2^32 + 1", {{{1625, 22, -19}, {-22, 1631, -18}, {13, 6, 1620}}}, 4294967297.0},
  };
  for (const Wrap& w : cases) {
    SCOPED_TRACE(w.what);
    std::array<int32_t, 9> m{};
    for (int c = 0; c < 3; ++c)
      for (int i = 0; i < 3; ++i) m[c * 3 + i] = w.triple[c][i];
    ASSERT_EQ(static_cast<double>(duopath::cell_determinant(m)), w.det);
    // Crystal 1 is a cube of 300 and crystal 2 one of 300 / cbrt(det). No input holds such cells
    // (crystal 1's volume per atom, or crystal 2's nearest distance, lies beyond the bounds of the
    // preparation), so both are read as cubes of 3 and scaled once prepared.
    const std::string cube = "1\n3 3 3 90 90 90\n1\nX 0 0 0\n";
    const std::string input = "t\n" + cube + cube + "size 1 1\nstrain 0.5 2\ntrace lattice2\n";
    const auto with_triple = [&w](duopath::Run& r) {
      r.prepare_crystals();
      for (double& x : r.prepared[0].primitive_cartesian) x *= 100.0;
      for (double& x : r.prepared[1].primitive_cartesian) x *= 100.0 / std::cbrt(w.det);
      duopath::crystal1_short_vectors(r.prepared[0], r.settings.max_size, r.settings.dim2, r.short_lists[0]);
      duopath::ShortVectorList& list = r.short_lists[1];
      list.clear();
      for (const auto& v : w.triple) {
        const std::array<double, 3> c = duopath::cartesian_of(r.prepared[1].primitive_cartesian, v);
        list.insert(v, c, sgl::vlength(3, c));
      }
      list.finish();
      r.prepare_rotations();
      return true;
    };
    const PhaseRun literal = run_search(input, true, with_triple);
    const PhaseRun fast = run_search(input, false, with_triple);
    ASSERT_EQ(literal.status, 0) << literal.out;
    ASSERT_EQ(fast.status, 0) << fast.out;
    EXPECT_EQ(fast.state, literal.state);
    EXPECT_NE(literal.state.find("lattices 1:"), std::string::npos) << literal.state;
    EXPECT_EQ(count_of(fast.out, "Try lattice vectors "), 0u) << fast.out;
    EXPECT_TRUE(without_marks(fast.out) == without_marks(literal.out)) << fast.out;
  }
}

TEST(LatticeSearchReference, RotatedShortVectorsFoundInTheList) {
  // short_vector_images(k, j): the first position of R_k v_j in crystal 2's list, 0 when it is not
  // there (a layer turned over), here by a plain map of the list; and crystal2_position of every
  // listed vector, of one just beyond the list and of one beyond every list. The positions come
  // from a grid over the box of the list's components, or, for a list whose box is too large for
  // a grid (a nearly flat triclinic cell, angles of 119.99 degrees), from a hash map.
  struct Images {
    const char* what;
    std::string input;
    bool hashed;
    bool turned_over;  // some rotated vectors are not in the list
  };
  const std::vector<Images> cases = {
      {"cubic", "t\n" + kRockSalt + kCaesiumChloride + "size 1 2\n", false, false},
      {"hexagonal", "t\n" + kBcc + kHcp + "size 1 3\n", false, false},
      {"layers", "t\n191\n2.46 2.46 20 90 90 120\n1\nC c\n187\n2.50 2.50 20 90 90 120\n2\nC a\nC c\ndim2\nsize 1 2\n",
       false, true},
      {"nearly flat cell", "t\n221\n10 10 10 90 90 90\n1\nX a\n2\n10 10 10 119.99 119.99 119.99\n1\nX a\nsize 1 2\n", true,
       false},
  };
  for (const Images& c : cases) {
    SCOPED_TRACE(c.what);
    const PhaseRun run = duopath_test::run_phases(c.input, [](duopath::Run& r) {
      duopath_test::prepare(r);
      const auto& list = r.short_lists[1].vectors;
      const auto& p = r.prepared[1];
      std::map<std::array<int32_t, 3>, int32_t> first;
      int32_t reach = 0;
      for (std::size_t e = list.size(); e-- > 0;) {
        first[list[e]] = static_cast<int32_t>(e + 1);
        for (int32_t x : list[e]) reach = std::max(reach, std::abs(x));
      }
      int64_t wrong = 0, missing = 0;
      for (std::size_t k = 0; k < p.operators.size(); ++k) {
        const sgl::Mat3i& m = p.primitive_rotations[static_cast<std::size_t>(p.operators[k][4])];
        for (std::size_t j = 0; j < list.size(); ++j) {
          std::array<int32_t, 3> w{};
          for (int i = 0; i < 3; ++i)
            for (int q = 0; q < 3; ++q) w[i] += m[q * 3 + i] * list[j][q];
          const auto found = first.find(w);
          const int32_t expected = found == first.end() ? 0 : found->second;
          wrong += r.short_vector_images[k][j] != expected;
          missing += expected == 0;
        }
      }
      for (std::size_t j = 0; j < list.size(); ++j) wrong += r.crystal2_position(list[j]) != static_cast<int32_t>(j + 1);
      wrong += r.crystal2_position({reach + 1, 0, 0}) != 0;
      wrong += r.crystal2_position({0, -(1 << 21), 0}) != 0;
      return std::to_string(list.size()) + " " + std::to_string(wrong) + " " + std::to_string(missing) + " " +
             std::to_string(r.crystal2_grid.empty() ? 1 : 0);
    });
    ASSERT_EQ(run.status, 0) << run.out;
    std::istringstream in(run.state);
    int64_t size = 0, wrong = -1, missing = -1, hashed = -1;
    in >> size >> wrong >> missing >> hashed;
    EXPECT_GT(size, 100);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(missing > 0, c.turned_over);
    EXPECT_EQ(hashed, c.hashed ? 1 : 0);
  }
}

TEST(LatticeSearchReference, DistanceWindowDecidesAsTheRatio) {
  // The window against the ratio vlength(dvsub(a, b)) / p within [low, high], on random distances
  // and on bounds set to a ratio itself and to its neighbours: the cases where a shortcut of the
  // squared length could part from the ratio.
  const auto literal = [](double p, double low, double high, const std::array<double, 3>& a,
                          const std::array<double, 3>& b) {
    std::array<double, 3> d{};
    sgl::dvsub(a, b, d, 3);
    const double ratio = sgl::vlength(3, d) / p;
    return ratio >= low && ratio <= high;
  };
  std::mt19937_64 random(28);
  std::uniform_real_distribution<double> coordinate(-12.0, 12.0), scale(0.5, 2.0);
  int64_t checked = 0, at_bound = 0;
  for (int n = 0; n < 20000; ++n) {
    std::array<double, 3> a{}, b{};
    for (std::size_t i = 0; i < 3; ++i) {
      a[i] = coordinate(random);
      b[i] = coordinate(random);
    }
    const double p = std::sqrt(scale(random) * 30.0);
    std::array<double, 3> d{};
    sgl::dvsub(a, b, d, 3);
    const double ratio = sgl::vlength(3, d) / p;
    const std::vector<std::pair<double, double>> bounds = {
        {0.66, 1.5},
        {ratio, ratio * 2},
        {std::nextafter(ratio, 0.0), ratio * 2},
        {std::nextafter(ratio, 10.0), ratio * 2},
        {ratio / 2, ratio},
        {ratio / 2, std::nextafter(ratio, 0.0)},
        {ratio / 2, std::nextafter(ratio, 10.0)},
        {ratio * (1 - 3e-10), ratio * (1 + 3e-10)},
        {0.0, ratio},
        {-1.0, 1.5},
        {ratio, std::numeric_limits<double>::infinity()},
    };
    for (const auto& [low, high] : bounds) {
      const bool expected = literal(p, low, high, a, b);
      EXPECT_EQ(duopath::DistanceWindow(p, low, high).fits(a, b), expected) << p << " " << low << " " << high;
      ++checked;
      at_bound += expected && (low == ratio || high == ratio);
    }
  }
  EXPECT_GT(at_bound, 10000);
  // Exact ratios: 3 / 2 at both bounds.
  EXPECT_TRUE(duopath::DistanceWindow(2.0, 0.66, 1.5).fits({3, 0, 0}, {0, 0, 0}));
  EXPECT_FALSE(duopath::DistanceWindow(2.0, 0.66, std::nextafter(1.5, 0.0)).fits({3, 0, 0}, {0, 0, 0}));
  EXPECT_TRUE(duopath::DistanceWindow(2.0, 1.5, 2.0).fits({0, 0, 0}, {0, -3, 0}));
  EXPECT_FALSE(duopath::DistanceWindow(2.0, std::nextafter(1.5, 2.0), 2.0).fits({0, 0, 0}, {0, -3, 0}));
}

}  // namespace
