// Digest of one printed plane, computed the same way by the stream decoder
// (from the rows it decodes) and by the job runner (from the rows it feeds),
// so that the two can be compared.
//
// Rule: SHA-256 over the rows of the plane that hold a non-zero byte, in
// order. Each contributes its row number (8 bytes little-endian), its length
// after trailing zero bytes are cut (4 bytes little-endian), and those
// bytes. Blank rows contribute nothing, so a plane that ends in blank rows,
// or whose rows were cut short of their trailing zeros, digests the same as
// one that does not; a plane without ink digests as the empty message; and
// the cost follows the ink, not the rows a stream claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/common/Sha256.h"

class RasterDigest {
public:
    // Feeds the next row (row index Rows()).
    void AddRow(const std::uint8_t* row, std::size_t len);
    void AddRow(std::string_view row) { AddRow(reinterpret_cast<const std::uint8_t*>(row.data()), row.size()); }
    // Feeds n rows without ink (a feed, or rows a plane did not receive).
    void AddBlankRows(std::uint64_t n) { m_rows += n; }

    std::uint64_t Rows() const { return m_rows; }
    // Index of the first and the last row with a non-zero byte, -1 if none.
    std::int64_t FirstInkRow() const { return m_firstInk; }
    std::int64_t LastInkRow() const { return m_lastInk; }

    // Digest of the rows fed so far; feeding may go on afterwards.
    Sha256::Digest Digest() const;
    std::string Hex() const { return Sha256::ToHex(Digest()); }

    // Length of the row once trailing zero bytes are cut.
    static std::size_t TrimmedLength(const std::uint8_t* row, std::size_t len);

private:
    Sha256 m_hash;
    std::uint64_t m_rows = 0;
    std::int64_t m_firstInk = -1;
    std::int64_t m_lastInk = -1;
};
