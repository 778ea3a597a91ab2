#include "printcond/RetrieveQI.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <thread>

#include "host/FileIO.h"
#include "host/Log.h"
#include "host/NetAddress.h"
#include "host/PortProtocol.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"

namespace {

struct MessageText {
    int id;
    const wchar_t* text;
};

constexpr MessageText kMessages[] = {
    {kMsgPortNotConfigured, L"Printer port is not configured"},
    {kMsgInvalidPortType, L"This operation is not valid for current port type"},
    {kMsgPortOpenFailed, L"Failed port opening"},
    {kMsgPrintModesRetrieved, L"Print modes list successfully retrieved from printer\nClose and open again the print "
                              L"environment to activate the new print modes list"},
    {kMsgPrintModesFailed, L"Failed to retrieve print mode list"},
    {kMsgDotVolumesFailed, L"Failed to retrieve dot volumes"},
    {kMsgDotVolumesRetrieved, L"Dot volumes list successfully retrieved from printer"},
    {kMsgPrintModesUnparsable, L"Error parsing print mode data"},
};

bool EqualsNoCase(const std::wstring& a, const wchar_t* b)
{
    std::size_t i = 0;
    for (; b[i]; ++i)
        if (i >= a.size() || std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return i == a.size();
}

std::string Narrow(const std::wstring& text)
{
    return WideToAnsi(text);
}

std::wstring Slashless(std::wstring text)
{
    for (wchar_t& c : text)
        if (c == L'/')
            c = L'_';
    return text;
}

void PutLe16(BYTE* p, unsigned value)
{
    p[0] = static_cast<BYTE>(value);
    p[1] = static_cast<BYTE>(value >> 8);
}

// Out of memory and the like end the attempt as a failure: nothing leaves
// the retrieval as an exception.
template <typename F>
bool NoThrow(RetrieveResult& result, F&& f)
{
    try {
        return f();
    } catch (...) {
        result.success = false;
        return false;
    }
}

} // namespace

const wchar_t* RetrieveMessageText(int id)
{
    for (const MessageText& m : kMessages)
        if (m.id == id)
            return m.text;
    return nullptr;
}

void ConvertDotVolumes(const BYTE* block, std::size_t groups, DotVolumeTable& table)
{
    using namespace portproto;
    table.fill(0xFF);
    for (std::size_t entry = 0; entry < groups * kSlots; ++entry) {
        const bool present = block[kPresenceOffset + entry % kSlots] != 0;
        for (std::size_t v = 0; v < kValuesPerSlot; ++v) {
            const std::size_t at = (entry * kValuesPerSlot + v) * 2;
            const unsigned value = unsigned(block[kDotVolumeOffset + at]) << 8 | block[kDotVolumeOffset + at + 1];
            PutLe16(table.data() + at, present && value >= 1 && value <= 1000 ? value : 0xFFFF);
        }
    }
}

bool ReadCommandManualVersion(const BYTE* block, std::size_t size, double& version, int& flag)
{
    using namespace portproto;
    if (size < kVersionOffset)
        return false;
    // The block ends at size; bytes past it read as zero, as in the
    // zeroed buffer the printer's answer lands in.
    char text[kVersionWidth + 1] = {};
    for (std::size_t i = 0; i < kVersionWidth && kVersionOffset + i < size; ++i)
        text[i] = static_cast<char>(block[kVersionOffset + i]);
    version = std::strtod(text, nullptr);
    flag = text[0] >= '2' && text[0] <= '9';
    return true;
}

// Where the port posts its texts: kept until the calling thread takes them,
// as window messages wait for the dialog's thread.
class CRetrieveQI::Mailbox : public IPortListener {
public:
    void OnPortMessage(const std::wstring& text) override { Post(false, text); }
    void OnStatusMessage(const std::wstring& text) override { Post(true, text); }
    void OnPortProgress(std::uint64_t received, std::uint64_t expected) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received = received;
        m_expected = expected;
        m_progress = true;
    }
    struct Mail {
        bool status;
        std::wstring text;
    };
    // Takes what was posted; answers whether progress changed.
    bool Take(std::vector<Mail>& mail, std::uint64_t& received, std::uint64_t& expected)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        mail.swap(m_mail);
        m_mail.clear();
        received = m_received;
        expected = m_expected;
        const bool changed = m_progress;
        m_progress = false;
        return changed;
    }

private:
    void Post(bool status, const std::wstring& text)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mail.push_back({status, text});
    }
    std::mutex m_mutex;
    std::vector<Mail> m_mail;
    std::uint64_t m_received = 0, m_expected = 0;
    bool m_progress = false;
};

void CRetrieveQI::Show(IRetrieveListener& listener, int id, const std::wstring& text)
{
    m_result.messages.emplace_back(id, text);
    listener.OnMessage(id, text);
}

void CRetrieveQI::FailureReport(IRetrieveListener& listener)
{
    if (m_errorShown)
        return;
    const std::wstring port =
        m_portMessage.empty() ? L"" : m_statusMessage.empty() ? m_portMessage : m_statusMessage + L": " + m_portMessage;
    if (m_mode == kConfirmSettings) {
        m_result.portReport = port;
    } else {
        const int id = m_mode == kRetrievePrintModes ? kMsgPrintModesFailed : kMsgDotVolumesFailed;
        Show(listener, id, RetrieveMessageText(id) + (port.empty() ? L"" : L"\r\n" + port));
    }
    m_portMessage.clear();
    m_statusMessage.clear();
    m_errorShown = true;
}

// One query: its abort object and mailbox, given to the port for its
// duration; the port is closed and let go under the lock.
struct CRetrieveQI::Query {
    Query(CRetrieveQI& owner, std::shared_ptr<IPort> p) : self(owner), port(std::move(p))
    {
        port->SetNotifyListener(&mailbox);
        port->SetPortAbortProc(&abort);
        std::lock_guard<std::mutex> lock(self.m_lock);
        self.m_abort = &abort;
        // Pressed between two steps of the attempt.
        if (self.m_abortRequested)
            abort.SetAbort();
    }
    ~Query()
    {
        std::lock_guard<std::mutex> lock(self.m_lock);
        int closed = 0;
        port->Close(closed);
        port->SetPortAbortProc(nullptr);
        port->SetNotifyListener(nullptr);
        self.m_abort = nullptr;
        self.m_result.aborted = abort.IsAborted();
    }
    CRetrieveQI& self;
    std::shared_ptr<IPort> port;
    CAbortProc abort;
    Mailbox mailbox;
};

bool CRetrieveQI::RunWorker(Query& query, IRetrieveListener& listener, const std::function<void()>& work)
{
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    // The texts reach the listener and the log on this thread only.
    auto deliver = [&]() {
        std::vector<Mailbox::Mail> mail;
        std::uint64_t received = 0, expected = 0;
        const bool progress = query.mailbox.Take(mail, received, expected);
        for (const Mailbox::Mail& m : mail) {
            if (m.text.empty())
                continue;
            CVoLog log;
            log->ReportStatusPF(m.status ? "!!!%s#%d: Status message received from MUSB port: \"%s\"\n"
                                         : "!!!%s#%d: Message received from Mimaki port: \"%s\"\n",
                                6, __FILE__, __LINE__,
                                m.status ? "CRetrieveQIDlg::OnStatusNotifyPort" : "CRetrieveQIDlg::OnNotifyPort",
                                __LINE__, Narrow(m.text).c_str());
            std::wstring& joined = m.status ? m_statusMessage : m_portMessage;
            if (!joined.empty())
                joined += L"\n";
            joined += m.text;
            if (m.status)
                listener.OnStatusMessage(m.text);
            else
                listener.OnPortMessage(m.text);
        }
        if (progress)
            listener.OnProgress(received, expected);
    };

    std::thread worker;
    try {
        worker = std::thread([&]() {
            try {
                work();
            } catch (const std::exception& e) {
                // Nothing leaves the worker: the query ends with the reason.
                query.mailbox.OnPortMessage(L"the query failed: " + Utf8ToWide(e.what()));
            }
            std::lock_guard<std::mutex> lock(doneMutex);
            done = true;
            doneSignal.notify_all();
        });
    } catch (const std::exception& e) {
        query.mailbox.OnPortMessage(L"cannot start the query: " + Utf8ToWide(e.what()));
        done = true;
    }
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(doneMutex);
            if (doneSignal.wait_for(lock, std::chrono::milliseconds(100), [&] { return done; }))
                break;
        }
        try {
            deliver();
            listener.OnPoll();
        } catch (...) {
            // The worker must still be joined: the query is aborted instead.
            query.abort.SetAbort();
        }
    }
    if (worker.joinable())
        worker.join();
    try {
        deliver();
    } catch (...) {
        query.abort.SetAbort();
    }
    return !query.abort.IsAborted();
}

std::shared_ptr<IPort> CRetrieveQI::FindPort(CPrintEnv& env, const RetrieveOptions& options,
                                              IRetrieveListener& listener)
{
    m_result = RetrieveResult{};
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_abortRequested = false;
    }
    m_errorShown = false;
    m_portMessage.clear();
    m_statusMessage.clear();
    const std::wstring name = options.portName.empty() ? GetPrIdPort(env) : options.portName;
    m_result.portName = name;
    const std::unique_ptr<CPortManager> manager = CreatePortManager(options.timeouts);
    std::shared_ptr<IPort> port = manager ? manager->GetPort(name) : nullptr;
    if (!port) {
        Show(listener, kMsgPortNotConfigured, RetrieveMessageText(kMsgPortNotConfigured));
        return nullptr;
    }
    // A host name is looked up here: on the worker, so that an abort ends
    // a lookup that hangs.
    {
        Query query(*this, port);
        const bool finished =
            RunWorker(query, listener, [&] { m_result.portType = manager->GetPortInfo(name, &query.abort); });
        if (!finished)
            return nullptr;
    }
    if (m_result.portType.empty() ||
        !(EqualsNoCase(m_result.portType, L"MUSB") || isValidIpAddress(m_result.portType))) {
        Show(listener, kMsgInvalidPortType, RetrieveMessageText(kMsgInvalidPortType));
        return nullptr;
    }
    return port;
}

void CRetrieveQI::Abort()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_abortRequested = true;
    if (m_abort)
        m_abort->SetAbort();
}

bool CRetrieveQI::LaunchQueryThread(CPrintEnv& env, const std::shared_ptr<IPort>& port, IRetrieveListener& listener,
                                    const RetrieveOptions& options)
{
    const char* modeText = m_mode == kRetrievePrintModes ? "data" : "read";
    {
        CVoLog log;
        log->ReportStatusPF("%s#%d: Trying to open Mimaki port in %s mode", 8, __FILE__, __LINE__,
                            "CRetrieveQIDlg::LaunchQueryThread", __LINE__, modeText);
    }
    if (m_mode != kRetrievePrintModes && !port->SupportsReadMode()) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: Read mode not supported for this port!", 4, __FILE__, __LINE__,
                            "CRetrieveQIDlg::LaunchQueryThread", __LINE__);
        return false;
    }
    const std::wstring inksets =
        options.inksetList.empty() ? env.GetString(L"AllowedInksetList", L"") : options.inksetList;
    const std::wstring licName = Slashless(env.GetString(L"pdLicName", L""));

    // The port is opened on a worker too: a printer that does not answer
    // the connection must not freeze the calling thread.
    bool opened = false, success = false;
    std::string text;
    std::vector<BYTE> block(portproto::kStatusReadLimit, 0);
    std::uint32_t count = 0;
    {
        Query query(*this, port);
        std::wstring error;
        if (!RunWorker(query, listener, [&] { opened = port->Open(modeText, error) != 0; }))
            return false;
        if (opened && m_mode != kConfirmSettings) {
            CVoLog log;
            log->ReportStatusPF("%s#%d: Trying to retrieve %s (pdLicName=%s; inksetList=%s)", 8, __FILE__, __LINE__,
                                "CRetrieveQIDlg::LaunchQueryThread", __LINE__,
                                m_mode == kRetrievePrintModes ? "printer specific data" : "dot volumes",
                                Narrow(licName).c_str(), Narrow(inksets).c_str());
        }
        if (opened && !RunWorker(query, listener, [&] {
                if (m_mode == kRetrievePrintModes)
                    success = port->QueryPrinterData(text, false) && !text.empty();
                else if (m_mode == kConfirmSettings)
                    success = port->ConfirmSettings(m_request.data(), m_result.confirmAnswer.data()) != 0;
                else
                    success = port->Read(block.data(), static_cast<std::uint32_t>(block.size()), count) && count > 0;
            }))
            return false;
    }
    if (!opened) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: Mimaki port open error (mesg=\"%s\")", 4, __FILE__, __LINE__,
                            "CRetrieveQIDlg::LaunchQueryThread", __LINE__, Narrow(m_portMessage).c_str());
        if (m_portMessage.empty())
            Show(listener, kMsgPortOpenFailed, RetrieveMessageText(kMsgPortOpenFailed));
        return false;
    }
    if (!success)
        return false;
    if (m_mode == kConfirmSettings)
        return true;
    if (m_mode == kRetrievePrintModes) {
        m_result.printModeText = std::move(text);
        if (!CAnalyzeQI::Analyze(AnsiToWide(m_result.printModeText), m_result.inksetNames, m_result.conditions)) {
            Show(listener, kMsgPrintModesUnparsable, RetrieveMessageText(kMsgPrintModesUnparsable));
            return false;
        }
        return !m_result.conditions.m_Conditions.empty();
    }
    ConvertDotVolumes(block.data(), portproto::kDotVolumeGroups, m_result.dotVolumes);
    m_result.versionRead =
        ReadCommandManualVersion(block.data(), count, m_result.commandManualVersion, m_result.versionFlag);
    return true;
}

bool CRetrieveQI::Retrieve(CPrintEnv& env, IRetrieveListener& listener, const RetrieveOptions& options)
{
    return NoThrow(m_result, [&] {
        const std::shared_ptr<IPort> port = FindPort(env, options, listener);
        if (!port)
            return false;
        m_result.success = LaunchQueryThread(env, port, listener, options);
        if (m_result.success) {
            if (m_mode == kRetrievePrintModes) {
                env.DeleteEntry(PrEnv_InkSet);
                env.PutInt(L"NewQIDataHasBeenRetrieved", 1);
            }
            // The settings check's answer is its caller's to judge.
            const int id = m_mode == kRetrievePrintModes ? kMsgPrintModesRetrieved : kMsgDotVolumesRetrieved;
            if (m_mode != kConfirmSettings)
                Show(listener, id, RetrieveMessageText(id));
        } else if (!m_result.aborted || !m_portMessage.empty()) {
            // An abort is reported only when the port had something to say.
            FailureReport(listener);
        }
        return m_result.success;
    });
}

bool CRetrieveQI::Confirm(CPrintEnv& env, const BYTE* request, IRetrieveListener& listener,
                          const RetrieveOptions& options)
{
    std::copy(request, request + m_request.size(), m_request.begin());
    return Retrieve(env, listener, options);
}

bool CRetrieveQI::ReadStatusDirect(CPrintEnv& env, IRetrieveListener& listener, const RetrieveOptions& options)
{
    return NoThrow(m_result, [&] {
        const std::shared_ptr<IPort> port = FindPort(env, options, listener);
        if (!port)
            return false;
        std::vector<BYTE> block;
        const std::wstring dataType = env.GetString(PrEnv_PrintDataType);
        bool finished;
        {
            Query query(*this, port);
            finished = RunWorker(query, listener, [&] {
                IStatusSensor* sensor = IStatusSensor::CreateInstance(3, port, dataType);
                if (!sensor)
                    return;
                const int size = sensor->GetStatusSize();
                block.assign(static_cast<std::size_t>(size), 0);
                if (size > 0 && !sensor->GetStatus(block.data()))
                    block.clear();
                sensor->Release();
            });
        }
        if (!finished) {
            if (!m_portMessage.empty())
                FailureReport(listener);
            return false;
        }
        if (!block.empty()) {
            m_result.versionRead =
                ReadCommandManualVersion(block.data(), block.size(), m_result.commandManualVersion, m_result.versionFlag);
            // The block's four groups at 290, 350, 410 and 470 become the first
            // four of the table; a block cut short reads zeros past its end.
            block.resize(std::max<std::size_t>(block.size(), portproto::kDotVolumeOffset + portproto::kDotVolumeBytes), 0);
            ConvertDotVolumes(block.data(), 4, m_result.dotVolumes);
        } else {
            const std::vector<std::wstring> volumes = Split(env.GetString(PrEnv_InkVolume), L',');
            if (volumes.empty()) {
                FailureReport(listener);
                return false;
            }
            m_result.fromInkVolume = true;
            m_result.dotVolumes.fill(0xFF);
            for (std::size_t i = 0; i < volumes.size() && i < m_result.dotVolumes.size() / 2; ++i) {
                const double tenths = DoubleFromString(volumes[i]) * 10;
                PutLe16(m_result.dotVolumes.data() + 2 * i,
                        tenths >= 0 && tenths < 65535 ? static_cast<unsigned>(tenths + 0.5) : 0xFFFF);
            }
        }
        m_result.success = true;
        Show(listener, kMsgDotVolumesRetrieved, RetrieveMessageText(kMsgDotVolumesRetrieved));
        return true;
    });
}

bool WritePrintConditionDiagnostic(const CPrintEnv& env, const std::string& text,
                                   const MimakiPrintConditions& conditions, const std::wstring& inksetList)
{
    if (CVoLogReporter::LoggingLevel() < 8)
        return true;
    const std::wstring tableName = Slashless(env.GetString(L"pdLicName", L"")) + L"_" + inksetList;
    std::string fileName = "print_condition_" + WideToUtf8(tableName);
    for (char& c : fileName)
        if (c == '/' || c == '\\' || c == ',')
            c = '_';

    // One print method per condition, named by its print-mode set and
    // display name, as the pages offer them.
    std::string names, methods;
    char line[256];
    for (const MimakiPrintCondition& c : conditions.m_Conditions) {
        const std::string name = WideToUtf8(c.printModeSetName + L" " + c.printMethodDisplayName);
        names += (names.empty() ? "" : ",") + name;
        methods += "\nPrintMethod=" + name + "\n";
        std::snprintf(line, sizeof line, "$Parms$%s=%d,%d,1,1,%d,%d,%d,%d\n", name.c_str(), c.yDpi, c.xDpi,
                      c.dotBit == 2 ? 3 : 1, c.printModeSetNumber, c.waveForm, c.enableHQ);
        methods += line;
        std::snprintf(line, sizeof line, "WF%d\n", c.waveForm);
        methods += line;
        for (const MimakiBandDivision& b : c.bandDivisions) {
            std::snprintf(line, sizeof line, "\t\tPasses: %2d%s\nBand Adjust=%d\n", b.pass,
                          b.highSpeed ? " (HighSpeed Plot)" : "", b.bandAdjust);
            methods += line;
        }
        methods += "\t\tInk layers: ";
        for (const BYTE n : c.overpaintNums)
            methods += std::to_string(n) + " ";
        methods += "\n";
    }
    const std::string content = "PrintMethodList=" + names + "\n" + methods + "/*PrintModeData" +
                                WideToUtf8(tableName) + "=*/ \"" + text + "\",\n";
    const std::string path = (std::filesystem::path(CVoLogReporter::LogFolder()) / (fileName + ".txt")).string();
    std::string error;
    if (!WriteFileAtomically(path, content, error)) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: %s", 4, __FILE__, __LINE__, "WritePrintConditionDiagnostic", __LINE__,
                            error.c_str());
        return false;
    }
    return true;
}
