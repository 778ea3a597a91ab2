#include "tools/common/ModelBlocks.h"

namespace modelblocks {

namespace {

struct ModelBlock {
    int uid;
    const wchar_t* entry;
};
constexpr ModelBlock kModelBlocks[] = {
    {31, L"PrintModeDataTX300PAllInksets"},        {33, L"PrintModeDataSIJ320UVAllInksets"},
    {34, L"PrintModeDataUJV55AllInksets"},         {35, L"PrintModeDataUJF3042MKIIAllInksets"},
    {38, L"PrintModeDataUCJV300_CMYK"},            {39, L"PrintModeDataUJF7151AllInksets"},
    {40, L"PrintModeDataTS55_1800Inksets4c"},      {42, L"PrintModeDataTX300P_MKII_SB420_4C"},
    {43, L"PrintModeData_C_JV300PLUS_4C"},         {44, L"PrintModeData_C_JV300PLUS_4C"},
    {45, L"PrintModeDataSWJ320EA_AllInksets"},     {47, L"PrintModeDataUJV100_4C_AllInksets"},
    {48, L"PrintModeDataJV100_AllInksets"},        {49, L"PrintModeDataTS100_AllInksets"},
    {53, L"PrintModeDataUJF7151PlusII_CMYK"},
};

} // namespace

const wchar_t* EmbeddedBlockOf(int uid)
{
    for (const ModelBlock& m : kModelBlocks)
        if (m.uid == (uid & 255))
            return m.entry;
    return nullptr;
}

} // namespace modelblocks
