#include "tools/common/RasterDigest.h"

std::size_t RasterDigest::TrimmedLength(const std::uint8_t* row, std::size_t len)
{
    while (len > 0 && row[len - 1] == 0)
        --len;
    return len;
}

void RasterDigest::AddRow(const std::uint8_t* row, std::size_t len)
{
    const std::size_t n = TrimmedLength(row, len);
    if (n == 0) {
        AddBlankRows(1);
        return;
    }
    std::uint8_t prefix[12];
    for (int i = 0; i < 8; ++i)
        prefix[i] = static_cast<std::uint8_t>(m_rows >> (8 * i));
    const std::uint32_t n32 = static_cast<std::uint32_t>(n);
    for (int i = 0; i < 4; ++i)
        prefix[8 + i] = static_cast<std::uint8_t>(n32 >> (8 * i));
    m_hash.Update(prefix, sizeof prefix);
    m_hash.Update(row, n);
    if (m_firstInk < 0)
        m_firstInk = static_cast<std::int64_t>(m_rows);
    m_lastInk = static_cast<std::int64_t>(m_rows);
    ++m_rows;
}

Sha256::Digest RasterDigest::Digest() const
{
    Sha256 copy = m_hash;
    return copy.Final();
}
