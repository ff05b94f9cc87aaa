// A run stopped by SIGINT, SIGTERM or SIGHUP: its complete lines are written out, then the signal
// ends it as it would have without a handler.
#include "library/text/text_io_signals.hpp"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "library/text/text_io_units.hpp"

namespace sgl::textio {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Depth of the output changes in progress, and a stopping signal that arrived during one.
volatile sig_atomic_t changing = 0;
volatile sig_atomic_t deferred = 0;
// The stopping signals this layer handles (those that were not ignored), as a bit per signal.
volatile sig_atomic_t handled = 0;

bool is_handled(int sig) { return (handled & (1 << sig)) != 0; }

// Back to the default disposition: a further stopping signal ends the run without delay.
void restore_defaults() {
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  for (int sig : kStopSignals)
    if (is_handled(sig)) sigaction(sig, &dfl, nullptr);
}

// Only async-signal-safe calls from here on: the pending lines go out, then the signal, now at
// its default and unblocked, ends the process (never through the exits of the layer, which would
// also write the open line a log may hold).
[[noreturn]] void stop_by_signal(int sig) {
  restore_defaults();
  sigset_t stops;
  sigemptyset(&stops);
  for (int s : kStopSignals) sigaddset(&stops, s);
  sigprocmask(SIG_UNBLOCK, &stops, nullptr);
  // A reader that has gone must not turn the stop into death by SIGPIPE.
  sigset_t pipe_only;
  sigemptyset(&pipe_only);
  sigaddset(&pipe_only, SIGPIPE);
  sigprocmask(SIG_BLOCK, &pipe_only, nullptr);
  write_complete_lines();
  raise(sig);
  _exit(128 + sig);
}

extern "C" void on_stop_signal(int sig) {
  if (changing != 0) {
    const int saved = errno;
    restore_defaults();
    deferred = sig;
    errno = saved;
    return;
  }
  stop_by_signal(sig);
}

}  // namespace

void install_stop_handlers() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  for (int sig : kStopSignals) sigaddset(&action.sa_mask, sig);
  // Interrupted reads and writes carry on; the handler returns only while output changes.
  action.sa_flags = SA_RESTART;
  for (int sig : kStopSignals) {
    struct sigaction before {};
    if (sigaction(sig, nullptr, &before) != 0 || before.sa_handler != SIG_DFL) continue;
    handled = handled | (1 << sig);
    sigaction(sig, &action, nullptr);
  }
}

OutputChange::OutputChange() {
  changing = changing + 1;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

OutputChange::~OutputChange() {
  std::atomic_signal_fence(std::memory_order_seq_cst);
  changing = changing - 1;
  if (changing == 0 && deferred != 0) stop_by_signal(deferred);
}

}  // namespace sgl::textio
