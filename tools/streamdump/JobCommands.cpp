#include "tools/streamdump/JobCommands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>

namespace streamparse {

namespace {

enum class Kind : std::uint8_t {
    U8,      // a number
    Keep8,   // a number, 0xFF: the printer's setting
    Code8,   // a code (hexadecimal), 0xFF: the printer's setting
    U16,     // low byte first
    Keep16,  // 0xFFFF: the printer's setting
    U32,
    I16,     // two's complement, low byte first
    I32,
    Sign8,   // sign byte (0, 1) and magnitude; sign 0xFF: the printer's setting
    Sign16,  // sign byte and 16-bit magnitude
    Twos8,   // sign byte and the value's two's-complement low byte
    Passes,  // pass count, bit 7 high speed; 0xFF: the printer's setting
    Each,    // every remaining byte, numbered from 1 after the name
};

int Size(Kind k)
{
    switch (k) {
    case Kind::U16:
    case Kind::Keep16:
    case Kind::Sign8:
    case Kind::Twos8: return 2;
    case Kind::I16: return 2;
    case Kind::Sign16: return 3;
    case Kind::U32:
    case Kind::I32: return 4;
    case Kind::Each: return 0;
    default: return 1;
    }
}

struct Field {
    const char* name;  // null: "byte" and its position (from 1)
    Kind kind;
};

// Where a layout applies when the command has another of the same length:
// Roll outside a layer section (the string-object job starts), Layer in one.
enum class Dialect : std::uint8_t { Any, M, First, Roll, Layer };

// One layout of a command. length -1: any length (the fields end in Each).
struct Layout {
    const char* name;
    int length;
    const char* meaning;
    std::initializer_list<Field> fields;
    Dialect dialect = Dialect::Any;
    std::initializer_list<int> uids = {};  // the models that send it; empty: any
};

bool Fits(Dialect d, const CommandContext& c)
{
    switch (d) {
    case Dialect::M: return !c.firstFamily;
    case Dialect::First: return c.firstFamily;
    case Dialect::Roll: return !c.layerSection;
    case Dialect::Layer: return c.layerSection;
    default: return true;
    }
}

// How well a layout of the right length fits: the model's own 3, one of
// the context 2, any other 1; 0 another model's.
int Score(const Layout& l, const CommandContext& c)
{
    if (l.uids.size())
        return std::find(l.uids.begin(), l.uids.end(), c.uid & 0xFF) != l.uids.end() && c.uid >= 0 ? 3 : 0;
    return Fits(l.dialect, c) ? 2 : 1;
}

constexpr Field kByte = {nullptr, Kind::U8};
constexpr Field kKeepByte = {nullptr, Kind::Keep8};

// Two-letter commands of the early models: fixed parameter counts.
const Layout kFixed[] = {
    {"MD", 4, "resolution", {{"vertDpi", Kind::U16}, {"horzDpi", Kind::U16}}},
    {"MP", 9, "print mode",
     {{"passes", Kind::Passes}, {"direction", Kind::Keep8}, {"overprint", Kind::Keep8}, {"cut", Kind::Keep8},
      {"dryTimeScan", Kind::Keep16}, {"dryTimeEnd", Kind::Keep16}, kKeepByte},
     Dialect::M},
    {"MP", 9, "print mode",
     {{"banding", Kind::Keep8}, {"unidirectional", Kind::Keep8}, {"overprint", Kind::Keep8}, {"cut", Kind::Keep8},
      {"dryTimeScan", Kind::Keep16}, {"dryTimeEnd", Kind::Keep16}, kKeepByte},
     Dialect::First},
    {"MC", 1, "dot code", {{"dotCode", Kind::Code8}}},
    {"ME", 3, "density mode", {kByte, {"doubleDensity", Kind::U8}, kByte}},
    {"MB", 1, "MB", {{"value", Kind::U8}}},
    {"MY", 1, "ink set", {{"inkSet", Kind::U8}}},
    {"MA", 4, "feed correction", {kKeepByte, kKeepByte, {"feedCorrection", Kind::Twos8}}},
    {"MF", 1, "refresh", {{"refresh", Kind::U8}}},
    // Temperatures; 0 is a heater switched off.
    {"MK", 5, "heaters", {kByte, {"heater1", Kind::U8}, {"heater2", Kind::U8}, kByte, kByte}},
    {"Mn", 1, "layer mode", {{"layerMode", Kind::U8}}},
    // 0 colour, 1 white, 2 clear coat.
    {"WC", 1, "layer", {{"layer", Kind::U8}}},
    {"MX", 1, "fixed dot size", {{"fixedDotSize", Kind::U8}}},
    {"SO", 6, "white options",
     {{"white", Kind::U8}, {"whiteMode", Kind::U8}, {"dryTime", Kind::Keep16}, {"splitHeadMode", Kind::Keep8},
      {"printMode", Kind::Keep8}}},
    {"SA", 4, "weaving", {{"enabled", Kind::U8}, {"sawToothHeight", Kind::U16}, {"passIndex", Kind::U8}}},
    {"SD", 3, "dot sizes", {{"big", Kind::Keep8}, {"medium", Kind::Keep8}, {"small", Kind::Keep8}}},
    {"SU", 2, "UV light", {{"illumination", Kind::U8}, {"irradiation", Kind::U8}}},
};

// MRL III blocks of job starts, ends and layer sections: letter pair,
// length byte, parameters.
const Layout kBlocks[] = {
    {"Q@", 0, "job or layer start", {}},
    // The DTF film printer's job start carries its settings.
    {"Q@", 68, "job start",
     {{"mediaFeedMode", Kind::I16},  {"mediaFeedValue", Kind::I32}, {"feedSpeedMode", Kind::I16},
      {"feedSpeedValue", Kind::I16}, {"autoCut", Kind::I16},        {"dryTimeScanMode", Kind::I16},
      {"dryTimeJobMode", Kind::I16}, {"dryTimeScan", Kind::I16},    {"dryTimeJob", Kind::I16},
      {"fanStrength", Kind::I16},    {"topBlower", Kind::I16},      {"setLeftMargin", Kind::I16},
      {"leftMargin", Kind::I32},     {"setRightMargin", Kind::I16}, {"rightMargin", Kind::I32},
      {"preHeaterMode", Kind::I16},  {"preHeater", Kind::I16},      {"printHeaterMode", Kind::I16},
      {"printHeater", Kind::I16},    {"afterHeaterMode", Kind::I16}, {"afterHeater", Kind::I16},
      {"offTime", Kind::I16},        {"bandDivision", Kind::I16},   {"overprint", Kind::I16},
      {"dotSize", Kind::I16},        {"printLayers", Kind::I16},    {"layerMode", Kind::I16},
      {"printOrder", Kind::I16},     {"scanSpeed", Kind::I16},      {"waveForm", Kind::I16},
      {"printDirection", Kind::I16}}},
    {"QE", 0, "job or layer end", {}},
    {"GR", 0, "GR", {}},
    // Layer sections: command version (hundredths), layers, this layer's position.
    {"QM", 4, "layer count", {{"commandVersion", Kind::U16}, {"layers", Kind::U8}, {"position", Kind::U8}}},
    {"QP", 9, "layer print mode",
     {{"dotSize", Kind::Keep8}, {"vertDpi", Kind::U16}, {"horzDpi", Kind::U16}, {"passes", Kind::U8},
      {"direction", Kind::U8}, {"layers", Kind::U8}, {"waveShape", Kind::U8}}},
    {"QC", 2, "layer options", {{"refresh", Kind::U8}, {"underprint", Kind::U8}}},
    // UV policies (left, right, spot) and the first two lamp powers.
    {"QT", 5, "UV lamps",
     {{"policyLeft", Kind::Keep8}, {"policyRight", Kind::Keep8}, {"policySpot", Kind::Keep8},
      {"power1", Kind::Keep8}, {"power2", Kind::Keep8}}},
    // In a layer section: 0 the last layer, 1 keep the mode, 2 local. Before
    // one (the UJF flatbeds): the layer that follows.
    {"PI", 1, "layer position", {{"positionKind", Kind::U8}}, Dialect::Layer},
    {"PI", 1, "layer", {{"layer", Kind::U8}}, Dialect::Roll},
    {"PD", 2, "pass and dot size", {{"passItem", Kind::Keep8}, {"dotSize", Kind::Keep8}}},
    {"QL", -1, "layer parameters", {{"parm", Kind::Each}}},
    {"PX", 1, "head selection", {{"heads", Kind::Keep8}}},
    {"PL", 1, "model type", {{"modelType", Kind::Keep8}}, Dialect::Layer},
    {"PB", 1, "band mode", {{"bandMode", Kind::U8}}, Dialect::Layer},
    {"QV", -1, "UV lamp powers", {{"power", Kind::Each}}, Dialect::Layer},
    {"QC", 12, "job options",
     {kByte, {"cut", Kind::Keep8}, {"dryTimeScan", Kind::Keep8}, {"dryTimeEnd", Kind::Keep16}, kKeepByte,
      {"vacuum", Kind::Keep8}, {"leftMargin", Kind::Sign8}, {"rightMargin", Kind::Sign8}, {"topBlower", Kind::Keep8}}},
    {"QA", 3, "media feed correction", {{"feedCorrection", Kind::Sign16}}},
    {"QB", -1, "ink slots", {{"colourId", Kind::Each}}},
    {"QP", 18, "print mode",
     {{"dotCode", Kind::Code8}, {"vertDpi", Kind::U16}, {"horzDpi", Kind::U16}, {"passes", Kind::Keep8},
      {"highSpeedMode", Kind::U8}, {"bidirectional", Kind::U8}, {"inkLayers", Kind::Keep8}, kKeepByte,
      {"waveShape", Kind::U8}, kByte, kKeepByte, {"bandAdjust", Kind::Sign8}, {"printModeSet", Kind::U8}, kByte,
      kByte}},
    // Heaters: 0xFF the printer's setting, 0 off, else the temperature.
    {"QK", 9, "heaters",
     {{"preHeater", Kind::Keep8}, {"platenHeater", Kind::Keep8}, {"afterHeater", Kind::Keep8}, kKeepByte,
      kKeepByte, {"offTimeMode", Kind::Keep8}, {"offTime", Kind::Keep8}, kKeepByte, kKeepByte}},
    {"QK", 5, "more heaters",
     {{"form", Kind::U8}, {"post2Heater", Kind::Keep8}, {"post3Heater", Kind::Keep8}, {"post4Heater", Kind::Keep8},
      {"dryHeater", Kind::Keep8}}},
    // Filled by the host when it sends the job.
    {"QS", 8, "job size", {{"copyHeight", Kind::U32}, {"width", Kind::U32}}},
    {"QH", 1, "head selection", {{"heads", Kind::Keep8}}},
    {"PP", 4, "feed speed", {kKeepByte, kKeepByte, {"feedSpeed", Kind::Keep8}, kKeepByte}},
    {"PP", 4, "machine settings",
     {{"preFeed", Kind::U8}, {"preFeedSpeed", Kind::U8}, {"dryTime", Kind::U8}, {"refresh", Kind::U8}},
     Dialect::Any,
     {18}},
    {"PP", 3, "machine settings",
     {{"fanLevel", Kind::Keep8}, {"standbyTime", Kind::Keep8}, {"colourPattern", Kind::U8}}},
    {"PP", 2, "machine settings", {{"refresh", Kind::U8}, {"mediaId", Kind::U8}}},
    {"PP", 1, "machine settings", {{"refresh", Kind::U8}}},
    {"PB", 1, "high quality", {{"hq", Kind::Keep8}}, Dialect::Roll},
    {"PS", 1, "head cleaning", {{"headCleaning", Kind::U8}}},
    {"QV", 2, "UV light", {{"uvMode", Kind::U8}, {"uvValue", Kind::U8}}, Dialect::Roll},
    {"QV", 10, "UV light",
     {{"policyLeft", Kind::U8}, {"policyRight", Kind::U8}, {"powerLeftOutward", Kind::U8},
      {"powerLeftReturn", Kind::U8}, {"powerRightOutward", Kind::U8}, {"powerRightReturn", Kind::U8},
      {"postCureLamp1", Kind::U8}, {"postCureLamp2", Kind::U8}, {"postCureLamp3", Kind::U8},
      {"postCurePolicy", Kind::U8}},
     Dialect::Roll},
    // White and layer settings: model by model.
    {"PL", 1, "layer settings", {{"printingWay", Kind::U8}}, Dialect::Roll},
    {"PL", 2, "layer settings", {{"white", Kind::U8}, {"splitHeadMode", Kind::U8}}, Dialect::Any, {15}},
    {"PL", 3, "layer settings", {{"whiteMode", Kind::U8}, {"whiteLevel", Kind::U8}, {"useWhite", Kind::U8}},
     Dialect::Any, {27}},
    {"PL", 3, "layer settings",
     {{"whiteMode", Kind::U8}, {"whiteLevel", Kind::U8}, {"bandsReduction", Kind::U8}}, Dialect::Any, {22}},
    {"PL", 3, "layer settings", {{"white", Kind::U8}, {"whiteOrder", Kind::U8}, {"splitHeadMode", Kind::U8}},
     Dialect::Any, {24}},
    {"PL", 4, "layer settings",
     {{"white", Kind::U8}, {"whiteFirst", Kind::U8}, {"whiteMode", Kind::U8}, {"whiteLayerMode", Kind::U8}},
     Dialect::Any, {13}},
    {"PL", 4, "layer settings", {{"whiteMode", Kind::U8}, {"layerOffset", Kind::U16}, {"highDensity", Kind::U8}},
     Dialect::Any, {34}},
    {"PL", 4, "layer settings", {{"whiteMode", Kind::U8}, {"layerOffset", Kind::U16}, {"useWhite", Kind::U8}},
     Dialect::Any, {37}},
    {"PL", 4, "layer settings",
     {{"white", Kind::U8}, {"whiteOrder", Kind::U8}, {"splitHeadMode", Kind::U8}, {"inkType", Kind::U8}},
     Dialect::Any, {29}},
    {"PL", 10, "layer settings",
     {{"whiteOrder", Kind::U8}, {"layerOffset", Kind::U16}, {"layerSelected", Kind::U8}, {"layer1", Kind::U8},
      {"layer2", Kind::U8}, {"layer3", Kind::U8}, {"layer4", Kind::U8}, {"layer5", Kind::U8},
      {"wideSandwich", Kind::U8}}},
    {"PO", 3, "power off", {{"powerOff", Kind::Keep8}, {"minutes", Kind::U16}}},
    {"PF", 7, "media loosening", {{"loosening", Kind::U8}, kKeepByte, kKeepByte, {"value", Kind::U32}}},
    {"PH", 2, "back to origin", {kKeepByte, kKeepByte}},
    // The long form; the UJV100 sends one zero byte more than it announces.
    {"PH", 22, "back to origin", {{"byte", Kind::Each}}},
    {"GT", 1, "medium out", {{"value", Kind::U8}}},
};

std::string Fmt(const char* format, long long v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

bool Matches(const Layout& l, std::string_view name) { return name.size() == 2 && name[0] == l.name[0] && name[1] == l.name[1]; }

// Appends the fields of the layout read from p (len bytes, which the
// layout fits). Answers false with error set for a value no field allows.
bool Apply(const Layout& l, const std::uint8_t* p, std::size_t len, DecodedCommand& out)
{
    std::size_t at = 0;
    for (const Field& f : l.fields) {
        const std::string name = f.name ? f.name : "byte" + std::to_string(at + 1);
        auto add = [&](long long value, bool printers, bool hex = false) {
            out.params.push_back(Param{name, value, printers, hex});
        };
        const std::uint8_t* q = p + at;
        switch (f.kind) {
        case Kind::U8: add(q[0], false); break;
        case Kind::Keep8: add(q[0], q[0] == 0xFF); break;
        case Kind::Code8: add(q[0], q[0] == 0xFF, true); break;
        case Kind::U16: add(q[0] | q[1] << 8, false); break;
        case Kind::Keep16: add(q[0] | q[1] << 8, q[0] == 0xFF && q[1] == 0xFF); break;
        case Kind::U32:
            add(static_cast<long long>(q[0] | q[1] << 8 | q[2] << 16 | static_cast<std::uint32_t>(q[3]) << 24), false);
            break;
        case Kind::I16: add(static_cast<std::int16_t>(q[0] | q[1] << 8), false); break;
        case Kind::I32:
            add(static_cast<std::int32_t>(q[0] | q[1] << 8 | q[2] << 16 | static_cast<std::uint32_t>(q[3]) << 24), false);
            break;
        case Kind::Sign8:
        case Kind::Sign16: {
            const long long magnitude = f.kind == Kind::Sign8 ? q[1] : q[1] | q[2] << 8;
            if (q[0] == 0xFF) {
                add(magnitude, true);
            } else if (q[0] > 1) {
                out.error = l.name + std::string(" ") + name + ": sign byte " + std::to_string(q[0]) +
                            " (0, 1 or 0xFF expected)";
                add(magnitude, false);
            } else {
                add(q[0] ? -magnitude : magnitude, false);
            }
            break;
        }
        case Kind::Twos8:
            if (q[0] > 1)
                out.error = l.name + std::string(" ") + name + ": sign byte " + std::to_string(q[0]) +
                            " (0 or 1 expected)";
            add(q[0] == 1 ? static_cast<std::int8_t>(q[1]) : q[1], false);
            break;
        case Kind::Passes:
            if (q[0] == 0xFF) {
                add(q[0], true);
            } else {
                add(q[0] & 0x7F, false);
                out.params.push_back(Param{"highSpeed", q[0] >> 7, false, false});
            }
            break;
        case Kind::Each:
            for (std::size_t i = at; i < len; ++i)
                out.params.push_back(Param{name + std::to_string(i - at + 1), p[i], false, false});
            at = len;
            continue;
        }
        at += static_cast<std::size_t>(Size(f.kind));
    }
    if (at != len)
        out.error = l.name + std::string(" layout covers ") + std::to_string(at) + " of " + std::to_string(len) +
                    " bytes";
    return out.error.empty();
}

} // namespace

std::string ParamsText(const std::vector<Param>& params)
{
    std::string s;
    for (const Param& p : params) {
        if (!s.empty())
            s += ' ';
        s += p.name + '=';
        s += p.printers ? std::string("printer") : p.hex ? Fmt("0x%02llx", p.value) : std::to_string(p.value);
    }
    return s;
}

int FixedCommandLength(std::uint8_t a, std::uint8_t b)
{
    const char name[2] = {static_cast<char>(a), static_cast<char>(b)};
    for (const Layout& l : kFixed)
        if (Matches(l, std::string_view(name, 2)))
            return l.length;
    return -1;
}

DecodedCommand DecodeJobCommand(std::string_view name, const std::uint8_t* p, std::size_t len,
                                const CommandContext& context)
{
    DecodedCommand out;
    const Layout* best = nullptr;
    const Layout* otherModels = nullptr;
    std::vector<int> lengths;
    for (const std::span<const Layout> table : {std::span<const Layout>(kFixed), std::span<const Layout>(kBlocks)})
        for (const Layout& l : table) {
            if (!Matches(l, name))
                continue;
            out.known = true;
            if (l.length >= 0 && static_cast<std::size_t>(l.length) != len) {
                if (std::find(lengths.begin(), lengths.end(), l.length) == lengths.end())
                    lengths.push_back(l.length);
                continue;
            }
            const int score = Score(l, context);
            if (score == 0)
                otherModels = &l;
            else if (!best || Score(*best, context) < score)
                best = &l;
        }
    if (best) {
        out.meaning = best->meaning;
        Apply(*best, p, len, out);
    } else if (otherModels) {
        // A model's own layout, the model unknown: the bytes by position.
        out.meaning = otherModels->meaning;
        for (std::size_t i = 0; i < len; ++i)
            out.params.push_back(Param{"value" + std::to_string(i + 1), p[i], false, false});
    } else if (out.known) {
        out.error = std::string(name) + " with " + std::to_string(len) + " parameter bytes (";
        for (std::size_t i = 0; i < lengths.size(); ++i)
            out.error += (i ? " or " : "") + std::to_string(lengths[i]);
        out.error += " expected)";
    }
    return out;
}

} // namespace streamparse
