// Running small jobs through a driver into memory.
#pragma once

#include <functional>
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

// The job on a driver made afresh for each call (with "<abort>" as its
// abort command), its output failing after failAfter bytes, aborted before
// row abortBefore when that is not negative.
using FreshJob = std::function<JobResult(std::uint64_t failAfter, int abortBefore)>;

// The whole job, then the output failing at each of its bytes: every run
// answers 0, sends exactly the stream's first bytes and calls the output no
// more. With abortBefore not negative, the job aborted there sends the
// stream's first bytes, the abort command once (none where the driver has
// none to send) and no job end. Returns the whole stream.
std::string ExpectOutputFailuresAndAbort(const FreshJob& run, int abortBefore = -1, bool sendsAbort = true,
                                         const std::string& jobEnd = std::string("QE\0", 3));

// A driver made by Create for the settings.
std::unique_ptr<CPrinterDriverBase> CreateDriver(CPrintEnv& env);

// The class name of a type, as written in the source.
std::string ClassName(const std::type_info& t);
