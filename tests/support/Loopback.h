// TCP on 127.0.0.1: a one-connection receiver and a port that refuses.
#pragma once

#include <string>
#include <thread>

namespace testsupport {

// Accepts one connection and reads until the peer shuts down (or, with
// hangUp, closes it at once).
class LoopbackReceiver {
public:
    explicit LoopbackReceiver(bool hangUp = false);
    ~LoopbackReceiver();
    LoopbackReceiver(const LoopbackReceiver&) = delete;
    LoopbackReceiver& operator=(const LoopbackReceiver&) = delete;
    int Port() const { return m_port; }
    std::string Uri() const { return "socket://127.0.0.1:" + std::to_string(m_port); }
    std::string Received();  // waits for the connection to end

private:
    void Serve();

    bool m_hangUp;
    int m_listen = -1;
    int m_port = 0;
    std::thread m_thread;
    std::string m_data;
};

// A bound socket that never listens: connections to its port are refused.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int Port() const { return m_port; }

private:
    int m_socket = -1;
    int m_port = 0;
};

} // namespace testsupport
