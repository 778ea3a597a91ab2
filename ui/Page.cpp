#include "ui/Page.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <set>
#include <tuple>

#include "devparms/MimakiDevParms.h"
#include "devparms/MimakiLayerList.h"
#include "devparms/ParmKeys.h"
#include "entry/MimakiRetrieve.h"
#include "entry/ModelTable.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "layers/JfxLayerKinds.h"
#include "printcond/RetrieveQI.h"

namespace mimaki::ui {

using parms::Kind;

namespace {

// A page control's name, "c<id>" (appended: GCC 12 at -O3 takes a literal
// put before a temporary for an overlapping copy).
std::string ControlName(int id)
{
    std::string name = "c";
    return name += std::to_string(id);
}

bool ParseInt(const std::string& text, int& value)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool neg = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        neg = text[i++] == '-';
    long long v = 0;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        v = v * 10 + (text[i] - '0');
        if (v > 2147483648LL)
            return false;
    }
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (!digits || i != text.size())
        return false;
    v = neg ? -v : v;
    if (v > 2147483647LL)
        return false;
    value = static_cast<int>(v);
    return true;
}

std::string Format(const std::string& pattern, long long a, long long b = 0)
{
    char buf[512];
    std::snprintf(buf, sizeof buf, pattern.c_str(), a, b);
    return buf;
}

bool Test(Op op, int v, int value)
{
    switch (op) {
    case Op::Eq: return v == value;
    case Op::Ne: return v != value;
    case Op::NonZero: return v != 0;
    case Op::Zero: return v == 0;
    case Op::Ge: return v >= value;
    case Op::Le: return v <= value;
    }
    return false;
}

bool NumericKind(Kind k)
{
    return k == Kind::Int || k == Kind::ModelInt || k == Kind::Real || k == Kind::RealToString;
}

std::vector<std::wstring> CommaList(const std::wstring& text)
{
    std::vector<std::wstring> out;
    for (std::wstring& part : Split(text, L',', 1)) {
        const std::size_t b = part.find_first_not_of(L" \t");
        const std::size_t e = part.find_last_not_of(L" \t");
        if (b != std::wstring::npos)
            out.push_back(part.substr(b, e - b + 1));
    }
    return out;
}

} // namespace

int ToPage(Map map, int record)
{
    switch (map) {
    case Map::Invert: return record ? 0 : 1;
    case Map::Plus1: return record + 1;
    case Map::Same: break;
    }
    return record;
}

int ToRecord(Map map, int page)
{
    switch (map) {
    case Map::Invert: return page ? 0 : 1;
    case Map::Plus1: return page - 1;
    case Map::Same: break;
    }
    return page;
}

double WeavingReference(const WeavingView& view, int tooth)
{
    if (view.dpi <= 0)
        return -1.0;
    // A tooth as tall as the head leaves it one row.
    const int free = std::max(1, view.nozzles - std::max(0, tooth));
    return static_cast<double>(view.dpi) * view.nozzles / free;
}

bool PassRefused(const WeavingView& view, int passes, double reference)
{
    return static_cast<double>(passes) * view.headResolution <= std::floor(reference + 0.5);
}

Page::Page(const PageDesc& desc, CUnivDevParmsBase& parms, CPrintEnv& env, const Catalogue& lang)
    : m_desc(desc), m_parms(parms), m_env(env), m_lang(lang), m_table(KeyTableOf(&parms))
{
}

Page::~Page() = default;

int Page::DialogId() const
{
    if (m_desc.altDialog && m_env.GetInt(m_desc.altKey, 0) == m_desc.altValue)
        return m_desc.altDialog;
    return m_desc.dialog;
}

void Page::AddSlot(const Control& c, const Control* button, int dialogSlot)
{
    Slot s;
    s.ctl = &c;
    s.button = button;
    s.name = button ? std::string("d").append(std::to_string(dialogSlot)) + "_" + std::to_string(c.id) : ControlName(c.id);
    if (c.field)
        s.field = std::wstring(button && button->prefix ? button->prefix : L"") + c.field;
    m_byName[s.name] = m_slots.size();
    m_slots.push_back(std::move(s));
}

const Slot* Page::Find(const std::string& name) const
{
    const auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : &m_slots[it->second];
}

std::string Page::Sibling(const Slot& s, int ctl) const
{
    // The controls of a dialog are named after its button: "d<button>_<id>".
    if (s.button)
        return s.name.substr(0, s.name.find('_') + 1) + std::to_string(ctl);
    return ControlName(ctl);
}

int Page::SlotValue(int ctlId, const Slot* context) const
{
    // A rule of a dialog's control reads the controls of the same dialog.
    const Slot* s = Find(context ? Sibling(*context, ctlId) : ControlName(ctlId));
    return s ? s->value : 0;
}

bool Page::Holds(const Cond& c, const Slot* self) const
{
    switch (c.from) {
    case From::None: return true;
    case From::Model: return Test(c.op, m_env.GetInt(c.key, c.def), c.value);
    case From::Control: return Test(c.op, SlotValue(c.ctl, self), c.value);
    case From::Checked: return SlotValue(c.ctl, self) != 0;
    }
    return true;
}

bool Page::Enabled(const Slot& s) const
{
    if (!Holds(s.ctl->enable, &s))
        return false;
    // A control inside a group headed by a check box follows the check box.
    if (s.ctl->group) {
        const Slot* head = Find(Sibling(s, s.ctl->group));
        if (head && head != &s && head->ctl->kind == Ctl::Check && (!head->value || !Enabled(*head)))
            return false;
    }
    return true;
}

void Page::LoadSlot(Slot& s)
{
    const Control& c = *s.ctl;
    s.items.clear();
    switch (c.source) {
    case Items::Fixed:
    case Items::ModePasses: // the print modes' passes replace them once known
        for (const Item& it : c.items)
            s.items.push_back({m_lang.Text(it.caption), it.data});
        break;
    case Items::EnvList: {
        int index = 0;
        for (const std::wstring& v : CommaList(m_env.GetString(c.listKey, L"")))
            s.items.push_back({WideToUtf8(v), index++});
        break;
    }
    case Items::LayerKinds:
        s.items.push_back({jfx::KindLabel(jfx::Model::JFX200, jfx::kNone), jfx::kNone});
        for (int k = 0; k < jfx::kKindCount; ++k)
            s.items.push_back({jfx::KindLabel(jfx::Model::JFX200, k), k});
        break;
    case Items::PassCounts:
        for (const int p : {1, 2, 4, 8})
            s.items.push_back({Format(m_lang.Text("%lld passes"), p), p});
        break;
    }
    if (s.field.empty() || !m_table)
        return;
    const parms::Key* key = m_table->Find(s.field);
    if (!key || !NumericKind(key->kind))
        return;
    const int record = key->kind == Kind::Int || key->kind == Kind::ModelInt
                           ? m_table->Int(m_parms, s.field.c_str())
                           : static_cast<int>(std::lround(m_table->Real(m_parms, s.field.c_str())));
    s.value = ToPage(c.map, record);
    s.hasValue = true;
}

void Page::StoreSlot(const Slot& s)
{
    if (s.field.empty() || !m_table || !s.hasValue)
        return;
    const parms::Key* key = m_table->Find(s.field);
    if (!key || !NumericKind(key->kind) || key->kind == Kind::ModelInt)
        return;
    const int record = ToRecord(s.ctl->map, s.value);
    // A pass-count radio group also stores the count it chose, when a
    // choice was made: a page saved with the dialog untouched keeps the
    // stored count (0, the printer's own, unless chosen before).
    const bool chosen = key->kind != Kind::Int || m_table->Int(m_parms, s.field.c_str()) != record;
    if (s.ctl->dataField && chosen && s.value >= 0 && static_cast<std::size_t>(s.value) < s.items.size()) {
        const std::wstring data = s.field.substr(0, s.field.size() - std::wcslen(s.ctl->field)) + s.ctl->dataField;
        if (m_table->Find(data))
            m_table->Int(m_parms, data.c_str()) = s.items[static_cast<std::size_t>(s.value)].data;
    }
    if (key->kind == Kind::Int)
        m_table->Int(m_parms, s.field.c_str()) = record;
    else
        m_table->Real(m_parms, s.field.c_str()) = record;
}

int Page::OnInitDialog()
{
    m_slots.clear();
    m_byName.clear();
    m_messages.clear();
    // The page's controls first, then those of each dialog its buttons open.
    for (const Control& c : m_desc.controls)
        AddSlot(c, nullptr, 0);
    for (const Control& c : m_desc.controls)
        if (c.kind == Ctl::Button && c.dialog)
            if (const DialogDesc* d = DialogById(c.dialog, c.variant))
                for (const Control& dc : d->controls)
                    AddSlot(dc, &c, c.id);
    for (Slot& s : m_slots) {
        s.shown = Holds(s.ctl->show, &s);
        LoadSlot(s);
    }
    if (const std::vector<CMimakiLayerRecord>* list = layerlist::Of(&m_parms)) {
        m_layerOrder.clear();
        for (std::size_t i = 0; i < list->size(); ++i)
            m_layerOrder.push_back(static_cast<int>(i));
    }
    OnSetActive();
    if (m_desc.base == Base::Retrieve)
        InitPrintModes();
    return 1;
}

int Page::OnSetActive()
{
    m_printMethod = m_env.GetString(PrEnv_PrintMethod);
    return 1;
}

std::string Page::Caption(const Slot& s) const
{
    std::string text = PlainCaption(m_lang.Text(s.ctl->caption));
    // A control without a caption is named by the label before it, or by
    // the check box that enables it, or by its group.
    const std::size_t at = static_cast<std::size_t>(&s - m_slots.data());
    if (text.empty() && at > 0 && m_slots[at - 1].ctl->kind == Ctl::Label)
        text = PlainCaption(m_lang.Text(m_slots[at - 1].ctl->caption));
    if (text.empty() && s.ctl->enable.from == From::Checked)
        if (const Slot* c = Find(Sibling(s, s.ctl->enable.ctl)))
            text = PlainCaption(m_lang.Text(c->ctl->caption));
    if (text.empty() && s.ctl->group)
        if (const Slot* g = Find(Sibling(s, s.ctl->group)))
            text = PlainCaption(m_lang.Text(g->ctl->caption));
    while (!text.empty() && (text.back() == ':' || text.back() == ' '))
        text.pop_back();
    return text;
}

bool Page::CheckValue(const Slot& s, const std::string& text, int& value, PageError& error) const
{
    const Control& c = *s.ctl;
    const auto fail = [&](std::string message) {
        error = {s.name, std::move(message)};
        return false;
    };
    switch (c.kind) {
    case Ctl::Check:
        if (text != "0" && text != "1")
            return fail(m_lang.Text("A check box is on (1) or off (0).") + " (" + Caption(s) + ")");
        value = text == "1";
        return true;
    case Ctl::Number:
    case Ctl::Slider:
        if (!ParseInt(text, value) || value < c.min || value > c.max) {
            std::string msg = Format(m_lang.Text("Enter an integer between %lld and %lld."), c.min, c.max);
            return fail(msg + " (" + Caption(s) + ")");
        }
        return true;
    case Ctl::Radio:
    case Ctl::Combo:
    case Ctl::PrintMode: {
        const std::size_t count = c.kind == Ctl::PrintMode ? m_modes.size() : s.items.size();
        int index = -1;
        if (!ParseInt(text, index) || index < 0 || static_cast<std::size_t>(index) >= count)
            return fail(m_lang.Text("Choose one of the offered values.") + " (" + Caption(s) + ")");
        value = c.kind == Ctl::Combo && c.byData ? s.items[static_cast<std::size_t>(index)].data : index;
        return true;
    }
    default: return true;
    }
}

bool Page::Exchange(const std::map<std::string, std::string>& posted, PageError& error)
{
    // The posted check boxes, radio groups, combos and print mode decide
    // which controls are enabled and what they may hold, so they are taken
    // first, tentatively.
    std::vector<std::pair<int, bool>> before;
    for (const Slot& s : m_slots)
        before.emplace_back(s.value, s.hasValue);
    const auto restore = [&] {
        for (std::size_t i = 0; i < m_slots.size(); ++i)
            std::tie(m_slots[i].value, m_slots[i].hasValue) = before[i];
    };
    for (Slot& s : m_slots) {
        const Ctl kind = s.ctl->kind;
        if (kind != Ctl::Check && kind != Ctl::Radio && kind != Ctl::Combo && kind != Ctl::PrintMode)
            continue;
        const auto it = posted.find(s.name);
        PageError ignored;
        int value = 0;
        if (it == posted.end())
            s.value = kind == Ctl::Check ? 0 : s.value;
        else if (!it->second.empty() && CheckValue(s, it->second, value, ignored))
            s.value = value;
    }
    std::vector<std::pair<std::size_t, int>> taken;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        const Slot& s = m_slots[i];
        const Ctl kind = s.ctl->kind;
        if (kind == Ctl::Group || kind == Ctl::Label || kind == Ctl::Button || kind == Ctl::Layers)
            continue;
        if (!s.shown || !Enabled(s))
            continue;
        const auto it = posted.find(s.name);
        // An empty selection keeps the member (a stored value no item has).
        if (it == posted.end() || (it->second.empty() && kind != Ctl::Number)) {
            if (kind == Ctl::Check)
                taken.emplace_back(i, 0);
            continue;
        }
        int value = 0;
        if (!CheckValue(s, it->second, value, error) || !CheckModePasses(s, value, error)) {
            restore();
            return false;
        }
        taken.emplace_back(i, value);
    }
    restore();
    for (const auto& [i, value] : taken) {
        m_slots[i].value = value;
        m_slots[i].hasValue = m_slots[i].hasValue || !m_slots[i].field.empty();
    }
    // Checks across controls see every value the operator gave.
    if (!CheckWeaving(error)) {
        restore();
        return false;
    }
    return true;
}

bool Page::CheckModePasses(const Slot& s, int value, PageError& error) const
{
    if (s.ctl->source != Items::ModePasses || value == 0)
        return true;
    const PrintModeView* mode = SelectedMode();
    if (!mode || mode->passes.empty() ||
        std::find(mode->passes.begin(), mode->passes.end(), value) != mode->passes.end())
        return true;
    std::string passes;
    for (const int p : mode->passes)
        passes += (passes.empty() ? "" : ", ") + std::to_string(p);
    error = {s.name, m_lang.Text("The chosen print mode prints with these passes only:") + " " + passes + " (" +
                         Caption(s) + ")"};
    return false;
}

bool Page::WeavingOf(const Slot& passes, WeavingView& view) const
{
    if (!passes.button)
        return false;
    const DialogDesc* d = DialogById(passes.button->dialog, passes.button->variant);
    if (!d || !d->weaving.passes || d->weaving.passes != passes.ctl->id)
        return false;
    const Weaving& w = d->weaving;
    view.desc = &w;
    view.headResolution = w.headResolutionKey ? m_env.GetInt(w.headResolutionKey, w.headResolution) : w.headResolution;
    view.nozzles = w.nozzlesKey ? m_env.GetInt(w.nozzlesKey, w.nozzles) : w.nozzles;
    view.dpi = m_env.GetInt(PrEnv_DpiVert);
    return true;
}

bool Page::CheckWeaving(PageError& error) const
{
    for (const Slot& s : m_slots) {
        WeavingView view;
        if (!WeavingOf(s, view))
            continue;
        const Slot* check = Find(Sibling(s, view.desc->check));
        const Slot* tooth = Find(Sibling(s, view.desc->tooth));
        if (!check || !check->value || !check->shown || !Enabled(*check) || !tooth)
            continue;
        const double reference = WeavingReference(view, tooth->value);
        const int chosen = s.value;
        if (chosen < 0 || static_cast<std::size_t>(chosen) >= s.items.size() ||
            !PassRefused(view, s.items[static_cast<std::size_t>(chosen)].data, reference))
            continue;
        // The dialog moves a refused choice on to the next button; from the
        // last one it has nowhere to go and leaves it.
        if (chosen + 1 < static_cast<int>(s.items.size())) {
            error = {s.name, m_lang.Text("Too few passes for weaving at this resolution: choose more passes or "
                                         "turn weaving off.") +
                                 " (" + Caption(s) + ")"};
            return false;
        }
        const double rounded = std::min(std::floor(reference + 0.5), static_cast<double>(INT_MAX));
        CVoLog log;
        log->ReportStatusPF("***%s: JFX 16xx weaving error: cannot find valid pass number for vert. resolution=%d. "
                            "Current pass=%d\n",
                            4, __FILE__, __LINE__, "CMimaki_JF_PrintOption::CheckPassWeavingConsistency",
                            static_cast<int>(rounded), chosen);
    }
    return true;
}

bool Page::SetLayerOrder(const std::string& order, PageError& error)
{
    const std::vector<CMimakiLayerRecord>* list = layerlist::Of(&m_parms);
    const std::size_t count = list ? list->size() : 0;
    std::vector<int> out;
    std::set<int> seen;
    bool ok = list != nullptr;
    std::size_t pos = 0;
    while (ok && pos < order.size()) {
        std::size_t end = order.find(',', pos);
        if (end == std::string::npos)
            end = order.size();
        int v = -1;
        ok = ParseInt(order.substr(pos, end - pos), v) && v >= 0 && static_cast<std::size_t>(v) < count &&
             seen.insert(v).second;
        out.push_back(v);
        pos = end + 1;
    }
    if (!ok || (count > 0 && out.empty())) {
        error = {"layers", m_lang.Text("The layer order does not fit the page's layer list.")};
        return false;
    }
    m_layerOrder = std::move(out);
    return true;
}

std::vector<Page::LayerView> Page::Layers() const
{
    std::vector<LayerView> out;
    const std::vector<CMimakiLayerRecord>* list = layerlist::Of(&m_parms);
    if (!list)
        return out;
    for (const int i : m_layerOrder) {
        const CMimakiLayerRecord& r = (*list)[static_cast<std::size_t>(i)];
        out.push_back({r.nType, r.nPass, r.nWaveForm, r.nDirection, jfx::KindLabel(jfx::Model::JFX200, r.nType)});
    }
    return out;
}

void Page::Save()
{
    for (const Slot& s : m_slots)
        StoreSlot(s);
    if (std::vector<CMimakiLayerRecord>* list = layerlist::Of(&m_parms)) {
        std::vector<CMimakiLayerRecord> records;
        for (const int i : m_layerOrder)
            records.push_back((*list)[static_cast<std::size_t>(i)]);
        *list = std::move(records);
        m_layerOrder.clear();
        for (std::size_t i = 0; i < list->size(); ++i)
            m_layerOrder.push_back(static_cast<int>(i));
        // The count key holds the list's length.
        if (m_table && m_table->GetProfile().list)
            m_table->Int(m_parms, m_table->GetProfile().list->count) = static_cast<int>(list->size());
    }
    if (m_desc.base == Base::Retrieve)
        SavePrintModes();
    m_parms.Save(&m_env);
}

int Page::OnQueryInkLevels()
{
    const Queries& q = m_desc.queries;
    const Slot* s = q.dotControl ? Find(ControlName(q.dotControl)) : nullptr;
    if (!s)
        return 1;
    int levels = s->value == q.variableValue ? q.variableLevels : q.otherLevels;
    // A print mode of one dot bit has one ink level whatever the dot size.
    if (const MimakiPrintCondition* c = SelectedCondition(); c && c->dotBit < 2)
        levels = 1;
    return levels;
}

int Page::OnQueryDotSize()
{
    const Queries& q = m_desc.queries;
    const Slot* s = q.dotControl ? Find(ControlName(q.dotControl)) : nullptr;
    if (!s)
        return 1;
    for (std::size_t i = 0; i + 1 < q.dotSizeAnswers.size(); i += 2)
        if (q.dotSizeAnswers[i] == s->value)
            return q.dotSizeAnswers[i + 1];
    return 1;
}

std::wstring Page::OnQueryDotVolume()
{
    if (m_desc.base != Base::Retrieve)
        return L"";
    static const wchar_t* const kNone = L"6.00,20.00,12.00,6.00";
    const wchar_t* name = m_desc.printModes.dotVolumes;
    const parms::Key* key = m_table && name ? m_table->Find(name) : nullptr;
    if (!key || key->kind != Kind::Hex360)
        return kNone;
    const BYTE* table = static_cast<const BYTE*>(key->field(m_parms));
    // The first slot of the group the chosen mode's set number names that
    // has volumes: small, medium and large drop, in picolitres (tenths
    // stored).
    const MimakiPrintCondition* c = SelectedCondition();
    const std::size_t group = c ? c->printModeSetNumber % 6 : 0;
    for (std::size_t slot = 0; slot < 10; ++slot) {
        const BYTE* e = table + (group * 10 + slot) * 6;
        int v[3];
        bool valid = true;
        for (int k = 0; k < 3; ++k) {
            v[k] = e[2 * k] | (e[2 * k + 1] << 8);
            valid = valid && v[k] >= 1 && v[k] <= 1000;
        }
        if (!valid)
            continue;
        wchar_t buf[96];
        std::swprintf(buf, 96, L"%1.2f,%1.2f,%1.2f", v[0] / 10.0, v[1] / 10.0, v[2] / 10.0);
        return buf;
    }
    return kNone;
}

bool Page::DirectStatus() const
{
    for (const mimaki::RetrievalPage& p : mimaki::RetrievalPages())
        if (std::strcmp(p.parmsClass, m_desc.parmsClass) == 0)
            return p.directStatus;
    return false;
}

std::wstring Page::InksetList() const
{
    // Hybrid models: the current ink set; else those of the device
    // parameters; else (data read from the printer) the allowed ones.
    std::wstring list;
    if (auto* mp = dynamic_cast<const CMimakiDevParmsBase*>(&m_parms))
        list = mp->m_strCurrentInkset.empty() ? mp->m_strInkset : mp->m_strCurrentInkset;
    return list.empty() ? m_env.GetString(L"AllowedInksetList", L"") : list;
}

void Page::InitPrintModes()
{
    const PrintModeFields& f = m_desc.printModes;
    m_modes.clear();
    m_conditions = {};
    if (!f.printModeData)
        return; // dot volumes only
    std::wstring text;
    if (m_table && f.printModeData && m_table->Find(f.printModeData))
        text = m_table->Text(m_parms, f.printModeData);
    std::wstring inksetNames;
    m_conditionsValid = CAnalyzeQI::Analyze(text, inksetNames, m_conditions) && !m_conditions.m_Conditions.empty();
    if (!m_conditionsValid) {
        m_messages.push_back(m_lang.Id(22132));
        return;
    }
    std::set<std::uint32_t> sets;
    for (const MimakiPrintCondition& c : m_conditions.m_Conditions)
        sets.insert(c.printModeSetNumber);
    m_multipleSets = sets.size() > 1;

    std::set<int> bannedWaves;
    for (const std::wstring& w : CommaList(m_env.GetString(L"BannedWaveShapes", L"")))
        bannedWaves.insert(IntFromString(w));
    std::set<std::pair<int, int>> bannedDpi;
    for (const std::wstring& r : CommaList(m_env.GetString(L"Bannedresolutions", L""))) {
        const std::size_t x = r.find_first_of(L"xX");
        if (x != std::wstring::npos)
            bannedDpi.insert({IntFromString(r.substr(0, x)), IntFromString(r.substr(x + 1))});
    }
    const std::wstring inkset = InksetList();
    const std::vector<std::wstring> inksets = CommaList(inkset);
    std::map<std::wstring, int> names;
    for (std::size_t i = 0; i < m_conditions.m_Conditions.size(); ++i) {
        const MimakiPrintCondition& c = m_conditions.m_Conditions[i];
        if (bannedWaves.count(static_cast<int>(c.waveForm)) ||
            bannedDpi.count({static_cast<int>(c.yDpi), static_cast<int>(c.xDpi)}))
            continue;
        if (!inksets.empty() && std::find(inksets.begin(), inksets.end(), c.inksetName) == inksets.end())
            continue;
        // Named by the print-mode set (the medium) and the display name, as
        // the diagnostic file of the retrieval names them.
        PrintModeView v;
        v.condition = i;
        v.name = c.printModeSetName;
        if (!c.printMethodDisplayName.empty())
            v.name += (v.name.empty() ? L"" : L" ") + c.printMethodDisplayName;
        if (v.name.empty())
            v.name = L"Mode " + std::to_wstring(i + 1);
        if (const int n = ++names[v.name]; n > 1)
            v.name += L" (" + std::to_wstring(n) + L")";
        for (const MimakiBandDivision& b : c.bandDivisions)
            if (std::find(v.passes.begin(), v.passes.end(), b.pass) == v.passes.end())
                v.passes.push_back(b.pass);
        m_modes.push_back(std::move(v));
    }
    if (m_modes.empty()) {
        std::string msg = m_lang.Id(22120);
        const std::size_t at = msg.find("%s");
        if (at != std::string::npos)
            msg.replace(at, 2, WideToUtf8(inkset));
        m_messages.push_back(msg);
    }
    // The current print method, else the mode the record names, else the first.
    int selected = -1;
    for (std::size_t i = 0; i < m_modes.size(); ++i)
        if (m_modes[i].name == m_printMethod)
            selected = static_cast<int>(i);
    if (selected < 0 && !m_printMethod.empty()) {
        CVoLog log;
        log->ReportStatusPF("!!!%s#%d: The current print mode \"%s\" does't exist any more in the printer\n", 6,
                            __FILE__, __LINE__, "CMimakiBaseRetrieveDataDialogClass::GetPrintMethodDisplayNameFromresolution",
                            __LINE__, WideToUtf8(m_printMethod).c_str());
    }
    if (selected < 0 && m_table && f.setNumber && f.xDpi && f.yDpi)
        for (std::size_t i = 0; i < m_modes.size() && selected < 0; ++i) {
            const MimakiPrintCondition& c = m_conditions.m_Conditions[m_modes[i].condition];
            if (static_cast<int>(c.printModeSetNumber) == m_table->Int(m_parms, f.setNumber) &&
                static_cast<int>(c.xDpi) == m_table->Int(m_parms, f.xDpi) &&
                static_cast<int>(c.yDpi) == m_table->Int(m_parms, f.yDpi))
                selected = static_cast<int>(i);
        }
    if (selected < 0 && !m_modes.empty())
        selected = 0;
    // The pass lists offer what the print modes print with: "Printer
    // setting", then every pass count of a mode, in order.
    std::set<int> passes;
    for (const PrintModeView& m : m_modes)
        passes.insert(m.passes.begin(), m.passes.end());
    for (Slot& s : m_slots) {
        if (s.ctl->kind == Ctl::PrintMode) {
            s.value = selected;
            s.hasValue = false;
        }
        if (s.ctl->source == Items::ModePasses && !passes.empty()) {
            std::vector<ItemView> items;
            for (const ItemView& it : s.items)
                if (it.data == 0)
                    items.push_back(it);
            for (const int p : passes)
                items.push_back({std::to_string(p), p});
            s.items = std::move(items);
        }
    }
}

const PrintModeView* Page::SelectedMode() const
{
    for (const Slot& s : m_slots)
        if (s.ctl->kind == Ctl::PrintMode && s.value >= 0 && static_cast<std::size_t>(s.value) < m_modes.size())
            return &m_modes[static_cast<std::size_t>(s.value)];
    return nullptr;
}

const MimakiPrintCondition* Page::SelectedCondition() const
{
    const PrintModeView* v = SelectedMode();
    return v ? &m_conditions.m_Conditions[v->condition] : nullptr;
}

void Page::SavePrintModes()
{
    const PrintModeFields& f = m_desc.printModes;
    const PrintModeView* selected = SelectedMode();
    if (!m_table || !selected)
        return;
    const PrintModeView& view = *selected;
    const MimakiPrintCondition& c = m_conditions.m_Conditions[view.condition];
    const auto set = [this](const wchar_t* name, long long v) {
        if (name && m_table->Find(name))
            m_table->Int(m_parms, name) = static_cast<int>(v);
    };
    set(f.xDpi, c.xDpi);
    set(f.yDpi, c.yDpi);
    set(f.setNumber, c.printModeSetNumber);
    set(f.hq, c.enableHQ);
    if (!c.actionCategorys.empty()) {
        set(f.actionLarge, c.actionCategorys.front().first);
        set(f.actionSmall, c.actionCategorys.front().second);
    }
    set(f.printModeId, static_cast<long long>(view.condition));
    set(f.waveShape, c.waveForm);

    // The dot size has to suit the mode's dot bits.
    int dotBit = static_cast<int>(c.dotBit);
    if (dotBit < 1 || dotBit >= 3) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: inconsistent value (%d) of dotBit for print mode ID=%d: \"%s\"\n", 6, __FILE__,
                            __LINE__, "CMimakiBaseRetrieveDataDialogClass::CheckBitsPerPixelValue", __LINE__, dotBit,
                            static_cast<int>(view.condition), WideToUtf8(view.name).c_str());
        dotBit = dotBit < 1 ? 1 : 2;
    }
    if (f.dotSize && m_table->Find(f.dotSize)) {
        int& dot = m_table->Int(m_parms, f.dotSize);
        if (dotBit == 1 && dot == 1) {
            dot = 0x11;
            CVoLog log;
            log->ReportStatusPF("%s#%d: dot size changed from vardot to fixed middle\n", 8, __FILE__, __LINE__,
                                "CMimakiBaseRetrieveDataDialogClass::CheckBitsPerPixelValue", __LINE__);
        } else if (dotBit == 2 && dot != 1) {
            dot = 1;
            CVoLog log;
            log->ReportStatusPF("%s#%d: dot size changed from fixed middle to vardot\n", 8, __FILE__, __LINE__,
                                "CMimakiBaseRetrieveDataDialogClass::CheckBitsPerPixelValue", __LINE__);
        }
    }

    std::wstring list;
    for (const PrintModeView& v : m_modes) {
        const MimakiPrintCondition& m = m_conditions.m_Conditions[v.condition];
        wchar_t buf[160];
        std::swprintf(buf, 160, L"%d,%d,1,1,%d,%d,%d,%d", static_cast<int>(m.yDpi), static_cast<int>(m.xDpi),
                      m.dotBit == 2 ? 3 : 1, static_cast<int>(m.printModeSetNumber), static_cast<int>(m.waveForm),
                      static_cast<int>(m.enableHQ));
        m_env.PutString((L"$Parms$" + v.name).c_str(), buf);
        list += (list.empty() ? L"" : L",") + v.name;
    }
    m_env.PutString(PrEnv_PrintMethodList, list.c_str());
    m_env.PutString(PrEnv_PrintMethod, view.name.c_str());
    m_printMethod = view.name;
    // At logging level 8 the page leaves what it offered in a file.
    if (f.printModeData && m_table->Find(f.printModeData))
        WritePrintConditionDiagnostic(m_env, WideToUtf8(m_table->Text(m_parms, f.printModeData)), m_conditions,
                                      InksetList());
}

} // namespace mimaki::ui
