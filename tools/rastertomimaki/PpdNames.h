// What the generated PPDs and the filter agree on: option and attribute
// names and the escaping of the values the attributes carry.
#pragma once

#include <string>
#include <string_view>

namespace ppdnames {

inline constexpr const char kFilter[] = "rastertomimaki";
inline constexpr const char kStreamType[] = "application/vnd.mimaki-stream";

// *MimakiSetting KEYWORD: "KIND DEFAULT STOREDKEY": the option KEYWORD sets
// the settings key STOREDKEY (escaped); KIND is int or real; DEFAULT is the
// class's value the PPD was made with.
inline constexpr const char kSettingAttr[] = "MimakiSetting";
// *MimakiChoice OPTION.CHOICE: "KEY=VALUE;KEY=VALUE": settings a choice of
// a generated option writes (both sides escaped).
inline constexpr const char kChoiceAttr[] = "MimakiChoice";
// The settings store and section the PPD was made from, when it was.
inline constexpr const char kSettingsFileAttr[] = "MimakiSettingsFile";
inline constexpr const char kSettingsSectionAttr[] = "MimakiSettingsSection";
// The same as job or queue options (lpadmin -o mimaki-settings=...).
inline constexpr const char kSettingsFileOption[] = "mimaki-settings";
inline constexpr const char kSettingsSectionOption[] = "mimaki-printer";
// Where the filter writes its JSON report of the job.
inline constexpr const char kReportOption[] = "mimaki-report";

inline constexpr const char kCutOption[] = "CutMedia";
// *MimakiCutDefault: the cut choice the class's default was when the PPD was
// made; the queue's default differs from it only when the operator chose.
inline constexpr const char kCutDefaultAttr[] = "MimakiCutDefault";
inline constexpr const char kPrintModeOption[] = "MimakiPrintMode";
// The print-mode choice that sets no print method.
inline constexpr const char kPrintModeNone[] = "Printer";
inline constexpr const char kDotDepthOption[] = "MimakiDotDepth";
// The white a DTF printer lays under the colour when the raster has none.
inline constexpr const char kWhiteOption[] = "MimakiWhite";
inline constexpr const char kWhiteUnder[] = "Under";
inline constexpr const char kWhiteNone[] = "None";

// The job's cut option 0, 1, 2 by choice.
struct CutChoice {
    const char* keyword;
    const char* label;
    int value;
};
inline constexpr CutChoice kCutChoices[] = {
    {"None", "Do not cut", 0},
    {"EndOfJob", "Cut after the job", 1},
    {"Printer", "As set on the printer", 2},
};

// %XX for '%', '"', ';', '=', blanks and control characters, so that any
// key or value fits a PPD string and a KEY=VALUE list.
inline std::string Escape(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '%' || c == '"' || c == ';' || c == '=' || u <= ' ' || u >= 0x7F) {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

inline std::string Unescape(std::string_view text)
{
    auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace ppdnames
