#include "tools/parmtool/Retrieve.h"

#include <cstdio>
#include <stdexcept>
#include <ostream>
#include <sstream>
#include <unistd.h>

#include "entry/MimakiRetrieve.h"
#include "entry/SettingsCheck.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "tools/common/Interrupt.h"
#include "tools/common/Json.h"
#include "tools/common/PrinterDefinitions.h"

namespace parmtool {

namespace {

constexpr const char* kUsage =
    "usage: parmtool retrieve --settings FILE.ini [--printer NAME] --print-modes|--dot-volumes|--check-settings\n"
    "                         [--port NAME] [--timeout SECONDS] [--json] [--quiet] [--log-level N]\n"
    "Asks the printer for its print-condition data (--print-modes) or its dot volumes and\n"
    "command-manual version (--dot-volumes), and stores them in the printer's section of FILE.ini\n"
    "(written anew only when the retrieval succeeded). The port is the section's PrEnv_Port unless\n"
    "--port names one: socket://HOST[:PORT] (port 9100 by default) or usb:///dev/usb/lpN.\n"
    "--check-settings asks the printer to confirm the saved settings as OK on the UCJV300, UJV500\n"
    "and UJV55 pages does (model, inks, print-mode set); it stores nothing, exit 0 when confirmed.\n"
    "Ctrl-C aborts. Exit status: 0 stored, 1 failed (nothing stored), 2 usage, 128+N signal N.\n";

struct Usage {
    std::string message;
};

struct Args {
    std::string settings;
    std::string printer;
    int mode = -1;
    std::wstring port;
    double timeout = 0;
    bool json = false;
    bool quiet = false;
    int logLevel = 4;
    bool help = false;
};

Args Parse(const std::vector<std::string>& args)
{
    Args a;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& o = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw Usage{o + " needs a value"};
            return args[++i];
        };
        auto setMode = [&](int mode) {
            if (a.mode >= 0 && a.mode != mode)
                throw Usage{"--print-modes, --dot-volumes and --check-settings exclude each other"};
            a.mode = mode;
        };
        if (o == "--settings") {
            a.settings = value();
        } else if (o == "--printer") {
            a.printer = value();
        } else if (o == "--print-modes") {
            setMode(kRetrievePrintModes);
        } else if (o == "--dot-volumes") {
            setMode(kRetrieveDotVolumes);
        } else if (o == "--check-settings") {
            setMode(kConfirmSettings);
        } else if (o == "--port") {
            a.port = Utf8ToWide(value());
            if (a.port.empty())
                throw Usage{"--port needs a port name"};
        } else if (o == "--timeout") {
            const std::string& t = value();
            char* end = nullptr;
            a.timeout = std::strtod(t.c_str(), &end);
            if (t.empty() || *end || !(a.timeout > 0 && a.timeout <= 3600))
                throw Usage{"--timeout: expected seconds from 0 to 3600, got '" + t + "'"};
        } else if (o == "--log-level") {
            const std::string& l = value();
            if (l.empty() || l.size() > 2 || l.find_first_not_of("0123456789") != std::string::npos)
                throw Usage{"--log-level: expected 0 to 99, got '" + l + "'"};
            a.logLevel = std::stoi(l);
        } else if (o == "--json") {
            a.json = true;
        } else if (o == "--quiet") {
            a.quiet = true;
        } else if (o == "--help" || o == "-h") {
            a.help = true;
            return a;
        } else {
            throw Usage{"unknown option '" + o + "'"};
        }
    }
    if (a.settings.empty())
        throw Usage{"retrieve needs --settings FILE.ini"};
    if (a.mode < 0)
        throw Usage{"retrieve needs --print-modes, --dot-volumes or --check-settings"};
    return a;
}

// A message's text on one line: the dialog's line breaks become separators.
std::string OneLine(const std::wstring& text)
{
    std::string line = WideToUtf8(text);
    for (std::size_t at; (at = line.find("\r\n")) != std::string::npos;)
        line.replace(at, 2, ": ");
    for (char& c : line)
        if (c == '\n')
            c = ';';
    return line;
}

class Listener : public IRetrieveListener {
public:
    Listener(CRetrieveQI& query, std::ostream& err, bool progress) : m_query(query), m_err(err), m_progress(progress) {}
    void OnMessage(int, const std::wstring&) override {}
    void OnProgress(std::uint64_t received, std::uint64_t expected) override
    {
        if (!m_progress || !expected)
            return;
        m_err << "\rparmtool: " << received << " of " << expected << " bytes received" << std::flush;
        m_lineOpen = true;
    }
    void OnPoll() override
    {
        if (interrupt::Signal() && !m_aborted) {
            m_aborted = true;
            m_query.Abort();
        }
    }
    void EndLine()
    {
        if (m_lineOpen)
            m_err << "\n";
        m_lineOpen = false;
    }

private:
    CRetrieveQI& m_query;
    std::ostream& m_err;
    bool m_progress;
    bool m_lineOpen = false;
    bool m_aborted = false;
};

std::string Texts(const std::vector<std::string>& items)
{
    std::string s = "[";
    for (std::size_t i = 0; i < items.size(); ++i)
        s += (i ? ", " : "") + JsonString(items[i]);
    return s + "]";
}

// --check-settings: the check of the section as saved, with the model's
// definition keys as the host supplies them.
int RunCheck(const Args& a, CPrintEnv& env, int uid, std::ostream& out, std::ostream& err)
{
    printerdefs::Apply(env, uid);
    interrupt::Install();
    CRetrieveQI query(kConfirmSettings);
    Listener listener(query, err, false);
    RetrieveOptions options;
    options.portName = a.port;
    if (a.timeout > 0)
        options.timeouts.connect = options.timeouts.io = a.timeout;
    const mimaki::SettingsCheck check = mimaki::CheckSettings(query, uid, env, listener, options);
    const bool ok = check.outcome == mimaki::CheckOutcome::Confirmed;
    if (a.json) {
        out << "{\"uid\": " << uid << ", \"request\": \""
            << WideToUtf8(BinToHexString(check.request.data(), check.request.size())) << "\", \"confirmed\": "
            << (ok ? "true" : "false") << ", \"printerUid\": " << check.printerUid << ", \"verdict\": " << check.verdict
            << ", \"version\": " << JsonString(check.version) << ", \"messages\": [";
        for (std::size_t i = 0; i < check.messages.size(); ++i)
            out << (i ? ", " : "") << "{\"id\": " << check.messages[i].first
                << ", \"text\": " << JsonString(WideToUtf8(check.messages[i].second)) << "}";
        out << "], \"warning\": " << JsonString(OneLine(check.warning)) << "}\n";
    } else if (ok) {
        out << "the printer confirmed the settings (command-manual version " << check.version << ")\n";
    }
    for (const auto& [id, text] : check.messages)
        err << "parmtool: " << OneLine(text) << "\n";
    if (!check.warning.empty())
        err << "parmtool: " << OneLine(check.warning) << "\n";
    const int signal = interrupt::Signal();
    if (check.outcome == mimaki::CheckOutcome::Aborted)
        err << "parmtool: settings check aborted" << (signal ? std::string(" by ") + interrupt::Name(signal) : "")
            << "\n";
    return ok ? 0 : signal ? 128 + signal : 1;
}

unsigned Value(const DotVolumeTable& t, std::size_t index)
{
    return t[2 * index] | unsigned(t[2 * index + 1]) << 8;
}

} // namespace

int RunRetrieve(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> notes;
    CVoLogReporter::SetLogFile("/dev/null");
    try {
        const Args a = Parse(argv);
        if (a.help) {
            out << kUsage;
            return 0;
        }
        CVoLogReporter::SetLoggingLevel(a.logLevel);
        // The retrieval's own error lines restate its messages; the others
        // (a port name that is no printer port, data that do not analyse)
        // say why.
        CVoLogReporter::SetCapture([&notes, &a](int level, const std::string& text) {
            if (a.logLevel > 4 || (level <= 4 && text.find("CRetrieveQIDlg::") == std::string::npos)) {
                std::string line = text;
                if (line.rfind("***", 0) == 0 && line.find(": ") != std::string::npos)
                    line = line.substr(line.find(": ") + 2);
                while (!line.empty() && line.back() == '\n')
                    line.pop_back();
                notes.push_back(line);
            }
        });

        CPrintEnv env;
        std::string error;
        std::string section = a.printer;
        if (section.empty()) {
            CIniFile ini;
            if (!ini.Read(a.settings, error))
                throw std::runtime_error(error);
            if (ini.sections.size() != 1)
                throw std::runtime_error(a.settings + ": " + std::to_string(ini.sections.size()) +
                                         " printer sections; name one with --printer");
            section = WideToUtf8(ini.sections[0].name);
        }
        if (!env.LoadFromIni(a.settings, Utf8ToWide(section), error))
            throw std::runtime_error(error);
        if (!env.HasKey(PrEnv_UID.pszKey))
            throw std::runtime_error(a.settings + " [" + section + "]: no PrEnv_UID: the model is unknown");
        const int uid = env.GetInt(PrEnv_UID) & 255;
        if (a.mode == kConfirmSettings) {
            const int status = RunCheck(a, env, uid, out, err);
            CVoLogReporter::SetCapture(nullptr);
            return status;
        }
        mimaki::RetrievalTarget target;
        if (!mimaki::FindRetrievalTarget(uid, env, a.mode, target, error))
            throw std::runtime_error(error);

        interrupt::Install();
        CRetrieveQI query(a.mode);
        Listener listener(query, err, !a.quiet && !a.json && ::isatty(2));
        RetrieveOptions options;
        options.portName = a.port;
        if (a.timeout > 0)
            options.timeouts.connect = options.timeouts.io = a.timeout;
        const bool ok = mimaki::RunRetrieval(query, env, target, listener, options);
        listener.EndLine();
        const RetrieveResult& r = query.Result();

        std::vector<std::string> stored, deleted;
        if (ok) {
            mimaki::StoreRetrieved(env, target, a.mode, r);
            if (a.mode == kRetrievePrintModes) {
                stored = {WideToUtf8(target.printModeKey), "NewQIDataHasBeenRetrieved"};
                deleted = {WideToUtf8(PrEnv_InkSet.pszKey)};
            } else {
                stored = {WideToUtf8(target.dotVolumeKey)};
                if (r.versionRead && !target.versionKey.empty())
                    stored.push_back(WideToUtf8(target.versionKey));
            }
            if (!env.SaveToIni(a.settings, error))
                throw std::runtime_error(error);
        }
        if (ok)
            for (const std::string& note : notes)
                err << "parmtool: note: " << note << "\n";
        const int signal = interrupt::Signal();
        const int status = ok ? 0 : signal ? 128 + signal : 1;

        if (a.json) {
            out << "{\"mode\": \"" << (a.mode == kRetrievePrintModes ? "print-modes" : "dot-volumes")
                << "\", \"uid\": " << uid << ", \"class\": " << JsonString(target.parmsClass)
                << ", \"page\": " << JsonString(target.page->page)
                << ", \"direct\": " << (a.mode == kRetrieveDotVolumes && target.page->directStatus ? "true" : "false")
                << ", \"port\": " << JsonString(WideToUtf8(r.portName))
                << ", \"portType\": " << JsonString(WideToUtf8(r.portType)) << ", \"success\": " << (ok ? "true" : "false")
                << ", \"aborted\": " << (r.aborted ? "true" : "false") << ", \"messages\": [";
            for (std::size_t i = 0; i < r.messages.size(); ++i)
                out << (i ? ", " : "") << "{\"id\": " << r.messages[i].first
                    << ", \"text\": " << JsonString(WideToUtf8(r.messages[i].second)) << "}";
            out << "], \"stored\": " << Texts(stored) << ", \"deleted\": " << Texts(deleted);
            if (a.mode == kRetrievePrintModes) {
                out << ", \"bytes\": " << r.printModeText.size() / 2
                    << ", \"conditions\": " << r.conditions.m_Conditions.size()
                    << ", \"inksets\": " << JsonString(WideToUtf8(r.inksetNames));
            } else {
                out << ", \"fromInkVolume\": " << (r.fromInkVolume ? "true" : "false")
                    << ", \"commandManualVersion\": ";
                if (r.versionRead)
                    out << r.commandManualVersion;
                else
                    out << "null";
                out << ", \"versionFlag\": " << r.versionFlag << ", \"dotVolumes\": [";
                for (std::size_t i = 0; ok && i < r.dotVolumes.size() / 2; ++i) {
                    const unsigned v = Value(r.dotVolumes, i);
                    out << (i ? ", " : "") << (v == 0xFFFF ? "null" : std::to_string(v));
                }
                out << "]";
            }
            out << "}\n";
        } else if (ok) {
            for (const auto& [id, text] : r.messages)
                out << WideToUtf8(text) << "\n";
            if (a.mode == kRetrievePrintModes) {
                out << r.printModeText.size() / 2 << " bytes, " << r.conditions.m_Conditions.size()
                    << " print conditions, ink sets " << WideToUtf8(r.inksetNames) << "\n";
            } else {
                if (r.fromInkVolume)
                    out << "the printer sent no status block: the dot volumes come from PrEnv_InkVolume\n";
                if (r.versionRead)
                    out << "command-manual version " << r.commandManualVersion << " (version flag " << r.versionFlag
                        << ")\n";
                // Group by group, each slot's three values; '-' where the
                // printer has none.
                for (std::size_t g = 0; g < 6; ++g) {
                    out << "group " << g << ":";
                    for (std::size_t s = 0; s < 10; ++s) {
                        out << (s ? " |" : "");
                        for (std::size_t v = 0; v < 3; ++v) {
                            const unsigned value = Value(r.dotVolumes, (g * 10 + s) * 3 + v);
                            out << " " << (value == 0xFFFF ? std::string("-") : std::to_string(value));
                        }
                    }
                    out << "\n";
                }
            }
            out << "stored in " << a.settings << " [" << section << "]:";
            for (const std::string& k : stored)
                out << " " << k;
            for (const std::string& k : deleted)
                out << " (" << k << " deleted)";
            out << "\n";
        }
        if (!ok && !r.messages.empty()) {
            // One line: the last message, the earlier ones and the notes as
            // its reasons.
            std::string reasons;
            for (std::size_t i = 0; i + 1 < r.messages.size(); ++i)
                reasons += (reasons.empty() ? "" : "; ") + OneLine(r.messages[i].second);
            for (const std::string& note : notes)
                reasons += (reasons.empty() ? "" : "; ") + note;
            err << "parmtool: " << OneLine(r.messages.back().second) << (reasons.empty() ? "" : " (" + reasons + ")")
                << "\n";
        }
        if (!ok) {
            if (signal)
                err << "parmtool: retrieval aborted by " << interrupt::Name(signal) << "; nothing stored\n";
            else if (r.aborted)
                err << "parmtool: retrieval aborted; nothing stored\n";
        }
        CVoLogReporter::SetCapture(nullptr);
        return status;
    } catch (const Usage& u) {
        CVoLogReporter::SetCapture(nullptr);
        err << "parmtool: " << u.message << " (parmtool retrieve --help shows the usage)\n";
        return 2;
    } catch (const std::exception& e) {
        CVoLogReporter::SetCapture(nullptr);
        for (const std::string& n : notes)
            err << "parmtool: note: " << n << "\n";
        err << "parmtool: " << e.what() << "\n";
        return 1;
    }
}

} // namespace parmtool
