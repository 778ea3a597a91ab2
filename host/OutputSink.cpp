#include "OutputSink.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

IOutputSink::~IOutputSink() = default;

bool IOutputSink::Write(const BYTE* data, std::size_t len)
{
    if (m_failed) {
        ++m_callsAfterFailure;
        return false;
    }
    // The limit may have been set below what was already written.
    const std::uint64_t room = m_written < m_failAfter ? m_failAfter - m_written : 0;
    if (len > room) {
        const std::size_t part = static_cast<std::size_t>(room);
        if (part)
            DoWrite(data, part);
        m_written += part;
        m_failed = true;
        if (m_error.empty())
            m_error = "output failed after " + std::to_string(m_failAfter) + " bytes";
        return false;
    }
    if (!DoWrite(data, len)) {
        m_failed = true;
        return false;
    }
    m_written += len;
    return true;
}

bool CMemorySink::DoWrite(const BYTE* data, std::size_t len)
{
    m_data.append(reinterpret_cast<const char*>(data), len);
    return true;
}

CFdSink::CFdSink(int fd, std::string name, std::size_t bufferSize)
    : m_fd(fd), m_name(std::move(name)), m_buffer(new BYTE[bufferSize]), m_size(bufferSize)
{
}

CFdSink::~CFdSink() = default;

// write() to a pipe whose reader is gone raises SIGPIPE, which would end the
// process; as MSG_NOSIGNAL does for sockets, the signal is held back and
// consumed so that the caller sees EPIPE.
static ssize_t WriteNoSigPipe(int fd, const BYTE* data, std::size_t len)
{
    sigset_t pipeSet, old, pending;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    sigemptyset(&pending);
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
    const ssize_t n = ::write(fd, data, len);
    const int err = errno;
    if (n < 0 && err == EPIPE && !wasPending) {
        const timespec zero{};
        sigtimedwait(&pipeSet, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = err;
    return n;
}

static bool WriteAll(int fd, const BYTE* data, std::size_t len, std::string& error, const std::string& name)
{
    while (len) {
        const ssize_t w = ::send(fd, data, len, MSG_NOSIGNAL);
        ssize_t n = w;
        if (w < 0 && errno == ENOTSOCK)
            n = WriteNoSigPipe(fd, data, len);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = name + ": " + std::strerror(errno);
            return false;
        }
        data += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CFdSink::DoWrite(const BYTE* data, std::size_t len)
{
    if (m_used + len > m_size) {
        if (!Flush())
            return false;
        if (len >= m_size) {
            std::string error;
            if (!WriteAll(m_fd, data, len, error, m_name)) {
                SetError(error);
                return false;
            }
            return true;
        }
    }
    std::memcpy(m_buffer.get() + m_used, data, len);
    m_used += len;
    return true;
}

bool CFdSink::Flush()
{
    if (!m_used)
        return !Failed();
    std::string error;
    const bool ok = WriteAll(m_fd, m_buffer.get(), m_used, error, m_name);
    m_used = 0;
    if (!ok)
        SetError(error);
    return ok;
}

std::unique_ptr<CFileSink> CFileSink::Create(const std::string& path, std::string& error)
{
    std::string tmp = path + ".partXXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) {
        error = path + ": cannot create: " + std::strerror(errno);
        return nullptr;
    }
    ::fchmod(fd, 0644);
    return std::unique_ptr<CFileSink>(new CFileSink(fd, path, tmp));
}

CFileSink::CFileSink(int fd, std::string path, std::string tmpPath)
    : CFdSink(fd, path), m_path(std::move(path)), m_tmpPath(std::move(tmpPath))
{
}

CFileSink::~CFileSink()
{
    Discard();
}

bool CFileSink::Commit()
{
    if (!m_open)
        return false;
    bool ok = !Failed() && Flush();
    if (ok && ::fsync(m_fd) != 0 && errno != EINVAL) {
        SetError(m_path + ": " + std::strerror(errno));
        ok = false;
    }
    m_open = false;
    // The descriptor number may be reused at once: later writes must fail,
    // not land in someone else's file.
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && ok) {
        SetError(m_path + ": " + std::strerror(errno));
        ok = false;
    }
    if (ok && std::rename(m_tmpPath.c_str(), m_path.c_str()) != 0) {
        SetError(m_path + ": cannot rename: " + std::strerror(errno));
        ok = false;
    }
    if (!ok)
        ::unlink(m_tmpPath.c_str());
    return ok;
}

void CFileSink::Discard()
{
    if (!m_open)
        return;
    m_open = false;
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_tmpPath.c_str());
}

std::unique_ptr<CSocketSink> CSocketSink::Connect(const std::string& host, int port, std::string& error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const std::string service = std::to_string(port);
    const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &res);
    const std::string name = "socket://" + host + ":" + service;
    if (rc != 0) {
        error = name + ": " + gai_strerror(rc);
        return nullptr;
    }
    int fd = -1;
    int lastErrno = 0;
    for (addrinfo* ai = res; ai; ai = ai->ai_next) {
        fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) {
            lastErrno = errno;
            continue;
        }
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0)
            break;
        lastErrno = errno;
        ::close(fd);
        fd = -1;
    }
    freeaddrinfo(res);
    if (fd < 0) {
        error = name + ": " + std::strerror(lastErrno);
        return nullptr;
    }
    return std::unique_ptr<CSocketSink>(new CSocketSink(fd, name));
}

CSocketSink::CSocketSink(int fd, std::string name) : CFdSink(fd, std::move(name)) {}

CSocketSink::~CSocketSink()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CSocketSink::Commit()
{
    const bool ok = !Failed() && Flush();
    if (m_fd >= 0) {
        ::shutdown(m_fd, SHUT_WR);
        // Wait (bounded) for the peer to close, so that every byte was taken.
        const timeval timeout{30, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        BYTE buf[256];
        while (::recv(m_fd, buf, sizeof buf, 0) > 0) {
        }
        ::close(m_fd);
        m_fd = -1;
    }
    return ok;
}
