#include "printcond/AnalyzeQI.h"

#include <algorithm>
#include <climits>
#include <cwctype>

#include "host/Log.h"
#include "host/StrUtil.h"

namespace {

constexpr const char* kAnalyze = "CAnalyzeQI::Analyze";
constexpr const char* kAnalyzeCondition = "CAnalyzeQI::AnalyzeCondition";

// Log values are printed with %d; sizes beyond int saturate instead of
// turning negative.
int LogInt(std::uint64_t value)
{
    return value > static_cast<std::uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

int LogInt(std::int64_t value)
{
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

std::uint16_t ReadU16(const BYTE* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t ReadU32(const BYTE* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// A fixed-width 8-bit text field: up to the first NUL, trailing white space
// dropped. ASCII reads the same in every ANSI code page; only texts with
// other bytes go through the host's conversion.
void ReadText(const BYTE* p, std::size_t width, std::wstring& out)
{
    std::size_t n = 0;
    bool ascii = true;
    while (n < width && p[n] != 0)
        ascii &= p[n++] < 0x80;
    while (n > 0 && (p[n - 1] == ' ' || (p[n - 1] >= '\t' && p[n - 1] <= '\r')))
        --n;
    if (ascii)
        out.assign(p, p + n);
    else
        out = AnsiToWide(std::string(reinterpret_cast<const char*>(p), n));
}

wchar_t FoldCase(wchar_t c)
{
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<wchar_t>(c + 32);
    return c;
}

int CompareNoCase(const std::wstring& a, const std::wstring& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const wchar_t x = FoldCase(a[i]);
        const wchar_t y = FoldCase(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The four lists after the fixed part of a record, in stored order, with the
// messages for a list cut off at its count, its first entry or a later entry.
enum class ListKind { BandDivisions, ScanDirections, OverpaintNums, OverpaintLevels };

struct ListLayout {
    ListKind kind;
    std::size_t entryWidth;
    const char* numberMessage;
    const char* firstMessage;
    const char* nextMessage;
};

constexpr ListLayout kLists[] = {
    {ListKind::BandDivisions, 3,
     "***%s#%d: Position of number of band divisions (%d) is beyond actual end of print mode data (%d)",
     "***%s#%d: Position of first band division (%d) is beyond actual end of print mode data (%d)",
     "***%s#%d: Position of next band division (%d) is beyond actual end of print mode data (%d)"},
    {ListKind::ScanDirections, 1,
     "***%s#%d: Position of number of scan directions (%d) is beyond actual end of print mode data (%d)",
     "***%s#%d: Position of first scan direction (%d) is beyond actual end of print mode data (%d)",
     "***%s#%d: Position of next scan direction (%d) is beyond actual end of print mode data (%d)"},
    {ListKind::OverpaintNums, 1,
     "***%s#%d: Position of number of overpainting values (%d) is beyond actual end of print mode data (%d)",
     "***%s#%d: Position of first overpainting value (%d) is beyond actual end of print mode data (%d)",
     "***%s#%d: Position of next overpainting value (%d) is beyond actual end of print mode data (%d)"},
    {ListKind::OverpaintLevels, 1,
     "***%s#%d: Position of number of overpainting levels (%d) is beyond actual end of print mode data (%d)",
     "***%s#%d: Position of first overpainting level (%d) is beyond actual end of print mode data (%d)",
     "***%s#%d: Position of next overpainting level (%d) is beyond actual end of print mode data (%d)"},
};

void AddListEntry(MimakiPrintCondition& record, ListKind kind, const BYTE* entry)
{
    switch (kind) {
    case ListKind::BandDivisions:
        record.bandDivisions.push_back({entry[0], entry[1], static_cast<std::int8_t>(entry[2])});
        break;
    case ListKind::ScanDirections:
        record.scanDirections.push_back(entry[0]);
        break;
    case ListKind::OverpaintNums:
        record.overpaintNums.push_back(entry[0]);
        break;
    case ListKind::OverpaintLevels:
        record.overpaintLevels.push_back(entry[0]);
        break;
    }
}

template <class T>
bool ContainsAll(const std::vector<T>& from, const std::vector<T>& in)
{
    for (const T& v : from)
        if (std::find(in.begin(), in.end(), v) == in.end())
            return false;
    return true;
}

bool MatchesForMerge(const MimakiPrintCondition& e, const MimakiPrintCondition& n)
{
    if (e.printModeSetNumber != n.printModeSetNumber || e.waveForm != n.waveForm || e.yDpi != n.yDpi ||
        e.xDpi != n.xDpi || e.enableHQ != n.enableHQ || e.dotBit != n.dotBit)
        return false;
    if (e.inksetName != n.inksetName || e.printModeSetName != n.printModeSetName)
        return false;
    if (e.bandDivisions.size() != n.bandDivisions.size() || e.scanDirections.size() != n.scanDirections.size() ||
        e.overpaintNums.size() != n.overpaintNums.size() || e.overpaintLevels.size() != n.overpaintLevels.size())
        return false;
    return ContainsAll(e.bandDivisions, n.bandDivisions) && ContainsAll(e.scanDirections, n.scanDirections) &&
           ContainsAll(e.overpaintNums, n.overpaintNums) && ContainsAll(e.overpaintLevels, n.overpaintLevels);
}

void ReportContext(CVoLog& log, const MimakiPrintCondition& record)
{
    log->ReportStatusPF("Print mode set number=%d (%s) resol.=%dx%d inkset=%s", 4, __FILE__, __LINE__,
                        LogInt(std::uint64_t{record.printModeSetNumber}), WideToAnsi(record.printModeSetName).c_str(),
                        LogInt(std::uint64_t{record.xDpi}), LogInt(std::uint64_t{record.yDpi}),
                        WideToAnsi(record.inksetName).c_str());
}

// Where HexStringToBin stopped: the first character that is not a hex digit,
// or the single digit left over at the end.
void ReportBadHex(CVoLog& log, const std::wstring& text, std::size_t convertedBytes)
{
    std::size_t i = convertedBytes * 2;
    if (i < text.size() && i + 1 == text.size() && std::iswxdigit(text[i])) {
        log->ReportStatusPF("***%s#%d: Print condition text has an odd number of hexadecimal digits (%d)", 4,
                            __FILE__, __LINE__, kAnalyze, __LINE__, LogInt(std::uint64_t{text.size()}));
        return;
    }
    if (i + 1 < text.size() && std::iswxdigit(text[i]))
        ++i;
    const unsigned code = i < text.size() ? static_cast<unsigned>(text[i]) : 0u;
    log->ReportStatusPF("***%s#%d: Print condition text is not hexadecimal at character %d (U+%04X)", 4, __FILE__,
                        __LINE__, kAnalyze, __LINE__, LogInt(std::uint64_t{i}), code);
}

int AnalyzeBlock(const BYTE* data, std::size_t length, std::wstring& inksetNames, MimakiPrintConditions& conditions,
                 bool failed)
{
    constexpr std::size_t kHeader = MimakiPrintConditionsHeader::kSize;
    if (length > 0) {
        conditions.m_Header = MimakiPrintConditionsHeader::FromBytes(data, length);
        MimakiPrintConditionsHeader& h = conditions.m_Header;
        CVoLog log;
        if (length < kHeader) {
            log->ReportStatusPF("***%s#%d: Print condition data too short for its header (%d bytes, %d needed)", 4,
                                __FILE__, __LINE__, kAnalyze, __LINE__, LogInt(std::uint64_t{length}),
                                static_cast<int>(kHeader));
            failed = true;
        } else if (h.cmd1 != 0x51 || h.cmd2 != 0x49) {
            log->ReportStatusPF(
                "***%s#%d: Wrong header in Mimaki Print Condition: MimakiPrintConditions.m_Header.cmd1/cmd2=%d, %d", 4,
                __FILE__, __LINE__, kAnalyze, __LINE__, h.cmd1, h.cmd2);
            failed = true;
        } else if (h.kind != 0x20) {
            log->ReportStatusPF("***%s#%d: Wrong header in Mimaki Print Condition: MimakiPrintConditions.m_Header.kind=%d",
                                4, __FILE__, __LINE__, kAnalyze, __LINE__, h.kind);
            failed = true;
        } else if (h.inf1 != 2) {
            log->ReportStatusPF("***%s#%d: Wrong header in Mimaki Print Condition: MimakiPrintConditions.m_Header.inf1=%d",
                                4, __FILE__, __LINE__, kAnalyze, __LINE__, h.inf1);
            failed = true;
        } else {
            const std::uint64_t available = length - kHeader;
            if (h.dataSize > available) {
                log->ReportStatusPF("***%s#%d: Declared data size in print conditions header (%d) exceeds available size (%d)",
                                    4, __FILE__, __LINE__, kAnalyze, __LINE__, LogInt(std::uint64_t{h.dataSize}),
                                    LogInt(available));
                h.dataSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(available, UINT32_MAX));
                failed = true;
            }
            if (!CAnalyzeQI::AnalyzeCondition(data, data + kHeader, h.conditionCount, h.dataSize,
                                              conditions.m_Conditions))
                failed = true;
        }
    } else {
        failed = true;
    }

    std::sort(conditions.m_Conditions.begin(), conditions.m_Conditions.end(),
              [](const MimakiPrintCondition& a, const MimakiPrintCondition& b) {
                  if (a.xDpi != b.xDpi)
                      return a.xDpi < b.xDpi;
                  if (a.yDpi != b.yDpi)
                      return a.yDpi < b.yDpi;
                  return CompareNoCase(a.printModeSetName, b.printModeSetName) < 0;
              });

    for (const MimakiPrintCondition& c : conditions.m_Conditions) {
        if (inksetNames.find(c.inksetName) != std::wstring::npos)
            continue;
        if (!inksetNames.empty())
            inksetNames += L',';
        inksetNames += c.inksetName;
    }
    return !failed && !conditions.m_Conditions.empty() ? 1 : 0;
}

}  // namespace

MimakiPrintConditionsHeader MimakiPrintConditionsHeader::FromBytes(const BYTE* data, std::size_t length)
{
    BYTE b[kSize] = {};
    std::copy_n(data, std::min(length, kSize), b);
    MimakiPrintConditionsHeader h;
    h.cmd1 = b[0];
    h.cmd2 = b[1];
    h.headerLength = b[2];
    h.kind = b[3];
    h.inf1 = b[4];
    h.inf2 = b[5];
    h.inf3 = b[6];
    h.inf4 = b[7];
    h.conditionCount = ReadU16(b + 8);
    h.dataSize = ReadU32(b + 10);
    return h;
}

std::array<BYTE, MimakiPrintConditionsHeader::kSize> MimakiPrintConditionsHeader::ToBytes() const
{
    return {cmd1,
            cmd2,
            headerLength,
            kind,
            inf1,
            inf2,
            inf3,
            inf4,
            static_cast<BYTE>(conditionCount),
            static_cast<BYTE>(conditionCount >> 8),
            static_cast<BYTE>(dataSize),
            static_cast<BYTE>(dataSize >> 8),
            static_cast<BYTE>(dataSize >> 16),
            static_cast<BYTE>(dataSize >> 24)};
}

int CAnalyzeQI::Analyze(const std::wstring& hexText, std::wstring& inksetNames, MimakiPrintConditions& conditions)
{
    std::vector<BYTE> bytes;
    bool failed = false;
    if (!HexStringToBin(hexText, bytes)) {
        CVoLog log;
        ReportBadHex(log, hexText, bytes.size());
        failed = true;
    }
    return AnalyzeBlock(bytes.data(), bytes.size(), inksetNames, conditions, failed);
}

int CAnalyzeQI::AnalyzeBytes(const BYTE* data, std::size_t length, std::wstring& inksetNames,
                             MimakiPrintConditions& conditions)
{
    return AnalyzeBlock(data, data ? length : 0, inksetNames, conditions, false);
}

int CAnalyzeQI::AnalyzeCondition(const BYTE* blockStart, const BYTE* firstRecord, int conditionCount,
                                 std::uint32_t dataSize, std::vector<MimakiPrintCondition>& conditions)
{
    conditions.clear();
    if (!firstRecord || dataSize == 0 || conditionCount < 1)
        return 0;

    namespace R = QiRecord;
    // Positions are offsets from the block's first byte; only bytes below
    // end are ever read.
    const std::int64_t base = blockStart && blockStart <= firstRecord ? firstRecord - blockStart : 0;
    const std::int64_t end = base + dataSize;
    auto at = [&](std::int64_t pos) { return firstRecord + (pos - base); };

    std::int64_t p = base;
    // One record buffer for all records: its strings and lists keep their
    // capacity, so only conditions that are kept allocate.
    MimakiPrintCondition record;
    for (int i = 0; i < conditionCount; ++i) {
        if (p + static_cast<std::int64_t>(R::kFixedSize) > end) {
            CVoLog log;
            log->ReportStatusPF(
                "***%s#%d: End position of header of current print condition (%d) is beyond actual end of print mode data (%d)",
                4, __FILE__, __LINE__, kAnalyzeCondition, __LINE__, LogInt(p + std::int64_t{R::kFixedSize}), LogInt(end));
            return 0;
        }
        const BYTE* r = at(p);
        ReadText(r + R::kInksetName, R::kInksetNameWidth, record.inksetName);
        record.printModeSetNumber = r[R::kPrintModeSetNumber];
        ReadText(r + R::kPrintModeSetName, R::kPrintModeSetNameWidth, record.printModeSetName);
        record.actionCategorys.assign(1, {r[R::kActionCategoryLarge], r[R::kActionCategorySmall]});
        ReadText(r + R::kPrintMethodDisplayName, R::kPrintMethodDisplayNameWidth, record.printMethodDisplayName);
        record.waveForm = r[R::kWaveForm];
        record.yDpi = ReadU16(r + R::kYDpi);
        record.xDpi = ReadU16(r + R::kXDpi);
        record.enableHQ = r[R::kEnableHQ];
        record.dotBit = r[R::kDotBit];
        record.bandDivisions.clear();
        record.scanDirections.clear();
        record.overpaintNums.clear();
        record.overpaintLevels.clear();

        std::int64_t q = p + static_cast<std::int64_t>(R::kFixedSize);
        for (const ListLayout& list : kLists) {
            const char* message = nullptr;
            std::int64_t position = 0;
            const std::int64_t countPos = q + static_cast<std::int64_t>(R::kListCountOffset);
            std::int64_t e = q + static_cast<std::int64_t>(R::kListHeaderSize);
            if (countPos > end) {
                message = list.numberMessage;
                position = countPos;
            } else if (e > end) {
                message = list.firstMessage;
                position = e;
            } else {
                const int count = *at(countPos);
                for (int k = 0; k < count; ++k) {
                    const std::int64_t entryEnd = e + static_cast<std::int64_t>(list.entryWidth);
                    if (entryEnd > end) {
                        message = list.nextMessage;
                        position = entryEnd;
                        break;
                    }
                    AddListEntry(record, list.kind, at(e));
                    e = entryEnd;
                }
            }
            if (message) {
                CVoLog log;
                log->ReportStatusPF(message, 4, __FILE__, __LINE__, kAnalyzeCondition, __LINE__, LogInt(position),
                                    LogInt(end));
                ReportContext(log, record);
                return 0;
            }
            q = e;
        }

        std::sort(record.bandDivisions.begin(), record.bandDivisions.end(),
                  [](const MimakiBandDivision& a, const MimakiBandDivision& b) {
                      return a.pass != b.pass ? a.pass < b.pass : a.highSpeed < b.highSpeed;
                  });
        std::sort(record.scanDirections.begin(), record.scanDirections.end());
        std::sort(record.overpaintNums.begin(), record.overpaintNums.end());
        AddOrMergeCondition(conditions, record);
        p = q;
    }
    return 1;
}

void AddOrMergeCondition(std::vector<MimakiPrintCondition>& conditions, const MimakiPrintCondition& record)
{
    for (MimakiPrintCondition& existing : conditions) {
        if (!MatchesForMerge(existing, record))
            continue;
        for (const auto& pair : record.actionCategorys) {
            if (std::find(existing.actionCategorys.begin(), existing.actionCategorys.end(), pair) ==
                existing.actionCategorys.end())
                existing.actionCategorys.push_back(pair);
        }
        return;
    }
    conditions.push_back(record);
}

void AppendConditionText(const MimakiPrintCondition& c, int index, std::wstring& text)
{
    auto num = [](long long v) { return std::to_wstring(v); };
    text += L"=== begin print condition " + num(index) + L" ===\n";
    text += L"\tinksetName (d2)=" + c.inksetName + L"\n";
    text += L"\tprintModeSetNumber (d3.1)=" + num(c.printModeSetNumber) + L"\n";
    text += L"\tprintModeSetName (d3.1)=" + c.printModeSetName + L"\n";
    text += L"--- actionCategorys (d4)---\n";
    for (const auto& [large, small] : c.actionCategorys)
        text += L"\t\tactionCategoryLarge (d4.1)=" + num(large) + L"; actionCategorySmall(d4.2)=" + num(small) + L"\n";
    text += L"\tprintMethodDisplayName=" + c.printMethodDisplayName + L"\n";
    text += L"\twaveForm (d5)=" + num(c.waveForm) + L"\n";
    text += L"\tyDpi(d7, horiz)=" + num(c.yDpi) + L"; xDpi(d8, vert)=" + num(c.xDpi) + L"\n";
    text += L"\tenableHQ (d9)=" + num(c.enableHQ) + L"\n";
    text += L"\tdotBit (d10)=" + num(c.dotBit) + L"\n";
    text += L"--- Band divisions (d11.3)---\n";
    for (const MimakiBandDivision& b : c.bandDivisions)
        text += L"pass=" + num(b.pass) + L" bandAdjust=" + num(b.bandAdjust) + L" highSpeed=" + num(b.highSpeed) + L"\n";
    text += L"--- Scan direction (d12.3):";
    for (BYTE v : c.scanDirections)
        text += L" " + num(v);
    text += L"\n--- Overpaint num (d13.3):";
    for (BYTE v : c.overpaintNums)
        text += L" " + num(v);
    text += L"\n--- Overpaint level (d14.3): ";
    for (BYTE v : c.overpaintLevels)
        text += L" " + num(v);
    text += L"\n=== end print condition " + num(index) + L" ===\n";
}
