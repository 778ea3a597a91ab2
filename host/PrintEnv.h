// The settings store of one printer instance. Keys and values are wide
// texts; keys compare without regard to ASCII case, as the host's INI-based
// store does. Every read passes its default; a missing key is never an error.
#pragma once

#include <map>
#include <string>
#include <vector>

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
    X(SlotsSettingDefault, L"")

#define PRENV_DECLARE(name, def) extern HOST_API const _SECTIONENTRY PrEnv_##name;
PRENV_ENTRIES(PRENV_DECLARE)
#undef PRENV_DECLARE

// Exported: the map in CDeviceEnv is used (HasKey, Values) from outside the library.
struct HOST_API KeyLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};

// Write side of the store.
class HOST_API CDeviceEnv {
public:
    void PutInt(const wchar_t* key, int value);
    void PutString(const wchar_t* key, const wchar_t* value);
    void PutString(const wchar_t* key, const std::wstring& value) { PutString(key, value.c_str()); }
    void PutInt(const _SECTIONENTRY& entry, int value) { PutInt(entry.pszKey, value); }
    void PutString(const _SECTIONENTRY& entry, const wchar_t* value) { PutString(entry.pszKey, value); }
    void DeleteEntry(const wchar_t* key);
    void DeleteEntry(const _SECTIONENTRY& entry) { DeleteEntry(entry.pszKey); }

protected:
    std::map<std::wstring, std::wstring, KeyLess> m_values;
};

class HOST_API CPrintEnv : public CDeviceEnv {
public:
    CPrintEnv() = default;
    explicit CPrintEnv(std::wstring name) : m_name(std::move(name)) {}
    virtual ~CPrintEnv() = default;

    // An integer value is optional blanks, an optional sign and decimal
    // digits (or "0x" and hex digits); anything else reads as the default.
    int GetInt(const wchar_t* key, int def) const;
    std::wstring GetString(const wchar_t* key, const wchar_t* def) const;
    int GetInt(const _SECTIONENTRY& entry) const;
    std::wstring GetString(const _SECTIONENTRY& entry) const;
    bool HasKey(const wchar_t* key) const { return m_values.count(key) != 0; }

    // Ink levels the host screens for, as derived from the device parameters.
    int GetInklevelsFromParms() const { return GetInt(PrEnv_InkLevels); }

    const std::wstring& Name() const { return m_name; }
    void SetName(const std::wstring& name) { m_name = name; }
    const std::map<std::wstring, std::wstring, KeyLess>& Values() const { return m_values; }
    void Clear() { m_values.clear(); }

    // Persistence: one INI section per printer instance, UTF-8, written to a
    // temporary file in the same folder and renamed over the old one, so a
    // crash never leaves a half-written store. Other sections are kept.
    // Both answer false with a message naming the file (and line) on failure.
    bool LoadFromIni(const std::string& path, const std::wstring& section, std::string& error);
    bool SaveToIni(const std::string& path, std::string& error) const;

private:
    std::wstring m_name;
};

// The INI file behind the store: ordered sections of ordered entries.
class HOST_API CIniFile {
public:
    struct Section {
        std::wstring name;
        std::vector<std::pair<std::wstring, std::wstring>> entries;
    };
    bool Read(const std::string& path, std::string& error);
    bool Parse(const std::string& text, const std::string& origin, std::string& error);
    std::string Format() const;
    bool Write(const std::string& path, std::string& error) const;
    Section* Find(const std::wstring& name);
    Section& Get(const std::wstring& name);

    std::vector<Section> sections;
};

// Reads a whole file. Answers false with a message naming the file.
HOST_API bool ReadWholeFile(const std::string& path, std::string& data, std::string& error);

// Writes data to path through a temporary file in the same folder and a
// rename. Answers false with a message on failure, leaving no temporary.
HOST_API bool WriteFileAtomically(const std::string& path, const std::string& data, std::string& error);
