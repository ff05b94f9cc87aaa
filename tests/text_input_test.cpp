// Text input: lines (line feeds, carriage returns, tabs), fixed fields and free-format values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "library/text/text_io.hpp"
#include "library/text/text_io_units.hpp"
#include "text_io_child.hpp"

namespace {

using sgl::ReadOutcome;

constexpr double kUnset = -1.0;

class TextInput : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = text_io_test::temp_dir(); }
  void TearDown() override {
    sgl::close_unit(31);
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  // Connects unit 31 to a file holding the given text.
  void input(const std::string& text) {
    sgl::close_unit(31);
    const std::string path = dir_ + "/input.txt";
    text_io_test::spill(path, text);
    sgl::open_unit(31, path, "OLD", "");
  }
  std::string dir_;
};

std::string show(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", v);
  return buffer;
}

TEST_F(TextInput, FreeFormatReals) {
  struct Case {
    const char* input;
    std::vector<double> expected;  // four items, each starting as -1
    int status;
  };
  const Case cases[] = {
      {"3*2.5 7\n", {2.5, 2.5, 2.5, 7}, 0},
      {"3*2.5\n8\n", {2.5, 2.5, 2.5, 8}, 0},       // the fourth value from the next line
      {"1,,3,4\n", {1, kUnset, 3, 4}, 0},          // null value between two commas
      {",2 3 4\n", {kUnset, 2, 3, 4}, 0},          // a comma first: null
      {"1 2 /\n5\n", {1, 2, kUnset, kUnset}, 0},    // slash ends the read
      {"1 2/ 5\n", {1, 2, kUnset, kUnset}, 0},     // ... also directly after a value
      {"1 2/\n5\n", {1, 2, kUnset, kUnset}, 0},
      {"1 2/3 4\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusFraction},  // not 2, then the end
      {"1 0 1/4 4\n", {1, 0, kUnset, kUnset}, sgl::kStatusFraction},
      {"2*1/4\n", {kUnset, kUnset, kUnset, kUnset}, sgl::kStatusFraction},
      {"1 2 '1/4' 4\n", {1, 2, kUnset, kUnset}, sgl::kStatusIllegalNumeric},
      {"2*,7 8\n", {kUnset, kUnset, 7, 8}, 0},     // r null values
      {"2* 5 6 7\n", {5, 5, 6, 7}, 0},             // blanks after the asterisk are skipped
      {"2*\n5 6 7\n", {5, 5, 6, 7}, 0},            // so is a line end
      {"\n  \n1 2\n\n3 4\n", {1, 2, 3, 4}, 0},     // blank lines are skipped
      {"1\n,2\n3 4\n", {1, 2, 3, 4}, 0},           // a comma beginning a line after a value
      {"1\n\n ,2\n3 4\n", {1, 2, 3, 4}, 0},
      {"1,\n,3 4\n", {1, kUnset, 3, 4}, 0},        // ... but not after a comma
      {"1 , 2 ,3,  4\n", {1, 2, 3, 4}, 0},         // blanks around one comma
      {"1\t2,\t3 4\n", {1, 2, 3, 4}, 0},
      {"1.5+3 1d2 -2.5E-1 .5\n", {1500, 100, -0.25, 0.5}, 0},
      {"+1.e1 2D+1 1-2 -.5d-1\n", {10, 20, 0.01, -0.05}, 0},
      // A number is the whole word, never its leading part.
      {"1 0.48.2 3 4\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusIllegalNumeric},
      {"1 0.5-0.1 3 4\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusIllegalNumeric},
      {"1 1.5e 3 4\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusIllegalNumeric},
      {"1 1.5e+ 3 4\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusIllegalNumeric},
      {"1 1e5e5 3 4\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusIllegalNumeric},
      {"1 5.. 3 4\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusIllegalNumeric},
      {"inf -Infinity NaN 1\n", {std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(),
                                 std::numeric_limits<double>::quiet_NaN(), 1}, 0},
      {"1 2 3 4 5 6\n", {1, 2, 3, 4}, 0},          // the rest of the last line is dropped
      {"1 2\n", {1, 2, kUnset, kUnset}, sgl::kStatusEnd},
      {"1 2\n3", {1, 2, 3, kUnset}, sgl::kStatusEnd},  // a last line without a line feed counts
      {"", {kUnset, kUnset, kUnset, kUnset}, sgl::kStatusEnd},
      {"1 x 3 4\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusIllegalNumeric},
      {"1 12abc\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusIllegalNumeric},
      {"1 Nope 3 4\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusIllegalNumeric},  // not NaN
      {"1 infinit 3 4\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusIllegalNumeric},
      {"1 '2' 3 4\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusIllegalNumeric},
      {"0*5 1 2 3\n", {kUnset, kUnset, kUnset, kUnset}, sgl::kStatusIllegalNumeric},
      // Only the words give non-finite values: a literal beyond the range is a failure, one
      // below it underflows towards zero.
      {"1 1e400 3 4\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusRealRange},
      {"1 -2d308 3 4\n", {1, kUnset, kUnset, kUnset}, sgl::kStatusRealRange},
      {"1.7976931348623157e308 1e-400 -1e-320 4\n", {1.7976931348623157e308, 0, -1e-320, 4}, 0},
  };
  for (const Case& c : cases) {
    input(c.input);
    std::vector<double> v(4, kUnset);
    int status = -99;
    sgl::read_free(31, {v[0], v[1], v[2], v[3]}, {.status = &status});
    EXPECT_EQ(status, c.status) << c.input;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(show(v[k]), show(c.expected[k])) << c.input << " #" << k;

    // The same read into items made as the values arrive, in storage that moves as it grows:
    // the same values and outcome, and each item asked for once, in order, and only when a value
    // arrives for it (never for a null value or after the slash).
    input(c.input);
    std::vector<double> grown;
    std::vector<std::size_t> asked;
    status = -99;
    sgl::read_free_each(
        31, 4,
        [&](std::size_t k) -> sgl::InItem {
          asked.push_back(k);
          grown.resize(std::max(grown.size(), k + 1), kUnset);
          return grown[k];
        },
        {.status = &status});
    EXPECT_EQ(status, c.status) << c.input;
    grown.resize(4, kUnset);
    std::vector<std::size_t> given;
    for (std::size_t k = 0; k < 4; ++k) {
      EXPECT_EQ(show(grown[k]), show(c.expected[k])) << c.input << " #" << k;
      if (show(c.expected[k]) != show(kUnset)) given.push_back(k);
    }
    // A value that fails is asked for before it is refused.
    if (c.status > 0 && !asked.empty() && (given.empty() || asked.back() != given.back())) asked.pop_back();
    EXPECT_EQ(asked, given) << c.input;
  }
}

TEST_F(TextInput, FreeFormatIntegersAndSinglePrecision) {
  struct Case {
    const char* input;
    std::vector<int32_t> expected;  // three items, each starting as -9
    int status;
  };
  const Case cases[] = {
      {"+5 -6 7\n", {5, -6, 7}, 0},
      {"2147483647 -2147483648 0\n", {2147483647, -2147483648, 0}, 0},
      {"1 2147483648 3\n", {1, -9, -9}, sgl::kStatusIntegerRange},
      {"1 -99999999999999999999 3\n", {1, -9, -9}, sgl::kStatusIntegerRange},
      {"12abc 1 2\n", {-9, -9, -9}, sgl::kStatusIllegalNumeric},
      {"1.0 1 2\n", {-9, -9, -9}, sgl::kStatusIllegalNumeric},
      {"- 1 2\n", {-9, -9, -9}, sgl::kStatusIllegalNumeric},
      {"3/4 1 2\n", {-9, -9, -9}, sgl::kStatusFraction},
      {"3 4/ 2\n", {3, 4, -9}, 0},
  };
  for (const Case& c : cases) {
    input(c.input);
    std::vector<int32_t> v(3, -9);
    int status = -99;
    sgl::read_free(31, {v[0], v[1], v[2]}, {.status = &status});
    EXPECT_EQ(status, c.status) << c.input;
    EXPECT_EQ(v, c.expected) << c.input;
  }
  // A 4-byte real is converted from the decimal text directly, and its own range applies, in
  // free format and in a fixed field alike.
  float f = 0;
  ASSERT_EQ(sgl::read_free_text("0.1", {f}), ReadOutcome::ok);
  EXPECT_EQ(f, 0.1f);
  struct RealCase {
    const char* text;
    int status;
    float value;  // starts as 7
  };
  const RealCase reals[] = {
      {"3.4e38", 0, 3.4e38f},
      {"1e50", sgl::kStatusRealRange, 7},
      {"-1e39", sgl::kStatusRealRange, 7},
      {"inf", 0, std::numeric_limits<float>::infinity()},
  };
  for (const RealCase& c : reals) {
    int status = -99;
    f = 7;
    sgl::read_free_text(c.text, {f}, {.status = &status});
    EXPECT_EQ(status, c.status) << c.text;
    EXPECT_EQ(f, c.value) << c.text;
    input(std::string("   ") + c.text + "\n");
    f = 7;
    status = -99;
    sgl::read_line(31, "(f10.0)", {f}, {.status = &status});
    EXPECT_EQ(status, c.status) << "fixed " << c.text;
    EXPECT_EQ(f, c.value) << "fixed " << c.text;
  }
}

TEST_F(TextInput, FreeFormatTextsAndLogicals) {
  struct Case {
    const char* input;
    const char* text;  // ten characters
    bool flag;
    int32_t number;
  };
  const Case cases[] = {
      {"'a b,c/d' .TRUE. 3\n", "a b,c/d   ", true, 3},
      {"\"it's\" f 1\n", "it's      ", false, 1},
      {"'it''s' t 1\n", "it's      ", true, 1},
      {"'' .t 2\n", "          ", true, 2},       // an empty quoted value is one blank
      {"abc x 2\n", "abc       ", false, 2},
      {"'con\ntinued' T 4\n", "continued ", true, 4},  // a line end inside quotes adds nothing
      {"abcdefghijklm,F,5\n", "abcdefghij", false, 5},
  };
  for (const Case& c : cases) {
    input(c.input);
    std::string text(10, '?');
    sgl::Logical flag{false};
    int32_t number = 0;
    EXPECT_EQ(sgl::read_free(31, {text, flag, number}), ReadOutcome::ok) << c.input;
    EXPECT_EQ(text, c.text) << c.input;
    EXPECT_EQ(flag.value, c.flag) << c.input;
    EXPECT_EQ(number, c.number) << c.input;
  }
  std::string a(3, '?'), b(3, '?');
  ASSERT_EQ(sgl::read_free_text("2*xy", {a, b}), ReadOutcome::ok);
  EXPECT_EQ(a + b, "xy xy ");
}

TEST_F(TextInput, FreeFormatFromATextIsOneLine) {
  int32_t a = -9, b = -9;
  int status = 0;
  EXPECT_EQ(sgl::read_free_text("  3 4", {a, b}, {.status = &status}), ReadOutcome::ok);
  EXPECT_EQ(a * 10 + b, 34);
  a = b = -9;
  EXPECT_EQ(sgl::read_free_text("3", {a, b}, {.status = &status}), ReadOutcome::end);
  EXPECT_EQ(status, sgl::kStatusEnd);
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, -9);
  EXPECT_EQ(sgl::read_free_text("", {a}, {.end_branch = true}), ReadOutcome::end);
  EXPECT_EQ(sgl::read_free_text("x", {a}, {.error_branch = true}), ReadOutcome::failure);
}

TEST_F(TextInput, EachReadStartsOnANewLine) {
  input("1 2 3\n4 5\n");
  int32_t a = 0, b = 0;
  ASSERT_EQ(sgl::read_free(31, {a}), ReadOutcome::ok);
  ASSERT_EQ(sgl::read_free(31, {b}), ReadOutcome::ok);
  EXPECT_EQ(a * 10 + b, 14);
  // After a handled failure the next read starts on a new line too.
  input("x 1\n7\n");
  int status = 0;
  EXPECT_EQ(sgl::read_free(31, {a}, {.status = &status}), ReadOutcome::failure);
  ASSERT_EQ(sgl::read_free(31, {a}), ReadOutcome::ok);
  EXPECT_EQ(a, 7);
}

TEST_F(TextInput, FixedFields) {
  struct Case {
    const char* input;
    const char* format;
    const char* text;  // the text item's final contents
    std::size_t length;
    int32_t i1, i2;
    int status;
  };
  const Case cases[] = {
      {"ABCDEF 12-34\n", "(a6,2i3)", "ABCDEF", 6, 12, -34, 0},
      {"ABCDEF1 2  3\n", "(a6,2i3)", "ABCDEF", 6, 12, 3, 0},  // blanks inside a field ignored
      {"XY\n", "(a6,2i3)", "XY    ", 6, 0, 0, 0},             // short line, blank fields
      {"ABCDEF +7 x\n", "(a6,2i3)", "ABCDEF", 6, 7, -1, sgl::kStatusIllegalNumeric},
      {"ABCDEF 1.0\n", "(a6,2i3)", "ABCDEF", 6, -1, -1, sgl::kStatusIllegalNumeric},
      {"abcdef\n", "(a6,2i3)", "def", 3, 0, 0, 0},  // w above the length: rightmost characters
      {"ab  1  2\n", "(a2,2i3)", "ab  ", 4, 1, 2, 0},  // w below it: padded
      {"abcd  1  2\n", "(a,2i3)", "abcd", 4, 1, 2, 0},  // A: the item's length
      {"abcd  5  6\n", "(a2,2x,2i3)", "ab", 2, 5, 6, 0},
  };
  for (const Case& c : cases) {
    input(c.input);
    std::string text(c.length, '?');
    int32_t i1 = -1, i2 = -1;
    int status = -99;
    sgl::read_line(31, c.format, {text, i1, i2}, {.status = &status});
    EXPECT_EQ(status, c.status) << c.input << c.format;
    EXPECT_EQ(text, c.text) << c.input << c.format;
    EXPECT_EQ(i1, c.i1) << c.input << c.format;
    EXPECT_EQ(i2, c.i2) << c.input << c.format;
  }
}

TEST_F(TextInput, LinesOfTheInput) {
  std::string line80(80, '?');
  input(std::string(10, 'x') + "\n" + std::string(100, 'y') + "\n");
  ASSERT_EQ(sgl::read_line(31, "(a80)", {line80}), ReadOutcome::ok);
  EXPECT_EQ(line80, std::string(10, 'x') + std::string(70, ' '));
  ASSERT_EQ(sgl::read_line(31, "(a80)", {line80}), ReadOutcome::ok);
  EXPECT_EQ(line80, std::string(80, 'y'));
  EXPECT_EQ(sgl::read_line(31, "(a80)", {line80}, {.end_branch = true}), ReadOutcome::end);

  struct Case {
    const char* input;
    std::vector<std::string> lines;  // read with "(a)" into 6 characters until the end
  };
  const Case cases[] = {
      {"ab\r\ncd\r\n", {"ab    ", "cd    "}},   // CR LF
      {"a\rb\n", {"ab    "}},                  // a carriage return anywhere is dropped
      {"x\ny", {"x     ", "y     "}},          // a last line without a line feed is a line
      {"\n\n", {"      ", "      "}},
      {"", {}},
  };
  for (const Case& c : cases) {
    input(c.input);
    std::vector<std::string> lines;
    for (;;) {
      std::string line(6, '?');
      if (sgl::read_line(31, "(a)", {line}, {.end_branch = true}) != ReadOutcome::ok) break;
      lines.push_back(line);
    }
    EXPECT_EQ(lines, c.lines) << c.input;
  }
  // The format starts again on a new line when items remain.
  input("  1  2\n  3  4\n");
  int32_t a = 0, b = 0, d = 0, e = 0;
  ASSERT_EQ(sgl::read_line(31, "(2i3)", {a, b, d, e}), ReadOutcome::ok);
  EXPECT_EQ(a * 1000 + b * 100 + d * 10 + e, 1234);
}

// A raw line as the reads see it, without a bound on its length.
std::string expand_tabs(std::string_view raw, int width) {
  std::string line;
  EXPECT_TRUE(sgl::textio::append_line_text(line, raw, width, std::string::npos));
  return line;
}

TEST(TextTabs, ExpansionAndTabSize) {
  EXPECT_EQ(expand_tabs("ab\tc", 8), "ab      c");
  EXPECT_EQ(expand_tabs("ab\tc", 4), "ab  c");
  EXPECT_EQ(expand_tabs("ab\tc", 0), "ab\tc");
  EXPECT_EQ(expand_tabs("abcdefgh\tc", 8), "abcdefgh        c");
  EXPECT_EQ(expand_tabs("\t\tc", 4), "        c");
  using sgl::textio::parse_tab_size;
  const std::pair<const char*, int> sizes[] = {
      {"4", 4}, {"0", 0}, {"+4", 4}, {"12abc", 12}, {"-4", 8}, {"abc", 8}, {"", 8}, {" 4", 8},
      // Beyond any line: kept far above the programs' bound, never wrapped round to a small width.
      {"1001", 1001}, {"1000000", 1000000}, {"99999999999999999999999", 1000000},
  };
  for (const auto& [text, width] : sizes) EXPECT_EQ(parse_tab_size(text), width) << text;
  EXPECT_EQ(parse_tab_size(nullptr), 8);
}

// The cleaned line never grows past its limit: carriage returns are not counted, a tab counts
// the blanks it becomes, and text appended to a line continues its columns.
TEST(TextTabs, AppendingStopsAtTheLimit) {
  struct Case {
    std::string before, raw;
    int width;
    std::size_t limit;
    bool fits;
    std::string line;  // when it fits
  };
  const Case cases[] = {
      {"", "abc", 8, 3, true, "abc"},
      {"", "abcd", 8, 3, false, ""},
      {"", "abc\r", 8, 3, true, "abc"},
      {"", "a\r\rb\r", 8, 2, true, "ab"},
      {"", "ab\t", 8, 8, true, "ab      "},
      {"", "ab\tc", 8, 8, false, ""},
      {"", "ab\t", 0, 3, true, "ab\t"},
      {"", "ab\t\t", 0, 3, false, ""},
      {"xy", "\tz", 4, 5, true, "xy  z"},
      {"xy", "\tz", 4, 4, false, ""},
      {"abc", "", 8, 3, true, "abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before + "|" + c.raw);
    std::string line = c.before;
    EXPECT_EQ(sgl::textio::append_line_text(line, c.raw, c.width, c.limit), c.fits);
    if (c.fits) {
      EXPECT_EQ(line, c.line);
    }
    EXPECT_LE(line.size(), c.limit);
  }
  // Thirty thousand tabs a thousand columns wide: refused without taking the 30 MB that the
  // expansion would need.
  std::string line;
  EXPECT_FALSE(sgl::textio::append_line_text(line, std::string(30000, '\t'), 1000, std::size_t{1} << 20));
  EXPECT_LE(line.capacity(), std::size_t{4} << 20);
}

TEST(TextTabs, TabSizeFromTheEnvironment) {
  struct Case {
    const char* tabsize;  // nullptr: unset
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, "[ab      c   ]\n"},
      {"4", "[ab  c       ]\n"},
      {"0", "[ab\tc        ]\n"},
      {"junk", "[ab      c   ]\n"},
      {"-3", "[ab      c   ]\n"},
  };
  for (const Case& c : cases) {
    text_io_test::ChildOptions options;
    options.input = "ab\tc\n";
    if (c.tabsize != nullptr) {
      options.environment.push_back(std::string("TABSIZE=") + c.tabsize);
    } else {
      options.unset.push_back("TABSIZE");
    }
    const auto r = text_io_test::run_driver({"lines", "12"}, options);
    EXPECT_EQ(r.out, std::string(c.expected) + " status -1\n") << (c.tabsize ? c.tabsize : "unset");
    EXPECT_EQ(r.status, 0);
  }
}

// The bound on a line, 1048576 characters, counted as the reads see the line: without its line
// feed and carriage returns, with its tabs expanded. The longest line passes whole, the shortest
// longer one is the fatal failure, with or without a line end and with CRLF; a line whose tabs
// take it beyond the bound is refused like any other. The cases straddle the blocks in which the
// input is read (the bound is a multiple of their size).
TEST(TextLineBound, TheLongestLineIsReadAndTheNextLengthRefused) {
  const std::size_t bound = sgl::textio::kMaxLineLength;
  ASSERT_EQ(bound, std::size_t{1048576});
  const std::string longest = std::string(bound - 1, 'x') + "y";
  const std::string too_long = std::string(bound, 'x') + "y";
  const std::string read = " length  1048576 y\n";
  const std::string end = " status -1\n";
  const std::string refused = "? Input/Output Error:\n? Input line too long (more than 1048576 characters)\n"
                              "? READ(UNIT=5,...\n? Line ";
  struct Case {
    const char* what;
    std::string input;
    const char* tabsize;  // nullptr: unset
    std::string out;
    std::string err;  // refused: the number of the line follows "? Line "
  };
  const std::vector<Case> cases = {
      {"longest", longest + "\n", nullptr, read + end, ""},
      {"longest without a line feed", longest, nullptr, read + end, ""},
      {"longest with CRLF", longest + "\r\n", nullptr, read + end, ""},
      {"longest with a carriage return inside", "x\r" + longest.substr(1) + "\n", nullptr, read + end, ""},
      {"longest after a short line", "ab\n" + longest + "\nc\n", nullptr,
       " length  2 b\n" + read + " length  1 c\n" + end, ""},
      {"longest by its tabs", std::string(bound / 8 - 1, '\t') + "1234567y\n", nullptr, read + end, ""},
      {"one longer", too_long + "\n", nullptr, "", refused + "1 of standard input\n"},
      {"one longer without a line feed", too_long, nullptr, "", refused + "1 of standard input\n"},
      {"one longer with CRLF", too_long + "\r\n", nullptr, "", refused + "1 of standard input\n"},
      {"one longer after a short line", "ab\n" + too_long + "\n", nullptr, " length  2 b\n",
       refused + "2 of standard input\n"},
      {"one longer by its tabs", std::string(bound / 8, '\t') + "y\n", nullptr, "",
       refused + "1 of standard input\n"},
      {"tabs a thousand columns wide", std::string(3000, '\t') + "\n", "1000", "",
       refused + "1 of standard input\n"},
      // Carriage returns add nothing to the line, but a line of them alone still ends.
      {"carriage returns for ever", "x" + std::string(2 * bound, '\r') + "\n", nullptr, "",
       refused + "1 of standard input\n"},
      {"a million carriage returns", "x" + std::string(bound, '\r') + "\n", nullptr,
       " length  1 x\n" + end, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    text_io_test::ChildOptions options;
    options.input = c.input;
    if (c.tabsize != nullptr) {
      options.environment.push_back(std::string("TABSIZE=") + c.tabsize);
    } else {
      options.unset.push_back("TABSIZE");
    }
    const auto r = text_io_test::run_driver({"lengths"}, options);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.err.empty() ? 0 : 255);
  }
}

}  // namespace
