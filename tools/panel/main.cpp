// mimaki-panel --settings F.ini [--listen 127.0.0.1:8631]
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <thread>

#include "tools/panel/Panel.h"

int main(int argc, char** argv)
{
    panel::Options options;
    std::string error;
    if (!panel::ParseArgs(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "mimaki-panel: %s\nusage: mimaki-panel --settings F.ini [--listen 127.0.0.1:8631]\n",
                     error.c_str());
        return 2;
    }
    // The signals that end the panel are taken by one thread, which stops
    // the server; the server's threads never see them.
    sigset_t stop;
    sigemptyset(&stop);
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stop, s);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    signal(SIGPIPE, SIG_IGN);

    panel::Server server(options);
    if (!server.Bind(error)) {
        std::fprintf(stderr, "mimaki-panel: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.Url().c_str());
    std::fflush(stdout);
    std::thread waiter([&server, stop] {
        int sig = 0;
        sigwait(&stop, &sig);
        server.Stop();
    });
    server.Run();
    // Stopped by a signal; or the server failed, and the waiter is woken.
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    return 0;
}
