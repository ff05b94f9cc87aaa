// The progress timer of the search.
#include "duopath/progress_timer.hpp"

#include <ctime>
#include <utility>

#include "library/text/clock.hpp"
#include "library/text/text_io.hpp"

namespace duopath {

namespace {

void write_mark(ProgressTimer::Mark mark) {
  if (mark == ProgressTimer::Mark::dot) {
    sgl::write_line(6, "(a,$)", {"."});
  } else {
    sgl::write_free(6);
  }
}

// The local time of day, looked up again only when the calendar time has moved on: the search
// asks for it once per candidate, millions of times a second.
int32_t time_of_day() {
  static std::time_t last = -1;
  static int32_t seconds = 0;
  const std::time_t now = std::time(nullptr);
  if (now != last) {
    last = now;
    seconds = sgl::nsec(0);
  }
  return seconds;
}

}  // namespace

ProgressTimer::ProgressTimer(SecondsOfDay clock, Sink sink)
    : clock_(clock ? std::move(clock) : SecondsOfDay(time_of_day)),
      sink_(sink ? std::move(sink) : Sink(write_mark)) {}

void ProgressTimer::start() {
  reference_time_ = clock_();
  last_dot_time_ = 0;
  dots_on_line_ = 0;
}

void ProgressTimer::tick() {
  const int32_t elapsed = sgl::seconds_since(clock_(), reference_time_);
  if (elapsed - last_dot_time_ >= kDotInterval) {
    last_dot_time_ = elapsed;
    sink_(Mark::dot);
    if (++dots_on_line_ == kDotsPerLine) {
      sink_(Mark::line_end);
      dots_on_line_ = 0;
    }
  }
  if (elapsed > kReferenceSpan) {
    reference_time_ = clock_();
    last_dot_time_ = 0;
  }
}

}  // namespace duopath
