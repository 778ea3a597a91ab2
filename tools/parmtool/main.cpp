#include <cstdio>
#include <iostream>

#include "tools/parmtool/ParmTool.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = parmtool::Run(args, std::cout, std::cerr);
    std::cout.flush();
    // Output lost (a closed pipe, a full disk) is a failure.
    if (!std::cout || std::fflush(stdout) != 0) {
        std::cerr << "parmtool: cannot write the output\n";
        return 1;
    }
    return status;
}
