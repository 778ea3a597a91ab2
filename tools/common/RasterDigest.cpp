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
    static const std::uint8_t kZeros[256] = {};
    // A blank row is a zero length: four zero bytes each.
    for (std::uint64_t left = m_pendingBlank * 4; left > 0;) {
        const std::size_t take = left < sizeof kZeros ? static_cast<std::size_t>(left) : sizeof kZeros;
        m_hash.Update(kZeros, take);
        left -= take;
    }
    m_pendingBlank = 0;
    const std::uint32_t n32 = static_cast<std::uint32_t>(n);
    const std::uint8_t prefix[4] = {static_cast<std::uint8_t>(n32), static_cast<std::uint8_t>(n32 >> 8),
                                    static_cast<std::uint8_t>(n32 >> 16), static_cast<std::uint8_t>(n32 >> 24)};
    m_hash.Update(prefix, 4);
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
