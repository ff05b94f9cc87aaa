// The banner's date line against the C library's asctime, which has the same layout.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "duopath/date_line.hpp"

namespace {

std::string reference(std::time_t t) {
  std::tm parts{};
  localtime_r(&t, &parts);
  char buffer[64];
  asctime_r(&parts, buffer);
  std::string s = buffer;
  s.pop_back();  // its line end
  return s;
}

TEST(DateLine, MatchesAsctimeOverASweepOfDates) {
  // From 1970 to 2099 in steps that are not whole days, so every weekday, month, single- and
  // double-digit day and hour comes round; plus the first seconds of some months.
  for (std::time_t t = 0; t < std::time_t{4102444800}; t += 86400 * 3 + 3671) {
    SCOPED_TRACE(t);
    const std::string line = duopath::date_line(t);
    ASSERT_EQ(line.size(), 24u);
    ASSERT_EQ(line, reference(t));
  }
  for (std::time_t t : {std::time_t{0}, std::time_t{951782400}, std::time_t{1798761599},
                        std::time_t{1765324800}}) {
    EXPECT_EQ(duopath::date_line(t), reference(t));
  }
}

TEST(DateLine, SingleDigitDayIsBlankPadded) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(duopath::date_line(1767225600 + 4 * 86400 + 3 * 3600 + 2 * 60 + 1),
            "Mon Jan  5 03:02:01 2026");
  EXPECT_EQ(duopath::date_line(1767225600 + 9 * 86400), "Sat Jan 10 00:00:00 2026");
}

}  // namespace
