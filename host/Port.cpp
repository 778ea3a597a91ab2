#include "Port.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Log.h"
#include "NetAddress.h"
#include "PortProtocol.h"
#include "PrintEnv.h"
#include "StrUtil.h"

CAbortProc::CAbortProc() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CAbortProc::~CAbortProc()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void CAbortProc::SetAbort()
{
    m_aborted.store(true, std::memory_order_release);
    if (m_fd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
    }
}

IPortListener::~IPortListener() = default;
void IPortListener::OnPortProgress(std::uint64_t, std::uint64_t) {}
IPort::~IPort() = default;
IStatusSensor::~IStatusSensor() = default;

namespace {

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return s;
}

std::string SecondsText(double s)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", s);
    return buf;
}

std::string HexBytes(const BYTE* data, std::size_t n)
{
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%s%02X", i ? " " : "", data[i]);
        out += buf;
    }
    return out;
}

// A raw TCP connection or a USB printer device: both are a descriptor the
// query frames go through; only opening differs.
class CPrinterPort final : public IPort {
public:
    CPrinterPort(PortAddress address, const PortTimeouts& timeouts)
        : m_address(std::move(address)), m_timeouts(timeouts)
    {
    }
    ~CPrinterPort() override
    {
        int result = 0;
        Close(result);
    }

    void SetNotifyListener(IPortListener* listener) override { m_listener = listener; }
    int SupportsReadMode() override { return m_address.kind != PortKind::Other; }
    void SetPortAbortProc(CAbortProc* abort) override { m_abort = abort; }

    int Open(const char* mode, std::wstring& error) override;
    int Read(BYTE* buffer, std::uint32_t size, std::uint32_t& count) override;
    int QueryPrinterData(std::string& text, bool bRaw) override;
    int ConfirmSettings(const BYTE* request, BYTE* answer) override;
    void Close(int& result) override
    {
        result = m_fd >= 0;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_mode.clear();
    }

private:
    // What went wrong, for the listener; nothing when the query was aborted
    // (an abort is no error of the port).
    bool Fail(const std::string& text)
    {
        if (!Aborted() && m_listener)
            m_listener->OnPortMessage(Utf8ToWide(text));
        return false;
    }
    bool Aborted() const { return m_abort && m_abort->IsAborted(); }
    int AbortFd() const { return m_abort ? m_abort->WakeFd() : -1; }
    std::string Name() const
    {
        return m_address.kind == PortKind::Ip ? SocketUri(m_address.host, m_address.port) : m_address.path;
    }
    bool Require(const char* mode, const char* what)
    {
        if (m_fd < 0)
            return Fail(Name() + ": the port is not open");
        if (m_mode != mode)
            return Fail(Name() + ": " + what + " needs the port opened in \"" + mode + "\" mode, not \"" + m_mode +
                        "\"");
        return true;
    }
    // Waits until the descriptor is ready for events, at most until
    // deadline. 1 ready, 0 timed out, -1 aborted.
    int WaitFor(short events, double deadline);
    bool SendAll(const BYTE* data, std::size_t length);
    // Reads exactly n bytes; progress counts them against expected.
    bool ReceiveExact(BYTE* out, std::size_t n, const char* what, std::uint64_t expected, double answerDeadline);
    // Sends a request and reads frames up to the answer of its kind (byte
    // 2); keeps at most keep bytes of it (the rest is skipped before the
    // next frame).
    bool Ask(const BYTE* request, std::size_t size, std::size_t keep, std::vector<BYTE>& payload);
    bool Ask(std::uint8_t kind, std::size_t keep, std::vector<BYTE>& payload)
    {
        const BYTE request[portproto::kRequestSize] = {portproto::kEsc, portproto::kQuery, kind};
        return Ask(request, sizeof request, keep, payload);
    }
    bool Skip(double answerDeadline);

    PortAddress m_address;
    PortTimeouts m_timeouts;
    IPortListener* m_listener = nullptr;
    CAbortProc* m_abort = nullptr;
    int m_fd = -1;
    bool m_isSocket = false;
    std::string m_mode;
    std::uint64_t m_skip = 0;  // bytes of an answer not kept
};

int CPrinterPort::Open(const char* mode, std::wstring& error)
{
    const std::string m = mode ? mode : "";
    std::string text;
    if (m != "read" && m != "data") {
        text = Name() + ": unknown port mode \"" + m + "\" (\"read\" or \"data\")";
    } else if (m_fd >= 0) {
        text = Name() + ": the port is already open";
    } else if (m_address.kind == PortKind::Ip) {
        bool stopped = false;
        m_fd = ConnectTcp(m_address.host, m_address.port, m_timeouts.connect, AbortFd(), text, &stopped);
        m_isSocket = true;
        if (m_fd < 0)
            text = "cannot connect to the printer: " + text;
    } else if (m_address.kind == PortKind::Usb) {
        m_fd = ::open(m_address.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        m_isSocket = false;
        if (m_fd < 0) {
            text = "cannot open the printer's USB port " + m_address.path + ": " + std::strerror(errno);
        } else {
            struct stat st{};
            if (::fstat(m_fd, &st) == 0 && !S_ISCHR(st.st_mode) && !S_ISSOCK(st.st_mode)) {
                text = m_address.path + " is no device";
                ::close(m_fd);
                m_fd = -1;
            }
        }
    } else {
        text = WideToUtf8(m_address.type) + " ports cannot be opened for queries";
    }
    if (m_fd >= 0 && text.empty()) {
        m_mode = m;
        m_skip = 0;
        error.clear();
        return 1;
    }
    if (Aborted())
        text.clear();
    error = Utf8ToWide(text);
    if (!text.empty())
        Fail(text);
    return 0;
}

int CPrinterPort::WaitFor(short events, double deadline)
{
    for (;;) {
        if (Aborted())
            return -1;
        const double left = deadline - MonotonicSeconds();
        if (left <= 0)
            return 0;
        // The abort descriptor wakes the wait; the slice only guards
        // against an abort object without one.
        pollfd p[2] = {{m_fd, events, 0}, {AbortFd(), POLLIN, 0}};
        const int r = ::poll(p, AbortFd() >= 0 ? 2 : 1, static_cast<int>(std::ceil(std::min(left, 0.1) * 1000)));
        if (r > 0 && p[0].revents)
            return 1;
    }
}

bool CPrinterPort::SendAll(const BYTE* data, std::size_t length)
{
    const std::size_t total = length;
    double idleDeadline = MonotonicSeconds() + m_timeouts.io;
    while (length) {
        const ssize_t n = m_isSocket ? ::send(m_fd, data, length, MSG_NOSIGNAL | MSG_DONTWAIT)
                                     : ::write(m_fd, data, length);
        if (n > 0) {
            data += n;
            length -= static_cast<std::size_t>(n);
            idleDeadline = MonotonicSeconds() + m_timeouts.io;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int w = WaitFor(POLLOUT, idleDeadline);
            if (w < 0)
                return false;
            if (w == 0)
                return Fail(Name() + ": the printer took no data for " + SecondsText(m_timeouts.io) + " s (" +
                            std::to_string(total - length) + " of " + std::to_string(total) + " bytes sent)");
            continue;
        }
        const int err = n == 0 ? EIO : errno;
        if (err == EPIPE || err == ECONNRESET || err == EIO)
            return Fail(Name() + ": the printer closed the connection (" + std::strerror(err) + ")");
        return Fail(Name() + ": " + std::strerror(err));
    }
    return true;
}

bool CPrinterPort::ReceiveExact(BYTE* out, std::size_t n, const char* what, std::uint64_t expected,
                                double answerDeadline)
{
    std::size_t got = 0;
    double idleDeadline = MonotonicSeconds() + m_timeouts.io;
    while (got < n) {
        const ssize_t r = ::read(m_fd, out + got, n - got);
        if (r > 0) {
            got += static_cast<std::size_t>(r);
            idleDeadline = MonotonicSeconds() + m_timeouts.io;
            if (m_listener && expected)
                m_listener->OnPortProgress(got, expected);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const bool whole = answerDeadline <= idleDeadline;
            const int w = WaitFor(POLLIN, std::min(idleDeadline, answerDeadline));
            if (w < 0)
                return false;
            if (w == 0) {
                if (whole)
                    return Fail(Name() + ": the printer's answer took longer than " +
                                SecondsText(m_timeouts.answer) + " s");
                return Fail(Name() + ": no answer from the printer within " + SecondsText(m_timeouts.io) + " s" +
                            (got ? " (" + std::to_string(got) + " of " + std::to_string(n) + " bytes of " + what +
                                       " received)"
                                 : ""));
            }
            continue;
        }
        // A device whose other side went away reads EIO.
        const int err = r == 0 ? 0 : errno;
        if (err == ECONNRESET)
            return Fail(Name() + ": the printer reset the connection (" + std::strerror(err) + ")");
        if (err == 0 || err == EIO)
            return Fail(Name() + ": the printer closed the connection " +
                        (got ? "after " + std::to_string(got) + " of " + std::to_string(n) + " bytes of " + what
                             : std::string("before it sent ") + what));
        return Fail(Name() + ": " + std::strerror(err));
    }
    return true;
}

bool CPrinterPort::Skip(double answerDeadline)
{
    BYTE buf[4096];
    while (m_skip) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(m_skip, sizeof buf));
        if (!ReceiveExact(buf, n, "the rest of the last answer", 0, answerDeadline))
            return false;
        m_skip -= n;
    }
    return true;
}

bool CPrinterPort::Ask(const BYTE* request, std::size_t size, std::size_t keep, std::vector<BYTE>& payload)
{
    using namespace portproto;
    const std::uint8_t kind = request[2];
    const double answerDeadline = MonotonicSeconds() + m_timeouts.answer;
    if (!Skip(answerDeadline))
        return false;
    if (!SendAll(request, size))
        return false;
    for (;;) {
        BYTE header[kFrameHeaderSize];
        if (!ReceiveExact(header, sizeof header, "an answer", 0, answerDeadline))
            return false;
        if (header[0] != kEsc || header[1] != kQuery)
            return Fail(Name() + ": the printer's answer is no answer to the query (it begins " +
                        HexBytes(header, sizeof header) + ")");
        const std::uint32_t length = FrameLength(header);
        const std::uint8_t got = header[2];
        if (got == kMessage || got == kStatusText || got == kRefusal) {
            if (length > kTextLimit)
                return Fail(Name() + ": the printer announced a text of " + std::to_string(length) +
                            " bytes (at most " + std::to_string(kTextLimit) + " are accepted)");
            std::string text(length, '\0');
            if (!ReceiveExact(reinterpret_cast<BYTE*>(text.data()), length, "a text", 0, answerDeadline))
                return false;
            if (got == kRefusal)
                return Fail(Name() + ": the printer cannot answer: " + text);
            if (m_listener && !text.empty()) {
                if (got == kMessage)
                    m_listener->OnPortMessage(Utf8ToWide(text));
                else
                    m_listener->OnStatusMessage(Utf8ToWide(text));
            }
            continue;
        }
        if (got != kind)
            return Fail(Name() + ": the printer answered with a frame of kind '" + std::string(1, char(got)) +
                        "' to a query of kind '" + std::string(1, char(kind)) + "'");
        if (kind == kPrintConditions && length > kBlockLimit)
            return Fail(Name() + ": the printer announced " + std::to_string(length) +
                        " bytes of print-condition data (at most " + std::to_string(kBlockLimit) + " are accepted)");
        const std::size_t kept = std::min<std::size_t>(length, keep);
        payload.assign(kept, 0);
        if (m_listener)
            m_listener->OnPortProgress(0, kept);
        if (!ReceiveExact(payload.data(), kept, "the answer", kept, answerDeadline))
            return false;
        m_skip = length - kept;
        return true;
    }
}

int CPrinterPort::Read(BYTE* buffer, std::uint32_t size, std::uint32_t& count)
{
    count = 0;
    if (!Require("read", "a status query"))
        return 0;
    std::vector<BYTE> block;
    if (!Ask(portproto::kStatus, std::min<std::size_t>(size, portproto::kStatusReadLimit), block))
        return 0;
    std::copy(block.begin(), block.end(), buffer);
    count = static_cast<std::uint32_t>(block.size());
    return 1;
}

int CPrinterPort::QueryPrinterData(std::string& text, bool bRaw)
{
    text.clear();
    if (!Require("data", "a print-condition query"))
        return 0;
    std::vector<BYTE> block;
    if (!Ask(portproto::kPrintConditions, portproto::kBlockLimit, block))
        return 0;
    if (bRaw) {
        text.assign(block.begin(), block.end());
    } else {
        static const char digits[] = "0123456789ABCDEF";
        text.resize(block.size() * 2);
        for (std::size_t i = 0; i < block.size(); ++i) {
            text[2 * i] = digits[block[i] >> 4];
            text[2 * i + 1] = digits[block[i] & 15];
        }
    }
    return 1;
}

int CPrinterPort::ConfirmSettings(const BYTE* request, BYTE* answer)
{
    using namespace portproto;
    if (!Require("read", "the settings check"))
        return 0;
    if (request[0] != kEsc || request[1] != kQuery || request[2] != kConfirm)
        return Fail(Name() + ": the settings check begins " + HexBytes(request, 3) + ", not 1B 3F 43");
    std::vector<BYTE> payload;
    if (!Ask(request, kConfirmSize, kConfirmSize + 1, payload))
        return 0;
    if (payload.size() != kConfirmSize)
        return Fail(Name() + ": the printer's answer to the settings check has " +
                    std::to_string(payload.size() + m_skip) + " bytes, not " + std::to_string(kConfirmSize));
    std::copy(payload.begin(), payload.end(), answer);
    return 1;
}

// Reads the status block through the port on the first question.
class CStatusSensorImp final : public IStatusSensor {
public:
    explicit CStatusSensorImp(std::shared_ptr<IPort> port) : m_port(std::move(port)) {}
    int GetStatusSize() override
    {
        if (!m_read) {
            m_read = true;
            std::wstring error;
            if (m_port->Open("read", error)) {
                BYTE buffer[portproto::kStatusReadLimit] = {};
                std::uint32_t count = 0;
                if (m_port->Read(buffer, sizeof buffer, count))
                    m_block.assign(buffer, buffer + count);
                int result = 0;
                m_port->Close(result);
            }
        }
        return static_cast<int>(m_block.size());
    }
    int GetStatus(BYTE* buffer) override
    {
        if (GetStatusSize() == 0)
            return 0;
        std::copy(m_block.begin(), m_block.end(), buffer);
        return 1;
    }
    void Release() override { delete this; }

private:
    std::shared_ptr<IPort> m_port;
    bool m_read = false;
    std::vector<BYTE> m_block;
};

} // namespace

bool ParsePortName(const std::wstring& wideName, PortAddress& address)
{
    std::string name = WideToUtf8(wideName);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
        name.pop_back();
    name.erase(0, std::min(name.find_first_not_of(" \t"), name.size()));
    address = PortAddress{};
    if (name.empty())
        return false;
    const std::size_t scheme = name.find("://");
    const std::string lower = Lower(name);
    if (scheme != std::string::npos) {
        const std::string kind = lower.substr(0, scheme);
        const std::string rest = name.substr(scheme + 3);
        if (kind == "socket") {
            address.kind = PortKind::Ip;
            if (SplitHostPort(rest, 9100, address.host, address.port, address.error))
                return true;
        } else if (kind == "usb" && !rest.empty() && rest[0] == '/') {
            address.kind = PortKind::Usb;
            address.path = rest;
            return true;
        } else {
            address.error = "\"" + kind + "\" ports are neither IP nor USB printer ports";
        }
        address.kind = PortKind::Other;
        address.type = Utf8ToWide(kind);
        return true;
    }
    if (lower.rfind("/dev/usb/", 0) == 0) {
        address.kind = PortKind::Usb;
        address.path = name;
        return true;
    }
    // Windows-style names of serial, parallel and file ports.
    const bool windowsPort = (lower.rfind("com", 0) == 0 || lower.rfind("lpt", 0) == 0) && lower.size() > 3 &&
                             lower.find_first_not_of("0123456789:", 3) == std::string::npos;
    if (!windowsPort && lower != "file:" && lower != "nul:" && name[0] != '/' &&
        SplitHostPort(name, 9100, address.host, address.port, address.error)) {
        address.kind = PortKind::Ip;
        return true;
    }
    address.kind = PortKind::Other;
    address.type = Utf8ToWide(windowsPort ? name.substr(0, name.find(':')) : name);
    if (address.error.empty() || windowsPort)
        address.error = "\"" + name + "\" is neither an IP nor a USB printer port";
    return true;
}

std::shared_ptr<IPort> CPortManager::GetPort(const std::wstring& name) const
{
    PortAddress address;
    if (!ParsePortName(name, address))
        return nullptr;
    return std::make_shared<CPrinterPort>(std::move(address), m_timeouts);
}

std::wstring CPortManager::GetPortInfo(const std::wstring& name, const CAbortProc* abort) const
{
    PortAddress address;
    if (!ParsePortName(name, address))
        return {};
    if (address.kind == PortKind::Usb)
        return L"MUSB";
    std::string error = address.error;
    bool stopped = false;
    const std::string ip = address.kind == PortKind::Ip
                               ? ResolveHost(address.host, error, m_timeouts.connect, abort ? abort->WakeFd() : -1,
                                             &stopped)
                               : std::string();
    if (ip.empty() && !stopped) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: %s", 4, __FILE__, __LINE__, "CPortManager::GetPortInfo", __LINE__,
                            error.c_str());
    }
    return address.kind == PortKind::Ip ? Utf8ToWide(ip) : address.type;
}

std::unique_ptr<CPortManager> CreatePortManager(const PortTimeouts& timeouts)
{
    return std::make_unique<CPortManager>(timeouts);
}

std::wstring GetPrIdPort(const CPrintEnv& env)
{
    return env.GetString(PrEnv_Port);
}

IStatusSensor* IStatusSensor::CreateInstance(int kind, const std::shared_ptr<IPort>& port, const std::wstring&)
{
    if (kind != 3 || !port)
        return nullptr;
    return new CStatusSensorImp(port);
}
