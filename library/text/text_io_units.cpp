// The unit table: the standard streams, files opened by number, output buffering, line input and
// raw byte input.
#include "library/text/text_io_units.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>

#include "library/text/characters.hpp"
#include "library/text/text_io.hpp"
#include "library/text/text_io_signals.hpp"
#include "library/text/text_io_stops.hpp"

namespace sgl {

namespace textio {

namespace {

constexpr std::size_t kBlock = 8192;       // buffered output is written in blocks of this size
constexpr std::size_t kReadChunk = 65536;  // input is read ahead in chunks of this size

struct Connection {
  int fd = -1;
  bool standard = false;     // units 0, 5 and 6: never closed
  bool immediate = false;    // every output call reaches the device at once
  bool regular = false;      // a regular file (can be repositioned and cut)
  bool pipe_like = true;     // a write may meet a closed reader (SIGPIPE); false for regular files
  bool cut_pending = false;  // cut the file after the first output that reaches it
  bool quiet = false;        // output whose loss must not end the run: failures are ignored
  std::string path;          // the file, for diagnostics; empty for the standard streams
  std::string out;           // output not yet written
  std::string in;            // input read ahead
  std::size_t in_pos = 0;    // next unread byte of `in`
  std::string line;          // the line last delivered by next_line, for diagnostics
  std::size_t line_number = 0;  // lines delivered so far
};

struct UnitTable {
  std::map<int, Connection> units;
  int tab = 8;
};

// The table once it is set up, for the handler of a stopping signal (which must not set it up).
UnitTable* made_table = nullptr;

// At process exit, however the program ends (a return from main, std::exit), pending output
// is written and every file closed; after the stops this finds nothing left to do.
void finish_units_at_exit() { finish_units(true); }

std::terminate_handler terminate_before = nullptr;

// An exception that nobody catches: the output written so far still reaches standard output and
// the files, ahead of the message that the handler in force before writes on standard error.
[[noreturn]] void finish_units_at_terminate() {
  finish_units(false);
  if (terminate_before != nullptr) terminate_before();
  std::abort();
}

// Writes a diagnostic straight to standard error and ends the run; for the moment before the unit
// table exists, when the usual fatal failure cannot be used.
[[noreturn]] void fail_before_units(const char* text) {
  std::size_t size = 0;
  while (text[size] != '\0') ++size;
  if (::write(2, text, size) < 0) {
  }
  std::_Exit(255);
}

// The three standard descriptors must be open before any file is: a file opened while one of
// them is closed would take its number, and the report, a stop message or the input would then
// go to or come from that file. A closed standard output is a run without a report and ends it
// here; closed standard input and error are connected to /dev/null (the input is then empty, the
// diagnostics are lost).
void check_standard_descriptors() {
  const auto closed = [](int fd) { return ::fcntl(fd, F_GETFD) == -1 && errno == EBADF; };
  if (closed(0) && ::open("/dev/null", O_RDONLY) != 0) {
    fail_before_units("? System Error:\n? Standard input is not open\n? READ(UNIT=5,...\n");
  }
  if (closed(1)) fail_before_units("? Input/Output Error:\n? Standard output is not open\n? WRITE(UNIT=6,...\n");
  if (closed(2) && ::open("/dev/null", O_WRONLY) != 2) std::_Exit(255);
}

bool is_regular(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

UnitTable& table() {
  // Never destroyed: the stops run after static destructors may have started.
  static UnitTable* units = [] {
    check_standard_descriptors();
    auto* t = new UnitTable;
    t->tab = parse_tab_size(std::getenv("TABSIZE"));
    const int fds[3][2] = {{0, 2}, {5, 0}, {6, 1}};
    for (const auto& [unit, fd] : fds) {
      Connection c;
      c.fd = fd;
      c.standard = true;
      // Standard output that is not a terminal is written in blocks, like a file; see
      // append_output for the moments it goes out before a block is full. Standard error is
      // always written at once.
      c.immediate = unit != 6 || ::isatty(fd) == 1;
      c.pipe_like = !is_regular(fd);
      t->units[unit] = std::move(c);
    }
    std::atexit(finish_units_at_exit);
    terminate_before = std::set_terminate(finish_units_at_terminate);
    made_table = t;
    install_stop_handlers();
    return t;
  }();
  return *units;
}

// write(2) that turns a closed pipe into EPIPE instead of death by SIGPIPE: the signal is blocked
// for the call and a signal it raised is taken back before the mask is restored.
ssize_t write_without_sigpipe(int fd, const char* data, std::size_t n) {
  sigset_t pipe_only;
  sigset_t previous;
  sigemptyset(&pipe_only);
  sigaddset(&pipe_only, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_only, &previous);
  ssize_t written = ::write(fd, data, n);
  const int saved = errno;
  if (written < 0 && saved == EPIPE && !sigismember(&previous, SIGPIPE)) {
    const struct timespec no_wait = {0, 0};
    sigtimedwait(&pipe_only, nullptr, &no_wait);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  errno = saved;
  return written;
}

// Writes the first n bytes of the pending output. Returns 0 or the platform's error number.
int write_pending(Connection& c, std::size_t n) {
  if (n == 0) return 0;
  const OutputChange change;
  if (c.in_pos < c.in.size() && c.regular) {
    // Input was read ahead: output goes where the reading stopped.
    const off_t back = static_cast<off_t>(c.in.size() - c.in_pos);
    if (::lseek(c.fd, -back, SEEK_CUR) < 0) return errno;
  }
  c.in.clear();
  c.in_pos = 0;
  std::size_t done = 0;
  while (done < n) {
    ssize_t w = c.pipe_like ? write_without_sigpipe(c.fd, c.out.data() + done, n - done)
                            : ::write(c.fd, c.out.data() + done, n - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      c.out.clear();
      return err;
    }
    done += static_cast<std::size_t>(w);
  }
  c.out.erase(0, n);
  if (c.cut_pending) {
    c.cut_pending = false;
    if (c.regular) {
      const off_t end = ::lseek(c.fd, 0, SEEK_CUR);
      if (end < 0 || ::ftruncate(c.fd, end) != 0) return errno;
    }
  }
  return 0;
}

void flush_or_fail(Connection& c, Operation operation, int unit) {
  const int err = write_pending(c, c.out.size());
  if (err != 0 && !c.quiet) fatal_failure(err, operation, unit);
}

// Opens a file for a unit. Returns 0 or a status.
int open_file(const std::string& path, const std::string& status_word, Connection& c,
              FileAccess access = FileAccess::read_write) {
  const int common = O_CLOEXEC;
  int fd = -1;
  if (access == FileAccess::read_only) {
    // Never created and never opened for writing, so that nothing can change a shared,
    // read-only file (the data tables).
    if (status_word == "NEW") return EINVAL;
    fd = ::open(path.c_str(), O_RDONLY | common);
    if (fd < 0) return errno;
  } else if (status_word == "NEW") {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | common, 0664);
    if (fd < 0) return errno == EEXIST ? kStatusNewExists : errno;
  } else {
    const int create = status_word == "OLD" ? 0 : O_CREAT;
    fd = ::open(path.c_str(), O_RDWR | create | common, 0664);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == ETXTBSY)) {
      const int first = errno;
      fd = ::open(path.c_str(), O_RDONLY | common);
      if (fd < 0) return errno == ENOENT ? first : errno;
    }
    if (fd < 0) return errno;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int err = errno;
    ::close(fd);
    return err;
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(fd);
    return EISDIR;
  }
  c.fd = fd;
  c.regular = S_ISREG(info.st_mode);
  c.pipe_like = !c.regular;
  c.immediate = S_ISCHR(info.st_mode);
  c.cut_pending = access == FileAccess::read_write;
  c.path = path;
  return 0;
}

std::string upper_trimmed(std::string_view word) {
  std::string result(trim_trailing_blanks(word));
  for (char& ch : result) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return result;
}

int resolve(int unit, Operation operation) {
  if (unit == kDefaultUnit) return operation == Operation::read ? 5 : 6;
  return unit;
}

// The connection of a unit; an unconnected unit is connected to FOR<nnn>.DAT first. Returns
// nullptr with the status when that fails.
Connection* find_or_connect(int unit, Operation operation, int& status) {
  status = 0;
  const int actual = resolve(unit, operation);
  auto& units = table().units;
  auto found = units.find(actual);
  if (found != units.end()) return &found->second;
  if (actual < 0) {
    status = kStatusBadFileName;
    return nullptr;
  }
  char name[32];
  std::snprintf(name, sizeof name, "FOR%03d.DAT", actual);
  Connection c;
  status = open_file(name, "", c);
  if (status != 0) return nullptr;
  const OutputChange change;
  return &(units[actual] = std::move(c));
}

Connection& connection(int unit, Operation operation) {
  int status = 0;
  Connection* c = find_or_connect(unit, operation, status);
  if (c == nullptr) fatal_failure(status, operation, unit);
  return *c;
}

// Writes out what standard output holds, so that what comes next on another channel (standard
// error, a child process, the reader waiting for a prompt's answer) comes after it.
void flush_standard_output() {
  auto& units = table().units;
  auto found = units.find(6);
  if (found != units.end() && found->second.standard && !found->second.out.empty()) {
    flush_or_fail(found->second, Operation::write, 6);
  }
}

// Appends output and writes what is due: everything for a device written at once; for buffered
// output the full blocks, and everything when the output leaves a line open on standard output
// (a "$" write: a prompt or a progress mark, which is there to be seen now). Returns 0 or the
// platform's error number.
int append_output(Connection& c, std::string_view bytes) {
  const OutputChange change;
  if (bytes.find('\r') == std::string_view::npos) {
    c.out.append(bytes);
  } else {
    for (char ch : bytes) {
      if (ch != '\r') c.out += ch;
    }
  }
  const bool open_line = c.standard && !c.out.empty() && c.out.back() != '\n';
  const std::size_t n =
      c.immediate || open_line ? c.out.size() : c.out.size() / kBlock * kBlock;
  return write_pending(c, n);
}

// Standard error keeps its place after the standard output written before it.
void before_output(const Connection& c) {
  if (c.standard && c.fd == 2) flush_standard_output();
}

// Reads more input into the read-ahead buffer. Returns 0 (got tells whether anything came) or the
// platform's error number.
int refill(Connection& c, bool& got) {
  // A read of standard input may wait for someone who answers what standard output shows (a
  // prompt): it goes out before every read that can wait.
  if (c.standard && c.fd == 0) flush_standard_output();
  if (c.in_pos > 0 && c.in_pos == c.in.size()) {
    c.in.clear();
    c.in_pos = 0;
  } else if (c.in_pos > kReadChunk) {
    c.in.erase(0, c.in_pos);
    c.in_pos = 0;
  }
  const std::size_t old = c.in.size();
  c.in.resize(old + kReadChunk);
  for (;;) {
    ssize_t r = ::read(c.fd, c.in.data() + old, kReadChunk);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      const int err = errno;
      c.in.resize(old);
      return err;
    }
    c.in.resize(old + static_cast<std::size_t>(r));
    got = r > 0;
    return 0;
  }
}

// Before input is read from a file, its pending output goes out.
void prepare_input(Connection& c, int unit) {
  if (!c.standard && !c.out.empty()) flush_or_fail(c, Operation::write, unit);
}

}  // namespace

int parse_tab_size(const char* value) {
  if (value == nullptr) return 8;
  const char* p = value;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (!is_digit(*p)) return 8;
  long width = 0;
  while (is_digit(*p)) {
    width = width * 10 + (*p++ - '0');
    if (width > 1000000) width = 1000000;  // wider than any line; keeps the arithmetic small
  }
  if (negative && width != 0) return 8;
  return static_cast<int>(width);
}

int tab_width() { return table().tab; }

const char* unit_file_path(int unit) {
  const auto& units = table().units;
  const auto found = units.find(resolve(unit, Operation::read));
  if (found == units.end() || found->second.path.empty()) return nullptr;
  return found->second.path.c_str();
}

const char* unit_last_line(int unit, std::size_t& number) {
  const auto& units = table().units;
  const auto found = units.find(resolve(unit, Operation::read));
  number = found == units.end() ? 0 : found->second.line_number;
  return number == 0 ? nullptr : found->second.line.c_str();
}

bool append_line_text(std::string& line, std::string_view raw, int width, std::size_t limit) {
  if (raw.find_first_of("\r\t") == std::string_view::npos) {
    if (raw.size() > limit - std::min(limit, line.size())) return false;
    line.append(raw);
    return true;
  }
  const std::size_t w = static_cast<std::size_t>(width);
  for (char ch : raw) {
    if (ch == '\r') continue;
    // The column a tab reaches is counted before anything is appended, so that a line of tabs
    // never grows beyond the limit.
    const std::size_t n = ch == '\t' && w > 0 ? w - line.size() % w : 1;
    if (n > limit - std::min(limit, line.size())) return false;
    if (n == 1) {
      line += ch == '\t' && w > 0 ? ' ' : ch;
    } else {
      line.append(n, ' ');
    }
  }
  return true;
}

void put_output(int unit, std::string_view bytes) {
  Connection& c = connection(unit, Operation::write);
  before_output(c);
  const int err = append_output(c, bytes);
  if (err != 0 && !c.quiet) fatal_failure(err, Operation::write, unit);
}

bool put_output_quiet(int unit, std::string_view bytes) {
  int status = 0;
  Connection* c = find_or_connect(unit, Operation::write, status);
  if (c == nullptr) return false;
  if (!c->standard) c->quiet = true;
  before_output(*c);
  return append_output(*c, bytes) == 0;
}

int next_line(int unit, std::string& line) {
  Connection& c = connection(unit, Operation::read);
  prepare_input(c, unit);
  const int width = tab_width();
  // The line is cleaned as its bytes arrive and they leave the read-ahead buffer at once: only
  // the cleaned line grows, and it never beyond the bound, whatever the raw line holds (no line
  // feed for ever, a run of tabs that expands a thousandfold).
  std::string kept;
  bool started = false;  // bytes of this line have been taken: the end of input completes it
  std::size_t raw = 0;   // bytes of this line taken so far, carriage returns included
  const auto deliver = [&] {
    line = std::move(kept);
    c.line = line;
    ++c.line_number;
  };
  for (;;) {
    const std::size_t lf = c.in.find('\n', c.in_pos);
    const std::size_t end = lf == std::string::npos ? c.in.size() : lf;
    if (!append_line_text(kept, std::string_view(c.in).substr(c.in_pos, end - c.in_pos), width,
                          kMaxLineLength)) {
      return kStatusLineTooLong;
    }
    started = started || end > c.in_pos;
    raw += end - c.in_pos;
    // Carriage returns alone never fill the cleaned line: a stream of them without a line feed
    // would be read for ever. No real line holds a million of them.
    if (raw > 2 * kMaxLineLength) return kStatusLineTooLong;
    c.in_pos = end;
    if (lf != std::string::npos) {
      c.in_pos = lf + 1;
      deliver();
      return 0;
    }
    bool got = false;
    const int err = refill(c, got);
    if (err != 0) return err;
    if (!got) {
      if (!started) return kStatusEnd;
      // A last line without a line feed is still a line.
      deliver();
      return 0;
    }
  }
}

int next_bytes(int unit, char* dst, std::size_t n, std::size_t& got) {
  Connection& c = connection(unit, Operation::read);
  prepare_input(c, unit);
  got = 0;
  while (got < n) {
    if (c.in_pos < c.in.size()) {
      const std::size_t take = std::min(n - got, c.in.size() - c.in_pos);
      if (dst != nullptr) std::copy_n(c.in.data() + c.in_pos, take, dst + got);
      c.in_pos += take;
      got += take;
      continue;
    }
    bool more = false;
    const int err = refill(c, more);
    if (err != 0) return err;
    if (!more) return 0;
  }
  return 0;
}

void finish_units(bool report_failures) {
  const OutputChange change;
  auto& units = table().units;
  for (auto& [unit, c] : units) {
    if (c.fd < 0) continue;
    const bool report = report_failures && !c.quiet;
    const int err = write_pending(c, c.out.size());
    if (err != 0) {
      c.out.clear();
      // The standard streams stay open: what failed there is a write.
      if (report) fatal_failure(err, c.standard ? Operation::write : Operation::close, unit);
    }
    if (!c.standard) {
      const int fd = c.fd;
      c.fd = -1;
      if (::close(fd) != 0 && report) fatal_failure(errno, Operation::close, unit);
    }
  }
}

void write_complete_lines() {
  if (made_table == nullptr) return;
  for (auto& entry : made_table->units) {
    Connection& c = entry.second;
    if (c.fd < 0) continue;
    const std::size_t last = c.out.rfind('\n');
    if (last == std::string::npos) continue;
    if (c.in_pos < c.in.size() && c.regular) {
      const off_t back = static_cast<off_t>(c.in.size() - c.in_pos);
      if (::lseek(c.fd, -back, SEEK_CUR) < 0) continue;
    }
    std::size_t done = 0;
    while (done <= last) {
      const ssize_t w = ::write(c.fd, c.out.data() + done, last + 1 - done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) break;
      done += static_cast<std::size_t>(w);
    }
    // A file that held more than this run wrote ends after the last line written.
    if (c.cut_pending && c.regular && done > last) {
      const off_t end = ::lseek(c.fd, 0, SEEK_CUR);
      [[maybe_unused]] const int cut = end >= 0 ? ::ftruncate(c.fd, end) : 0;
    }
  }
}

}  // namespace textio

using textio::Operation;

void open_unit(int unit, std::string_view name, std::string_view status_word,
               std::string_view kind, int* status, FileAccess access) {
  std::string path;
  auto fail = [&](int code) {
    if (status == nullptr) textio::fatal_failure(code, Operation::open, unit, path.empty() ? nullptr : path.c_str());
    *status = code;
  };
  const std::size_t first = name.find_first_not_of(' ');
  if (first == std::string_view::npos) return fail(kStatusBadFileName);
  const std::size_t last = name.find_last_not_of(' ');
  path = std::string(name.substr(first, last - first + 1));
  const std::string word = textio::upper_trimmed(status_word);
  const std::string form = textio::upper_trimmed(kind);
  if ((word != "OLD" && word != "NEW" && word != "UNKNOWN" && !word.empty()) ||
      (form != "FORMATTED" && form != "UNFORMATTED" && !form.empty())) {
    return fail(EINVAL);
  }
  const int actual = textio::resolve(unit, Operation::open);
  if (actual < 0) return fail(kStatusBadFileName);
  close_unit(actual);
  textio::Connection c;
  const int code = textio::open_file(path, word, c, access);
  if (code != 0) return fail(code);
  const textio::OutputChange change;
  textio::table().units[actual] = std::move(c);
  if (status != nullptr) *status = 0;
}

void close_unit(int unit) {
  const int actual = textio::resolve(unit, Operation::close);
  auto& units = textio::table().units;
  auto found = units.find(actual);
  if (found == units.end()) return;
  textio::Connection& c = found->second;
  textio::flush_or_fail(c, Operation::close, unit);
  if (c.standard) return;
  const int fd = c.fd;
  const bool quiet = c.quiet;
  {
    const textio::OutputChange change;
    units.erase(found);
  }
  if (::close(fd) != 0 && !quiet) textio::fatal_failure(errno, Operation::close, unit);
}

void flush(int unit) {
  const int actual = textio::resolve(unit, Operation::write);
  auto& units = textio::table().units;
  auto found = units.find(actual);
  if (found != units.end()) textio::flush_or_fail(found->second, Operation::write, unit);
}

std::string_view last_line_read(int unit) {
  std::size_t number = 0;
  const char* line = textio::unit_last_line(unit, number);
  return line == nullptr ? std::string_view() : std::string_view(line);
}

bool unit_is_open(int unit) {
  if (unit == kDefaultUnit) return true;
  return textio::table().units.count(unit) != 0;
}

}  // namespace sgl
