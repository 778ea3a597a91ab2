// The TxF150 film printer (DTF): one complete MRL III header per channel,
// built once per job from the ink order of "MimakiColorSequence", with only
// the two byte counts patched per row; blank stretches go out as empty bands.
#pragma once

#include <string>
#include <vector>

#include "host/PrinterDriverBase.h"

class CMimakiDTFDriver : public CPrinterDriverBase {
public:
    CMimakiDTFDriver(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);
    ~CMimakiDTFDriver() override;

    int JobOpen(CPrintJobOpenContext* pContext) override;
    int JobClose() override;
    int OutputInit(int n1, int n2) override;
    int OutputExit() override;
    int OutputCurrentRow() override;

    // Added operation: the job's channel headers and band trailer; 0 when
    // the colour sequence does not name one colour per channel.
    virtual int BuildChannelHeaders();

    // The job's header of a channel (counts of the last row sent) and the
    // destination of a job written to a file.
    const std::vector<BYTE>& ChannelHeader(int nChannel) const { return m_headers[static_cast<std::size_t>(nChannel)]; }
    const std::wstring& DestinationFolder() const { return m_strDestinationFolder; }
    const std::wstring& DestinationFile() const { return m_strDestinationFile; }

protected:
    int AdvanceRows(int nRows) override;

private:
    int Send(const BYTE* data, std::size_t n);

    std::wstring m_strDestinationFolder;
    std::wstring m_strDestinationFile;
    std::vector<std::vector<BYTE>> m_headers;
    std::vector<BYTE> m_bandTrailer;
    std::size_t m_nRawCountPos = 18;
    std::size_t m_nStoredCountPos = 22;
    bool m_bSendFailed = false;
};
