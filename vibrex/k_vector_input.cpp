// The k line: label, parameter values, the k vector in "pml" and "cinter", and its header line.
#include <numeric>
#include <string_view>
#include <vector>

#include "library/exact/arithmetic.hpp"
#include "library/exact/checked_int.hpp"
#include "library/exact/int128.hpp"
#include "library/text/characters.hpp"
#include "library/text/text_io.hpp"
#include "library/text/words.hpp"
#include "vibrex/driver.hpp"
#include "vibrex/input_lines.hpp"
#include "vibrex/isotropy.hpp"
#include "vibrex/report_columns.hpp"
#include "vibrex/supercell_modes.hpp"

namespace vibrex {

namespace {

using sgl::Int128;
using sgl::trim_trailing_blanks;

// The largest k-vector parameter accepted. k is periodic in the reciprocal lattice, so values
// beyond a few units only repeat smaller ones; and the phases exp(2 pi i k . t) are computed in
// single precision, which loses them as k grows.
constexpr int64_t kMaxKParameter = 10;

// A parameter word: an integer n, or n/d with both parts read as integers in free format,
// returned in lowest terms with a positive denominator (as the sum of the parameters would bring
// it). Free-format reading would take "2*3" as 3, "1/2,3" as 1/2 and "1/2/3" as 1/2, a silently
// wrong k vector: such words are refused, and so are a zero denominator and values beyond the
// bound, naming the word. A part that is no integer ("0.25", "1/x") stops the run with the text
// layer's diagnostic, which names the k line.
sgl::RationalVector parameter_value(const std::string& raw, int32_t p) {
  const std::string word(trim_trailing_blanks(raw));
  const std::size_t slash = word.find('/');
  if (word.find_first_of("*,") != std::string::npos ||
      (slash != std::string::npos && word.find('/', slash + 1) != std::string::npos)) {
    sgl::stop_run("Error:  invalid k-vector parameter " + word);
  }
  const std::string awaited = "k-vector parameter " + std::to_string(p) + " as an integer n or a fraction n/d";
  const sgl::ReadHandling handling{.awaited = awaited, .text_of_unit = 5};
  int32_t n = 0;
  int32_t d = 1;
  if (slash == std::string::npos) {
    sgl::read_free_text(word, {n}, handling);
  } else {
    sgl::read_free_text(std::string_view(word).substr(0, slash), {n}, handling);
    sgl::read_free_text(std::string_view(word).substr(slash + 1), {d}, handling);
  }
  if (d == 0) sgl::stop_run("Error:  k-vector parameter " + word + " has a zero denominator");
  int64_t num = n, den = d;
  if (den < 0) {
    num = -num;
    den = -den;
  }
  const int64_t g = std::gcd(num, den);
  num /= g;
  den /= g;
  if (num > kMaxKParameter * den || num < -kMaxKParameter * den) {
    sgl::stop_run("Error:  k-vector parameter " + word + " out of range -10 to 10");
  }
  sgl::RationalVector v{0, 0, 0, static_cast<int32_t>(den)};
  v[static_cast<std::size_t>(p - 1)] = static_cast<int32_t>(num);
  return v;
}

Int128 gcd_wide(Int128 a, Int128 b) {
  if (a < 0) a = -a;
  if (b < 0) b = -b;
  while (b != 0) {
    const Int128 r = a % b;
    a = b;
    b = r;
  }
  return a;
}

// Whether the k vector of the tabulated form m at the parameter values (value p in component p
// of values[p - 1], over its denominator) has a reduced denominator above bound. Exact in 128
// bits: a term's numerator and denominator stay below 2^38 (table entries below 2^7, input
// integers below 2^31), so a component of four terms over the product of their denominators
// stays below 2^124. Decided before k is built in 32-bit arithmetic, which such denominators
// would overflow.
bool k_denominator_exceeds(const KMatrix& m, int32_t npar, const std::vector<sgl::RationalVector>& values,
                           int32_t bound) {
  Int128 common = 1;
  for (int i = 0; i < 3; ++i) {
    const sgl::RationalVector c0 = kmatrix_column(m, 1);
    Int128 num = c0[i], den = c0[3];
    for (int32_t p = 1; p <= npar; ++p) {
      const sgl::RationalVector col = kmatrix_column(m, p + 1);
      const sgl::RationalVector& v = values[static_cast<std::size_t>(p - 1)];
      const Int128 tn = static_cast<Int128>(col[i]) * v[static_cast<std::size_t>(p - 1)];
      const Int128 td = static_cast<Int128>(col[3]) * v[3];
      num = num * td + tn * den;
      den = den * td;
    }
    const Int128 g = gcd_wide(num, den);
    den = den / g;
    if (den < 0) den = -den;
    if (den > bound) return true;
    common = common / gcd_wide(common, den) * den;  // an lcm of numbers up to 64: below 2^93
  }
  return common > bound;
}

}  // namespace

void read_k_vector(VibrexRun& run, int32_t index, int32_t count) {
  const Tables& t = run.tables;
  KVectorState& kv = run.kv;
  const std::string which = line_of("k line", index, count);
  kv.line = read_input_line(which);
  const std::string& line = kv.line;
  refuse_text_beyond_column_78();
  sgl::separate_words(line, kv.nw, kv.lens, kv.words);
  if (kv.nw == 0) {
    sgl::stop_run("Error:  insufficient input on line: " + named_line(line) + " (" + which + " needs a k-vector label)");
  }
  const std::string label(trim_trailing_blanks(kv.words[0]));

  kv.j = 0;
  for (int32_t j = 1; j <= t.little.kvec_count(run.lattice); ++j) {
    if (t.little.kvec_label(j, run.lattice).trimmed() == label) {
      kv.j = j;
      break;
    }
  }
  if (kv.j == 0) sgl::stop_run("Error:  k vector not in data base: " + label + on_line(line));
  kv.npar = t.little.kvec_parameter_count(kv.j, run.lattice);
  if (kv.nw < kv.npar + 1) {
    sgl::stop_run("Error:  missing k-vector parameters: " + label + " takes " + std::to_string(kv.npar) + on_line(line));
  }

  std::vector<sgl::RationalVector> values;
  for (int32_t p = 1; p <= kv.npar; ++p) {
    // A word cut to 20 characters would be read as another number.
    if (word_cut_short(line, p)) {
      sgl::stop_run("Error:  invalid k-vector parameter " + std::string(trim_trailing_blanks(kv.words[p])) + "...");
    }
    values.push_back(parameter_value(kv.words[p], p));
  }
  const KMatrix m = table_kmatrix(t.little, kv.j, run.lattice);
  // The superlattice on which k is periodic has as many cells as k's reduced denominator; the
  // isotropy search goes no further than 64 cells and its cost grows as the cube of that number,
  // so such a line is refused here, before its header is written.
  if (kv.npar > 0 && k_denominator_exceeds(m, kv.npar, values, kMaxSuperlatticeCells))
    sgl::stop_run("Error:  k vector needs a superlattice of more than 64 cells");

  kv.kpar = {0, 0, 0, 1};
  for (const sgl::RationalVector& v : values) sgl::vadd(kv.kpar, v, kv.kpar);

  kv.k = kmatrix_column(m, 1);
  for (int32_t p = 1; p <= kv.npar; ++p) {
    sgl::RationalVector col = kmatrix_column(m, p + 1);
    for (int i = 0; i < 3; ++i) col[i] = sgl::narrow32(sgl::mul64(col[i], kv.kpar[p - 1], "k vector"), "k vector");
    col[3] = sgl::narrow32(sgl::mul64(col[3], kv.kpar[3], "k vector"), "k vector");
    sgl::vadd(kv.k, col, kv.k);
  }
  // A k vector at which the tables list no irreps of the group is not covered.
  if (t.little.little_irrep_count(kv.j, run.isg) == 0) {
    sgl::stop_run("Error:  k vector not in data base: " + label + on_line(line));
  }
  // Parameter values that put k at a point of higher symmetry would give a reducible "irrep".
  if (is_k_special(t, run.isg, kv.j, kv.k) != 0) sgl::stop_run("Error:  k vector parameters give a special point");
  kvector_change_setting(t.space, run.isg, "pml", "cinter", kv.k, kv.kc);
  // Every irrep of a k vector with parameters is reported on the superlattice of k: vectors too
  // long for the report's columns are refused here, before the header. (The atom positions are
  // checked with each irrep's block.)
  if (kv.npar > 0) {
    sgl::Mat3i v{};
    newlat(std::span<const sgl::RationalVector>(&kv.k, 1), v);
    refuse_unprintable_coordinates(superlattice_vectors(run, v), {}, on_line(line));
  }
}

std::string k_vector_line(const VibrexRun& run) {
  std::string text = "k vector";
  text.resize(78, ' ');
  const std::string_view label = run.tables.little.kvec_label(run.kv.j, run.lattice).view();
  text[9] = label[0];
  text[10] = label[1];
  int32_t pos = text[10] == ' ' ? 11 : 12;
  text.replace(static_cast<std::size_t>(pos), 3, "= (");
  pos += 3;
  const sgl::RationalVector& kc = run.kv.kc;
  for (int i = 0; i < 3; ++i) {
    sgl::fraction_string(pos, text, kc[i], kc[3]);
    text[static_cast<std::size_t>(pos)] = i < 2 ? ',' : ')';
    ++pos;
  }
  return text.substr(0, 50);
}

}  // namespace vibrex
