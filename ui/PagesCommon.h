// Items and control groups several page descriptions share. Control ids
// keep one meaning across the pages of a family.
#pragma once

#include "ui/PageModel.h"

namespace mimaki::ui::common {

inline constexpr Item kDirection[] = {{{0, "bidirectional"}, 0}, {{0, "unidirectional"}, 1}};
inline constexpr Item kDirectionUniFirst[] = {{{22026, nullptr}, 0}, {{22027, nullptr}, 1}};
inline constexpr Item kDotSize4[] = {
    {{0, "variable"}, 0}, {{0, "large"}, 1}, {{0, "medium"}, 2}, {{0, "small"}, 3}};
// Dot-size codes of the print-condition models: variable, then fixed sizes.
inline constexpr Item kDotCodes[] = {
    {{0, "variable"}, 0x01}, {{0, "large"}, 0x10}, {{0, "medium"}, 0x11}, {{0, "small"}, 0x12}};
inline constexpr int kDotSizeAnswers[] = {0, 1, 1, 3, 2, 4, 3, 5};
inline constexpr int kDotCodeAnswers[] = {0x01, 1, 0x10, 3, 0x11, 4, 0x12, 5};
inline constexpr Item kWave[] = {{{22036, nullptr}, 0}, {{22043, nullptr}, 6}, {{22051, nullptr}, 8}};
inline constexpr Item kFanLevel[] = {
    {{0, "Weak"}, 0}, {{0, "Slightly weak"}, 1}, {{0, "Standard"}, 2}, {{0, "Strong"}, 3}};
inline constexpr Item kOnOffPrinter[] = {{{0, "Printer setting"}, 0}, {{0, "Off"}, 1}, {{0, "On"}, 2}};
// Mode of a setting the printer may keep: its own value, or the page's.
inline constexpr Item kMode[] = {{{0, "Printer setting"}, 0}, {{0, "Set here"}, 1}};
inline constexpr Item kHeaterMode[] = {{{0, "Printer setting"}, 0}, {{0, "Set here"}, 1}, {{0, "Off"}, 2}};
inline constexpr Item kWhiteOrder[] = {
    {{0, "Colour only"}, 0}, {{0, "Colour, then white"}, 1}, {{0, "White, then colour"}, 2}};
inline constexpr Item kSplitHead[] = {{{0, "Normal"}, 0}, {{0, "Split heads"}, 1}};
inline constexpr Item kQuality[] = {{{0, "Draft"}, 0}, {{0, "Standard"}, 1}, {{0, "Fine"}, 2}};
inline constexpr Item kPasses[] = {{{0, "Printer setting"}, 0}, {{0, "1"}, 1},   {{0, "2"}, 2},   {{0, "4"}, 4},
                                   {{0, "6"}, 6},                 {{0, "8"}, 8},   {{0, "12"}, 12}, {{0, "16"}, 16},
                                   {{0, "24"}, 24},               {{0, "32"}, 32}, {{0, "64"}, 64}};
inline constexpr Item kVacuum[] = {
    {{0, "Off"}, 0}, {{0, "Weak"}, 1}, {{0, "Standard"}, 2}, {{0, "Strong"}, 3}, {{0, "Printer setting"}, 255}};
inline constexpr Item kHeadSelection[] = {{{0, "Head 1"}, 1}, {{0, "Head 2"}, 2}, {{0, "Both heads"}, 3}};
inline constexpr Item kRefresh[] = {{{0, "Printer setting"}, 0}, {{0, "Level 1"}, 1}, {{0, "Level 2"}, 2},
                                    {{0, "Level 3"}, 3}};

inline constexpr Cond kHeaters = ModelUnset(L"bDontUseAnyKindOfHeaters");

} // namespace mimaki::ui::common
