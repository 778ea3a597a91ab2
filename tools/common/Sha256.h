// SHA-256 (FIPS 180-4), incremental.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class Sha256 {
public:
    using Digest = std::array<std::uint8_t, 32>;

    Sha256() { Reset(); }
    void Reset();
    void Update(const void* data, std::size_t len);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
    // Pads, returns the digest and leaves the object reset for a new message.
    Digest Final();

    static Digest Hash(std::string_view bytes);
    static std::string ToHex(const Digest& digest);

private:
    void Block(const std::uint8_t* p);

    std::uint32_t m_state[8];
    std::uint8_t m_buffer[64];
    std::size_t m_buffered = 0;
    std::uint64_t m_length = 0;  // message bytes so far
};
