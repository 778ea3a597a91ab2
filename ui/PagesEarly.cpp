#include "ui/PagesCommon.h"
#include "ui/PagesFamilies.h"

namespace mimaki::ui {

std::span<const PageDesc* const> EarlyPages() { return {}; }

} // namespace mimaki::ui
