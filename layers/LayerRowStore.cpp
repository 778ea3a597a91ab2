#include "layers/LayerRowStore.h"

#include "host/SpoolBuffer.h"

namespace mimaki::layers {

LayerRowStore::LayerRowStore() = default;
LayerRowStore::~LayerRowStore() = default;

void LayerRowStore::Open(int nChannels)
{
    Release();
    const std::size_t n = static_cast<std::size_t>(nChannels > 0 ? nChannels : 0);
    m_rowEntries.assign(n, Entry{0, 0});
    m_walkEntries.assign(n, Entry{0, 0});
    m_walkOffsets.assign(n, 0);
    m_data = std::make_unique<CSpoolStore>();
    m_index = std::make_unique<CSpoolStore>();
}

void LayerRowStore::Release()
{
    m_data.reset();
    m_index.reset();
    m_rows = 0;
}

void LayerRowStore::Add(int nChannel, const BYTE* data, std::uint32_t stored, std::uint32_t raw)
{
    m_rowEntries[static_cast<std::size_t>(nChannel)] = {stored, raw};
    if (stored)
        m_data->Append(data, stored);
}

void LayerRowStore::EndRow()
{
    m_index->Append(m_rowEntries.data(), m_rowEntries.size() * sizeof(Entry));
    ++m_rows;
}

void LayerRowStore::Seal()
{
    m_data->Seal();
    m_index->Seal();
}

void LayerRowStore::Start(bool bLastFirst)
{
    m_lastFirst = bLastFirst;
    m_walkRow = bLastFirst ? m_rows : 0;
    m_walkBase = bLastFirst ? m_data->Size() : 0;
}

bool LayerRowStore::Next()
{
    if (m_lastFirst ? m_walkRow == 0 : m_walkRow == m_rows)
        return false;
    const std::uint64_t row = m_lastFirst ? m_walkRow - 1 : m_walkRow;
    const std::size_t bytes = m_walkEntries.size() * sizeof(Entry);
    m_index->Read(row * bytes, m_walkEntries.data(), bytes);
    std::uint64_t rowBytes = 0;
    for (const Entry& e : m_walkEntries)
        rowBytes += e.stored;
    if (m_lastFirst) {
        m_walkBase -= rowBytes;
        --m_walkRow;
    }
    std::uint64_t at = m_walkBase;
    for (std::size_t ch = 0; ch < m_walkEntries.size(); ++ch) {
        m_walkOffsets[ch] = at;
        at += m_walkEntries[ch].stored;
    }
    if (!m_lastFirst) {
        m_walkBase = at;
        ++m_walkRow;
    }
    return true;
}

void LayerRowStore::Read(int nChannel, BYTE* dst)
{
    const std::size_t ch = static_cast<std::size_t>(nChannel);
    if (m_walkEntries[ch].stored)
        m_data->Read(m_walkOffsets[ch], dst, m_walkEntries[ch].stored);
}

} // namespace mimaki::layers
