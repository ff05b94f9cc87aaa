// Formatted and free-format output: fields, rounding, format control, free layouts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "library/text/text_io.hpp"
#include "library/text/text_io_fields.hpp"
#include "library/text/text_io_free_output.hpp"
#include "library/text/text_io_units.hpp"

namespace {

using sgl::Logical;
using sgl::OutItem;

std::string formatted(std::string_view format, std::initializer_list<OutItem> items) {
  return sgl::textio::format_output(format, std::span<const OutItem>(items.begin(), items.size()),
                                    6);
}

std::string free_out(std::initializer_list<OutItem> items) {
  return sgl::textio::free_line(std::span<const OutItem>(items.begin(), items.size()));
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct FieldCase {
  const char* format;
  OutItem item;
  const char* expected;  // the line without its line feed
};

TEST(TextOutput, FieldLayouts) {
  const FieldCase cases[] = {
      // G: fixed form in w-4 columns and four blanks, exponent form outside 0 <= c <= d.
      {"(g8.3)", 0.66, ".660    "},
      {"(g8.3)", 1.5, "1.50    "},
      {"(g12.4)", 2.5, "   2.500    "},
      {"(g12.4)", 0.0123, "  0.1230E-01"},
      {"(g10.3)", 0.0, " 0.000    "},
      {"(g10.3)", 1.0e-10, " 0.100E-09"},
      {"(g8.3)", 9.9996, "10.0    "},          // carry: one decimal fewer
      {"(g8.3)", 999.6, ".100E+04"},            // carry beyond d integer digits: exponent form
      {"(g12.3)", 1234.5, "   0.123E+04"},
      {"(g6.3)", -0.66, "******"},              // does not fit w-4 columns
      {"(g12.4)", -2.5, "  -2.500    "},
      // F: zero before the point only with a column to spare; signs of values rounding to zero.
      {"(f8.5)", 0.25, " 0.25000"},
      {"(f8.5)", -0.25, "-0.25000"},
      {"(f7.5)", -0.25, "-.25000"},
      {"(f8.3)", -0.0004, "   0.000"},
      {"(f8.3)", -0.0, "  -0.000"},
      {"(f5.2)", 0.125, " 0.13"},               // exact tie: away from zero
      {"(f5.2)", -0.125, "-0.13"},
      {"(f5.2)", -0.004, " 0.00"},
      {"(f5.1)", 1.45, "  1.4"},                // 1.45 is 1.4499999999999999556 in binary
      {"(f6.3)", 9.9996, "10.000"},
      {"(f6.1)", 1.0e10, "******"},
      {"(f4.2)", 0.5, "0.50"},
      {"(f3.2)", 0.5, ".50"},
      {"(f10.0)", 2.5, "        3."},
      {"(f8.3)", 12, "  12.000"},               // an integer item under F
      // E: "0" with a column to spare, three-digit exponents without the letter.
      {"(e10.3)", 12345.0, " 0.123E+05"},
      {"(e10.3)", 1.0e-101, " 0.100-100"},
      {"(e10.3)", 0.0, " 0.000E+00"},
      {"(e9.3)", -12345.0, "-.123E+05"},
      {"(e8.3)", -12345.0, "********"},
      {"(e10.2)", 0.125, "  0.13E+00"},
      {"(e10.3)", 0.9996, " 0.100E+01"},
      {"(e10.3)", 1.0e300, " 0.100+301"},
      // I and A.
      {"(i3)", 1000, "***"},
      {"(i4)", -12, " -12"},
      {"(i2)", -12, "**"},
      {"(i3)", 0, "  0"},
      {"(i11)", std::numeric_limits<int32_t>::min(), "-2147483648"},
      {"(a3)", "abcdef", "abc"},
      {"(a5)", "ab", "   ab"},
      {"(a)", "ab  ", "ab  "},
      // Not-a-number and infinity.
      {"(f8.3)", kNaN, "     NaN"},
      {"(f8.3)", -kInf, "    -INF"},
      {"(e10.3)", kInf, "       INF"},
      {"(g12.4)", kNaN, "         NaN"},
      {"(f2.1)", kNaN, "**"},
      {"(f3.1)", kInf, "INF"},
      {"(f3.1)", -kInf, "***"},
      // Single precision: 8 digits of the expansion, never more shown; double: 16 shown.
      {"(f10.8)", 0.66f, "0.66000002"},
      {"(f12.10)", 1.0f / 3.0f, "0.3333333400"},
      {"(f20.18)", 1.0 / 3.0, "0.333333333333333300"},
      {"(f20.17)", 0.7, " 0.70000000000000000"},  // digit 17 decides: ...995 rounds up
      {"(f20.17)", 0.7f, " 0.69999998000000000"},
      {"(e15.9)", 0.1f, "0.100000000E+00"},
      {"(f5.1)", 1.45f, "  1.5"},               // 1.45f is 1.4500000476837158 in binary
  };
  for (const FieldCase& c : cases) {
    EXPECT_EQ(formatted(c.format, {c.item}), std::string(c.expected) + "\n") << c.format;
  }
}

TEST(TextOutput, FormatControl) {
  struct Case {
    const char* format;
    std::vector<OutItem> items;
    const char* expected;
  };
  const Case cases[] = {
      {"(a)", {"first", "second"}, "first\nsecond\n"},  // two items under "(a)": two lines
      {"(a,$)", {"."}, "."},
      {"(a,i3,1x,a10)", {"n", 5, "word"}, "n  5       word\n"},
      {"( A , I 3 )", {"x", 42}, "x 42\n"},
      {"('x=',i2,' y')", {5}, "x= 5 y\n"},
      {"('it''s',a)", {"!"}, "it's!\n"},
      {"(\"q\",a)", {"!"}, "q!\n"},
      {"(2x,a,3x)", {"ab"}, "  ab   \n"},
      {"(x,a)", {"ab"}, " ab\n"},
      {"('only')", {}, "only\n"},
      {"(a)", {}, "\n"},
      // After the last item: literals and blanks up to the next data descriptor.
      {"(i2,' end',i2,' more')", {7}, " 7 end\n"},
      {"(i2,' end',$)", {7}, " 7 end"},
      // Reversion: a new line, from the last group of the outer level with its count restored.
      {"(3f6.2)", {1.0, 2.0, 3.0, 4.0}, "  1.00  2.00  3.00\n  4.00\n"},
      {"(i2,2(i3))", {1, 2, 3, 4, 5, 6}, " 1  2  3\n  4  5\n  6\n"},
      {"(i2,2(i3),'|')", {1, 2, 3, 4}, " 1  2  3|\n  4\n"},
      {"(a2,2(1x,a1,'.'))", {"ab", "c", "d", "e"}, "ab c. d.\n e. \n"},
      {"(100(a5,3a1))", {"ab:", "x", "y", "z", "cd:", "w"}, "  ab:xyz  cd:w\n"},
      {"100(a5,3a1)", {"ab:", "x", "y"}, "  ab:xy\n"},  // outer parentheses left out
      {"(2(a,i2),a)", {"a", 1, "b", 2, "c", "d"}, "a 1b 2c\nd\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sgl::textio::format_output(c.format, c.items, 6), c.expected) << c.format;
  }
}

TEST(TextOutput, FreeFormat) {
  struct Case {
    std::vector<OutItem> items;
    const char* expected;  // without the line feed
  };
  const Case cases[] = {
      {{12, -5}, "   12 -5"},
      {{"n =", 3}, " n =  3"},
      {{1.5, -2.0}, "   1.50000000000000 -2.00000000000000"},
      {{}, " "},
      {{0.25}, "   0.250000000000000"},
      {{0.0}, "   0.000000000000000"},
      {{-0.0}, "  -0.000000000000000"},
      {{0.1}, "   0.100000000000000"},
      {{1.0e20}, "   1.000000000000000E+020"},
      {{1.0e15}, "   1.000000000000000E+015"},
      {{123456789012345.0}, "   123456789012345."},
      // 999999999999999.875: 16 digits keep 15 integer digits, 15 digits carry into a 16th,
      // which the fixed form has no room for.
      {{999999999999999.9}, "   9.999999999999999E+014"},
      {{99999999999999.99}, "   100000000000000."},  // carry into a 15th digit: no decimal left
      {{0.05}, "   5.000000000000000E-002"},
      {{1.0 / 3.0}, "   0.333333333333333"},
      {{2.0 / 3.0}, "   0.666666666666667"},
      {{6.0e-17}, "   6.000000000000000E-017"},
      {{1.0e-17}, "   0.000000000000000"},  // rounds to zero at 16 decimals
      {{-1.0e-300}, "  -0.000000000000000"},
      {{0.66f}, "   0.660000"},
      {{0.1f}, "   0.100000"},
      {{1.0e10f}, "   1.000000E+10"},
      {{999999.9f}, "   9.999999E+05"},  // 999999.875: carry beyond 6 integer digits
      {{99999.99f}, "   100000."},
      {{123456.0f}, "   123456."},
      {{0.05f}, "   5.000000E-02"},
      {{-2.5f}, "  -2.50000"},
      {{Logical{true}, "x", 1}, "  T x  1"},
      {{"ab", "cd", Logical{false}}, " abcd F"},
      {{1, "text  "}, "   1 text  "},
      {{kNaN, -kInf, kInf}, "   NaN -INF  INF"},
  };
  for (const Case& c : cases) {
    const std::string line = sgl::textio::free_line(c.items);
    EXPECT_EQ(line, std::string(c.expected) + "\n");
  }
  EXPECT_EQ(free_out({"a"}), " a\n");
}

TEST(TextOutput, WriteTextFillsTheWholeVariable) {
  std::string text(10, 'x');
  sgl::write_text(text, "(i3)", {5});
  EXPECT_EQ(text, "  5       ");
  std::string shorter(4, 'x');
  sgl::write_text(shorter, "(a,i5)", {"ab", 12345});
  EXPECT_EQ(shorter, "ab12");
  std::string one_line(6, 'x');
  sgl::write_text(one_line, "(a)", {"ab", "cd"});  // the variable holds one line
  EXPECT_EQ(one_line, "ab    ");
}

TEST(TextOutput, ValueTextIsTheFieldWithoutItsBlanks) {
  struct Case {
    const char* format;
    double value;
    const char* expected;
  };
  const Case cases[] = {
      {"(f8.3)", 1.5, "1.500"},
      {"(f8.3)", -0.25, "-0.250"},
      {"(f8.3)", 1e9, "********"},  // a value the field cannot hold keeps its asterisks
      {"(f10.5)", 5.78307, "5.78307"},
      {"(f10.5)", 9999.99999, "9999.99999"},
  };
  for (const Case& c : cases) EXPECT_EQ(sgl::value_text(c.format, c.value), c.expected) << c.format << " " << c.value;
}

TEST(TextOutput, FitsFieldOnBothSidesOfTheWidth) {
  struct Case {
    const char* format;
    sgl::OutItem value;
    bool fits;
  };
  const Case cases[] = {
      {"(f10.5)", 9999.99999, true},
      {"(f10.5)", 9999.999995, false},  // rounds to 10000.00000, eleven columns
      {"(f10.5)", -999.99999, true},
      {"(f10.5)", -999.999995, false},
      {"(f10.5)", 9999.99f, true},  // a single-precision value in its own digits
      {"(f10.5)", 10000.0f, false},
      {"(f5.2)", 99.99, true},
      {"(f5.2)", 99.995, false},
      {"(g8.3)", 0.0, true},
      {"(g8.3)", -0.0, false},  // the sign of a negative zero has no room
      {"(i3)", int32_t{999}, true},
      {"(i3)", int32_t{1000}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sgl::fits_field(c.format, c.value), c.fits) << c.format << " case " << (&c - cases);
  }
}

TEST(TextOutput, DigitsAreTheExactExpansionCutNotRounded) {
  // 0.3 is 0.29999999999999998889776975... in binary: 17 digits cut, not rounded.
  const sgl::textio::Decimal d = sgl::textio::decompose(0.3, false);
  EXPECT_EQ(d.digits, "29999999999999998");
  EXPECT_EQ(d.exp10, 0);
  // A float keeps 8 digits: 0.3f is 0.300000011920928955078125.
  EXPECT_EQ(sgl::textio::decompose(0.3f, true).digits, "30000001");
  // Exact ties of the cut digits go away from zero.
  EXPECT_EQ(sgl::textio::round_significant(sgl::textio::decompose(2.5, false), 1).digits, "3");
  EXPECT_EQ(sgl::textio::round_significant(sgl::textio::decompose(0.5, false), 0).digits, "1");
}

// The digits of a real taken literally, the reference of decompose: the whole exact expansion
// from printf (767 significant digits hold every double exactly), cut after 17 digits (8 for a
// float).
sgl::textio::Decimal decompose_literal(double value, bool single) {
  sgl::textio::Decimal v;
  v.negative = std::signbit(value);
  v.taken = single ? 8 : 17;
  v.cap = single ? 8 : 16;
  v.nan = std::isnan(value);
  v.inf = std::isinf(value);
  v.zero = value == 0.0;
  if (v.nan || v.inf) return v;
  if (v.zero) {
    v.digits.assign(static_cast<std::size_t>(v.taken), '0');
    return v;
  }
  char text[800];
  std::snprintf(text, sizeof text, "%.766e", std::fabs(value));
  const std::string all = std::string(1, text[0]) + std::string(text + 2, 766);
  v.digits = all.substr(0, static_cast<std::size_t>(v.taken));
  v.exp10 = std::atoi(text + 2 + 766 + 1) + 1;
  return v;
}

// decompose takes its digits from std::to_chars, 41 digits first and the whole expansion only
// when those end in zeros. The cases that reach the whole expansion (exact short decimals, runs
// of nines that round up at the 41st digit, huge and tiny magnitudes) are listed, then random
// bit patterns of both widths.
TEST(TextOutput, DecomposeMatchesThePrintfReference) {
  using sgl::textio::Decimal;
  auto same = [](double x, bool single) {
    const Decimal a = sgl::textio::decompose(x, single);
    const Decimal b = decompose_literal(x, single);
    return a.negative == b.negative && a.zero == b.zero && a.nan == b.nan && a.inf == b.inf &&
           a.digits == b.digits && a.exp10 == b.exp10 && a.taken == b.taken && a.cap == b.cap;
  };
  std::vector<double> cases = {0.0, -0.0, 1.0, -1.0, 0.5, 0.25, 0.125, 2.5, 1e16, 1e17, 1e22, 1e23,
                               0.1, 0.3, 1.0 / 3.0, 2.0 / 3.0, 0.9999999999999999, 9.999999999999999e22,
                               std::numeric_limits<double>::max(),
                               std::numeric_limits<double>::min(),
                               std::numeric_limits<double>::denorm_min(),
                               std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN(), 123456789.0, 0.015625};
  for (int k = -1100; k <= 1030; ++k) cases.push_back(std::ldexp(1.0, k));
  for (int k = 1; k <= 2000; ++k) {
    cases.push_back(k / 8.0);
    cases.push_back(k * 0.001);
    cases.push_back(std::nextafter(k * 0.1, 0.0));
  }
  for (int p = -320; p <= 308; ++p) cases.push_back(std::pow(10.0, p));
  for (const double x : cases) {
    EXPECT_TRUE(same(x, false)) << x;
    EXPECT_TRUE(same(static_cast<float>(x), true)) << x;
  }
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 100000; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    double x = 0.0;
    const uint64_t bits = state;
    std::memcpy(&x, &bits, sizeof x);
    float f = 0.0f;
    const uint32_t fbits = static_cast<uint32_t>(state >> 32);
    std::memcpy(&f, &fbits, sizeof f);
    ASSERT_TRUE(same(x, false)) << bits;
    ASSERT_TRUE(same(f, true)) << fbits;
  }
}

}  // namespace
