// printersim as a service for a test: started in the constructor, stopped
// (SIGTERM, then SIGKILL) in the destructor, so every path of a test ends it.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/support/TempDir.h"

class SimProcess {
public:
    // Starts printersim --listen 127.0.0.1:0 (unless args say --pty or
    // --listen) and waits for its address.
    explicit SimProcess(std::vector<std::string> args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // socket://127.0.0.1:PORT or usb:///dev/pts/N.
    const std::string& Address() const { return m_address; }
    // Its standard output so far.
    std::string Output() const;
    // Waits up to ms for count lines that begin with prefix; answers them.
    std::vector<std::string> WaitForLines(const std::string& prefix, std::size_t count, int ms = 20000) const;

private:
    void Stop();
    testsupport::TempDir m_dir;
    pid_t m_pid = -1;
    std::string m_address;
};

// Paths of the tools under test.
std::string Tool(const char* name);
// Entries of a folder: /proc/self/fd and /proc/self/task count a test's
// descriptors and threads.
std::size_t CountEntries(const char* folder);
