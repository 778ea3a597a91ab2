// The job's settings from the queue's PPD and the job's options: the model
// UID, the settings keys the options set, the cut option, and where the
// printer's settings store is.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace rastertomimaki {

struct JobSettings {
    int uid = 0;
    std::vector<std::pair<std::string, std::string>> keys;  // settings to put, in order
    int cutOption = 0;
    bool cutGiven = false;      // by the job or as the queue's default; else the printer's default
    std::string settingsFile;   // empty: none
    std::string section;
    std::string report;         // JSON report file, empty: none
    // The white under the colour: 1 made from the colour, 0 none, -1 the PPD
    // offers no choice (the printer has no white channel of its own).
    int whiteUnder = -1;
};

// optionsText is the filter's options argument. False with one message on
// an unreadable PPD, a PPD without a model UID or an option value that is
// none of the option's choices.
bool ReadJobSettings(const std::string& ppdPath, const std::string& optionsText, JobSettings& out, std::string& error);

} // namespace rastertomimaki
