// Internal interface of the ends of a run: the fatal failure and the settling of read outcomes.
#pragma once

#include "library/text/text_io.hpp"
#include "library/text/text_io_units.hpp"

namespace sgl::textio {

// Status of a malformed format text (a fault of the calling code).
constexpr int kStatusFormatSyntax = 10006;

// The fatal failure: pending output written, files closed, three "? " lines on standard error
// (the header, the message of the status, the operation and its unit), then what names the place:
// for a read from a file or an open, "? File: " and its path; for a read that failed on a text
// line, the line: "? Line N: " and its text for a file, "? Line N of standard input: " and its
// text for standard input (only the number for a line too long); for a read that met the end of
// its input, how many lines came before it and, when the reader said so, what it expected
// ("? Standard input ends after line 2; expected: the scope"). Exit status 255.
// A positive status below 10000 is the platform's error number. open_path names the file of a
// failed open; a read's handling may name what it awaited and the unit its text came from.
// A read of binary records (lines false) has no lines to count.
[[noreturn]] void fatal_failure(int status, Operation operation, int unit,
                                const char* open_path = nullptr,
                                const ReadHandling* handling = nullptr, bool lines = true);

// The outcome of a read with the given status, as the caller asked to handle it; an unhandled
// outcome is the fatal failure. lines: whether the unit is read as text lines (not records).
ReadOutcome settle_read(int status, const ReadHandling& handling, int unit, bool lines = true);

}  // namespace sgl::textio
