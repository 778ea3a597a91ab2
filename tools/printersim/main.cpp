// printersim: a virtual Mimaki printer (see Sim.h).
#include <cstdio>
#include <string>
#include <vector>

#include "tools/printersim/Sim.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    printersim::Options options;
    std::string error;
    if (!printersim::ParseOptions(args, options, error)) {
        if (error == "help") {
            std::fputs(printersim::kUsage, stdout);
            return 0;
        }
        std::fprintf(stderr, "printersim: %s (printersim --help shows the usage)\n", error.c_str());
        return 2;
    }
    return printersim::Run(options);
}
