// What the tests of the flatbed drivers that keep a page in spool stores
// share: device parameters whose layer starts can be written down, and the
// failure paths every such driver must survive.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/PrintEnv.h"
#include "tests/layers/LayerTestSupport.h"

namespace spooltest {

// The model's parameters, loaded from env, with start strings that name
// their arguments: "S", layer (or kind), reversed, position kind, position.
template <class Parms>
class NamedStarts : public Parms {
public:
    std::string GetLayerStartString(CPrinterDriverBase*, int layer, int reversed, int posKind, int pos) override
    {
        return std::string("S") + char(layer) + char(reversed) + char(posKind) + char(pos);
    }
};

template <class Driver, class Parms>
std::unique_ptr<Driver> MakeWithNamedStarts(CPrintEnv& env)
{
    auto* parms = new NamedStarts<Parms>();
    parms->Load(&env);
    return std::make_unique<Driver>(&env, parms);
}

// A test data file of tests/layers/data, line by line; the cells of a
// Markdown table row (none for a line that is no row); the whole numbers of
// a text; a row without its trailing zero bytes.
std::vector<std::string> DataLines(const std::string& file);
std::vector<std::string> TableCells(const std::string& line);
std::vector<int> Numbers(const std::string& text);
std::vector<BYTE> Trim(std::vector<BYTE> row);

// No spool file open and no spool memory in use.
void ExpectNothingLeft(const std::string& where);

// Six rows of black, cyan, white and varnish, 2 bytes each, PackBits on.
layertest::Job SmallLayeredJob();

// The failure paths: an output that fails at any byte, a job aborted
// mid-page, spool stores that spill everything or cannot spill at all, and
// a driver destroyed mid-page; each leaves no temporary file and no budget
// behind.
// The printer's settings (a driver is made from them by Create for each
// case), a small job that spools rows, and the source name the driver's
// spool errors are reported under.
void CheckFailurePaths(const CPrintEnv& env, const layertest::Job& job, const std::string& errorSource);

} // namespace spooltest
