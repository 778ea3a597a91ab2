#include "devparms/MimakiMrlStart.h"

#include "devparms/MimakiCommands.h"
#include "host/Log.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/StrOb.h"
#include "host/StrUtil.h"

namespace mimaki::mrl {

namespace {

int HeaterByte(const Heater& h) { return h.mode == 0 ? kKeep : h.mode == 1 ? 0 : h.value; }

// The left or right margin: sign and magnitude, or 0xFF and 0 when unset.
void Margin(cmd::Text& t, bool set, int mm)
{
    if (set)
        t.Signed(mm);
    else
        t.Byte(kKeep).Byte(0);
}

void Write(cmd::Text& t, Cmd c, const Values& v, const cmd::Job& job, const CPrintEnv* env)
{
    switch (c) {
    case Cmd::QC:
        t.Raw("QC").Byte(12).Byte(0).Byte(v.cut).Byte(v.scanDry).WordIf(v.sendJobDry, v.jobDry).Byte(kKeep);
        t.Byte(v.vacuum);
        Margin(t, v.setLeft, v.left);
        Margin(t, v.setRight, v.right);
        t.Byte(v.topBlower);
        break;
    case Cmd::QA:
        if (v.feedMode == 1)
            t.Raw("QA\\x03").SignedWord(v.feedValue);
        break;
    case Cmd::QB:
        if (v.colourIds && (!env || env->GetInt(L"bUseQBCommand", 1) != 0)) {
            t.Raw("QB").Byte(static_cast<int>(v.colourIds->size()));
            for (const int id : *v.colourIds)
                t.Byte(id);
        }
        break;
    case Cmd::QP:
        t.Raw("QP").Byte(18).Byte(v.dotCode).Word(job.dpiVert).Word(job.dpiHorz).Byte(v.pass).Byte(v.hSpeedMode);
        t.Byte(v.direction != 0 ? 1 : 0).Byte(v.inkLayers == 0 ? kKeep : v.inkLayers).Byte(kKeep);
        t.Byte(v.sendWaveShape ? v.waveShape : 0).Byte(0).Byte(kKeep).Signed(v.bandAdjust).Byte(v.printModeSet);
        t.Byte(0).Byte(0);
        break;
    case Cmd::QK:
        t.Raw("QK").Byte(9);
        for (const Heater& h : v.heaters)
            t.Byte(v.noHeaters ? kKeep : HeaterByte(h));
        t.Byte(kKeep).Byte(kKeep).Byte(v.offTime == -2 ? kKeep : 0);
        t.Byte(v.offTime >= 0 ? v.offTime * 10 : kKeep).Byte(kKeep).Byte(kKeep);
        break;
    case Cmd::QK2:
        // Second form: form number 1, then post heaters 2 to 4 and the dry heater.
        t.Raw("QK").Byte(5).Byte(1);
        for (const Heater& h : v.moreHeaters)
            t.Byte(v.noHeaters ? kKeep : HeaterByte(h));
        break;
    case Cmd::PS:
        t.Raw("PS\\x01\\x00"); // no head cleaning yet: the job's end asks for it
        break;
    case Cmd::QS:
        if (v.avoidGap)
            t.Raw(kJobSizeTemplate);
        break;
    case Cmd::QH:
        if (v.headsSelectable)
            t.Raw(FormatTemplate("QH\\x%02x\\x%02x", {1, v.headSelection}));
        break;
    case Cmd::PP:
        t.Raw("PP").Byte(4).Byte(kKeep).Byte(kKeep).ByteIf(v.feedSpeedMode != 0, v.feedSpeedValue).Byte(kKeep);
        break;
    case Cmd::PB:
        t.Raw("PB").Byte(1).Byte(v.hq);
        break;
    case Cmd::QV:
    case Cmd::PL: {
        const std::vector<int>& bytes = c == Cmd::QV ? v.uv : v.layer;
        t.Raw(c == Cmd::QV ? "QV" : "PL").Byte(static_cast<int>(bytes.size()));
        for (const int b : bytes)
            t.Byte(b);
        if (c == Cmd::PL)
            t.Raw(v.offsetCommand);
        break;
    }
    case Cmd::PO:
        t.Raw("PO").Byte(3).Byte(v.powerOff).Word(v.powerOffMinutes);
        break;
    case Cmd::PPMachine:
        t.Raw("PP").Byte(static_cast<int>(v.machine.size()));
        for (const int b : v.machine)
            t.Byte(b);
        break;
    case Cmd::PF:
        t.Raw(FormatTemplate("PF\\x7\\x%02x\\xFF\\xFF\\x%02x\\x%02x\\x%02x\\x%02x",
                             {v.loosening, v.looseningValue, v.looseningValue >> 8, v.looseningValue >> 16,
                              v.looseningValue >> 24}));
        break;
    }
}

} // namespace

std::string Command(Cmd c, const Values& v, CPrinterDriverBase* driver)
{
    const cmd::Job job = cmd::JobOf(driver);
    cmd::Text t;
    Write(t, c, v, job, job.env);
    return t.Template();
}

std::string Commands(std::initializer_list<Cmd> order, const Values& v, CPrinterDriverBase* driver)
{
    const cmd::Job job = cmd::JobOf(driver);
    cmd::Text t;
    t.Raw("Q@\\x00");
    for (const Cmd c : order)
        Write(t, c, v, job, job.env);
    return t.Template();
}

int ListValue(const CPrintEnv* env, const std::wstring& key, int index, int fallback)
{
    if (!env || index < 0)
        return fallback;
    const std::vector<std::wstring> items = Split(env->GetString(key.c_str(), L""), L',', 1);
    return static_cast<std::size_t>(index) < items.size() ? IntFromString(items[static_cast<std::size_t>(index)])
                                                           : fallback;
}

int CutByte(bool hasCutter, int deviceCut, CPrinterDriverBase* driver)
{
    return hasCutter ? cmd::CutOf(cmd::JobOf(driver), deviceCut) : kKeep;
}

int Send(CStrOb& strOb, const std::string& commands, bool avoidGap, CPrinterDriverBase* driver)
{
    if (!driver)
        return 0;
    const CPrintEnv* env = driver->GetPrintEnv();
    strOb.m_strCommands = commands;
    strOb.m_nOneCopyPixelHeight = driver->GetOneCopyPixelHeight();
    strOb.m_nOutputPixelWidth = driver->GetOutputPixelWidth();
    strOb.m_bAvoidGapBetweenJobs = avoidGap ? 1 : 0;
    strOb.m_nWaitSecondsBeforeJob = env ? env->GetInt(L"nWaitSecondsBeforeJob", 0) : 0;
    strOb.m_nDriverValue = driver->GetFunctMode();
    strOb.m_nRedirectMode = env ? env->GetInt(L"nRedirectMode", 0) : 0;
    if (strOb.m_nRedirectMode == 1 || strOb.m_nRedirectMode == 2) {
        // "[printer]job_usbmirror.prn" in the user-data folder.
        // Printer and job names may hold characters no file name can ("/"
        // of a job named after a path): they are made safe, never fatal.
        static constexpr char kSuffix[] = "_usbmirror.prn";
        const std::wstring name = L"[" + (env ? env->Name() : std::wstring()) + L"]" + driver->GetJobName();
        strOb.m_strMirrorPath = BuildUserDataPathName(SafeFileName(WideToUtf8(name) + kSuffix, sizeof kSuffix - 1), 0);
        CVoLog log;
        log->ReportStatusPF("%s: Mirror USB data to file %s\n", 8, __FILE__, __LINE__, "mimaki::mrl::Send",
                            strOb.m_strMirrorPath.c_str());
    }
    return *driver << strOb;
}

} // namespace mimaki::mrl
