// Reading a printer's print-condition block or its dot volumes and
// command-manual version through the host's ports: the retrieval dialog's
// work without its window. The query runs on a worker thread; the calling
// thread (a user-interface thread) polls it every 100 ms and gets every
// callback of the listener, so it can keep its window alive and offer an
// Abort that any thread may press.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/Port.h"
#include "printcond/AnalyzeQI.h"

class CPrintEnv;

// The operator messages of the retrieval, by string-table identifier.
enum RetrieveMessage : int {
    kMsgPortNotConfigured = 22064,
    kMsgInvalidPortType = 22065,
    kMsgPortOpenFailed = 22066,
    kMsgPrintModesRetrieved = 22068,
    kMsgPrintModesFailed = 22109,
    kMsgDotVolumesFailed = 22110,
    kMsgDotVolumesRetrieved = 22111,
    kMsgPrintModesUnparsable = 22127,
};
// The English text of a message, or null for an identifier not listed.
const wchar_t* RetrieveMessageText(int id);

enum RetrieveMode : int {
    kRetrieveDotVolumes = 0,  // the status block, port opened in "read" mode
    kRetrievePrintModes = 1,  // the print-condition block, "data" mode
    kConfirmSettings = 2,     // the settings check of a page closed with OK, "read" mode
};

// Every call comes on the thread that called Retrieve or ReadStatusDirect.
class IRetrieveListener {
public:
    virtual ~IRetrieveListener() = default;
    // A message box of the dialog: its identifier and the text shown (the
    // failure report carries the port's messages after its own text).
    virtual void OnMessage(int id, const std::wstring& text) = 0;
    // Texts of the port and of its status channel, as they arrive.
    virtual void OnPortMessage(const std::wstring&) {}
    virtual void OnStatusMessage(const std::wstring&) {}
    // Bytes of the printer's answer so far, of those it announced.
    virtual void OnProgress(std::uint64_t /*received*/, std::uint64_t /*expected*/) {}
    // About every 100 ms while the query runs.
    virtual void OnPoll() {}
};

struct RetrieveOptions {
    std::wstring portName;   // empty: the printer's port (PrEnv_Port)
    PortTimeouts timeouts;
    std::wstring inksetList; // the page's ink-set list, for the log; empty: "AllowedInksetList"
};

using DotVolumeTable = std::array<BYTE, 360>;

struct RetrieveResult {
    bool success = false;
    bool aborted = false;
    std::wstring portName, portType;
    // Print modes: the printer's text (kept when it does not analyse), its
    // conditions and ink-set names.
    std::string printModeText;
    MimakiPrintConditions conditions;
    std::wstring inksetNames;
    // Dot volumes: 60 entries (6 groups x 10 slots) of three 16-bit values,
    // little-endian, 0xFFFF where the printer has none.
    DotVolumeTable dotVolumes{};
    bool versionRead = false;  // the block reached the version's offset
    double commandManualVersion = 0;
    int versionFlag = 0;
    // The direct status read found no block and took PrEnv_InkVolume.
    bool fromInkVolume = false;
    // The settings check: the printer's answer, or, when none came whole,
    // what the port said (its messages joined as the failure report joins
    // them).
    std::array<BYTE, 13> confirmAnswer{};
    std::wstring portReport;
    // The messages shown, in order (identifier, text).
    std::vector<std::pair<int, std::wstring>> messages;
};

// The dot volumes of a status block (offset 290 on, big-endian) for groups
// 0 .. groups-1; a value is kept when its slot's presence flag (offset 280
// on) is set and it is 1 to 1000, else it becomes 0xFFFF. The other groups
// of table become 0xFFFF. block must hold at least 650 bytes.
void ConvertDotVolumes(const BYTE* block, std::size_t groups, DotVolumeTable& table);
// The command-manual version at offset 50 ("1.20"), when the block reaches
// it: the number, and flag 1 when its first character is 2 to 9.
bool ReadCommandManualVersion(const BYTE* block, std::size_t size, double& version, int& flag);

class CRetrieveQI {
public:
    explicit CRetrieveQI(int mode) : m_mode(mode) {}
    CRetrieveQI(const CRetrieveQI&) = delete;
    CRetrieveQI& operator=(const CRetrieveQI&) = delete;

    // The dialog's Retrieve: finds and checks the port, runs the query on a
    // worker and, on success in print-mode mode, deletes PrEnv_InkSet and
    // sets "NewQIDataHasBeenRetrieved" in env. Answers success.
    bool Retrieve(CPrintEnv& env, IRetrieveListener& listener, const RetrieveOptions& options = {});
    // The direct status read of the pages that read the status block
    // through the status sensor: the first four dot-volume groups, the
    // version, or, without a block, PrEnv_InkVolume times ten.
    bool ReadStatusDirect(CPrintEnv& env, IRetrieveListener& listener, const RetrieveOptions& options = {});
    // The settings check (mode kConfirmSettings): finds and checks the port
    // as Retrieve does (22064, 22065), sends request (13 bytes) and keeps
    // the answer in the result. A failure shows no message of its own: it
    // leaves the port's texts in the result's portReport.
    bool Confirm(CPrintEnv& env, const BYTE* request, IRetrieveListener& listener,
                 const RetrieveOptions& options = {});
    // Aborts the running query (from any thread); nothing when none runs.
    void Abort();

    int Mode() const { return m_mode; }
    const RetrieveResult& Result() const { return m_result; }

private:
    class Mailbox;
    struct Query;
    std::shared_ptr<IPort> FindPort(CPrintEnv& env, const RetrieveOptions& options, IRetrieveListener& listener);
    bool LaunchQueryThread(CPrintEnv& env, const std::shared_ptr<IPort>& port, IRetrieveListener& listener,
                           const RetrieveOptions& options);
    // Runs work on a worker thread while the calling thread takes the
    // port's texts and polls every 100 ms. Answers false once aborted.
    bool RunWorker(Query& query, IRetrieveListener& listener, const std::function<void()>& work);
    void Show(IRetrieveListener& listener, int id, const std::wstring& text);
    void FailureReport(IRetrieveListener& listener);

    int m_mode;
    std::array<BYTE, 13> m_request{};
    RetrieveResult m_result;
    bool m_errorShown = false;
    std::wstring m_portMessage;
    std::wstring m_statusMessage;
    std::mutex m_lock;                  // guards m_abort and m_abortRequested
    CAbortProc* m_abort = nullptr;      // of the running query
    bool m_abortRequested = false;      // Abort pressed during this attempt
};

// At logging level 8 or more: "print_condition_<pdLicName>_<ink sets>.txt"
// in the log folder, with the print methods the conditions offer and the
// text as a line of the embedded table. Answers false when it could not be
// written (logged).
bool WritePrintConditionDiagnostic(const CPrintEnv& env, const std::string& text,
                                   const MimakiPrintConditions& conditions, const std::wstring& inksetList);
