// The generic settings page: any page description over a loaded parameter
// object. Data flow as the host's pages have it: record -> page members
// (when the page opens) -> controls -> members (checked, on OK) -> record
// -> the class's Save into the settings.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "printcond/AnalyzeQI.h"
#include "ui/PageModel.h"
#include "ui/Strings.h"

class CPrintEnv;
class CUnivDevParmsBase;
namespace mimaki::parms {
class KeyTable;
}

// The host's page class, as far as the pages use it: the page's life
// steps and the questions the host asks an open page.
class CPrintEnvPropertyPage {
public:
    virtual ~CPrintEnvPropertyPage() = default;
    virtual int OnInitDialog() = 0;
    virtual int OnSetActive() = 0;
    virtual int OnQueryInkLevels() = 0;
    virtual int OnQueryDotSize() = 0;
    virtual std::wstring OnQueryDotVolume() = 0;
};

namespace mimaki::ui {

// One offered item of a combo or radio group.
struct ItemView {
    std::string text;
    int data = 0;
};

// A value of the page: a control of the page ("c<id>") or of a dialog
// opened by one of its buttons ("d<button>_<id>").
struct Slot {
    std::string name;
    const Control* ctl = nullptr;
    const Control* button = nullptr; // the button of a dialog's control
    std::wstring field;              // stored field (prefix + member), empty: none
    bool shown = true;
    int value = 0;       // radio index, check, number, combo index or data
    bool hasValue = false;
    std::vector<ItemView> items; // combo and radio items
};

// An offered print mode of a print-condition page.
struct PrintModeView {
    std::wstring name;       // the print method's name
    std::size_t condition;   // index into the analysed conditions
    std::vector<int> passes; // pass counts the mode accepts
};

// The pass/weaving consistency data of a dialog's pass radio group.
struct WeavingView {
    const Weaving* desc = nullptr;
    int headResolution = 600;
    int nozzles = 1272;
    int dpi = 0; // the print's vertical resolution; 0: unknown
};

struct PageError {
    std::string slot;    // the control to focus
    std::string message; // what is wrong, in the page's language
};

class Page : public CPrintEnvPropertyPage {
public:
    // The page over parms, loaded from env; texts from lang. parms and env
    // must outlive the page.
    Page(const PageDesc& desc, CUnivDevParmsBase& parms, CPrintEnv& env, const Catalogue& lang);
    ~Page() override;

    // Members from the record, items, shown controls; print-condition
    // pages analyse their data and list their print modes. Returns 1.
    int OnInitDialog() override;
    // Rereads the print method. Returns 1.
    int OnSetActive() override;
    int OnQueryInkLevels() override;
    int OnQueryDotSize() override;
    std::wstring OnQueryDotVolume() override;

    // Saving direction of the exchange: every shown and enabled control
    // takes its posted value ("c1031" -> "9"), checked against its range
    // and items. On the first failure the members are left as they were
    // and error names the control. A check box or radio group not posted
    // counts as unset (0, or no button).
    bool Exchange(const std::map<std::string, std::string>& posted, PageError& error);
    // The layered flatbeds: the layer manager's order (indexes into the
    // loaded list). False with error when it is no order of the list.
    bool SetLayerOrder(const std::string& order, PageError& error);
    // Members -> record (FromPropertyPage), print-method entries of the
    // print-condition pages, then the class's Save into env.
    void Save();

    const PageDesc& Desc() const { return m_desc; }
    int DialogId() const;
    const Catalogue& Lang() const { return m_lang; }
    const std::vector<Slot>& Slots() const { return m_slots; }
    const Slot* Find(const std::string& name) const;
    // Whether the control's enabling rule holds for the current values.
    bool Enabled(const Slot& slot) const;
    // The pass radio group of a dialog with pass/weaving consistency: its
    // data (false for any other control).
    bool WeavingOf(const Slot& passes, WeavingView& view) const;
    const std::wstring& PrintMethod() const { return m_printMethod; }

    // Print-condition pages.
    const std::vector<PrintModeView>& PrintModes() const { return m_modes; }
    const PrintModeView* ChosenMode() const { return SelectedMode(); }
    // The dot-volume button reads the printer's status block directly.
    bool DirectStatus() const;
    const MimakiPrintConditions& Conditions() const { return m_conditions; }
    bool ConditionsValid() const { return m_conditionsValid; }
    bool MultipleModeSets() const { return m_multipleSets; }
    // Texts of the message boxes the page raised while opening or saving.
    const std::vector<std::string>& Messages() const { return m_messages; }

    // The layer list of the layered flatbeds, in the page's order.
    struct LayerView {
        int type, passes, wave, direction;
        std::string typeText;
    };
    std::vector<LayerView> Layers() const;
    CUnivDevParmsBase& Parms() { return m_parms; }

private:
    void AddSlot(const Control& c, const Control* button, int dialogSlot);
    void LoadSlot(Slot& s);
    void StoreSlot(const Slot& s);
    bool CheckValue(const Slot& s, const std::string& text, int& value, PageError& error) const;
    bool Holds(const Cond& c, const Slot* self) const;
    void InitPrintModes();
    std::wstring InksetList() const; // the ink sets whose modes the page offers
    const PrintModeView* SelectedMode() const;
    const MimakiPrintCondition* SelectedCondition() const;
    void SavePrintModes();
    bool CheckModePasses(const Slot& s, int value, PageError& error) const;
    bool CheckWeaving(PageError& error) const;
    std::string Sibling(const Slot& s, int ctl) const;
    int SlotValue(int ctlId, const Slot* context) const;
    std::string Caption(const Slot& s) const;

    const PageDesc& m_desc;
    CUnivDevParmsBase& m_parms;
    CPrintEnv& m_env;
    const Catalogue& m_lang;
    const parms::KeyTable* m_table;
    std::vector<Slot> m_slots;
    std::map<std::string, std::size_t> m_byName;
    std::wstring m_printMethod;
    std::vector<std::string> m_messages;
    std::vector<int> m_layerOrder;

    MimakiPrintConditions m_conditions;
    bool m_conditionsValid = false;
    bool m_multipleSets = false;
    std::vector<PrintModeView> m_modes;
};

// The value of a record field as the page shows it, and back.
int ToPage(Map map, int record);
int ToRecord(Map map, int page);

// The weaving reference of a print at dpi (0: unknown, -1 answered) with a
// saw tooth of tooth rows.
double WeavingReference(const WeavingView& view, int tooth);
// Whether the pass count is refused with weaving at that reference.
bool PassRefused(const WeavingView& view, int passes, double reference);

} // namespace mimaki::ui
