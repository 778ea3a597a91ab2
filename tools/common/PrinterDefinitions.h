// The printer definitions a host supplies with each printer: the
// model-definition keys of every UID, from data/printer_definitions.ini.
// They are stand-ins, not the printer maker's data, and say so wherever a
// user sees them.
#pragma once

#include <string>
#include <utility>
#include <vector>

class CPrintEnv;

namespace printerdefs {

struct Definition {
    int uid = -1;
    std::string model;   // "pdLicName"
    std::string source;  // "stand-in"
    std::vector<std::pair<std::wstring, std::wstring>> keys;
};

// The definition of a UID (its low 8 bits), or null when there is none.
const Definition* Find(int uid);
// Every definition, by UID.
const std::vector<Definition>& All();

// Puts the definition's keys the printer's section does not hold yet into
// env (the printer's own settings win); answers the keys it added, so that a
// tool that writes the section back can leave them out.
std::vector<std::wstring> Apply(CPrintEnv& env, int uid);

} // namespace printerdefs
