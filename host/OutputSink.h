// Where the printer stream goes: a file, a file descriptor (standard output,
// a socket) or memory. Any sink can be told to fail after N bytes, so that
// every failure path of the output can be reached.
#pragma once

#include <cstdint>
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
    // The job succeeded: make the output final (a file gets its real name).
    virtual bool Commit() { return Flush(); }
    // The job failed: drop what cannot be taken back (a file is removed).
    virtual void Discard() {}

    void SetFailAfter(std::uint64_t bytes) { m_failAfter = bytes; }
    std::uint64_t BytesWritten() const { return m_written; }
    bool Failed() const { return m_failed; }
    // Writes attempted after the first failure (a driver should make none).
    std::uint64_t CallsAfterFailure() const { return m_callsAfterFailure; }
    const std::string& Error() const { return m_error; }

protected:
    virtual bool DoWrite(const BYTE* data, std::size_t len) = 0;
    // Records the error and marks the sink failed: a failed Flush or Commit
    // must not let a later Commit answer success.
    void SetError(const std::string& error)
    {
        m_error = error;
        m_failed = true;
    }

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
// connected socket).
class HOST_API CFdSink : public IOutputSink {
public:
    explicit CFdSink(int fd, std::string name, std::size_t bufferSize = 1 << 20);
    ~CFdSink() override;
    bool Flush() override;

protected:
    bool DoWrite(const BYTE* data, std::size_t len) override;
    int m_fd;
    std::string m_name;

private:
    std::unique_ptr<BYTE[]> m_buffer;
    std::size_t m_size;
    std::size_t m_used = 0;
};

// A file written under a temporary name in the target folder and renamed
// to its real name by Commit; Discard (or destruction without Commit)
// removes the temporary file.
class HOST_API CFileSink : public CFdSink {
public:
    // Answers null with a message when the temporary file cannot be created.
    static std::unique_ptr<CFileSink> Create(const std::string& path, std::string& error);
    ~CFileSink() override;
    bool Commit() override;
    void Discard() override;

private:
    CFileSink(int fd, std::string path, std::string tmpPath);
    std::string m_path;
    std::string m_tmpPath;
    bool m_open = true;
};

// Raw TCP ("socket://host:port"), as printers take jobs on port 9100.
class HOST_API CSocketSink : public CFdSink {
public:
    static std::unique_ptr<CSocketSink> Connect(const std::string& host, int port, std::string& error);
    ~CSocketSink() override;
    bool Commit() override;

private:
    CSocketSink(int fd, std::string name);
};
