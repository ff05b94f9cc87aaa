// The progress timer of the search.
#include "duopath/progress_timer.hpp"

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

}  // namespace

ProgressTimer::ProgressTimer(SecondsOfDay clock, Sink sink)
    : clock_(clock ? std::move(clock) : SecondsOfDay([] { return sgl::nsec(0); })),
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
