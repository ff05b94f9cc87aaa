// Value words hold exactly one number.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "duopath/value_word.hpp"

namespace {

struct RealCase {
  const char* word;
  bool ok;
  double value;
};

TEST(ValueWord, Reals) {
  const std::vector<RealCase> cases = {
      {"0.5", true, 0.5},          {"-2", true, -2.0},        {"+.25", true, 0.25},
      {"3.", true, 3.0},           {"1e3", true, 1000.0},     {"1.5D-2", true, 0.015},
      {"2.5+1", true, 25.0},       {"0.5               ", true, 0.5},
      {"1/3", false, 0},           {"0.5,1", false, 0},       {",5", false, 0},
      {"1.5.3", false, 0},         {"1e5e3", false, 0},       {"2*3", false, 0},
      {"1e", false, 0},            {".", false, 0},           {"-", false, 0},
      {"", false, 0},              {"                    ", false, 0},
      {"1e400", false, 0},         {"-1e400", false, 0},      {"nan", false, 0},
      {"inf", false, 0},           {"0x10", false, 0},        {"5%", false, 0},
      {"'1'", false, 0},           {"1 2", false, 0},
  };
  for (const RealCase& c : cases) {
    SCOPED_TRACE(c.word);
    double value = -99.0;
    EXPECT_EQ(duopath::read_real_word(c.word, value), c.ok);
    EXPECT_EQ(value, c.ok ? c.value : -99.0);  // a refused word leaves the target alone
  }
}

TEST(ValueWord, Integers) {
  const std::vector<std::pair<const char*, bool>> cases = {
      {"12", true},    {"-7", true},  {"+3", true},  {"2147483647", true}, {"-2147483648", true},
      {"2147483648", false}, {"1.0", false}, {"1/2", false}, {"3,", false}, {"", false}, {"1e2", false},
  };
  for (const auto& [word, ok] : cases) {
    SCOPED_TRACE(word);
    int32_t value = -99;
    EXPECT_EQ(duopath::read_integer_word(word, value), ok);
    if (ok) {
      EXPECT_EQ(std::to_string(value), std::string(word[0] == '+' ? word + 1 : word));
    }
  }
}

}  // namespace
