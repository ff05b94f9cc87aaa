// The progress timer on a clock that the test sets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "duopath/progress_timer.hpp"

namespace {

using duopath::ProgressTimer;

struct Tick {
  int32_t now;               // time of day (seconds) at the call
  std::string written;       // "" , "." or ".|" (a dot and a line end)
  int32_t reference_after;
  int32_t last_dot_after;
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
       {{1000, "", 1000, 0}, {1059, "", 1000, 0}, {1060, ".", 1000, 60}, {1119, "", 1000, 60},
        {1300, ".", 1000, 300}, {1301, "", 1000, 300}, {1361, ".", 1000, 361}}},
      {"midnight: the elapsed time wraps by a day",
       86370,
       {{86399, "", 86370, 0}, {20, "", 86370, 0}, {40, ".", 86370, 70}, {100, ".", 86370, 130}}},
      {"after an hour the reference moves to now and the next dot is a minute later",
       0,
       {{3600, ".", 0, 3600}, {3601, "", 3601, 0}, {3660, "", 3601, 0}, {3661, ".", 3601, 60}}},
      {"a long pause gives one dot, then the reference moves",
       500,
       {{500 + 7200, ".", 7700, 0}, {7759, "", 7700, 0}, {7760, ".", 7700, 60}}},
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
      EXPECT_EQ(timer.reference_time(), t.reference_after);
      EXPECT_EQ(timer.last_dot_time(), t.last_dot_after);
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
  EXPECT_EQ(timer.dots_on_line(), static_cast<int32_t>(out.size() - out.rfind('|') - 1));
}

TEST(ProgressTimer, StartResetsTheCounters) {
  int32_t now = 0;
  int dots = 0;
  ProgressTimer timer([&] { return now; }, [&](ProgressTimer::Mark m) { dots += m == ProgressTimer::Mark::dot; });
  timer.start();
  now = 120;
  timer.tick();
  EXPECT_EQ(timer.dots_on_line(), 1);
  now = 200;
  timer.start();
  EXPECT_EQ(timer.reference_time(), 200);
  EXPECT_EQ(timer.last_dot_time(), 0);
  EXPECT_EQ(timer.dots_on_line(), 0);
  now = 259;
  timer.tick();
  EXPECT_EQ(dots, 1);
}

}  // namespace
