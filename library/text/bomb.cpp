// The fatal stop and its replaceable handler.
#include "library/text/bomb.hpp"

#include "library/text/text_io.hpp"

namespace sgl {

namespace {
BombHandler installed_handler = nullptr;
}

void default_bomb() {
  write_line(6, "(a)", {"This program has bombed"});
  write_line(6, "(a)", {"exit"});
  stop_run(" ");
}

BombHandler set_bomb_handler(BombHandler handler) {
  BombHandler previous = installed_handler;
  installed_handler = handler;
  return previous;
}

void bomb() {
  if (installed_handler != nullptr) {
    // A handler of the program's own finds the messages written before the stop already out,
    // whatever it does next.
    flush(6);
    installed_handler();
  }
  default_bomb();
}

void bomb_with_message(std::initializer_list<OutItem> items) {
  write_free(6, items);
  bomb();
}

}  // namespace sgl
