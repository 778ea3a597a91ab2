#include "ui/Strings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace mimaki::ui {

extern const Catalogue kEnglish;
extern const Catalogue kGerman;

std::string Catalogue::Id(int id) const
{
    for (const StringEntry& e : m_strings)
        if (e.id == id)
            return e.text;
    if (this != &kEnglish)
        return kEnglish.Id(id);
    return {};
}

std::string Catalogue::Text(const Str& s) const
{
    if (s.id)
        return Id(s.id);
    if (!s.text)
        return {};
    for (const CaptionEntry& e : m_captions)
        if (std::strcmp(e.english, s.text) == 0)
            return e.text;
    return s.text;
}

const Catalogue& Catalogue::English() { return kEnglish; }

std::span<const Catalogue* const> Catalogue::All()
{
    static const Catalogue* const all[] = {&kEnglish, &kGerman};
    return all;
}

const Catalogue& Catalogue::ForAcceptLanguage(std::string_view header)
{
    // "de-CH, de;q=0.9, en;q=0.5": the tags by quality, ties in order.
    struct Tag {
        std::string lang;
        double q;
        std::size_t order;
    };
    std::vector<Tag> tags;
    std::size_t pos = 0;
    while (pos <= header.size()) {
        std::size_t end = header.find(',', pos);
        if (end == std::string_view::npos)
            end = header.size();
        std::string_view part = header.substr(pos, end - pos);
        pos = end + 1;
        double q = 1;
        if (const std::size_t semi = part.find(';'); semi != std::string_view::npos) {
            std::string_view rest = part.substr(semi + 1);
            part = part.substr(0, semi);
            const std::size_t qpos = rest.find("q=");
            if (qpos != std::string_view::npos)
                q = std::atof(std::string(rest.substr(qpos + 2)).c_str());
        }
        std::string lang;
        for (const char c : part) {
            if (c == '-' || c == '_')
                break;
            if (c != ' ' && c != '\t')
                lang += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (!lang.empty() && q > 0)
            tags.push_back({lang, q, tags.size()});
    }
    std::stable_sort(tags.begin(), tags.end(), [](const Tag& a, const Tag& b) { return a.q > b.q; });
    for (const Tag& t : tags)
        for (const Catalogue* c : All())
            if (t.lang == c->Lang())
                return *c;
    return kEnglish;
}

std::string PlainCaption(std::string_view caption)
{
    std::string out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&')
                out += '&', ++i;
            continue;
        }
        out += caption[i];
    }
    return out;
}

char Mnemonic(std::string_view caption)
{
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&')
            continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return static_cast<char>(std::tolower(static_cast<unsigned char>(caption[i + 1])));
    }
    return 0;
}

} // namespace mimaki::ui
