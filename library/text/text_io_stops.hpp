// Internal interface of the ends of a run: the fatal failure and the settling of read outcomes.
#pragma once

#include "library/text/text_io.hpp"
#include "library/text/text_io_units.hpp"

namespace sgl::textio {

// Status of a malformed format text (a fault of the calling code).
constexpr int kStatusFormatSyntax = 10006;

// The fatal failure: pending output written, files closed, three "? " lines on standard error
// (the header, the message of the status, the operation and its unit), for a read from a file a
// fourth naming the file ("? File: " and its path), exit status 255.
// A positive status below 10000 is the platform's error number.
[[noreturn]] void fatal_failure(int status, Operation operation, int unit);

// The outcome of a read with the given status, as the caller asked to handle it; an unhandled
// outcome is the fatal failure.
ReadOutcome settle_read(int status, const ReadHandling& handling, int unit);

}  // namespace sgl::textio
