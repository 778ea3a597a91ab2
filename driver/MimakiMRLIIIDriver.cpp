#include "driver/MimakiMRLIIIDriver.h"

#include <cstring>

#include "devparms/MimakiDevParms.h"
#include "host/PreProcess.h"

namespace {

// "\QY\005\000\000\000\000\000\QR\001\000\QD\007" colour, compression, bits,
// count low, count high, "\001\000".
constexpr char kRowHeader[22] = {'Q', 'Y', 5, 0, 0, 0, 0, 0, 'Q', 'R', 1, 0, 'Q', 'D', 7, 0, 0, 0, 0, 0, 1, 0};

} // namespace

CMimakiMRLIIIDriver::~CMimakiMRLIIIDriver() = default;

int CMimakiMRLIIIDriver::GetCommandSet()
{
    return 4;
}

// Replaces the legacy preparation: no densities, colour table or medium-dot
// replacement in this command set.
int CMimakiMRLIIIDriver::OutputInit(int n1, int n2)
{
    BandTrailer = preProcess("QR\\001\\001");
    RowTrailer.clear();
    m_nOutputFlag = (MimakiParms() && MimakiParms()->GetHighSpeed()) ? 0 : 1;
    SetDriverInfo(L"CommandSet", L"4");
    return CPrinterDriverBase::OutputInit(n1, n2) && RowWidthFits();
}

// Rebuilds the whole header for each channel; written in place so that the
// row path allocates nothing.
void CMimakiMRLIIIDriver::PrepareRowHeader(int nColourCode, int nByteCount)
{
    RowHeader.assign(kRowHeader, sizeof kRowHeader);
    RowHeader[15] = static_cast<char>(Set4Colour(nColourCode));
    RowHeader[16] = static_cast<char>(m_nCompressMode == 1 ? 1 : 0);
    RowHeader[17] = static_cast<char>(m_nBitsPerPixel & 0xFF);
    RowHeader[18] = static_cast<char>(nByteCount & 0xFF);
    RowHeader[19] = static_cast<char>((nByteCount >> 8) & 0xFF);
}
