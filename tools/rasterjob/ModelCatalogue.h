// The host's printer catalogue for the Mimaki plug-in: what each UID is and
// which classes the plug-in makes for it from a fresh printer (every key at
// its default).
#pragma once

#include <span>

namespace rasterjob {

struct CatalogueRow {
    int uid;
    const char* devParms;   // device-parameter class
    const char* driver;     // driver class
    const char* model;      // empty: no model of its own
};

// The row of a UID 0..255; UIDs without a model share one row.
const CatalogueRow& CatalogueEntry(int uid);

// A settings key whose value makes the plug-in build other classes for a
// UID than those of its row.
struct CatalogueVariant {
    int uid;
    const char* key;
    const char* value;
    const char* devParms;
    const char* driver;
};
std::span<const CatalogueVariant> CatalogueVariants();

} // namespace rasterjob
