// PPDs made from the plug-in's model table and parameter classes: one per
// model UID that prints, with the model's resolutions, page sizes and
// margins, cut option, print modes and every settings key it can set.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

class CPrintEnv;

namespace mimakippd {

struct Ppd {
    int uid = 0;
    std::string model;     // as the model table names it
    std::string fileName;  // "mimaki-ujv55.ppd"
    std::string text;
};

// The PPD of the printer env describes (PrEnv_UID and its settings). False
// with a message when the UID has no model or the plug-in makes no driver
// for it. settingsFile and section, when given, are named in the PPD so that
// the filter reads the same store.
bool MakePpd(const CPrintEnv& env, const std::string& settingsFile, const std::string& section, Ppd& out,
             std::string& error);

// The UIDs of the model table whose printer the plug-in makes, in order.
std::vector<int> PrintingUids();

// The command: exit status 0 done, 1 failed, 2 usage.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace mimakippd
