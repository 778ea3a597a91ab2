// The plan the layered roll models (CJV300 PLUS, JV330, CJV330) print by: a
// job is a list of layers, each a stack of sub-layers (colour, white, clear,
// primer, normal or reversed), some mirrored for the back of clear media.
// The first layer goes out while the rows arrive; the rows the later layers
// need are kept in spool stores, one per channel record and row variant, and
// replayed layer by layer when the page ends.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "devparms/MimakiDevParmsCJV330.h"
#include "driver/MimakiBaseDriver.h"

class CSpoolStore;

namespace mimaki::cjv {

// The inks (host colour codes) that belong to a sub-layer type.
struct TypeInks {
    int type;
    std::span<const int> inks;
};

// What sets the models of the family apart.
struct Model {
    std::span<const TypeInks> inks;
    int positions;               // sub-layer positions of a layer
    std::uint32_t reversedTypes; // bit t: type t prints the other mirror variant than its layer
    bool sandwich;               // layers may take the shifted (second image) rows
    bool qrFirst;                // the row header's "QR" block before its "QY" block
    bool fullWidth;              // rows at the full bytes per row, else without trailing zeros
    bool countBlankRows;         // blank rows held back until the next row or the page end
    bool waysLimitPositions;     // positions past PrEnv_MaxPrintingWays are not printed
    bool hostMirror;             // mirrored rows are the host's (pOutputRowMirror)
    bool optionalInks;           // inks 21 and 22 print blank unless PrEnv_OptionalDeviceID is 7
    const char* spoolFailure;    // logged when a spool store fails, or null
};

extern const Model kCJV300Plus;
extern const Model kCJV330;

// Whether the ink belongs to sub-layer type `type` of the model.
bool Belongs(const Model& model, int type, int ink);

// Row variants: bit 0 mirrored, bit 1 shifted (the row's last bytes).
constexpr int kVariants = 4;
constexpr int kMaxPositions = 5;

} // namespace mimaki::cjv

class CMimakiPrnDrvCJVLayers : public CMimakiBasePrinterDriver {
public:
    CMimakiPrnDrvCJVLayers(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms, const mimaki::cjv::Model& model);
    ~CMimakiPrnDrvCJVLayers() override;

    int GetCommandSet() override { return 4; }
    void PrepareRowHeader(int nColourCode, int nByteCount) override;
    int OutputInit(int n1, int n2) override;
    int OutputExit() override;
    int JobClose() override;
    int OutputCurrentRow() override { return OutputRow(0); }

    // Added operations, in this order.
    virtual int OutputRow(int bBlank);
    virtual void SetRowHeaderEx(int nInk, int nRawCount, int nStoredCount, int bPacked, int nSubLayer);

    // What the current job runs with (for reports and tests).
    int LayerCount() const { return static_cast<int>(m_layers.size()); }
    int SendBytes() const { return m_nSendBytes; }
    int StreamCount() const;

protected:
    int OutputEmptyRow() override { return OutputRow(1); }

    // The model's parameters: the layer list (null for parameters of another
    // class), the bits per pixel their dot size asks for, the opening string
    // of a layer and the end of the job after the last layer.
    virtual const std::vector<CMimakiCJVLayer>* LayerList() = 0;
    virtual int ParmsBitsPerPixel() = 0;
    virtual std::string LayerStartString(int nLayer, const CMimakiCJVLayer& layer) = 0;
    virtual std::string JobEndString(int nLastLayer) = 0;

private:
    struct Use {
        std::uint8_t position; // 0 .. positions - 1; the sub-layer byte
        std::uint8_t variant;
    };
    struct Record {
        int slot = 0, ink = 0, channel = -1, colour = 99;
        bool blank = false;                 // prints zero rows
        std::vector<std::vector<Use>> uses; // per layer, by position
        std::uint8_t liveVariants = 0;      // variants the first layer sends
        std::uint8_t storeVariants = 0;     // variants kept for the later layers
        std::unique_ptr<CSpoolStore> streams[mimaki::cjv::kVariants];
        std::uint64_t cursor[mimaki::cjv::kVariants] = {};
    };
    // One variant of a record's row: raw bytes not yet coded, bytes ready to
    // copy, or a stored record to read back.
    struct Piece {
        const BYTE* raw = nullptr;
        const BYTE* data = nullptr;
        CSpoolStore* stream = nullptr;
        std::uint64_t at = 0;
        std::uint32_t rawCount = 0, stored = 0;
    };
    struct Buffer {
        std::unique_ptr<BYTE[]> data;
        std::size_t length = 0;
    };

    int Prepare();
    void Report();
    void ReleaseJob();
    int Fail(const char* what, int line);
    template <class Step>
    int Guarded(int line, Step&& step);
    bool SendRow(bool bBlank);
    bool FlushBlankRows();
    void LivePieces(const Record& r, bool bBlank, Piece* pieces);
    // Writes the record's pieces at the layer's positions into the band.
    void Place(const Record& r, const std::vector<Use>& uses, Piece* pieces);
    std::uint32_t Resolve(Piece& p, BYTE* dst);
    void Store(Record& r, int variant, Piece& p);
    bool SendBand();
    bool Replay(int nLayer);
    bool ReadPiece(Record& r, int variant, Piece& p);

    const mimaki::cjv::Model& m_model;
    std::vector<CMimakiCJVLayer> m_layers;
    std::vector<Record> m_records;
    Buffer m_band[mimaki::cjv::kMaxPositions];
    std::unique_ptr<BYTE[]> m_mirror;
    std::unique_ptr<BYTE[]> m_scratch;
    std::unique_ptr<BYTE[]> m_zero; // a blank row, coded when the job packs
    std::uint32_t m_nZeroStored = 0;
    int m_nBlankBytes = 0;          // bytes of a blank row
    int m_nSendBytes = 0;           // bytes of a row in a sandwich job, else of a full row
    std::size_t m_nShift = 0;       // where the shifted rows start
    std::size_t m_nHeader = 0;
    int m_nPositions = 0;           // positions the printer prints
    bool m_bPacked = false;
    bool m_bSandwich = false;
    bool m_bReady = false;
    std::uint64_t m_nRows = 0;      // bands of the first layer
    std::uint64_t m_nBlankRows = 0; // blank rows held back
};

// The family's plan over the parameters of one model class: its layer list
// and bits per pixel.
template <class Parms>
class CMimakiPrnDrvCJVOf : public CMimakiPrnDrvCJVLayers {
protected:
    CMimakiPrnDrvCJVOf(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms, const mimaki::cjv::Model& model)
        : CMimakiPrnDrvCJVLayers(pPrintEnv, pDevParms, model), m_pParms(dynamic_cast<Parms*>(pDevParms))
    {
    }
    const std::vector<CMimakiCJVLayer>* LayerList() override { return m_pParms ? &m_pParms->m_Layers : nullptr; }
    int ParmsBitsPerPixel() override { return m_pParms->GetBitsPerPixel(); }

    Parms* m_pParms;
};
