// The fatal stop of the whole system.
//
// Every library routine that cannot go on calls bomb(). A program may install its own handler at
// start-up (set_bomb_handler); the default writes "This program has bombed" and "exit" on standard
// output and stops the run with a stop text of one blank. A handler must not return.
#pragma once

#include <initializer_list>

#include "library/text/text_io.hpp"

namespace sgl {

using BombHandler = void (*)();

// Calls the installed handler (after writing out pending standard output); never returns.
[[noreturn]] void bomb();

// Writes the items as one free-format line on standard output (the message that names the
// fault), then calls bomb().
[[noreturn]] void bomb_with_message(std::initializer_list<OutItem> items);

// Installs a handler and returns the previous one. nullptr restores the library's default.
BombHandler set_bomb_handler(BombHandler handler);

// The library's default handler.
[[noreturn]] void default_bomb();

}  // namespace sgl
