#include "NetAddress.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <memory>
#include <mutex>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "StrUtil.h"

double MonotonicSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

namespace {

bool IsV6(const std::string& text)
{
    in6_addr a6;
    return inet_pton(AF_INET6, text.c_str(), &a6) == 1;
}

bool IsV4(const std::string& text)
{
    in_addr a4;
    return inet_pton(AF_INET, text.c_str(), &a4) == 1;
}

bool ParsePort(const std::string& text, int& port)
{
    if (text.empty() || text.size() > 5)
        return false;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535)
        return false;
    port = static_cast<int>(value);
    return true;
}

std::string Seconds(double s)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", s);
    return buf;
}

} // namespace

bool SplitHostPort(const std::string& text, int defaultPort, std::string& host, int& port, std::string& error)
{
    std::string rest = text;
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    std::string portText;
    bool hasPort = false;
    if (!rest.empty() && rest[0] == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos || (close + 1 < rest.size() && rest[close + 1] != ':')) {
            error = "expected [ADDRESS]:PORT, got \"" + text + "\"";
            return false;
        }
        host = rest.substr(1, close - 1);
        hasPort = close + 1 < rest.size();
        if (hasPort)
            portText = rest.substr(close + 2);
        if (!IsV6(host)) {
            error = "\"" + host + "\" in \"" + text + "\" is no IPv6 address";
            return false;
        }
    } else if (IsV6(rest)) {
        host = rest;  // a bare IPv6 address: its colons are no port
    } else {
        const std::size_t colon = rest.rfind(':');
        hasPort = colon != std::string::npos;
        host = hasPort ? rest.substr(0, colon) : rest;
        if (hasPort)
            portText = rest.substr(colon + 1);
    }
    if (host.empty()) {
        error = "no host in \"" + text + "\"";
        return false;
    }
    for (const unsigned char c : host) {
        if (c <= ' ' || c == '/' || c == '[' || c == ']' || c == '@' || c >= 0x7F) {
            error = "\"" + host + "\" in \"" + text + "\" is no host name or address";
            return false;
        }
    }
    if (!hasPort) {
        if (defaultPort <= 0) {
            error = "no port in \"" + text + "\"" +
                    (IsV6(host) ? " (an IPv6 address with a port is written [ADDRESS]:PORT)" : "");
            return false;
        }
        port = defaultPort;
        return true;
    }
    if (!ParsePort(portText, port)) {
        error = "expected a port from 1 to 65535 in \"" + text + "\"";
        return false;
    }
    return true;
}

int isValidIpAddress(const std::wstring& text)
{
    const std::string narrow = WideToUtf8(text);
    return !narrow.empty() && (IsV4(narrow) || IsV6(narrow)) ? 1 : 0;
}

namespace {

std::atomic<HostLookupFunction> g_lookup{&::getaddrinfo};

// One lookup, shared by the caller and the thread that runs it; whoever
// lets go last frees it (and the answer nobody took).
struct Lookup {
    std::string host, service;
    addrinfo hints{};
    int fd = -1;  // readable once done
    std::mutex mutex;
    bool done = false;
    int rc = 0;
    addrinfo* result = nullptr;
    ~Lookup()
    {
        if (result)
            freeaddrinfo(result);
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

HostLookupFunction SetHostLookup(HostLookupFunction lookup)
{
    return g_lookup.exchange(lookup ? lookup : &::getaddrinfo);
}

int LookupHost(const std::string& host, const std::string& service, const addrinfo& hints, double timeoutSeconds,
               int stopFd, addrinfo** result)
{
    *result = nullptr;
    if (IsV4(host) || IsV6(host)) {
        addrinfo numeric = hints;
        numeric.ai_flags |= AI_NUMERICHOST;
        return getaddrinfo(host.c_str(), service.empty() ? nullptr : service.c_str(), &numeric, result);
    }
    auto lookup = std::make_shared<Lookup>();
    lookup->host = host;
    lookup->service = service;
    lookup->hints.ai_flags = hints.ai_flags;
    lookup->hints.ai_family = hints.ai_family;
    lookup->hints.ai_socktype = hints.ai_socktype;
    lookup->hints.ai_protocol = hints.ai_protocol;
    lookup->fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (lookup->fd < 0)
        return EAI_SYSTEM;
    try {
        std::thread([lookup, resolve = g_lookup.load()] {
            addrinfo* res = nullptr;
            const int rc = resolve(lookup->host.c_str(), lookup->service.empty() ? nullptr : lookup->service.c_str(),
                                   &lookup->hints, &res);
            std::lock_guard<std::mutex> lock(lookup->mutex);
            lookup->rc = rc;
            lookup->result = res;
            lookup->done = true;
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(lookup->fd, &one, sizeof one);
        }).detach();
    } catch (const std::exception&) {
        return EAI_SYSTEM;
    }
    const double deadline = MonotonicSeconds() + timeoutSeconds;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(lookup->mutex);
            if (lookup->done) {
                *result = lookup->result;
                lookup->result = nullptr;
                return lookup->rc;
            }
        }
        const double left = deadline - MonotonicSeconds();
        if (left <= 0)
            return kLookupTimedOut;
        pollfd p[2] = {{lookup->fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        ::poll(p, stopFd >= 0 ? 2 : 1, static_cast<int>(std::ceil(std::min(left, 1.0) * 1000)));
        if (stopFd >= 0 && (p[1].revents & POLLIN))
            return kLookupStopped;
    }
}

std::string LookupError(int code, const std::string& host, double timeoutSeconds)
{
    if (code == kLookupTimedOut)
        return "no answer from the name service for \"" + host + "\" within " + Seconds(timeoutSeconds) + " s";
    if (code == kLookupStopped)
        return "stopped while looking up \"" + host + "\"";
    if (code == EAI_SYSTEM)
        return "cannot look up \"" + host + "\": " + std::strerror(errno);
    return "cannot resolve \"" + host + "\": " + gai_strerror(code);
}

std::string ResolveHost(const std::string& host, std::string& error, double timeoutSeconds, int stopFd, bool* stopped)
{
    if (stopped)
        *stopped = false;
    if (IsV4(host) || IsV6(host))
        return host;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const int rc = LookupHost(host, "", hints, timeoutSeconds, stopFd, &res);
    if (rc != 0 || !res) {
        if (stopped)
            *stopped = rc == kLookupStopped;
        if (res)
            freeaddrinfo(res);
        error = LookupError(rc ? rc : EAI_NONAME, host, timeoutSeconds);
        return {};
    }
    char buf[NI_MAXHOST] = {};
    const int nrc = getnameinfo(res->ai_addr, res->ai_addrlen, buf, sizeof buf, nullptr, 0, NI_NUMERICHOST);
    freeaddrinfo(res);
    if (nrc != 0) {
        error = "cannot resolve \"" + host + "\": " + gai_strerror(nrc);
        return {};
    }
    return buf;
}

std::string SocketUri(const std::string& host, int port)
{
    const bool v6 = host.find(':') != std::string::npos;
    return "socket://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

int ConnectTcp(const std::string& host, int port, double timeoutSeconds, int stopFd, std::string& error,
               bool* stopped)
{
    const std::string name = SocketUri(host, port);
    if (stopped)
        *stopped = false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const double deadline = MonotonicSeconds() + timeoutSeconds;
    const int rc = LookupHost(host, std::to_string(port), hints, timeoutSeconds, stopFd, &res);
    if (rc != 0) {
        if (stopped)
            *stopped = rc == kLookupStopped;
        error = name + ": " + LookupError(rc, host, timeoutSeconds);
        return -1;
    }
    int fd = -1;
    int lastErrno = ETIMEDOUT;
    bool stop = false;
    for (addrinfo* ai = res; ai && !stop && MonotonicSeconds() < deadline; ai = ai->ai_next) {
        fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
        if (fd < 0) {
            lastErrno = errno;
            continue;
        }
        int err = ::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0 ? 0 : errno;
        while (err == EINPROGRESS || err == EINTR) {
            const double left = deadline - MonotonicSeconds();
            if (left <= 0) {
                err = ETIMEDOUT;
                break;
            }
            pollfd p[2] = {{fd, POLLOUT, 0}, {stopFd, POLLIN, 0}};
            const int r = ::poll(p, stopFd >= 0 ? 2 : 1, static_cast<int>(std::ceil(std::min(left, 0.25) * 1000)));
            if (stopFd >= 0 && (p[1].revents & POLLIN)) {
                stop = true;
                break;
            }
            if (r > 0 && p[0].revents) {
                socklen_t len = sizeof err;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                    err = errno;
            }
        }
        if (!stop && err == 0)
            break;
        lastErrno = err;
        ::close(fd);
        fd = -1;
    }
    freeaddrinfo(res);
    if (stop) {
        if (stopped)
            *stopped = true;
        error = name + ": stopped while connecting";
        return -1;
    }
    if (fd < 0) {
        error = lastErrno == ETIMEDOUT
                    ? name + ": no answer within " + Seconds(timeoutSeconds) + " s (" + std::strerror(ETIMEDOUT) + ")"
                    : name + ": " + std::strerror(lastErrno);
        return -1;
    }
    return fd;
}
