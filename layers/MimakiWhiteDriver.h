// The white drivers of the older roll printers: colour, white and clear
// coat spooled as up to three layers and sent one after another at the end
// of the job (white driver, 604 special), or white sent in line with the
// colours (JV3 white).
#pragma once

#include <memory>
#include <string>

#include "driver/MimakiBaseDriver.h"
#include "host/HostTypes.h"

class CSpoolDataBuffer;

class CMimakiWhitePrinterDriver : public CMimakiLegacyBasePrinterDriver {
public:
    CMimakiWhitePrinterDriver(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);
    ~CMimakiWhitePrinterDriver() override;

    int OutputInit(int n1, int n2) override;
    int OutputCurrentRow() override;
    int JobClose() override;

    // Called by the device parameters in place of the job's start and end
    // strings: the layer buffers with their starts, and their output.
    int OpenLayerBuffers();
    int EmitLayerBuffers();

protected:
    int AdvanceRows(int nRows) override;
    int OutputEmptyRow() override;

    // One record (header, data, trailer) into a layer file.
    void AppendRecord(CMemFile& file, int nCode, int nByteCount, const BYTE* data, int nLength);
    // The band trailer into every file, then each file into its buffer
    // (colour always: without a buffer it goes straight out).
    int AddSections(CMemFile& colour, CMemFile& white, CMemFile& clearCoat, bool bClearCoat);
    void ReleaseBuffers();
    // Calls send(host colour code, raw byte count, bytes, length) for every
    // channel with bytes to send (the bytes PackBits-coded when compression
    // is on; zero rows: every channel at the full width, the zero row coded
    // once); stops at the first false.
    template <typename Send>
    int ForEachChannelRow(bool bZeroRows, Send&& send);
    // The rows of every channel through the white and clear-coat codes.
    int SortRows(bool bZeroRows);
    // The file a colour record goes to: the colour layer's, or the white
    // layer's when the colour layer has no buffer of its own in a layered job.
    CMemFile& ColourFile();
    // How many of "DPC_White1" to "DPC_White4" the driver sends white under.
    virtual int WhiteCodeCount() const { return 4; }
    // Of codes[0..count), those a record is sent under (see OutputInit).
    int SendCodes(const int* codes, int count, int* out, const char* what);

    std::unique_ptr<CSpoolDataBuffer> m_pColourBuffer;
    std::unique_ptr<CSpoolDataBuffer> m_pWhiteBuffer;
    std::unique_ptr<CSpoolDataBuffer> m_pClearCoatBuffer;
    int m_nWhiteCodes[4];
    int m_nClearCoatCodes[2];
    // The codes this job sends white and clear coat under.
    int m_nSendWhite[4] = {};
    int m_nSendWhiteCount = 0;
    int m_nSendClearCoat[2] = {};
    int m_nSendClearCoatCount = 0;
    bool m_bDroppedWhiteLogged = false;
    CMemFile m_colourFile, m_whiteFile, m_clearCoatFile;
    std::unique_ptr<BYTE[]> m_zeroRow;
    int m_zeroRowBytes = -1;
};

class CMimakiJV3WhiteDriver : public CMimakiWhitePrinterDriver {
public:
    using CMimakiWhitePrinterDriver::CMimakiWhitePrinterDriver;
    int OutputCurrentRow() override;

protected:
    int OutputEmptyRow() override;
    int WhiteCodeCount() const override { return 2; }

private:
    int SendRows(bool bZeroRows);
};

class CMimaki604SpecialDriver : public CMimakiWhitePrinterDriver {
public:
    using CMimakiWhitePrinterDriver::CMimakiWhitePrinterDriver;
    int OutputCurrentRow() override;
};
