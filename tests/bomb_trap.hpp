// Test support: turns the fatal stop into a C++ exception for the lifetime of a guard, so a test
// can check that a routine stops without ending the test process.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "library/text/bomb.hpp"

namespace sgl::testing {

struct Bombed {};

class BombTrap {
 public:
  BombTrap() : previous_(set_bomb_handler(&raise)) {}
  ~BombTrap() { set_bomb_handler(previous_); }
  BombTrap(const BombTrap&) = delete;
  BombTrap& operator=(const BombTrap&) = delete;

 private:
  [[noreturn]] static void raise() { throw Bombed{}; }
  BombHandler previous_;
};

// What a call writes on standard output before it stops, so that a test can check which fault
// the stop reports and not only that one happened. A call that returns gives "(no stop)".
template <typename Call>
std::string stop_output(Call&& call) {
  BombTrap trap;
  ::testing::internal::CaptureStdout();
  try {
    std::forward<Call>(call)();
  } catch (const Bombed&) {
    flush(6);
    return ::testing::internal::GetCapturedStdout();
  }
  flush(6);
  ::testing::internal::GetCapturedStdout();
  return "(no stop)";
}

}  // namespace sgl::testing
