#include "ui/Strings.h"

namespace mimaki::ui {

extern const Catalogue kGerman;
const Catalogue kGerman("de", "Deutsch", {}, {});

} // namespace mimaki::ui
