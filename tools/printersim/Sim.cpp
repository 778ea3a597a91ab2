#include "tools/printersim/Sim.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <list>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "devparms/ParmKeys.h"
#include "entry/ModelTable.h"
#include "host/FileIO.h"
#include "host/NetAddress.h"
#include "host/PortProtocol.h"
#include "host/StrUtil.h"
#include "printcond/MimakiPrintModeDataTables.h"
#include "tools/common/Interrupt.h"
#include "tools/common/ModelBlocks.h"
#include "tools/common/PrinterDefinitions.h"
#include "printcond/AnalyzeQI.h"
#include "tools/streamdump/Preview.h"
#include "tools/streamdump/StreamParser.h"

namespace printersim {

const char kUsage[] =
    "usage: printersim --uid N [--listen HOST:PORT | --pty] [--jobs DIR] [--preview-limit MIB]\n"
    "                  [--dot-volumes HEX] [--absent SLOTS] [--version TEXT] [--status-size N]\n"
    "                  [--block FILE | --embedded NAME] [--message TEXT]... [--status-text TEXT]...\n"
    "                  [--refuse TEXT] [--inks IDS] [--verdict N] [--misbehave MODE[:N]] [--quiet]\n"
    "  --uid N             the model to impersonate (its name, dot volumes and print conditions)\n"
    "  --listen HOST:PORT  where to take jobs and queries (default 127.0.0.1:9100; port 0 picks a\n"
    "                      free one); the address is the first line on standard output\n"
    "  --pty               a pseudo-terminal standing in for a USB printer device instead; its\n"
    "                      port name (usb:///dev/pts/N) is the first line\n"
    "  --jobs DIR          keep each job as DIR/job-NNNN.prn with previews in DIR/job-NNNN/\n"
    "  --preview-limit MIB previews only of jobs up to this size (default 256)\n"
    "  --dot-volumes HEX   the 360 dot-volume bytes of the status block (offset 290), 720 hex\n"
    "                      digits, big-endian 16-bit values as sent\n"
    "  --absent SLOTS      ink slots 0-9 reported as not present (comma list)\n"
    "  --version TEXT      the command-manual version, up to 4 characters (default 1.20)\n"
    "  --status-size N     bytes of the status block (default 1024)\n"
    "  --block FILE        the print-condition block, as hex text ('#' lines ignored)\n"
    "  --embedded NAME     the print-condition block of an embedded entry\n"
    "  --message TEXT      a message for the operator before every answer (repeatable)\n"
    "  --status-text TEXT  a status text before every answer (repeatable)\n"
    "  --refuse TEXT       refuse every query with TEXT\n"
    "  --inks IDS          the Mimaki colour id of each ink slot (comma list, at most 10; default\n"
    "                      the model's MimakiColorSequence), for the settings check\n"
    "  --verdict N         answer every settings check with verdict N (0 accepted, 1 another model,\n"
    "                      2 other inks, 3 no such print-mode set, others refused) instead of judging\n"
    "  --misbehave MODE    slow-read:BYTES_PER_SECOND, stop-reading[:N], close-after:N,\n"
    "                      reset[:N] (jobs after N bytes read, queries after N bytes of the\n"
    "                      answer), empty, garbage, silent (queries)\n"
    "  --quiet             no line per query\n"
    "One line per job on standard output: bytes, layers, planes, errors. SIGINT or SIGTERM\n"
    "stops it.\n";

namespace {

bool ParseNumber(const std::string& text, std::uint64_t lo, std::uint64_t hi, std::uint64_t& value)
{
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return value >= lo && value <= hi;
}

bool ParseHex(const std::string& text, std::vector<std::uint8_t>& out)
{
    std::string digits;
    bool comment = false;
    for (const char c : text) {
        if (c == '#')
            comment = true;
        if (c == '\n')
            comment = false;
        if (comment || c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        digits += c;
    }
    if (digits.size() % 2)
        return false;
    out.clear();
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return true;
}

} // namespace

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error)
{
    bool listenGiven = false;
    static const char* const valued[] = {"--uid",     "--listen",  "--jobs",        "--preview-limit", "--dot-volumes",
                                         "--absent",  "--version", "--status-size", "--block",         "--embedded",
                                         "--message", "--status-text", "--refuse",  "--misbehave",
                                         "--inks",    "--verdict"};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--pty") {
            o.pty = true;
            continue;
        }
        if (a == "--quiet") {
            o.quiet = true;
            continue;
        }
        if (a == "--help" || a == "-h") {
            error = "help";
            return false;
        }
        if (std::find(std::begin(valued), std::end(valued), a) == std::end(valued)) {
            error = "unknown option '" + a + "'";
            return false;
        }
        if (i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        const std::string* v = &args[++i];
        std::uint64_t n = 0;
        if (a == "--uid") {
            if (!ParseNumber(*v, 0, 255, n)) {
                error = "--uid: expected a model number from 0 to 255, got '" + *v + "'";
                return false;
            }
            o.uid = static_cast<int>(n);
        } else if (a == "--listen") {
            o.listen = *v;
            listenGiven = true;
        } else if (a == "--jobs") {
            o.jobsDir = *v;
        } else if (a == "--preview-limit") {
            if (!ParseNumber(*v, 0, 1 << 20, n)) {
                error = "--preview-limit: expected MiB, got '" + *v + "'";
                return false;
            }
            o.previewLimit = n << 20;
        } else if (a == "--dot-volumes") {
            if (!ParseHex(*v, o.dotVolumes) || o.dotVolumes.size() != portproto::kDotVolumeBytes) {
                error = "--dot-volumes: expected 720 hex digits, got " + std::to_string(v->size()) + " characters";
                return false;
            }
        } else if (a == "--absent") {
            for (const std::wstring& item : Split(Utf8ToWide(*v), L',')) {
                if (!ParseNumber(WideToUtf8(item), 0, portproto::kSlots - 1, n)) {
                    error = "--absent: expected ink slots from 0 to 9, got '" + *v + "'";
                    return false;
                }
                o.absentSlots.push_back(static_cast<int>(n));
            }
        } else if (a == "--version") {
            if (v->size() > portproto::kVersionWidth) {
                error = "--version: at most 4 characters, got '" + *v + "'";
                return false;
            }
            o.version = *v;
        } else if (a == "--status-size") {
            if (!ParseNumber(*v, 1, 65536, n)) {
                error = "--status-size: expected 1 to 65536 bytes, got '" + *v + "'";
                return false;
            }
            o.statusSize = n;
        } else if (a == "--block") {
            o.blockFile = *v;
        } else if (a == "--embedded") {
            o.embedded = *v;
        } else if (a == "--message") {
            o.messages.push_back(*v);
        } else if (a == "--status-text") {
            o.statusTexts.push_back(*v);
        } else if (a == "--refuse") {
            o.refusal = *v;
        } else if (a == "--inks") {
            o.inks.clear();
            o.inksGiven = true;
            for (const std::wstring& item : Split(Utf8ToWide(*v), L',')) {
                if (!ParseNumber(WideToUtf8(item), 0, 255, n) || o.inks.size() == portproto::kSlots) {
                    error = "--inks: expected at most 10 colour ids from 0 to 255, got '" + *v + "'";
                    return false;
                }
                o.inks.push_back(static_cast<int>(n));
            }
        } else if (a == "--verdict") {
            if (!ParseNumber(*v, 0, 255, n)) {
                error = "--verdict: expected 0 to 255, got '" + *v + "'";
                return false;
            }
            o.verdict = static_cast<int>(n);
        } else if (a == "--misbehave") {
            const std::string mode = v->substr(0, v->find(':'));
            const bool hasValue = v->find(':') != std::string::npos;
            const std::string number = hasValue ? v->substr(v->find(':') + 1) : "";
            struct Mode {
                const char* name;
                Misbehaviour kind;
                int value;  // -1 none allowed, 0 optional (default 0), 1 required
                std::uint64_t def;
            };
            static const Mode modes[] = {
                {"slow-read", Misbehaviour::SlowRead, 0, 65536}, {"stop-reading", Misbehaviour::StopReading, 0, 0},
                {"close-after", Misbehaviour::CloseAfter, 1, 0},  {"reset", Misbehaviour::Reset, 0, 0},
                {"empty", Misbehaviour::Empty, -1, 0},            {"garbage", Misbehaviour::Garbage, -1, 0},
                {"silent", Misbehaviour::Silent, -1, 0},
            };
            const Mode* found = nullptr;
            for (const Mode& m : modes)
                if (mode == m.name)
                    found = &m;
            if (!found || (found->value < 0 && hasValue) || (found->value > 0 && !hasValue) ||
                (hasValue && !ParseNumber(number, found->kind == Misbehaviour::SlowRead ? 1 : 0, UINT64_MAX / 2, n))) {
                error = "--misbehave: expected slow-read:BYTES_PER_SECOND, stop-reading[:N], close-after:N, "
                        "reset[:N], empty, garbage or silent, got '" + *v + "'";
                return false;
            }
            o.misbehave = found->kind;
            o.misbehaveValue = hasValue ? n : found->def;
        }
    }
    if (o.uid < 0) {
        error = "--uid N is required: the model to impersonate";
        return false;
    }
    if (o.pty && listenGiven) {
        error = "--pty and --listen exclude each other";
        return false;
    }
    if (!o.blockFile.empty() && !o.embedded.empty()) {
        error = "--block and --embedded exclude each other";
        return false;
    }
    return true;
}

namespace {

using portproto::kEsc;
using portproto::kQuery;

std::mutex g_outMutex;

void Say(const std::string& line)
{
    std::lock_guard<std::mutex> lock(g_outMutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// What the printer answers: built once at start.
struct Answers {
    std::string model;
    std::vector<std::uint8_t> status;
    std::vector<std::uint8_t> block;
    std::string blockName;
    std::string noBlock;  // why there is none
    std::vector<std::uint8_t> inks;     // colour id of each slot
    std::vector<std::uint32_t> sets;    // the print-mode sets the block offers
};

bool BuildBlocks(const Options& o, Answers& a, std::string& error)
{
    using namespace portproto;
    const mimaki::ModelRow& row = mimaki::FindModel(o.uid);
    a.model = row.model ? row.model : "no model";

    a.status.assign(std::max<std::size_t>(o.statusSize, kDotVolumeOffset + kDotVolumeBytes), 0);
    const std::string name = "MIMAKI " + a.model;
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), kVersionOffset - 1), a.status.begin());
    std::copy(o.version.begin(), o.version.end(), a.status.begin() + kVersionOffset);
    for (std::size_t slot = 0; slot < kSlots; ++slot)
        a.status[kPresenceOffset + slot] =
            std::find(o.absentSlots.begin(), o.absentSlots.end(), int(slot)) == o.absentSlots.end();
    if (!o.dotVolumes.empty()) {
        std::copy(o.dotVolumes.begin(), o.dotVolumes.end(), a.status.begin() + kDotVolumeOffset);
    } else {
        // The model's published volumes: its default table, little-endian
        // there, big-endian on the wire; a missing value is sent as 0.
        const std::vector<BYTE> table = HexStringToBin(mimaki::parms::DefaultDotVolumes());
        for (std::size_t i = 0; i + 1 < table.size() && i + 1 < kDotVolumeBytes; i += 2) {
            const unsigned value = table[i] | unsigned(table[i + 1]) << 8;
            a.status[kDotVolumeOffset + i] = static_cast<std::uint8_t>(value == 0xFFFF ? 0 : value >> 8);
            a.status[kDotVolumeOffset + i + 1] = static_cast<std::uint8_t>(value == 0xFFFF ? 0 : value);
        }
    }
    a.status.resize(o.statusSize);

    if (!o.blockFile.empty()) {
        std::string text;
        if (!ReadWholeFile(o.blockFile, text, error))
            return false;
        if (!ParseHex(text, a.block) || a.block.empty()) {
            error = o.blockFile + ": no print-condition block in hex text";
            return false;
        }
        a.blockName = o.blockFile;
        return true;
    }
    std::wstring entryName = Utf8ToWide(o.embedded);
    if (entryName.empty() && modelblocks::EmbeddedBlockOf(o.uid))
        entryName = modelblocks::EmbeddedBlockOf(o.uid);
    if (entryName.empty()) {
        a.noBlock = "UID " + std::to_string(o.uid) + " (" + a.model + ") has no print-condition data";
        return true;
    }
    const EmbeddedPrintModeEntry* entry = FindEmbeddedPrintModeEntry(entryName);
    if (!entry) {
        error = "--embedded: no embedded entry \"" + o.embedded + "\" (qiview --list-embedded lists them)";
        return false;
    }
    a.blockName = WideToUtf8(entry->name);
    a.block = HexStringToBin(EmbeddedPrintModeText(*entry));
    return true;
}

// The status and print-condition blocks, the inks in the slots and the
// print-mode sets the printer offers.
bool BuildAnswers(const Options& o, Answers& a, std::string& error)
{
    if (!BuildBlocks(o, a, error))
        return false;
    std::vector<int> inks = o.inks;
    if (!o.inksGiven)
        if (const printerdefs::Definition* def = printerdefs::Find(o.uid))
            for (const auto& [key, value] : def->keys)
                if (key == L"MimakiColorSequence")
                    for (const std::wstring& id : Split(value, L','))
                        inks.push_back(IntFromString(id));
    for (const int id : inks)
        if (a.inks.size() < portproto::kSlots)
            a.inks.push_back(static_cast<std::uint8_t>(id));
    if (!a.block.empty()) {
        std::wstring inksets;
        MimakiPrintConditions conditions;
        if (CAnalyzeQI::AnalyzeBytes(a.block.data(), a.block.size(), inksets, conditions))
            for (const MimakiPrintCondition& c : conditions.m_Conditions)
                a.sets.push_back(c.printModeSetNumber);
    }
    return true;
}

void AppendFrame(std::string& out, std::uint8_t kind, const std::string& payload)
{
    std::uint8_t header[portproto::kFrameHeaderSize];
    portproto::FrameHeader(kind, static_cast<std::uint32_t>(payload.size()), header);
    out.append(reinterpret_cast<const char*>(header), sizeof header);
    out += payload;
}

// One connection (or the pseudo-terminal while someone has it open).
struct Conn {
    int fd = -1;
    bool socket = true;
    std::string peer;
};

// 1 readable (or writable), 0 stopped.
int Wait(const Conn& c, short events)
{
    for (;;) {
        pollfd p[2] = {{c.fd, events, 0}, {interrupt::WakeFd(), POLLIN, 0}};
        const int r = ::poll(p, 2, -1);
        if (interrupt::Signal())
            return 0;
        if (r > 0 && p[0].revents)
            return 1;
    }
}

// Bytes read, 0 at the end of the connection, -1 when stopped or reset
// (err tells which).
ssize_t ReadSome(const Conn& c, char* buf, std::size_t n, int& err)
{
    err = 0;
    for (;;) {
        const ssize_t r = ::read(c.fd, buf, n);
        if (r >= 0)
            return r;
        if (errno == EINTR)
            continue;
        if (errno == EIO && !c.socket)
            return 0;  // the pseudo-terminal's other side closed
        if (errno != EAGAIN) {
            err = errno;
            return -1;
        }
        if (!Wait(c, POLLIN)) {
            err = EINTR;
            return -1;
        }
    }
}

bool SendAll(const Conn& c, const char* data, std::size_t n)
{
    while (n) {
        const ssize_t w = c.socket ? ::send(c.fd, data, n, MSG_NOSIGNAL) : ::write(c.fd, data, n);
        if (w > 0) {
            data += w;
            n -= static_cast<std::size_t>(w);
        } else if (w < 0 && errno == EAGAIN) {
            if (!Wait(c, POLLOUT))
                return false;
        } else if (!(w < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

// Reads and drops everything until the other side goes away.
void Drain(const Conn& c)
{
    char buf[65536];
    int err = 0;
    while (ReadSome(c, buf, sizeof buf, err) > 0) {
    }
}

void Hangup(Conn& c, bool reset)
{
    if (c.socket) {
        if (reset) {
            const linger l{1, 0};
            ::setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }
        ::close(c.fd);
        c.fd = -1;
    } else {
        // A device cannot hang up: it goes deaf until it is closed.
        Drain(c);
    }
}

struct Job {
    int number = 0;
    int fd = -1;  // the stream, open for reading
    std::string path;
    std::uint64_t bytes = 0;
    std::string peer;
    std::string note;
};

class Printer {
public:
    Printer(const Options& o, Answers a) : m_o(o), m_a(std::move(a)) {}
    void Serve(Conn c);
    // Parses the kept jobs in order until Finish.
    void ParseLoop();
    void Finish()
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_finished = true;
        m_queueSignal.notify_all();
    }
    // Jobs waiting to be parsed or being parsed.
    bool Idle()
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        return m_queue.empty() && !m_parsing;
    }

private:
    void Query(Conn& c, std::string pending);
    void Print(Conn& c, std::string first);
    // The messages and status texts that come before every answer.
    std::string Prelude() const;
    std::string Answer(const std::string& request, std::string& what) const;
    // The payload of the answer to a settings check.
    std::string Check(const std::string& request, std::string& what) const;

    const Options& m_o;
    const Answers m_a;
    // Jobs print one at a time, in the order they were told apart.
    std::mutex m_turnMutex;
    std::condition_variable m_turnSignal;
    std::uint64_t m_nextTicket = 0, m_serving = 0;
    int m_jobCount = 0;

    std::mutex m_queueMutex;
    std::condition_variable m_queueSignal;
    std::deque<Job> m_queue;
    bool m_finished = false;
    bool m_parsing = false;
};

std::string Printer::Prelude() const
{
    std::string out;
    for (const std::string& m : m_o.messages)
        AppendFrame(out, portproto::kMessage, m);
    for (const std::string& t : m_o.statusTexts)
        AppendFrame(out, portproto::kStatusText, t);
    return out;
}

std::string Printer::Check(const std::string& request, std::string& what) const
{
    using namespace portproto;
    const auto* r = reinterpret_cast<const std::uint8_t*>(request.data());
    int verdict = kAccepted;
    const std::uint32_t set = GetBe(r + kConfirmSet, 2);
    if (r[kConfirmUid] != (m_o.uid & 255))
        verdict = kOtherModel;
    else if (r[kConfirmSlots] &&
             (r[kConfirmSlots] != m_a.inks.size() ||
              GetBe(r + kConfirmInks, 4) != InkSetCheck(m_a.inks.data(), m_a.inks.size())))
        verdict = kOtherInks;
    else if (set != kNoPrintModeSet && std::find(m_a.sets.begin(), m_a.sets.end(), set) == m_a.sets.end())
        verdict = kUnknownPrintModeSet;
    if (m_o.verdict >= 0)
        verdict = m_o.verdict;
    std::uint8_t answer[kConfirmSize] = {};
    answer[kAnswerUid] = static_cast<std::uint8_t>(m_o.uid);
    answer[kAnswerVerdict] = static_cast<std::uint8_t>(verdict);
    answer[kAnswerSlots] = static_cast<std::uint8_t>(m_a.inks.size());
    PutBe(answer + kAnswerInks, InkSetCheck(m_a.inks.data(), m_a.inks.size()), 4);
    std::copy_n(m_o.version.begin(), std::min(m_o.version.size(), kVersionWidth), answer + kAnswerVersion);
    std::copy(r + kConfirmTag, r + kConfirmTag + 2, answer + kAnswerTag);
    static const char* const names[] = {"accepted", "another model", "other inks", "no such print-mode set"};
    what = "settings check of UID " + std::to_string(r[kConfirmUid]) + ", " + std::to_string(r[kConfirmSlots]) +
           " slots, set " + std::to_string(set) + ": " +
           (verdict < 4 ? names[verdict] : "refused (" + std::to_string(verdict) + ")");
    return std::string(reinterpret_cast<const char*>(answer), sizeof answer);
}

std::string Printer::Answer(const std::string& request, std::string& what) const
{
    const std::uint8_t kind = static_cast<std::uint8_t>(request[2]);
    std::string out = Prelude();
    const bool empty = m_o.misbehave == Misbehaviour::Empty;
    if (!m_o.refusal.empty()) {
        AppendFrame(out, portproto::kRefusal, m_o.refusal);
        what = "refused (" + m_o.refusal + ")";
    } else if (kind == portproto::kStatus) {
        AppendFrame(out, kind, empty ? "" : std::string(m_a.status.begin(), m_a.status.end()));
        what = std::to_string(empty ? 0 : m_a.status.size()) + " bytes of status";
    } else if (kind == portproto::kPrintConditions && (!m_a.block.empty() || empty)) {
        AppendFrame(out, kind, empty ? "" : std::string(m_a.block.begin(), m_a.block.end()));
        what = std::to_string(empty ? 0 : m_a.block.size()) + " bytes of print-condition data (" + m_a.blockName + ")";
    } else if (kind == portproto::kPrintConditions) {
        AppendFrame(out, portproto::kRefusal, m_a.noBlock);
        what = "refused (" + m_a.noBlock + ")";
    } else if (kind == portproto::kConfirm) {
        AppendFrame(out, kind, empty ? "" : Check(request, what));
    } else {
        AppendFrame(out, portproto::kRefusal, "unknown query");
        what = "refused (unknown query)";
    }
    if (empty)
        what += ", emptied as --misbehave empty asks";
    return out;
}

void Printer::Query(Conn& c, std::string pending)
{
    const auto fill = [&](std::size_t size) {
        while (pending.size() < size) {
            char buf[64];
            int err = 0;
            const ssize_t n = ReadSome(c, buf, std::min(sizeof buf, size - pending.size()), err);
            if (n <= 0)
                return false;
            pending.append(buf, static_cast<std::size_t>(n));
        }
        return true;
    };
    for (;;) {
        if (!fill(portproto::kRequestSize))
            return;
        if (std::uint8_t(pending[0]) != kEsc || std::uint8_t(pending[1]) != kQuery) {
            Say("query from " + c.peer + ": bytes that are no request; the connection is closed");
            return;
        }
        const std::uint8_t kind = static_cast<std::uint8_t>(pending[2]);
        const std::size_t size = kind == portproto::kConfirm ? portproto::kConfirmSize : portproto::kRequestSize;
        if (!fill(size))
            return;
        const std::string request = pending.substr(0, size);
        pending.erase(0, size);
        std::string what;
        std::string answer = Answer(request, what);
        const std::string label = "query " + std::string(1, char(kind)) + " from " + c.peer + ": ";
        switch (m_o.misbehave) {
        case Misbehaviour::Silent: {
            const std::string prelude = Prelude();
            SendAll(c, prelude.data(), prelude.size());
            if (!m_o.quiet)
                Say(label + "not answered (--misbehave silent)");
            Drain(c);
            return;
        }
        case Misbehaviour::Garbage:
            answer = "\r\nGARBAGE - no answer at all\r\n";
            what = "garbage (--misbehave garbage)";
            break;
        case Misbehaviour::CloseAfter:
        case Misbehaviour::Reset: {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(m_o.misbehaveValue, answer.size()));
            const bool reset = m_o.misbehave == Misbehaviour::Reset;
            SendAll(c, answer.data(), n);
            if (!m_o.quiet)
                Say(label + std::to_string(n) + " of " + std::to_string(answer.size()) + " bytes, then " +
                    (reset ? "reset" : "closed") + " (--misbehave)");
            Hangup(c, reset);
            return;
        }
        default: break;
        }
        if (!SendAll(c, answer.data(), answer.size()))
            return;
        if (!m_o.quiet)
            Say(label + what);
    }
}

void Printer::Print(Conn& c, std::string first)
{
    std::uint64_t ticket;
    {
        std::unique_lock<std::mutex> lock(m_turnMutex);
        ticket = m_nextTicket++;
        m_turnSignal.wait(lock, [&] { return m_serving == ticket || interrupt::Signal(); });
        if (interrupt::Signal())
            return;
    }
    Job job;
    job.number = ++m_jobCount;
    job.peer = c.peer;
    char name[32];
    std::snprintf(name, sizeof name, "job-%04d.prn", job.number);
    std::string tmpPath, error;
    if (!m_o.jobsDir.empty()) {
        job.path = m_o.jobsDir + "/" + name;
        tmpPath = m_o.jobsDir + "/." + name + ".tmp";
        job.fd = ::open(tmpPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    } else {
        const char* tmpdir = std::getenv("TMPDIR");
        std::string pattern = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/printersim-XXXXXX";
        job.fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (job.fd >= 0)
            ::unlink(pattern.c_str());
    }
    auto write = [&](const char* data, std::size_t n) {
        while (n && job.fd >= 0) {
            const ssize_t w = ::write(job.fd, data, n);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                error = std::string("cannot keep the job: ") + std::strerror(errno);
                return false;
            }
            data += w;
            n -= static_cast<std::size_t>(w);
        }
        return true;
    };
    if (job.fd < 0)
        error = std::string("cannot keep the job: ") + std::strerror(errno);

    const std::uint64_t limit = m_o.misbehave == Misbehaviour::StopReading || m_o.misbehave == Misbehaviour::CloseAfter ||
                                        m_o.misbehave == Misbehaviour::Reset
                                    ? m_o.misbehaveValue
                                    : UINT64_MAX;
    std::size_t keep = static_cast<std::size_t>(std::min<std::uint64_t>(first.size(), limit));
    if (error.empty() && write(first.data(), keep))
        job.bytes = keep;
    std::vector<char> buf(std::size_t(1) << 20);
    bool ended = keep < first.size();
    while (error.empty() && !ended && job.bytes < limit) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), limit - job.bytes));
        if (m_o.misbehave == Misbehaviour::SlowRead)
            want = std::min<std::size_t>(want, std::max<std::uint64_t>(1, m_o.misbehaveValue / 10));
        int err = 0;
        const ssize_t n = ReadSome(c, buf.data(), want, err);
        if (n == 0)
            break;
        if (n < 0) {
            job.note = err == EINTR ? "stopped" : std::string("the client's connection failed: ") + std::strerror(err);
            break;
        }
        if (!write(buf.data(), static_cast<std::size_t>(n)))
            break;
        job.bytes += static_cast<std::uint64_t>(n);
        if (m_o.misbehave == Misbehaviour::SlowRead)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (job.bytes >= limit && limit != UINT64_MAX) {
        switch (m_o.misbehave) {
        case Misbehaviour::StopReading:
            job.note = "printersim stopped reading after " + std::to_string(limit) + " bytes (--misbehave)";
            // Holds the connection as a stuck printer does.
            while (Wait(c, POLLRDHUP) && !interrupt::Signal()) {
                pollfd p{c.fd, POLLRDHUP, 0};
                if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)))
                    break;
            }
            break;
        default:
            job.note = "printersim " + std::string(m_o.misbehave == Misbehaviour::Reset ? "reset" : "closed") +
                       " the connection after " + std::to_string(limit) + " bytes (--misbehave)";
            Hangup(c, m_o.misbehave == Misbehaviour::Reset);
            break;
        }
    }
    if (!error.empty())
        job.note = error;
    // The printer has the job: the client may go (a device is closed by
    // its client).
    if (c.socket && c.fd >= 0) {
        ::close(c.fd);
        c.fd = -1;
    }
    // A stream that could not be kept whole is not kept at all.
    if (!tmpPath.empty() && job.fd >= 0 && (!error.empty() || std::rename(tmpPath.c_str(), job.path.c_str()) != 0)) {
        if (error.empty())
            job.note = std::string("cannot keep the job: ") + std::strerror(errno);
        ::unlink(tmpPath.c_str());
        job.path.clear();
    }
    {
        std::lock_guard<std::mutex> lock(m_turnMutex);
        ++m_serving;
        m_turnSignal.notify_all();
    }
    std::lock_guard<std::mutex> lock(m_queueMutex);
    m_queue.push_back(std::move(job));
    m_queueSignal.notify_all();
}

void Printer::Serve(Conn c)
{
    // Two bytes tell a query from a job.
    std::string first;
    while (first.size() < 2) {
        char buf[2];
        int err = 0;
        const ssize_t n = ReadSome(c, buf, 2 - first.size(), err);
        if (n <= 0)
            break;
        first.append(buf, static_cast<std::size_t>(n));
    }
    if (first.size() == 2 && std::uint8_t(first[0]) == kEsc && std::uint8_t(first[1]) == kQuery)
        Query(c, first);
    else if (!first.empty())
        Print(c, first);
    if (c.socket && c.fd >= 0)
        ::close(c.fd);
}

std::string Plural(std::size_t n, const char* word)
{
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

void Printer::ParseLoop()
{
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_queueMutex);
            m_parsing = false;
            m_queueSignal.wait(lock, [&] { return !m_queue.empty() || m_finished; });
            if (m_queue.empty())
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
            m_parsing = true;
        }
        streamparse::ParseOptions po;
        po.expectJobEnd = true;
        po.uid = m_o.uid;
        po.keepRows = !m_o.jobsDir.empty() && !job.path.empty() && job.bytes <= m_o.previewLimit;
        const void* data = nullptr;
        if (job.fd >= 0 && job.bytes > 0) {
            data = ::mmap(nullptr, job.bytes, PROT_READ, MAP_PRIVATE, job.fd, 0);
            if (data == MAP_FAILED)
                data = nullptr;
        }
        const streamparse::ParseResult r =
            streamparse::ParseStream(static_cast<const std::uint8_t*>(data), data ? job.bytes : 0, po);
        if (data)
            ::munmap(const_cast<void*>(data), job.bytes);
        if (job.fd >= 0)
            ::close(job.fd);
        std::string line = "job " + std::to_string(job.number) + " from " + job.peer + ": " +
                           std::to_string(job.bytes) + " bytes, " + Plural(r.layers.size(), "layer") + ", " +
                           Plural(r.planes.size(), "plane") + ", " + Plural(r.errors.size(), "error");
        if (!r.errors.empty())
            line += " (first at " + std::to_string(r.errors[0].offset) + ": " + r.errors[0].message + ")";
        if (!job.note.empty())
            line += "; " + job.note;
        if (!job.path.empty())
            line += "; kept " + job.path;
        if (po.keepRows) {
            std::vector<std::string> written;
            std::string error;
            streamparse::PreviewOptions preview;
            preview.maxSide = 1024;
            preview.stop = interrupt::Flag();
            const std::string dir = job.path.substr(0, job.path.size() - 4);
            if (streamparse::WritePreviews(r, dir, preview, written, error))
                line += "; previews in " + dir;
            else
                line += "; previews failed: " + error;
        }
        Say(line);
    }
}

int Listen(const Options& o, std::string& address, std::string& error)
{
    std::string host;
    int port = 0;
    std::string text = o.listen;
    if (!SplitHostPort(text, 9100, host, port, error)) {
        // Port 0 (a free one) is no printer port but is wanted here.
        const std::size_t colon = text.rfind(':');
        if (colon == std::string::npos || text.substr(colon + 1) != "0" ||
            !SplitHostPort(text.substr(0, colon), 9100, host, port, error)) {
            error = "--listen: " + error;
            return -1;
        }
        port = 0;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* res = nullptr;
    const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &res);
    if (rc != 0) {
        error = "--listen " + o.listen + ": " + gai_strerror(rc);
        return -1;
    }
    const int fd = ::socket(res->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (fd < 0 || ::bind(fd, res->ai_addr, res->ai_addrlen) != 0 || ::listen(fd, 64) != 0) {
        error = "--listen " + o.listen + ": " + std::strerror(errno);
        freeaddrinfo(res);
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    freeaddrinfo(res);
    sockaddr_storage sa{};
    socklen_t len = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    char numeric[NI_MAXHOST], service[NI_MAXSERV];
    ::getnameinfo(reinterpret_cast<sockaddr*>(&sa), len, numeric, sizeof numeric, service, sizeof service,
                  NI_NUMERICHOST | NI_NUMERICSERV);
    address = SocketUri(numeric, std::atoi(service));
    return fd;
}

std::string PeerName(const sockaddr_storage& sa, socklen_t len)
{
    char numeric[NI_MAXHOST], service[NI_MAXSERV];
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&sa), len, numeric, sizeof numeric, service, sizeof service,
                      NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return "?";
    return SocketUri(numeric, std::atoi(service)).substr(9);
}

struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
};

} // namespace

int Run(const Options& o)
{
    interrupt::Install();
    Answers answers;
    std::string error;
    if (!BuildAnswers(o, answers, error)) {
        std::fprintf(stderr, "printersim: %s\n", error.c_str());
        return 1;
    }
    if (!o.jobsDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(o.jobsDir, ec);
        if (!std::filesystem::is_directory(o.jobsDir)) {
            std::fprintf(stderr, "printersim: --jobs %s: cannot make the folder%s%s\n", o.jobsDir.c_str(),
                         ec ? ": " : "", ec ? ec.message().c_str() : "");
            return 1;
        }
    }
    std::string address;
    int listenFd = -1;
    if (o.pty) {
        listenFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        termios raw{};
        if (listenFd < 0 || ::grantpt(listenFd) != 0 || ::unlockpt(listenFd) != 0 || !::ptsname(listenFd) ||
            ::tcgetattr(listenFd, &raw) != 0) {
            std::fprintf(stderr, "printersim: cannot make a pseudo-terminal: %s\n", std::strerror(errno));
            return 1;
        }
        // Bytes pass unchanged, as through a printer device.
        ::cfmakeraw(&raw);
        ::tcsetattr(listenFd, TCSANOW, &raw);
        address = std::string("usb://") + ::ptsname(listenFd);
    } else {
        listenFd = Listen(o, address, error);
        if (listenFd < 0) {
            std::fprintf(stderr, "printersim: %s\n", error.c_str());
            return 1;
        }
    }
    Say(address);
    if (!o.quiet)
        Say("printersim: UID " + std::to_string(o.uid) + " (" + answers.model + "), print conditions: " +
            (answers.block.empty() ? answers.noBlock : answers.blockName));

    Printer printer(o, std::move(answers));
    std::thread parser([&printer] { printer.ParseLoop(); });
    std::list<Worker> workers;
    constexpr std::size_t kMaxConnections = 64;
    while (!interrupt::Signal()) {
        workers.remove_if([](Worker& w) {
            if (!w.done)
                return false;
            w.thread.join();
            return true;
        });
        const bool full = workers.size() >= kMaxConnections;
        pollfd p[2] = {{listenFd, static_cast<short>(full ? 0 : POLLIN), 0}, {interrupt::WakeFd(), POLLIN, 0}};
        const int r = ::poll(p, 2, full || o.pty ? 10 : 1000);
        if (r <= 0 || !(p[0].revents & POLLIN)) {
            if (o.pty && (p[0].revents & POLLHUP))
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (o.pty) {
            // One user of the device at a time, on this thread.
            printer.Serve(Conn{listenFd, false, "usb"});
            continue;
        }
        sockaddr_storage sa{};
        socklen_t len = sizeof sa;
        const int fd = ::accept4(listenFd, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            continue;
        Worker& w = workers.emplace_back();
        try {
            w.thread = std::thread([&printer, &w, fd, peer = PeerName(sa, len)] {
                printer.Serve(Conn{fd, true, peer});
                w.done = true;
            });
        } catch (const std::exception&) {
            ::close(fd);
            workers.pop_back();
        }
    }
    ::close(listenFd);
    for (Worker& w : workers)
        w.thread.join();
    // A long stream may still be in the parser: give it a moment, then
    // leave without it (its temporary file goes with the process).
    printer.Finish();
    for (int i = 0; i < 20 && !printer.Idle(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!printer.Idle()) {
        std::fflush(stdout);
        std::_Exit(0);
    }
    parser.join();
    return 0;
}

} // namespace printersim
