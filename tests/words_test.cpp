// Words of an input line, fractions in text, and the clock.
#include "library/text/words.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "library/text/clock.hpp"
#include "library/text/text_io.hpp"
#include "tests/bomb_trap.hpp"
#include "tests/table_files.hpp"

namespace sgl {
namespace {

using testing::BombTrap;
using testing::Bombed;

// A text padded with blanks (or cut) to n characters.
std::string padded(std::string s, std::size_t n = 80) {
  s.resize(n, ' ');
  return s;
}

std::string word(const std::string& s) { return padded(s, kWordLength); }

// Runs separate_words on a line, with the word list filled with "old" beforehand.
struct Split {
  int32_t nw = -1;
  std::array<int32_t, kMaxWords> lens;
  std::array<std::string, kMaxWords> words;
  explicit Split(const std::string& line) {
    lens.fill(-7);
    words.fill(word("old"));
    separate_words(line, nw, lens, words);
  }
};

TEST(SeparateWords, Cases) {
  struct Case {
    const char* name;
    std::string line;
    std::vector<std::string> words;  // the expected words, unpadded
    std::vector<int32_t> lens;
  };
  const std::string w25 = "abcdefghijklmnopqrstuvwxy";
  const std::vector<Case> cases = {
      {"blank_line", padded(""), {}, {}},
      {"two_one_letter_words", padded("a  b"), {"a", "b"}, {1, 1}},
      {"leading_blanks", padded("   Si  1 a"), {"Si", "1", "a"}, {2, 1, 1}},
      {"long_word_cut", padded(w25 + " x"), {w25.substr(0, 20), "x"}, {20, 1}},
      {"word_exactly_20", padded(w25.substr(0, 20)), {w25.substr(0, 20)}, {20}},
      {"start_in_79_unseen", padded(std::string(78, ' ') + "zz"), {}, {}},
      {"start_in_80_unseen", padded(std::string(79, ' ') + "z"), {}, {}},
      {"runs_on_to_80", padded(std::string(74, ' ') + "abcdef"), {"abcdef"}, {6}},
      // The blank in column 79 lies beyond the search: the word still runs to column 80.
      {"runs_over_blank_in_79", padded(std::string(74, ' ') + "abcd x"), {"abcd x"}, {6}},
      // No blank up to column 78: the word's end is taken at column 80, blanks included.
      {"ends_at_78", padded(std::string(75, ' ') + "abc"), {"abc"}, {5}},
      {"ends_before_78", padded(std::string(74, ' ') + "abc"), {"abc"}, {3}},
      {"short_line", "ab cd", {"ab", "cd"}, {2, 2}},
      {"ten_words", padded("1 2 3 4 5 6 7 8 9 10"), {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
       {1, 1, 1, 1, 1, 1, 1, 1, 1, 2}},
  };
  for (const Case& c : cases) {
    Split s(c.line);
    ASSERT_EQ(s.nw, static_cast<int32_t>(c.words.size())) << c.name;
    for (std::size_t k = 0; k < kMaxWords; ++k) {
      if (k < c.words.size()) {
        EXPECT_EQ(s.words[k], word(c.words[k])) << c.name << " word " << k + 1;
        EXPECT_EQ(s.lens[k], c.lens[k]) << c.name << " word " << k + 1;
      } else {  // positions beyond the count keep what they held
        EXPECT_EQ(s.words[k], word("old")) << c.name << " word " << k + 1;
        EXPECT_EQ(s.lens[k], -7) << c.name << " word " << k + 1;
      }
    }
  }
}

TEST(SeparateWords, ElevenWordsKeepTen) {
  // The warning's copy goes to unit 20, FOR020.DAT in the working directory: the test's own.
  testing::TempDir dir;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  close_unit(20);
  Split s(padded("a b c d e f g h i j k l"));
  close_unit(20);
  std::filesystem::current_path(previous);
  EXPECT_EQ(s.nw, 10);
  EXPECT_EQ(s.words[9], word("j"));
  EXPECT_EQ(testing::slurp(dir.path() / "FOR020.DAT"), "Warning: Extra parameters ignored: k l\n");
}

// Text that separate_words drops without a word: beyond column 78 and outside every word taken
// (a word still running at column 78 is taken on to column 80).
TEST(FirstDroppedColumn, Cases) {
  const std::string pad77(77, ' ');
  struct Case {
    std::string line;
    std::size_t width;
    bool comment_words;
    int32_t column;
  };
  const std::vector<Case> cases = {
      {"Na a 0 0 0.5", 80, false, 0},
      {pad77 + "0.5", 80, false, 0},                   // starts at 78, ends at 80: taken
      {pad77 + "0.51", 80, false, 81},                 // its fourth character is past 80
      {pad77 + " 5", 80, false, 79},                   // starts at 79: no word
      {std::string(90, ' ') + "5", 80, false, 91},     // far beyond the 80 characters read
      {pad77 + "0.5", 78, false, 79},                  // a 78-character read cuts the word at 78
      {pad77 + " !comment", 80, true, 0},              // a comment word is no value
      {"Na a ! a comment" + std::string(80, ' ') + "x", 80, true, 0},
      {"Na a ! a comment" + std::string(80, ' ') + "x", 80, false, 97},
      {"a b c d e f g h i j" + std::string(60, ' ') + "k", 80, false, 80},  // an eleventh word
      {"", 80, false, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(first_dropped_column(c.line, c.width, c.comment_words), c.column) << "'" << c.line << "'";
  }
}

TEST(SeparateWordsComma, Cases) {
  struct Case {
    const char* name;
    std::string text;
    int32_t n;
    std::vector<std::string> fields;  // unpadded
    std::string text_after;
  };
  const std::vector<Case> cases = {
      {"three_fields", "1,0,0     ", 3, {"1", "0", "0"}, "1 0 0     "},
      {"empty_field", "1,,2", 3, {"1", "", "2"}, "1  2"},
      {"no_comma", "1/2 x", 1, {"1/2 x"}, "1/2 x"},
      {"trailing_comma", "1,", 2, {"1", ""}, "1 "},
      {"blanks_kept", " 1 , 2", 2, {" 1 ", " 2"}, " 1   2"},
      {"field_cut_to_width", "123456789,1", 2, {"12345678", "1"}, "123456789 1"},
      {"nine_commas", "1,2,3,4,5,6,7,8,9,10", 10, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
       "1 2 3 4 5 6 7 8 9 10"},
      {"twelve_commas", "1,2,3,4,5,6,7,8,9,a,b,c,d", 10, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "a"},
       "1 2 3 4 5 6 7 8 9 a b,c,d"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    std::array<std::string, kMaxWords> fields;
    fields.fill(padded("old", 8));
    int32_t n = -1;
    separate_words_comma(text, n, fields);
    EXPECT_EQ(n, c.n) << c.name;
    EXPECT_EQ(text, c.text_after) << c.name;
    for (std::size_t k = 0; k < kMaxWords; ++k) {
      const std::string want = k < c.fields.size() ? padded(c.fields[k], 8) : padded("old", 8);
      EXPECT_EQ(fields[k], want) << c.name << " field " << k + 1;
    }
  }
}

TEST(ReadFraction, Cases) {
  struct Case {
    std::string text;
    int32_t num, den;  // num 99 where it stays unchanged
  };
  const std::vector<Case> cases = {
      {"3", 3, 1},          {"-3", -3, 1},       {"1/2", 1, 2},         {"-1/3", -1, 3},
      {"1/2 xyz", 1, 2},    {"2 /3", 2, 1},      {"-", 99, 0},          {"1/", 1, 0},
      {"1/ 5", 1, 0},       {"1/-2", 1, 0},      {"+1", 99, 0},         {"1.5", 99, 0},
      {" 1", 99, 0},        {"a", 99, 0},        {"1/0", 1, 0},         {"1/000", 1, 0},
      {"", 99, 0},          {"-/2", 99, 0},      {"007/010", 7, 10},    {"3      ", 3, 1},
      {"1/2/3", 1, 0},      {"0", 0, 1},         {"2147483647", 2147483647, 1},
      {"-2147483648", std::numeric_limits<int32_t>::min(), 1},
      // Beyond the 32-bit range: not accepted.
      {"2147483648", 99, 0}, {"-2147483649", 99, 0}, {"99999999999999999999", 99, 0},
      {"1/2147483648", 1, 0}, {"00000000000000000012/3", 12, 3},
  };
  for (const Case& c : cases) {
    int32_t num = 99, den = 99;
    read_fraction(c.text, num, den);
    EXPECT_EQ(den, c.den) << '"' << c.text << '"';
    if (c.num != 99 || c.den != 0) {
      EXPECT_EQ(num, c.num) << '"' << c.text << '"';
    }
  }
}

TEST(NumberAndFractionString, Cases) {
  struct Case {
    const char* name;
    bool fraction;
    int32_t a, b;  // n, or num and den
    int32_t p;
    std::string after;  // the text (10 characters, "." before) and the new p
    int32_t p_after;
  };
  const std::vector<Case> cases = {
      {"negative_at_4", false, -120, 0, 4, "....-120..", 8},
      {"zero", false, 0, 0, 0, "0.........", 1},
      {"six_digits_whole", false, 123456, 0, 0, "123456....", 6},
      {"smallest_int", false, std::numeric_limits<int32_t>::min(), 0, 0, "-2147483648", 11},
      {"six_over_four", true, 6, 4, 0, "3/2.......", 3},
      {"minus_two_over_four", true, -2, 4, 0, "-1/2......", 4},
      {"zero_over_five", true, 0, 5, 0, "0.........", 1},
      {"four_over_one", true, 4, 1, 0, "4.........", 1},
      {"two_over_six", true, 2, 6, 1, ".1/3......", 4},
      {"nine_over_three", true, 9, 3, 0, "3.........", 1},
      {"minus_four_over_six", true, -4, 6, 0, "-2/3......", 4},
      {"denominator_zero_unchanged", true, 4, 0, 0, "4/0.......", 3},
      {"negative_denominator_unchanged", true, 4, -6, 0, "4/-6......", 4},
      {"fills_to_end", true, 1, 12, 6, "......1/12", 10},
  };
  for (const Case& c : cases) {
    std::string text(std::max<std::size_t>(10, c.after.size()), '.');
    int32_t p = c.p;
    if (c.fraction) {
      fraction_string(p, text, c.a, c.b);
    } else {
      number_string(p, text, c.a);
    }
    EXPECT_EQ(text, c.after) << c.name;
    EXPECT_EQ(p, c.p_after) << c.name;
  }
}

TEST(NumberAndFractionString, NoRoomStopsWithoutWriting) {
  BombTrap trap;
  std::string text(5, '.');
  int32_t p = 2;
  EXPECT_THROW(number_string(p, text, -1234), Bombed);
  EXPECT_THROW(fraction_string(p, text, 1, 10), Bombed);
  p = 6;
  EXPECT_THROW(number_string(p, text, 1), Bombed);
  p = -1;
  EXPECT_THROW(number_string(p, text, 1), Bombed);
  EXPECT_EQ(text, ".....");
  EXPECT_EQ(p, -1);
  p = 2;
  fraction_string(p, text, 2, 4);  // fits once reduced
  EXPECT_EQ(text, "..1/2");
}

TEST(Clock, ElapsedSeconds) {
  EXPECT_EQ(seconds_since(3600, 0), 3600);
  EXPECT_EQ(seconds_since(100, 40), 60);
  EXPECT_EQ(seconds_since(5, 86395), 10);  // across midnight
  EXPECT_EQ(seconds_since(0, 0), 0);
  const int32_t t = nsec(0);
  EXPECT_GE(t, 0);
  EXPECT_LE(t, 86400);
  EXPECT_LE(nsec(t), 86400);
}

}  // namespace
}  // namespace sgl

namespace sgl {
namespace {

TEST(SeparateWords, ElevenWordsWarnOnStandardOutputAndUnit20) {
  testing::TempDir dir;
  const std::string line = "a b c d e f g h i j  k  l m" + std::string(46, ' ') + "xyz  zz";  // zz in 79-80
  const auto r = testing::run_driver("separate_words_driver", "'" + line + "'", "", dir.path());
  const std::string warning = "Warning: Extra parameters ignored: k  l m" + std::string(46, ' ') + "xyz\n";
  std::string expected = warning + "   10\n";
  for (char c = 'a'; c <= 'j'; ++c) expected += std::string(" ") + c + std::string(19, ' ') + "\n";
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(testing::slurp(dir.path() / "FOR020.DAT"), warning);
}

}  // namespace
}  // namespace sgl

namespace sgl {
namespace {

TEST(SeparateWords, UnwritableUnit20CopyDoesNotEndTheRun) {
  testing::TempDir dir;
  // A directory named FOR020.DAT: the copy cannot be written, the warning still reaches stdout.
  ASSERT_TRUE(std::filesystem::create_directory(dir.path() / "FOR020.DAT"));
  const std::string line = "a b c d e f g h i j k";
  const auto r = testing::run_driver("separate_words_driver", "'" + line + "'", "", dir.path());
  EXPECT_EQ(r.out.substr(0, 37), "Warning: Extra parameters ignored: k\n");
  EXPECT_EQ(r.status, 0);
}

}  // namespace
}  // namespace sgl
