// The settings store of one printer instance. Keys and values are wide
// texts; keys compare without regard to case, as the host's INI-based
// store does. Every read passes its default; a missing key is never an error.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "FileIO.h"
#include "HostApi.h"

// A named host entry of the printer's section ("PrEnv_UID" and so on). The
// entry is stored under its own name, so a job runner can set it like any key.
struct HOST_API _SECTIONENTRY {
    const wchar_t* pszKey;
    const wchar_t* pszDefault;
};

#define PRENV_ENTRIES(X)                                                    \
    X(UID, L"0") X(AbortCommand, L"") X(Back2Origin, L"0") X(Dpi, L"")      \
    X(DpiHorz, L"0") X(DpiVert, L"0") X(HideWithoutGap, L"0")               \
    X(InkLevels, L"1") X(InkSet, L"") X(InkVolume, L"")                     \
    X(MaxMediaLengthMm, L"") X(MaxPrintingWays, L"0")                       \
    X(OptionalDeviceID, L"") X(PrintDataType, L"0") X(PrintMethod, L"")     \
    X(PrintMethodList, L"") X(SandwichDoubleWidthMode, L"0")                \
    X(SlotsSettingDefault, L"")                                             \
    X(Port, L"")

#define PRENV_DECLARE(name, def) extern HOST_API const _SECTIONENTRY PrEnv_##name;
PRENV_ENTRIES(PRENV_DECLARE)
#undef PRENV_DECLARE

// Case-insensitive order, hash and equality of keys and section names.
struct HOST_API KeyLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};
struct HOST_API KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::wstring_view key) const;
};
struct HOST_API KeyEqual {
    using is_transparent = void;
    bool operator()(std::wstring_view a, std::wstring_view b) const;
};

// Write side of the store. Entries are kept in the order they were last
// written, so a saved section lists a class's keys in the order its Save
// wrote them, and lookups stay constant-time.
class HOST_API CDeviceEnv {
public:
    using Entry = std::pair<std::wstring, std::wstring>;

    void PutInt(const wchar_t* key, int value);
    void PutString(const wchar_t* key, const wchar_t* value);
    void PutString(const wchar_t* key, const std::wstring& value) { PutString(key, value.c_str()); }
    void PutInt(const _SECTIONENTRY& entry, int value) { PutInt(entry.pszKey, value); }
    void PutString(const _SECTIONENTRY& entry, const wchar_t* value) { PutString(entry.pszKey, value); }
    void DeleteEntry(const wchar_t* key);
    void DeleteEntry(const _SECTIONENTRY& entry) { DeleteEntry(entry.pszKey); }

    // The entries, in the order they were last written.
    std::vector<Entry> Values() const;
    std::size_t Count() const { return m_index.size(); }
    void Clear();

protected:
    // The stored value of key, or null.
    const std::wstring* Find(std::wstring_view key) const;

private:
    void Set(std::wstring_view key, std::wstring value);

    // A rewritten entry moves to the end: its old slot is marked dead and
    // the slots are compacted once the dead outnumber the live.
    struct Slot {
        std::wstring key;
        std::wstring value;
        bool live;
    };
    std::vector<Slot> m_slots;
    std::unordered_map<std::wstring, std::size_t, KeyHash, KeyEqual> m_index;
};

class HOST_API CPrintEnv : public CDeviceEnv {
public:
    CPrintEnv() = default;
    explicit CPrintEnv(std::wstring name) : m_name(std::move(name)) {}
    virtual ~CPrintEnv() = default;

    // An integer value is optional blanks, an optional sign and decimal
    // digits (or "0x" and hex digits); anything else reads as the default
    // and is noted in BadValues.
    int GetInt(const wchar_t* key, int def) const;
    std::wstring GetString(const wchar_t* key, const wchar_t* def) const;
    int GetInt(const _SECTIONENTRY& entry) const;
    // A number with a fraction: the leading number of the text (0 when there
    // is none). A stored text without a number, NaN, an infinity or a value
    // beyond the int range is noted in BadValues; NaN reads as 0 and the
    // others are clamped to the int range, so the value always converts to
    // an int.
    double GetDouble(const wchar_t* key, const wchar_t* def) const;
    std::wstring GetString(const _SECTIONENTRY& entry) const;
    bool HasKey(const wchar_t* key) const { return Find(key) != nullptr; }

    // Ink levels the host screens for, as derived from the device parameters.
    int GetInklevelsFromParms() const { return GetInt(PrEnv_InkLevels); }

    // Stored texts that an integer read could not convert (so their default
    // was used), in the order first met; each key once. Tools report them.
    struct BadValue {
        std::wstring key;
        std::wstring text;
        // What was wrong and what was used; empty: no whole number, the
        // default was used.
        std::string problem;
    };
    const std::vector<BadValue>& BadValues() const { return m_bad; }
    void ClearBadValues() { m_bad.clear(); }

    const std::wstring& Name() const { return m_name; }
    void SetName(const std::wstring& name) { m_name = name; }

    // Persistence: one INI section per printer instance, UTF-8, written to a
    // temporary file in the same folder and renamed over the old one, so a
    // crash never leaves a half-written store. Other sections are kept.
    // Both answer false with a message naming the file (and line) on failure.
    bool LoadFromIni(const std::string& path, const std::wstring& section, std::string& error);
    bool SaveToIni(const std::string& path, std::string& error) const;

private:
    void NoteBad(const wchar_t* key, const std::wstring& text, std::string problem) const;
    std::wstring m_name;
    mutable std::vector<BadValue> m_bad;
};

// The INI file behind the store: ordered sections of ordered entries, kept
// as they are typed (backslashes are literal). A comment runs from ';' or
// '#' at a line's start, or after a blank, to its end; comment and blank
// lines stay with the key below them (or the section's end), so a section
// rewritten from a store keeps them. A value in double quotes keeps what is
// between them. Line breaks cannot be stored: Format refuses them.
class HOST_API CIniFile {
public:
    struct Remarks {
        std::vector<std::string> above; // comment and blank lines
        std::string after;              // the comment after the value, with its blanks
    };
    struct Section {
        std::wstring name;
        std::vector<std::pair<std::wstring, std::wstring>> entries;
        int line = 0;                   // of the header; 0 for a new section
        std::vector<int> lines;         // of each entry as read
        std::string headerComment;
        std::map<std::wstring, Remarks, KeyLess> remarks;
        std::vector<std::string> trailing;
        // The line an entry was read from, 0 when unknown.
        int LineOf(const std::wstring& key) const;
    };
    bool Read(const std::string& path, std::string& error);
    bool Parse(const std::string& text, const std::string& origin, std::string& error);
    bool Format(std::string& text, std::string& error) const;
    bool Write(const std::string& path, std::string& error) const;
    Section* Find(const std::wstring& name);
    Section& Get(const std::wstring& name);

    std::vector<std::string> leading; // comment and blank lines before the first section
    std::vector<Section> sections;
};
