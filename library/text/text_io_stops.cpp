// The ends of a run: the stop, the normal end and the fatal failure.
#include "library/text/text_io_stops.hpp"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
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
    case kStatusIntegerRange: return "Integer out of range in numeric input";
    case kStatusRealRange: return "Real out of range in numeric input";
    case kStatusLineTooLong: return "Input line too long (more than 1048576 characters)";
    case kStatusFormatSyntax: return "Syntax error in format";
    case kStatusFraction: return "Fraction in numeric input: write the value as a decimal number (0.25, not 1/4)";
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
// SIGPIPE stays blocked from here to the exit, so that a standard error on a closed pipe cannot
// turn the failure's exit status into death by signal.
void write_stderr(const char* text, std::size_t size) {
  sigset_t pipe_only;
  sigemptyset(&pipe_only);
  sigaddset(&pipe_only, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_only, nullptr);
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(2, text + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// A fixed-capacity text, so that the fatal failure needs no memory (it may report its lack).
class Message {
 public:
  Message& operator<<(const char* text) { return *this << std::string_view(text); }
  Message& operator<<(std::string_view text) {
    for (char c : text) {
      if (size_ + 1 >= sizeof text_) break;
      text_[size_++] = c;
    }
    return *this;
  }
  Message& operator<<(std::size_t n) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%zu", n);
    return *this << digits;
  }
  // At most n characters of a text; "..." marks a text cut short.
  Message& cut(const char* text, std::size_t n) {
    std::size_t k = 0;
    while (text[k] != '\0' && k < n && size_ + 1 < sizeof text_) text_[size_++] = text[k++];
    if (text[k] != '\0') *this << "...";
    return *this;
  }
  void write() const { write_stderr(text_, size_); }

 private:
  char text_[1024] = {};
  std::size_t size_ = 0;
};

}  // namespace

void fatal_failure(int status, Operation operation, int unit, const char* open_path,
                   const ReadHandling* handling, bool lines) {
  // A read names its file (a data table cut short, say) and the text line it failed on, an open
  // the file it could not open; taken before the units are finished. A read from a text names
  // the line of the unit the text came from, when its caller says which. The end of the input
  // has no line of its own: the count of the lines before it is shown instead, with what the
  // read expected.
  const bool read = operation == Operation::read;
  const bool from_text = read && handling != nullptr && handling->text_of_unit.has_value();
  const int line_unit = from_text ? *handling->text_of_unit : unit;
  const char* file = read ? unit_file_path(line_unit) : open_path;
  std::size_t line_number = 0;
  const char* line = read ? unit_last_line(line_unit, line_number) : nullptr;
  const bool input_ended = status == kStatusEnd && !from_text && lines;
  if (input_ended) line = nullptr;
  if (status == kStatusLineTooLong) {
    ++line_number;  // the line that was not delivered: only its number is shown
    line = nullptr;
  }
  const std::string_view awaited = handling != nullptr ? handling->awaited : std::string_view();
  if (!failing) {
    failing = true;
    finish_units(false);
  }
  Message text;
  if (status > 0 && status < 10000) {
    text << "? System Error:\n? " << std::strerror(status) << "\n";
  } else {
    text << "? Input/Output Error:\n? " << layer_message(status) << "\n";
  }
  if (status != kStatusNoMemory) {
    char number[16];
    if (unit == kDefaultUnit) {
      std::snprintf(number, sizeof number, "*");
    } else if (unit == kInternalUnit) {
      std::snprintf(number, sizeof number, "INTERNAL");
    } else {
      std::snprintf(number, sizeof number, "%d", unit);
    }
    text << "? " << operation_name(operation) << "(UNIT=" << number << ",...\n";
  }
  if (file != nullptr) text << "? File: " << file << "\n";
  if (input_ended && line_unit != kInternalUnit) {
    text << (file == nullptr ? "? Standard input" : "? The file");
    if (line_number == 0) {
      text << " is empty";
    } else {
      text << " ends after line " << line_number;
    }
    if (!awaited.empty()) text << "; expected: " << awaited;
    text << "\n";
  } else if (line_number > 0 && (line != nullptr || status == kStatusLineTooLong)) {
    // Up to 200 characters of the line are shown.
    text << "? Line " << line_number << (file == nullptr ? " of standard input" : "");
    if (line != nullptr) text << ": ", text.cut(line, 200);
    text << "\n";
    if (status == kStatusEnd && !awaited.empty()) text << "? Expected: " << awaited << "\n";
  }
  text.write();
  std::fflush(nullptr);
  std::_Exit(255);
}

ReadOutcome settle_read(int status, const ReadHandling& handling, int unit, bool lines) {
  // A line beyond the bound cannot be skipped (it may have no end): never handed to the caller.
  if (status == kStatusLineTooLong) fatal_failure(status, Operation::read, unit, nullptr, &handling);
  if (handling.status != nullptr) *handling.status = status;
  if (status == 0) return ReadOutcome::ok;
  if (status == kStatusEnd) {
    if (handling.end_branch) return ReadOutcome::end;
    if (handling.error_branch) return ReadOutcome::failure;
    if (handling.status != nullptr) return ReadOutcome::end;
  } else {
    if (handling.error_branch || handling.status != nullptr) return ReadOutcome::failure;
  }
  fatal_failure(status, Operation::read, unit, nullptr, &handling, lines);
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

void install_out_of_memory_handler() {
  std::set_new_handler([] { fail_out_of_memory(); });
}

}  // namespace sgl
