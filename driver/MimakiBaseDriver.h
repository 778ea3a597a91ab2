// The driver base of (almost) every Mimaki model: raster command sets 0 to
// 4, row framing, colour tables, feeds, medium-dot removal and the abort
// command.
#pragma once

#include <memory>
#include <string>

#include "host/PrinterDriverBase.h"

class CMimakiDevParmsBase;

class CMimakiLegacyBasePrinterDriver : public CPrinterDriverBase {
public:
    CMimakiLegacyBasePrinterDriver(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);
    ~CMimakiLegacyBasePrinterDriver() override;

    int JobClose() override;
    int OutputInit(int n1, int n2) override;
    int OutputCurrentRow() override;

    // Added operations, in this order.
    virtual int GetCommandSet();
    // A feed of nRows rows: in the ESC/P sets one command per 32767 rows, in
    // MRL III one command; nothing (and a log line) for a negative count.
    virtual std::string GetFeedCommand(int nRows);
    virtual void PrepareRowHeader(int nColourCode, int nByteCount);

    // The abort command of an aborted job (the parameters' own, else
    // PrEnv_AbortCommand), sent past the abort; drivers outside this tree
    // close their jobs with it too.
    static void SendAbortCommand(CPrinterDriverBase& driver);

    const std::string& GetRowHeader() const { return RowHeader; }
    const std::string& GetRowTrailer() const { return RowTrailer; }
    const std::string& GetBandTrailer() const { return BandTrailer; }
    const BYTE* GetColourCodeTable() const { return ColourCodeTable; }
    const BYTE* GetMappedRowBuffer() const { return MappedRowBuffer.get(); }

protected:
    int AdvanceRows(int nRows) override;
    int OutputEmptyRow() override;

    CMimakiDevParmsBase* MimakiParms() const { return m_pMimakiParms; }
    // 0, with one log line naming the width and the limit, when a row of the
    // job's width cannot be counted in the row header of the command set.
    int RowWidthFits();
    // Sets 0 and 2 print a channel whose host colour code is outside their
    // colour table as black (colour byte 0); this logs each such channel.
    void ReportColoursWithoutEntry(int commandSet);
    // MRL III colour byte of a host colour code (255 outside the table).
    static BYTE Set4Colour(int nColourCode);
    // The MRL III feed of nRows rows: "QX" 5 1, the count (32 bits), "QR" 1 0.
    static std::string MrlFeedCommand(int nRows);
    int DoubleLine() const;

    std::string RowHeader;
    std::string RowTrailer;
    std::string BandTrailer;
    std::unique_ptr<BYTE[]> MappedRowBuffer;
    int FunctMode;
    BYTE ColourCodeTable[35];

private:
    CMimakiDevParmsBase* m_pMimakiParms;
    // Blank row of the job's width and its coded form, made once per width.
    std::unique_ptr<BYTE[]> m_zeroRow;
    std::unique_ptr<BYTE[]> m_zeroRowCoded;
    int m_zeroRowBytes = -1;
    int m_zeroRowCodedLength = 0;
};

// Groups the newer drivers; adds nothing.
class CMimakiBasePrinterDriver : public CMimakiLegacyBasePrinterDriver {
public:
    using CMimakiLegacyBasePrinterDriver::CMimakiLegacyBasePrinterDriver;
};
