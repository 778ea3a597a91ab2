// The JFX200EX prints a page as a sequence of layers. The driver records
// each colour group's rows, plain and mirrored as the layer list needs
// them, into streams readable from both ends, and at output exit plays
// them back once per layer, every other layer (and as the layers' direction
// bits say) from the page's last row up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devparms/MimakiLayerList.h"
#include "driver/MimakiBaseDriver.h"

class CSpoolStore;

class CMimakiJFX200EXDriver : public CMimakiBasePrinterDriver {
public:
    CMimakiJFX200EXDriver(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);
    ~CMimakiJFX200EXDriver() override;

    int JobClose() override;
    int OutputCurrentRow() override;
    int GetCommandSet() override { return 4; }

    // The twelve colour groups by host colour code, in their order.
    static constexpr int kGroups = 12;
    static const int kGroupCodes[kGroups];
    // Streams the current page is being recorded into.
    int StreamCount() const;

protected:
    int OnOutputInit() override;
    int AdvanceRows(int nRows) override;
    int OnOutputExit() override;

private:
    struct Group {
        int code = -1;
        int colourId = 99;
        int slot = -1;
        int channel = -1;
        std::unique_ptr<CSpoolStore> streams[2]; // plain, mirrored
        std::uint64_t readAt[2] = {};
    };
    struct Stream {
        int group;
        int mirrored;
    };
    struct Layer {
        int index;
        CMimakiLayerRecord record;
        std::vector<Stream> streams; // in the order they go out in a row
    };

    int Prepare();
    void Record(CSpoolStore& stream, const BYTE* row);
    int PlayBack();
    int PlayLayer(const Layer& layer, bool bBackward);
    int Fail(const std::string& what, int line);
    void Release();

    Group m_groups[kGroups];
    std::vector<Layer> m_layers;
    std::vector<int> m_outputSequence; // host codes of "OutputSequenceDefault"
    std::uint64_t m_nRows = 0;         // rows recorded
    int m_bCompress = 0;
    std::vector<BYTE> m_mirrorRow;
    std::vector<BYTE> m_record;      // length, QD block, stored bytes, length
    std::vector<BYTE> m_blankRecord; // the record of a blank row
    std::string m_feedPrefix;        // "QX" one row
    std::string m_rowPrefix;         // "QY", "QR"
};
