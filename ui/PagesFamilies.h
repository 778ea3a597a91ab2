// The page descriptions of each model family, and the dialogs pages open.
#pragma once

#include <span>

#include "ui/PageModel.h"

namespace mimaki::ui {

std::span<const PageDesc* const> RollPages();      // TS3, JV5, JV33, JV34, CJV150, SWJ320, TX400, TS500
std::span<const PageDesc* const> EarlyPages();     // models 1 to 12, 14, 16, 17
std::span<const PageDesc* const> ConditionPages(); // print-condition roll and hybrid models
std::span<const PageDesc* const> FlatbedPages();   // UJF and JFX flatbeds
std::span<const DialogDesc* const> OptionDialogs();

} // namespace mimaki::ui
