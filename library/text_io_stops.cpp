// The ends of a run: the stop, the normal end and the fatal failure.
#include "library/text_io_stops.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace sgl {

namespace textio {

namespace {

// Set while the fatal failure runs, so that a failure while finishing the units cannot recurse.
bool failing = false;

const char* layer_message(int status) {
  switch (status) {
    case kStatusEnd: return "Attempt to read past end of file";
    case kStatusIllegalNumeric: return "Illegal character in numeric input";
    case kStatusPastRecordEnd: return "Attempt to read past end of record";
    case kStatusBadFileName: return "Bad file specification";
    case kStatusNewExists: return "Status 'NEW' specified for an existing file";
    case kStatusNoMemory: return "Buffer allocation failed";
    case kStatusFormatSyntax: return "Syntax error in format";
    default: return "Unknown input/output failure";
  }
}

const char* operation_name(Operation operation) {
  switch (operation) {
    case Operation::read: return "READ";
    case Operation::write: return "WRITE";
    case Operation::open: return "OPEN";
    case Operation::close: return "CLOSE";
  }
  return "READ";
}

// Writes straight to descriptor 2, ignoring failures: this is the last thing a failing run does.
void write_stderr(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(2, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

void fatal_failure(int status, Operation operation, int unit) {
  if (!failing) {
    failing = true;
    finish_units(false);
  }
  const bool platform = status > 0 && status < 10000;
  std::string text;
  if (platform) {
    text = "? System Error:\n? ";
    text += std::strerror(status);
  } else {
    text = "? Input/Output Error:\n? ";
    text += layer_message(status);
  }
  text += '\n';
  if (status != kStatusNoMemory) {
    text += "? ";
    text += operation_name(operation);
    text += "(UNIT=";
    if (unit == kDefaultUnit) {
      text += '*';
    } else if (unit == kInternalUnit) {
      text += "INTERNAL";
    } else {
      text += std::to_string(unit);
    }
    text += ",...\n";
  }
  write_stderr(text);
  std::fflush(nullptr);
  std::_Exit(255);
}

ReadOutcome settle_read(int status, const ReadHandling& handling, int unit) {
  if (handling.status != nullptr) *handling.status = status;
  if (status == 0) return ReadOutcome::ok;
  if (status == kStatusEnd) {
    if (handling.end_branch) return ReadOutcome::end;
    if (handling.error_branch) return ReadOutcome::failure;
    if (handling.status != nullptr) return ReadOutcome::end;
  } else {
    if (handling.error_branch || handling.status != nullptr) return ReadOutcome::failure;
  }
  fatal_failure(status, Operation::read, unit);
}

}  // namespace textio

void stop_run(std::optional<std::string_view> text) {
  std::string line = " STOP";
  if (text && !text->empty()) {
    line += ' ';
    line += *text;
  }
  line += '\n';
  textio::put_output(0, line);
  textio::finish_units(true);
  std::exit(1);
}

void end_run() {
  textio::finish_units(true);
  std::exit(0);
}

void fail_out_of_memory() { textio::fatal_failure(kStatusNoMemory, textio::Operation::write, 6); }

}  // namespace sgl
