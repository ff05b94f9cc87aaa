// Small program for the process-level tests of the text layer: each mode exercises one end of a
// run, one file behaviour or one read, so that the tests can check standard output, standard
// error, files and the exit status.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "library/text/bomb.hpp"
#include "library/text/text_io.hpp"

namespace {

void echo_lines(std::string_view format, std::size_t length) {
  for (;;) {
    std::string line(length, '?');
    int status = 0;
    if (sgl::read_line(5, format, {line}, {.status = &status}) != sgl::ReadOutcome::ok) {
      sgl::write_free(6, {"status", status});
      return;
    }
    sgl::write_line(6, "(3a)", {"[", line, "]"});
  }
}

// Each line of standard input: its length as the reads see it and its last character.
void line_lengths() {
  for (;;) {
    std::string first(1, ' ');
    int status = 0;
    if (sgl::read_line(5, "(a)", {first}, {.status = &status}) != sgl::ReadOutcome::ok) {
      sgl::write_free(6, {"status", status});
      return;
    }
    const std::string_view line = sgl::last_line_read(5);
    sgl::write_free(6, {"length", static_cast<int32_t>(line.size()),
                        line.empty() ? std::string_view("-") : line.substr(line.size() - 1)});
  }
}

// The modes below are ended by signals whose default action also dumps core: no core file.
void no_core_file() {
  struct rlimit none {};
  ::getrlimit(RLIMIT_CORE, &none);
  none.rlim_cur = 0;
  ::setrlimit(RLIMIT_CORE, &none);
}

// Output pending on standard output (three lines) and in the log named by `log` (two whole lines
// and an open one), for a run that a signal is about to end.
void pending_output(const std::string& log) {
  for (int32_t k = 1; k <= 3; ++k) sgl::write_line(6, "(a,i2)", {"out", k});
  sgl::open_unit(30, log, "", "");
  sgl::write_line(30, "(a)", {"log 1"});
  sgl::write_line(30, "(a)", {"log 2"});
  sgl::write_line(30, "(a,$)", {"open"});
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const std::string arg = argc > 2 ? argv[2] : "";
  if (mode == "stop_text") {
    sgl::write_line(6, "(a)", {"out"});
    sgl::stop_run("done");
  } else if (mode == "stop_none") {
    sgl::stop_run();
  } else if (mode == "stop_empty") {
    sgl::stop_run("");
  } else if (mode == "end") {
    sgl::write_line(6, "(a)", {"line"});
    sgl::end_run();
  } else if (mode == "bomb") {
    sgl::write_free(6, {"Error: something"});
    sgl::bomb();
  } else if (mode == "interleave") {
    sgl::write_line(6, "(a)", {"o1"});
    sgl::write_line(0, "(a)", {"e1"});
    sgl::write_line(6, "(a,$)", {"o2"});
    sgl::write_line(0, "(a)", {"e2"});
    sgl::write_line(6, "(a,$)", {"."});
    sgl::write_line(6, "(a,$)", {"."});
    sgl::write_line(6, "(a)", {"o3"});
    sgl::end_run();
  } else if (mode == "interleave_blocks") {
    // More than a block of standard output on both sides of a line on standard error.
    for (int32_t k = 1; k <= 1000; ++k) sgl::write_line(6, "(a,i5)", {"line", k});
    sgl::write_line(0, "(a)", {"err"});
    for (int32_t k = 1001; k <= 1002; ++k) sgl::write_line(6, "(a,i5)", {"line", k});
    sgl::stop_run("end");
  } else if (mode == "command") {
    // Another program writing to the same standard output between two lines.
    sgl::write_line(6, "(a)", {"before"});
    sgl::flush(6);
    [[maybe_unused]] int status = std::system("echo child; echo child err >&2");
    sgl::write_line(6, "(a)", {"after"});
    sgl::end_run();
  } else if (mode == "killed") {
    // Ends by a signal, past every exit path of the layer: what was written out before it shows.
    // arg "dot": the last write leaves its line open.
    sgl::write_line(6, "(a)", {"line"});
    if (arg == "dot") sgl::write_line(6, "(a,$)", {"."});
    ::raise(SIGKILL);
  } else if (mode == "stopped") {
    // Waits to be stopped by a signal, with output pending (pending_output, the log named by
    // arg). "ready" in the working directory tells the test that all of it has been written.
    no_core_file();
    pending_output(arg);
    ::close(::open("ready", O_WRONLY | O_CREAT, 0644));
    for (;;) ::pause();
  } else if (mode == "cpu_limited") {
    // Numbered lines on standard output and in the log named by arg, each after a little work,
    // under a CPU-time limit of one second: the limit's signal (SIGXCPU) ends the run, whether it
    // comes during a write or between two.
    no_core_file();
    struct rlimit cpu {};
    ::getrlimit(RLIMIT_CPU, &cpu);
    cpu.rlim_cur = 1;
    // Should SIGXCPU fail to end the run, the kernel kills it after ten seconds.
    if (cpu.rlim_max == RLIM_INFINITY || cpu.rlim_max > 10) cpu.rlim_max = 10;
    if (::setrlimit(RLIMIT_CPU, &cpu) != 0) return 3;
    sgl::open_unit(30, arg, "", "");
    volatile double work = 0.0;
    for (int32_t k = 1;; ++k) {
      for (int j = 0; j < 2000; ++j) work = work + 1.0 / (j + 1.0);
      sgl::write_line(6, "(a,i9)", {"line", k});
      sgl::write_line(30, "(a,i9)", {"line", k});
    }
  } else if (mode == "flood") {
    // Numbered lines on standard output until a signal stops the run.
    for (int32_t k = 1;; ++k) sgl::write_line(6, "(a,i9)", {"line", k});
  } else if (mode == "uncaught") {
    sgl::write_line(6, "(a)", {"before"});
    throw std::runtime_error("not caught");
  } else if (mode == "prompts") {
    // Two prompts, each answered on standard input; then the sum.
    int32_t a = 0;
    int32_t b = 0;
    sgl::write_line(6, "(a)", {"first?"});
    sgl::read_free(5, {a});
    sgl::write_line(6, "(a)", {"second?"});
    sgl::read_free(5, {b});
    sgl::write_free(6, {"sum", a + b});
    sgl::end_run();
  } else if (mode == "read_end") {
    sgl::write_line(6, "(a)", {"before"});
    int32_t value = 0;
    sgl::read_free(5, {value});
    sgl::write_free(6, {"read", value});
    sgl::end_run();
  } else if (mode == "read_awaited") {
    // Two values on two lines, each read saying what it expects.
    double a = 0;
    double b = 0;
    sgl::read_free(5, {a}, {.awaited = "the first value"});
    sgl::read_free(5, {b}, {.awaited = "the second value"});
    sgl::end_run();
  } else if (mode == "read_word_of_line") {
    // A line read whole, then its second word read as a number, as word-by-word readers do.
    std::string line(40, ' ');
    sgl::read_line(5, "(a40)", {line});
    double value = 0;
    const std::size_t start = line.find(' ') + 1;
    const std::string word = line.substr(start, line.find(' ', start) - start);
    sgl::read_free_text(word, {value}, {.awaited = "a number", .text_of_unit = 5});
    sgl::end_run();
  } else if (mode == "read_default_bad") {
    int32_t value = 0;
    sgl::read_free(sgl::kDefaultUnit, {value});
    sgl::end_run();
  } else if (mode == "read_file_bad") {
    // Two integers from the text file named, one line each.
    int32_t value = 0;
    sgl::open_unit(31, arg, "OLD", "");
    sgl::read_free(31, {value});
    sgl::read_free(31, {value});
    sgl::end_run();
  } else if (mode == "read_text_huge") {
    double value = 0;
    sgl::read_free_text("1e400", {value});
    sgl::end_run();
  } else if (mode == "read_text_bad") {
    int32_t value = 0;
    sgl::read_free_text("12abc", {value});
    sgl::end_run();
  } else if (mode == "lines") {
    echo_lines("(a)", arg.empty() ? 12 : std::stoul(arg));
    sgl::end_run();
  } else if (mode == "lengths") {
    line_lengths();
    sgl::end_run();
  } else if (mode == "unit20") {
    sgl::write_line(20, "(a)", {"first warning"});
    sgl::write_free(20, {"second", 2});
    sgl::end_run();
  } else if (mode == "log") {
    sgl::open_unit(30, arg, "", "");
    sgl::write_line(30, "(a)", {"new line 1"});
    sgl::write_line(30, "(a)", {"new line 2"});
    sgl::end_run();
  } else if (mode == "log_return") {
    // Ends by returning from main, not through the ends of the text layer.
    sgl::open_unit(30, arg, "", "");
    sgl::write_line(30, "(a)", {"returned"});
    sgl::write_line(20, "(a)", {"implicit"});
    sgl::write_line(6, "(a)", {"out"});
    return 0;
  } else if (mode == "log_exit") {
    sgl::open_unit(30, arg, "", "");
    sgl::write_line(30, "(a)", {"exited"});
    sgl::write_line(6, "(a)", {"out"});
    std::exit(3);
  } else if (mode == "log_stop") {
    sgl::open_unit(30, arg, "", "");
    sgl::write_line(30, "(a)", {"logged"});
    sgl::stop_run("x");
  } else if (mode == "open_old") {
    sgl::open_unit(31, arg, "OLD", "");
    sgl::end_run();
  } else if (mode == "open_log") {
    sgl::open_unit(30, arg, "", "");
    sgl::end_run();
  } else if (mode == "many_lines") {
    for (int k = 0; k < 100000; ++k) sgl::write_line(6, "(a,i6)", {"line", k});
    sgl::end_run();
  } else if (mode == "quiet") {
    // A warning copy to unit 20 (or to the file given) that cannot be written.
    if (!arg.empty()) sgl::open_unit(20, arg, "", "");
    const bool written = sgl::write_line_quiet(20, "(a)", {"warning copy"});
    sgl::write_free(6, {"written", sgl::Logical{written}});
    sgl::end_run();
  } else if (mode == "write_fails") {
    sgl::open_unit(21, arg, "", "");
    sgl::write_line(21, "(a)", {"lost"});
    sgl::write_line(6, "(a)", {"not reached"});
    sgl::end_run();
  } else if (mode == "allocation_fails") {
    // What a failed allocation runs: the handler operator new calls before it gives up. (Calling
    // it directly keeps the test free of huge allocations, which the sanitizers report instead.)
    if (arg != "uninstalled") sgl::install_out_of_memory_handler();
    sgl::write_line(6, "(a)", {"before"});
    const std::new_handler handler = std::get_new_handler();
    if (handler != nullptr) handler();
    sgl::write_line(6, "(a)", {"no handler"});
    sgl::end_run();
  } else if (mode == "no_memory") {
    sgl::write_line(6, "(a)", {"before"});
    sgl::fail_out_of_memory();
  } else if (mode == "record") {
    sgl::open_unit(50, arg, "OLD", "UNFORMATTED");
    std::vector<int8_t> bytes(2, 0);
    std::vector<int16_t> shorts(2, 0);
    std::vector<int32_t> words(2, 0);
    std::vector<sgl::Logical> flags(1);
    std::vector<char> text(4, '.');
    sgl::read_record(50, {std::span<int8_t>(bytes), std::span<int16_t>(shorts),
                          std::span<int32_t>(words), std::span<sgl::Logical>(flags),
                          std::span<char>(text)});
    sgl::write_free(6, {bytes[0], bytes[1], shorts[0], shorts[1], words[0], words[1],
                        sgl::Logical{flags[0].value}, std::string(text.begin(), text.end())});
    sgl::close_unit(50);
    sgl::end_run();
  }
  std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
  return 2;
}
