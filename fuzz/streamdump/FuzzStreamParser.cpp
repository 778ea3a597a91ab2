// Feeds arbitrary bytes to the stream parser. Whatever the bytes, parsing
// must end without a crash, report its errors with offsets inside the
// input, and keep its own accounts straight.
#include <cstdint>
#include <cstdlib>

#include "tools/streamdump/StreamParser.h"

using namespace streamparse;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ParseOptions options;
    // The row limit stays as streamdump has it: what a stream claims must
    // cost nothing. A smaller record limit keeps each run fast; it is
    // checked the same way at any size.
    options.maxRecordBytes = 1 << 18;
    std::size_t traced = 0;
    std::size_t tracedEnd = 0;
    options.onCommand = [&](const Command& c) {
        if (c.offset != tracedEnd || c.length == 0)
            std::abort();
        tracedEnd = c.offset + c.length;
        ++traced;
    };
    const ParseResult r = ParseStream(data, size, options);

    if (r.bytesParsed > size || tracedEnd != r.bytesParsed)
        std::abort();
    std::size_t counted = 0;
    for (const auto& entry : r.commandCounts)
        counted += entry.second;
    if (counted != traced || r.layers.empty())
        std::abort();
    if (r.bytesParsed < size && (r.errors.empty() || !r.errors.back().fatal))
        std::abort();
    for (const ParseError& e : r.errors)
        if (e.offset > size)
            std::abort();
    for (const Plane& p : r.planes) {
        // Rows of zero bytes are counted but not kept.
        if (p.rowData.size() > p.records || p.rows < 1 || p.digest.size() != 64)
            std::abort();
        for (const Row& row : p.rowData)
            if (row.bytes.empty() || row.index >= p.rows)
                std::abort();
        for (std::size_t i = 1; i < p.rowData.size(); ++i)
            if (p.rowData[i].index <= p.rowData[i - 1].index)
                std::abort();
        if (p.lastInkRow >= p.rows || static_cast<std::size_t>(p.key.layer) >= r.layers.size())
            std::abort();
    }
    // Without rows the digests are the same; asking for the job end adds
    // at most one error, at the end, and only to an unfinished stream.
    ParseOptions lean;
    lean.maxRecordBytes = options.maxRecordBytes;
    lean.keepRows = false;
    lean.expectJobEnd = true;
    const ParseResult r2 = ParseStream(data, size, lean);
    if (r2.planes.size() != r.planes.size())
        std::abort();
    for (std::size_t i = 0; i < r.planes.size(); ++i)
        if (r2.planes[i].digest != r.planes[i].digest)
            std::abort();
    const std::size_t added = r2.errors.size() - r.errors.size();
    if (r2.errors.size() < r.errors.size() || added > 1 ||
        (added == 1 && (r2.errors.back().offset != size || r.layers.back().endedBy == "QE" ||
                        r.layers.back().endedBy == "FF")))
        std::abort();
    return 0;
}
