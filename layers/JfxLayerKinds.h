// The catalogue of the JFX flatbeds' multi-layer kinds: what the operator
// can put at the five layer positions, the record (data buffer) each kind
// prints, which kinds are underprints, the kinds a printer type and layer
// mode offer, the basic layers of the option pages, and which kinds a
// channel of each host colour is written into.
#pragma once

#include <span>

namespace mimaki::jfx {

constexpr int kNone = 255;        // "None": no kind, no basic layer, no printer type
constexpr int kKindCount = 34;    // kind ids 0..33
constexpr int kRecordCount = 34;  // records 0..33 (not all are used)

// Which class's tables: the JFX500 (and MK series) or the JFX200.
enum class Model { JFX500, JFX200 };

// "JFXPrinterType": WW 0, VV 1, WV 2, PP 3, WP 4, VP 5, WVP 6, anything
// else kNone. "JFXLayerMode": ONLY4C 0, STAGGERED 1, INLINE 2, else -1.
int PrinterTypeFromName(const wchar_t* name);
int LayerModeFromName(const wchar_t* name);
constexpr int kLayerModeInline = 2;

// The model flags the catalogue depends on ("bUJF7151", "bJFX200").
struct Flags {
    bool ujf7151 = false;
    bool jfx200 = false;
};

// The kind's label, "None" for kNone, "***Unknown multi-layer***" for an
// id the model does not name (the JFX500 names 0..25, the JFX200 0..33).
const char* KindLabel(Model model, int kind);
// The record a kind prints, -1 for kNone and unknown ids.
int KindRecord(int kind);
// Whether the model prints the kind as an underprint (rows last first).
bool KindReversed(Model model, int kind);
// Bit k set for each underprint kind k.
unsigned long long ReversedKindMask(Model model);

// The kinds offered for a printer type and layer mode, kNone first; the
// JFX500 class's answer with flags.jfx200 set is "None", "Color".
std::span<const int> MultiLayers(Model model, int printerType, int layerMode, Flags flags);
// Basic layers of the option pages, and their names ("None" for kNone,
// "***Unknown basic layer***" for others; 8 "White2" is the JFX200's).
std::span<const int> BasicLayers(Model model, int printerType, Flags flags);
const char* BasicLayerLabel(Model model, int basic);

// Host colour identifiers of special ink (17..22, 24..34).
bool IsSpotIdentifier(int id);

// Where one channel's rows go: the kinds (each standing for its record) in
// the order they are written, and the identifier whose printer code the
// rows carry; when that has no code (99) and fallback is not -1, the
// fallback's code. 24 (midlayer) takes identifier 0's code.
struct ChannelTargets {
    std::span<const int> kinds;
    int codeId;
    int fallbackId;
};
ChannelTargets ChannelKinds(Model model, int hostId);

} // namespace mimaki::jfx
