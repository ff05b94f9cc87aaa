// The progress timer on a clock that the test sets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "duopath/progress_timer.hpp"

namespace {

using duopath::ProgressTimer;

struct Tick {
  int32_t now;          // time of day (seconds) at the call
  std::string written;  // "" , "." or ".|" (a dot and a line end)
};

struct Scenario {
  const char* what;
  int32_t start;  // time of day at start()
  std::vector<Tick> ticks;
};

TEST(ProgressTimer, Scenarios) {
  const std::vector<Scenario> scenarios = {
      {"no dot before a minute, then one dot per call at most",
       1000,
       {{1000, ""}, {1059, ""}, {1060, "."}, {1119, ""}, {1300, "."}, {1301, ""}, {1359, ""}, {1360, "."}}},
      {"midnight: the elapsed time wraps by a day",
       86370,
       {{86399, ""}, {20, ""}, {40, "."}, {99, ""}, {100, "."}}},
      {"after an hour the reference moves to now and the next dot is a minute later",
       0,
       {{3600, "."}, {3601, ""}, {3660, ""}, {3661, "."}}},
      {"a long pause gives one dot, then the reference moves",
       500,
       {{500 + 7200, "."}, {7759, ""}, {7760, "."}}},
  };
  for (const Scenario& s : scenarios) {
    SCOPED_TRACE(s.what);
    int32_t now = s.start;
    std::string out;
    ProgressTimer timer([&] { return now; },
                        [&](ProgressTimer::Mark m) { out += m == ProgressTimer::Mark::dot ? "." : "|"; });
    timer.start();
    for (const Tick& t : s.ticks) {
      SCOPED_TRACE(t.now);
      now = t.now;
      out.clear();
      timer.tick();
      EXPECT_EQ(out, t.written);
    }
  }
}

TEST(ProgressTimer, LineEndsAfterSixtyDots) {
  int32_t now = 0;
  std::string out;
  ProgressTimer timer([&] { return now; },
                      [&](ProgressTimer::Mark m) { out += m == ProgressTimer::Mark::dot ? "." : "|"; });
  timer.start();
  // A dot a minute for 61 minutes; the reference moves after the hour, so count the dots by
  // the calls that write one.
  for (int k = 1; k <= 125; ++k) {
    now += 60;
    timer.tick();
  }
  const std::string sixty(60, '.');
  ASSERT_GE(out.size(), 62u);
  EXPECT_EQ(out.substr(0, 61), sixty + "|");
  EXPECT_EQ(out.find('|', 61), 61 + 60u) << out;  // the next line end after 60 more dots
}

TEST(ProgressTimer, StartBeginsAfreshTheMinuteAndTheLine) {
  int32_t now = 0;
  std::string out;
  ProgressTimer timer([&] { return now; },
                      [&](ProgressTimer::Mark m) { out += m == ProgressTimer::Mark::dot ? "." : "|"; });
  timer.start();
  for (int k = 1; k <= 59; ++k) {  // 59 dots: one short of a full line
    now += 60;
    timer.tick();
  }
  ASSERT_EQ(out, std::string(59, '.'));
  // A new start: the minute counts from it (not from the old reference or the last dot), and
  // its line of dots is a new one of 60.
  out.clear();
  now = 10000;
  timer.start();
  now = 10059;
  timer.tick();
  EXPECT_EQ(out, "");
  now = 10060;
  timer.tick();
  EXPECT_EQ(out, ".");
  for (int k = 2; k <= 60; ++k) {
    now += 60;
    timer.tick();
  }
  EXPECT_EQ(out, std::string(60, '.') + "|");
}

}  // namespace
