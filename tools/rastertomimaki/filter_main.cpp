#include "tools/rastertomimaki/Filter.h"

int main(int argc, char** argv)
{
    return rastertomimaki::FilterMain(argc, argv);
}
