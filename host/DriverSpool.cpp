// The driver base's spool-buffer operations.
#include "Log.h"
#include "PrinterDriverBase.h"
#include "SpoolBuffer.h"
#include "StrUtil.h"

CSpoolDataBuffer* CPrinterDriverBase::CreateSpoolDataBuffer()
{
    return new CSpoolDataBuffer();
}

CSpoolData* CPrinterDriverBase::CreateSpoolData(CSpoolDataBuffer* pBuffer)
{
    return pBuffer ? new CSpoolData(*pBuffer) : nullptr;
}

int CPrinterDriverBase::OutputToSpoolBufferStart(CSpoolDataBuffer* pBuffer, const std::string& start)
{
    if (!pBuffer || !pBuffer->IsOpen())
        return 0;
    pBuffer->Write(start);
    return 1;
}

int CPrinterDriverBase::OutputToSpoolBufferSection(CSpoolDataBuffer* pBuffer, const CMemFile& section)
{
    // A section for no buffer is not kept: it goes to the printer now.
    if (!pBuffer)
        return Output(section.Data());
    if (!pBuffer->IsOpen())
        return 0;
    pBuffer->Write(section.Data());
    return 1;
}

int CPrinterDriverBase::OutputToSpoolBufferEnd(CSpoolDataBuffer* pBuffer, const std::string& end)
{
    if (!pBuffer || !pBuffer->IsOpen())
        return 0;
    pBuffer->Write(end);
    pBuffer->Finish();
    return 1;
}

int CPrinterDriverBase::OutputBufferedSpoolData(CSpoolData* pData, int nCount)
{
    if (!pData || !pData->Buffer().IsOpen())
        return 0;
    CSpoolStore& store = pData->Buffer().Store();
    store.Seal();
    for (int i = 0; i < nCount; ++i) {
        const bool ok = store.ForEachPiece(
            [this](const BYTE* p, std::size_t n) { return Output(p, static_cast<long>(n), 0) != 0; });
        if (!ok)
            return 0;
    }
    return 1;
}

void CPrinterDriverBase::SetDetailedDriverError(const std::string& text, const char* source, int line)
{
    m_nError = 1;
    m_strDetailedError = AnsiToWide(text);
    CVoLog()->ReportStatusPF("***%s#%d: %s\n", 4, __FILE__, __LINE__, source, line, text.c_str());
}
