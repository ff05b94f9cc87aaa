// The keyword "lattice": the one lattice pair of a run, given as the common subgroup and three
// lattice vectors of it per crystal, each vector a word of three comma-separated fractions.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <limits>
#include <numeric>

#include "duopath/run.hpp"
#include "library/exact/arithmetic.hpp"
#include "library/text/bomb.hpp"
#include "library/text/words.hpp"

namespace duopath {

namespace {

// Appends the vector as "(n1,n2,n3)", each component a fraction over the vector's denominator.
void append_vector(int32_t& p, std::string& text, const sgl::RationalVector& v) {
  text[static_cast<std::size_t>(p++)] = '(';
  for (int i = 0; i < 3; ++i) {
    if (i > 0) text[static_cast<std::size_t>(p++)] = ',';
    sgl::fraction_string(p, text, v[static_cast<std::size_t>(i)], v[3]);
  }
  text[static_cast<std::size_t>(p++)] = ')';
}

// Largest magnitude of a component of a given lattice vector, in conventional cells.
constexpr int32_t kMaxLatticeComponent = 1000;

}  // namespace

void Run::keyword_lattice(const KeywordLine& line) {
  if (line.word_count() != 8) line.fail_count();
  const int32_t subgroup = line.integer(2);
  // The number selects the subgroup's setting tables later on.
  if (subgroup < 1 || subgroup > 230) line.fail_word(line.word(2));

  std::array<std::array<sgl::RationalVector, 3>, 2> vectors{};
  for (int crystal = 0; crystal < 2; ++crystal) {
    std::string word;
    for (int j = 0; j < 3; ++j) {
      word = line.word(3 + 3 * crystal + j);
      const std::string written(trim_right(word));
      int32_t n = 0;
      std::array<std::string, sgl::kMaxWords> fields;
      fields.fill(std::string(sgl::kWordLength, ' '));
      sgl::separate_words_comma(word, n, fields);
      if (n != 3) line.fail_word(word);
      std::array<int32_t, 3> num{}, den{};
      for (std::size_t i = 0; i < 3; ++i) {
        sgl::read_fraction(fields[i], num[i], den[i]);
        if (den[i] == 0) line.fail_word(fields[i]);
      }
      // A cell edge more than kMaxLatticeComponent conventional cells long in any direction is
      // no cell the search could take (its sizes are small), and its products with the crystal's
      // bases and operators would leave the 32-bit integers of the exact routines.
      for (std::size_t i = 0; i < 3; ++i) {
        if (std::abs(int64_t{num[i]}) > int64_t{kMaxLatticeComponent} * den[i]) {
          sgl::write_line(6, "(a)", {"Error: lattice vector " + written + " too large (components of at most " +
                                         std::to_string(kMaxLatticeComponent) + " allowed) in line: ",
                                     line.trimmed_line()});
          sgl::bomb();
        }
      }
      // The vector over the product of the three denominators in lowest terms, that is over
      // the least common multiple of the reduced denominators; formed in 64 bits and refused when
      // a term does not fit 32 bits.
      const auto fits = [](int64_t x) {
        return x >= std::numeric_limits<int32_t>::min() && x <= std::numeric_limits<int32_t>::max();
      };
      std::array<int64_t, 3> rn{}, rd{};
      int64_t common = 1;
      for (std::size_t i = 0; i < 3; ++i) {
        const int64_t g = std::gcd(int64_t{num[i]}, int64_t{den[i]});
        rn[i] = num[i] / g;
        rd[i] = den[i] / g;
        common = common / std::gcd(common, rd[i]) * rd[i];
        if (!fits(common)) line.fail_word(word);
      }
      sgl::RationalVector v{0, 0, 0, static_cast<int32_t>(common)};
      for (std::size_t i = 0; i < 3; ++i) {
        const int64_t x = rn[i] * (common / rd[i]);
        if (!fits(x)) line.fail_word(word);
        v[i] = static_cast<int32_t>(x);
      }
      sgl::reduc2(v);
      vectors[static_cast<std::size_t>(crystal)][static_cast<std::size_t>(j)] = v;
    }
    sgl::Mat3i m{};
    for (int j = 1; j <= 3; ++j) {
      for (int i = 1; i <= 3; ++i) {
        sgl::m3(m, i, j) = vectors[static_cast<std::size_t>(crystal)][static_cast<std::size_t>(j - 1)]
                                  [static_cast<std::size_t>(i - 1)];
      }
    }
    // The numerators may reach the 32-bit range; the determinant is exact for any of them. A
    // refusal names the crystal and its three vectors as written, whichever of them is at fault.
    const int64_t det = cell_determinant(m);
    if (det <= 0) {
      std::string written;
      for (int j = 0; j < 3; ++j) {
        written += (j > 0 ? " " : "") + std::string(line.trimmed_word(3 + 3 * crystal + j));
      }
      const std::string which = "Lattice vectors of crystal " + std::to_string(crystal + 1) + " (" + written + ")";
      sgl::write_line(6, "(a)", {which + (det == 0 ? " are not linearly independent: they span no cell"
                                                   : " are not right-handed: swap two of them")});
      sgl::bomb();
    }
  }

  settings.lattice_subgroup = subgroup;
  settings.lattice_vectors = vectors;
  report("(a,i3,a)", {"Lattice vectors of subgroup ", subgroup, ":"});
  for (int crystal = 0; crystal < 2; ++crystal) {
    std::string text(512, ' ');
    const std::string head = "crystal " + std::to_string(crystal + 1) + ": ";
    text.replace(0, head.size(), head);
    int32_t p = static_cast<int32_t>(head.size());
    for (int j = 0; j < 3; ++j) {
      if (j > 0) text[static_cast<std::size_t>(p++)] = ',';
      append_vector(p, text, vectors[static_cast<std::size_t>(crystal)][static_cast<std::size_t>(j)]);
    }
    report("(2x,a)", {std::string_view(text).substr(0, static_cast<std::size_t>(p))});
  }
  settings.lattice_given = true;
}

}  // namespace duopath
