// Print-condition data: the block a printer reports about the print modes it
// accepts (carried as hex text), validated, merged and sorted into a list of
// conditions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/HostApi.h"

// The 14-byte header of a print-condition block, field by field.
struct MimakiPrintConditionsHeader {
    BYTE cmd1 = 0;          // 'Q'
    BYTE cmd2 = 0;          // 'I'
    BYTE headerLength = 0;  // header bytes after this one (0x0B)
    BYTE kind = 0;          // 0x20
    BYTE inf1 = 0;          // 2
    BYTE inf2 = 0;
    BYTE inf3 = 0;
    BYTE inf4 = 0;
    std::uint16_t conditionCount = 0;  // records that follow
    std::uint32_t dataSize = 0;        // bytes after the header

    static constexpr std::size_t kSize = 14;
    // Reads the header from up to kSize bytes; missing bytes read as 0.
    static MimakiPrintConditionsHeader FromBytes(const BYTE* data, std::size_t length);
    std::array<BYTE, kSize> ToBytes() const;
};

// One band division: a pass count the printer accepts for the condition.
struct MimakiBandDivision {
    BYTE pass = 0;
    BYTE bandAdjust = 0;
    std::int8_t highSpeed = 0;
    bool operator==(const MimakiBandDivision&) const = default;
};

struct MimakiPrintCondition {
    std::wstring inksetName;
    std::uint32_t printModeSetNumber = 0;
    std::wstring printModeSetName;
    // (actionCategoryLarge, actionCategorySmall) of every record merged here.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> actionCategorys;
    std::wstring printMethodDisplayName;
    std::uint32_t waveForm = 0;
    std::uint32_t yDpi = 0;  // horizontal resolution
    std::uint32_t xDpi = 0;  // vertical resolution
    std::uint32_t enableHQ = 0;
    std::uint32_t dotBit = 0;
    std::vector<MimakiBandDivision> bandDivisions;  // sorted by pass, highSpeed
    std::vector<BYTE> scanDirections;               // sorted
    std::vector<BYTE> overpaintNums;                // sorted
    std::vector<BYTE> overpaintLevels;              // stored order
};

struct MimakiPrintConditions {
    MimakiPrintConditionsHeader m_Header;
    std::vector<MimakiPrintCondition> m_Conditions;
};

// Byte layout of one record (offsets from the record's first byte).
namespace QiRecord {
inline constexpr std::size_t kInksetName = 2, kInksetNameWidth = 10;
inline constexpr std::size_t kPrintModeSetNumber = 12;
inline constexpr std::size_t kPrintModeSetName = 13, kPrintModeSetNameWidth = 32;
inline constexpr std::size_t kActionCategoryLarge = 45, kActionCategorySmall = 46;
inline constexpr std::size_t kPrintMethodDisplayName = 47, kPrintMethodDisplayNameWidth = 20;
inline constexpr std::size_t kWaveForm = 67, kYDpi = 68, kXDpi = 70, kEnableHQ = 72, kDotBit = 73;
inline constexpr std::size_t kFixedSize = 74;
// Each list: 2-byte block length, 1-byte count, then the entries.
inline constexpr std::size_t kListCountOffset = 2, kListHeaderSize = 3;
}  // namespace QiRecord

class CAnalyzeQI {
public:
    // Converts the hex text, checks the header and reads the records into
    // conditions.m_Conditions (merged and sorted). Every ink-set name not yet
    // contained in inksetNames is appended to it, comma-separated.
    // 1 when the block was valid and yielded at least one condition, else 0;
    // every failure is logged at level 4.
    static int Analyze(const std::wstring& hexText, std::wstring& inksetNames, MimakiPrintConditions& conditions);

    // The same for a block already in binary form.
    static int AnalyzeBytes(const BYTE* data, std::size_t length, std::wstring& inksetNames,
                            MimakiPrintConditions& conditions);

    // Reads conditionCount records starting at firstRecord, which must have
    // dataSize readable bytes; blockStart is used only for the positions in
    // the messages. Clears the list first. 1 when all records were read.
    static int AnalyzeCondition(const BYTE* blockStart, const BYTE* firstRecord, int conditionCount,
                                std::uint32_t dataSize, std::vector<MimakiPrintCondition>& conditions);
};

// Appends record, or merges its single action category into the first
// condition that matches it in everything but action category and display
// name.
void AddOrMergeCondition(std::vector<MimakiPrintCondition>& conditions, const MimakiPrintCondition& record);

// A readable multi-line description of one condition.
void AppendConditionText(const MimakiPrintCondition& condition, int index, std::wstring& text);
