// Internal interface of a run stopped from outside: SIGINT (Ctrl-C), SIGTERM and SIGHUP end the
// run as they would by default, but first every complete line of pending output goes to its file
// or pipe, so that a report stopped on purpose ends on a line end and keeps all it had produced.
#pragma once

namespace sgl::textio {

// Takes over the stopping signals whose disposition is the default; one that the parent ignores
// (nohup, a background job) stays ignored. Called once, when the unit table is set up.
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
