// The text input and output layer: every line the programs read or write, every file they open
// and every binary data record they load goes through these routines.
//
// Units are small non-negative integers. Units 0 (standard error), 5 (standard input) and
// 6 (standard output) are connected from the start; kDefaultUnit stands for 5 in reads and 6 in
// writes. Any other unit is connected by open_unit, or implicitly, on its first read or write, to
// the file FOR<nnn>.DAT in the working directory.
//
// Standard output on a terminal receives every write at once. Elsewhere (a file, a pipe) it is
// written in blocks, as files are; it goes out earlier when a write leaves a line open ("$": a
// prompt or a progress mark), before anything goes to standard error (so that the two keep their
// order when they share a file), before every read of standard input that may wait for an answer,
// on flush(6) (callers flush it before they start another program on the same output), and at
// every end of the run: stop, normal end, fatal failure, return from main or std::exit, and an
// exception that nobody catches. A run ended by a signal that can be caught (SIGINT, SIGTERM,
// SIGHUP, SIGXCPU, SIGALRM, SIGUSR1, ...) writes the complete lines pending on every unit before
// the signal ends it.
//
// Format texts are parenthesised descriptor lists such as "(a,i3,1x,f10.5)": A, Aw, Iw, Fw.d,
// Ew.d, Gw.d, nX, X, quoted literals, "$" (no line end), repeat counts and groups.
//
// Failures of writes, flush and close are always fatal. A read returns its outcome only when the
// caller handles it (ReadHandling); otherwise it ends the run with the fatal failure: pending
// output is written, three lines beginning "? " go to standard error, and the exit status is 255.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "library/types.hpp"  // Logical

namespace sgl {

// The "*" unit: 5 for reads, 6 for writes; shown as "*" in diagnostics.
constexpr int kDefaultUnit = -1;

// One value written by write_line, write_text or write_free. Texts are referenced, not copied:
// an OutItem must not outlive the text it was made from (use it only as a call argument).
class OutItem {
 public:
  enum class Kind { integer, real4, real8, logical, text };
  OutItem(int32_t v) : kind_(Kind::integer), i_(v) {}
  OutItem(float v) : kind_(Kind::real4), f_(v) {}
  OutItem(double v) : kind_(Kind::real8), d_(v) {}
  OutItem(Logical v) : kind_(Kind::logical), i_(v.value ? 1 : 0) {}
  OutItem(std::string_view v) : kind_(Kind::text), s_(v) {}
  OutItem(const char* v) : kind_(Kind::text), s_(v) {}
  OutItem(const std::string& v) : kind_(Kind::text), s_(v) {}
  OutItem(bool) = delete;  // say Logical{...} for a logical, int32_t{...} for a number

  Kind kind() const { return kind_; }
  int32_t integer() const { return i_; }
  float real4() const { return f_; }
  double real8() const { return d_; }
  bool logical() const { return i_ != 0; }
  std::string_view text() const { return s_; }

 private:
  Kind kind_;
  int32_t i_ = 0;
  float f_ = 0.0f;
  double d_ = 0.0;
  std::string_view s_;
};

// Writes one line (or more, when the items outlast the format) to a unit.
void write_line(int unit, std::string_view format, std::span<const OutItem> items);
void write_line(int unit, std::string_view format, std::initializer_list<OutItem> items = {});

// As write_line, for a copy whose loss must not end the run (the file copy of a warning): a unit
// that cannot be connected is skipped, and write failures of the unit, now and later, are
// ignored instead of being fatal. Returns whether the line was accepted.
bool write_line_quiet(int unit, std::string_view format, std::span<const OutItem> items);
bool write_line_quiet(int unit, std::string_view format, std::initializer_list<OutItem> items);

// Writes one free-format line to a unit.
void write_free(int unit, std::span<const OutItem> items);
void write_free(int unit, std::initializer_list<OutItem> items = {});

// Formats into a fixed-length text: the output starts at its first character, the rest of the
// text is filled with blanks; output beyond its length is dropped. The text keeps its size.
void write_text(std::string& text, std::string_view format, std::span<const OutItem> items);
void write_text(std::string& text, std::string_view format,
                std::initializer_list<OutItem> items = {});

// One real written with a format of one edit descriptor (such as "(f8.3)"), without the blanks
// around it: a number inside a message, in the layout of the report's columns.
std::string value_text(std::string_view format, double value);

// Whether a value written with a format of one edit descriptor fits its field: a value too wide
// for it is written as asterisks, which a report that ends normally must not hold.
bool fits_field(std::string_view format, const OutItem& value);

// One target of a read. A std::string is a fixed-length text: its current size is the item's
// length, and a read keeps that size (padding with blanks or cutting).
class InItem {
 public:
  enum class Kind { integer, real4, real8, logical, text };
  InItem(int32_t& v) : kind_(Kind::integer), p_(&v) {}
  InItem(float& v) : kind_(Kind::real4), p_(&v) {}
  InItem(double& v) : kind_(Kind::real8), p_(&v) {}
  InItem(Logical& v) : kind_(Kind::logical), p_(&v) {}
  InItem(std::string& v) : kind_(Kind::text), p_(&v) {}

  Kind kind() const { return kind_; }
  int32_t& integer() const { return *static_cast<int32_t*>(p_); }
  float& real4() const { return *static_cast<float*>(p_); }
  double& real8() const { return *static_cast<double*>(p_); }
  Logical& logical() const { return *static_cast<Logical*>(p_); }
  std::string& text() const { return *static_cast<std::string*>(p_); }

 private:
  Kind kind_;
  void* p_;
};

// How the caller handles the outcome of a read:
// - status: when set, 0 (success), -1 (end of input) or a positive failure code is stored there
//   and the call returns its outcome whatever it is;
// - end_branch: end of input returns ReadOutcome::end;
// - error_branch: a failure returns ReadOutcome::failure; without end_branch, end of input goes
//   to this branch too and also returns ReadOutcome::failure.
// An outcome that none of these handles is the fatal failure; so is, whatever the handling, a
// line longer than the layer's bound (kStatusLineTooLong), which cannot be skipped. Two more
// fields only shape the fatal failure's diagnostic:
// - awaited: what the read waits for, in the reader's words ("the atom count"), named when the
//   input ends before it;
// - text_of_unit: for a read from a text, the unit whose last line the text was taken from; a
//   failure then names that line, as a failed read of the unit would.
struct ReadHandling {
  int* status = nullptr;
  bool end_branch = false;
  bool error_branch = false;
  std::string_view awaited{};
  std::optional<int> text_of_unit{};
};

enum class ReadOutcome { ok, end, failure };

// Status values of reads and opens besides 0 and the platform's error numbers.
constexpr int kStatusEnd = -1;                 // "Attempt to read past end of file"
constexpr int kStatusIllegalNumeric = 10016;   // "Illegal character in numeric input"
constexpr int kStatusPastRecordEnd = 10038;    // "Attempt to read past end of record"
constexpr int kStatusBadFileName = 10014;      // "Bad file specification"
constexpr int kStatusNewExists = 10032;        // "Status 'NEW' specified for an existing file"
constexpr int kStatusNoMemory = 10004;         // "Buffer allocation failed"
constexpr int kStatusIntegerRange = 10018;     // "Integer out of range in numeric input"
constexpr int kStatusRealRange = 10019;        // "Real out of range in numeric input"
constexpr int kStatusLineTooLong = 10020;      // "Input line too long"
constexpr int kStatusFraction = 10021;         // a fraction ("1/4") where a number is read

// Reads the next line of a unit and converts its fixed fields into the items.
ReadOutcome read_line(int unit, std::string_view format, std::span<const InItem> items,
                      ReadHandling handling = {});
ReadOutcome read_line(int unit, std::string_view format, std::initializer_list<InItem> items,
                      ReadHandling handling = {});

// Reads free-format values, starting on the next line of the unit and going on over further
// lines while items remain.
ReadOutcome read_free(int unit, std::span<const InItem> items, ReadHandling handling = {});
ReadOutcome read_free(int unit, std::initializer_list<InItem> items, ReadHandling handling = {});

// As read_free, for a list of `count` items that the caller makes as the read reaches them:
// item_at(k) (k from 0) gives item k and is asked for only when a value arrives for it, just
// before the value is stored; an item that a null value or the ending slash passes over is never
// asked for. A caller whose list is as long as a count from the input thereby holds room only
// for the values the input gives, not for the count.
ReadOutcome read_free_each(int unit, std::size_t count,
                           const std::function<InItem(std::size_t)>& item_at,
                           ReadHandling handling = {});

// Reads free-format values from a text, which is one line: running out of values is end of input.
ReadOutcome read_free_text(std::string_view text, std::span<const InItem> items,
                           ReadHandling handling = {});
ReadOutcome read_free_text(std::string_view text, std::initializer_list<InItem> items,
                           ReadHandling handling = {});

// One whole array filled from a binary record: little-endian integers of 1, 2 and 4 bytes,
// logicals of 4 bytes (nonzero is true), texts as their bytes.
class RecordItem {
 public:
  enum class Kind { int8, int16, int32, logical, text };
  RecordItem(std::span<int8_t> v) : kind_(Kind::int8), p_(v.data()), n_(v.size()) {}
  RecordItem(std::span<int16_t> v) : kind_(Kind::int16), p_(v.data()), n_(v.size()) {}
  RecordItem(std::span<int32_t> v) : kind_(Kind::int32), p_(v.data()), n_(v.size()) {}
  RecordItem(std::span<Logical> v) : kind_(Kind::logical), p_(v.data()), n_(v.size()) {}
  RecordItem(std::span<char> v) : kind_(Kind::text), p_(v.data()), n_(v.size()) {}
  RecordItem(int32_t& v) : kind_(Kind::int32), p_(&v), n_(1) {}

  Kind kind() const { return kind_; }
  void* data() const { return p_; }
  std::size_t count() const { return n_; }  // elements (characters for a text)
  std::size_t bytes() const;                // bytes the item takes from the record

 private:
  Kind kind_;
  void* p_;
  std::size_t n_;
};

// Reads the next binary record of a unit into the items in order.
ReadOutcome read_record(int unit, std::span<const RecordItem> items, ReadHandling handling = {});
ReadOutcome read_record(int unit, std::initializer_list<RecordItem> items,
                        ReadHandling handling = {});

// How open_unit connects a file: for reading and writing, or for reading only. A read-only file
// must exist; it is never created, changed or cut, and a write to its unit fails.
enum class FileAccess { read_write, read_only };

// Connects a unit to a file. status_word: "OLD", "NEW", "UNKNOWN" or empty (letters in either
// case, trailing blanks ignored); kind: "FORMATTED" (or empty) or "UNFORMATTED". With a status
// pointer, 0 or the failure code is stored there and a failed open leaves the unit unconnected;
// without one a failure is fatal. A read that fails without handling on a unit connected to a
// file names that file in its diagnostic.
void open_unit(int unit, std::string_view name, std::string_view status_word,
               std::string_view kind, int* status = nullptr,
               FileAccess access = FileAccess::read_write);

// Writes the unit's pending output and closes its file; nothing for an unconnected unit.
void close_unit(int unit);

// Writes the unit's pending output to its file; nothing for an unconnected unit.
void flush(int unit);

// The whole line that the last read of a unit took, carriage returns dropped and tabs expanded,
// however much of it the read's fields covered; empty before the first line. Lets a caller that
// reads fixed columns tell whether text lies beyond them. Valid until the next read of the unit.
std::string_view last_line_read(int unit);

// True when the unit is connected (0, 5 and 6 always are).
bool unit_is_open(int unit);

// The stop: " STOP" on standard error, then one blank and the text when the text has at least one
// character, then a line feed; all pending output is written, every file closed; exit status 1.
[[noreturn]] void stop_run(std::optional<std::string_view> text = std::nullopt);

// The normal end of a program: pending output written, files closed, exit status 0. A program
// that ends otherwise (a return from main, std::exit) has its pending output written and its
// files closed at process exit all the same.
[[noreturn]] void end_run();

// The fatal failure for memory that cannot be obtained ("Buffer allocation failed", status 255).
[[noreturn]] void fail_out_of_memory();

// Makes fail_out_of_memory the handler of every allocation that fails; each program calls it
// first thing in main.
void install_out_of_memory_handler();

}  // namespace sgl
