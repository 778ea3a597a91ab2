#include "devparms/MimakiLayerStart.h"

#include "devparms/MimakiCommands.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/StrOb.h"

namespace mimaki::layer {

Ink InkOfKind(int kind)
{
    switch (kind) {
    case 1: case 3: case 4: case 11: case 19: case 20: case 21:
    case 26: case 27: case 28: case 29: case 30: case 31: case 32: case 33:
        return kWhite;
    case 2: case 7: case 24: case 25:
        return kPrimer;
    case 5: case 6: case 8: case 9: case 12: case 13: case 14: case 15: case 16: case 17: case 18: case 22:
        return kVarnish;
    default:
        return kColour;
    }
}

namespace {

void Write(cmd::Text& t, Cmd c, const Values& v, const cmd::Job& job, CPrinterDriverBase* driver)
{
    switch (c) {
    case Cmd::GR:
        t.Raw("GR\\x00");
        break;
    case Cmd::QM:
        t.Raw("QM").Byte(4).Word(v.commandVersion).Byte(v.layerCount).Byte(v.position);
        break;
    case Cmd::QP:
        t.Raw("QP").Byte(9).Byte(v.dotSize).Word(job.dpiVert).Word(job.dpiHorz).Byte(v.pass).Byte(v.direction);
        t.Byte(v.layers).Byte(v.waveShape);
        break;
    case Cmd::QA:
        if (v.mediaCorrection == 1)
            t.Raw("QA\\003").SignedWord(v.mediaCorrectionValue);
        break;
    case Cmd::QC:
        t.Raw("QC").Byte(2).Byte(v.refresh).Byte(v.reversed ? 1 : 0);
        break;
    case Cmd::QH:
        t.Raw("QH\\001").Byte(v.head);
        break;
    case Cmd::PB:
        t.Raw("PB\\001").Byte(v.band);
        break;
    case Cmd::PO:
        t.Raw("PO\\003").Byte(v.powerOff).Word(v.powerOffMinutes);
        break;
    case Cmd::QT:
        t.Raw("QT\\005").Byte(v.uvLeft).Byte(v.uvRight).Byte(v.uvSpot);
        t.Byte(v.uvPowers.empty() ? kKeep : v.uvPowers[0]).Byte(v.uvPowers.size() < 2 ? kKeep : v.uvPowers[1]);
        break;
    case Cmd::PI:
        t.Raw("PI\\001").Byte(v.positionKind);
        break;
    case Cmd::QX:
        t.Raw("QX\\005\\001\\000\\000\\000\\000");
        break;
    case Cmd::QV:
        t.Raw("QV").Byte(static_cast<int>(v.uvPowers.size()));
        for (const int p : v.uvPowers)
            t.Byte(p);
        break;
    case Cmd::QS:
        if (v.jobSize)
            t.Raw(kJobSizeTemplate);
        break;
    case Cmd::QB:
        if (v.colourIds && (!job.env || job.env->GetInt(L"bUseQBCommand", 1) != 0)) {
            t.Raw("QB").Byte(static_cast<int>(v.colourIds->size()));
            for (const int id : *v.colourIds)
                t.Byte(id);
        }
        break;
    case Cmd::PD:
        t.Raw("PD").Byte(2).Byte(v.passItem).Byte(v.dotSize);
        break;
    case Cmd::QL:
        t.Raw("QL").Byte(static_cast<int>(v.layerParms.size()));
        for (const int p : v.layerParms)
            t.Byte(p);
        break;
    case Cmd::RollQC:
        t.Raw(mrl::Command(mrl::Cmd::QC, v.roll, driver));
        break;
    case Cmd::RollQK:
        t.Raw(mrl::Command(mrl::Cmd::QK, v.roll, driver));
        break;
    case Cmd::RollPP:
        t.Raw(mrl::Command(mrl::Cmd::PP, v.roll, driver));
        break;
    case Cmd::PX:
        t.Raw("PX\\001").Byte(v.head);
        break;
    case Cmd::PL:
        t.Raw("PL\\001").Byte(v.modelType);
        break;
    }
}

} // namespace

std::string Start(std::initializer_list<Cmd> before, std::initializer_list<Cmd> after, const Values& v,
                  CPrinterDriverBase* driver)
{
    const cmd::Job job = cmd::JobOf(driver);
    cmd::Text t;
    for (const Cmd c : before)
        Write(t, c, v, job, driver);
    t.Raw("Q@\\000");
    for (const Cmd c : after)
        Write(t, c, v, job, driver);
    // A plain string has no host to fill the job size: it is filled here.
    CStrOb ob;
    ob.m_strCommands = t.Template();
    if (driver) {
        ob.m_nOneCopyPixelHeight = driver->GetOneCopyPixelHeight();
        ob.m_nOutputPixelWidth = driver->GetOutputPixelWidth();
    }
    return ob.Bytes();
}

std::string End(int flag)
{
    return preProcess(flag ? "QX\\005\\001\\000\\000\\000\\000QE\\000" : "QE\\000");
}

} // namespace mimaki::layer
