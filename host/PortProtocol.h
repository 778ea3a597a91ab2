// The query protocol between the host's printer ports and the printer, on
// the job connection itself (raw TCP, port 9100 by default, or the USB
// printer device).
//
// Requests, host to printer, three bytes each but the settings check:
//   ESC '?' 'S'      the status block
//   ESC '?' 'I'      the print-condition block
//   ESC '?' 'C' ...  the settings check, 13 bytes (below)
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
//   'C'  the answer to the settings check, 13 bytes (below)
//   'E'  the printer cannot answer: the text says why; the query fails
// A request may be followed by more requests on the same connection.
//
// The settings check: a settings page closed with OK tells the printer what
// it saved, and the printer says whether it can print that. Request:
//   0-2   ESC '?' 'C'
//   3     UID: the model the settings were made for (low 8 bits)
//   4     SLOTS: how many ink slots the settings name (0 to 10)
//   5-8   INKS: CRC-32 (as zlib's) of the slots' Mimaki colour ids, one
//         byte each in slot order; big-endian
//   9-10  SET: the chosen print-mode set number, big-endian; 0xFFFF: the
//         model chooses none
//   11-12 TAG: any number, echoed by the answer
// Answer payload (LEN 13):
//   0     the printer's own UID
//   1     VERDICT: 0 accepted, 1 another model, 2 other inks loaded, 3 no
//         print-mode set SET; anything else: refused for another reason
//   2     the ink slots the printer holds
//   3-6   INKS of the printer's slots, as in the request
//   7-10  its command-manual version, as at offset 50 of the status block
//   11-12 TAG of the request
// A printer checks the inks only when SLOTS is not 0 and the print-mode
// set only when SET is not 0xFFFF.
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
inline constexpr std::uint8_t kConfirm = 'C';

inline constexpr std::size_t kRequestSize = 3;
inline constexpr std::size_t kFrameHeaderSize = 7;
inline constexpr std::size_t kConfirmSize = 13;
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

// Settings check layout (offsets in the request; in the answer's payload).
inline constexpr std::size_t kConfirmUid = 3, kConfirmSlots = 4, kConfirmInks = 5, kConfirmSet = 9,
                             kConfirmTag = 11;
inline constexpr std::size_t kAnswerUid = 0, kAnswerVerdict = 1, kAnswerSlots = 2, kAnswerInks = 3,
                             kAnswerVersion = 7, kAnswerTag = 11;
inline constexpr std::uint16_t kNoPrintModeSet = 0xFFFF;
enum ConfirmVerdict : std::uint8_t { kAccepted = 0, kOtherModel = 1, kOtherInks = 2, kUnknownPrintModeSet = 3 };

// INKS of a slot list.
inline std::uint32_t InkSetCheck(const std::uint8_t* ids, std::size_t n)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= ids[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline void PutBe(std::uint8_t* out, std::uint32_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
}

inline std::uint32_t GetBe(const std::uint8_t* in, std::size_t width)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value = value << 8 | in[i];
    return value;
}

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
