// Every channel row of a layered page kept once, however many layers print
// it: the row bytes (PackBits-coded when the job compresses) in one spool
// store, and per row the stored and raw length of each channel's bytes in a
// second one. Layers read their rows back from here at the end of the page,
// in order or, for underprints, last row first.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/HostTypes.h"

class CSpoolStore;

namespace mimaki::layers {

class LayerRowStore {
public:
    struct Entry {
        std::uint32_t stored; // bytes in the store; 0 for a channel no layer takes
        std::uint32_t raw;    // bytes of the row they code
    };

    LayerRowStore();
    ~LayerRowStore();
    LayerRowStore(const LayerRowStore&) = delete;
    LayerRowStore& operator=(const LayerRowStore&) = delete;

    // A new page of nChannels channels; the stores come from the job's budget.
    void Open(int nChannels);
    // Gives back the stores and their temporary files.
    void Release();
    bool IsOpen() const { return m_data != nullptr; }

    // The next channel of the row being added (channels in order), then the
    // row's end.
    void Add(int nChannel, const BYTE* data, std::uint32_t stored, std::uint32_t raw);
    void EndRow();
    // No more rows: the stores become readable throughout.
    void Seal();
    std::uint64_t RowCount() const { return m_rows; }

    // A walk over the rows: Start, then Next until it answers false; each
    // Next makes the following row current.
    void Start(bool bLastFirst);
    bool Next();
    const Entry& At(int nChannel) const { return m_walkEntries[static_cast<std::size_t>(nChannel)]; }
    // The current row's bytes of a channel (At(nChannel).stored of them).
    void Read(int nChannel, BYTE* dst);

private:
    std::unique_ptr<CSpoolStore> m_data;
    std::unique_ptr<CSpoolStore> m_index;
    std::vector<Entry> m_rowEntries;  // the row being added
    std::vector<Entry> m_walkEntries; // the current row of a walk
    std::vector<std::uint64_t> m_walkOffsets;
    std::uint64_t m_rows = 0;
    std::uint64_t m_walkRow = 0;
    std::uint64_t m_walkBase = 0; // data offset where the next forward row starts / the last backward row ended
    bool m_lastFirst = false;
};

} // namespace mimaki::layers
