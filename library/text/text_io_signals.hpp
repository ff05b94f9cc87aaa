// Internal interface of a run ended by a signal: SIGINT (Ctrl-C), SIGTERM, SIGHUP, the CPU-time
// limit (SIGXCPU), SIGALRM, SIGUSR1, SIGUSR2 and every other signal whose default action ends the
// process and that can be caught still end the run as they would by default, but first every
// complete line of pending output goes to its file or pipe, so that a report stopped on purpose
// ends on a line end and keeps all it had produced.
#pragma once

namespace sgl::textio {

// Takes over the stopping signals whose disposition is the default; one that the parent ignores
// (nohup, a background job) stays ignored, and one that already has a handler keeps it. Called
// once, when the unit table is set up.
void install_stop_handlers();

// Held while the unit table or a unit's pending output changes. A stopping signal that arrives
// meanwhile waits until the outermost change is over, so that the handler finds every buffer
// whole and nothing written twice; a second stopping signal ends the run at once.
class OutputChange {
 public:
  OutputChange();
  ~OutputChange();
  OutputChange(const OutputChange&) = delete;
  OutputChange& operator=(const OutputChange&) = delete;
};

}  // namespace sgl::textio
