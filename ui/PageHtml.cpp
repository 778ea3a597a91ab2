#include "ui/PageHtml.h"

#include <algorithm>
#include <initializer_list>
#include <cstdio>
#include <set>

#include "entry/MimakiRetrieve.h"
#include "host/StrUtil.h"
#include "tools/common/Json.h"
#include "ui/Page.h"

namespace mimaki::ui {

namespace {

std::string Attr(std::string_view name, std::string_view value)
{
    return " " + std::string(name) + "=\"" + HtmlEscape(value) + "\"";
}

// The caption with its mnemonic underlined.
std::string CaptionHtml(std::string_view caption)
{
    std::string out;
    bool marked = false;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) {
            if (caption[i + 1] == '&') {
                out += "&amp;";
                ++i;
            } else if (!marked) {
                out += "<u>" + HtmlEscape(caption.substr(i + 1, 1)) + "</u>";
                marked = true;
                ++i;
            }
            continue;
        }
        out += HtmlEscape(caption.substr(i, 1));
    }
    return out;
}

std::string PassList(const PrintModeView& m)
{
    std::string out;
    for (const int p : m.passes)
        out.append(out.empty() ? "" : ",").append(std::to_string(p));
    return out;
}

class Renderer {
public:
    Renderer(const Page& page, const PageError* error) : m_page(page), m_error(error) {}

    // The controls of one container (a page, a group or a dialog), in order.
    std::string Controls(const Slot* first, std::size_t count, int group)
    {
        std::string out;
        for (std::size_t i = 0; i < count; ++i) {
            const Slot& s = first[i];
            if (s.ctl->group != group || m_done.count(&s))
                continue;
            // A label or check box and the edit or list it names share a row.
            std::string row = Control(s, first, count);
            for (std::size_t j = i + 1; j < count; ++j) {
                const Slot& n = first[j];
                const bool named = s.ctl->kind == Ctl::Label && n.ctl->caption.id == 0 && !n.ctl->caption.text &&
                                   j == i + 1;
                // A control a label names stays with its label, even when the
                // check box enables it.
                const bool enabled = s.ctl->kind == Ctl::Check && n.ctl->enable.from == From::Checked &&
                                     n.ctl->enable.ctl == s.ctl->id && n.ctl->caption.id == 0 && !n.ctl->caption.text &&
                                     first[j - 1].ctl->kind != Ctl::Label;
                if ((named || enabled) && n.ctl->group == group && !m_done.count(&n) &&
                    (n.ctl->kind == Ctl::Number || n.ctl->kind == Ctl::Combo)) {
                    m_inline = true;
                    row += Control(n, first, count);
                    m_inline = false;
                }
            }
            out += row.rfind("<fieldset", 0) == 0 ? row : "<div class=\"row\">" + row + "</div>\n";
        }
        return out;
    }

    std::string Control(const Slot& s, const Slot* first, std::size_t count)
    {
        m_done.insert(&s);
        const auto& c = *s.ctl;
        const std::string caption = m_page.Lang().Text(c.caption);
        const std::string id = s.name;
        std::string common = Attr("id", id) + Attr("data-ctl", std::to_string(c.id));
        if (c.enable.from != From::None) {
            common += Attr("data-en-from", c.enable.from == From::Checked ? "checked" : "control");
            common += Attr("data-en-ctl", Sibling(s, c.enable.ctl));
            if (c.enable.from == From::Control) {
                common += Attr("data-en-op", c.enable.op == Op::Eq ? "eq" : c.enable.op == Op::Ne ? "ne" : "nz");
                common += Attr("data-en-value", std::to_string(c.enable.value));
            }
        }
        if (c.group)
            common += Attr("data-group", Sibling(s, c.group));
        const bool enabled = m_page.Enabled(s);
        if (!s.shown || !enabled)
            common += " disabled";
        const std::string hidden = s.shown ? "" : " hidden";
        const std::string invalid = m_error && m_error->slot == s.name ? " aria-invalid=\"true\" autofocus" : "";
        const std::string key = Mnemonic(caption) ? Attr("accesskey", std::string(1, Mnemonic(caption))) : "";
        switch (c.kind) {
        case Ctl::Group: {
            std::string out = "<fieldset class=\"group\"" + Attr("id", id) + hidden + "><legend>" +
                              CaptionHtml(caption) + "</legend>";
            return out + Controls(first, count, c.id) + "</fieldset>\n";
        }
        case Ctl::Label:
            return "<span class=\"label\"" + Attr("id", id) + hidden + ">" + CaptionHtml(caption) + "</span>";
        case Ctl::Check: {
            std::string input = "<input type=\"hidden\"" + Attr("name", s.name) + " value=\"0\"" +
                                (s.shown && enabled ? "" : " disabled") + ">" + "<input type=\"checkbox\"" +
                                common + Attr("name", s.name) + " value=\"1\"" + (s.value ? " checked" : "") + key +
                                invalid + ">" + "<label" + Attr("for", id) + ">" + CaptionHtml(caption) + "</label>";
            // A check box heading controls is their group.
            bool heads = false;
            for (std::size_t i = 0; i < count; ++i)
                heads = heads || (first[i].ctl->group == c.id && &first[i] != &s);
            if (heads)
                return "<fieldset class=\"group\"" + Attr("id", "g" + id) + hidden + "><legend>" + input +
                       "</legend>" + Controls(first, count, c.id) + "</fieldset>\n";
            return "<span class=\"ctl check\"" + hidden + ">" + input + "</span>";
        }
        case Ctl::Number:
        case Ctl::Slider: {
            const bool slider = c.kind == Ctl::Slider;
            std::string out = "<div class=\"ctl " + std::string(slider ? "slider" : "number") + "\"" + hidden +
                              "><label" + Attr("for", id) + Inline() + ">" + HtmlEscape(LabelText(s, first, count)) +
                              "</label>";
            // A slider runs between its end labels, largest drop first.
            const auto labels = DotVolumeLabels();
            if (slider)
                out += "<span class=\"end\" aria-hidden=\"true\">" + PlLabel(labels.front()) + "</span>";
            out += "<input" + std::string(slider ? " type=\"range\"" : " type=\"number\" step=\"1\"") + common +
                   Attr("name", s.name) + Attr("value", std::to_string(s.value)) + Attr("min", std::to_string(c.min)) +
                   Attr("max", std::to_string(c.max)) + invalid +
                   (c.spin && !slider ? Attr("data-spin", std::to_string(c.spin)) : "") + " required>";
            if (slider) {
                const bool known = s.value >= 0 && static_cast<std::size_t>(s.value) < labels.size();
                out += "<span class=\"end\" aria-hidden=\"true\">" + PlLabel(labels.back()) + "</span><output" +
                       Attr("for", id) + Attr("id", Sibling(s, c.spin)) + Attr("data-ctl", std::to_string(c.spin)) +
                       ">" + HtmlEscape(known ? labels[static_cast<std::size_t>(s.value)] : "") + "</output>";
            }
            if (c.unit)
                out += "<span class=\"unit\">" + HtmlEscape(c.unit) + "</span>";
            return out + "</div>\n";
        }
        case Ctl::Radio: {
            std::string weaving;
            if (WeavingView w; m_page.WeavingOf(s, w))
                weaving = Attr("data-weaving-check", Sibling(s, w.desc->check)) +
                          Attr("data-weaving-tooth", Sibling(s, w.desc->tooth)) +
                          Attr("data-head-resolution", std::to_string(w.headResolution)) +
                          Attr("data-nozzles", std::to_string(w.nozzles)) + Attr("data-dpi", std::to_string(w.dpi));
            // A group with a caption of its own shows it ("Number of Passes");
            // one named by its box or label only tells screen readers.
            std::string own = PlainCaption(caption);
            while (!own.empty() && (own.back() == ':' || own.back() == ' '))
                own.pop_back();
            std::string out = "<div role=\"radiogroup\" class=\"ctl radio\"" + common +
                              (own.empty() ? Attr("aria-label", LabelText(s, first, count))
                                           : Attr("aria-labelledby", id + "-caption")) +
                              weaving + hidden + ">";
            if (!own.empty())
                out += "<span class=\"caption\"" + Attr("id", id + "-caption") + ">" + HtmlEscape(own) + "</span>";
            for (std::size_t i = 0; i < s.items.size(); ++i) {
                const std::string rid = id + "-" + std::to_string(i);
                out += "<span class=\"choice\"><input type=\"radio\"" + Attr("id", rid) + Attr("name", s.name) +
                       Attr("value", std::to_string(i)) + Attr("data-value", std::to_string(s.items[i].data)) +
                       (s.value == static_cast<int>(i) ? " checked" : "") +
                       (!s.shown || !enabled ? " disabled" : "") + (i == 0 ? invalid : "") + "><label" +
                       Attr("for", rid) + ">" + CaptionHtml(s.items[i].text) + "</label></span>";
            }
            return out + "</div>\n";
        }
        case Ctl::Combo:
        case Ctl::PrintMode: {
            std::string out = "<div class=\"ctl combo\"" + hidden + "><label" + Attr("for", id) + Inline() + ">" +
                              HtmlEscape(LabelText(s, first, count)) + "</label><select" + common +
                              (c.source == Items::ModePasses ? " data-mode-passes" : "") + Attr("name", s.name) +
                              invalid + ">";
            int selected = -1;
            std::vector<std::pair<std::string, std::string>> options; // text, extra attributes
            if (c.kind == Ctl::PrintMode) {
                selected = s.value;
                for (const PrintModeView& m : m_page.PrintModes())
                    options.push_back({WideToUtf8(m.name), Attr("data-passes", PassList(m))});
            } else {
                for (std::size_t i = 0; i < s.items.size(); ++i) {
                    const int v = c.byData ? s.items[i].data : static_cast<int>(i);
                    if (selected < 0 && v == s.value)
                        selected = static_cast<int>(i);
                    options.push_back({s.items[i].text, Attr("data-value", std::to_string(s.items[i].data))});
                }
            }
            // A stored value that no item has: no selection, the value kept.
            if (selected < 0)
                out += "<option value=\"\" selected></option>";
            for (std::size_t i = 0; i < options.size(); ++i)
                out += "<option" + Attr("value", std::to_string(i)) + options[i].second +
                       (static_cast<int>(i) == selected ? " selected" : "") + ">" + HtmlEscape(options[i].first) +
                       "</option>";
            return out + "</select></div>\n";
        }
        case Ctl::Button: {
            std::string action;
            if (c.act != Act::None) {
                const bool dots = c.act == Act::RetrieveDotVolumes;
                action = Attr("data-dialog", "22054") + Attr("data-retrieve", dots ? "0" : "1") +
                         (dots && m_page.DirectStatus() ? " data-direct" : "");
            } else if (c.dialog) {
                action = Attr("data-dialog", std::to_string(c.dialog));
            }
            return "<div class=\"ctl button\"" + hidden + "><button type=\"button\"" + common + action + key + ">" +
                   CaptionHtml(caption) + "</button></div>\n";
        }
        case Ctl::Layers:
            return LayerTable(s);
        }
        return {};
    }

    // The name of the control with id ctl next to s (same dialog instance).
    std::string Sibling(const Slot& s, int ctl) const
    {
        if (s.button)
            return s.name.substr(0, s.name.find('_') + 1) + std::to_string(ctl);
        return "c" + std::to_string(ctl);
    }

    // A control's accessible name: its caption, else the check box that
    // enables it, else its group.
    std::string LabelText(const Slot& s, const Slot* first, std::size_t count) const
    {
        std::string text = PlainCaption(m_page.Lang().Text(s.ctl->caption));
        for (std::size_t i = 1; text.empty() && i < count; ++i)
            if (&first[i] == &s && first[i - 1].ctl->kind == Ctl::Label)
                text = PlainCaption(m_page.Lang().Text(first[i - 1].ctl->caption));
        const auto captionOf = [&](int ctl) -> std::string {
            for (std::size_t i = 0; i < count; ++i)
                if (first[i].ctl->id == ctl)
                    return PlainCaption(m_page.Lang().Text(first[i].ctl->caption));
            return {};
        };
        if (text.empty() && s.ctl->enable.ctl)
            text = captionOf(s.ctl->enable.ctl);
        if (text.empty() && s.ctl->group)
            text = captionOf(s.ctl->group);
        while (!text.empty() && (text.back() == ':' || text.back() == ' '))
            text.pop_back();
        return text;
    }

    std::string LayerTable(const Slot& s)
    {
        const Catalogue& lang = m_page.Lang();
        std::string out = "<div class=\"ctl layers\"><table" + Attr("id", s.name) + " class=\"layers\"" +
                          Attr("data-layer-format", lang.Id(22228)) + "><thead><tr>";
        for (const int h : {22234, 22235, 22238, 22239, 22236})
            out += "<th scope=\"col\">" + HtmlEscape(lang.Id(h)) + "</th>";
        out += "</tr></thead><tbody>";
        std::string order;
        int n = 0;
        for (const Page::LayerView& l : m_page.Layers()) {
            char name[64];
            std::snprintf(name, sizeof name, lang.Id(22228).c_str(), static_cast<long>(++n));
            out += "<tr" + Attr("data-type", std::to_string(l.type)) + "><td>" + HtmlEscape(name) + "</td><td>" +
                   HtmlEscape(l.typeText) + "</td><td>" + std::to_string(l.passes) + "</td><td>" + WaveText(l.wave) +
                   "</td><td>" + HtmlEscape(lang.Id(l.direction ? 22027 : 22026)) + "</td></tr>";
            order.append(order.empty() ? "" : ",").append(std::to_string(n - 1));
        }
        out += "</tbody></table><input type=\"hidden\" name=\"layers\" id=\"layers\"" + Attr("value", order) + ">";
        return out + "</div>\n";
    }

    static std::string PlLabel(std::string_view label)
    {
        // "72pl" on the slider's ends reads "72 pl".
        std::string text(label);
        if (text.size() > 2)
            text = text.substr(0, text.size() - 2) + ' ' + text.substr(text.size() - 2);
        return HtmlEscape(text);
    }

    std::string WaveText(int wave) const
    {
        return wave == 0 ? HtmlEscape(m_page.Lang().Id(22036)) : "WF " + std::to_string(wave);
    }

private:
    // The label of a control that shares its row: read by screen readers,
    // not shown twice.
    std::string Inline() const { return m_inline ? " class=\"sr-only\"" : ""; }

    const Page& m_page;
    const PageError* m_error;
    std::set<const Slot*> m_done;
    bool m_inline = false;
};

} // namespace

std::string HtmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string UrlEncode(std::string_view text)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~')
            out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

namespace {

struct DialogButton {
    const char* attributes;  // after type="button"
    const char* text;        // catalogue text
};

// A dialog's row of buttons.
std::string ButtonRow(const Catalogue& lang, std::initializer_list<DialogButton> buttons)
{
    std::string out = "<div class=\"buttons\">";
    for (const DialogButton& b : buttons) {
        if (&b != buttons.begin())
            out += ' ';
        out.append("<button type=\"button\"").append(b.attributes).append(">").append(HtmlEscape(lang.Text(b.text)));
        out += "</button>";
    }
    return out + "</div>";
}

// The retrieval dialog the retrieve buttons open: Retrieve, Abort (only
// while a query runs), OK, the progress and the messages.
std::string RetrieveDialog(const Catalogue& lang, const PageContext& ctx)
{
    return "<dialog id=\"dlg-retrieve\" data-dialog=\"22054\" aria-labelledby=\"dlg-retrieve-title\"" +
           Attr("data-api", ctx.base + "/api/retrieve") + Attr("data-printer", ctx.printer) +
           Attr("data-msg-stored-elsewhere", lang.Text("The settings file changed on disk; the page is loaded again.")) +
           Attr("data-msg-bytes", lang.Text("%1 of %2 bytes received")) + "><h2 id=\"dlg-retrieve-title\">" +
           HtmlEscape(lang.Text("Device options")) + "</h2><fieldset class=\"group\"><legend>" +
           HtmlEscape(lang.Text("Retrieve info from printer")) +
           "</legend><p id=\"retrieve-what\"></p><p class=\"progress\"><progress id=\"retrieve-progress\" "
           "hidden></progress> <span id=\"retrieve-bytes\"></span></p><div id=\"retrieve-messages\" "
           "role=\"alert\"></div></fieldset>" +
           ButtonRow(lang, {{" id=\"c1253\"", "Retrieve"}, {" id=\"c1254\" disabled", "Abort"}, {" id=\"c1071\"", "OK"}}) +
           "</dialog>\n";
}

} // namespace

std::string HeadLinks(const std::string& base, const std::string& assetQuery, bool script)
{
    std::string out = "<link rel=\"stylesheet\"" + Attr("href", base + "/static/panel.css" + assetQuery) +
                      "><link rel=\"icon\"" + Attr("href", base + "/static/favicon.svg" + assetQuery) + ">";
    if (script)
        out += "<script" + Attr("src", base + "/static/panel.js" + assetQuery) + " defer></script>";
    return out;
}

std::string RenderPage(Page& page, const PageContext& ctx, const PageError* error)
{
    const Catalogue& lang = page.Lang();
    const PageDesc& desc = page.Desc();
    const std::string title = lang.Text("Device options");
    const std::string p = UrlEncode(ctx.printer);
    std::string out = "<!DOCTYPE html>\n<html" + Attr("lang", lang.Lang()) + "><head><meta charset=\"utf-8\">";
    out += "<meta name=\"viewport\" content=\"width=device-width\"><title>" + HtmlEscape(title + " - " + ctx.printer) +
           "</title>" + HeadLinks(ctx.base, ctx.assetQuery, true) + "</head>\n<body>";
    out += "<nav><a" + Attr("href", ctx.base + "/") + ">" + HtmlEscape(lang.Text("Printers")) + "</a></nav>";
    out += "<header><h1>" + HtmlEscape(title) + "</h1><p class=\"printer\">" + HtmlEscape(ctx.printer) + " &middot; " +
           HtmlEscape(ctx.model) + " &middot; <span class=\"class\">" + HtmlEscape(desc.pageClass) + "</span> " +
           "<span class=\"dialog\">" + std::to_string(page.DialogId()) + "</span></p>";
    out += "<p class=\"method\">" + HtmlEscape(lang.Text("Print method:")) + " <span id=\"print-method\">" +
           HtmlEscape(WideToUtf8(page.PrintMethod())) + "</span></p></header>\n";
    out += "<div id=\"messages\" role=\"alert\">";
    if (error)
        out += "<p class=\"error\"" + Attr("data-for", error->slot) + ">" + HtmlEscape(error->message) + "</p>";
    for (const std::string& m : page.Messages())
        out += "<p class=\"warning\">" + HtmlEscape(m) + "</p>";
    for (const std::string& w : ctx.warnings)
        out += "<p class=\"warning\">" + HtmlEscape(w) + "</p>";
    for (const std::string& n : ctx.notices)
        out += "<p class=\"notice\">" + HtmlEscape(n) + "</p>";
    out += "</div>\n";
    out += "<form id=\"page\" method=\"post\"" + Attr("action", ctx.base + "/printer?p=" + p) +
           Attr("data-query", ctx.base + "/api/query?p=" + p) + Attr("data-state", ctx.base + "/api/printer?p=" + p) +
           Attr("data-revision", ctx.revision) + Attr("data-page", desc.pageClass) +
           Attr("data-msg-changed", lang.Text("The settings file changed on disk; the page is loaded again.")) +
           (ctx.okAbort.empty() ? "" : Attr("data-ok-abort", ctx.okAbort)) + ">";
    out += "<input type=\"hidden\" name=\"revision\"" + Attr("value", ctx.revision) + ">";

    // The page's own controls, then one dialog per button that opens one.
    std::vector<const Slot*> pageSlots;
    std::size_t pageCount = 0;
    const auto& slots = page.Slots();
    while (pageCount < slots.size() && !slots[pageCount].button)
        ++pageCount;
    Renderer r(page, error);
    out += "<div class=\"controls\">" + r.Controls(slots.data(), pageCount, 0) + "</div>";
    out += "<div class=\"buttons\"><button type=\"submit\" id=\"ok\">" + HtmlEscape(lang.Text("OK")) +
           "</button> <a class=\"cancel\"" + Attr("href", ctx.base + "/") + ">" + HtmlEscape(lang.Text("Cancel")) +
           "</a>";
    // Shown while OK waits for the printer's answer.
    if (!ctx.okAbort.empty())
        out += " <span id=\"ok-check\" role=\"status\" hidden>" +
               HtmlEscape(lang.Text("Checking the settings with the printer...")) +
               " <button type=\"button\" id=\"ok-abort\">" + HtmlEscape(lang.Text("Abort")) + "</button></span>";
    out += "</div>";
    std::size_t i = pageCount;
    while (i < slots.size()) {
        std::size_t j = i;
        while (j < slots.size() && slots[j].button == slots[i].button)
            ++j;
        const Slot& b = *std::find_if(slots.begin(), slots.end(), [&](const Slot& s) { return s.ctl == slots[i].button; });
        const DialogDesc* d = DialogById(slots[i].button->dialog, slots[i].button->variant);
        out += "<dialog" + Attr("id", "dlg-" + b.name) + Attr("data-dialog", std::to_string(d->dialog)) +
               Attr("aria-labelledby", "dlg-" + b.name + "-title") + "><h2" + Attr("id", "dlg-" + b.name + "-title") +
               ">" + HtmlEscape(lang.Text(d->caption)) + "</h2>";
        out += r.Controls(&slots[i], j - i, 0);
        out += ButtonRow(lang, {{" class=\"dlg-ok\"", "OK"}, {" class=\"dlg-cancel\"", "Cancel"}}) + "</dialog>";
        i = j;
    }
    // The manager's own ids: the page's list and controls use the same
    // control ids.
    if (desc.layerList)
        out += "<dialog id=\"dlg-layers\" data-dialog=\"22070\" aria-labelledby=\"dlg-layers-title\"><h2 "
               "id=\"dlg-layers-title\">" +
               HtmlEscape(lang.Text("Manage media's")) +
               "</h2><table id=\"dlg-layers-grid\" data-ctl=\"1023\" class=\"layers manage\" role=\"grid\" "
               "aria-multiselectable=\"false\"><thead><tr></tr></thead><tbody></tbody></table>" +
               ButtonRow(lang, {{" id=\"dlg-layers-delete\" data-ctl=\"1049\"", "Delete"},
                                {" id=\"dlg-layers-up\" data-ctl=\"1348\"", "Up"},
                                {" id=\"dlg-layers-down\" data-ctl=\"1349\"", "Down"},
                                {" class=\"dlg-ok\" data-ctl=\"1\"", "OK"},
                                {" class=\"dlg-cancel\" data-ctl=\"2\"", "Cancel"}}) +
               "</dialog>";
    out += "</form>\n";
    if (std::any_of(desc.controls.begin(), desc.controls.end(), [](const Control& c) { return c.act != Act::None; }))
        out += RetrieveDialog(lang, ctx);
    out += "<section id=\"queries\" aria-live=\"polite\"><h2>" + HtmlEscape(lang.Text("Host queries")) +
           "</h2><dl><dt>" + HtmlEscape(lang.Text("Ink levels")) + "</dt><dd id=\"q-ink\">" +
           std::to_string(page.OnQueryInkLevels()) + "</dd><dt>" + HtmlEscape(lang.Text("Dot size")) +
           "</dt><dd id=\"q-dot\">" + std::to_string(page.OnQueryDotSize()) + "</dd><dt>" +
           HtmlEscape(lang.Text("Dot volume")) + "</dt><dd id=\"q-vol\">" +
           HtmlEscape(WideToUtf8(page.OnQueryDotVolume())) + "</dd></dl></section>\n</body></html>\n";
    return out;
}

std::string PrintModesJson(const Page& page)
{
    const Slot* chosen = nullptr;
    for (const Slot& s : page.Slots())
        if (s.ctl->kind == Ctl::PrintMode)
            chosen = &s;
    std::string json = "{\"modes\":[";
    for (std::size_t i = 0; i < page.PrintModes().size(); ++i) {
        const PrintModeView& m = page.PrintModes()[i];
        json += std::string(i ? "," : "") + "{\"name\":" + JsonString(WideToUtf8(m.name)) + ",\"passes\":[" +
                PassList(m) + "]}";
    }
    json += "],\"selected\":" + std::to_string(chosen ? chosen->value : -1) + ",\"passes\":[";
    // The pass list's items, as the page offers them now.
    bool first = true;
    for (const Slot& s : page.Slots())
        if (s.ctl->source == Items::ModePasses && !s.button) {
            for (const ItemView& it : s.items) {
                json += std::string(first ? "" : ",") + "{\"text\":" + JsonString(it.text) +
                        ",\"value\":" + std::to_string(it.data) + "}";
                first = false;
            }
            break;
        }
    json += "],\"messages\":[";
    for (std::size_t i = 0; i < page.Messages().size(); ++i)
        json += std::string(i ? "," : "") + JsonString(page.Messages()[i]);
    return json + "]}";
}

std::string QueriesJson(Page& page)
{
    return "{\"inkLevels\":" + std::to_string(page.OnQueryInkLevels()) +
           ",\"dotSize\":" + std::to_string(page.OnQueryDotSize()) + ",\"dotVolume\":" +
           JsonString(WideToUtf8(page.OnQueryDotVolume())) + "}";
}

} // namespace mimaki::ui
