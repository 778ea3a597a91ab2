#include "tools/rasterjob/LayerOption.h"

#include <cerrno>
#include <cstdlib>

namespace rasterjob {

bool ParseLayerOption(const std::string& value, std::vector<std::pair<std::string, std::string>>& sets,
                      std::string& error)
{
    error = "--layer: expected K=KIND,SUB,COUNT,MODE,REVERSE (K 1 to 5, whole numbers), got \"" + value + "\"";
    const std::size_t eq = value.find('=');
    if (eq != 1 || value[0] < '1' || value[0] > '5')
        return false;
    std::vector<std::string> fields;
    for (std::size_t pos = eq + 1;;) {
        const std::size_t comma = value.find(',', pos);
        fields.push_back(value.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    if (fields.size() != 5)
        return false;
    for (const std::string& f : fields) {
        errno = 0;
        char* end = nullptr;
        const long v = f.empty() ? 0 : std::strtol(f.c_str(), &end, 10);
        if (f.empty() || *end || errno || v < -32768 || v > 32767)
            return false;
    }
    // Kind, sub-kind, count and reverse are layer parameters of the model;
    // the mode is the layer's mode. Its mirror flag keeps its own key
    // ("DP35_m_nMirrorK").
    const std::string k(1, value[0]);
    const std::string keys[5] = {"DP35_\"LP" + k + "_IDS\"", "DP35_\"LP" + k + "_PAS\"", "DP35_\"LP" + k + "_LB\"",
                                 "DP35_nLayer" + k + "Mode", "DP35_\"LP" + k + "_SB\""};
    for (int i = 0; i < 5; ++i)
        sets.emplace_back(keys[i], fields[static_cast<std::size_t>(i)]);
    error.clear();
    return true;
}

} // namespace rasterjob
