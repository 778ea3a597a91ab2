// mimaki-panel: the printers of a settings file and each one's Device
// options page, served on a loopback address to a browser. Every URL
// carries a random token (printed at start); requests without it, for
// another host name, or from a page of another origin are refused. OK
// saves only when the file is still the one the page was made from.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/Port.h"

namespace panel {

struct Options {
    std::string settings;          // the INI store
    std::string host = "127.0.0.1";
    int port = 8631;               // 0: any free port
    std::string token;             // empty: 32 random bytes
    std::size_t maxBody = 64 * 1024;
    PortTimeouts portTimeouts;     // of the retrievals from the printer
};

// Parses the command line into options; false with a message (usage
// errors: a missing --settings, a --listen that is no loopback address).
bool ParseArgs(const std::vector<std::string>& args, Options& options, std::string& error);
// Whether host names a loopback address ("127.0.0.1" and the rest of
// 127/8, "::1", "localhost").
bool IsLoopback(const std::string& host);

class Server {
public:
    explicit Server(Options options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds the address; false with a message.
    bool Bind(std::string& error);
    int Port() const;
    // The URL to open, token included.
    std::string Url() const;
    // Serves until Stop (from any thread).
    void Run();
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace panel
