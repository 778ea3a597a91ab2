// The JV300 and JV400 white models (and the CJV150/300): every raster row
// goes out at once as a sequence of layer sections, without delay.
#pragma once

#include <memory>

#include "driver/MimakiBaseDriver.h"
#include "layers/LayerBasis.h"

// What the two drivers share; they differ in how a channel is judged, where
// the printer colour comes from and where the white mode is read.
class CMimakiWhitePrinterDriverJVBase : public CMimakiBasePrinterDriver {
public:
    CMimakiWhitePrinterDriverJVBase(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms,
                                    mimaki::layers::Family family);
    ~CMimakiWhitePrinterDriverJVBase() override;

    int GetCommandSet() override { return 4; }
    void PrepareRowHeader(int nColourCode, int nByteCount) override;
    int OutputInit(int n1, int n2) override;
    int OutputCurrentRow() override { return OutputRow(0); }

    // Added operations, in this order.
    virtual int OutputRowOnLayerBasis(int nSelector, int bBlank, int nLayer);
    virtual int OutputRow(int bBlank);
    virtual void SetRowHeaderEx(int nColour, int nRawCount, int nSentCount, int bPacked, int nLayer);

    int WhiteMode() const { return m_nWhiteMode; }

protected:
    int OutputEmptyRow() override { return OutputRow(1); }
    // Printer colour byte of a colour: the parameters' colour map.
    virtual int ColourCode(int nColour);
    // The colour a selector judges the channel by.
    virtual int SelectionColour(int nChannel) = 0;
    // The colour the header's printer colour byte is taken for.
    virtual int HeaderColour(int nChannel) { return GetChannelColour(nChannel); }
    // The parameters' white order or mode.
    virtual int ReadWhiteMode();

private:
    mimaki::layers::Family m_family;
    int m_nWhiteMode = 0;
    const mimaki::layers::WhiteMode* m_pMode = nullptr;
    std::unique_ptr<BYTE[]> m_pBlankRow;
    int m_nBlankRowLength = 0;
};

class CMimakiWhitePrinterDriverJV300 : public CMimakiWhitePrinterDriverJVBase {
public:
    CMimakiWhitePrinterDriverJV300(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
        : CMimakiWhitePrinterDriverJVBase(pPrintEnv, pDevParms, mimaki::layers::Family::JV300)
    {
    }

protected:
    int SelectionColour(int nChannel) override { return DevPrimColUserFromPrimCol(nChannel); }
};

class CMimakiWhitePrinterDriverJV400 : public CMimakiWhitePrinterDriverJVBase {
public:
    CMimakiWhitePrinterDriverJV400(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
        : CMimakiWhitePrinterDriverJVBase(pPrintEnv, pDevParms, mimaki::layers::Family::JV400)
    {
    }
    // The JV400's own colour table (99: no printer colour).
    static int JV400Colour(int nColour);

protected:
    int ColourCode(int nColour) override { return JV400Colour(nColour); }
    int SelectionColour(int nChannel) override { return GetChannelColour(nChannel); }
    int ReadWhiteMode() override;
};
