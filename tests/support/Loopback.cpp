#include "tests/support/Loopback.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

// A socket bound to a free loopback port.
int BoundSocket(int& port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("cannot bind a loopback socket");
    port = ntohs(addr.sin_port);
    return s;
}

// Generous: the peer may be a sanitized child process still starting.
constexpr int kWaitMs = 30000;

} // namespace

LoopbackReceiver::LoopbackReceiver(bool hangUp) : LoopbackReceiver(ReceiverBehaviour{hangUp}) {}

LoopbackReceiver::LoopbackReceiver(const ReceiverBehaviour& behaviour) : m_behaviour(behaviour)
{
    m_listen = BoundSocket(m_port);
    if (::listen(m_listen, 1) != 0 || ::pipe(m_stop) != 0)
        throw std::runtime_error("listen failed");
    m_thread = std::thread([this] { Serve(); });
}

LoopbackReceiver::~LoopbackReceiver()
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_stop[1], &byte, 1);
    if (m_thread.joinable())
        m_thread.join();
    ::close(m_listen);
    ::close(m_stop[0]);
    ::close(m_stop[1]);
}

std::string LoopbackReceiver::Received()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_data;
}

int LoopbackReceiver::StatusBytesSent()
{
    Received();
    return m_statusSent;
}

void LoopbackReceiver::Serve()
{
    pollfd p{m_listen, POLLIN, 0};
    if (::poll(&p, 1, kWaitMs) != 1)
        return;
    const int c = ::accept(m_listen, nullptr, nullptr);
    if (c < 0)
        return;
    if (m_behaviour.neverRead) {
        pollfd q{m_stop[0], POLLIN, 0};
        ::poll(&q, 1, -1);
    }
    char buf[65536];
    bool senderDone = false;
    while (!m_behaviour.hangUp && !m_behaviour.neverRead && m_data.size() < m_behaviour.closeAfter) {
        pollfd q{c, POLLIN, 0};
        if (::poll(&q, 1, kWaitMs) != 1)
            break;
        const std::size_t want = std::min(sizeof buf, m_behaviour.closeAfter - m_data.size());
        const ssize_t n = ::recv(c, buf, want, 0);
        if (n <= 0) {
            senderDone = n == 0;
            break;
        }
        m_data.append(buf, static_cast<std::size_t>(n));
    }
    // A printer that answers now and then: until the sender closes (the
    // send fails) or the bytes are used up.
    for (; senderDone && m_statusSent < m_behaviour.statusBytes; ++m_statusSent) {
        const char status = 'S';
        if (::send(c, &status, 1, MSG_NOSIGNAL) != 1)
            break;
        pollfd q{m_stop[0], POLLIN, 0};
        if (::poll(&q, 1, 100) != 0)
            break;
    }
    ::close(c);
}

UnansweredPort::UnansweredPort()
{
    m_listen = BoundSocket(m_port);
    if (::listen(m_listen, 0) != 0)
        throw std::runtime_error("listen failed");
    // Connections that are never accepted fill the queue; later ones hang.
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(m_port));
    for (int& f : m_fillers) {
        f = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        ::connect(f, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
}

UnansweredPort::~UnansweredPort()
{
    for (int f : m_fillers)
        ::close(f);
    ::close(m_listen);
}

RefusingPort::RefusingPort() { m_socket = BoundSocket(m_port); }

RefusingPort::~RefusingPort() { ::close(m_socket); }

} // namespace testsupport
