#include "tests/support/Loopback.h"

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

LoopbackReceiver::LoopbackReceiver(bool hangUp) : m_hangUp(hangUp)
{
    m_listen = BoundSocket(m_port);
    if (::listen(m_listen, 1) != 0)
        throw std::runtime_error("listen failed");
    m_thread = std::thread([this] { Serve(); });
}

LoopbackReceiver::~LoopbackReceiver()
{
    if (m_thread.joinable())
        m_thread.join();
    ::close(m_listen);
}

std::string LoopbackReceiver::Received()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_data;
}

void LoopbackReceiver::Serve()
{
    pollfd p{m_listen, POLLIN, 0};
    if (::poll(&p, 1, kWaitMs) != 1)
        return;
    const int c = ::accept(m_listen, nullptr, nullptr);
    if (c < 0)
        return;
    char buf[65536];
    while (!m_hangUp) {
        pollfd q{c, POLLIN, 0};
        if (::poll(&q, 1, kWaitMs) != 1)
            break;
        const ssize_t n = ::recv(c, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        m_data.append(buf, static_cast<std::size_t>(n));
    }
    ::close(c);
}

RefusingPort::RefusingPort() { m_socket = BoundSocket(m_port); }

RefusingPort::~RefusingPort() { ::close(m_socket); }

} // namespace testsupport
