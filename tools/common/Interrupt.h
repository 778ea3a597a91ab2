// Signals that end a command-line tool's run. A handler only records the
// signal and makes a pipe readable: every wait that polls the pipe ends at
// once, and the work stops at its next check and cleans up as on a failure.
// The handlers are installed without SA_RESTART, so a blocked call returns
// as well.
#pragma once

#include <csignal>

namespace interrupt {

// Catches SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM,
// SIGPROF and SIGXCPU; ignores SIGPIPE and SIGXFSZ, so that a closed pipe or
// a file size limit fails the write (EPIPE, EFBIG) instead of ending the
// process. Safe to call more than once.
void Install();

// The first signal received, 0 while none was.
int Signal();
const volatile std::sig_atomic_t* Flag();

// Readable from the first signal on (it is never drained); -1 before
// Install.
int WakeFd();

// "SIGINT", "SIGTERM", ...
const char* Name(int sig);

} // namespace interrupt
