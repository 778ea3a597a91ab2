// printersim: a virtual Mimaki printer. It takes jobs on a TCP port (or a
// pseudo-terminal standing in for a USB printer device) one at a time as a
// printer does, keeps and decodes each, and answers the status and
// print-condition queries of host/PortProtocol.h with the data of the model
// it impersonates. On request it misbehaves as real printers do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace printersim {

enum class Misbehaviour {
    None,
    SlowRead,     // jobs: read value bytes per second
    StopReading,  // jobs: read value bytes, then nothing more
    CloseAfter,   // jobs: close after value bytes; queries: after value bytes of the answer
    Reset,        // the same, resetting the connection
    Empty,        // queries: an answer of no bytes
    Garbage,      // queries: bytes that are no answer
    Silent,       // queries: never answered
};

struct Options {
    int uid = -1;
    std::string listen = "127.0.0.1:9100";
    bool pty = false;             // a pseudo-terminal instead of TCP
    std::string jobsDir;          // keep streams and previews here
    std::uint64_t previewLimit = std::uint64_t(256) << 20;  // stream bytes up to which previews are made
    std::vector<std::uint8_t> dotVolumes;  // 360 bytes, big-endian, as sent; empty: the model's
    std::vector<int> absentSlots;
    std::string version = "1.20";
    std::size_t statusSize = 1024;
    std::string blockFile;        // print-condition block as hex text
    std::string embedded;         // or an embedded entry by name
    std::vector<std::string> messages;     // 'M' frames before every answer
    std::vector<std::string> statusTexts;  // 'T' frames
    std::string refusal;          // answer every query with this refusal
    std::vector<int> inks;        // Mimaki colour id of each slot; empty: the model's definitions
    bool inksGiven = false;       // --inks given (an empty list: no slots)
    int verdict = -1;             // the settings check's verdict, whatever was asked; -1: judged
    Misbehaviour misbehave = Misbehaviour::None;
    std::uint64_t misbehaveValue = 0;
    bool quiet = false;           // no line per query
};

// Parses the command line; false with a message on a usage error.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);
extern const char kUsage[];

// Runs until a stop signal; answers the exit status.
int Run(const Options& options);

} // namespace printersim
