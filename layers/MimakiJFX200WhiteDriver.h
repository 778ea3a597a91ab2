// The JFX200's layered driver: the JFX500's with the double-white kinds,
// two white codes, codes read without the JFX500's fall-backs, and pages
// printed mirrored when the print area is split.
#pragma once

#include <vector>

#include "layers/MimakiJFX500WhiteDriver.h"

class CMimakiWhitePrinterDriverJFX200 : public CMimakiWhitePrinterDriverJFX500Base {
public:
    CMimakiWhitePrinterDriverJFX200(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);

    int OutputInit(int n1, int n2) override;
    void InitColourCodes(CPrintEnv* pEnv) override;

    // The printer codes the page's ink slots use, sorted, each once.
    const std::vector<int>& UsedPrinterCodes() const { return m_usedCodes; }

protected:
    // Double white: records 26 to 31 get white rows under both white codes.
    void RecordCodes(int nRecord, int nId, int& nCode1, int& nCode2) override;

private:
    int m_nWhiteCode1 = 255, m_nWhiteCode2 = 255;
    std::vector<int> m_usedCodes;
};
