// The UJF7151 plus II prints a page as a stack of layers, one after the
// other. The driver records every ink's rows into streams while the host
// hands them over and, at output exit, plays the streams back layer by
// layer in MRL III blocks, each layer between its start and end strings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/PrinterDriverBase.h"

class CSpoolStore;

class CMimakiPrinterDriverUJF7151PlusII : public CPrinterDriverBase {
public:
    CMimakiPrinterDriverUJF7151PlusII(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);
    ~CMimakiPrinterDriverUJF7151PlusII() override;

    int JobClose() override;
    int OutputInit(int nPixelWidth, int nRows) override;
    int OutputCurrentRow() override;

    // The row variants an ink is recorded in.
    enum Variant { kNormal, kMirrored, kSecondHalf, kSecondHalfMirrored, kVariants };
    // Bytes of one recorded row: the half-row size in sandwich double-width
    // mode, else the host's bytes per row.
    int RecordBytes() const { return m_nRecordBytes; }
    // Streams the current page is being recorded into.
    int StreamCount() const;

protected:
    int OutputEmptyRow() override;
    int OnOutputExit() override;

private:
    struct Ink {
        int code = -1;    // host colour code of the slot
        int channel = -1; // the first channel of that colour; -1: the job has none
        std::unique_ptr<CSpoolStore> streams[kVariants];
        std::uint64_t readAt[kVariants] = {};
    };
    struct Entry {
        int ink;
        int colourId;
        int variant;
    };
    struct Layer {
        int index;
        std::string start, end;
        std::vector<Entry> entries;
    };

    int BuildLayers();
    int RecordRow(bool bBlank);
    void Record(Ink& ink, int variant, const BYTE* row);
    int PlayBack();
    int PlayLayer(const Layer& layer);
    int Fail(const std::string& what, int line);
    void Release();

    std::vector<Ink> m_inks;
    std::vector<Layer> m_layers;
    int m_nSandwich = 0;
    int m_bCompress = 0;
    int m_nRecordBytes = 0;
    std::vector<BYTE> m_blankRow;
    std::vector<BYTE> m_mirrorRow;   // grows, never shrinks
    std::vector<BYTE> m_record;      // a record's counts and stored bytes
    std::vector<BYTE> m_blankRecord; // the record of a blank row
    std::string m_header;            // row header, patched per record
    std::string m_bandTrailer;
};
