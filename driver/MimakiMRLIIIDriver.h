// The MRL III raster driver: rows framed as QY/QR/QD blocks, bands closed by
// QR 1 1, always command set 4.
#pragma once

#include "driver/MimakiBaseDriver.h"

class CMimakiMRLIIIDriver : public CMimakiBasePrinterDriver {
public:
    using CMimakiBasePrinterDriver::CMimakiBasePrinterDriver;
    ~CMimakiMRLIIIDriver() override;

    int GetCommandSet() override;
    int OutputInit(int n1, int n2) override;
    void PrepareRowHeader(int nColourCode, int nByteCount) override;
};

// The same driver under the names of the models that use it.
class CMimakiSWJ320Driver : public CMimakiMRLIIIDriver {
public:
    using CMimakiMRLIIIDriver::CMimakiMRLIIIDriver;
};

class CMimakiTS3Driver : public CMimakiMRLIIIDriver {
public:
    using CMimakiMRLIIIDriver::CMimakiMRLIIIDriver;
};

class CMimakiSWJ320EADriver : public CMimakiMRLIIIDriver {
public:
    using CMimakiMRLIIIDriver::CMimakiMRLIIIDriver;
};
