// The pages' texts: one catalogue per language. String-table entries are
// found by their id, dialog captions by their English text (the English
// catalogue holds only the string table: a dialog caption is its own
// English text). A text missing from a language falls back to English.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "ui/PageModel.h"

namespace mimaki::ui {

struct StringEntry {
    int id;
    const char* text;
};
struct CaptionEntry {
    const char* english;
    const char* text;
};

class Catalogue {
public:
    Catalogue(const char* lang, const char* name, std::span<const StringEntry> strings,
              std::span<const CaptionEntry> captions)
        : m_lang(lang), m_name(name), m_strings(strings), m_captions(captions)
    {
    }

    const char* Lang() const { return m_lang; }
    const char* Name() const { return m_name; }
    // The text of a string-table id; English when this language lacks it,
    // empty when no language has it.
    std::string Id(int id) const;
    // A caption in this language.
    std::string Text(const Str& s) const;
    std::string Text(const char* english) const { return Text(Str{0, english}); }
    std::span<const StringEntry> Strings() const { return m_strings; }
    std::span<const CaptionEntry> Captions() const { return m_captions; }

    // The English catalogue, every catalogue, and the first catalogue an
    // Accept-Language header asks for (by quality, then order; English when
    // none matches).
    static const Catalogue& English();
    static std::span<const Catalogue* const> All();
    static const Catalogue& ForAcceptLanguage(std::string_view header);

private:
    const char* m_lang;
    const char* m_name;
    std::span<const StringEntry> m_strings;
    std::span<const CaptionEntry> m_captions;
};

// A caption without its mnemonic marker ("Ink &Layers" -> "Ink Layers";
// "&&" stays one "&"), and the mnemonic letter (0 when none).
std::string PlainCaption(std::string_view caption);
char Mnemonic(std::string_view caption);

} // namespace mimaki::ui
