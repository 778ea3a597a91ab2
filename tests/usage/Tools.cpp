#include "tests/usage/Tools.h"

namespace usage {

namespace {

RunResult Tool(const char* exe, const std::vector<std::string>& args, RunOptions options)
{
    options.env.push_back(std::string("MIMAKI_PLUGIN=") + MIMAKI_PLUGIN_PATH);
    if (options.killAfterMs == 0)
        options.killAfterMs = 60000;
    return testsupport::Run(exe, args, options);
}

} // namespace

RunResult Rasterjob(const std::vector<std::string>& args, RunOptions options)
{
    return Tool(RASTERJOB_EXE, args, std::move(options));
}

RunResult Parmtool(const std::vector<std::string>& args, RunOptions options)
{
    return Tool(PARMTOOL_EXE, args, std::move(options));
}

RunResult Streamdump(const std::vector<std::string>& args, RunOptions options)
{
    return Tool(STREAMDUMP_EXE, args, std::move(options));
}

std::vector<std::string> SmallJob(std::vector<std::string> more)
{
    std::vector<std::string> args{"--width", "64", "--height", "16", "--bits", "1", "--dpi", "720", "-q"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

} // namespace usage
