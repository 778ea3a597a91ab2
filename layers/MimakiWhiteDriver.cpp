#include "layers/MimakiWhiteDriver.h"

#include <cstring>
#include <exception>

#include "devparms/MimakiDevParms.h"
#include "host/Log.h"
#include "host/PackBits.h"
#include "host/PrintEnv.h"
#include "host/SpoolBuffer.h"

namespace {

constexpr int kNoCode = 99;
constexpr int kWhite = 34;
constexpr int kClearCoat = 30;

} // namespace

CMimakiWhitePrinterDriver::CMimakiWhitePrinterDriver(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
    : CMimakiLegacyBasePrinterDriver(pPrintEnv, pDevParms)
{
    const wchar_t* const whiteKeys[4] = {L"DPC_White1", L"DPC_White2", L"DPC_White3", L"DPC_White4"};
    const wchar_t* const clearKeys[2] = {L"DPC_ClearCoat1", L"DPC_ClearCoat2"};
    for (int i = 0; i < 4; ++i)
        m_nWhiteCodes[i] = pPrintEnv ? pPrintEnv->GetInt(whiteKeys[i], kNoCode) : kNoCode;
    for (int i = 0; i < 2; ++i)
        m_nClearCoatCodes[i] = pPrintEnv ? pPrintEnv->GetInt(clearKeys[i], kNoCode) : kNoCode;
}

CMimakiWhitePrinterDriver::~CMimakiWhitePrinterDriver() = default;

// Codes after the first are used unless they are 99. A code of 99 has no
// entry in the colour tables of sets 0 and 2, where it would print as black:
// there its records are not sent at all (the other sets send 99 as their
// "no such ink" byte).
int CMimakiWhitePrinterDriver::SendCodes(const int* codes, int count, int* out, const char* what)
{
    const int commandSet = GetCommandSet();
    int n = 0;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && codes[i] == kNoCode)
            continue;
        if (codes[i] == kNoCode && (commandSet == 0 || commandSet == 2)) {
            CVoLog()->ReportStatusPF("***%s#%d: %s code 99 is no printer colour in command set %d: its rows are "
                                     "not sent\n",
                                     4, __FILE__, __LINE__, "CMimakiWhitePrinterDriver::OutputInit", __LINE__, what,
                                     commandSet);
            continue;
        }
        out[n++] = codes[i];
    }
    return n;
}

int CMimakiWhitePrinterDriver::OutputInit(int n1, int n2)
{
    const int result = CMimakiLegacyBasePrinterDriver::OutputInit(n1, n2);
    m_nSendWhiteCount = SendCodes(m_nWhiteCodes, WhiteCodeCount(), m_nSendWhite, "white");
    m_nSendClearCoatCount = SendCodes(m_nClearCoatCodes, 2, m_nSendClearCoat, "clear-coat");
    m_bDroppedWhiteLogged = false;
    return result;
}

CMemFile& CMimakiWhitePrinterDriver::ColourFile()
{
    return !m_pColourBuffer && m_pWhiteBuffer ? m_whiteFile : m_colourFile;
}

void CMimakiWhitePrinterDriver::ReleaseBuffers()
{
    m_pColourBuffer.reset();
    m_pWhiteBuffer.reset();
    m_pClearCoatBuffer.reset();
}

int CMimakiWhitePrinterDriver::OpenLayerBuffers()
{
    auto* parms = MimakiParms();
    if (!parms)
        return 0;
    ReleaseBuffers();
    try {
        auto open = [&](std::unique_ptr<CSpoolDataBuffer>& buffer, int used) {
            if (!used)
                return;
            buffer.reset(CreateSpoolDataBuffer());
            buffer->Open();
        };
        open(m_pWhiteBuffer, parms->IsWhiteLayerActive());
        open(m_pColourBuffer, parms->IsColorLayerSeparate());
        open(m_pClearCoatBuffer, parms->IsClearCoatLayerActive());
        const std::string white = parms->GetWhiteLayerStartString(this);
        const std::string colour = parms->GetColorLayerStartString(this);
        const std::string clearCoat = parms->GetClearCoatLayerStartString(this);
        if ((m_pColourBuffer && !OutputToSpoolBufferStart(m_pColourBuffer.get(), colour)) ||
            (m_pWhiteBuffer && !OutputToSpoolBufferStart(m_pWhiteBuffer.get(), white)) ||
            (m_pClearCoatBuffer && !OutputToSpoolBufferStart(m_pClearCoatBuffer.get(), clearCoat))) {
            ReleaseBuffers();
            return 0;
        }
    } catch (const std::exception& e) {
        SetDetailedDriverError(e.what(), "MimakiWhiteDriver", __LINE__);
        ReleaseBuffers();
        return 0;
    }
    const int order = parms->nWhiteOrder;
    if (order != 1 && order != 2)
        CVoLog()->ReportStatusPF("***%s#%d: layer order %d is neither 1 (colour first) nor 2 (white first): the "
                                 "colour and white layers are not printed\n",
                                 4, __FILE__, __LINE__, "CMimakiWhitePrinterDriver::OpenLayerBuffers", __LINE__,
                                 order);
    return 1;
}

void CMimakiWhitePrinterDriver::AppendRecord(CMemFile& file, int nCode, int nByteCount, const BYTE* data,
                                             int nLength)
{
    PrepareRowHeader(nCode, nByteCount);
    file.Write(RowHeader.data(), RowHeader.size());
    file.Write(data, static_cast<std::size_t>(nLength));
    file.Write(RowTrailer.data(), RowTrailer.size());
}

int CMimakiWhitePrinterDriver::AddSections(CMemFile& colour, CMemFile& white, CMemFile& clearCoat, bool bClearCoat)
{
    for (CMemFile* f : {&colour, &white, &clearCoat})
        f->Write(BandTrailer.data(), BandTrailer.size());
    const bool layered = m_pColourBuffer || m_pWhiteBuffer;
    const bool whiteRows = white.GetLength() > BandTrailer.size();
    try {
        if (!layered && whiteRows) {
            // A job without layers: the white records join the colour
            // records' band instead of making a band of their own.
            colour.SetLength(colour.GetLength() - BandTrailer.size());
            colour.Write(white.Data().data(), white.GetLength());
            white.Reset();
        } else if (layered && !m_pWhiteBuffer && whiteRows && !m_bDroppedWhiteLogged) {
            // The layers go out after the job's start: rows of a layer the
            // job does not print must not go out before it.
            m_bDroppedWhiteLogged = true;
            CVoLog()->ReportStatusPF("***%s#%d: white rows are not printed: the job has no white layer (white is off "
                                     "in the settings)\n",
                                     4, __FILE__, __LINE__, "CMimakiWhitePrinterDriver::OutputCurrentRow", __LINE__);
        }
        // Without a buffer of its own the colour layer's records went to the
        // white layer (ColourFile), and nothing goes straight out.
        int ok = m_pColourBuffer || !layered ? OutputToSpoolBufferSection(m_pColourBuffer.get(), colour) : 1;
        if (ok && m_pWhiteBuffer)
            ok = OutputToSpoolBufferSection(m_pWhiteBuffer.get(), white);
        if (ok && bClearCoat && m_pClearCoatBuffer)
            ok = OutputToSpoolBufferSection(m_pClearCoatBuffer.get(), clearCoat);
        return ok;
    } catch (const std::exception& e) {
        SetDetailedDriverError(e.what(), "MimakiWhiteDriver", __LINE__);
        ReleaseBuffers();
        return 0;
    }
}

template <typename Send>
int CMimakiWhitePrinterDriver::ForEachChannelRow(bool bZeroRows, Send&& send)
{
    const BYTE* zero = nullptr;
    int zeroLength = m_nBytesPerRow;
    if (bZeroRows) {
        if (m_zeroRowBytes != m_nBytesPerRow) {
            m_zeroRow.reset(new BYTE[static_cast<std::size_t>(m_nBytesPerRow) + 1]());
            m_zeroRowBytes = m_nBytesPerRow;
        }
        zero = m_zeroRow.get();
        if (m_nCompressMode == 1) { // packed once for every channel
            zeroLength = packbits_compress(m_compressBuffer.data(), zero, m_nBytesPerRow);
            zero = m_compressBuffer.data();
        }
    }
    for (int ch = 0; ch < GetCountPrimCols(); ++ch) {
        const Channel& c = m_channels[static_cast<std::size_t>(ch)];
        const int count = bZeroRows ? m_nBytesPerRow : c.byteCount;
        if (count <= 0)
            continue;
        const BYTE* data = zero;
        int length = zeroLength;
        if (!bZeroRows) {
            data = c.buffer->pReadRow();
            length = count;
            if (m_nCompressMode == 1) {
                length = packbits_compress(m_compressBuffer.data(), data, count);
                data = m_compressBuffer.data();
            }
        }
        if (!send(c.colourCode, count, data, length))
            return 0;
    }
    return 1;
}

int CMimakiWhitePrinterDriver::SortRows(bool bZeroRows)
{
    m_colourFile.Reset();
    m_whiteFile.Reset();
    m_clearCoatFile.Reset();
    ForEachChannelRow(bZeroRows, [&](int colour, int count, const BYTE* data, int length) {
        if (colour == kWhite) {
            for (int i = 0; i < m_nSendWhiteCount; ++i)
                AppendRecord(m_whiteFile, m_nSendWhite[i], count, data, length);
        } else if (colour == kClearCoat) {
            CMemFile& file = m_pClearCoatBuffer ? m_clearCoatFile : ColourFile();
            for (int i = 0; i < m_nSendClearCoatCount; ++i)
                AppendRecord(file, m_nSendClearCoat[i], count, data, length);
        } else {
            AppendRecord(ColourFile(), colour, count, data, length);
        }
        return true;
    });
    return AddSections(m_colourFile, m_whiteFile, m_clearCoatFile, true);
}

int CMimakiWhitePrinterDriver::OutputCurrentRow()
{
    return SortRows(false);
}

int CMimakiWhitePrinterDriver::OutputEmptyRow()
{
    return SortRows(true);
}

int CMimakiWhitePrinterDriver::AdvanceRows(int nRows)
{
    CVoLog()->ReportStatusPF("%s: GetCurrentRow()=%d\n", 8, __FILE__, __LINE__,
                             "CMimakiWhitePrinterDriver::AdvanceRows", GetCurrentRow());
    for (int i = 0; i < nRows; ++i)
        if (!OutputEmptyRow())
            return 0;
    return 1;
}

int CMimakiWhitePrinterDriver::EmitLayerBuffers()
{
    auto* parms = MimakiParms();
    if (!parms)
        return 0;
    int ok = 1;
    try {
        const std::string end = parms->GetEndString(this);
        std::unique_ptr<CSpoolData> colour, white, clearCoat;
        auto finish = [&](std::unique_ptr<CSpoolDataBuffer>& buffer, std::unique_ptr<CSpoolData>& data) {
            if (!buffer)
                return true;
            if (!OutputToSpoolBufferEnd(buffer.get(), end))
                return false;
            data.reset(CreateSpoolData(buffer.get()));
            return true;
        };
        ok = finish(m_pColourBuffer, colour) && finish(m_pWhiteBuffer, white) && finish(m_pClearCoatBuffer, clearCoat);
        auto emit = [&](std::unique_ptr<CSpoolData>& data, int count) {
            return !data || OutputBufferedSpoolData(data.get(), count);
        };
        if (ok && parms->nWhiteOrder == 1)
            ok = emit(colour, parms->nPrintCountColor) && emit(white, parms->nPrintCountWhite);
        else if (ok && parms->nWhiteOrder == 2)
            ok = emit(white, parms->nPrintCountWhite) && emit(colour, parms->nPrintCountColor);
        if (ok && clearCoat) {
            ok = Output(parms->GetClearCoatLayerCommands(0)) && emit(clearCoat, parms->nPrintCountClearCoat);
            if (ok && parms->GetClearCoatIrradiation() == 3)
                ok = Output(parms->GetClearCoatLayerCommands(1)) && emit(clearCoat, 1);
        }
    } catch (const std::exception& e) {
        SetDetailedDriverError(e.what(), "MimakiWhiteDriver", __LINE__);
        ok = 0;
    }
    ReleaseBuffers();
    return ok ? 1 : 0;
}

int CMimakiWhitePrinterDriver::JobClose()
{
    // An aborted or failed job leaves its buffers here.
    ReleaseBuffers();
    return CMimakiLegacyBasePrinterDriver::JobClose();
}

// ---------------------------------------------------------------------------

int CMimakiJV3WhiteDriver::SendRows(bool bZeroRows)
{
    auto send = [&](int code, int count, const BYTE* data, int length) {
        PrepareRowHeader(code, count);
        return Output(RowHeader) && Output(data, length, 0) && Output(RowTrailer);
    };
    const int ok = ForEachChannelRow(bZeroRows, [&](int colour, int count, const BYTE* data, int length) {
        if (colour != kWhite)
            return send(colour, count, data, length);
        for (int i = 0; i < m_nSendWhiteCount; ++i)
            if (!send(m_nSendWhite[i], count, data, length))
                return false;
        return true;
    });
    return ok && Output(BandTrailer);
}

int CMimakiJV3WhiteDriver::OutputCurrentRow()
{
    return SendRows(false);
}

int CMimakiJV3WhiteDriver::OutputEmptyRow()
{
    return SendRows(true);
}

// ---------------------------------------------------------------------------

int CMimaki604SpecialDriver::OutputCurrentRow()
{
    // The special channels and the printer codes they go out under.
    static constexpr int kSpecial[4][2] = {{34, 22}, {33, 21}, {32, 9}, {31, 8}};
    m_colourFile.Reset();
    m_whiteFile.Reset();
    m_clearCoatFile.Reset();
    ForEachChannelRow(false, [&](int colour, int count, const BYTE* data, int length) {
        CMemFile* file = &ColourFile();
        int code = colour;
        for (const auto& sp : kSpecial)
            if (sp[0] == colour) {
                file = &m_whiteFile;
                code = sp[1];
            }
        AppendRecord(*file, code, count, data, length);
        return true;
    });
    return AddSections(m_colourFile, m_whiteFile, m_clearCoatFile, false);
}
