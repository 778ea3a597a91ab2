#include "ui/PagesCommon.h"
#include "ui/PagesFamilies.h"

namespace mimaki::ui {

std::span<const DialogDesc* const> OptionDialogs() { return {}; }

} // namespace mimaki::ui
