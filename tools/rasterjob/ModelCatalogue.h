// The host's printer catalogue for the Mimaki plug-in: what each UID is and
// which classes the plug-in makes for it from a fresh printer (every key at
// its default).
#pragma once

namespace rasterjob {

struct CatalogueRow {
    int uid;
    const char* devParms;   // device-parameter class
    const char* driver;     // driver class
    const char* model;      // empty: no model of its own
};

// The row of a UID 0..255; UIDs without a model share one row.
const CatalogueRow& CatalogueEntry(int uid);

} // namespace rasterjob
