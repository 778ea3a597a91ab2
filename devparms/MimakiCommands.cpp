#include "devparms/MimakiCommands.h"

#include <cstdio>
#include <cstdlib>

#include "driver/MimakiBaseDriver.h"
#include "host/PreProcess.h"
#include "host/PrinterDriverBase.h"
#include "host/StrUtil.h"

namespace mimaki::cmd {

Text& Text::Raw(const std::string& tmpl)
{
    m_text += tmpl;
    return *this;
}

Text& Text::Byte(int value)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02x", value & 0xFF);
    m_text += buf;
    return *this;
}

Text& Text::Word(int value) { return Byte(value).Byte(value >> 8); }

Text& Text::Dword(int value) { return Word(value).Word(value >> 16); }

Text& Text::Signed(int value) { return Byte(value < 0 ? 1 : 0).Byte(std::abs(value)); }

Text& Text::SignedWord(int value) { return Byte(value < 0 ? 1 : 0).Word(std::abs(value)); }

Text& Text::WordIf(bool send, int value) { return send ? Word(value) : Byte(kKeep).Byte(kKeep); }

std::string Text::Bytes() const { return preProcess(m_text); }

Job JobOf(CPrinterDriverBase* driver)
{
    Job job;
    if (!driver)
        return job;
    job.dpiHorz = SaturatedInt(driver->dpiHorzDevice());
    job.dpiVert = SaturatedInt(driver->dpiVertDevice());
    job.cutOption = driver->GetCutOption();
    auto* mimaki = dynamic_cast<CMimakiLegacyBasePrinterDriver*>(driver);
    job.commandSet = mimaki ? mimaki->GetCommandSet() : driver->GetFunctMode();
    job.cutAfterEnd = driver->GetJobEndAction() == L"EndeCutAfter";
    job.env = driver->GetPrintEnv();
    return job;
}

int CutOf(const Job& job, int deviceCut)
{
    if (job.cutOption == 2)
        return deviceCut ? 1 : 0;
    return job.cutOption ? 1 : 0;
}

} // namespace mimaki::cmd
