// --layer K=KIND,SUB,COUNT,MODE,REVERSE: one layer of the slot-file
// flatbeds (UJF x042 MkII, UJF-7151) in the settings keys their parameters
// read it from.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace rasterjob {

// Appends the five keys of layer K (1 to 5) to sets. Answers false with a
// one-line message when the value is malformed.
bool ParseLayerOption(const std::string& value, std::vector<std::pair<std::string, std::string>>& sets,
                      std::string& error);

} // namespace rasterjob
