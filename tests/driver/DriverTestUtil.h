// Running small jobs through a driver into memory.
#pragma once

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "host/HostJob.h"
#include "host/PrintEnv.h"
#include "tests/support/Bytes.h"
#include "tests/support/LogCapture.h"

using namespace testsupport;

using Row = std::vector<std::vector<BYTE>>; // one byte vector per channel

struct JobResult {
    int ok = 0;
    std::string bytes;
    std::uint64_t callsAfterFailure = 0;
};

// A 2-bit job of the given channel colours and row width in bytes.
CPrintJobOpenContext Context(std::vector<int> colours, int bytesPerRow, int compress = 0, double dpi = 720);

// Job open, start string, OutputInit, the rows, end; aborts after
// abortAfterRows rows when that is not negative.
JobResult RunJob(CPrinterDriverBase& driver, CPrintJobOpenContext context, const std::vector<Row>& rows,
                 std::uint64_t failAfter = UINT64_MAX, int abortAfterRows = -1);

// A driver made by Create for the settings.
std::unique_ptr<CPrinterDriverBase> CreateDriver(CPrintEnv& env);

// The class name of a type, as written in the source.
std::string ClassName(const std::type_info& t);
