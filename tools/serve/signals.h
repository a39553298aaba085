// The signals the server is sent, as a service is: SIGINT and SIGTERM stop
// it, SIGHUP reloads its tier-table set, SIGUSR1 and SIGUSR2 are logged and
// passed over (a log rotation or a status probe sent to every process of a
// unit must not end the requests in flight), and SIGPIPE is ignored (a
// client gone while its answer is written ends only its connection). Every
// other signal keeps the system's default.
#pragma once

#include <signal.h>

namespace cmg290::serve {

// Blocks SIGHUP, SIGUSR1 and SIGUSR2 in the calling thread, so that they
// wait while the server starts instead of ending it.
void hold_signals_while_starting();

// SIGINT and SIGTERM.
sigset_t stop_signals();

// Blocks the signals the server waits for (SIGINT, SIGTERM, SIGHUP,
// SIGUSR1, SIGUSR2) in the calling thread, which every thread started after
// inherits, and ignores SIGPIPE. Returns the set waited for.
sigset_t block_served_signals();

// Waits for the next of `signals` that is not passed over: SIGUSR1 and
// SIGUSR2 are logged and waited past. Returns the signal, or 0 when the wait
// failed.
int next_signal(const sigset_t& signals);

}  // namespace cmg290::serve
