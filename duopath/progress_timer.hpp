// The progress timer of the search: a dot on standard output for every minute that passes.
#pragma once

#include <cstdint>
#include <functional>

namespace duopath {

class ProgressTimer {
 public:
  // What the timer writes: a dot (no line end), or the end of a line of dots.
  enum class Mark { dot, line_end };
  using SecondsOfDay = std::function<int32_t()>;  // local time of day in seconds
  using Sink = std::function<void(Mark)>;

  static constexpr int32_t kDotInterval = 60;     // seconds between two dots
  static constexpr int32_t kDotsPerLine = 60;
  static constexpr int32_t kReferenceSpan = 3600;  // seconds before the reference moves on

  // An empty clock is the local time of day; an empty sink writes to standard output.
  explicit ProgressTimer(SecondsOfDay clock = {}, Sink sink = {});

  // Takes the time of day now as the reference time; both counters to 0.
  void start();

  // One call per candidate of the search: writes a dot when a minute has passed since the last
  // one (at most one dot per call), ends the line after 60 dots, and moves the reference time to
  // now once more than an hour has passed since it (the next dot then comes a minute later).
  // Passing midnight does not disturb it: the elapsed time wraps by a day.
  void tick();

 private:
  SecondsOfDay clock_;
  Sink sink_;
  int32_t reference_time_ = 0;
  int32_t last_dot_time_ = 0;
  int32_t dots_on_line_ = 0;
};

}  // namespace duopath
