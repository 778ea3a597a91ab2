// The JFX flatbeds' layered drivers. The operator puts a multi-layer kind
// (layers/JfxLayerKinds.h) at each of five positions; several kinds print
// the same record and differ only in their start command. Every channel row
// of the page is kept once; at the end of the page each position's record
// is put together from the kept rows (underprints last row first) and goes
// out after its kind's start, followed by a layer marker for the host.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "driver/MimakiBaseDriver.h"
#include "layers/JfxLayerKinds.h"
#include "layers/LayerOutput.h"
#include "layers/LayerRowStore.h"

class CMimakiWhitePrinterDriverJFX500Base : public CMimakiBasePrinterDriver {
public:
    CMimakiWhitePrinterDriverJFX500Base(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);
    ~CMimakiWhitePrinterDriverJFX500Base() override;

    int OutputInit(int n1, int n2) override;
    int OutputExit() override;
    int OutputMargBottom() override;
    int OutputCurrentRow() override;
    int JobClose() override;
    std::string GetFeedCommand(int nRows) override;

    // A channel's row as kept for the page, in the current row of the walk
    // over the page: its bytes as stored (PackBits-coded when the job
    // compresses) and the length of the row they code.
    struct KeptRow {
        int channel;
        int stored;
        int raw;
    };

    // Added operations, in this order.
    // Appends one record of a row to the layer being sent: header and data,
    // only for a row with ink. 0 when the output failed.
    virtual int WriteLayerRowByCode(int nCode, const KeptRow& row);
    virtual void SetRowHeaderEx(int nId, int nRawCount, int nPackedCount, int bPacked, int nExtra);
    virtual void SetRowHeaderByCodeEx(int nCode, int nRawCount, int nPackedCount, int bPacked, int nExtra);
    virtual void SetRowHeader(int nId, int nRawCount, int nPackedCount, int bPacked);
    virtual void SetRowHeaderByCode(int nCode, int nRawCount, int nPackedCount, int bPacked);
    virtual void OutputChannelRow(const BYTE* row, int nByteCount, int nChannel);
    // Sends an underprint (or, on a mirrored page, any reversed) record.
    virtual int FlushReverseLayer(int nRecord);
    virtual void SetColourCode(int nId, int nCode);
    virtual std::string GetMultiLayerName(int nId);
    virtual std::string GetBasicLayerName(int nId);
    virtual int GetBasicLayerCount(int nPrinterType);
    virtual int getMultiLayersNumber(int nPrinterType, int nLayerMode);
    virtual int IsMultiLayerSupported(int nId);
    virtual int IsBasicLayerSupported(int nId);
    virtual std::vector<int> GetBasicLayers(int nPrinterType);
    virtual std::vector<int> GetMultiLayers(int nPrinterType, int nLayerMode);
    virtual int GetLastLayerPosition();
    virtual void InitColourCodes(CPrintEnv* pEnv);

    // The settings the constructor read and what the page runs with.
    int PrinterType() const { return m_nPrinterType; }
    int LayerMode() const { return m_nLayerMode; }
    bool MirrorPage() const { return m_bMirror; }
    int ColourCode(int nId) const { return nId >= 0 && nId < 35 ? m_codes[nId] : 99; }
    // Whether a record is printed on this page, and last row first.
    bool RecordScheduled(int nRecord) const;
    bool RecordReversed(int nRecord) const;
    int RecordsPerRow(int nRecord) const;

protected:
    CMimakiWhitePrinterDriverJFX500Base(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms, mimaki::jfx::Model model);

    int AdvanceRows(int nRows) override;
    // The printer codes a channel of host identifier nId is sent with in
    // record nRecord (second -1: one record).
    virtual void RecordCodes(int nRecord, int nId, int& nCode1, int& nCode2);
    mimaki::jfx::Flags CatalogueFlags() const;
    int CodeOr(int nId, int nFallback) const;

    const mimaki::jfx::Model m_model;
    int m_codes[35];

private:
    struct Entry {
        int channel;
        int id;        // host colour identifier
        int code1, code2;
        bool spot;
    };
    struct Record {
        bool scheduled = false;
        bool reversed = false;
        int recordsPerRow = 0;
        // Channels in the order their records go out (a reversed record's
        // spot inks after its colours).
        std::vector<Entry> entries;
        int rows = 0;
    };

    bool RecordHasData(int nRecord) const;
    void PlanRecords(const std::vector<int>& kinds);
    int EmitForward(int nRecord);
    int EmitLayers();
    // Codes of an underprint's k-th record of a row (-1: none).
    void ReverseCodes(int nRecord, int k, int n, const Entry& e, int (&codes)[2]) const;
    int Fail(const char* what, int line);

    int m_nLayerMode;
    int m_nPrinterType;
    int m_bSuspendBetweenLayers;
    int m_bSkipGloss;
    bool m_bMirror = false;
    bool m_bMarginBottomDone = false;
    int m_nColourCount = 0;
    std::vector<int> m_kinds;
    std::array<Record, mimaki::jfx::kRecordCount> m_records;
    std::vector<char> m_channelUsed, m_channelInk;
    std::vector<BYTE> m_mirrorBuffer;
    std::vector<BYTE> m_flushRow;
    mimaki::layers::LayerRowStore m_rows;
    mimaki::layers::LayerOutput m_out;
};
