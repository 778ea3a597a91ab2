// Small jobs through the layer-basis drivers, parameters whose answers a
// test sets, and the white-mode table kept as test data.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "devparms/MimakiDevParms.h"
#include "host/PrinterDriverBase.h"
#include "tests/driver/DriverTestUtil.h"
#include "tests/support/Bytes.h"
#include "tools/streamdump/StreamParser.h"

namespace layertest {

// Device parameters that answer what the test sets and send no start
// string, so that a whole stream is the driver's rows and "QE" 0.
class Parms : public CMimakiDevParmsBase {
public:
    int mode = 0;
    int offset = 0;
    int highSpeed = 0;
    int pause = 0;
    double pauseMm = 0, gapMm = 0;
    std::map<int, int> codes;  // host colour -> printer colour
    std::vector<int> ids;      // colour id per slot; empty: the base answer -1

    std::string GetStartString(CPrinterDriverBase*) override { return {}; }
    std::string GetEndString(CPrinterDriverBase*) override { return std::string("QE\0", 3); }
    int GetColorMapValue(int c) override
    {
        const auto it = codes.find(c);
        return it == codes.end() ? 99 : it->second;
    }
    int GetColorIdAt(int i) override
    {
        if (ids.empty())
            return -1;
        return i >= 0 && static_cast<std::size_t>(i) < ids.size() ? ids[static_cast<std::size_t>(i)] : 99;
    }
    int IsHeadCleaningEnabled() override { return pause; }
    void GetHeadCleaningDistances(double& a, double& b) override
    {
        a = pauseMm;
        b = gapMm;
    }
    int GetHighSpeed() override { return highSpeed; }
    int GetLayerWhiteOrder() override { return mode; }
    int GetWhiteOrderOrMode() override { return mode; }
    int GetLayerOffset() override { return offset; }
};

using RowBytes = std::vector<BYTE>;
using Rows = std::vector<std::vector<RowBytes>>;  // row, channel, bytes

struct Job {
    std::vector<int> colours;     // host colour code per channel
    std::vector<int> userColours; // empty: the colour codes
    int width = 8;
    int bits = 1;
    int compress = 0;
    double dpi = 720;
    bool interleave = false; // the JV58C drops rows then
    Rows rows;
};

using Result = ::JobResult;

// The host's calls for one job; the sink fails after failAfter bytes, the
// operator aborts before row abortBefore when that is not negative.
// The host's job context for the job.
CPrintJobOpenContext ContextOf(const Job& job);
Result RunJob(CPrinterDriverBase& driver, const Job& job, std::uint64_t failAfter = UINT64_MAX, int abortBefore = -1);

// The job through the driver into a sink that keeps nothing: the number of
// allocations made while rows from firstCounted on went through.
long RowAllocations(CPrinterDriverBase& driver, const Job& job, std::size_t firstCounted = 0);

// Random rows with clean padding; every fifth row blank in all channels.
Rows RandomRows(std::size_t channels, int rows, int width, int bits, unsigned seed);

// The row with its pixel order reversed, pixel by pixel.
RowBytes MirrorPixels(const RowBytes& row, int width, int bits);

// One row of the white-mode table: (selector, layer, mirrored) per step.
struct Step {
    int selector;
    int layer;
    bool mirror;
};
// A column of the mode table in data/FILE ("JV300 / JV400" or "TS300P" of
// white_modes.md, the class names of layer_section_modes.md); modes the
// column marks "—" or "none" are absent.
std::map<int, std::vector<Step>> DocumentedModes(const std::string& column,
                                                 const std::string& file = "white_modes.md");
// Whether the selector of the column ("JV300", "JV400", "TS300P", or a
// class name) takes a channel of that colour, read from the selector
// table's wording.
bool DocumentedSelects(const std::string& column, int selector, int colour,
                       const std::string& file = "white_modes.md");

// Runs the job and checks every layer of the mode of the table's column
// (modeColumn) against the stream: exactly the planes the selectors of the
// selector column take, under the channel's printer code (codes, per
// channel), each holding the channel's rows delayed by layer × offset rows
// (blank rows before) and mirrored where the table says. With trimmed, rows
// go without their trailing zeros and a channel row without ink not at
// all, except in rows blank in every channel, sent at the full width.
void CheckModeRoundTrip(CPrinterDriverBase& driver, const Job& job, const std::string& modeColumn,
                        const std::string& selectorColumn, int mode, int offset, const std::vector<int>& codes,
                        bool trimmed);

// The stream rebuilt by streamdump's layer sections (each layer's delay of
// offset rows a layer index undone, the mode's mirrored layers turned back)
// holds, for each step of the mode of the table's column, exactly the
// channels its selector takes, under the channel's printer code (codes, per
// channel), with the rows as fed and their digest.
void CheckRebuiltLayers(const std::string& stream, const Job& job, const std::string& column, const std::string& file,
                        int mode, int offset, const std::vector<int>& codes);

} // namespace layertest
