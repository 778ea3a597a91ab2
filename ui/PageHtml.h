// The generic page as HTML: one renderer for every page description.
// Plain form controls with labels; the page's script (panel.js) only adds
// live enabling, the dialogs and the host queries.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mimaki::ui {

class Page;
struct PageError;

struct PageContext {
    std::string base;       // URL prefix of the panel ("/t/<token>")
    std::string printer;    // section name
    std::string model;      // model name of the UID
    std::string revision;   // digest of the store the page was made from
    std::vector<std::string> notices; // lines shown above the form (saved, reloaded)
    // "?v=<digest>" after the URLs of the static files: a new build gets new
    // URLs, so a browser may keep them and a page opens without asking.
    std::string assetQuery;
    std::vector<std::string> warnings; // lines shown as warnings (the printer's answer to OK)
    // Where the page's Abort ends the printer's check of what OK saved;
    // empty for a page whose OK asks no printer.
    std::string okAbort;
};

// The head's links to the style sheet and icon (and the script when given).
std::string HeadLinks(const std::string& base, const std::string& assetQuery, bool script);

std::string HtmlEscape(std::string_view text);
// "a b&c" -> "a%20b%26c"
std::string UrlEncode(std::string_view text);

// The whole document of a page with the host queries answered; error (when
// not null) is shown and its control focused.
std::string RenderPage(Page& page, const PageContext& context, const PageError* error);
// The print modes the page offers, the chosen one, the pass list's items
// and the page's messages as a JSON object.
std::string PrintModesJson(const Page& page);
// The host queries of the page as a JSON object.
std::string QueriesJson(Page& page);

} // namespace mimaki::ui
