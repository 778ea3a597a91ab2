// The query protocol between the host's printer ports and the printer, on
// the job connection itself (raw TCP, port 9100 by default, or the USB
// printer device).
//
// Requests, host to printer, three bytes each:
//   ESC '?' 'S'      the status block
//   ESC '?' 'I'      the print-condition block
// ESC '?' never begins a print job, so a printer tells a query from a job by
// its first two bytes.
//
// Every answer, printer to host, is a frame:
//   ESC '?' kind LEN PAYLOAD
// LEN is a 32-bit big-endian byte count. kind:
//   'S'  the status block (the host reads at most 1024 bytes of it)
//   'I'  the print-condition block in binary (the port hands it on as hex)
//   'M'  a message of the printer for the operator (UTF-8); more frames follow
//   'T'  a status text (UTF-8); more frames follow
//   'E'  the printer cannot answer: the text says why; the query fails
// A request may be followed by more requests on the same connection.
#pragma once

#include <cstddef>
#include <cstdint>

namespace portproto {

inline constexpr std::uint8_t kEsc = 0x1B;
inline constexpr std::uint8_t kQuery = '?';
inline constexpr std::uint8_t kStatus = 'S';
inline constexpr std::uint8_t kPrintConditions = 'I';
inline constexpr std::uint8_t kMessage = 'M';
inline constexpr std::uint8_t kStatusText = 'T';
inline constexpr std::uint8_t kRefusal = 'E';

inline constexpr std::size_t kRequestSize = 3;
inline constexpr std::size_t kFrameHeaderSize = 7;
// The largest status block a port reads, and the largest text frame and
// print-condition block it accepts.
inline constexpr std::size_t kStatusReadLimit = 1024;
inline constexpr std::size_t kTextLimit = 4096;
inline constexpr std::size_t kBlockLimit = std::size_t(16) << 20;

// Status block layout.
inline constexpr std::size_t kVersionOffset = 50, kVersionWidth = 4;
inline constexpr std::size_t kPresenceOffset = 280, kSlots = 10;
inline constexpr std::size_t kDotVolumeOffset = 290, kDotVolumeGroups = 6, kValuesPerSlot = 3;
inline constexpr std::size_t kDotVolumeBytes = kDotVolumeGroups * kSlots * kValuesPerSlot * 2;  // 360

inline void FrameHeader(std::uint8_t kind, std::uint32_t length, std::uint8_t out[kFrameHeaderSize])
{
    out[0] = kEsc;
    out[1] = kQuery;
    out[2] = kind;
    out[3] = static_cast<std::uint8_t>(length >> 24);
    out[4] = static_cast<std::uint8_t>(length >> 16);
    out[5] = static_cast<std::uint8_t>(length >> 8);
    out[6] = static_cast<std::uint8_t>(length);
}

inline std::uint32_t FrameLength(const std::uint8_t header[kFrameHeaderSize])
{
    return std::uint32_t(header[3]) << 24 | std::uint32_t(header[4]) << 16 | std::uint32_t(header[5]) << 8 |
           header[6];
}

} // namespace portproto
