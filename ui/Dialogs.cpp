// The option dialogs pages open: the dot-size dialog and the JF print
// option. Their controls bind to fields below the opening button's prefix.
#include "ui/PagesCommon.h"
#include "ui/PagesFamilies.h"

namespace mimaki::ui {

using namespace common;

namespace {

// Each slider runs from "72 pl" to "6 pl" over the twelve dot-volume
// labels; its edit shows the label of its position.
#define DOT_SLIDERS(big, medium, small, useDefault)                                                          \
    Check(1041, {0, "Use default"}, useDefault),                                                            \
        Slider(1163, {0, "large:"}, big).Spin(1156).Enable(ControlIs(1041, 0)),                               \
        Slider(1154, {0, "medium:"}, medium).Spin(1157).Enable(ControlIs(1041, 0)),                           \
        Slider(1155, {0, "small:"}, small).Spin(1158).Enable(ControlIs(1041, 0))

const Control kDotSize[] = {DOT_SLIDERS(L"nDotSizeBig", L"nDotSizeMedium", L"nDotSizeSmall", L"bDotSizeUseDefault")};
const Control kDotSize14[] = {DOT_SLIDERS(L"DotSizeBig", L"DotSizeMedium", L"DotSizeSmall", L"bUseDefaultDotsize")};

constexpr Item kUv[] = {{{0, "Off"}, 0}, {{0, "Low"}, 1}, {{0, "Middle"}, 2}, {{0, "High"}, 3}};
constexpr Item kJfDirection[] = {{{0, "unidirectional"}, 0}, {{0, "bidirectional"}, 1}};

const Control kJfPrintOption[] = {
    Check(1041, {0, "Use default Dotsize"}, L"bUseDefault"),
    Slider(1163, {0, "large:"}, L"nDotSizeBig").Spin(1156).Enable(ControlIs(1041, 0)),
    Slider(1154, {0, "medium:"}, L"nDotSizeMedium").Spin(1157).Enable(ControlIs(1041, 0)),
    Slider(1155, {0, "small:"}, L"nDotSizeSmall").Spin(1158).Enable(ControlIs(1041, 0)),
    Number(1151, {0, "Ink Layer"}, L"nInkLayer", 1, 10).Spin(1168),
    ComboIndex(1165, {0, "UV Irradiation"}, L"nIrradiation", kUv),
    ComboIndex(1166, {0, "Illumination"}, L"nIllumination", kUv),
    Number(1164, {0, "Print Count"}, L"nPrintCount", 1, 10).Spin(1167),
    Control{.id = 1132, .kind = Ctl::Radio, .caption = {0, "Number of Passes"}, .field = L"nPassIndex",
            .source = Items::PassCounts, .dataField = L"nPass"},
    Radio(1169, {0, "Print Direction"}, L"nDirection", kJfDirection),
    Check(1294, {0, "Use weaving"}, L"bWeavingEnabled"),
    Number(1153, {0, "Number of rows to advance (saw tooth height)"}, L"nSawToothHeight", 1, 1272).When(1294),
    Label(1295, {0, "Weaving info"}),
};

const DialogDesc kDotSizeDialog{22031, 0, "CMimakiOptionDotsize", {0, "Dot Size"}, kDotSize};
const DialogDesc kDotSizeDialog14{22031, 1, "CMimakiOptionDotsize", {0, "Dot Size"}, kDotSize14};
const DialogDesc kJfDialog{22032, 0, "CMimaki_JF_PrintOption", {0, "Dot Size"}, kJfPrintOption,
                          {.passes = 1132, .check = 1294, .tooth = 1153,
                           .headResolutionKey = L"HeadVertResolutionOneColor", .headResolution = 600,
                           .nozzlesKey = L"HeadNozzlesNumberOneColor", .nozzles = 1272}};

} // namespace

std::span<const DialogDesc* const> OptionDialogs()
{
    static const DialogDesc* const dialogs[] = {&kDotSizeDialog, &kDotSizeDialog14, &kJfDialog};
    return dialogs;
}

} // namespace mimaki::ui
