// The UJF flatbeds' layered drivers: every channel row is spooled once, each
// print layer knows which channels carry its ink, and at the end of the page
// the layers are put together from the spooled rows and go out in the
// operator's order. The seven variants differ only in their tables.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/MimakiBaseDriver.h"
#include "host/HostTypes.h"
#include "layers/LayerRowStore.h"


namespace mimaki::layers {

// The part a host channel plays in a layered job.
enum class Role : std::uint8_t { Colour, White, White2, Varnish, Primer, Midlayer, Count };

// A code of a channel table: a host colour code (translated through the
// layer code table) or a printer code, possibly chosen by a setting.
struct Code {
    enum Kind : std::uint8_t { Own, Fixed, IfDoubleSpot, IfSlots8, Setting } kind = Fixed;
    int value = 99;              // Fixed; IfDoubleSpot / IfSlots8 when the condition holds
    int alt = 99;                // IfDoubleSpot / IfSlots8 otherwise
    const wchar_t* key = nullptr; // Setting: key of the print environment (-1 stands for none)
};

struct Target {
    std::uint32_t layers = 0; // bit i: layer i; 0: the variant has no such ink (it prints as colour)
    bool byCode = false;      // printer codes instead of host colour codes
    Code first, second;
};

struct Underprint {
    int layer;
    bool byCode;
    Code first, second; // codes of the spot record
};

struct Variant {
    const char* className;
    std::vector<const char*> labels; // layer kinds, in mode order
    Target roles[static_cast<int>(Role::Count)];
    bool midlayer22;                 // host code 22 is a midlayer channel
    std::vector<Underprint> underprints;
    int glossLayer;                  // emitted twice with two starts; -1 none
    bool readsDoubleSpot;            // "DoubleSpotInk" read at output start
};

// Variants by "UJFPrinterTyp" 0..6.
const Variant& UJFVariant(int typ);
// Host colour code (0..34) -> printer colour code of the row header; codes
// outside the table give 255.
BYTE LayerColourCode(int hostCode);

} // namespace mimaki::layers

class CMimakiWhitePrinterDriverUJFBase : public CMimakiBasePrinterDriver {
public:
    CMimakiWhitePrinterDriverUJFBase(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms,
                                     const mimaki::layers::Variant& variant);
    ~CMimakiWhitePrinterDriverUJFBase() override;

    int OutputInit(int n1, int n2) override;
    int OutputExit() override;
    int OutputCurrentRow() override;
    int JobClose() override;
    int GetCommandSet() override { return 4; }

    // Added operations: the row header of a record for a printer or a host
    // colour code.
    virtual void SetRowHeaderByCode(BYTE nCode, int nRawCount, bool bPacked);
    virtual void SetRowHeader(int nHostCode, int nRawCount, bool bPacked);

    const mimaki::layers::Variant& GetVariant() const { return m_variant; }
    // Called by Create once the object is built.
    void Finish();

    struct LayerRecord {
        int id = -1;          // the layer's index while it is scheduled, else -1
        bool reversed = false; // underprint: rows last first, unpacked
        // Channels printed in the layer, in record order (an underprint's
        // spot records after its colour records).
        std::vector<int> channels;
        std::string end;      // end string of a forward layer
    };

protected:
    int AdvanceRows(int nRows) override;

private:
    void OutputChannelRow(const BYTE* row, int nByteCount, int nChannel);
    void EndRowInLayers();
    bool HasData(const LayerRecord& layer) const;
    int EmitForwardLayer(const LayerRecord& layer);
    int FlushReverseLayer(LayerRecord& layer);
    // The layer bytes are gathered in m_out and sent in large pieces.
    bool Put(const void* data, std::size_t len);
    bool Put(const std::string& s) { return Put(s.data(), s.size()); }
    bool FlushOut();
    int EmitLayers();
    int ResolveCode(const mimaki::layers::Code& code, int ownHostCode) const;
    void ReleaseLayers();
    int Fail(const char* what, int line);

    const mimaki::layers::Variant& m_variant;
    // "DoubleSpotInk" of WW and VV: white also under host code 33, varnish
    // also under 29.
    int m_nDoubleSpot = 0;
    int m_nSlots = 0;
    int m_nRecordsPerRow = 5;
    std::vector<LayerRecord> m_layers;
    // Per channel: its role's target, resolved at output start.
    struct ChannelPlan {
        std::uint32_t layers;
        BYTE record1, record2; // printer codes of its records in forward layers (99: none)
        bool spot;             // a spot record of an underprint
        bool used;             // some scheduled layer prints it
        bool hasData;          // a row of the page had ink
    };
    std::vector<ChannelPlan> m_plan;
    mimaki::layers::LayerRowStore m_rows;
    std::vector<BYTE> m_zeroRow;
    std::vector<BYTE> m_flushRow;
    std::vector<BYTE> m_out;
    std::size_t m_outLength = 0;
};

// The seven arrangements; each is the base with its own table.
#define MIMAKI_UJF_VARIANT(cls, typ)                                                                          \
    class cls : public CMimakiWhitePrinterDriverUJFBase {                                                     \
    public:                                                                                                   \
        cls(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)                                               \
            : CMimakiWhitePrinterDriverUJFBase(pPrintEnv, pDevParms, mimaki::layers::UJFVariant(typ))         \
        {                                                                                                     \
        }                                                                                                     \
    };
MIMAKI_UJF_VARIANT(CMimakiWhitePrinterDriverUJF_WW, 0)
MIMAKI_UJF_VARIANT(CMimakiWhitePrinterDriverUJF_VV, 1)
MIMAKI_UJF_VARIANT(CMimakiWhitePrinterDriverUJF_WV, 2)
MIMAKI_UJF_VARIANT(CMimakiWhitePrinterDriverUJF_PP, 3)
MIMAKI_UJF_VARIANT(CMimakiWhitePrinterDriverUJF_WP, 4)
MIMAKI_UJF_VARIANT(CMimakiWhitePrinterDriverUJF_WVP, 6)
#undef MIMAKI_UJF_VARIANT

// VP's codes depend on the printer's ink slots.
class CMimakiWhitePrinterDriverUJF_VP : public CMimakiWhitePrinterDriverUJFBase {
public:
    CMimakiWhitePrinterDriverUJF_VP(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
        : CMimakiWhitePrinterDriverUJFBase(pPrintEnv, pDevParms, mimaki::layers::UJFVariant(5))
    {
    }
};
