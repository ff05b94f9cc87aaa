// Internal interface of the unit table: the connections behind the unit numbers, their buffers,
// line input with carriage returns dropped and tabs expanded, and raw byte input for records.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sgl::textio {

// The unit label of a text variable in diagnostics ("INTERNAL").
constexpr int kInternalUnit = -2;

enum class Operation { read, write, open, close };

// Appends output to a unit (connecting an unconnected unit to its FOR<nnn>.DAT file first).
// Carriage returns are dropped. Standard error, character devices and standard output on a
// terminal receive the bytes at once; files and standard output elsewhere collect them in blocks
// of 8192 bytes. Buffered standard output also goes out when a write leaves a line open, before
// anything is written to standard error, before every read of standard input that may wait, on
// flush and at every end of the run (on a stopping signal, its complete lines). Failures are fatal.
void put_output(int unit, std::string_view bytes);

// As put_output for output whose loss must not end the run: a unit that cannot be connected is
// left unconnected, and write failures of the unit, now and later, are ignored. Returns whether
// the bytes were accepted.
bool put_output_quiet(int unit, std::string_view bytes);

// Reads the next line of a unit, without its line feed and carriage returns, tabs expanded.
// Returns 0, -1 at the end of the input, kStatusLineTooLong for a line that is longer than
// kMaxLineLength characters so cleaned (or whose raw bytes, carriage returns included, pass
// twice that), or the platform's error number.
int next_line(int unit, std::string& line);

// Reads up to n bytes of a unit's input into dst (dst may be null to skip them); got receives
// how many arrived. Returns 0 (also when the input ended early) or the platform's error number.
int next_bytes(int unit, char* dst, std::size_t n, std::size_t& got);

// Appends raw input text to a line as the reads see it: carriage returns dropped, each tab
// replaced by blanks up to the next multiple of width counted from the line's start (tabs kept
// when width is 0). Returns false when the line would grow beyond limit characters; it then
// holds what fitted.
bool append_line_text(std::string& line, std::string_view raw, int width, std::size_t limit);

// The tab width in force (TABSIZE, looked up once; 8 when unset or not usable).
int tab_width();

// Parses a TABSIZE value: its leading decimal digits after an optional sign; 8 when there are no
// digits or the value is negative.
int parse_tab_size(const char* value);

// The path of the file a unit is connected to; null for an unconnected unit and for the
// standard streams. Needs no memory.
const char* unit_file_path(int unit);

// The line last delivered by next_line on a unit (carriage returns dropped, tabs expanded), with
// its number counted from 1 in number; null (number 0) before the first line. Needs no memory.
const char* unit_last_line(int unit, std::size_t& number);

// The longest line next_line delivers, counted without carriage returns and with its tabs
// expanded; a longer one is failure kStatusLineTooLong.
constexpr std::size_t kMaxLineLength = std::size_t{1} << 20;

// Writes, for every unit, its pending output up to the last line feed, ignoring failures; the
// files that are still to be cut are cut there. For the handler of a stopping signal: it needs no
// memory, calls only write, lseek and ftruncate, and must not run while output changes.
void write_complete_lines();

// Writes every unit's pending output and closes every file. With report_failures false, failures
// are ignored (the run is already failing).
void finish_units(bool report_failures);

}  // namespace sgl::textio
