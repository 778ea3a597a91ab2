// Settings pages as data. Every page class of the plug-in is one
// description: its controls with their dialog ids, kinds, captions, ranges,
// items, show and enabling rules and the parameter field each one binds to.
// One generic page (Page.h) loads, checks and saves any of them through the
// parameter class's key table.
#pragma once

#include <cstdint>
#include <span>

namespace mimaki::ui {

enum class Ctl : std::uint8_t {
    Group,     // group box: a caption over the controls that name it
    Label,     // static text
    Radio,     // radio group: one button per item, the value is the index
    Check,     // check box: 0 or 1
    Number,    // number edit (with its spin): min..max
    Combo,     // drop-down list, by index or by item data
    Slider,    // slider over the twelve dot-volume labels
    Button,    // opens a dialog or runs an action
    PrintMode, // print-condition pages: the print modes of the printer's data
    Layers,    // the layer list of the layered flatbeds (read-only table)
};

// A text: a string-table id of the catalogue, or a dialog caption (English;
// the other languages' catalogues translate it).
struct Str {
    int id = 0;
    const char* text = nullptr;
};

struct Item {
    Str caption;
    int data = 0;
};

// Where a rule reads the value it tests.
enum class From : std::uint8_t {
    None,    // always true
    Control, // the current value of another control of the page (live)
    Model,   // an integer entry of the printer's settings ("nPrinterTyp"), read when the page opens
    Checked, // enabled while the named check box (ctl) is on, and its own rule holds
};
enum class Op : std::uint8_t { Eq, Ne, NonZero, Zero, Ge, Le };

struct Cond {
    From from = From::None;
    int ctl = 0;                  // Control, Checked
    const wchar_t* key = nullptr; // Model
    int def = 0;                  // Model: default of the entry
    Op op = Op::NonZero;
    int value = 0;
};

// How the record's value and the control's value differ.
enum class Map : std::uint8_t {
    Same,
    Invert, // flag shown inverted (page: the value is set here)
    Plus1,  // page value = record value + 1
};

// Where a combo's items come from besides its fixed list.
enum class Items : std::uint8_t {
    Fixed,
    EnvList,      // a comma list of the settings (listKey), item data = index
    LayerKinds,   // the JFX layer kinds with "None" (255)
    PassCounts,   // JF print option: the offered pass counts
    ModePasses,   // print-condition pages: the pass counts of the print modes
                  // ("Printer setting" first); the chosen mode's are offered
};

// What a button does besides opening a dialog.
enum class Act : std::uint8_t {
    None,
    RetrievePrintModes, // the retrieval dialog, print-mode data
    RetrieveDotVolumes, // the retrieval dialog (or the direct status read), dot volumes
};

struct Control {
    int id = 0;
    Ctl kind = Ctl::Label;
    Str caption;
    const wchar_t* field = nullptr; // key-table member the value binds to
    int min = 0, max = 0;           // Number, Slider
    int spin = 0;                   // Number: the spin control's id; Slider: the edit showing its value
    std::span<const Item> items = {};
    bool byData = false; // Combo: bound by item data (else by index)
    Map map = Map::Same;
    int other = -1;   // Combo: the index an unlisted record value selects (-1: none)
    int group = 0;    // id of the group box it sits in
    Cond show = {};   // shown while this holds (evaluated when the page opens)
    Cond enable = {}; // enabled while this holds (evaluated as values change)
    const char* unit = nullptr;     // unit text after an edit
    int dialog = 0;                 // Button: the dialog it opens
    const wchar_t* prefix = nullptr; // Button: field prefix of the dialog's controls
    Items source = Items::Fixed;
    const wchar_t* listKey = nullptr; // Items::EnvList
    int variant = 0;                  // Button: which description of its dialog
    const wchar_t* dataField = nullptr; // Radio: also stores the chosen item's data here
    Act act = Act::None;                // Button

    // Builders for the description tables.
    constexpr Control In(int g) const { Control c = *this; c.group = g; return c; }
    constexpr Control Show(Cond s) const { Control c = *this; c.show = s; return c; }
    constexpr Control Enable(Cond e) const { Control c = *this; c.enable = e; return c; }
    constexpr Control When(int check) const { Control c = *this; c.enable = {mimaki::ui::From::Checked, check}; return c; }
    constexpr Control Spin(int s) const { Control c = *this; c.spin = s; return c; }
    constexpr Control Unit(const char* u) const { Control c = *this; c.unit = u; return c; }
    constexpr Control Mapped(Map m) const { Control c = *this; c.map = m; return c; }
    constexpr Control FromEnv(const wchar_t* key) const
    {
        Control c = *this;
        c.source = Items::EnvList;
        c.listKey = key;
        return c;
    }
    constexpr Control Source(Items source) const { Control c = *this; c.source = source; return c; }
};

// Shorthands of the description tables.
constexpr Control GroupBox(int id, Str caption) { return {.id = id, .kind = Ctl::Group, .caption = caption}; }
constexpr Control Label(int id, Str caption) { return {.id = id, .kind = Ctl::Label, .caption = caption}; }
constexpr Control Check(int id, Str caption, const wchar_t* field)
{
    return {.id = id, .kind = Ctl::Check, .caption = caption, .field = field};
}
constexpr Control Number(int id, Str caption, const wchar_t* field, int min, int max)
{
    return {.id = id, .kind = Ctl::Number, .caption = caption, .field = field, .min = min, .max = max};
}
constexpr Control Radio(int id, Str caption, const wchar_t* field, std::span<const Item> items)
{
    return {.id = id, .kind = Ctl::Radio, .caption = caption, .field = field, .items = items};
}
constexpr Control ComboIndex(int id, Str caption, const wchar_t* field, std::span<const Item> items = {})
{
    return {.id = id, .kind = Ctl::Combo, .caption = caption, .field = field, .items = items};
}
constexpr Control ComboData(int id, Str caption, const wchar_t* field, std::span<const Item> items = {})
{
    return {.id = id, .kind = Ctl::Combo, .caption = caption, .field = field, .items = items, .byData = true};
}
constexpr Control Slider(int id, Str caption, const wchar_t* field)
{
    return {.id = id, .kind = Ctl::Slider, .caption = caption, .field = field, .min = 0, .max = 11};
}
constexpr Control Button(int id, Str caption, int dialog = 0, const wchar_t* prefix = nullptr, int variant = 0)
{
    return {.id = id, .kind = Ctl::Button, .caption = caption, .dialog = dialog, .prefix = prefix, .variant = variant};
}
constexpr Control RetrieveButton(int id, Str caption, Act act)
{
    return {.id = id, .kind = Ctl::Button, .caption = caption, .act = act};
}
// Shown while the model entry holds.
constexpr Cond ModelIs(const wchar_t* key, int value, int def = 0) { return {From::Model, 0, key, def, Op::Eq, value}; }
constexpr Cond ModelSet(const wchar_t* key, int def = 0) { return {From::Model, 0, key, def, Op::NonZero, 0}; }
constexpr Cond ModelUnset(const wchar_t* key, int def = 0) { return {From::Model, 0, key, def, Op::Zero, 0}; }
// Enabled while another control has the value.
constexpr Cond ControlIs(int ctl, int value) { return {From::Control, ctl, nullptr, 0, Op::Eq, value}; }
constexpr Cond ControlIsNot(int ctl, int value) { return {From::Control, ctl, nullptr, 0, Op::Ne, value}; }

enum class Base : std::uint8_t {
    Plain,     // CPrintEnvPropertyPage
    Retrieve,  // CMimakiBaseRetrieveDataDialogClass: print modes and retrieval
};

// The host's questions, answered from the page's values.
struct Queries {
    int dotControl = 0;        // control holding the dot size (0: none)
    int variableValue = 0;     // its value for variable dots
    int variableLevels = 3;    // ink levels for variable dots, else the other
    int otherLevels = 1;
    std::span<const int> dotSizeAnswers = {}; // pairs: page value, answer (else 1)
};

// Print-condition pages: the record fields the chosen print mode sets.
struct PrintModeFields {
    const wchar_t* xDpi = nullptr;
    const wchar_t* yDpi = nullptr;
    const wchar_t* setNumber = nullptr;
    const wchar_t* hq = nullptr;
    const wchar_t* actionLarge = nullptr;
    const wchar_t* actionSmall = nullptr;
    const wchar_t* printModeId = nullptr;
    const wchar_t* waveShape = nullptr;
    const wchar_t* dotSize = nullptr;     // dot-size code checked against the mode's dot bits
    const wchar_t* dotVolumes = nullptr;  // the 360-byte dot-volume table
    const wchar_t* printModeData = nullptr;
};

struct PageDesc {
    const char* pageClass;  // "CMimakiPage24"
    const char* parmsClass; // "DEVPARM24_CLASS"
    int dialog;             // dialog resource
    Base base;
    std::span<const Control> controls;
    Queries queries = {};
    // A second dialog resource chosen by a model entry ("nPrinterTyp" == value).
    int altDialog = 0;
    const wchar_t* altKey = nullptr;
    int altValue = 0;
    Cond heaterAbsent = {}; // hides the heater group when it holds
    PrintModeFields printModes = {};
    bool layerList = false; // the page edits the class's layer list
};

// A modal dialog opened from a page: its controls bind to fields below the
// button's prefix.
// Pass/weaving consistency of a print-option dialog: with weaving on, a pass
// count p is not offered while p x the head's vertical resolution is at most
// the weaving reference rounded. The reference is the print's vertical
// resolution (the host's PrEnv_DpiVert; unknown: -1, nothing is refused)
// times the head's nozzles over the nozzles the saw tooth leaves
// (nozzles / (nozzles - rows to advance), at least one row left): a taller
// tooth needs more passes.
struct Weaving {
    int passes = 0; // the pass radio group (its items' data are the counts)
    int check = 0;  // "Use weaving"
    int tooth = 0;  // rows to advance
    const wchar_t* headResolutionKey = nullptr; // model entry, default headResolution
    int headResolution = 600;
    const wchar_t* nozzlesKey = nullptr;        // model entry, default nozzles
    int nozzles = 1272;
};

struct DialogDesc {
    int dialog;
    int variant; // models that name the dialog's fields differently
    const char* dialogClass;
    Str caption;
    std::span<const Control> controls;
    Weaving weaving = {};
};

// Every page description, and the page of a parameter class (null when it
// has none).
std::span<const PageDesc* const> AllPages();
const PageDesc* PageOfClass(const char* parmsClass);
std::span<const DialogDesc* const> AllDialogs();
const DialogDesc* DialogById(int id, int variant = 0);

// The twelve dot-volume labels, largest first.
std::span<const char* const> DotVolumeLabels();

} // namespace mimaki::ui
