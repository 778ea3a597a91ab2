// The JV58C special configuration of model 13: eight heads in four pairs
// that carry the same colour. Slot k and slot k + 4 are merged into output
// channel k, each under a bit mask that changes from row to row, so that the
// two heads of a pair share the dots of every row. Rows go out in the
// command set of "nFunctModeId" with the legacy headers; with the host's
// interleave switch on, a few rows are dropped so that the page holds whole
// interleave periods.
#pragma once

#include <memory>

#include "driver/MimakiBaseDriver.h"

class CRasterPixelBuffer;

class CMimakiJV58CSpecial : public CMimakiLegacyBasePrinterDriver {
public:
    CMimakiJV58CSpecial(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);
    ~CMimakiJV58CSpecial() override;

    int OutputInit(int n1, int n2) override;
    int OutputExit() override;
    int OutputCurrentRow() override;

    // Mask 1 (for slot k) and mask 2 (for slot k + 4) of a row.
    struct Masks {
        BYTE first, second;
    };

    // The row-drop bookkeeping of the current job.
    int NextRowToDrop() const { return m_nNextRowToDrop; }
    int DropStep() const { return m_nDropStep; }
    int RowCounter() const { return m_nRowCounter; }

protected:
    int AdvanceRows(int nRows) override;
    int OutputEmptyRow() override;

private:
    // The masks of a row by the second resolution, the interleave mode
    // value, the dot-data type and the row counter: with the double-line
    // setting off (single), else those of sub-rows A and B.
    static Masks SingleLineMasks(int nResolution, int nMode, int nDotDataType, int nCounter);
    static void DoubleLineMasks(int nResolution, int nMode, int nDotDataType, int nCounter, Masks& a, Masks& b);
    // Output channels 0 to 3 of the current row under the masks (blank rows
    // when blank), then the band trailer.
    int SendRow(Masks masks, bool blank);
    // Whether the row numbered row is the next to drop; moves that on.
    bool DropRow(int row);
    int Resolution() const;

    int m_nNextRowToDrop = 0;
    int m_nDropStep = 0;
    int m_nRowCounter = 0;
    std::unique_ptr<BYTE[]> m_pMergeBuffer;
    // Per job: the interleave mode value, the raster of each slot in use
    // (null otherwise), and the blank channel row as sent.
    int m_nInterleaveMode = 1;
    const CRasterPixelBuffer* m_slotRasters[8] = {};
    std::unique_ptr<BYTE[]> m_pBlankRow;
    int m_nBlankRowLength = 0;
};
