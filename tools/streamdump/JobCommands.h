// The job commands of a printer stream and the meaning of their parameter
// bytes: the early two-letter commands with a fixed parameter count ("MD",
// "MP", ... "SU") and the MRL III blocks of the job start and end and of the
// layer sections ("Q@", "QC", "QP", ... "GT"), whose length byte frames them.
//
// Parameter conventions: 0xFF (0xFFFF for 16-bit fields) in a field that
// may be left to the printer means "the printer keeps its own setting";
// 16- and 32-bit values are low byte first; signed values are a sign byte
// (1 negative, 0 positive) and the magnitude.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace streamparse {

// One named parameter of a command.
struct Param {
    std::string name;
    long long value = 0;
    bool printers = false;  // left to the printer (0xFF): value is meaningless
    bool hex = false;       // a code, shown in hexadecimal
};

// "name=value" pairs separated by blanks; "printer" for a setting left to
// the printer, codes as 0x.. .
std::string ParamsText(const std::vector<Param>& params);

struct DecodedCommand {
    bool known = false;         // the command exists (whatever its length)
    const char* meaning = "";   // "print mode", "job options", ...
    std::vector<Param> params;  // empty when no layout fits
    std::string error;          // the bytes do not fit the command's layouts
};

// The early job commands: parameter count of the two letters a b, or -1 when
// they are none.
int FixedCommandLength(std::uint8_t a, std::uint8_t b);

// What tells two layouts of one command and length apart:
// - "MP": the first command family sets its unit with ESC "(U" before it,
//   the "M" family sends "MD" instead;
// - "PB", "PI", "PL", "QV": a layer section of the layered models has the
//   short "QP" (9 bytes) after its "Q@", the string-object start the long
//   one; before a section's "Q@" the UJF flatbeds send the layer ("PI");
// - the white and layer settings ("PL") and the machine settings ("PP")
//   differ from model to model: with the printer's UID known they are
//   named as that model sends them, else by position ("value1", ...).
struct CommandContext {
    bool firstFamily = false;
    bool layerSection = false;
    int uid = -1;  // the printer's model number (low 8 bits), -1 unknown
};

// Names the len parameter bytes p of the command name (two letters). The
// model's own layout comes first, then one that fits the context; any
// layout of the length serves otherwise.
DecodedCommand DecodeJobCommand(std::string_view name, const std::uint8_t* p, std::size_t len,
                                const CommandContext& context = {});

} // namespace streamparse
