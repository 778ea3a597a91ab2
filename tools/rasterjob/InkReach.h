// Which channels of a job reach the printer, and why the others do not.
// Every driver's job goes through here, whatever its model: each channel
// alone, solid, is printed in a small job through a driver the plug-in
// makes from the same settings, and the stream is read as the printer
// reads it.
#pragma once

#include <string>
#include <vector>

class CPrintEnv;
struct CPrintJobOpenContext;

namespace rasterjob {

class Plugin;

struct ChannelReach {
    int index = 0;
    int colourCode = 0;
    std::string why; // empty: the printer gets its ink
};

// One entry per channel of job; none when the stream cannot be judged (a
// driver the plug-in does not make for a small job, or a stream the decoder
// does not know).
std::vector<ChannelReach> ProbeInkReach(const Plugin& plugin, const CPrintEnv& env, const CPrintJobOpenContext& job);

// The channels of reach that do not reach the printer, and, when that is
// every one of them, the one line that refuses the job (naming the setting
// to change, `outcome` saying what became of the job); empty when it prints.
std::string NoInkReason(const std::vector<ChannelReach>& reach, std::vector<ChannelReach>& dropped,
                        const std::string& outcome);

} // namespace rasterjob
