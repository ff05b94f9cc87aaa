// Test support: turns the fatal stop into a C++ exception for the lifetime of a guard, so a test
// can check that a routine stops without ending the test process.
#pragma once

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

}  // namespace sgl::testing
