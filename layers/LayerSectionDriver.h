// The engine of the drivers that send every raster row at once as a
// sequence of layer sections (TS300P family, UCJV300): each section carries
// the channels of one layer, later layers a fixed number of rows behind the
// one before them (delay lines drained at page end), some mirrored, with an
// optional pause for head cleaning. The families differ in their layer
// table, their channel selectors and the order of their header blocks.
#pragma once

#include <memory>
#include <vector>

#include "driver/MimakiBaseDriver.h"
#include "layers/LayerBasis.h"

class CMimakiLayerSectionDriver : public CMimakiBasePrinterDriver {
public:
    CMimakiLayerSectionDriver(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms, mimaki::layers::Family family,
                              mimaki::layers::HeaderForm longForm);
    ~CMimakiLayerSectionDriver() override;

    int GetCommandSet() override { return 4; }
    void PrepareRowHeader(int nColourCode, int nByteCount) override;
    int OutputInit(int n1, int n2) override;
    int OutputExit() override;
    int OutputCurrentRow() override { return OutputRow(0); }

    // Added operations, in this order.
    virtual int OutputRowOnLayerBasis(int nSelector, int bBlank, int nLayer, int bMirror);
    virtual int OutputRow(int bBlank);
    virtual void SetRowHeaderEx(int nColour, int nRawCount, int nSentCount, int bPacked, int nLayer);

    // What the current job runs with (for reports and tests).
    int WhiteMode() const { return m_nWhiteMode; }
    int LayerCount() const { return m_nLayerCount; }
    int LayerRowOffset() const { return m_nLayerOffset; }
    int PauseDistanceRows() const { return m_nPauseDistance; }
    int PauseGapRows() const { return m_nPauseGap; }
    bool ShortHeader() const { return m_bShortHeader; }
    // Bytes held for the delay lines of the current job.
    std::size_t DelayLineBytes() const;

protected:
    int OutputEmptyRow() override { return OutputRow(1); }

    // A channel (or ink slot) that a layer section may carry.
    struct Source {
        int channel;    // host channel index
        int colour;     // user colour (selects the layer)
        int code;       // printer colour byte
    };
    // The channels in send order with their printer colour bytes; by
    // default each channel with the map's byte for its HeaderColour.
    virtual void CollectSources(std::vector<Source>& sources);
    // The colour a channel's printer colour byte is mapped from: its host
    // colour code.
    virtual int HeaderColour(int nChannel) const { return GetChannelColour(nChannel); }
    // The header form of this job: the short one when the parameters ask
    // for high speed, else the family's long one.
    mimaki::layers::HeaderForm Form() const;

private:
    struct LayerSlot {
        const mimaki::layers::LayerStep* step = nullptr;
        int delay = 0;                // rows behind layer 0
        std::unique_ptr<BYTE[]> stage; // one row of staging, or the delay ring of delay rows
        std::size_t capacity = 0;     // bytes of one row in stage
        std::vector<std::size_t> lengths; // per ring slot; 0 = nothing held
        std::size_t held = 0;         // ring slots holding a row
        int pos = 0;                  // ring slot of the current row
        std::vector<BYTE> blankStaged; // the step's channels, blank
        std::vector<BYTE> blankFill;   // the same with every channel for selector 0
    };

    int Send(const std::vector<BYTE>& bytes, std::size_t n);
    // Appends the step's channels of the current row at dst; their length.
    std::size_t StageRow(BYTE* dst, const mimaki::layers::LayerStep& step);
    // Blank rows of the sources a selector takes, at the layer index.
    void BuildBlank(std::vector<BYTE>& out, int selector, bool every, int layer);
    // Sends the due row of a delayed layer; -1 on failure, 1 sent, 0 none.
    int SendDue(LayerSlot& slot);
    void FreeJobBuffers();

    mimaki::layers::Family m_family;
    mimaki::layers::HeaderForm m_longForm;
    bool m_bShortHeader = false;
    bool m_bPauseEnabled = false;
    int m_nPauseState = 1;
    int m_nPauseRows = 0;
    int m_nPauseBlanks = 0;
    int m_nPauseDistance = 1000;
    int m_nPauseGap = 3;
    double m_dPauseDistanceMm = 0.0;
    double m_dPauseGapMm = 0.0;
    int m_nSendOnlyNonZeroBytes = 0;
    std::unique_ptr<BYTE[]> m_pAuxSendBuffer;
    int m_nAuxSendBufferSize = 0;
    LayerSlot m_layers[5];
    int m_nLayerCount = 1;
    const mimaki::layers::WhiteMode* m_pMode = nullptr;
    int m_nWhiteMode = 0;
    int m_nLayerOffset = 0;
    std::unique_ptr<BYTE[]> m_pBlankRow;
    int m_nBlankRowLength = 0;
    int m_nJobPixels = 0;
    std::vector<Source> m_sources;
    // Where each source's row of the current row stamp was staged, per
    // direction (unmirrored, mirrored): later layers copy it.
    struct Staged {
        unsigned row = 0;
        const BYTE* data = nullptr;
        int raw = 0;
        int sent = 0;
    };
    std::vector<Staged> m_staged;
    unsigned m_nRowStamp = 0;
    std::string m_pauseCommand;
};
