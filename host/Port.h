// The host's printer ports: finding a printer's port from its settings,
// opening it, asking the printer for its status block or its print-condition
// block (host/PortProtocol.h), and the status sensor built on them.
//
// Port names (the printer's PrEnv_Port entry, or given by the caller):
//   socket://HOST[:PORT]   raw TCP, port 9100 by default; HOST a name, an
//   HOST[:PORT]            IPv4 address or an IPv6 address in brackets (a
//   [IPV6][:PORT], IPV6    bare IPv6 address takes the default port)
//   usb://PATH             a USB printer-class device node, read and
//   /dev/usb/...           written ("MUSB"), such as usb:///dev/usb/lp0
//   anything else          a port of another type (serial://..., COM1,
//                          LPT1): it exists, but nothing can be asked of it
// An empty name is no port.
//
// Every wait is limited (PortTimeouts) and ends at once when the abort
// object is set; a printer that resets, closes or stops answering ends the
// operation with a port message, never a hang.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "HostApi.h"

class CPrintEnv;

// The abort object of a running query: a flag set from any thread, and a
// descriptor that turns readable once it is set, so that a port waiting
// for the printer wakes at once.
class HOST_API CAbortProc {
public:
    CAbortProc();
    ~CAbortProc();
    CAbortProc(const CAbortProc&) = delete;
    CAbortProc& operator=(const CAbortProc&) = delete;

    void SetAbort();
    bool IsAborted() const { return m_aborted.load(std::memory_order_acquire); }
    int WakeFd() const { return m_fd; }

private:
    std::atomic<bool> m_aborted{false};
    int m_fd = -1;
};

// Where a port delivers what it has to say. Called on the thread that runs
// the port operation.
class HOST_API IPortListener {
public:
    virtual ~IPortListener();
    // Texts of the port and the printer's messages for the operator.
    virtual void OnPortMessage(const std::wstring& text) = 0;
    // Texts of the printer's status channel.
    virtual void OnStatusMessage(const std::wstring& text) = 0;
    // Bytes of the answer received so far, of the announced count.
    virtual void OnPortProgress(std::uint64_t received, std::uint64_t expected);
};

struct PortTimeouts {
    double connect = 10;  // to connect or open the device
    double io = 10;       // the printer takes or sends no byte for this long
    double answer = 120;  // one whole answer
};

class HOST_API IPort {
public:
    virtual ~IPort();
    virtual void SetNotifyListener(IPortListener* listener) = 0;
    // Non-zero when the port can be read from (status queries).
    virtual int SupportsReadMode() = 0;
    // mode "read" (status queries) or "data" (print-condition queries). Non-zero when open; otherwise error says why (and was
    // posted as a port message, unless the query was aborted).
    virtual int Open(const char* mode, std::wstring& error) = 0;
    virtual void SetPortAbortProc(CAbortProc* abort) = 0;
    // Read mode: asks for the status block and copies up to size bytes of
    // it. Non-zero on success (count may be 0 for an empty answer).
    virtual int Read(BYTE* buffer, std::uint32_t size, std::uint32_t& count) = 0;
    // Data mode: asks for the print-condition block; text receives it as
    // upper-case hex (bRaw false) or as the bytes themselves. Non-zero when
    // the printer answered (the text may be empty).
    virtual int QueryPrinterData(std::string& text, bool bRaw) = 0;
    // Read mode: sends the settings check (host/PortProtocol.h, 13 bytes)
    // and copies the printer's 13-byte answer. Non-zero when the answer
    // came whole; its content is the caller's to judge.
    virtual int ConfirmSettings(const BYTE* request, BYTE* answer) = 0;
    virtual void Close(int& result) = 0;
};

enum class PortKind : std::uint8_t { Ip, Usb, Other };

struct PortAddress {
    PortKind kind = PortKind::Other;
    std::string host;  // Ip
    int port = 9100;   // Ip
    std::string path;  // Usb
    std::wstring type; // Other: the port's type text ("serial", "COM1", ...)
    std::string error; // Other: why the name is no IP or USB port
};

// Reads a port name. False for an empty name (no port).
HOST_API bool ParsePortName(const std::wstring& name, PortAddress& address);

class HOST_API CPortManager {
public:
    explicit CPortManager(const PortTimeouts& timeouts = {}) : m_timeouts(timeouts) {}
    // The port of a name; empty when the name has no port.
    std::shared_ptr<IPort> GetPort(const std::wstring& name) const;
    // The port type text: "MUSB", the printer's IP address, or the type of
    // another port; empty for no port or a host name that does not resolve
    // within the connect timeout (logged at level 4) or before abort is set.
    std::wstring GetPortInfo(const std::wstring& name, const CAbortProc* abort = nullptr) const;
    const PortTimeouts& Timeouts() const { return m_timeouts; }

private:
    PortTimeouts m_timeouts;
};

HOST_API std::unique_ptr<CPortManager> CreatePortManager(const PortTimeouts& timeouts = {});

// The media manager's answer: the name of the printer's port (PrEnv_Port).
HOST_API std::wstring GetPrIdPort(const CPrintEnv& env);

// The status sensor: reads the printer's status block through a port.
class HOST_API IStatusSensor {
public:
    // kind 3 (the status block) only; null for another kind or no port.
    static IStatusSensor* CreateInstance(int kind, const std::shared_ptr<IPort>& port,
                                         const std::wstring& printDataType);
    // The block's size; 0 when the printer gave none. The block is read
    // on the first call.
    virtual int GetStatusSize() = 0;
    // Copies the block into buffer (GetStatusSize bytes). Non-zero when
    // there was one.
    virtual int GetStatus(BYTE* buffer) = 0;
    virtual void Release() = 0;

protected:
    virtual ~IStatusSensor();
};
