#include "tools/parmtool/ParmTool.h"
#include "tools/parmtool/Retrieve.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <sstream>

#include "devparms/MimakiDevParms.h"
#include "devparms/MimakiDevParmsCJV330.h"
#include "devparms/ParmKeys.h"
#include "driver/MimakiBaseDriver.h"
#include "entry/ModelTable.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/PrinterSection.h"
#include "host/WriteTarget.h"
#include "host/OutputSink.h"
#include "host/PrinterDriverBase.h"
#include "host/StrUtil.h"
#include "tools/parmtool/Layers.h"
#include "tools/streamdump/StreamParser.h"
#include "tools/common/Json.h"
#include "tools/common/PrinterDefinitions.h"
#include "tools/parmtool/MirrorCapture.h"

namespace parmtool {

namespace {

using mimaki::parms::Key;
using mimaki::parms::KeyTable;
using mimaki::parms::Kind;

constexpr const char* kUsage =
    "usage: parmtool keys --uid N [--json]\n"
    "       parmtool save [--uid N] [--settings FILE.ini [--printer NAME]] [--set KEY=VALUE]... [--json] [-o FILE.ini]\n"
    "       parmtool show [--uid N] [--settings FILE.ini [--printer NAME]] [--set KEY=VALUE]... [--json]\n"
    "       parmtool start [--uid N] [--settings ...] [--set ...] [--dpi H[xV]] [--cut C] [--command-set S]\n"
    "                      [--job-name T] [--json]\n"
    "       parmtool retrieve --settings FILE.ini [--printer NAME] --print-modes|--dot-volumes [--port NAME] [--json]\n"
    "       parmtool layers [--uid N] [--settings ...] [--set ...] [--json]\n"
    "The UID selects the model (low 8 bits); without --uid the section's PrEnv_UID is used.\n"
    "save loads the section as the plug-in does, saves it back (old keys move to their new names)\n"
    "and prints the whole section; -o writes it to FILE.ini (the same file migrates it in place).\n"
    "layers lists the multi-layer kinds a JFX model offers for its \"JFXPrinterType\", \"JFXLayerMode\",\n"
    "\"bUJF7151\" and \"bJFX200\" (id, label, record, underprint) and its basic layers.\n";

struct Usage {
    std::string message;
};
struct Failure {
    std::string message;
};

struct Options {
    std::string command;
    int uid = -1;
    std::string settings;
    bool haveSettings = false;
    std::string printer;
    std::vector<std::pair<std::wstring, std::wstring>> sets;
    bool json = false;
    std::string output;
    // start: the job's data.
    double dpiH = 720, dpiV = 720;
    int cut = -1; // -1: the class's default for the job's cut option
    int commandSet = -1;
    std::wstring jobName = L"job";
};

int ParseUid(const std::string& text)
{
    std::string what;
    if (!CheckUidText(Utf8ToWide(text), what))
        throw Failure{"unknown UID '" + text + "': give a model number from 0 to 255"};
    CPrintEnv probe;
    probe.PutString(L"u", Utf8ToWide(text));
    return probe.GetInt(L"u", -1);
}

Options ParseArgs(const std::vector<std::string>& args)
{
    Options o;
    if (args.empty())
        throw Usage{"no command"};
    o.command = args[0];
    if (o.command == "--help" || o.command == "-h")
        return o;
    if (o.command != "keys" && o.command != "save" && o.command != "show" && o.command != "start" &&
        o.command != "layers")
        throw Usage{"unknown command '" + o.command + "'"};
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw Usage{a + " needs a value"};
            return args[++i];
        };
        if (a == "--uid") {
            o.uid = ParseUid(value());
        } else if (a == "--settings") {
            o.settings = value();
            o.haveSettings = true;
            if (o.settings.empty())
                throw Usage{"--settings needs a file name"};
        } else if (a == "--printer") {
            o.printer = value();
        } else if (a == "--set") {
            const std::string& kv = value();
            const auto eq = kv.find('=');
            if (eq == std::string::npos || eq == 0)
                throw Usage{"--set expects KEY=VALUE, got '" + kv + "'"};
            o.sets.emplace_back(Utf8ToWide(kv.substr(0, eq)), Utf8ToWide(kv.substr(eq + 1)));
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--dpi" && o.command == "start") {
            const std::string& d = value();
            char* end = nullptr;
            o.dpiH = std::strtod(d.c_str(), &end);
            o.dpiV = *end == 'x' ? std::strtod(end + 1, &end) : o.dpiH;
            if (*end || !(o.dpiH >= 1 && o.dpiH <= 100000) || !(o.dpiV >= 1 && o.dpiV <= 100000))
                throw Usage{"--dpi expects H or HxV in dots per inch, got '" + d + "'"};
        } else if (a == "--cut" && o.command == "start") {
            const std::string& c = value();
            if (c != "0" && c != "1" && c != "2")
                throw Usage{"--cut expects 0 (no cut), 1 (cut) or 2 (the printer's setting), got '" + c + "'"};
            o.cut = c[0] - '0';
        } else if (a == "--command-set" && o.command == "start") {
            const std::string& c = value();
            if (c.size() != 1 || c[0] < '0' || c[0] > '4')
                throw Usage{"--command-set expects 0 to 4, got '" + c + "'"};
            o.commandSet = c[0] - '0';
        } else if (a == "--job-name" && o.command == "start") {
            o.jobName = Utf8ToWide(value());
        } else if (a == "-o" && o.command == "save") {
            o.output = value();
        } else if (a == "--help" || a == "-h") {
            o.command = "--help";
            return o;
        } else {
            throw Usage{"unknown option '" + a + "'"};
        }
    }
    if (!o.printer.empty() && !o.haveSettings)
        throw Usage{"--printer needs --settings"};
    return o;
}

// The store the command works on: a section of a settings file, then the
// --set values.
int UidOf(const Options& o, const CPrintEnv& env);

// The printer's section (and --set), with the model's definition in the keys
// the section does not hold; defined: the keys the definition added.
CPrintEnv LoadStore(const Options& o, std::vector<std::wstring>* defined = nullptr)
{
    CPrintEnv env;
    std::string error;
    if (o.haveSettings && !LoadPrinterSection(o.settings, o.printer, o.uid < 0, env, error))
        throw Failure{error};
    for (const auto& [key, value] : o.sets) {
        if (!CheckUserSetting(key, value, error))
            throw Failure{"--set: " + error};
        env.PutString(key.c_str(), value);
    }
    // A UID given on the command line is the printer's: it is saved with it.
    if (o.uid >= 0)
        env.PutInt(PrEnv_UID.pszKey, o.uid);
    const std::vector<std::wstring> added = printerdefs::Apply(env, UidOf(o, env));
    if (defined)
        *defined = added;
    return env;
}

int UidOf(const Options& o, const CPrintEnv& env)
{
    if (o.uid >= 0)
        return o.uid;
    if (!env.HasKey(PrEnv_UID.pszKey))
        throw Failure{"no UID: give --uid N or a settings section with PrEnv_UID"};
    return env.GetInt(PrEnv_UID) & 255;
}

struct Model {
    int uid;
    const mimaki::ParmsClass* cls;
    std::unique_ptr<CUnivDevParmsBase> parms;
    const KeyTable* table;
};

// The class Create builds for the UID, with the same selection keys.
Model Build(int uid, const CPrintEnv& env)
{
    Model m{uid, mimaki::SelectParms(mimaki::FindModel(uid), env), nullptr, nullptr};
    m.parms.reset(m.cls->make());
    m.table = mimaki::KeyTableOf(m.parms.get());
    return m;
}

// The plug-in's log reports while a command runs; they are shown as notes
// (without the reporting function's name) after loading.
std::vector<std::string>& LogLines()
{
    static std::vector<std::string> lines;
    return lines;
}

void Warn(const CPrintEnv& env, std::ostream& err)
{
    for (std::string line : LogLines()) {
        if (line.rfind("***", 0) == 0 && line.find(": ") != std::string::npos)
            line = line.substr(line.find(": ") + 2);
        while (!line.empty() && line.back() == '\n')
            line.pop_back();
        err << "parmtool: note: " << line << "\n";
    }
    LogLines().clear();
    for (const CPrintEnv::BadValue& bad : env.BadValues())
        err << "parmtool: warning: " << WideToUtf8(bad.key) << "=" << WideToUtf8(bad.text) << " "
            << (bad.problem.empty() ? "is not a whole number; the default is used" : bad.problem) << "\n";
}

std::string Quoted(const std::wstring& text) { return JsonString(WideToUtf8(text)); }

const char* TypeName(Kind kind)
{
    switch (kind) {
    case Kind::Int:
    case Kind::ModelInt:
    case Kind::OldDotSize:
    case Kind::OldHeater:
    case Kind::OldWhite: return "int";
    case Kind::Real:
    case Kind::RealToString:
    case Kind::OldDryTime: return "number";
    case Kind::Text:
    case Kind::ModelText: return "text";
    case Kind::Bytes: return "bytes";
    case Kind::Hex360: return "hex360";
    }
    return "?";
}

bool IsNumberKind(Kind kind) { return std::string(TypeName(kind)) != "text" && kind != Kind::Bytes && kind != Kind::Hex360; }

// A value as JSON: numbers stay numbers.
std::string JsonValue(Kind kind, const std::wstring& text)
{
    if (kind == Kind::Int || kind == Kind::ModelInt || kind == Kind::Real || kind == Kind::RealToString) {
        const double v = DoubleFromString(text);
        std::ostringstream s;
        s << v;
        return s.str();
    }
    return Quoted(text);
}

int Keys(const Options& o, std::ostream& out)
{
    CPrintEnv env = LoadStore(o);
    Model m = Build(UidOf(o, env), env);
    if (!m.table)
        throw Failure{"UID " + std::to_string(m.uid) + " has no model: the plain parameters read no keys"};
    // Defaults derived at load time are shown as an empty store derives them.
    CPrintEnv empty;
    auto probe = std::unique_ptr<CUnivDevParmsBase>(m.cls->make());
    probe->Load(&empty);
    LogLines().clear();
    const auto keys = m.table->Keys();
    if (o.json) {
        out << "{\"uid\": " << m.uid << ", \"class\": " << JsonString(m.cls->name)
            << ", \"prefix\": " << Quoted(m.table->Prefix()) << ", \"keys\": [";
    } else {
        out << m.cls->name << ", prefix \"" << WideToUtf8(m.table->Prefix()) << "\", " << keys.size()
            << " keys in load order (model: model-definition key, read only):\n";
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const Key& key = keys[i];
        const bool model = mimaki::parms::IsModelKey(key.kind);
        const bool old = mimaki::parms::IsOldKey(key.kind);
        const bool derived = key.intDefault || key.textDefault;
        std::wstring def;
        if (derived)
            def = m.table->FieldText(*probe, i);
        else if (key.kind == Kind::Int || key.kind == Kind::ModelInt || (old && key.kind != Kind::OldDryTime))
            def = std::to_wstring(key.def);
        else
            def = key.text ? key.text : L"";
        if (key.kind == Kind::Hex360 && def.empty())
            def = std::wstring(720, L'0');
        if (o.json) {
            out << (i ? ", " : "") << "{\"key\": " << Quoted(m.table->StoredName(i)) << ", \"type\": \""
                << TypeName(key.kind) << "\", \"default\": "
                << (IsNumberKind(key.kind) ? JsonValue(Kind::Real, def) : Quoted(def))
                << ", \"model\": " << (model ? "true" : "false") << ", \"superseded\": " << (old ? "true" : "false")
                << ", \"derived\": " << (derived ? "true" : "false") << "}";
        } else {
            std::string shown = WideToUtf8(def);
            if (key.kind == Kind::Hex360)
                shown = shown.substr(0, 24) + "... (360 bytes)";
            out << "  " << WideToUtf8(m.table->StoredName(i)) << "  " << TypeName(key.kind)
                << (model ? " model" : "") << (old ? " superseded" : "") << "  default "
                << (key.kind == Kind::Text || key.kind == Kind::ModelText ? "\"" + shown + "\"" : shown)
                << (derived ? " (derived)" : "") << "\n";
        }
    }
    // Keys read once per list entry (layer), n = 1 up to the list's length.
    if (const mimaki::parms::KeyList* list = m.table->GetProfile().list) {
        const std::string count = WideToUtf8(m.table->Prefix()) + "_" + WideToUtf8(list->count);
        for (const mimaki::parms::ListKey& key : list->keys) {
            const std::string name = WideToUtf8(m.table->ListKeyPattern(key));
            if (o.json)
                out << ", {\"key\": " << JsonString(name) << ", \"type\": \"int\", \"default\": 0, \"model\": false, "
                    << "\"superseded\": false, \"derived\": false, \"perLayer\": true}";
            else
                out << "  " << name << "  int  default 0 (" << (list->entry ? "layer n of " : "n = 1 .. ") << count
                    << ")\n";
        }
    }
    if (o.json)
        out << "]}\n";
    return 0;
}

int Save(const Options& o, std::ostream& out, std::ostream& err)
{
    std::vector<std::wstring> defined;
    CPrintEnv env = LoadStore(o, &defined);
    Model m = Build(UidOf(o, env), env);
    env.ClearBadValues();
    m.parms->Load(&env);
    Warn(env, err);
    m.parms->Save(&env);
    if (env.Name().empty())
        env.SetName(o.printer.empty() ? L"UID " + std::to_wstring(m.uid) : Utf8ToWide(o.printer));
    // The model's definition comes with the printer; it is not the printer's
    // setting and is not written into its section.
    for (const std::wstring& key : defined)
        env.DeleteEntry(key.c_str());
    if (!o.output.empty()) {
        // A device, FIFO or standard output gets the section alone, written
        // in place; a file is read for its other sections and replaced.
        std::string error, text;
        CIniFile section;
        section.Get(env.Name()).entries = env.Values();
        const bool written = WritesInPlace(o.output)
                                 ? section.Format(text, error) && WriteInPlace(o.output, text, error)
                                 : env.SaveToIni(o.output, error);
        if (!written)
            throw Failure{error};
        if (o.output == "-")
            return 0;
    }
    const std::vector<CDeviceEnv::Entry> saved = env.Values();
    if (o.json) {
        out << "{\"uid\": " << m.uid << ", \"class\": " << JsonString(m.cls->name) << ", \"saved\": [";
        for (std::size_t i = 0; i < saved.size(); ++i)
            out << (i ? ", " : "") << "[" << Quoted(saved[i].first) << ", " << Quoted(saved[i].second) << "]";
        out << "]}\n";
    } else {
        out << "[" << WideToUtf8(env.Name()) << "]\n";
        for (const auto& [key, value] : saved)
            out << WideToUtf8(key) << "=" << WideToUtf8(value) << "\n";
    }
    return 0;
}

// One answer: a name and its value as JSON text.
using Answer = std::pair<std::string, std::string>;

std::string Numbers(const std::vector<double>& values)
{
    std::ostringstream s;
    s << "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        s << (i ? ", " : "") << values[i];
    s << "]";
    return s.str();
}

std::vector<Answer> Answers(CUnivDevParmsBase& parms)
{
    std::vector<Answer> a;
    auto num = [](double v) {
        std::ostringstream s;
        s << v;
        return s.str();
    };
    a.emplace_back("GetMediaCut", num(parms.GetMediaCut()));
    CJobPrintOptionQuery query{0, -99999};
    const int available = parms.JobPrintOptionAvailable(query);
    a.emplace_back("JobPrintOptionAvailable", available && query.value != -99999 ? num(query.value) : "null");
    CQueryNpMargin npQuery;
    const CDRc margins = parms.MediaSizeGetNpMargin(npQuery);
    a.emplace_back("MediaSizeGetNpMargin", Numbers({margins.left, margins.top, margins.right, margins.bottom}));
    a.emplace_back("bStrObSeq", num(parms.bStrObSeq()));
    auto* p = dynamic_cast<CMimakiDevParmsBase*>(&parms);
    if (!p)
        return a;
    a.emplace_back("GetHighSpeed", num(p->GetHighSpeed()));
    a.emplace_back("bDoubleLine", num(p->bDoubleLine));
    a.emplace_back("UsesJV3WhiteDriver", num(p->UsesJV3WhiteDriver()));
    a.emplace_back("Uses604SpecialDriver", num(p->Uses604SpecialDriver()));
    a.emplace_back("UsesWhiteDriver", num(p->UsesWhiteDriver()));
    a.emplace_back("IsWhiteLayerActive", num(p->IsWhiteLayerActive()));
    a.emplace_back("IsColorLayerSeparate", num(p->IsColorLayerSeparate()));
    a.emplace_back("IsClearCoatLayerActive", num(p->IsClearCoatLayerActive()));
    std::vector<double> scheduled, reversed;
    for (int layer = 0; layer < 256; ++layer) {
        if (p->IsLayerScheduled(layer))
            scheduled.push_back(layer);
        if (p->IsLayerReversed(layer))
            reversed.push_back(layer);
    }
    a.emplace_back("IsLayerScheduled", Numbers(scheduled));
    a.emplace_back("IsLayerReversed", Numbers(reversed));
    a.emplace_back("IsSplitPrintArea", num(p->IsSplitPrintArea()));
    a.emplace_back("GetLayerWhiteOrder", num(p->GetLayerWhiteOrder()));
    a.emplace_back("GetWhiteOrderOrMode", num(p->GetWhiteOrderOrMode()));
    a.emplace_back("GetLayerOffset", num(p->GetLayerOffset()));
    a.emplace_back("GetClearCoatIrradiation", num(p->GetClearCoatIrradiation()));
    a.emplace_back("IsHeadCleaningEnabled", num(p->IsHeadCleaningEnabled()));
    double nonBlank = 0, blank = 0;
    p->GetHeadCleaningDistances(nonBlank, blank);
    a.emplace_back("GetHeadCleaningDistances", Numbers({nonBlank, blank}));
    // The colour map by host colour code, and the colour ids by slot.
    std::string map = "{";
    for (const auto& [colour, id] : p->m_MimakiColorMap)
        map += (map.size() > 1 ? ", \"" : "\"") + std::to_string(colour) + "\": " + num(p->GetColorMapValue(colour));
    a.emplace_back("GetColorMapValue", p->GetColorMapValue(0) == -1 ? "null" : map + "}");
    std::vector<double> ids;
    for (int i = 0; i < 64 && p->GetColorIdAt(i) != 99 && p->GetColorIdAt(i) != -1; ++i)
        ids.push_back(p->GetColorIdAt(i));
    a.emplace_back("GetColorIdAt", p->GetColorIdAt(0) == -1 ? "null" : Numbers(ids));
    if (auto* plus = dynamic_cast<DEVPARMCJV300_PLUS_CLASS*>(p))
        a.emplace_back("GetBitsPerPixel", num(plus->GetBitsPerPixel()));
    if (auto* jv330 = dynamic_cast<DEVPARMJV330_CLASS*>(p))
        a.emplace_back("GetBitsPerPixel", num(jv330->GetBitsPerPixel()));
    return a;
}

int Show(const Options& o, std::ostream& out, std::ostream& err)
{
    CPrintEnv env = LoadStore(o);
    Model m = Build(UidOf(o, env), env);
    env.ClearBadValues();
    m.parms->Load(&env);
    Warn(env, err);

    // The record: the shared fields, then the class's own in key order.
    std::vector<Answer> record;
    if (auto* p = dynamic_cast<CMimakiDevParmsBase*>(m.parms.get()))
        for (const auto& f : CMimakiDevParmsBase::SharedFields())
            record.emplace_back(f.name, std::to_string(p->*(f.field)));
    if (m.table) {
        const auto keys = m.table->Keys();
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (mimaki::parms::IsOldKey(keys[i].kind))
                continue;
            const std::string name = WideToUtf8(keys[i].name);
            const std::string value = JsonValue(keys[i].kind, m.table->FieldText(*m.parms, i));
            // A key stored in a shared field shows there.
            bool shared = false;
            for (auto& r : record)
                if (r.first == name)
                    shared = true;
            if (!shared)
                record.emplace_back(name, value);
        }
        // The list entries (the layers of the layered models) as stored:
        // integers, written whole.
        const std::wstring prefix = std::wstring(m.table->Prefix()) + L'_';
        for (const auto& [key, value] : m.table->ListEntries(*m.parms))
            record.emplace_back(WideToUtf8(key.substr(prefix.size())), WideToUtf8(value));
    }
    const std::vector<Answer> answers = Answers(*m.parms);
    if (o.json) {
        out << "{\"uid\": " << m.uid << ", \"class\": " << JsonString(m.cls->name) << ", \"record\": {";
        for (std::size_t i = 0; i < record.size(); ++i)
            out << (i ? ", " : "") << JsonString(record[i].first) << ": " << record[i].second;
        out << "}, \"answers\": {";
        for (std::size_t i = 0; i < answers.size(); ++i)
            out << (i ? ", " : "") << JsonString(answers[i].first) << ": " << answers[i].second;
        out << "}}\n";
    } else {
        out << m.cls->name << " (UID " << m.uid << ")\nrecord:\n";
        for (const auto& [name, value] : record)
            out << "  " << name << ": " << value << "\n";
        out << "answers:\n";
        for (const auto& [name, value] : answers)
            out << "  " << name << ": " << value << "\n";
    }
    return 0;
}

// The job's start and end as the model's driver (or the legacy driver
// while the model's is not built) sends them, decoded command by command.
int Start(const Options& o, std::ostream& out, std::ostream& err)
{
    CPrintEnv env = LoadStore(o);
    const int uid = UidOf(o, env);
    env.PutInt(PrEnv_UID.pszKey, uid);
    if (o.commandSet >= 0)
        env.PutInt(L"nFunctModeId", o.commandSet);
    env.ClearBadValues();
    std::unique_ptr<CPrinterDriverBase> driver(
        dynamic_cast<CPrinterDriverBase*>(mimaki::CreateForRow(&env, mimaki::FindModel(uid), uid)));
    std::string driverName = "the model's driver";
    if (!driver) {
        Model m = Build(uid, env);
        m.parms->Load(&env);
        driver = std::make_unique<CMimakiLegacyBasePrinterDriver>(&env, m.parms.release());
        driverName = "CMimakiLegacyBasePrinterDriver (the model's driver is not built)";
    }
    Warn(env, err);
    CUnivDevParmsBase* parms = driver->GetDevParms();

    CPrintJobOpenContext ctx;
    ctx.dpiFirst = o.dpiH;
    ctx.dpiSecond = o.dpiV;
    ctx.pixelWidth = 1000;
    ctx.rowCount = 1000;
    ctx.colourCodes = {0, 1, 2, 3};
    ctx.functMode = o.commandSet >= 0 ? o.commandSet : 0;
    ctx.jobName = o.jobName;
    if (o.cut >= 0) {
        ctx.cutOption = o.cut;
    } else {
        CJobPrintOptionQuery query{0, 0};
        parms->JobPrintOptionAvailable(query);
        ctx.cutOption = query.value;
    }
    // A job mirrored to a file: its start and end as the file receives them
    // (with "nRedirectMode" 2 the printer gets nothing).
    const int redirect = env.GetInt(L"nRedirectMode", 0);
    std::unique_ptr<MirrorCapture> mirror;
    if (redirect == 1 || redirect == 2)
        mirror = std::make_unique<MirrorCapture>();
    CMemorySink sink;
    driver->SetOutputSink(&sink);
    if (!driver->JobOpen(&ctx))
        throw Failure{"the driver refused the job"};
    const auto* mimakiParms = dynamic_cast<CMimakiDevParmsBase*>(parms);
    const mimaki::parms::KeyTable* table = mimaki::KeyTableOf(parms);
    const bool layered = table && table->GetProfile().layered;
    std::string start, end, mirrorName;
    if (layered && mimakiParms) {
        // The first layer section as the layer drivers start it.
        auto* p = const_cast<CMimakiDevParmsBase*>(mimakiParms);
        start = p->GetLayerStartString(driver.get(), 0, 0, 0, 0);
        // A class with an end of its own (the CJV300 PLUS) closes its last
        // layer in it.
        end = table->GetProfile().end == mimaki::parms::EndString::Own ? std::string()
                                                                       : p->GetLayerEndString(driver.get(), 0, 1);
        end += parms->GetEndString(driver.get());
    } else {
        if (!parms->OutputStartString(driver.get()))
            throw Failure{"the start string could not be made"};
        start = sink.Data();
        sink.Clear();
        const IOutputSink* mirrorSink = driver->GetMirrorSink();
        const std::size_t mirroredStart = mirrorSink ? mirrorSink->BytesWritten() : 0;
        if (!parms->OutputEndString(driver.get()))
            throw Failure{"the end string could not be made"};
        end = sink.Data();
        if (mirror) {
            const bool wasMirrored = mirrorSink != nullptr;
            if (!driver->JobClose())
                throw Failure{"the mirror file could not be written"};
            std::string bytes;
            if (wasMirrored && mirror->Take(mirrorName, bytes) && bytes.size() >= mirroredStart) {
                start = bytes.substr(0, mirroredStart);
                end = bytes.substr(mirroredStart);
            }
        }
    }

    std::vector<streamparse::Command> commands;
    streamparse::ParseOptions options;
    options.uid = uid; // commands whose layout depends on the model
    options.onCommand = [&commands](const streamparse::Command& c) { commands.push_back(c); };
    const streamparse::ParseResult parsed = streamparse::ParseStream(start + end, options);
    auto hex = [](const std::string& bytes) {
        static const char digits[] = "0123456789abcdef";
        std::string h;
        for (const unsigned char c : bytes) {
            h += digits[c >> 4];
            h += digits[c & 15];
        }
        return h;
    };
    if (o.json) {
        out << "{\"uid\": " << uid << ", \"start\": \"" << hex(start) << "\", \"end\": \"" << hex(end) << "\", ";
        if (!mirrorName.empty())
            out << "\"mirrorFile\": " << JsonString(mirrorName) << ", \"redirectMode\": " << redirect << ", ";
        out << "\"commands\": [";
        for (std::size_t i = 0; i < commands.size(); ++i)
            out << (i ? ", " : "") << "{\"offset\": " << commands[i].offset << ", \"part\": \""
                << (commands[i].offset < start.size() ? "start" : "end") << "\", \"name\": "
                << JsonString(commands[i].name) << ", \"fields\": " << JsonString(commands[i].fields) << "}";
        out << "], \"errors\": [";
        for (std::size_t i = 0; i < parsed.errors.size(); ++i)
            out << (i ? ", " : "") << "{\"offset\": " << parsed.errors[i].offset
                << ", \"message\": " << JsonString(parsed.errors[i].message) << "}";
        out << "]}\n";
    } else {
        out << "UID " << uid << ", " << driverName << ": start " << start.size() << " bytes, end " << end.size()
            << " bytes\n";
        if (!mirrorName.empty())
            out << "mirror file \"" << mirrorName << "\" (nRedirectMode " << redirect
                << (redirect == 2 ? ": the printer gets nothing" : ": the printer gets the same") << ")\n";
        for (const auto& c : commands)
            out << (c.offset < start.size() ? "start " : "end   ") << c.offset << "  " << c.name
                << (c.fields.empty() ? "" : "  " + c.fields) << "\n";
        for (const auto& e : parsed.errors)
            out << "error at " << e.offset << ": " << e.message << "\n";
    }
    return parsed.errors.empty() ? 0 : 1;
}

} // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    // Errors only (level 4); the details of level 8 are for log files.
    CVoLogReporter::SetLoggingLevel(4);
    CVoLogReporter::SetLogFile("/dev/null");
    CVoLogReporter::SetCapture([](int, const std::string& text) { LogLines().push_back(text); });
    try {
        if (!args.empty() && args[0] == "retrieve")
            return RunRetrieve(args, out, err);
        const Options o = ParseArgs(args);
        if (o.command == "--help") {
            out << kUsage;
            return 0;
        }
        if (o.command == "keys")
            return Keys(o, out);
        if (o.command == "save")
            return Save(o, out, err);
        if (o.command == "start")
            return Start(o, out, err);
        if (o.command == "layers") {
            CPrintEnv env = LoadStore(o);
            const int uid = UidOf(o, env);
            env.PutInt(PrEnv_UID.pszKey, uid);
            try {
                const int status = ListLayers(env, uid, o.json, out);
                Warn(env, err);
                return status;
            } catch (const std::runtime_error& e) {
                throw Failure{e.what()};
            }
        }
        return Show(o, out, err);
    } catch (const Usage& u) {
        err << "parmtool: " << u.message << " (parmtool --help shows the usage)\n";
        return 2;
    } catch (const Failure& f) {
        err << "parmtool: " << f.message << "\n";
        return 1;
    } catch (const std::exception& e) {
        err << "parmtool: unexpected failure: " << e.what() << "\n";
        return 1;
    }
}

} // namespace parmtool
