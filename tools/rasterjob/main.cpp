#include "tools/rasterjob/RasterJob.h"

int main(int argc, char** argv)
{
    return rasterjob::RasterJobMain(argc, argv);
}
