#include "PrintEnv.h"

#include <cstdio>
#include <unistd.h>

#include "StrUtil.h"

#define PRENV_DEFINE(name, def) const _SECTIONENTRY PrEnv_##name = {L"PrEnv_" #name, def};
PRENV_ENTRIES(PRENV_DEFINE)
#undef PRENV_DEFINE

namespace {

wchar_t Fold(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
}

bool ParseInt(const std::wstring& text, int& value)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    bool neg = false;
    if (i < n && (text[i] == L'+' || text[i] == L'-'))
        neg = text[i++] == L'-';
    int base = 10;
    if (i + 1 < n && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
        base = 16;
        i += 2;
    }
    long long v = 0;
    std::size_t digits = 0;
    for (; i < n; ++i, ++digits) {
        int d;
        const wchar_t c = text[i];
        if (c >= L'0' && c <= L'9') d = c - L'0';
        else if (base == 16 && c >= L'a' && c <= L'f') d = c - L'a' + 10;
        else if (base == 16 && c >= L'A' && c <= L'F') d = c - L'A' + 10;
        else break;
        v = v * base + d;
        if (v > 0xFFFFFFFFLL)
            return false;
    }
    while (i < n && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    if (digits == 0 || i != n)
        return false;
    if (neg)
        v = -v;
    if (base == 16 && v > 0x7FFFFFFFLL)
        v -= 0x100000000LL; // hex spells a 32-bit pattern
    if (v < -2147483648LL || v > 2147483647LL)
        return false;
    value = static_cast<int>(v);
    return true;
}

// Escaping of keys, values and section names in the INI file: backslash,
// control characters, the characters the syntax uses and blanks at either end.
std::string Escape(const std::wstring& text, bool key)
{
    std::string out;
    const std::string utf8 = WideToUtf8(text);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const bool edge = i == 0 || i + 1 == utf8.size();
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c == 0x7F || ((c == ' ') && edge) || (key && (c == '=' || c == '[' || c == ']')) ||
                 (i == 0 && (c == ';' || c == '#'))) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else
            out += static_cast<char>(c);
    }
    return out;
}

int Hex(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unescape(const std::string& text, std::wstring& out)
{
    std::string raw;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            raw += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
        case 'n': raw += '\n'; break;
        case 'r': raw += '\r'; break;
        case 't': raw += '\t'; break;
        case 'x':
            if (i + 2 >= text.size() || Hex(text[i + 1]) < 0 || Hex(text[i + 2]) < 0)
                return false;
            raw += static_cast<char>(Hex(text[i + 1]) * 16 + Hex(text[i + 2]));
            i += 2;
            break;
        default: raw += text[i]; break;
        }
    }
    out = Utf8ToWide(raw);
    return true;
}

std::string Trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

} // namespace

bool KeyLess::operator()(const std::wstring& a, const std::wstring& b) const
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const wchar_t x = Fold(a[i]), y = Fold(b[i]);
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

std::size_t KeyHash::operator()(std::wstring_view key) const
{
    std::size_t h = 1469598103934665603ull; // FNV-1a over the folded characters
    for (const wchar_t c : key) {
        h ^= static_cast<std::size_t>(Fold(c));
        h *= 1099511628211ull;
    }
    return h;
}

bool KeyEqual::operator()(std::wstring_view a, std::wstring_view b) const
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

void CDeviceEnv::Set(std::wstring_view key, std::wstring value)
{
    // No key can be empty: an INI line needs one.
    if (key.empty())
        return;
    const auto it = m_index.find(key);
    if (it == m_index.end()) {
        m_index.emplace(std::wstring(key), m_slots.size());
        m_slots.push_back(Slot{std::wstring(key), std::move(value), true});
        return;
    }
    // Rewritten: the entry moves to the end under its first spelling.
    Slot& old = m_slots[it->second];
    old.live = false;
    it->second = m_slots.size();
    m_slots.push_back(Slot{std::move(old.key), std::move(value), true});
    if (m_slots.size() > 64 && m_slots.size() > 2 * m_index.size()) {
        std::vector<Slot> live;
        live.reserve(m_index.size());
        for (Slot& s : m_slots)
            if (s.live) {
                m_index.find(s.key)->second = live.size();
                live.push_back(std::move(s));
            }
        m_slots = std::move(live);
    }
}

void CDeviceEnv::PutInt(const wchar_t* key, int value)
{
    Set(key, std::to_wstring(value));
}

void CDeviceEnv::PutString(const wchar_t* key, const wchar_t* value)
{
    Set(key, value ? value : L"");
}

void CDeviceEnv::DeleteEntry(const wchar_t* key)
{
    const auto it = m_index.find(std::wstring_view(key));
    if (it == m_index.end())
        return;
    m_slots[it->second].live = false;
    m_slots[it->second].value.clear();
    m_index.erase(it);
}

const std::wstring* CDeviceEnv::Find(std::wstring_view key) const
{
    const auto it = m_index.find(key);
    return it == m_index.end() ? nullptr : &m_slots[it->second].value;
}

std::vector<CDeviceEnv::Entry> CDeviceEnv::Values() const
{
    std::vector<Entry> out;
    out.reserve(m_index.size());
    for (const Slot& s : m_slots)
        if (s.live)
            out.emplace_back(s.key, s.value);
    return out;
}

void CDeviceEnv::Clear()
{
    m_slots.clear();
    m_index.clear();
}

int CPrintEnv::GetInt(const wchar_t* key, int def) const
{
    const std::wstring* text = Find(key);
    int value;
    if (!text)
        return def;
    if (ParseInt(*text, value))
        return value;
    NoteBad(key, *text, {});
    return def;
}

void CPrintEnv::NoteBad(const wchar_t* key, const std::wstring& text, std::string problem) const
{
    // An empty text is an unset value, not a mistake.
    if (text.find_first_not_of(L" \t") == std::wstring::npos)
        return;
    for (const BadValue& b : m_bad)
        if (KeyEqual()(b.key, key))
            return;
    m_bad.push_back(BadValue{key, text, std::move(problem)});
}

std::wstring CPrintEnv::GetString(const wchar_t* key, const wchar_t* def) const
{
    const std::wstring* text = Find(key);
    if (!text)
        return def ? def : L"";
    return *text;
}

int CPrintEnv::GetInt(const _SECTIONENTRY& entry) const
{
    int def = 0;
    ParseInt(entry.pszDefault, def);
    return GetInt(entry.pszKey, def);
}

std::wstring CPrintEnv::GetString(const _SECTIONENTRY& entry) const
{
    return GetString(entry.pszKey, entry.pszDefault);
}

bool CPrintEnv::LoadFromIni(const std::string& path, const std::wstring& section, std::string& error)
{
    CIniFile ini;
    if (!ini.Read(path, error))
        return false;
    const CIniFile::Section* s = ini.Find(section);
    if (!s) {
        error = path + ": no printer section [" + WideToUtf8(section) + "]";
        return false;
    }
    Clear();
    m_bad.clear();
    for (const auto& kv : s->entries)
        PutString(kv.first.c_str(), kv.second);
    m_name = section;
    return true;
}

bool CPrintEnv::SaveToIni(const std::string& path, std::string& error) const
{
    CIniFile ini;
    if (access(path.c_str(), F_OK) == 0 && !ini.Read(path, error))
        return false; // never overwrite a file we could not read
    CIniFile::Section& s = ini.Get(m_name);
    s.entries = Values();
    return ini.Write(path, error);
}

bool CIniFile::Read(const std::string& path, std::string& error)
{
    std::string text;
    return ReadWholeFile(path, text, error) && Parse(text, path, error);
}

bool CIniFile::Parse(const std::string& text, const std::string& origin, std::string& error)
{
    sections.clear();
    Section* current = nullptr;
    // Position of each key in its section, so a repeated key is found in
    // constant time (a later line replaces the earlier value).
    std::vector<std::unordered_map<std::wstring, std::size_t, KeyHash, KeyEqual>> index;
    std::size_t currentIndex = 0;
    std::size_t lineNo = 0;
    std::size_t pos = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string::npos)
            eol = text.size();
        const std::string line = Trim(text.substr(pos, eol - pos));
        pos = eol + 1;
        ++lineNo;
        auto fail = [&](const std::string& what) {
            error = origin + ":" + std::to_string(lineNo) + ": " + what;
            return false;
        };
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 2)
                return fail("section header without closing ']'");
            std::wstring name;
            if (!Unescape(line.substr(1, line.size() - 2), name))
                return fail("bad escape in section name");
            current = &Get(name);
            currentIndex = static_cast<std::size_t>(current - sections.data());
            index.resize(sections.size());
            continue;
        }
        // The first '=' not preceded by a backslash separates key and value.
        std::size_t eq = std::string::npos;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\') { ++i; continue; }
            if (line[i] == '=') { eq = i; break; }
        }
        if (eq == std::string::npos)
            return fail("expected key=value");
        if (!current)
            return fail("entry before the first [section]");
        std::wstring key, value;
        if (!Unescape(Trim(line.substr(0, eq)), key) || !Unescape(Trim(line.substr(eq + 1)), value))
            return fail("bad escape sequence");
        if (key.empty())
            return fail("empty key");
        if (key.find(L'\0') != std::wstring::npos)
            return fail("NUL character in a key");
        auto& keys = index[currentIndex];
        const auto found = keys.find(std::wstring_view(key));
        if (found != keys.end()) {
            current->entries[found->second].second = std::move(value);
        } else {
            keys.emplace(key, current->entries.size());
            current->entries.emplace_back(std::move(key), std::move(value));
        }
    }
    return true;
}

std::string CIniFile::Format() const
{
    std::string out = "; Printer settings, one section per printer instance.\n";
    for (const Section& s : sections) {
        out += "\n[" + Escape(s.name, true) + "]\n";
        for (const auto& kv : s.entries)
            out += Escape(kv.first, true) + "=" + Escape(kv.second, false) + "\n";
    }
    return out;
}

bool CIniFile::Write(const std::string& path, std::string& error) const
{
    return WriteFileAtomically(path, Format(), error);
}

CIniFile::Section* CIniFile::Find(const std::wstring& name)
{
    for (Section& s : sections)
        if (!KeyLess()(s.name, name) && !KeyLess()(name, s.name))
            return &s;
    return nullptr;
}

CIniFile::Section& CIniFile::Get(const std::wstring& name)
{
    if (Section* s = Find(name))
        return *s;
    sections.push_back(Section{name, {}});
    return sections.back();
}

