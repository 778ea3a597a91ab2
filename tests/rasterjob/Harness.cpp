#include "Harness.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "tools/common/RasterDigest.h"

extern char** environ;

namespace rjtest {

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/rasterjob-test-XXXXXX";
    if (!::mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string TempDir::Sub(const std::string& name) const
{
    const std::string p = m_path + "/" + name;
    std::filesystem::create_directories(p);
    return p;
}

std::vector<std::string> TempDir::List() const
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(m_path))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> RunResult::ErrLines() const
{
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

RunResult Run(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
              int signalAfterMs)
{
    const std::string outPath = cwd + "/.stdout", errPath = cwd + "/.stderr";
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "MIMAKI_PLUGIN=", 14) != 0)
            envStrings.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argStrings)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::chdir(cwd.c_str()) != 0)
            ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    RunResult r;
    int status = 0;
    if (signalAfterMs > 0) {
        ::usleep(static_cast<useconds_t>(signalAfterMs) * 1000);
        ::kill(pid, SIGINT);
    }
    ::waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadFile(outPath);
    r.err = ReadFile(errPath);
    ::unlink(outPath.c_str());
    ::unlink(errPath.c_str());
    return r;
}

RunResult RunRasterJob(const std::vector<std::string>& args, const std::string& cwd, int signalAfterMs)
{
    return Run(RASTERJOB_EXE, args, cwd, signalAfterMs);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary);
    out << data;
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
