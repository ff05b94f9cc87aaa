// The fatal stop of cellsieve and its numbered error messages.
//
// A numbered error writes its lines on standard output only, as free-format lines (each begins
// with one blank): first "Error 0nn in cellsieve" ("Error in 0nn cellsieve" for codes 11 and 13),
// then the further lines given, and stops through bomb(). The log file never receives them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace cellsieve {

// The program's bomb handler, installed first thing in main: writes nothing on standard output
// and stops with the stop text "This program has bombed!" (exit status 1).
[[noreturn]] void bomb_handler();

// The first line of a numbered error.
std::string error_heading(int32_t code);

[[noreturn]] void numbered_error(int32_t code, std::initializer_list<std::string_view> lines = {});

}  // namespace cellsieve
