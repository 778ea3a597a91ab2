// The settings keys of a device-parameter class as data: one list per class,
// read and written by one generic Load and Save, plus a profile of the
// class's answers that follow directly from its keys.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CUnivDevParmsBase;
class CPrintEnv;
class CDeviceEnv;

namespace mimaki::parms {

enum class Kind : std::uint8_t {
    Int,          // integer key, int field
    Real,         // number with a fraction: text in the store ("%.2f" on save), double field
    RealToString, // the same, written with the host's ToString(double)
    Text,         // wide text stored unchanged, std::wstring field
    Bytes,        // wide text kept as a byte string (pass lists), std::string field
    Hex360,       // 360-byte table as hex text, BYTE[360] field
    ModelInt,     // model-definition key: read with its default, never written
    ModelText,
    // Superseded keys. The key that replaced one follows it in the list and
    // shares its field; the old key is read first and, when it holds a
    // value, converted and the new key is not read. Save writes the old key
    // as not set.
    OldDotSize, // 0..3 become the codes 0x01, 0x10, 0x11, 0x12
    OldHeater,  // taken unchanged when not negative
    OldDryTime, // seconds as text, taken times ten when not negative
    OldWhite,   // taken unchanged when not -1
};

using FieldFn = void* (*)(CUnivDevParmsBase&);
using EntryFieldFn = int& (*)(CUnivDevParmsBase&, std::size_t);
using ResizeFn = void (*)(CUnivDevParmsBase&, std::size_t);
using IntDefaultFn = int (*)(CUnivDevParmsBase&, const CPrintEnv&);
using TextDefaultFn = std::wstring (*)(CUnivDevParmsBase&, const CPrintEnv&);

// One key. name is the member part (the class prefix and '_' go before it)
// or, for model-definition keys, the whole key.
struct Key {
    const wchar_t* name;
    Kind kind;
    int def = 0;
    const wchar_t* text = nullptr;    // default of the text kinds; Hex360: the model's table
    FieldFn field = nullptr;          // where the value lives (null: read only, for old keys)
    IntDefaultFn intDefault = nullptr;   // defaults taken from other values at load time
    TextDefaultFn textDefault = nullptr;
};

// Integer keys repeated for each entry of a list whose length an integer
// key of the class holds, for n = 1 .. length (the layer lists): stored as
// "<prefix>_<name><n>", or "<prefix>_<entry><n><name>" when the list names
// its entries. A missing key reads 0.
struct ListKey {
    const wchar_t* name;  // member part, such as L"layer1_" or L".nType"
    EntryFieldFn field;   // the value of entry index (from 0)
    // A value this rejects is kept as stored and logged with its key,
    // followed by why, such as "is no layer kind ...".
    bool (*valid)(int) = nullptr;
    const char* why = nullptr;
};

// Entries a layer list may hold: a damaged count is not a reason to read
// thousands of keys.
constexpr int kMaxLayers = 64;

struct KeyList {
    const wchar_t* count; // member part of the integer key with the length
    int maxEntries;       // a longer list is cut here, a negative length is none (both logged)
    ResizeFn resize;      // makes the record hold that many entries
    std::span<const ListKey> keys;
    const wchar_t* entry = nullptr; // such as L"Layer": the number follows it, the name the number
};

bool IsModelKey(Kind kind);
bool IsOldKey(Kind kind);

// How a class answers a host question that follows from its keys.
enum class Answer : std::uint8_t {
    Host,      // the host's own answer
    Zero,
    One,
    Keys,      // key a, and key b when named: 1 when both are non-zero
    Unchanged, // option 0: answered 1 without setting a default
};

// Test of PrEnv_InkLevels on save (3 when it holds, else 1).
enum class InkRule : std::uint8_t {
    None,              // not written
    DotIs,             // dot size == value
    DotIsBelow1440,    // dot size == value and PrEnv_Dpi below 1440
    DotAbove0Below1440,
    DotBelow,          // dot size < value
    Jfx,               // 1 -> 3, 0 -> the host's ink levels
    Ts500,             // 4, 5 -> 3; 6 -> 2; 0 -> 3 or the host's 2
};

// Which layer numbers are scheduled.
enum class LayerSchedule : std::uint8_t {
    None,
    KindId,  // the number is one of the five layer modes and not 255
    UjfMode, // the number plus 1 is one of the five layer modes
    List,    // a layer of the class's layer list prints the kind (never 255);
             // only such a kind is reversed
};

// The job end a class sends (GetEndString).
enum class EndString : std::uint8_t {
    Base,          // the medium feed and form feed, or "QE\000" in command set 4
    Empty,         // the layer sections carry the end
    JobEnd,        // "QE\000"
    BaseUnlessCut, // nothing when the job ends with "EndeCutAfter", else Base
    Own,           // the class's own
};

// Key names below are member parts of the class's keys, or model keys.
struct Profile {
    EndString end = EndString::Base;
    bool layered = false; // the start and end are written per layer section
    Answer cut = Answer::Host;
    const wchar_t* cutKey = nullptr;
    const wchar_t* cutKey2 = nullptr;
    Answer option0 = Answer::Host;
    const wchar_t* option0Key = nullptr;
    const wchar_t* option0Key2 = nullptr;
    Answer margins = Answer::Host; // Keys: the four margin members; Zero: an empty rectangle
    Answer strObSeq = Answer::Host;
    Answer highSpeed = Answer::Host; // Host: the base field bHighSpeed
    const wchar_t* highSpeedKey = nullptr;
    const wchar_t* highSpeedKey2 = nullptr;
    InkRule ink = InkRule::None;
    const wchar_t* inkDot = nullptr;
    int inkValue = 0;
    const wchar_t* printModeData = nullptr; // print-condition text of the model
    const wchar_t* xDpi = nullptr;          // PrEnv_DpiVert on save
    const wchar_t* yDpi = nullptr;          // PrEnv_DpiHorz on save
    bool colourMap = false;    // builds the colour map from the slots
    bool mapAnswers = false;   // GetColorMapValue answers from the map
    bool idAnswers = false;    // GetColorIdAt answers from the list
    bool hybrid = false;       // keeps the current ink set of a hybrid printer
    bool conditions = false;   // keeps the analysed print conditions
    const wchar_t* layerWhiteOrder = nullptr;
    const wchar_t* whiteOrderOrMode = nullptr;
    const wchar_t* layerOffset = nullptr;
    const wchar_t* clearCoatIrradiation = nullptr;
    const wchar_t* splitPrintArea = nullptr; // IsSplitPrintArea: this key equals 4
    LayerSchedule layerSchedule = LayerSchedule::None;
    std::uint64_t reversedKinds = 0; // IsLayerReversed: bit n set for layer kind n
    const KeyList* list = nullptr;   // keys repeated per list entry, after the others
};

// The answers shared by the models that work from print conditions: their
// print-mode data and resolutions, the colour map with both colour answers,
// margins from their keys, a string-object start, variable dots at code 1.
constexpr Profile PrintConditionProfile(const wchar_t* inkDot = L"m_nDotSizeV2")
{
    Profile p;
    p.margins = Answer::Keys;
    p.strObSeq = Answer::One;
    p.ink = InkRule::DotIs;
    p.inkDot = inkDot;
    p.inkValue = 1;
    p.printModeData = L"strPrintModeData";
    p.xDpi = L"nXDpi";
    p.yDpi = L"nYDpi";
    p.colourMap = p.mapAnswers = p.idAnswers = true;
    return p;
}

// The roll models that cut by "bCut" with the job's cut option on by
// default, start with a string object and have variable dots at size 0.
constexpr Profile RollProfile()
{
    Profile p;
    p.cut = Answer::Keys;
    p.cutKey = L"bCut";
    p.option0 = Answer::One;
    p.strObSeq = Answer::One;
    p.ink = InkRule::DotIs;
    p.inkDot = L"nDotSize";
    p.inkValue = 0;
    return p;
}

// A class's key list with its prefix and profile. Built once per class; the
// constructor checks the list (every key has its field, old keys are
// followed by their replacement, profile names exist) and aborts on a
// malformed table, which is a programming error.
class KeyTable {
public:
    KeyTable(const wchar_t* className, const wchar_t* prefix, std::span<const Key> keys, Profile profile = {});

    const wchar_t* ClassName() const { return m_class; }
    const wchar_t* Prefix() const { return m_prefix; }
    std::span<const Key> Keys() const { return m_keys; }
    const Profile& GetProfile() const { return m_profile; }
    // The key as stored: prefix, '_' and member, or the model key itself.
    const std::wstring& StoredName(std::size_t index) const { return m_names[index]; }
    const Key* Find(std::wstring_view name) const;

    // Typed access to a key's field by name.
    int& Int(CUnivDevParmsBase& obj, const wchar_t* name) const;
    double& Real(CUnivDevParmsBase& obj, const wchar_t* name) const;
    std::wstring& Text(CUnivDevParmsBase& obj, const wchar_t* name) const;

    void Load(CUnivDevParmsBase& obj, const CPrintEnv& env) const;
    void Save(CUnivDevParmsBase& obj, CDeviceEnv& env) const;
    // The value of a key's field as it would be stored (hex for tables).
    std::wstring FieldText(CUnivDevParmsBase& obj, std::size_t index) const;
    // The list keys as stored, entry by entry, with their values.
    std::vector<std::pair<std::wstring, std::wstring>> ListEntries(CUnivDevParmsBase& obj) const;
    // Writes them and removes those of a longer list stored before; the
    // class's Save calls it after the host entries it derives, last.
    void SaveList(CUnivDevParmsBase& obj, CDeviceEnv& env) const;
    // A list key's stored name with "<n>" for the entry number.
    std::wstring ListKeyPattern(const ListKey& key) const;

    // Answers from the profile; empty when the host answers.
    std::optional<int> MediaCut(CUnivDevParmsBase& obj) const;
    std::optional<int> Option0Default(CUnivDevParmsBase& obj) const; // -1: answered, value unchanged
    bool HasMargins() const { return m_profile.margins != Answer::Host; }
    void Margins(CUnivDevParmsBase& obj, double& right, double& left) const;
    int InkLevels(CUnivDevParmsBase& obj, const CPrintEnv& env) const; // 0: not written

private:
    int KeysAnswer(CUnivDevParmsBase& obj, const wchar_t* a, const wchar_t* b) const;
    void LoadList(CUnivDevParmsBase& obj, const CPrintEnv& env) const;
    int ListLength(CUnivDevParmsBase& obj) const; // entries the list holds
    std::wstring ListKeyName(const ListKey& key, const std::wstring& number) const;
    [[noreturn]] void Malformed(const std::wstring& what) const;

    const wchar_t* m_class;
    const wchar_t* m_prefix;
    std::span<const Key> m_keys;
    Profile m_profile;
    std::vector<std::wstring> m_names;
    std::unordered_map<std::wstring_view, std::size_t> m_byName;
};

// The 720 hex digits of the dot-volume tables the models ship with.
const wchar_t* DefaultDotVolumes();

// Defaults taken at load time.
// "SlotsSetting": the host's entry PrEnv_SlotsSettingDefault.
std::wstring SlotsDefault(CUnivDevParmsBase&, const CPrintEnv& env);
// A wave shape: the first of the model's offered wave shapes
// ("$WaveShapeValues$", comma-separated), else 1.
int WaveShapeDefault(CUnivDevParmsBase&, const CPrintEnv& env);

} // namespace mimaki::parms

// Table-building shorthands for the family units. Self names the class whose
// table is being written; member names double as the key's member part.
#define PK_FIELD(expr) [](CUnivDevParmsBase& o) -> void* { return &static_cast<Self&>(o).expr; }
#define PK_INT(name, expr, d) mimaki::parms::Key{name, mimaki::parms::Kind::Int, d, nullptr, PK_FIELD(expr)}
#define KI(m, d) PK_INT(L"" #m, m, d)
#define KR(m, t) mimaki::parms::Key{L"" #m, mimaki::parms::Kind::Real, 0, t, PK_FIELD(m)}
#define KT(m) mimaki::parms::Key{L"" #m, mimaki::parms::Kind::Text, 0, L"", PK_FIELD(m)}
#define KB(m) mimaki::parms::Key{L"" #m, mimaki::parms::Kind::Bytes, 0, L"", PK_FIELD(m)}
#define KH(m) mimaki::parms::Key{L"" #m, mimaki::parms::Kind::Hex360, 0, mimaki::parms::DefaultDotVolumes(), PK_FIELD(m)}
#define KH0(m) mimaki::parms::Key{L"" #m, mimaki::parms::Kind::Hex360, 0, L"", PK_FIELD(m)}
#define MI(m, d) mimaki::parms::Key{L"" #m, mimaki::parms::Kind::ModelInt, d, nullptr, PK_FIELD(m)}
#define MT(m, t) mimaki::parms::Key{L"" #m, mimaki::parms::Kind::ModelText, 0, t, PK_FIELD(m)}
#define KID(m, fn) mimaki::parms::Key{L"" #m, mimaki::parms::Kind::Int, 0, nullptr, PK_FIELD(m), fn}
#define MSLOTS(m) mimaki::parms::Key{L"" #m, mimaki::parms::Kind::ModelText, 0, nullptr, PK_FIELD(m), nullptr, mimaki::parms::SlotsDefault}
// The four margin keys of the models that set margins.
#define PK_MARGIN_KEYS KI(m_bSetLeftMargin, 0), KI(m_nLeftMargin, 0), KI(m_bSetRightMargin, 0), KI(m_nRightMargin, 0)
// A list key of entry field m (Self::m_Layers and the like: the field
// expression after "[i]."), with its value check when given.
#define PK_LIST(name, list, m, ...)                                                                          \
    mimaki::parms::ListKey{                                                                                 \
        name, [](CUnivDevParmsBase& o, std::size_t i) -> int& { return static_cast<Self&>(o).list[i].m; }     \
                  __VA_OPT__(, ) __VA_ARGS__}
#define KOLD(kind, name) mimaki::parms::Key{name, mimaki::parms::Kind::kind, -1, L"-1", nullptr}
