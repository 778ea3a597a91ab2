// Command line of rasterjob.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace rasterjob {

enum class ScreenKind { Diffusion, Ordered };

struct Options {
    std::string plugin;                                      // empty: $MIMAKI_PLUGIN or the build's plug-in
    std::string settingsFile;                                // --settings
    std::string printer;                                     // --printer (INI section)
    std::vector<std::pair<std::string, std::string>> sets;   // --set KEY=VALUE, in order

    std::string pattern = "bars";
    bool patternGiven = false;
    std::uint64_t seed = 1;
    std::vector<std::string> inputs;                         // --input, one per channel
    ScreenKind screen = ScreenKind::Diffusion;

    int width = 0;                                           // 0: default or the images' size
    int height = 0;
    double dpiFirst = 0;                                     // 0: from the settings
    double dpiSecond = 0;
    int bits = 0;                                            // 0: from the settings
    std::vector<int> channels;                               // empty: default list
    int compress = -1;                                       // -1: default (on)
    int cut = -1;                                            // the job's cut option; -1: the class's default
    std::string jobName;                                     // empty: the output file's name
    bool interleave = false;                                 // the host's row-interleave switch
    int dotDataType = -1;                                    // -1: 2 at 2 bits, else 0

    std::string output = "job.prn";                          // "-" is standard output
    bool outputGiven = false;
    std::string device;                                      // socket://HOST:PORT
    double deviceTimeout = 0;                                // seconds without progress; 0 waits
    std::uint64_t decodeLimitMiB = 2048;                     // pictures decoded whole
    long long spoolLimit = -1;                               // bytes of spool in memory; -1: the host's
    int altRowBytes = 0;                                     // the host's alternative row byte count; 0: none

    long long abortAfter = -1;                               // rows, -1: never
    std::string saveRaster;                                  // folder
    bool json = false;
    bool quiet = false;
    bool stats = false;
    bool listModels = false;
    bool help = false;
};

// Parses argv[1..argc-1]. Answers false with a one-line message on a
// usage error.
bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);

// Splits "socket://HOST:PORT" (HOST may be a bracketed IPv6 address).
bool ParseDeviceUri(const std::string& uri, std::string& host, int& port, std::string& error);

extern const char kUsage[];

} // namespace rasterjob
