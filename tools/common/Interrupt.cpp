#include "tools/common/Interrupt.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace interrupt {

namespace {

volatile std::sig_atomic_t g_signal = 0;
int g_pipe[2] = {-1, -1};

constexpr int kCaught[] = {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU};

void OnSignal(int sig)
{
    const int saved = errno;
    if (!g_signal)
        g_signal = sig;
    if (g_pipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    }
    errno = saved;
}

} // namespace

void Install()
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_pipe[0] = g_pipe[1] = -1;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnSignal;
    sigfillset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: blocked calls return EINTR
    for (int sig : kCaught)
        ::sigaction(sig, &sa, nullptr);
    sa.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &sa, nullptr);
    ::sigaction(SIGXFSZ, &sa, nullptr);
}

int Signal()
{
    return g_signal;
}

const volatile std::sig_atomic_t* Flag()
{
    return &g_signal;
}

int WakeFd()
{
    return g_pipe[0];
}

const char* Name(int sig)
{
    switch (sig) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGUSR1: return "SIGUSR1";
    case SIGUSR2: return "SIGUSR2";
    case SIGALRM: return "SIGALRM";
    case SIGVTALRM: return "SIGVTALRM";
    case SIGPROF: return "SIGPROF";
    case SIGXCPU: return "SIGXCPU";
    default: return "a signal";
    }
}

} // namespace interrupt
