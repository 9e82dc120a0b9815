// SIGTERM and SIGINT end the program the orderly way: the signal handler
// only writes a byte into a pipe, and the GUI thread, woken by it, quits
// the event loop, so the window's destruction stops the coordinator and the
// players finish their recordings. The close password guards the operator's
// close, not the system's shutdown.
//
// Threads: Install on the GUI thread, once, after the application object.
#pragma once

namespace korvel {

void QuitOnTerminationSignals();

}  // namespace korvel
