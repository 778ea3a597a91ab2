#include <iostream>
#include <string>
#include <vector>

#include "tools/rastertomimaki/PpdGen.h"

int main(int argc, char** argv)
{
    return mimakippd::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
