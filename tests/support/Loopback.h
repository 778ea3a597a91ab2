// TCP on 127.0.0.1: a one-connection receiver and a port that refuses.
#pragma once

#include <string>
#include <thread>

namespace testsupport {

// How a receiver treats its connection, as printers do.
struct ReceiverBehaviour {
    bool hangUp = false;                       // close at once
    std::size_t closeAfter = std::size_t(-1);  // read this many bytes, then close
    bool neverRead = false;                    // accept, then read nothing until destroyed
    // Once the sender shut down: send a status byte every 100 ms, up to this
    // many, until the sender closes; then close.
    int statusBytes = 0;
};

// Accepts one connection and reads until the peer shuts down (or as the
// behaviour says).
class LoopbackReceiver {
public:
    explicit LoopbackReceiver(bool hangUp = false);
    explicit LoopbackReceiver(const ReceiverBehaviour& behaviour);
    ~LoopbackReceiver();
    LoopbackReceiver(const LoopbackReceiver&) = delete;
    LoopbackReceiver& operator=(const LoopbackReceiver&) = delete;
    int Port() const { return m_port; }
    std::string Uri() const { return "socket://127.0.0.1:" + std::to_string(m_port); }
    std::string Received();  // waits for the connection to end
    int StatusBytesSent();   // waits for the connection to end

private:
    void Serve();

    ReceiverBehaviour m_behaviour;
    int m_listen = -1;
    int m_stop[2] = {-1, -1};  // ends a receiver that never reads
    int m_port = 0;
    std::thread m_thread;
    std::string m_data;
    int m_statusSent = 0;
};

// A listener whose queue is full: a connection to it gets no answer.
class UnansweredPort {
public:
    UnansweredPort();
    ~UnansweredPort();
    UnansweredPort(const UnansweredPort&) = delete;
    UnansweredPort& operator=(const UnansweredPort&) = delete;
    int Port() const { return m_port; }

private:
    int m_listen = -1;
    int m_port = 0;
    int m_fillers[4] = {-1, -1, -1, -1};
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
