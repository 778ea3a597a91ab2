#include "tools/rastertomimaki/PpdGen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <ostream>
#include <set>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <utility>

#include "devparms/ParmKeys.h"
#include "entry/ModelTable.h"
#include "host/FileIO.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/StrUtil.h"
#include "host/UnivDevParmsBase.h"
#include "printcond/AnalyzeQI.h"
#include "printcond/MimakiPrintModeDataTables.h"
#include "tools/common/ModelBlocks.h"
#include "tools/common/PrinterDefinitions.h"
#include "tools/rasterjob/Plugin.h"
#include "tools/rastertomimaki/PpdNames.h"
#include "tools/rastertomimaki/WhiteUnder.h"

namespace mimakippd {

namespace {

using mimaki::parms::Kind;

constexpr double kPointsPerMm = 72.0 / 25.4;
// Widest medium of the roll and flatbed models: 64 inches.
constexpr double kMaxWidthMm = 1625.6;
// Longest page when the printer's settings give no medium length.
constexpr double kDefaultMaxLengthMm = 50000;
constexpr int kMaxKeyword = 40;
// "ParamCustom" + keyword must stay within a PPD keyword's 40 characters.
constexpr std::size_t kMaxOptionKeyword = kMaxKeyword - 11;

struct PaperSize {
    const char* name;
    const char* label;
    double widthMm, heightMm;
};
constexpr PaperSize kPaperSizes[] = {
    {"A4", "A4", 210, 297},
    {"A3", "A3", 297, 420},
    {"A2", "A2", 420, 594},
    {"A1", "A1", 594, 841},
    {"A0", "A0", 841, 1189},
    {"2A0", "2A0", 1189, 1682},
    {"B1", "B1", 707, 1000},
    {"B0", "B0", 1000, 1414},
    {"Letter", "US Letter", 215.9, 279.4},
    {"Legal", "US Legal", 215.9, 355.6},
    {"Tabloid", "Tabloid", 279.4, 431.8},
    {"ARCHC", "Arch C (18 x 24 in)", 457.2, 609.6},
    {"ARCHD", "Arch D (24 x 36 in)", 609.6, 914.4},
    {"ARCHE", "Arch E (36 x 48 in)", 914.4, 1219.2},
};

struct Resolution {
    int horz, vert;
    bool operator<(const Resolution& o) const { return std::pair(horz, vert) < std::pair(o.horz, o.vert); }
    bool operator==(const Resolution&) const = default;
};
// What every model is offered when its settings name no print modes.
constexpr Resolution kResolutions[] = {{360, 360}, {360, 720}, {720, 720}, {720, 1080}, {720, 1440}, {1440, 1440}};

std::string Points(double mm)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", mm * kPointsPerMm);
    std::string s = buf;
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.')
        s.pop_back();
    return s;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// "JFX500 (second UID)" is shown as "JFX500 UID 41", "TxF150 (DTF)" as
// "TxF150 DTF": a PPD's model names hold no parentheses.
std::string DisplayModel(const std::string& model, int uid)
{
    const std::string second = " (second UID)";
    std::string shown = model;
    if (model.size() > second.size() && model.compare(model.size() - second.size(), second.size(), second) == 0)
        shown = model.substr(0, model.size() - second.size()) + " UID " + std::to_string(uid);
    std::string out;
    for (const char c : shown)
        if (c != '(' && c != ')')
            out += c;
    return out;
}

std::string FileNameFor(const std::string& display)
{
    std::string slug;
    for (const char c : Lower(display)) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            slug += c;
        else if (!slug.empty() && slug.back() != '-')
            slug += '-';
    }
    while (!slug.empty() && slug.back() == '-')
        slug.pop_back();
    return "mimaki-" + slug + ".ppd";
}

// "m_nPreHeaterValue" -> "Pre heater value"; "nLayerOpt3.nPass" -> "Layer
// opt 3 pass".
std::string Label(const std::string& member)
{
    std::string words;
    std::size_t start = 0;
    while (start <= member.size()) {
        std::size_t dot = member.find('.', start);
        if (dot == std::string::npos)
            dot = member.size();
        std::string part = member.substr(start, dot - start);
        if (part.rfind("m_", 0) == 0)
            part = part.substr(2);
        // Hungarian marks: n, b, e, d, str before an upper-case letter.
        for (const char* mark : {"str", "n", "b", "e", "d"}) {
            const std::size_t len = std::char_traits<char>::length(mark);
            if (part.size() > len && part.compare(0, len, mark) == 0 && part[len] >= 'A' && part[len] <= 'Z') {
                part = part.substr(len);
                break;
            }
        }
        for (std::size_t i = 0; i < part.size(); ++i) {
            const char c = part[i];
            const bool upper = c >= 'A' && c <= 'Z';
            const bool digit = c >= '0' && c <= '9';
            const char prev = i ? part[i - 1] : ' ';
            const bool prevLower = prev >= 'a' && prev <= 'z';
            const bool prevDigit = prev >= '0' && prev <= '9';
            if (c == '_') {
                if (!words.empty() && words.back() != ' ')
                    words += ' ';
                continue;
            }
            if (!words.empty() && words.back() != ' ' && ((upper && (prevLower || prevDigit)) || (digit && !prevDigit)))
                words += ' ';
            words += upper && !words.empty() && i + 1 < part.size() && part[i + 1] >= 'a' && part[i + 1] <= 'z'
                         ? static_cast<char>(c - 'A' + 'a')
                         : c;
        }
        if (!words.empty() && words.back() != ' ')
            words += ' ';
        start = dot + 1;
    }
    while (!words.empty() && words.back() == ' ')
        words.pop_back();
    if (!words.empty() && words[0] >= 'a' && words[0] <= 'z')
        words[0] = static_cast<char>(words[0] - 'a' + 'A');
    return words.size() > 60 ? words.substr(0, 60) : words;
}

bool IsFlagMember(const std::string& member)
{
    std::string last = member.substr(member.rfind('.') == std::string::npos ? 0 : member.rfind('.') + 1);
    if (last.rfind("m_", 0) == 0)
        last = last.substr(2);
    return last.size() > 1 && last[0] == 'b' && last[1] >= 'A' && last[1] <= 'Z';
}

// A PPD keyword for a settings key: the key itself where it can be, so
// that "lp -o KEY=VALUE" reads as the store does; else a short stand-in.
std::string OptionKeyword(const std::string& key, std::set<std::string>& used)
{
    std::string kw;
    for (const char c : key)
        kw += (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ? c
                                                                                                                : '_';
    if (kw.size() > kMaxOptionKeyword) {
        unsigned hash = 2166136261u;
        for (const char c : key)
            hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        char tail[16];
        std::snprintf(tail, sizeof tail, "_%06x", hash & 0xFFFFFFu);
        kw = kw.substr(0, kMaxOptionKeyword - 7) + tail;
    }
    while (used.count(Lower(kw)))
        kw.back() = kw.back() == 'z' ? 'a' : static_cast<char>(kw.back() + 1);
    used.insert(Lower(kw));
    return kw;
}

// Keeps Create's log lines out of the PPD tool's output: a model that does
// not print says why in one line.
IPrinterDriver* QuietCreate(CPrintEnv& env, const mimaki::ModelRow& row, int uid, std::string& reason)
{
    const int level = CVoLogReporter::LoggingLevel();
    CVoLogReporter::SetLoggingLevel(4);
    CVoLogReporter::SetLogFile("/dev/null");
    CVoLogReporter::SetCapture([&](int lvl, const std::string& text) {
        if (lvl <= 4 && reason.empty())
            reason = text.substr(0, text.find('\n'));
    });
    IPrinterDriver* driver = mimaki::CreateForRow(&env, row, uid);
    CVoLogReporter::SetCapture(nullptr);
    CVoLogReporter::SetLogFile("");
    CVoLogReporter::SetLoggingLevel(level);
    return driver;
}

class Writer {
public:
    void Line(const std::string& s) { m_text += s + "\n"; }
    void OpenUI(const std::string& kw, const std::string& label, int order, const std::string& def)
    {
        Line("*OpenUI *" + kw + "/" + label + ": PickOne");
        Line("*OrderDependency: " + std::to_string(order) + " AnySetup *" + kw);
        Line("*Default" + kw + ": " + def);
    }
    void Choice(const std::string& kw, const std::string& choice, const std::string& label, const std::string& code)
    {
        Line("*" + kw + " " + choice + "/" + label + ": \"" + code + "\"");
    }
    void CloseUI(const std::string& kw) { Line("*CloseUI: *" + kw); }
    std::string& Text() { return m_text; }

private:
    std::string m_text;
};

struct PrintMode {
    std::string keyword, label;
    Resolution res;
    std::string settings;  // escaped KEY=VALUE list
};

std::string LabelText(std::string label)
{
    if (label.size() > 60)
        label = label.substr(0, 60);
    for (char& ch : label)
        if (ch == ':' || ch == '/' || ch == '"')
            ch = ' ';
    return label;
}

void AddSetting(PrintMode& m, const std::string& key, const std::string& value)
{
    if (!key.empty())
        m.settings += (m.settings.empty() ? "" : ";") + ppdnames::Escape(key) + "=" + ppdnames::Escape(value);
}

// The print-condition text the PPD's modes come from: the printer's own
// data, else the embedded block that stands for the model's (named in
// `from`).
std::wstring PrintConditionText(CUnivDevParmsBase& parms, const mimaki::parms::KeyTable& table, int uid,
                                std::string& from)
{
    const auto& profile = table.GetProfile();
    if (!profile.printModeData)
        return {};
    std::wstring text = table.Text(parms, profile.printModeData);
    if (!text.empty()) {
        from = "the printer's print-condition data";
        return text;
    }
    const wchar_t* block = modelblocks::EmbeddedBlockOf(uid);
    const EmbeddedPrintModeEntry* entry = block ? FindEmbeddedPrintModeEntry(block) : nullptr;
    if (!entry)
        return {};
    from = "the embedded print-condition block " + WideToUtf8(entry->name) + " (the printer's own data not read)";
    return EmbeddedPrintModeText(*entry);
}

// The print modes of the print-condition text.
std::vector<PrintMode> PrintModes(const std::wstring& text, const mimaki::parms::KeyTable& table, int inkLevels)
{
    std::vector<PrintMode> modes;
    if (text.empty())
        return modes;
    const auto& profile = table.GetProfile();
    MimakiPrintConditions conditions;
    std::wstring inksets;
    const int level = CVoLogReporter::LoggingLevel();
    CVoLogReporter::SetLoggingLevel(-1);
    const int ok = CAnalyzeQI::Analyze(text, inksets, conditions);
    CVoLogReporter::SetLoggingLevel(level);
    if (!ok)
        return modes;
    const std::string prefix = WideToUtf8(table.Prefix()) + "_";
    auto key = [&](const wchar_t* member) { return member ? prefix + WideToUtf8(member) : std::string(); };
    for (std::size_t i = 0; i < conditions.m_Conditions.size(); ++i) {
        const MimakiPrintCondition& c = conditions.m_Conditions[i];
        std::string name = WideToUtf8(c.printMethodDisplayName);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\0'))
            name.pop_back();
        if (name.empty())
            name = "Mode " + std::to_string(i + 1);
        PrintMode m;
        m.keyword = "PM" + std::to_string(i + 1);
        m.res = {static_cast<int>(c.yDpi), static_cast<int>(c.xDpi)};
        std::string ink = WideToUtf8(c.inksetName);
        while (!ink.empty() && (ink.back() == ' ' || ink.back() == '\0'))
            ink.pop_back();
        m.label = LabelText(name + " " + std::to_string(c.yDpi) + "x" + std::to_string(c.xDpi) +
                            (ink.empty() ? "" : " " + ink));
        const int levels = c.dotBit == 2 ? 3 : inkLevels;
        char parms[96];
        std::snprintf(parms, sizeof parms, "%u,%u,1,1,%d,%u,%u,%u", c.yDpi, c.xDpi, levels, c.printModeSetNumber,
                      c.waveForm, c.enableHQ);
        AddSetting(m, "PrEnv_PrintMethod", name);
        AddSetting(m, "$Parms$" + name, parms);
        AddSetting(m, key(profile.xDpi), std::to_string(c.xDpi));
        AddSetting(m, key(profile.yDpi), std::to_string(c.yDpi));
        if (table.Find(L"nPrintModeSetNumber"))
            AddSetting(m, prefix + "nPrintModeSetNumber", std::to_string(c.printModeSetNumber));
        modes.push_back(std::move(m));
    }
    return modes;
}

// The "M" command classes, whose job start reads the print method's "$Parms$"
// entry for its double-density flag.
bool ReadsPrintMethodEntry(const std::wstring& cls)
{
    for (const int n : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 17})
        if (cls == L"DEVPARM" + std::to_wstring(n) + L"_CLASS")
            return true;
    return false;
}

// The print methods of an "M" class: those the printer's settings define
// ("PrEnv_PrintMethodList" with their "$Parms$" entries), else the ones its
// pass table has passes for (effective vertical 360, 540 and 720 dpi, plain
// or by double density, at 360 and 720 dpi across).
std::vector<PrintMode> PrintMethods(const CPrintEnv& env, int inkLevels)
{
    std::vector<PrintMode> modes;
    auto add = [&](const std::string& name, const std::string& label, Resolution res, const std::string& parms) {
        PrintMode m;
        m.keyword = "PM" + std::to_string(modes.size() + 1);
        m.label = LabelText(label);
        m.res = res;
        AddSetting(m, "PrEnv_PrintMethod", name);
        AddSetting(m, "$Parms$" + name, parms);
        modes.push_back(std::move(m));
    };
    for (const std::wstring& name : Split(env.GetString(PrEnv_PrintMethodList), L',', 1)) {
        const std::wstring entry = env.GetString((L"$Parms$" + name).c_str(), L"");
        const std::vector<std::wstring> items = Split(entry, L',', 1);
        if (name.empty() || items.size() < 2 || IntFromString(items[0]) <= 0 || IntFromString(items[1]) <= 0)
            continue;
        const bool dd = items.size() > 5 && IntFromString(items[5]) == 1;
        add(WideToUtf8(name), WideToUtf8(name) + (dd ? " (double density)" : ""),
            {IntFromString(items[0]), IntFromString(items[1])}, WideToUtf8(entry));
    }
    if (!modes.empty())
        return modes;
    struct Vertical {
        int dpi, doubleDensity;
    };
    constexpr Vertical kVerticals[] = {{360, 0}, {540, 0}, {720, 0}, {180, 1}, {270, 1}, {360, 1}};
    for (const int horz : {360, 720})
        for (const Vertical& v : kVerticals) {
            const std::string res = std::to_string(horz) + "x" + std::to_string(v.dpi);
            const std::string name = res + (v.doubleDensity ? "DD" : "");
            const std::string label = std::to_string(horz) + " x " + std::to_string(v.dpi) + " dpi" +
                                      (v.doubleDensity ? ", double density (" + std::to_string(horz) + " x " +
                                                             std::to_string(2 * v.dpi) + ")"
                                                       : "");
            add(name, label, {horz, v.dpi},
                std::to_string(horz) + "," + std::to_string(v.dpi) + ",1,1," + std::to_string(inkLevels) + "," +
                    std::to_string(v.doubleDensity));
        }
    return modes;
}

} // namespace

bool MakePpd(const CPrintEnv& given, const std::string& settingsFile, const std::string& section, Ppd& out,
             std::string& error)
{
    CPrintEnv env = given;
    const int uid = env.GetInt(PrEnv_UID) & 255;
    // The printer as a host supplies it: the model's definition under the
    // printer's own settings.
    printerdefs::Apply(env, uid);
    const mimaki::ModelRow& row = mimaki::FindModel(uid);
    if (row.uid != uid || !row.model || !*row.model) {
        error = "UID " + std::to_string(uid) + " is no model of the model table";
        return false;
    }
    std::string reason;
    std::unique_ptr<IPrinterDriver> object(QuietCreate(env, row, uid, reason));
    auto* driver = dynamic_cast<CPrinterDriverBase*>(object.get());
    CUnivDevParmsBase* parms = driver ? driver->GetDevParms() : nullptr;
    if (!parms) {
        error = "UID " + std::to_string(uid) + " (" + row.model + "): the plug-in makes no printer" +
                (reason.empty() ? "" : ": " + reason);
        return false;
    }
    const mimaki::parms::KeyTable* table = mimaki::KeyTableOf(parms);

    // What the class derives on save: ink levels and its resolution.
    CPrintEnv saved = env;
    saved.ClearBadValues();
    parms->Save(&saved);
    const int inkLevels = saved.GetInt(PrEnv_InkLevels);
    Resolution defaultRes{saved.GetInt(PrEnv_DpiHorz), saved.GetInt(PrEnv_DpiVert)};
    if (defaultRes.horz <= 0 || defaultRes.vert <= 0)
        defaultRes = {720, 720};

    CQueryNpMargin query;
    const CDRc margins = parms->MediaSizeGetNpMargin(query);
    const double rightMm = std::max(0.0, margins.left), leftMm = std::max(0.0, margins.right);
    CJobPrintOptionQuery option0;
    parms->JobPrintOptionAvailable(option0);
    const int cutDefault = option0.value;

    std::string modesFrom;
    std::vector<PrintMode> modes;
    const bool printMethods = table && ReadsPrintMethodEntry(table->ClassName());
    if (printMethods) {
        modes = PrintMethods(env, inkLevels);
        modesFrom = "the print methods of the " + WideToUtf8(table->ClassName()) + " parameters";
    } else if (table) {
        modes = PrintModes(PrintConditionText(*parms, *table, uid, modesFrom), *table, inkLevels);
    }
    std::set<Resolution> resolutions;
    // An "M" class prints any resolution; its print methods add theirs.
    if (modes.empty() || printMethods)
        resolutions.insert(std::begin(kResolutions), std::end(kResolutions));
    for (const PrintMode& m : modes)
        resolutions.insert(m.res);
    if (modes.empty() || !resolutions.count(defaultRes))
        resolutions.insert(defaultRes);

    double maxLengthMm = std::atof(WideToUtf8(env.GetString(PrEnv_MaxMediaLengthMm)).c_str());
    if (maxLengthMm <= 0)
        maxLengthMm = env.GetInt(L"MaxMediaLengthFullAreaMm", 0);
    if (maxLengthMm <= 0)
        maxLengthMm = kDefaultMaxLengthMm;

    out.uid = uid;
    out.model = row.model;
    const std::string display = DisplayModel(row.model, uid);
    out.fileName = FileNameFor(display);
    char pcName[16];
    std::snprintf(pcName, sizeof pcName, "MMK%03d.PPD", uid);

    Writer w;
    w.Line("*PPD-Adobe: \"4.3\"");
    w.Line("*% Made by mimakippd from the plug-in's model table and the " + std::string(row.parms->name) +
           " parameters; regenerate instead of editing.");
    w.Line("*FormatVersion: \"4.3\"");
    w.Line("*FileVersion: \"1.0\"");
    w.Line("*LanguageVersion: English");
    w.Line("*LanguageEncoding: ISOLatin1");
    w.Line(std::string("*PCFileName: \"") + pcName + "\"");
    w.Line("*Manufacturer: \"Mimaki\"");
    w.Line("*Product: \"(" + display.substr(0, display.find(" UID ")) + ")\"");
    w.Line("*ModelName: \"Mimaki " + display + "\"");
    w.Line("*ShortNickName: \"" + ("Mimaki " + display).substr(0, 31) + "\"");
    w.Line("*NickName: \"Mimaki " + display + ", rastertomimaki\"");
    w.Line("*PSVersion: \"(3010.000) 0\"");
    w.Line("*LanguageLevel: \"3\"");
    w.Line("*ColorDevice: True");
    w.Line("*DefaultColorSpace: CMYK");
    w.Line("*FileSystem: False");
    w.Line("*Throughput: \"1\"");
    w.Line("*LandscapeOrientation: Plus90");
    w.Line("*TTRasterizer: Type42");
    w.Line("*cupsVersion: 2.4");
    w.Line("*cupsModelNumber: " + std::to_string(uid));
    w.Line("*cupsManualCopies: True");
    w.Line(std::string("*cupsFilter2: \"application/vnd.cups-raster ") + ppdnames::kStreamType + " 0 " +
           ppdnames::kFilter + "\"");
    w.Line(std::string("*MimakiParmsClass: \"") + WideToUtf8(table ? table->ClassName() : L"CMimakiDevParmsBase") +
           "\"");
    w.Line("*MimakiDriverClass: \"" + rasterjob::ClassName(driver) + "\"");
    if (!settingsFile.empty()) {
        w.Line(std::string("*") + ppdnames::kSettingsFileAttr + ": \"" + ppdnames::Escape(settingsFile) + "\"");
        w.Line(std::string("*") + ppdnames::kSettingsSectionAttr + ": \"" + ppdnames::Escape(section) + "\"");
    }

    w.Line("*OpenGroup: General/General");
    // Media: the standard sheets that fit, and any size up to the widest
    // medium and the longest page; the margins are the printer's own.
    const std::string marginsLine = Points(leftMm) + " 0 " + Points(rightMm) + " 0";
    std::vector<const PaperSize*> sizes;
    for (const PaperSize& p : kPaperSizes)
        if (p.widthMm <= kMaxWidthMm && p.heightMm <= maxLengthMm && p.widthMm > leftMm + rightMm)
            sizes.push_back(&p);
    const std::string defaultSize = sizes.empty() ? "A4" : sizes.front()->name;
    w.OpenUI("PageSize", "Media Size", 10, defaultSize);
    for (const PaperSize* p : sizes)
        w.Choice("PageSize", p->name, p->label,
                 "<</PageSize[" + Points(p->widthMm) + " " + Points(p->heightMm) + "]/ImagingBBox null>>setpagedevice");
    w.CloseUI("PageSize");
    w.OpenUI("PageRegion", "Media Size", 10, defaultSize);
    for (const PaperSize* p : sizes)
        w.Choice("PageRegion", p->name, p->label,
                 "<</PageSize[" + Points(p->widthMm) + " " + Points(p->heightMm) + "]/ImagingBBox null>>setpagedevice");
    w.CloseUI("PageRegion");
    w.Line("*DefaultImageableArea: " + defaultSize);
    for (const PaperSize* p : sizes)
        w.Line(std::string("*ImageableArea ") + p->name + ": \"" + Points(leftMm) + " 0 " +
               Points(p->widthMm - rightMm) + " " + Points(p->heightMm) + "\"");
    w.Line("*DefaultPaperDimension: " + defaultSize);
    for (const PaperSize* p : sizes)
        w.Line(std::string("*PaperDimension ") + p->name + ": \"" + Points(p->widthMm) + " " + Points(p->heightMm) +
               "\"");
    w.Line("*VariablePaperSize: True");
    w.Line("*MaxMediaWidth: \"" + Points(kMaxWidthMm) + "\"");
    w.Line("*MaxMediaHeight: \"" + Points(maxLengthMm) + "\"");
    w.Line("*HWMargins: " + marginsLine);
    w.Line("*CustomPageSize True: \"pop pop pop <</PageSize[5 -2 roll]/ImagingBBox null>>setpagedevice\"");
    w.Line("*ParamCustomPageSize Width: 1 points " + Points(std::max(10.0, leftMm + rightMm + 1)) + " " +
           Points(kMaxWidthMm));
    w.Line("*ParamCustomPageSize Height: 2 points " + Points(10) + " " + Points(maxLengthMm));
    w.Line("*ParamCustomPageSize WidthOffset: 3 points 0 0");
    w.Line("*ParamCustomPageSize HeightOffset: 4 points 0 0");
    w.Line("*ParamCustomPageSize Orientation: 5 int 0 0");

    auto resName = [](const Resolution& r) {
        return r.horz == r.vert ? std::to_string(r.horz) + "dpi"
                                : std::to_string(r.horz) + "x" + std::to_string(r.vert) + "dpi";
    };
    w.OpenUI("Resolution", "Resolution", 10, resName(defaultRes));
    for (const Resolution& r : resolutions)
        w.Choice("Resolution", resName(r), std::to_string(r.horz) + " x " + std::to_string(r.vert) + " dpi",
                 "<</HWResolution[" + std::to_string(r.horz) + " " + std::to_string(r.vert) + "]>>setpagedevice");
    w.CloseUI("Resolution");

    // Inks: the raster's planes become the printer's channels.
    w.OpenUI("ColorModel", "Color Mode", 10, "CMYK");
    w.Choice("ColorModel", "CMYK", "Color (CMYK)", "<</cupsColorSpace 6/cupsColorOrder 0/cupsBitsPerColor 8>>setpagedevice");
    w.Choice("ColorModel", "KCMY", "Color (KCMY)", "<</cupsColorSpace 8/cupsColorOrder 0/cupsBitsPerColor 8>>setpagedevice");
    w.Choice("ColorModel", "Gray", "Black only", "<</cupsColorSpace 3/cupsColorOrder 0/cupsBitsPerColor 8>>setpagedevice");
    w.CloseUI("ColorModel");
    w.OpenUI(ppdnames::kDotDepthOption, "Screening", 20, "Filter");
    w.Choice(ppdnames::kDotDepthOption, "Filter",
             "By the driver (" + std::string(inkLevels > 1 ? "variable" : "fixed") + " dots)",
             "<</cupsBitsPerColor 8>>setpagedevice");
    w.Choice(ppdnames::kDotDepthOption, "Dots2", "By the RIP, 2-bit dots", "<</cupsBitsPerColor 2>>setpagedevice");
    w.Choice(ppdnames::kDotDepthOption, "Dots1", "By the RIP, 1-bit dots", "<</cupsBitsPerColor 1>>setpagedevice");
    w.CloseUI(ppdnames::kDotDepthOption);

    const char* cutDefaultName = "None";
    for (const auto& c : ppdnames::kCutChoices)
        if (c.value == cutDefault)
            cutDefaultName = c.keyword;
    w.OpenUI(ppdnames::kCutOption, "Cut Media", 30, cutDefaultName);
    for (const auto& c : ppdnames::kCutChoices)
        w.Choice(ppdnames::kCutOption, c.keyword, c.label, "");
    w.CloseUI(ppdnames::kCutOption);
    w.Line(std::string("*") + ppdnames::kCutDefaultAttr + ": \"" + cutDefaultName + "\"");

    // A DTF printer lays white under the colour, and its driver takes one
    // channel per entry of the colour sequence: the raster brings the colour
    // only, so the filter makes the white channels that follow it.
    if (rasterjob::ClassName(driver) == "CMimakiDTFDriver" && rastertomimaki::WhiteChannelsAfter(env, 4) > 0) {
        w.OpenUI(ppdnames::kWhiteOption, "White Ink", 30, ppdnames::kWhiteUnder);
        w.Choice(ppdnames::kWhiteOption, ppdnames::kWhiteUnder, "White under the colour", "");
        w.Choice(ppdnames::kWhiteOption, ppdnames::kWhiteNone, "No white", "");
        w.CloseUI(ppdnames::kWhiteOption);
    }

    if (!modes.empty()) {
        // The printer's current print method, when it is one of them; else
        // none, so that the resolution asked for is the one printed.
        const std::string current = WideToUtf8(env.GetString(PrEnv_PrintMethod));
        std::string def = ppdnames::kPrintModeNone;
        for (const PrintMode& m : modes)
            if (!current.empty() && m.settings.find("PrEnv_PrintMethod=" + ppdnames::Escape(current) + ";") == 0)
                def = m.keyword;
        w.Line("*% Print modes from " + modesFrom + ".");
        w.OpenUI(ppdnames::kPrintModeOption, "Print Mode", 15, def);
        w.Choice(ppdnames::kPrintModeOption, ppdnames::kPrintModeNone, "As set for the printer", "");
        for (const PrintMode& m : modes)
            w.Choice(ppdnames::kPrintModeOption, m.keyword, m.label,
                     "<</HWResolution[" + std::to_string(m.res.horz) + " " + std::to_string(m.res.vert) +
                         "]>>setpagedevice");
        w.CloseUI(ppdnames::kPrintModeOption);
        for (const PrintMode& m : modes)
            w.Line(std::string("*") + ppdnames::kChoiceAttr + " " + ppdnames::kPrintModeOption + "." + m.keyword +
                   ": \"" + m.settings + "\"");
    }
    w.Line("*CloseGroup: General");

    // Every number the class keeps in the store, with the value the class
    // loaded (its default, or the store's): flags as Off/On, other numbers
    // as that value or any other ("Custom.N", or just N with lp -o).
    if (table) {
        w.Line("*OpenGroup: Device/Device options");
        std::set<std::string> used = {"pagesize", "pageregion", "resolution", "colormodel", Lower(ppdnames::kCutOption),
                                      Lower(ppdnames::kDotDepthOption), Lower(ppdnames::kPrintModeOption),
                                      Lower(ppdnames::kWhiteOption)};
        const auto keys = table->Keys();
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const auto& key = keys[i];
            if (!key.field || (key.kind != Kind::Int && key.kind != Kind::Real && key.kind != Kind::RealToString))
                continue;
            const std::string stored = WideToUtf8(table->StoredName(i));
            const std::string member = WideToUtf8(key.name);
            const std::string value = WideToUtf8(table->FieldText(*parms, i));
            const std::string kw = OptionKeyword(stored, used);
            const bool isInt = key.kind == Kind::Int;
            const std::string choice = isInt ? value : "Value";
            w.OpenUI(kw, Label(member), 100, choice);
            if (isInt && IsFlagMember(member) && (value == "0" || value == "1")) {
                w.Choice(kw, "0", "Off", "");
                w.Choice(kw, "1", "On", "");
            } else {
                w.Choice(kw, choice, isInt ? value : "Default (" + value + ")", "");
            }
            w.CloseUI(kw);
            w.Line("*Custom" + kw + " True/Custom: \"\"");
            w.Line("*ParamCustom" + kw + " Value/Value: 1 " + (isInt ? "int -2147483647 2147483647" : "real -1e9 1e9"));
            w.Line(std::string("*") + ppdnames::kSettingAttr + " " + kw + ": \"" + (isInt ? "int " : "real ") +
                   ppdnames::Escape(value) + " " + ppdnames::Escape(stored) + "\"");
        }
        w.Line("*CloseGroup: Device");
    }
    w.Line("*% End of " + out.fileName);
    out.text = std::move(w.Text());
    return true;
}

std::vector<int> PrintingUids()
{
    std::vector<int> uids;
    for (const mimaki::ModelRow& row : mimaki::ModelTable()) {
        if (!row.model || !*row.model)
            continue;
        CPrintEnv env(L"mimakippd");
        env.PutInt(PrEnv_UID, row.uid);
        printerdefs::Apply(env, row.uid);
        std::string reason;
        std::unique_ptr<IPrinterDriver> driver(QuietCreate(env, row, row.uid, reason));
        if (driver)
            uids.push_back(row.uid);
    }
    return uids;
}

namespace {

constexpr const char kUsage[] =
    "usage: mimakippd -d DIR                 a PPD per model UID that prints, into DIR\n"
    "       mimakippd --uid N [-o FILE|-]    the PPD of one model (default: standard output)\n"
    "       mimakippd --settings FILE [--printer SECTION] [-o FILE|-]\n"
    "                                        the PPD of a configured printer, naming its settings store\n"
    "       mimakippd --list                 UID, model and file name of every PPD\n"
    "  --set KEY=VALUE   a settings key for the PPD's defaults (repeatable)\n";

} // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string dir, output = "-", settings, section;
    int uid = -1;
    bool list = false;
    std::vector<std::pair<std::string, std::string>> sets;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size())
                return false;
            into = args[++i];
            return true;
        };
        std::string v;
        if (a == "-h" || a == "--help") {
            out << kUsage;
            return 0;
        } else if (a == "--list") {
            list = true;
        } else if ((a == "-d" || a == "--dir") && value(dir)) {
        } else if ((a == "-o" || a == "--output") && value(output)) {
        } else if (a == "--settings" && value(settings)) {
        } else if (a == "--printer" && value(section)) {
        } else if (a == "--uid" && value(v)) {
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (end == v.c_str() || *end || n < 0 || n > 255) {
                err << "mimakippd: --uid " << v << ": give a model UID 0..255\n";
                return 2;
            }
            uid = static_cast<int>(n);
        } else if (a == "--set" && value(v)) {
            const std::size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0) {
                err << "mimakippd: --set " << v << ": give KEY=VALUE\n";
                return 2;
            }
            sets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else {
            err << "mimakippd: " << a << ": unknown or incomplete option\n" << kUsage;
            return 2;
        }
    }
    std::string error;
    if (list || !dir.empty()) {
        if (uid >= 0 || !settings.empty() || !sets.empty()) {
            err << "mimakippd: --list and -d make the PPDs of every model; --uid, --settings and --set are for one\n";
            return 2;
        }
        if (!dir.empty() && ::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
            err << "mimakippd: " << dir << ": cannot create folder: " << std::strerror(errno) << "\n";
            return 1;
        }
        for (const int u : PrintingUids()) {
            CPrintEnv env(L"mimakippd");
            env.PutInt(PrEnv_UID, u);
            Ppd ppd;
            if (!MakePpd(env, "", "", ppd, error)) {
                err << "mimakippd: " << error << "\n";
                return 1;
            }
            if (list)
                out << u << "\t" << ppd.model << "\t" << ppd.fileName << "\n";
            else if (!WriteFileAtomically(dir + "/" + ppd.fileName, ppd.text, error)) {
                err << "mimakippd: " << error << "\n";
                return 1;
            }
        }
        return 0;
    }
    if (uid < 0 && settings.empty()) {
        err << "mimakippd: give -d DIR, --uid N or --settings FILE\n" << kUsage;
        return 2;
    }
    CPrintEnv env(L"mimakippd");
    if (!settings.empty()) {
        if (section.empty()) {
            CIniFile ini;
            if (!ini.Read(settings, error)) {
                err << "mimakippd: " << error << "\n";
                return 1;
            }
            if (ini.sections.size() != 1) {
                err << "mimakippd: " << settings << " holds " << ini.sections.size()
                    << " printers: choose one with --printer\n";
                return 1;
            }
            section = WideToUtf8(ini.sections[0].name);
        }
        if (!env.LoadFromIni(settings, Utf8ToWide(section), error)) {
            err << "mimakippd: " << error << "\n";
            return 1;
        }
    }
    if (uid >= 0)
        env.PutInt(PrEnv_UID, uid);
    for (const auto& [k, v] : sets)
        env.PutString(Utf8ToWide(k).c_str(), Utf8ToWide(v));
    Ppd ppd;
    if (!MakePpd(env, settings, section, ppd, error)) {
        err << "mimakippd: " << error << "\n";
        return 1;
    }
    if (output == "-") {
        out << ppd.text;
        out.flush();
        if (!out) {
            err << "mimakippd: cannot write standard output\n";
            return 1;
        }
    } else if (!WriteFileAtomically(output, ppd.text, error)) {
        err << "mimakippd: " << error << "\n";
        return 1;
    }
    return 0;
}

} // namespace mimakippd
