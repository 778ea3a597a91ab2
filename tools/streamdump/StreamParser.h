// Reads a printer byte stream the way the printer does and rebuilds what it
// would print: one plane of rows per layer and printer colour byte.
//
// Grammar understood (every command anywhere in the stream):
//
//   ESC/P-style raster (command sets 0 to 3)
//     ESC "@"                        reset; starts a new layer after raster
//     ESC "(" letter nL nH params    extended command, nL/nH = parameter count:
//       "(U" 1 byte                  unit in 1/3600 inch
//       "(r" 2 bytes m n             colour (density m, colour n)   set 1 / 3
//       "(v" 2 bytes LE16            feed: moves down by that many rows
//       any other letter             counted, parameters skipped
//     ESC "r" n                      colour n                        set 0
//     ESC "." c A B m dotsL dotsH    raster row(s) of the current colour:
//                                    c 0 raw / 1 PackBits, m rows of
//                                    ceil(dots / 8) bytes, 1 bit per pixel
//     ESC "i" n c b cntL cntH mL mH  raster row(s) of colour n, compression c,
//                                    b bits per pixel, m rows of cnt bytes
//                                                                    set 2 / 3
//     CR                             row trailer (expected after every row)
//     LF                             band end: the next row
//     FF (0x0C)                      page end: as "QE"
//     0xFF                           job end byte
//     NUL                            ignored
//   Early job commands: two letters and a fixed number of parameter bytes,
//     "MD" 4, "MP" 9, "MC" 1, "ME" 3, "MB" 1, "MY" 1, "MA" 4, "MF" 1,
//     "MK" 5, "Mn" 1, "WC" 1, "MX" 1, "SO" 6, "SA" 4, "SD" 3, "SU" 2,
//     plus ParseOptions::extraCommands. Their parameters are named as
//     JobCommands.h says; "MP" after ESC "(U" is the first command family's.
//   MRL III blocks (command set 4 and the layered drivers): "Q", "P" or "G",
//   a command letter, a length byte L and L parameter bytes:
//     "Q@"                           layer (job) start; a new layer after raster
//     "QE" 0                         layer (job) end: the next raster, band
//                                    end or feed opens a new layer
//     "QR" 1 0x00 / 0x01             row start / band end (the next row)
//     "QX" 5 0x01 LE32               feed: moves down by that many rows
//     "QD" 7  col c b rawL rawH 1 0                  raster row (descriptor)
//     "QD" 9  ... as 7, storedL storedH              with the stored length
//     "QD" 10 ... as 9, sub                          and a sub-layer byte
//     the job and layer commands of JobCommands.h ("QC", "QP", "PL", ...),
//                                    parameters named; a length no layout
//                                    of the command has is an error
//     "PH" 22 and one zero byte more (as the UJV100 sends it) is one command
//     any other block                an error ("unknown MRL III block"),
//                                    skipped by its length byte
//
// The raster bytes follow their header directly. With compression 1 they are
// PackBits-coded; the header carries the uncompressed count, and the coded
// length is where the decoding of that count ends (or the stored count of a
// 9- or 10-byte descriptor, which must agree with it).
//
// Model. A layer is what lies between a layer start and its end (see above);
// a stream without layer commands is layer 0, and each layer's rows are
// numbered from 0. Within a layer a row position starts at 0; every channel
// record puts its decoded row at the current position of its plane; band
// ends move the position down by one row and feeds by their amount. Rows a
// plane did not receive are blank.
//
// A plane is identified by PlaneKey: layer, colour byte, density (m of
// ESC "(r", which tells a light ink from its dark ink of the same colour
// byte), sub-layer (last byte of a 10-byte descriptor) and occurrence. When
// one band holds two records of the same layer, colour, density and
// sub-layer (two ink slots carrying the same colour), the second goes to the
// plane with occurrence 1, and so on.
//
// Cost follows the bytes read: a feed or a record of empty lines costs the
// same whatever row count it claims.
//
// Errors never stop the caller: the result lists each with its byte offset.
// Parsing ends at the first error after which the stream cannot be followed
// (unknown command, truncated command, undecodable row); other errors
// (a row whose decoded length disagrees with its header, a row not followed
// by its trailer, a bad parameter value) are listed and parsing goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tools/streamdump/JobCommands.h"

namespace streamparse {

enum class RasterFormat : std::uint8_t {
    Set0,      // ESC "r" colour, ESC "." raster
    Set1,      // ESC "(r" colour, ESC "." raster (also set 3 at 1 bit per pixel)
    Set2,      // ESC "i" raster (also set 3 at 2 bits per pixel)
    Mrl3Qd7,   // MRL III, 7-byte "QD" descriptor
    Mrl3Qd9,   // MRL III, 9-byte "QD" descriptor (with stored count)
    Mrl3Qd10,  // MRL III, 10-byte "QD" descriptor (with stored count and sub-layer)
};

// "set0", "set1", "set2", "mrl3-qd7", "mrl3-qd9", "mrl3-qd10".
const char* FormatName(RasterFormat format);

struct PlaneKey {
    int layer = 0;
    int colour = 0;      // printer colour byte (n of ESC "(r")
    int density = -1;    // m of ESC "(r"; -1 for the other formats
    int sublayer = -1;   // last byte of a 10-byte "QD"; -1 otherwise
    int occurrence = 0;  // 1, 2, ... for repeated records in one band

    auto operator<=>(const PlaneKey&) const = default;
};

struct Row {
    std::int64_t index = 0;           // row number within the layer
    std::vector<std::uint8_t> bytes;  // decoded, as long as the header said
};

struct Plane {
    PlaneKey key;
    RasterFormat format = RasterFormat::Set0;  // of its first record
    bool mixedFormats = false;                 // later records used another format
    int bitsPerPixel = 0;
    std::int64_t rows = 0;          // up to and including its last record
    int bytesPerRow = 0;            // largest uncompressed count of a record
    std::size_t records = 0;        // rows received in channel records
    std::size_t compressedRecords = 0;
    std::int64_t firstInkRow = -1;  // rows holding a non-zero byte, -1 if none
    std::int64_t lastInkRow = -1;
    std::size_t firstOffset = 0;    // stream offset of the first record
    std::string digest;             // hex SHA-256 by RasterDigest's rule
    // Rows that received a record, in row order (ParseOptions::keepRows);
    // rows missing here are blank (records of zero bytes keep none).
    std::vector<Row> rowData;

    // The decoded row at index, or null when the plane has none there.
    const std::vector<std::uint8_t>* RowAt(std::int64_t index) const;
    // Rows 0 .. rows - 1 with blank rows empty (for small planes in tests).
    std::vector<std::vector<std::uint8_t>> DenseRows() const;
};

struct Layer {
    int index = 0;
    std::size_t startOffset = 0;  // first command that belongs to it
    std::size_t endOffset = 0;    // one past its last command
    std::int64_t rows = 0;        // rows the layer moved down (bands and feeds)
    std::string endedBy;          // "QE", "FF", "Q@", "ESC @" or "end of stream"
};

struct ParseError {
    std::size_t offset = 0;  // of the command at fault (or the byte)
    std::string message;
    bool fatal = false;      // parsing stopped here
};

// One command as the trace shows it.
struct Command {
    std::size_t offset = 0;
    std::size_t length = 0;  // header, parameters and raster data
    std::string name;        // "ESC .", "QD", "LF", "MP", ...
    std::string fields;      // decoded fields, human-readable
    // Job commands (all but raster records, row and band framing, feeds
    // and NUL): what the command does and its named parameters.
    bool job = false;
    std::string meaning;
    std::vector<Param> params;
};

struct ParseOptions {
    bool keepRows = true;   // fill Plane::rowData (digests are always made)
    std::size_t maxErrors = 100;
    // Layers deeper than this many rows are refused: protects against a
    // feed of billions of rows in a damaged stream.
    std::int64_t maxRows = std::int64_t(1) << 24;
    // Uncompressed bytes one record may decode to.
    std::size_t maxRecordBytes = std::size_t(1) << 24;
    // Records of one layer, colour, density and sub-layer at one row
    // position (ink slots carrying the same colour); past this a record is
    // refused, so that a damaged stream cannot make each record search
    // ever more planes.
    std::size_t maxOccurrences = 64;
    // The stream must hold a whole job: at least one byte, and its last
    // layer ended by "QE" or FF. Otherwise an error at its end says it is
    // incomplete.
    bool expectJobEnd = false;
    // Further two-letter commands with a fixed parameter count, beyond the
    // early job commands listed above (for example {"SO", 2}).
    std::map<std::string, int, std::less<>> extraCommands;
    // Called for every command when set (for --trace); costs the formatting.
    std::function<void(const Command&)> onCommand;
    // Fill ParseResult::jobCommands.
    bool keepJobCommands = false;
    // The printer's UID, when known: the job commands whose bytes differ
    // from model to model are named as that model sends them.
    int uid = -1;
};

struct ParseResult {
    std::vector<RasterFormat> formats;  // in the order first seen
    std::map<std::string, std::size_t, std::less<>> commandCounts;
    std::vector<Layer> layers;          // at least layer 0
    std::vector<Plane> planes;          // ordered by key
    std::vector<ParseError> errors;
    std::size_t bytesParsed = 0;        // end of the last command read in full
    std::vector<Command> jobCommands;   // ParseOptions::keepJobCommands

    bool ok() const { return errors.empty(); }
    std::size_t Count(std::string_view command) const;
    const Plane* FindPlane(const PlaneKey& key) const;
    const Plane* FindPlane(int layer, int colour) const { return FindPlane(PlaneKey{layer, colour}); }
};

ParseResult ParseStream(const std::uint8_t* data, std::size_t size, const ParseOptions& options = {});
inline ParseResult ParseStream(std::string_view bytes, const ParseOptions& options = {})
{
    return ParseStream(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), options);
}

} // namespace streamparse
