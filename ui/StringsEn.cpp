// The English string table. Dialog captions are not listed: a caption is
// its own English text.
#include "ui/Strings.h"

namespace mimaki::ui {
namespace {

const StringEntry kStrings[] = {
    {22026, "Unidirectional"},
    {22027, "Bidirectional"},
    {22036, "Default"},
    {22043, "WF6"},
    {22051, "WF8"},
    {22064, "Printer port is not configured"},
    {22065, "This operation is not valid for current port type"},
    {22066, "Failed port opening"},
    {22068, "Print modes list successfully retrieved from printer\nClose and open again the print environment to "
            "activate the new print modes list"},
    {22109, "Failed to retrieve print mode list"},
    {22110, "Failed to retrieve dot volumes"},
    {22111, "Dot volumes list successfully retrieved from printer"},
    {22120, "Print mode data retrieved from printer doesn't contain expected inkset %s "},
    {22122, "Temperatures in \xC2\xB0" "C, times in minutes"},
    {22127, "Error parsing print mode data"},
    {22132, "Warning\nPrint mode data in this print environment is old.\nPlease retrieve once again print mode data "
            "from the printer with\nthe button in the device option dialog."},
    {22228, "Layer %ld"},
    {22234, "Layer"},
    {22235, "Type"},
    {22236, "Direction"},
    {22238, "Passes"},
    {22239, "Wave"},
};

} // namespace

extern const Catalogue kEnglish;
const Catalogue kEnglish("en", "English", kStrings, {});

} // namespace mimaki::ui
