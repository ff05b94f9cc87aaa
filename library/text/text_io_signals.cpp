// A run ended by a signal (Ctrl-C, kill, a closed terminal, the CPU-time limit or the alarm of a
// batch system): its complete lines are written out, then the signal ends it as it would have
// without a handler.
#include "library/text/text_io_signals.hpp"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "library/text/text_io_units.hpp"

namespace sgl::textio {

namespace {

// Every signal whose default action ends the process (with or without a core file) and that a
// handler can catch; the real-time signals are added at installation. SIGKILL and SIGSTOP cannot
// be caught; the signals that are ignored or stop the process by default are left alone.
constexpr int kStopSignals[] = {
    SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,   SIGBUS,  SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

// Depth of the output changes in progress, and a stopping signal that arrived during one.
volatile sig_atomic_t changing = 0;
volatile sig_atomic_t deferred = 0;
// The stopping signals this layer handles (those whose disposition was the default), by number.
volatile sig_atomic_t handled[NSIG] = {};

// The signals this layer handles.
sigset_t handled_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig = 1; sig < NSIG; ++sig)
    if (handled[sig] != 0) sigaddset(&set, sig);
  return set;
}

// Back to the default disposition: a further stopping signal ends the run without delay.
void restore_defaults() {
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  for (int sig = 1; sig < NSIG; ++sig)
    if (handled[sig] != 0) sigaction(sig, &dfl, nullptr);
}

// Only async-signal-safe calls from here on: the pending lines go out, then the signal, now at
// its default and unblocked, ends the process (never through the exits of the layer, which would
// also write the open line a log may hold).
[[noreturn]] void stop_by_signal(int sig) {
  restore_defaults();
  // The writes below fail instead of ending the run when a reader has gone (SIGPIPE) or a file
  // has reached its size limit (SIGXFSZ), so that every unit has its turn.
  sigset_t write_faults;
  sigemptyset(&write_faults);
  sigaddset(&write_faults, SIGPIPE);
  sigaddset(&write_faults, SIGXFSZ);
  sigprocmask(SIG_BLOCK, &write_faults, nullptr);
  // Any other stopping signal ends the run at once (a write that waits for a full pipe, say).
  sigset_t others = handled_set();
  sigdelset(&others, SIGPIPE);
  sigdelset(&others, SIGXFSZ);
  sigprocmask(SIG_UNBLOCK, &others, nullptr);
  write_complete_lines();
  sigset_t own;
  sigemptyset(&own);
  sigaddset(&own, sig);
  raise(sig);
  sigprocmask(SIG_UNBLOCK, &own, nullptr);
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

// Takes over one signal when its disposition is the default.
void take_over(int sig, const struct sigaction& action) {
  if (sig <= 0 || sig >= NSIG) return;
  struct sigaction before {};
  if (sigaction(sig, nullptr, &before) != 0 || before.sa_handler != SIG_DFL) return;
  handled[sig] = 1;
  if (sigaction(sig, &action, nullptr) != 0) handled[sig] = 0;
}

}  // namespace

void install_stop_handlers() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  for (int sig : kStopSignals) sigaddset(&action.sa_mask, sig);
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) sigaddset(&action.sa_mask, sig);
  // Interrupted reads and writes carry on; the handler returns only while output changes.
  action.sa_flags = SA_RESTART;
  for (int sig : kStopSignals) take_over(sig, action);
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) take_over(sig, action);
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
