// The UJF x042 MkII and UJF-7151 flatbeds: up to five layers, each printing
// the rows of some of the printer's ink slots. While the page is rasterised
// every row of every slot a layer needs goes into that slot's file (a
// second file holds the mirrored rows); at the end of the page each layer
// plays its slots' files back, forwards or, for a reversed layer, from the
// end. The files are the host's spool stores: held in memory within the
// job's budget, the rest in unlinked temporary files.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/PrinterDriverBase.h"
#include "layers/LayerOutput.h"

class CSpoolStore;

class CMimakiWhitePrinterDriverUJF_x042MKII : public CPrinterDriverBase {
public:
    CMimakiWhitePrinterDriverUJF_x042MKII(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);
    ~CMimakiWhitePrinterDriverUJF_x042MKII() override;

    int OutputInit(int n1, int n2) override;
    int OutputExit() override;
    int OutputCurrentRow() override;
    int JobClose() override;

    // One slot of a layer as the page plays it back.
    struct LayerEntry {
        int slot;
        int colourId;
        int flag; // the kind's mark for the ink group; the playback does not use it
        int code;
    };
    // The layers of the current page, in order (empty before OutputInit).
    struct Layer {
        std::string start, end;
        std::vector<LayerEntry> entries;
        bool reverse = false;
        bool mirror = false;
    };
    const std::vector<Layer>& Layers() const { return m_layers; }
    int RowCount() const { return m_nRows; }

protected:
    int AdvanceRows(int nRows) override;

private:
    struct Slot {
        int channel = -1;
        int colourId = -1;
        int code = 99;
        std::unique_ptr<CSpoolStore> forward, mirrored;
        std::uint64_t readOffset = 0;
    };

    void AssignSlots(Layer& layer, int kind, int subKind, int mode);
    void WriteRecord(CSpoolStore& file, int code, const BYTE* row, int count);
    int PlayLayer(const Layer& layer);
    void ReleaseFiles();
    int Fail(const char* what, int line);

    std::vector<Slot> m_slots;
    std::vector<Layer> m_layers;
    bool m_bCompress = false;
    int m_nRows = 0;
    std::vector<BYTE> m_mirrorRow;
    std::vector<BYTE> m_record; // one record being written
    mimaki::layers::LayerOutput m_out;
};

// The UJF-7151: the same driver.
class CMimakiWhitePrinterDriverUJF7151 : public CMimakiWhitePrinterDriverUJF_x042MKII {
public:
    using CMimakiWhitePrinterDriverUJF_x042MKII::CMimakiWhitePrinterDriverUJF_x042MKII;
};
