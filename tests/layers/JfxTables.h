// The JFX drivers' tables as specified (data/jfx_layer_kinds.md and
// data/jfx_codes.md), read once for the catalogue's and the drivers' tests.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace jfxdoc {

extern const char* const kTypes[7]; // "WW" ... "WVP", printer types 0..6

struct Tables {
    std::map<int, std::string> label;  // kind -> label
    std::set<int> jfx200Only;          // kinds marked "(JFX200)"
    std::map<int, int> record;         // kind -> record
    std::set<int> reversed[2];         // underprint kinds: [0] JFX500 and MK series, [1] JFX200
    // (type, model flag column) -> kinds not INLINE, INLINE
    std::map<std::pair<int, std::string>, std::pair<std::vector<int>, std::vector<int>>> lists;
    struct Dist {
        std::vector<int> kinds[2]; // [0] JFX500, [1] JFX200
        int code = -1;             // -1: the channel's own
        int fallback[2] = {-1, -1};
    };
    std::map<int, Dist> dist; // channel identifier (-1: any other) -> targets
    struct CodeKey {
        int id;
        std::string key;
        int fallback;
    };
    std::map<int, std::vector<CodeKey>> initCodes; // JFX500 form, by type
    std::map<int, std::map<int, int>> afterwards;  // type -> identifier -> code when still 99
    std::map<int, int> construction;               // identifier -> code
    // The spot code of an underprint row: [mirrored] record -> identifiers
    // (-25 the primer code, -30 the varnish code); record -1: any other.
    std::map<int, std::vector<int>> spot[2];
};

const Tables& Doc();

} // namespace jfxdoc
