#include "devparms/ParmKeys.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/HostTypes.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"

namespace mimaki::parms {

namespace {

constexpr std::size_t kHexTableBytes = 360;

int& IntAt(CUnivDevParmsBase& obj, const Key& key) { return *static_cast<int*>(key.field(obj)); }
double& RealAt(CUnivDevParmsBase& obj, const Key& key) { return *static_cast<double*>(key.field(obj)); }
std::wstring& TextAt(CUnivDevParmsBase& obj, const Key& key) { return *static_cast<std::wstring*>(key.field(obj)); }
std::string& BytesAt(CUnivDevParmsBase& obj, const Key& key) { return *static_cast<std::string*>(key.field(obj)); }
BYTE* TableAt(CUnivDevParmsBase& obj, const Key& key) { return static_cast<BYTE*>(key.field(obj)); }

int IntDefault(CUnivDevParmsBase& obj, const Key& key, const CPrintEnv& env)
{
    return key.intDefault ? key.intDefault(obj, env) : key.def;
}

std::wstring TextDefault(CUnivDevParmsBase& obj, const Key& key, const CPrintEnv& env)
{
    if (key.textDefault)
        return key.textDefault(obj, env);
    return key.text ? key.text : L"";
}

} // namespace

bool IsModelKey(Kind kind) { return kind == Kind::ModelInt || kind == Kind::ModelText; }

bool IsOldKey(Kind kind)
{
    return kind == Kind::OldDotSize || kind == Kind::OldHeater || kind == Kind::OldDryTime || kind == Kind::OldWhite;
}

KeyTable::KeyTable(const wchar_t* className, const wchar_t* prefix, std::span<const Key> keys, Profile profile)
    : m_class(className), m_prefix(prefix), m_keys(keys), m_profile(profile)
{
    m_names.reserve(keys.size());
    for (const Key& key : keys)
        m_names.push_back(IsModelKey(key.kind) ? std::wstring(key.name)
                                               : std::wstring(prefix) + L'_' + key.name);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const Key& key = keys[i];
        // A model key may share its name with a record key that it feeds;
        // lookups by name then find the record key.
        const auto [it, added] = m_byName.emplace(key.name, i);
        if (!added) {
            if (IsModelKey(key.kind) == IsModelKey(keys[it->second].kind))
                Malformed(std::wstring(L"key listed twice: ") + key.name);
            if (!IsModelKey(key.kind))
                it->second = i;
        }
        if (IsOldKey(key.kind)) {
            if (i + 1 == keys.size() || IsOldKey(keys[i + 1].kind) || IsModelKey(keys[i + 1].kind) ||
                !keys[i + 1].field)
                Malformed(std::wstring(L"superseded key without its replacement: ") + key.name);
        } else if (!key.field) {
            Malformed(std::wstring(L"key without a field: ") + key.name);
        }
    }
    for (const wchar_t* name :
         {profile.cutKey, profile.cutKey2, profile.option0Key, profile.option0Key2, profile.highSpeedKey,
          profile.highSpeedKey2, profile.inkDot, profile.printModeData, profile.xDpi, profile.yDpi,
          profile.layerWhiteOrder, profile.whiteOrderOrMode, profile.layerOffset, profile.clearCoatIrradiation,
          profile.splitPrintArea})
        if (name && !Find(name))
            Malformed(std::wstring(L"profile names an unknown key: ") + name);
    if (profile.margins == Answer::Keys)
        for (const wchar_t* name : {L"m_bSetLeftMargin", L"m_nLeftMargin", L"m_bSetRightMargin", L"m_nRightMargin"})
            if (!Find(name))
                Malformed(std::wstring(L"margins without the key ") + name);
    if (profile.list) {
        const Key* count = Find(profile.list->count);
        if (!count || count->kind != Kind::Int || !profile.list->resize || profile.list->maxEntries < 0)
            Malformed(std::wstring(L"list without an integer length key: ") + profile.list->count);
        for (const ListKey& key : profile.list->keys)
            if (!key.field || !key.valid != !key.why)
                Malformed(std::wstring(L"list key without a field, or a check without its reason: ") + key.name);
    }
}

void KeyTable::Malformed(const std::wstring& what) const
{
    std::fprintf(stderr, "malformed key table of %s: %s\n", WideToUtf8(m_class).c_str(), WideToUtf8(what).c_str());
    std::abort();
}

const Key* KeyTable::Find(std::wstring_view name) const
{
    const auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : &m_keys[it->second];
}

int& KeyTable::Int(CUnivDevParmsBase& obj, const wchar_t* name) const
{
    const Key* key = Find(name);
    if (!key || (key->kind != Kind::Int && key->kind != Kind::ModelInt))
        Malformed(std::wstring(L"no integer key ") + name);
    return IntAt(obj, *key);
}

double& KeyTable::Real(CUnivDevParmsBase& obj, const wchar_t* name) const
{
    const Key* key = Find(name);
    if (!key || (key->kind != Kind::Real && key->kind != Kind::RealToString))
        Malformed(std::wstring(L"no number key ") + name);
    return RealAt(obj, *key);
}

std::wstring& KeyTable::Text(CUnivDevParmsBase& obj, const wchar_t* name) const
{
    const Key* key = Find(name);
    if (!key || (key->kind != Kind::Text && key->kind != Kind::ModelText))
        Malformed(std::wstring(L"no text key ") + name);
    return TextAt(obj, *key);
}

void KeyTable::Load(CUnivDevParmsBase& obj, const CPrintEnv& env) const
{
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        const Key& key = m_keys[i];
        const wchar_t* name = m_names[i].c_str();
        switch (key.kind) {
        case Kind::Int:
        case Kind::ModelInt:
            IntAt(obj, key) = env.GetInt(name, IntDefault(obj, key, env));
            break;
        case Kind::Real:
        case Kind::RealToString:
            RealAt(obj, key) = env.GetDouble(name, TextDefault(obj, key, env).c_str());
            break;
        case Kind::Text:
        case Kind::ModelText:
            TextAt(obj, key) = env.GetString(name, TextDefault(obj, key, env).c_str());
            break;
        case Kind::Bytes:
            BytesAt(obj, key) = WideToAnsi(env.GetString(name, TextDefault(obj, key, env).c_str()));
            break;
        case Kind::Hex360: {
            const std::vector<BYTE> bytes = HexStringToBin(env.GetString(name, TextDefault(obj, key, env).c_str()));
            BYTE* table = TableAt(obj, key);
            std::memset(table, 0, kHexTableBytes);
            if (!bytes.empty())
                std::memcpy(table, bytes.data(), std::min(bytes.size(), kHexTableBytes));
            break;
        }
        case Kind::OldDotSize: {
            static constexpr int kCodes[] = {0x01, 0x10, 0x11, 0x12};
            const int old = env.GetInt(name, -1);
            if (old >= 0 && old <= 3) {
                IntAt(obj, m_keys[++i]) = kCodes[old];
            }
            break;
        }
        case Kind::OldHeater:
        case Kind::OldWhite: {
            const int old = env.GetInt(name, -1);
            if (key.kind == Kind::OldHeater ? old >= 0 : old != -1)
                IntAt(obj, m_keys[++i]) = old;
            break;
        }
        case Kind::OldDryTime: {
            const double seconds = env.GetDouble(name, L"-1");
            if (seconds >= 0)
                RealAt(obj, m_keys[++i]) = seconds * 10;
            break;
        }
        }
    }
    if (m_profile.list)
        LoadList(obj, env);
}

std::wstring KeyTable::ListKeyName(const ListKey& key, const std::wstring& number) const
{
    const KeyList& list = *m_profile.list;
    std::wstring name = std::wstring(m_prefix) + L'_';
    if (list.entry)
        name.append(list.entry).append(number).append(key.name);
    else
        name.append(key.name).append(number);
    return name;
}

std::wstring KeyTable::ListKeyPattern(const ListKey& key) const { return ListKeyName(key, L"<n>"); }

// Past the most the record takes the rest is not read, and a negative
// length is no list; the length key keeps its value either way, so that
// saving loses nothing.
void KeyTable::LoadList(CUnivDevParmsBase& obj, const CPrintEnv& env) const
{
    const KeyList& list = *m_profile.list;
    const int stored = Int(obj, list.count);
    if (stored < 0 || stored > list.maxEntries) {
        CVoLog log;
        const std::string what = stored < 0 ? std::string("no entries are read")
                                            : "the list holds at most " + std::to_string(list.maxEntries) +
                                                  " entries, the rest are not read";
        log->ReportStatusPF("***%s#%d: %s_%s is %d; %s\n", 4, __FILE__, __LINE__, "KeyTable::Load", __LINE__,
                            WideToUtf8(m_prefix).c_str(), WideToUtf8(list.count).c_str(), stored, what.c_str());
    }
    const int count = ListLength(obj);
    list.resize(obj, static_cast<std::size_t>(count));
    for (std::size_t e = 0; e < static_cast<std::size_t>(count); ++e) {
        const std::wstring number = std::to_wstring(e + 1);
        for (const ListKey& key : list.keys) {
            const std::wstring name = ListKeyName(key, number);
            int& value = key.field(obj, e);
            value = env.GetInt(name.c_str(), 0);
            if (key.valid && !key.valid(value)) {
                CVoLog log;
                log->ReportStatusPF("***%s#%d: %s=%d %s\n", 4, __FILE__, __LINE__, "KeyTable::Load", __LINE__,
                                    WideToUtf8(name).c_str(), value, key.why);
            }
        }
    }
}

int KeyTable::ListLength(CUnivDevParmsBase& obj) const
{
    return std::max(0, std::min(Int(obj, m_profile.list->count), m_profile.list->maxEntries));
}

std::vector<std::pair<std::wstring, std::wstring>> KeyTable::ListEntries(CUnivDevParmsBase& obj) const
{
    std::vector<std::pair<std::wstring, std::wstring>> entries;
    if (!m_profile.list)
        return entries;
    const KeyList& list = *m_profile.list;
    const int count = ListLength(obj);
    // A length set after Load gets entries that read as missing keys.
    list.resize(obj, static_cast<std::size_t>(count));
    for (std::size_t e = 0; e < static_cast<std::size_t>(count); ++e) {
        const std::wstring number = std::to_wstring(e + 1);
        for (const ListKey& key : list.keys)
            entries.emplace_back(ListKeyName(key, number), std::to_wstring(key.field(obj, e)));
    }
    return entries;
}

void KeyTable::Save(CUnivDevParmsBase& obj, CDeviceEnv& env) const
{
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        const Key& key = m_keys[i];
        const wchar_t* name = m_names[i].c_str();
        switch (key.kind) {
        case Kind::ModelInt:
        case Kind::ModelText:
            break;
        case Kind::OldDotSize:
        case Kind::OldHeater:
        case Kind::OldWhite:
            env.PutInt(name, -1);
            break;
        case Kind::OldDryTime:
            env.PutString(name, L"-1.0");
            break;
        default:
            env.PutString(name, FieldText(obj, i));
            break;
        }
    }
}

void KeyTable::SaveList(CUnivDevParmsBase& obj, CDeviceEnv& env) const
{
    const KeyList* list = m_profile.list;
    if (!list)
        return;
    for (const auto& [name, value] : ListEntries(obj))
        env.PutString(name.c_str(), value);
    // A list shorter than the one stored before leaves no entries behind.
    for (int e = ListLength(obj); e < list->maxEntries; ++e) {
        const std::wstring number = std::to_wstring(e + 1);
        for (const ListKey& key : list->keys)
            env.DeleteEntry(ListKeyName(key, number).c_str());
    }
}

std::wstring KeyTable::FieldText(CUnivDevParmsBase& obj, std::size_t index) const
{
    const Key& key = m_keys[index];
    switch (key.kind) {
    case Kind::Int:
    case Kind::ModelInt: return std::to_wstring(IntAt(obj, key));
    case Kind::Real: return ToString2f(RealAt(obj, key));
    case Kind::RealToString: return ToString(RealAt(obj, key));
    case Kind::Text:
    case Kind::ModelText: return TextAt(obj, key);
    case Kind::Bytes: return AnsiToWide(BytesAt(obj, key));
    case Kind::Hex360: return BinToHexString(TableAt(obj, key), kHexTableBytes);
    default: return {};
    }
}

int KeyTable::KeysAnswer(CUnivDevParmsBase& obj, const wchar_t* a, const wchar_t* b) const
{
    return Int(obj, a) != 0 && (!b || Int(obj, b) != 0) ? 1 : 0;
}

std::optional<int> KeyTable::MediaCut(CUnivDevParmsBase& obj) const
{
    switch (m_profile.cut) {
    case Answer::Host: return std::nullopt;
    case Answer::Keys: return KeysAnswer(obj, m_profile.cutKey, m_profile.cutKey2);
    case Answer::One: return 1;
    default: return 0;
    }
}

std::optional<int> KeyTable::Option0Default(CUnivDevParmsBase& obj) const
{
    switch (m_profile.option0) {
    case Answer::Host: return std::nullopt;
    case Answer::Keys: return KeysAnswer(obj, m_profile.option0Key, m_profile.option0Key2);
    case Answer::One: return 1;
    case Answer::Zero: return 0;
    case Answer::Unchanged: return -1;
    }
    return std::nullopt;
}

void KeyTable::Margins(CUnivDevParmsBase& obj, double& right, double& left) const
{
    right = left = 0;
    if (m_profile.margins != Answer::Keys)
        return;
    if (Int(obj, L"m_bSetRightMargin"))
        right = Int(obj, L"m_nRightMargin");
    if (Int(obj, L"m_bSetLeftMargin"))
        left = Int(obj, L"m_nLeftMargin");
}

int KeyTable::InkLevels(CUnivDevParmsBase& obj, const CPrintEnv& env) const
{
    if (m_profile.ink == InkRule::None)
        return 0;
    const int dot = Int(obj, m_profile.inkDot);
    const int v = m_profile.inkValue;
    const auto dpiBelow1440 = [&env] { return DoubleFromString(env.GetString(PrEnv_Dpi)) < 1440; };
    switch (m_profile.ink) {
    case InkRule::DotIs: return dot == v ? 3 : 1;
    case InkRule::DotIsBelow1440: return dot == v && dpiBelow1440() ? 3 : 1;
    case InkRule::DotAbove0Below1440: return dot > 0 && dpiBelow1440() ? 3 : 1;
    case InkRule::DotBelow: return dot < v ? 3 : 1;
    case InkRule::Jfx: return dot == 1 ? 3 : dot == 0 ? env.GetInklevelsFromParms() : 1;
    case InkRule::Ts500:
        // Dot size 0 leaves the choice between three levels and two to the
        // host: two stay two, anything else becomes three.
        if (dot == 4 || dot == 5) return 3;
        if (dot == 6) return 2;
        if (dot == 0) return env.GetInklevelsFromParms() == 2 ? 2 : 3;
        return 1;
    case InkRule::None: break;
    }
    return 0;
}

std::wstring SlotsDefault(CUnivDevParmsBase&, const CPrintEnv& env)
{
    return env.GetString(PrEnv_SlotsSettingDefault);
}

int WaveShapeDefault(CUnivDevParmsBase&, const CPrintEnv& env)
{
    const std::vector<std::wstring> offered = Split(env.GetString(L"$WaveShapeValues$", L""), L',', 1);
    return offered.empty() ? 1 : IntFromString(offered.front());
}

const wchar_t* DefaultDotVolumes()
{
    // Drop volumes per ink level: three 16-bit values (low byte first) for
    // six inks, twelve bytes 0xFF, three smaller values for six inks, four
    // bytes 0xFF; the rest of the table is zero.
    static const std::wstring text = [] {
        std::vector<BYTE> table;
        const auto triples = [&table](int a, int b, int c) {
            for (int i = 0; i < 6; ++i)
                for (int v : {a, b, c}) {
                    table.push_back(static_cast<BYTE>(v & 0xFF));
                    table.push_back(static_cast<BYTE>(v >> 8));
                }
        };
        triples(0x50, 0x8C, 0xF0);
        table.insert(table.end(), 12, 0xFF);
        triples(0x3C, 0x78, 0xC8);
        table.insert(table.end(), 4, 0xFF);
        table.resize(kHexTableBytes, 0);
        return BinToHexString(table);
    }();
    return text.c_str();
}

} // namespace mimaki::parms
