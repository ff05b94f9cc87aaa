// The fatal stop and its replaceable handler.
#include "library/bomb.hpp"

#include <cstdio>
#include <cstdlib>

namespace sgl {

namespace {
BombHandler installed_handler = nullptr;
}

void default_bomb() {
  std::fputs("This program has bombed\nexit\n", stdout);
  std::fflush(stdout);
  std::fputs(" STOP  \n", stderr);
  std::exit(1);
}

BombHandler set_bomb_handler(BombHandler handler) {
  BombHandler previous = installed_handler;
  installed_handler = handler;
  return previous;
}

void bomb() {
  if (installed_handler != nullptr) installed_handler();
  default_bomb();
}

}  // namespace sgl
