// Start of one layer section of the layered MRL III models (flatbeds and
// the layered roll models): each class fills the values of the layer and
// names its commands in order; one builder writes them.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "devparms/MimakiMrlStart.h"

class CPrinterDriverBase;

namespace mimaki::layer {

constexpr int kKeep = 0xFF;

// Basic inks of the layer kinds, for the per-ink options.
enum Ink { kColour = 0, kWhite = 1, kVarnish = 2, kPrimer = 3 };
// The ink a flatbed layer kind prints besides colour (Color for the colour
// layers, the midlayer and UV irradiation only).
Ink InkOfKind(int kind);

struct Values {
    // "QP": dot size, resolutions, passes, direction, overprint layers, wave shape.
    int dotSize = kKeep, pass = 0, direction = 0, layers = 0, waveShape = 0;
    // "QA" 3: media correction when its mode is 1.
    int mediaCorrection = 0, mediaCorrectionValue = 0;
    // "QC": refresh level and whether the layer is an underprint.
    int refresh = 0, reversed = 0;
    // "QT" 5: UV policies (left, right, spot) and the first two powers;
    // "QV": every UV power of the layer.
    int uvLeft = kKeep, uvRight = kKeep, uvSpot = kKeep;
    std::vector<int> uvPowers;
    // "PI" 1: the layer's position kind (0 last, 1 keep the mode, 2 local).
    int positionKind = 0;
    // "QH" 1: head selection; "PB" 1: band mode; "PO" 3: power off.
    int head = kKeep, band = 0, powerOff = 0, powerOffMinutes = 0;
    // "QM" 4: command version (hundredths), layer count, layer position.
    int commandVersion = 0, layerCount = 0, position = 0;
    // "PD" 2: pass list item and dot size of the UJF models.
    int passItem = kKeep;
    // "PL" and "PX" 1: model type and head selection of the layered roll models.
    int modelType = kKeep;
    // The layer parameters of the print-condition flatbeds ("QL": six per layer).
    std::vector<int> layerParms;
    // "QB": colour ids per slot.
    const std::vector<int>* colourIds = nullptr;
    // "QS": job size for the host (filled here, plain strings have no host).
    bool jobSize = false;
    // The roll commands of the layered roll models ("QC", "QK", "PP").
    mrl::Values roll;
};

enum class Cmd { GR, QM, QP, QA, QC, QH, PB, PO, QT, PI, QX, QV, QS, QB, PD, QL, RollQC, RollQK, RollPP, PX, PL };

// The layer's start: "Q@" 0 after the commands named before Q@ in order
// (GR, QM, RollQK for the layered roll models), then the others. Answers
// the bytes.
std::string Start(std::initializer_list<Cmd> before, std::initializer_list<Cmd> after, const Values& v,
                  CPrinterDriverBase* driver);

// Layer end of the flatbeds: "QE" 0, after "QX" 5 1 0 0 0 0 (back to the
// start of the layer) when flag is set.
std::string End(int flag);

} // namespace mimaki::layer
