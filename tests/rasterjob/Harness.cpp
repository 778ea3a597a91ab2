#include "Harness.h"

#include <regex>

#include "tools/common/RasterDigest.h"

namespace rjtest {

RunResult RunRasterJob(const std::vector<std::string>& args, const std::string& cwd, int signalAfterMs)
{
    return testsupport::Run(RASTERJOB_EXE, args, {cwd, {"MIMAKI_PLUGIN"}, signalAfterMs});
}

std::vector<ChannelSummary> ParseChannels(const std::string& json)
{
    static const std::regex re(
        R"re(\{"index": (\d+), "colourCode": (\d+), "rows": (\d+), "firstInkRow": -?\d+, "lastInkRow": -?\d+, "digest": "([0-9a-f]{64})"\})re");
    std::vector<ChannelSummary> out;
    for (auto it = std::sregex_iterator(json.begin(), json.end(), re); it != std::sregex_iterator(); ++it)
        out.push_back({std::stoi((*it)[1]), std::stoi((*it)[2]), std::stoll((*it)[3]), (*it)[4]});
    return out;
}

std::string JsonField(const std::string& json, const std::string& name)
{
    const std::regex re("\n  \"" + name + "\": ([^\n]*?),?\n");
    std::smatch m;
    return std::regex_search(json, m, re) ? m[1].str() : std::string("<missing>");
}

TestStream DecodeTestStream(const std::string& s, const std::vector<int>& codes)
{
    TestStream t;
    std::map<int, RasterDigest> planes;
    for (int c : codes)
        planes[c];
    std::map<int, std::string> band;  // rows of the current band, by code
    std::size_t i = 0;
    auto u8 = [&](std::size_t at) { return static_cast<unsigned char>(s[at]); };
    if (s.compare(0, 7, "<start>") == 0) {
        t.started = true;
        i = 7;
    }
    while (i < s.size()) {
        if (s.compare(i, 5, "<end>") == 0) {
            t.ended = true;
            i += 5;
            break;
        }
        const char c = s[i];
        if (c == 'R' && i + 4 <= s.size()) {
            const int code = u8(i + 1);
            const std::size_t n = u8(i + 2) | (u8(i + 3) << 8);
            if (i + 4 + n > s.size() || !planes.count(code)) {
                t.error = "bad record at " + std::to_string(i);
                break;
            }
            band[code] = s.substr(i + 4, n);
            ++t.records;
            i += 4 + n;
        } else if (c == '\n') {
            for (auto& [code, digest] : planes) {
                auto it = band.find(code);
                if (it == band.end())
                    digest.AddBlankRows(1);
                else
                    digest.AddRow(it->second);
            }
            band.clear();
            ++t.rows;
            ++t.bands;
            ++i;
        } else if (c == 'F' && i + 5 <= s.size()) {
            const long long n = u8(i + 1) | (u8(i + 2) << 8) | (u8(i + 3) << 16) | (static_cast<long long>(u8(i + 4)) << 24);
            for (auto& [code, digest] : planes)
                digest.AddBlankRows(static_cast<std::uint64_t>(n));
            t.rows += n;
            ++t.feeds;
            i += 5;
        } else {
            break;
        }
    }
    t.tail = s.substr(i);
    if (!band.empty() && t.error.empty())
        t.error = "records without their band end";
    for (auto& [code, digest] : planes)
        t.digests[code] = digest.Hex();
    return t;
}

} // namespace rjtest
