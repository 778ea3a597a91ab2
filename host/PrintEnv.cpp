#include "PrintEnv.h"

#include <cstdio>
#include <cwctype>
#include <locale.h>
#include <unistd.h>
#include <wctype.h>

#include "StrUtil.h"

#define PRENV_DEFINE(name, def) const _SECTIONENTRY PrEnv_##name = {L"PrEnv_" #name, def};
PRENV_ENTRIES(PRENV_DEFINE)
#undef PRENV_DEFINE

namespace {

// Keys and section names compare without case, for letters beyond ASCII
// too ("[Ärger]" is "[ärger]"): the lower case of C.UTF-8, independent of
// the process's locale.
wchar_t Fold(wchar_t c)
{
    if (c < 0x80)
        return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return utf8 ? static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), utf8)) : c;
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

// The file holds keys, values and section names as they are typed: a
// backslash is a backslash ("C:\\new\\test" stays as it is). A comment runs
// from a ';' or '#' at the start of a line, or after a blank, to the line's
// end. A value in double quotes keeps what lies between them (blanks at
// either end, ';' or '#' after a blank, quotes of its own).
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Where an inline comment starts in text (at 0 or after a blank), or npos.
std::size_t CommentStart(const std::string& text, std::size_t from = 0)
{
    for (std::size_t i = from; i < text.size(); ++i)
        if ((text[i] == ';' || text[i] == '#') && (i == 0 || IsBlank(text[i - 1])))
            return i;
    return std::string::npos;
}

// True when nothing but blanks and a comment follows position at.
bool OnlyCommentFrom(const std::string& text, std::size_t at)
{
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    return at == text.size() || text[at] == ';' || text[at] == '#';
}

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// The value as written: quoted when it would not read back as it is.
bool FormatValue(const std::string& value, std::string& out)
{
    if (HasLineBreak(value))
        return false;
    const bool quote = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || value.front() == '"' ||
                                          CommentStart(value) != std::string::npos);
    out = quote ? '"' + value + '"' : value;
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
    s.lines.clear();
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
    leading.clear();
    Section* current = nullptr;
    // Position of each key in its section, so a repeated key is found in
    // constant time (a later line replaces the earlier value).
    std::vector<std::unordered_map<std::wstring, std::size_t, KeyHash, KeyEqual>> index;
    std::size_t currentIndex = 0;
    // Comment and blank lines waiting for the key they stand above.
    std::vector<std::string> pending;
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
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            pending.push_back(line);
            continue;
        }
        if (line[0] == '[') {
            // The first ']' followed by nothing but blanks or a comment.
            std::size_t close = line.find(']');
            while (close != std::string::npos && !OnlyCommentFrom(line, close + 1))
                close = line.find(']', close + 1);
            if (close == std::string::npos)
                return fail("section header without closing ']'");
            if (current)
                current->trailing = std::move(pending);
            else
                leading = std::move(pending);
            pending.clear();
            current = &Get(Utf8ToWide(line.substr(1, close - 1)));
            if (!current->line)
                current->line = static_cast<int>(lineNo);
            current->headerComment = line.substr(close + 1);
            currentIndex = static_cast<std::size_t>(current - sections.data());
            index.resize(sections.size());
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            return fail("expected key=value");
        if (!current)
            return fail("entry before the first [section]");
        const std::string rawKey = Trim(line.substr(0, eq));
        std::string raw = Trim(line.substr(eq + 1)), comment;
        std::size_t valueEnd = std::string::npos;
        if (raw.size() >= 2 && raw[0] == '"') {
            // The last quote followed by nothing but a comment closes it.
            for (std::size_t q = raw.rfind('"'); q > 0 && q != std::string::npos; q = raw.rfind('"', q - 1))
                if (OnlyCommentFrom(raw, q + 1)) {
                    valueEnd = q + 1;
                    break;
                }
        }
        if (valueEnd == std::string::npos)
            valueEnd = CommentStart(raw);
        if (valueEnd != std::string::npos) {
            comment = raw.substr(valueEnd);
            raw.resize(valueEnd);
            while (!raw.empty() && IsBlank(raw.back())) {
                comment.insert(comment.begin(), raw.back());
                raw.pop_back();
            }
        }
        if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"')
            raw = raw.substr(1, raw.size() - 2);
        if (rawKey.empty())
            return fail("empty key");
        if (rawKey.find('\0') != std::string::npos)
            return fail("NUL character in a key");
        std::wstring key = Utf8ToWide(rawKey);
        std::wstring value = Utf8ToWide(raw);
        auto& keys = index[currentIndex];
        Remarks& remarks = current->remarks[key];
        remarks.above.insert(remarks.above.end(), pending.begin(), pending.end());
        remarks.after = comment;
        pending.clear();
        const auto found = keys.find(std::wstring_view(key));
        if (found != keys.end()) {
            current->entries[found->second].second = std::move(value);
            current->lines[found->second] = static_cast<int>(lineNo);
        } else {
            keys.emplace(key, current->entries.size());
            current->entries.emplace_back(std::move(key), std::move(value));
            current->lines.push_back(static_cast<int>(lineNo));
        }
    }
    if (current)
        current->trailing = std::move(pending);
    else
        leading = std::move(pending);
    return true;
}

int CIniFile::Section::LineOf(const std::wstring& key) const
{
    for (std::size_t i = 0; i < entries.size() && i < lines.size(); ++i)
        if (KeyEqual()(entries[i].first, key))
            return lines[i];
    return 0;
}

bool CIniFile::Format(std::string& out, std::string& error) const
{
    out.clear();
    if (sections.empty() && leading.empty())
        return true;
    if (leading.empty() && !sections.empty() && !sections[0].line)
        out = "; Printer settings, one section per printer instance.\n";
    for (const std::string& l : leading)
        out += l + "\n";
    for (const Section& s : sections) {
        const std::string name = WideToUtf8(s.name);
        const std::size_t close = (name + "]").find(']');
        std::size_t end = close;
        while (end < name.size() && !OnlyCommentFrom(name + "]", end + 1))
            end = (name + "]").find(']', end + 1);
        if (HasLineBreak(name) || end != name.size() || (!name.empty() && (IsBlank(name.front()) || IsBlank(name.back())))) {
            error = "the printer name [" + name + "] cannot be written as a section header";
            return false;
        }
        // A new section stands apart from the one before it.
        if (!out.empty() && out.compare(out.size() - 2, 2, "\n\n") != 0)
            out += "\n";
        out += "[" + name + "]" + s.headerComment + "\n";
        for (const auto& [key, value] : s.entries) {
            const std::string k = WideToUtf8(key);
            std::string v;
            if (k.empty() || k.find('=') != std::string::npos || HasLineBreak(k) || k[0] == '[' || k[0] == ';' ||
                k[0] == '#' || IsBlank(k.front()) || IsBlank(k.back()) || k.find('\0') != std::string::npos) {
                error = "[" + name + "]: the key \"" + k + "\" cannot be written as an INI key";
                return false;
            }
            if (!FormatValue(WideToUtf8(value), v)) {
                error = "[" + name + "]: the value of " + k + " holds a line break, which an INI line cannot";
                return false;
            }
            const auto remarks = s.remarks.find(key);
            if (remarks != s.remarks.end())
                for (const std::string& l : remarks->second.above)
                    out += l + "\n";
            out += k + "=" + v + (remarks != s.remarks.end() ? remarks->second.after : std::string()) + "\n";
        }
        // Remarks of keys no longer written stay, after the others.
        for (const auto& [key, remarks] : s.remarks) {
            bool written = false;
            for (const auto& kv : s.entries)
                written = written || KeyEqual()(kv.first, key);
            if (!written)
                for (const std::string& l : remarks.above)
                    out += l + "\n";
        }
        for (const std::string& l : s.trailing)
            out += l + "\n";
    }
    return true;
}

bool CIniFile::Write(const std::string& path, std::string& error) const
{
    std::string text;
    if (!Format(text, error)) {
        error = path + ": " + error;
        return false;
    }
    return WriteFileAtomically(path, text, error);
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
    sections.emplace_back();
    sections.back().name = name;
    return sections.back();
}

