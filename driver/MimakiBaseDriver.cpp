#include "driver/MimakiBaseDriver.h"

#include <cstring>

#include "devparms/MimakiDevParms.h"
#include "devparms/MimakiDevParmsEarly.h"
#include "host/Log.h"
#include "host/PackBits.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"

namespace {

struct ColourPair {
    BYTE m, n;
};

constexpr BYTE kSet0Colours[8] = {0, 2, 1, 4, 0, 0, 0, 0};

constexpr ColourPair kSet1Colours[23] = {
    {0, 0},     {0, 2},     {0, 1},     {0, 4},     {0, 5},     {0, 6},     {255, 255}, {255, 255},
    {1, 2},     {1, 1},     {255, 255}, {255, 255}, {255, 255}, {255, 255}, {255, 255}, {255, 255},
    {255, 255}, {255, 255}, {255, 255}, {255, 255}, {255, 254}, {255, 253}, {255, 255},
};

constexpr BYTE kSet2Colours[35] = {
    0, 2, 1, 4, 5, 6, 0, 0, 18, 17,                               // 0..9
    0, 0, 0, 0, 0, 0, 0, 0, 0,                                    // 10..18
    252, 254, 253, 255, 0, 0, 0, 0, 254, 252, 253, 255, 252, 253, 255, 254, // 19..34
};

constexpr ColourPair kSet3ColoursUid12[4] = {{0, 0}, {0, 1}, {0, 2}, {0, 4}};

constexpr ColourPair kSet3Colours[12] = {
    {255, 255}, {0, 0}, {0, 2}, {0, 6}, {0, 4}, {0, 3}, {0, 0}, {0, 0}, {0, 1}, {0, 5}, {0, 0}, {0, 0},
};

constexpr BYTE kSet4Colours[35] = {
    0, 2, 1, 4, 255, 253, 254, 255, 18, 17,                       // 0..9
    0, 0, 0, 0, 0, 0, 0, 0, 0,                                    // 10..18
    252, 253, 254, 255, 0, 0, 0, 0, 252, 253, 254, 255, 252, 253, 254, 255, // 19..34
};

// Colour codes outside a table get the value given for them: "no such ink"
// (255) in sets 1, 3 and 4, black (0) in sets 0 and 2.
template <typename T, std::size_t N>
T Lookup(const T (&table)[N], int code, T outside)
{
    return code >= 0 && static_cast<std::size_t>(code) < N ? table[code] : outside;
}

template <typename T, std::size_t N>
bool InTable(const T (&)[N], int code)
{
    return code >= 0 && static_cast<std::size_t>(code) < N;
}

// A feed carries a 16-bit row count. Longer feeds go out in pieces no larger
// than the host's own pieces for blank stretches, which no printer can take
// for a backward move.
constexpr int kMaxFeedRows = 32767;

void PutLE16(std::string& s, std::size_t pos, int value)
{
    s[pos] = static_cast<char>(value & 0xFF);
    s[pos + 1] = static_cast<char>((value >> 8) & 0xFF);
}

const char* const kSet0Template[2] = {"\\033r0\\033.\\000AB\\001LH", "\\033r0\\033.\\001AB\\001LH"};
const char* const kSet1Template[2] = {"\\033(r\\002\\000mn\\033.\\000AB\\001LH",
                                      "\\033(r\\002\\000mn\\033.\\001AB\\001LH"};
const char* const kSet2Template[2] = {"\\033ir\\000bLH\\001\\000", "\\033ir\\001bLH\\001\\000"};
const char* const kSet4Template[2] = {"\\QY\\005\\000\\000\\000\\000\\000\\QR\\001\\000\\QD\\007\\000\\000bLH\\001\\000",
                                      "\\QY\\005\\000\\000\\000\\000\\000\\QR\\001\\000\\QD\\007\\000\\001bLH\\001\\000"};

} // namespace

CMimakiLegacyBasePrinterDriver::CMimakiLegacyBasePrinterDriver(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
    : CPrinterDriverBase(pPrintEnv, pDevParms),
      RowTrailer("\r"),
      BandTrailer("\n"),
      FunctMode(pPrintEnv ? pPrintEnv->GetInt(L"nFunctModeId", -1) : -1),
      ColourCodeTable{},
      m_pMimakiParms(dynamic_cast<CMimakiDevParmsBase*>(pDevParms))
{
    m_nOutputFlag = (m_pMimakiParms && m_pMimakiParms->bHighSpeed) ? 0 : 1;
}

CMimakiLegacyBasePrinterDriver::~CMimakiLegacyBasePrinterDriver() = default;

int CMimakiLegacyBasePrinterDriver::GetCommandSet()
{
    return static_cast<unsigned>(FunctMode) <= 4u ? FunctMode : m_nHostFunctMode;
}

int CMimakiLegacyBasePrinterDriver::DoubleLine() const
{
    return m_pMimakiParms && m_pMimakiParms->bDoubleLine ? 1 : 0;
}

int CMimakiLegacyBasePrinterDriver::OutputInit(int n1, int n2)
{
    const int densityA = SaturatedInt(3600.0 / m_dDpiFirst);
    int densityB = SaturatedInt(3600.0 / m_dDpiSecond);
    if (m_nUID == 13 || m_nUID == 15)
        densityB = SaturatedInt(2.0 * densityB);

    const int commandSet = GetCommandSet();
    const int comp = m_nCompressMode == 1 ? 1 : 0;
    // All three strings belong to the set of this job: a driver may print
    // jobs of different sets one after the other.
    RowHeader.clear();
    RowTrailer.assign(1, '\r');
    BandTrailer.assign(1, '\n');
    auto escP = [&](const char* const* tmpl, std::size_t posA) {
        RowHeader = preProcess(tmpl[comp]);
        RowHeader[posA] = static_cast<char>(densityA & 0xFF);
        RowHeader[posA + 1] = static_cast<char>(densityB & 0xFF);
    };
    switch (commandSet) {
    case 0: escP(kSet0Template, 6); break;
    case 1: escP(kSet1Template, 10); break;
    case 2: RowHeader = preProcess(kSet2Template[comp]); break;
    case 3:
        if (m_nBitsPerPixel == 1)
            escP(kSet1Template, 10);
        else if (m_nBitsPerPixel == 2)
            RowHeader = preProcess(kSet2Template[comp]);
        break;
    case 4:
        RowHeader = preProcess(kSet4Template[comp]);
        RowTrailer.clear();
        BandTrailer = preProcess("QR\\001\\001");
        break;
    default: break;
    }

    const int storedHighSpeed = m_pMimakiParms ? m_pMimakiParms->bHighSpeed : 0;
    m_nOutputFlag = (commandSet != 4 && storedHighSpeed) ? 1 : 0;

    std::memcpy(ColourCodeTable, kSet2Colours, sizeof ColourCodeTable);
    // Model 3 can have light cyan/magenta swapped with orange/green.
    const auto* model3 = m_nUID == 3 ? dynamic_cast<const DEVPARM3_CLASS*>(m_pMimakiParms) : nullptr;
    if (model3 && model3->SwapLCMOG) {
        ColourCodeTable[4] = 17;
        ColourCodeTable[5] = 18;
        ColourCodeTable[8] = 6;
        ColourCodeTable[9] = 5;
    }
    SetDriverInfo(L"CommandSet", std::to_wstring(commandSet));

    const int result = CPrinterDriverBase::OutputInit(n1, n2);
    if (!result || !RowWidthFits())
        return 0;
    ReportColoursWithoutEntry(commandSet);

    MappedRowBuffer.reset();
    if (m_nDotDataType == 2 && m_pPrintEnv && m_pPrintEnv->GetInt(L"SkipMediumDot", 0)) {
        InitReplaceValNoMediumDot();
        MappedRowBuffer.reset(new BYTE[static_cast<std::size_t>(m_nBytesPerRow > 0 ? m_nBytesPerRow : 1)]);
    }
    return result;
}

int CMimakiLegacyBasePrinterDriver::RowWidthFits()
{
    const int commandSet = GetCommandSet();
    // Sets 0 and 1 (and 3 at one bit) count dots, eight per byte; sets 2 and 4
    // (and 3 at two bits) count bytes; both counts are 16 bits wide.
    const bool dots = commandSet == 0 || commandSet == 1 || (commandSet == 3 && m_nBitsPerPixel == 1);
    const bool bytes = commandSet == 2 || commandSet == 4 || (commandSet == 3 && m_nBitsPerPixel == 2);
    if (!dots && !bytes)
        return 1;
    const int maxBytes = dots ? 65535 / 8 : 65535;
    if (m_nBytesPerRow <= maxBytes)
        return 1;
    CVoLog()->ReportStatusPF(
        "***%s#%d: a row of %d pixels at %d bits is %d bytes; command set %d counts %s in 16 bits, so a row "
        "holds at most %d bytes\n",
        4, __FILE__, __LINE__, "CMimakiLegacyBasePrinterDriver::RowWidthFits", __LINE__, m_nPixelWidth,
        m_nBitsPerPixel, m_nBytesPerRow, commandSet, dots ? "dots (8 a byte)" : "bytes", maxBytes);
    return 0;
}

void CMimakiLegacyBasePrinterDriver::ReportColoursWithoutEntry(int commandSet)
{
    if (commandSet != 0 && commandSet != 2)
        return;
    for (int ch = 0; ch < GetCountPrimCols(); ++ch) {
        const int code = m_channels[static_cast<std::size_t>(ch)].colourCode;
        if (commandSet == 0 ? InTable(kSet0Colours, code) : InTable(kSet2Colours, code))
            continue;
        CVoLog()->ReportStatusPF("***%s#%d: channel %d: host colour code %d has no entry in the colour table of "
                                 "command set %d; it prints as black\n",
                                 4, __FILE__, __LINE__, "CMimakiLegacyBasePrinterDriver::OutputInit", __LINE__, ch,
                                 code, commandSet);
    }
}

void CMimakiLegacyBasePrinterDriver::PrepareRowHeader(int nColourCode, int nByteCount)
{
    const int commandSet = GetCommandSet();
    auto set2 = [&](BYTE colour) {
        RowHeader[2] = static_cast<char>(colour);
        RowHeader[4] = static_cast<char>(m_nBitsPerPixel);
        PutLE16(RowHeader, 5, nByteCount);
    };
    auto set1 = [&](ColourPair c) {
        RowHeader[5] = static_cast<char>(c.m);
        RowHeader[6] = static_cast<char>(c.n);
        PutLE16(RowHeader, 13, nByteCount * 8);
    };
    switch (commandSet) {
    case 0:
        RowHeader[2] = static_cast<char>(Lookup(kSet0Colours, nColourCode, BYTE{0}));
        PutLE16(RowHeader, 9, nByteCount * 8);
        break;
    case 1: set1(Lookup(kSet1Colours, nColourCode, ColourPair{255, 255})); break;
    case 2:
        set2(nColourCode >= 0 && nColourCode < 35 ? ColourCodeTable[nColourCode] : BYTE{0});
        break;
    case 3: {
        const bool uid12 = m_nUID == 12 && GetCountPrimCols() == 4 && nColourCode >= 0 && nColourCode < 4;
        const ColourPair c = uid12 ? kSet3ColoursUid12[nColourCode]
                                   : Lookup(kSet3Colours, nColourCode, ColourPair{255, 255});
        if (m_nBitsPerPixel == 1)
            set1(c);
        else if (m_nBitsPerPixel == 2)
            set2(c.n);
        break;
    }
    case 4:
        RowHeader[15] = static_cast<char>(Set4Colour(nColourCode));
        RowHeader[17] = static_cast<char>(m_nBitsPerPixel);
        PutLE16(RowHeader, 18, nByteCount);
        break;
    default: break;
    }
}

std::string CMimakiLegacyBasePrinterDriver::MrlFeedCommand(int nRows)
{
    std::string feed = preProcess("QX\\005\\001LHMHQR\\001\\000");
    for (int i = 0; i < 4; ++i)
        feed[4 + static_cast<std::size_t>(i)] = static_cast<char>((static_cast<unsigned>(nRows) >> (8 * i)) & 0xFF);
    return feed;
}

BYTE CMimakiLegacyBasePrinterDriver::Set4Colour(int nColourCode)
{
    return Lookup(kSet4Colours, nColourCode, BYTE{255});
}

std::string CMimakiLegacyBasePrinterDriver::GetFeedCommand(int nRows)
{
    if (nRows < 0) {
        CVoLog()->ReportStatusPF("***%s#%d: a feed of %d rows is no feed; nothing is sent\n", 4, __FILE__,
                                 __LINE__, "CMimakiLegacyBasePrinterDriver::GetFeedCommand", __LINE__, nRows);
        return {};
    }
    if (GetCommandSet() == 4)
        return MrlFeedCommand(nRows);
    const std::string one = preProcess("\\033(v\\002\\000LH");
    std::string feed;
    do {
        const int n = nRows < kMaxFeedRows ? nRows : kMaxFeedRows;
        feed += one;
        PutLE16(feed, feed.size() - 2, n);
        nRows -= n;
    } while (nRows > 0);
    return feed;
}

int CMimakiLegacyBasePrinterDriver::OutputCurrentRow()
{
    const int passes = DoubleLine() ? 2 : 1;
    const int channels = GetCountPrimCols();
    for (int pass = 0; pass < passes; ++pass) {
        for (int ch = 0; ch < channels; ++ch) {
            Channel& c = m_channels[static_cast<std::size_t>(ch)];
            const int byteCount = c.byteCount;
            const BYTE* row = c.buffer->pReadRow();
            if (MappedRowBuffer) {
                BYTE* mapped = MappedRowBuffer.get();
                for (int i = 0; i < byteCount; ++i)
                    mapped[i] = m_ReplaceVal[row[i]];
                row = mapped;
            }
            int sendLength = byteCount;
            if (m_nCompressMode == 1) {
                sendLength = packbits_compress(m_compressBuffer.data(), row, byteCount);
                row = m_compressBuffer.data();
            }
            if (byteCount > 0) {
                PrepareRowHeader(c.colourCode, byteCount);
                if (!Output(RowHeader) || !Output(row, sendLength, 0) || !Output(RowTrailer))
                    return 0;
            }
        }
        if (!Output(BandTrailer))
            return 0;
    }
    return 1;
}

int CMimakiLegacyBasePrinterDriver::OutputEmptyRow()
{
    if (m_zeroRowBytes != m_nBytesPerRow) {
        const std::size_t n = static_cast<std::size_t>(m_nBytesPerRow > 0 ? m_nBytesPerRow : 0);
        m_zeroRow.reset(new BYTE[n + 1]());
        m_zeroRowCoded.reset(new BYTE[packbits_bound(n) + 1]);
        m_zeroRowCodedLength = packbits_compress(m_zeroRowCoded.get(), m_zeroRow.get(), static_cast<int>(n));
        m_zeroRowBytes = m_nBytesPerRow;
    }
    const bool coded = m_nCompressMode == 1;
    const BYTE* row = coded ? m_zeroRowCoded.get() : m_zeroRow.get();
    const int length = coded ? m_zeroRowCodedLength : m_nBytesPerRow;
    for (int ch = 0; ch < GetCountPrimCols(); ++ch) {
        PrepareRowHeader(m_channels[static_cast<std::size_t>(ch)].colourCode, m_nBytesPerRow);
        if (!Output(RowHeader) || !Output(row, length, 0) || !Output(RowTrailer))
            return 0;
    }
    if (!Output(BandTrailer))
        return 0;
    JobSection(nullptr, 0);
    return 1;
}

int CMimakiLegacyBasePrinterDriver::AdvanceRows(int nRows)
{
    if (nRows == 0)
        return 1;
    const int rows = DoubleLine() ? 2 * nRows : nRows;
    const int highSpeed = m_pMimakiParms ? m_pMimakiParms->GetHighSpeed() : 0;
    if (highSpeed == 0 && GetCommandSet() != 4)
        return Output(GetFeedCommand(rows));
    for (int i = 0; i < rows; ++i)
        if (!OutputEmptyRow())
            return 0;
    return 1;
}

void CMimakiLegacyBasePrinterDriver::SendAbortCommand(CPrinterDriverBase& driver)
{
    if (!driver.Aborted() || !driver.GetDevParms())
        return;
    std::vector<BYTE> command;
    auto* parms = dynamic_cast<CMimakiDevParmsBase*>(driver.GetDevParms());
    if (!(parms && parms->GetAbortCommand(command)) && driver.GetPrintEnv()) {
        const std::string text = WideToAnsi(driver.GetPrintEnv()->GetString(PrEnv_AbortCommand));
        const std::string bytes = text.empty() ? std::string() : preProcess(text);
        command.assign(bytes.begin(), bytes.end());
    }
    if (command.empty())
        return;
    CVoLog log;
    log->ReportStatusPF("%s: sending abort command\n", 8, "MimakiBaseDriver", __LINE__,
                        "CMimakiLegacyBasePrinterDriver::JobClose");
    driver.OutputForce(command.data(), static_cast<long>(command.size()));
}

int CMimakiLegacyBasePrinterDriver::JobClose()
{
    SendAbortCommand(*this);
    return CPrinterDriverBase::JobClose();
}
