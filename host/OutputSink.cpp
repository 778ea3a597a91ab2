#include "OutputSink.h"
#include "WriteTarget.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileIO.h"
#include "NetAddress.h"

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

namespace {

std::string SecondsText(double s)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", s);
    return buf;
}

// write() to a pipe whose reader is gone raises SIGPIPE, which would end the
// process; as MSG_NOSIGNAL does for sockets, the signal is held back and
// consumed so that the caller sees EPIPE.
ssize_t WriteNoSigPipe(int fd, const BYTE* data, std::size_t len)
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

} // namespace

double CFdSink::Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

CFdSink::CFdSink(int fd, std::string name, std::size_t bufferSize)
    : m_fd(fd), m_name(std::move(name)), m_buffer(new BYTE[bufferSize]), m_size(bufferSize)
{
    struct stat st{};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return;
    m_isSocket = S_ISSOCK(st.st_mode);
    // Pipes, sockets and devices (a printer port) can block for as long as
    // their reader pleases: they are written without blocking. A terminal
    // is left as it is, as the shell shares it.
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || (S_ISCHR(st.st_mode) && !::isatty(fd))) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0 && !(flags & O_NONBLOCK) && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0)
            m_restoreFlags = flags;
    }
}

CFdSink::~CFdSink()
{
    if (m_restoreFlags >= 0 && m_fd >= 0)
        ::fcntl(m_fd, F_SETFL, m_restoreFlags);
}

std::string CFdSink::WriteError(int err) const
{
    return m_name + ": " + WriteErrorText(err);
}

int CFdSink::Wait(short events, int timeoutMs, double idleSince)
{
    const double start = Now();
    for (;;) {
        const double now = Now();
        if (m_stopDeadline > 0 && now >= m_stopDeadline) {
            SetError(m_name + ": took no more data in the " + SecondsText(kStopGraceSeconds) +
                     " s allowed after the stop");
            return -1;
        }
        const double idle = now - idleSince;
        if (m_stallTimeout > 0 && idle >= m_stallTimeout) {
            m_stalled = true;
            SetError(m_name + ": took no data for " + SecondsText(m_stallTimeout) + " s");
            return -1;
        }
        const double waited = now - start;
        if (timeoutMs >= 0 && waited * 1000 >= timeoutMs)
            return 0;
        double slice = 0.25;
        if (m_stopDeadline > 0)
            slice = std::min(slice, m_stopDeadline - now);
        if (m_stallTimeout > 0)
            slice = std::min(slice, m_stallTimeout - idle);
        if (timeoutMs >= 0)
            slice = std::min(slice, timeoutMs / 1000.0 - waited);
        pollfd p[2] = {{m_fd, events, 0}, {m_stopFd, POLLIN, 0}};
        const bool watchStop = m_stopFd >= 0 && m_stopDeadline == 0;
        // events 0 still reports errors and hang-ups; -1 watches the clock only.
        pollfd* set = events >= 0 ? p : p + 1;
        const nfds_t count = (events >= 0 ? 1 : 0) + (watchStop ? 1 : 0);
        const int r = ::poll(set, count, static_cast<int>(std::ceil(std::max(slice, 0.0) * 1000)));
        if (r < 0 && errno != EINTR) {
            SetError(m_name + ": " + std::strerror(errno));
            return -1;
        }
        if (watchStop && (p[1].revents & POLLIN))
            m_stopDeadline = Now() + kStopGraceSeconds;
        if (r > 0 && events >= 0 && p[0].revents)
            return 1;
        if (m_onWait && Now() - idleSince >= 1.0)
            m_onWait(Now() - idleSince);
    }
}

bool CFdSink::Send(const BYTE* data, std::size_t len)
{
    double idleSince = Now();
    while (len) {
        const ssize_t n = m_isSocket ? ::send(m_fd, data, len, MSG_NOSIGNAL | MSG_DONTWAIT)
                                     : WriteNoSigPipe(m_fd, data, len);
        if (n > 0) {
            data += n;
            len -= static_cast<std::size_t>(n);
            m_sent += static_cast<std::uint64_t>(n);
            idleSince = Now();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (Wait(POLLOUT, -1, idleSince) < 0)
                return false;
            continue;
        }
        SetError(WriteError(n == 0 ? EIO : errno));
        return false;
    }
    return true;
}

bool CFdSink::DoWrite(const BYTE* data, std::size_t len)
{
    if (m_used + len > m_size) {
        if (!Flush())
            return false;
        if (len >= m_size)
            return Send(data, len);
    }
    std::memcpy(m_buffer.get() + m_used, data, len);
    m_used += len;
    return true;
}

bool CFdSink::Flush()
{
    if (!m_used)
        return !Failed();
    const bool ok = Send(m_buffer.get(), m_used);
    m_used = 0;
    return ok;
}

std::unique_ptr<CFileSink> CFileSink::Create(const std::string& path, std::string& error)
{
    std::string target, tmp;
    const int fd = OpenReplacement(path, target, tmp, error);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<CFileSink>(new CFileSink(fd, path, target, tmp));
}

CFileSink::CFileSink(int fd, std::string path, std::string target, std::string tmpPath)
    : CFdSink(fd, path), m_path(std::move(path)), m_target(std::move(target)), m_tmpPath(std::move(tmpPath))
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
    int err = 0;
    if (ok && !PublishReplacement(fd, m_tmpPath, m_target, err)) {
        SetError(m_path + ": cannot put the file in place: " + std::strerror(err));
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        SetError(m_path + ": " + std::strerror(errno));
        ok = false;
    }
    if (!ok && !m_tmpPath.empty())
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
    if (!m_tmpPath.empty())
        ::unlink(m_tmpPath.c_str());
}

std::unique_ptr<CSocketSink> CSocketSink::Connect(const std::string& host, int port, std::string& error,
                                                  double timeoutSeconds, int stopFd)
{
    const int fd = ConnectTcp(host, port, timeoutSeconds, stopFd, error);
    if (fd < 0)
        return nullptr;
    std::unique_ptr<CSocketSink> sink(new CSocketSink(fd, SocketUri(host, port)));
    sink->SetStopFd(stopFd);
    return sink;
}

// A small buffer: what is not in the connection yet is still cheap to
// stop, and the kernel keeps its own.
CSocketSink::CSocketSink(int fd, std::string name) : CFdSink(fd, std::move(name), 64 * 1024) {}

CSocketSink::~CSocketSink()
{
    Close();
}

std::string CSocketSink::WriteError(int err) const
{
    if (err == EPIPE || err == ECONNRESET)
        return m_name + ": the printer closed the connection (" + std::strerror(err) + ")";
    return CFdSink::WriteError(err);
}

std::uint64_t CSocketSink::Unacknowledged()
{
    if (m_fd < 0)
        return m_unacked;
    // The queue's length is counted in sequence numbers, which a reset
    // leaves as they were.
    int queued = 0;
    if (::ioctl(m_fd, SIOCOUTQ, &queued) == 0 && queued >= 0) {
        // After the shutdown the FIN takes the last place in the queue.
        std::uint64_t q = static_cast<std::uint64_t>(queued);
        if (m_finSent && q > 0)
            --q;
        m_unacked = std::min(q, m_sent);
    }
    return m_unacked;
}

std::uint64_t CSocketSink::BytesDelivered() const
{
    const std::uint64_t unacked = const_cast<CSocketSink*>(this)->Unacknowledged();
    return m_sent - std::min(unacked, m_sent);
}

bool CSocketSink::WaitForAcknowledgement()
{
    const std::string reset = m_name + ": the printer reset the connection before it took the whole job (";
    if (::shutdown(m_fd, SHUT_WR) != 0) {
        // A connection already reset is no longer connected.
        int err = errno;
        socklen_t len = sizeof err;
        if (err == ENOTCONN && (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err == 0))
            err = ECONNRESET;
        SetError(err == ECONNRESET || err == EPIPE ? reset + std::strerror(err) + ")" : WriteError(err));
        return false;
    }
    m_finSent = true;
    double idleSince = Now();
    std::uint64_t last = Unacknowledged();
    double closeBy = 0;
    bool peerClosed = false;
    for (;;) {
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err) {
            SetError(reset + std::strerror(err) + ")");
            return false;
        }
        const std::uint64_t left = Unacknowledged();
        if (left < last) {
            last = left;
            idleSince = Now();
        }
        if (left == 0 && peerClosed)
            return true;
        if (left == 0 && closeBy == 0)
            closeBy = Now() + kCloseWaitSeconds;
        const double now = Now();
        if (closeBy > 0 && now >= closeBy)
            return true;
        // Until every byte is acknowledged the queue is looked at every
        // 20 ms; then the wait runs to closeBy, which bytes the printer
        // sends do not move.
        const int timeoutMs = closeBy > 0 ? static_cast<int>(std::ceil((closeBy - now) * 1000)) : 20;
        const int r = Wait(peerClosed ? -1 : POLLIN, timeoutMs, closeBy > 0 ? now : idleSince);
        if (r < 0)
            return false;
        if (r == 0)
            continue;
        BYTE buf[512];
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR)))
            continue;
        if (n == 0) {
            // The printer closed its side; a half-closed printer may still
            // be reading what is left.
            peerClosed = true;
            continue;
        }
        SetError(reset + std::strerror(errno) + ")");
        return false;
    }
}

bool CSocketSink::Commit()
{
    if (m_fd < 0)
        return false;
    const bool ok = !Failed() && Flush() && WaitForAcknowledgement();
    Close();
    return ok;
}

void CSocketSink::Discard()
{
    Close();
}

void CSocketSink::Close()
{
    if (m_fd < 0)
        return;
    Unacknowledged();
    ::close(m_fd);
    m_fd = -1;
}
