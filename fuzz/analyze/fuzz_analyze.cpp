// libFuzzer target for the print-condition analysis.
//
// The first input byte picks the path: even, the rest is a binary block that
// goes through AnalyzeBytes and, as hex text, through Analyze (both must
// agree); odd, the rest is taken as text, one character per byte, so that
// odd lengths and characters that are not hex digits reach HexStringToBin.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "host/Log.h"
#include "host/StrUtil.h"
#include "printcond/AnalyzeQI.h"

namespace {

void Check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void CheckResult(int result, const MimakiPrintConditions& pc, std::size_t blockLength)
{
    Check(result == 0 || result == 1);
    if (result)
        Check(!pc.m_Conditions.empty());
    if (blockLength >= MimakiPrintConditionsHeader::kSize && pc.m_Header.cmd1 == 0x51 && pc.m_Header.cmd2 == 0x49 &&
        pc.m_Header.kind == 0x20 && pc.m_Header.inf1 == 2)
        Check(pc.m_Header.dataSize <= blockLength - MimakiPrintConditionsHeader::kSize);
    for (std::size_t i = 0; i < pc.m_Conditions.size(); ++i) {
        const MimakiPrintCondition& c = pc.m_Conditions[i];
        Check(c.actionCategorys.size() >= 1);
        if (i > 0)
            Check(pc.m_Conditions[i - 1].xDpi <= c.xDpi);
        std::wstring text;
        AppendConditionText(c, static_cast<int>(i), text);
        Check(!text.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Every message is formatted (level 8) but written nowhere.
    CVoLogReporter::SetLoggingLevel(8);
    CVoLogReporter::SetLogFile("/dev/null");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;
    if ((mode & 1) == 0) {
        MimakiPrintConditions fromBytes;
        std::wstring namesFromBytes;
        const int r1 = CAnalyzeQI::AnalyzeBytes(data, size, namesFromBytes, fromBytes);
        CheckResult(r1, fromBytes, size);

        MimakiPrintConditions fromHex;
        std::wstring namesFromHex;
        const int r2 = CAnalyzeQI::Analyze(BinToHexString(data, size), namesFromHex, fromHex);
        Check(r1 == r2);
        Check(namesFromBytes == namesFromHex);
        Check(fromBytes.m_Conditions.size() == fromHex.m_Conditions.size());
    } else {
        std::wstring text(size, L'\0');
        for (std::size_t i = 0; i < size; ++i)
            text[i] = static_cast<wchar_t>(data[i]);
        MimakiPrintConditions pc;
        std::wstring names = L"seed";
        const int r = CAnalyzeQI::Analyze(text, names, pc);
        std::vector<BYTE> converted;
        HexStringToBin(text, converted);
        CheckResult(r, pc, converted.size());
        Check(names.rfind(L"seed", 0) == 0);
    }
    return 0;
}
