// Helpers of rasterjob's tests: running the tool, reading its JSON, and
// decoding the test plug-in's stream.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace rjtest {

using testsupport::ReadFile;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::WriteFile;

// Runs rasterjob with args in cwd; MIMAKI_PLUGIN is removed from the
// environment so that every run names its plug-in.
// With signalAfterMs > 0, SIGINT is sent to the program after that time.
RunResult RunRasterJob(const std::vector<std::string>& args, const std::string& cwd, int signalAfterMs = 0);

// Per channel of a --json summary.
struct ChannelSummary {
    int index = -1;
    int colourCode = -1;
    long long rows = -1;
    std::string digest;
};
std::vector<ChannelSummary> ParseChannels(const std::string& json);
// A top-level field's raw JSON value ("4", "null", "\"CTestDriver\"").
std::string JsonField(const std::string& json, const std::string& name);

// The test plug-in's stream, decoded into one plane digest per colour code.
struct TestStream {
    bool started = false, ended = false;
    std::string error;                      // what broke the decoding
    std::string tail;                       // bytes after the last record
    std::map<int, std::string> digests;     // by host colour code
    long long rows = 0;                     // row position at the end
    int records = 0, feeds = 0, bands = 0;
};
TestStream DecodeTestStream(const std::string& bytes, const std::vector<int>& codes);

} // namespace rjtest
