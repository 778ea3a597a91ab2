// Where the printer stream goes: a file, a file descriptor (standard output,
// a pipe, a device, a socket) or memory. Any sink can be told to fail after
// N bytes, so that every failure path of the output can be reached.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "HostApi.h"

class HOST_API IOutputSink {
public:
    virtual ~IOutputSink();

    // Sends len bytes. When the failure limit would be crossed, the bytes up
    // to the limit go out and the call fails; every later call fails too.
    bool Write(const BYTE* data, std::size_t len);
    // Pushes buffered bytes out.
    virtual bool Flush() { return true; }
    // The job succeeded: make the output final (a file gets its real name,
    // a printer must have taken every byte).
    virtual bool Commit() { return Flush(); }
    // The job failed: drop what cannot be taken back (a file is removed).
    virtual void Discard() {}

    void SetFailAfter(std::uint64_t bytes) { m_failAfter = bytes; }
    // Bytes the sink accepted.
    std::uint64_t BytesWritten() const { return m_written; }
    // Bytes the destination took: handed to the file or pipe, or
    // acknowledged by the printer. Less than BytesWritten while bytes wait
    // in a buffer or in the connection.
    virtual std::uint64_t BytesDelivered() const { return m_written; }
    bool Failed() const { return m_failed; }
    // Writes attempted after the first failure (a driver should make none).
    std::uint64_t CallsAfterFailure() const { return m_callsAfterFailure; }
    const std::string& Error() const { return m_error; }

    // Called about four times a second while the destination takes no data
    // (a printer that stopped reading), with the seconds it has not.
    using WaitCallback = std::function<void(double seconds)>;
    void SetWaitCallback(WaitCallback callback) { m_onWait = std::move(callback); }

protected:
    virtual bool DoWrite(const BYTE* data, std::size_t len) = 0;
    // Records the error and marks the sink failed: a failed Flush or Commit
    // must not let a later Commit answer success.
    void SetError(const std::string& error)
    {
        m_error = error;
        m_failed = true;
    }
    WaitCallback m_onWait;

private:
    std::uint64_t m_failAfter = UINT64_MAX;
    std::uint64_t m_written = 0;
    bool m_failed = false;
    std::uint64_t m_callsAfterFailure = 0;
    std::string m_error;
};

class HOST_API CMemorySink : public IOutputSink {
public:
    const std::string& Data() const { return m_data; }
    void Clear() { m_data.clear(); }

protected:
    bool DoWrite(const BYTE* data, std::size_t len) override;

private:
    std::string m_data;
};

// Buffered writer to a file descriptor it does not own (standard output, a
// pipe, a device, a connected socket). Pipes, sockets and devices are
// written without blocking, so that every wait for the destination can be
// limited and ended.
class HOST_API CFdSink : public IOutputSink {
public:
    explicit CFdSink(int fd, std::string name, std::size_t bufferSize = 1 << 20);
    ~CFdSink() override;
    bool Flush() override;
    std::uint64_t BytesDelivered() const override { return m_sent; }

    // A descriptor that becomes readable when the job is to stop (a
    // signal). From then on the sink waits for its destination at most
    // kStopGraceSeconds in all, so that the rest of the stream and an abort
    // command can still go out to a destination that takes them.
    void SetStopFd(int fd) { m_stopFd = fd; }
    static constexpr double kStopGraceSeconds = 2.0;
    // Fails a write when the destination took no data for this long;
    // 0 waits for ever (a busy printer is normal).
    void SetStallTimeout(double seconds) { m_stallTimeout = seconds; }
    bool StallTimedOut() const { return m_stalled; }

protected:
    bool DoWrite(const BYTE* data, std::size_t len) override;
    // Sends len bytes to m_fd, waiting while it takes none.
    bool Send(const BYTE* data, std::size_t len);
    // Waits for events on m_fd (or until timeoutMs passes, -1 for ever).
    // Answers 1 when they came, 0 on timeout, -1 with the error set when the
    // stop grace or the stall limit ran out. idleSince: when the
    // destination last took data.
    int Wait(short events, int timeoutMs, double idleSince);
    virtual std::string WriteError(int err) const;
    static double Now();

    int m_fd;
    std::string m_name;
    std::uint64_t m_sent = 0;

private:
    std::unique_ptr<BYTE[]> m_buffer;
    std::size_t m_size;
    std::size_t m_used = 0;
    bool m_isSocket = false;
    int m_restoreFlags = -1;  // the descriptor's flags before O_NONBLOCK
    int m_stopFd = -1;
    double m_stopDeadline = 0;
    double m_stallTimeout = 0;
    bool m_stalled = false;
};

// A file written under a temporary name beside its target (where a symbolic
// link leads) and renamed to it by Commit; Discard (or destruction without
// Commit) removes the temporary file. A replaced file keeps its
// permissions.
class HOST_API CFileSink : public CFdSink {
public:
    // Answers null with a message when the temporary file cannot be created
    // or the file may not be replaced.
    static std::unique_ptr<CFileSink> Create(const std::string& path, std::string& error);
    ~CFileSink() override;
    bool Commit() override;
    void Discard() override;

private:
    CFileSink(int fd, std::string path, std::string target, std::string tmpPath);
    std::string m_path;
    std::string m_target;
    std::string m_tmpPath;
    bool m_open = true;
};

// Raw TCP ("socket://host:port"), as printers take jobs on port 9100. The
// job counts as delivered only when the printer acknowledged every byte
// and did not reset the connection.
class HOST_API CSocketSink : public CFdSink {
public:
    // Gives up after timeoutSeconds without an answer, or at once when
    // stopFd becomes readable.
    static std::unique_ptr<CSocketSink> Connect(const std::string& host, int port, std::string& error,
                                                double timeoutSeconds = 30, int stopFd = -1);
    ~CSocketSink() override;
    // Sends the rest, ends the sending side and waits until the printer
    // acknowledged every byte; then up to kCloseWaitSeconds (not extended by
    // bytes it sends) for it to close or reset the connection.
    bool Commit() override;
    // Closes at once (a failed or interrupted job).
    void Discard() override;
    std::uint64_t BytesDelivered() const override;
    static constexpr double kCloseWaitSeconds = 1.0;

protected:
    std::string WriteError(int err) const override;

private:
    CSocketSink(int fd, std::string name);
    bool WaitForAcknowledgement();
    void Close();
    // Bytes sent but not acknowledged yet (remembered once closed).
    std::uint64_t Unacknowledged();
    std::uint64_t m_unacked = 0;
    bool m_finSent = false;
};
