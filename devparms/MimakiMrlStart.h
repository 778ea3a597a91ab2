// The MRL III start sequence of the string-object models: each class fills
// the values below from its record and names its commands in order; one
// builder writes them. Parameter bytes a class does not set keep the
// printer's own setting (0xFF).
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "host/StrUtil.h"

class CPrinterDriverBase;
class CPrintEnv;
class CStrOb;
class CMimakiDevParmsBase;

namespace mimaki::mrl {

constexpr int kKeep = 0xFF;

// A heater: mode 0 keeps the printer's setting, 1 turns it off, any other
// mode sets the temperature.
struct Heater {
    int mode = 0;
    int value = 0;
};

struct Values {
    // "QC": cut, dry times, vacuum, margins, top blower.
    int cut = kKeep;
    int scanDry = kKeep;        // tenths of a second, low byte
    bool sendJobDry = false;    // job-end dry time in seconds (16 bits)
    int jobDry = 0;
    int vacuum = kKeep;
    bool setLeft = false, setRight = false;
    int left = 0, right = 0;    // millimetres, signed
    int topBlower = kKeep;
    // "QA": media feed correction when the mode is 1.
    int feedMode = 0, feedValue = 0;
    // "QB": the colour id of each slot, unless "bUseQBCommand" is 0.
    const std::vector<int>* colourIds = nullptr;
    // "QP": the print mode.
    int dotCode = kKeep, pass = 0, hSpeedMode = 0, direction = 0, inkLayers = 0;
    bool sendWaveShape = false;
    int waveShape = 0, bandAdjust = 0, printModeSet = 0;
    // "QK": pre, platen (print) and after heaters; off time (-2 keeps it).
    Heater heaters[3];
    int offTime = -2;
    // Second "QK" form (model with four post heaters): post 2 to 4, dry heater.
    Heater moreHeaters[4];
    bool noHeaters = false; // the model has no heaters at all
    // "QH": head selection, when the model offers it.
    bool headsSelectable = false;
    int headSelection = 0;
    // "PP": feed speed when its mode is set.
    int feedSpeedMode = 0, feedSpeedValue = 0;
    // "PB": high-quality printing.
    int hq = kKeep;
    // "QV": UV light, "PL": white and layer settings, then the operator's
    // layer-offset command text; "PO": power off; "PF": media loosening.
    std::vector<int> uv, layer;
    std::string offsetCommand;
    int powerOff = kKeep, powerOffMinutes = 0;
    int loosening = 0, looseningValue = 0;
    // "PP" of the early string-object models: fan, standby time, colour pattern.
    std::vector<int> machine;
    // "QS": the job-size template for the host (no gap between jobs).
    bool avoidGap = false;
};

enum class Cmd { QC, QA, QB, QP, QK, QK2, PS, QS, QH, PP, PB, QV, PL, PO, PF, PPMachine };

// One command in the escaped template notation (empty when the values do
// not ask for it).
std::string Command(Cmd c, const Values& v, CPrinterDriverBase* driver);

// "Q@" 0 and the named commands, in the escaped template notation.
std::string Commands(std::initializer_list<Cmd> order, const Values& v, CPrinterDriverBase* driver);

// Fills the string object's job values from the driver and the settings
// ("nWaitSecondsBeforeJob", "nRedirectMode" with its mirror file), sends it
// with the driver's operator<< and answers its result.
int Send(CStrOb& strOb, const std::string& commands, bool avoidGap, CPrinterDriverBase* driver);

// Item index (from 0) of the comma-separated settings list key as an
// integer, or fallback when the list has no such item.
int ListValue(const CPrintEnv* env, const std::wstring& key, int index, int fallback);

// The cut byte: 0xFF without a cutter, else the job's option with 2
// replaced by the operator's cut setting.
int CutByte(bool hasCutter, int deviceCut, CPrinterDriverBase* driver);

// What the MRL III roll records share under one naming (the TS300P and the
// JV300/UJV families): cut, dry times, margins, media feed, print mode,
// feed speed, gap between jobs, colour ids.
template <class C>
Values RecordValues(C& p, CPrinterDriverBase* driver, bool hasCutter)
{
    Values v;
    v.cut = CutByte(hasCutter, p.bCut, driver);
    v.scanDry = p.m_nDryTimeMode == 1 ? SaturatedInt(p.m_dDryTimeValue100Msec) : kKeep;
    v.sendJobDry = p.m_nDryTimeModeJob == 1;
    v.jobDry = SaturatedInt(p.m_dDryTimeValueJob);
    v.setLeft = p.m_bSetLeftMargin;
    v.left = p.m_nLeftMargin;
    v.setRight = p.m_bSetRightMargin;
    v.right = p.m_nRightMargin;
    v.feedMode = p.m_nMediaFeedMode;
    v.feedValue = p.m_nMediaFeedValue;
    v.pass = p.nPass;
    v.direction = p.m_nDirection;
    v.inkLayers = p.m_nInkLayers;
    v.waveShape = p.m_nWaveShape;
    v.feedSpeedMode = p.m_nFeedSpeedMode;
    v.feedSpeedValue = p.m_nFeedSpeedValue;
    v.avoidGap = p.bAvoidGapBetweenJobs;
    v.colourIds = &p.MimakiColorIDList;
    return v;
}

// The roll models with heaters (13, 15 and the string-object models with
// their fields): cut, dry times, feed correction, print mode, heaters, off
// time, fan, standby time and colour pattern.
template <class C>
Values RollValues(C& p, CPrinterDriverBase* driver, int passes)
{
    Values v;
    v.cut = CutByte(true, p.bCut, driver);
    v.scanDry = p.bSendDryTimeScan ? p.nDryTimeScan : kKeep;
    v.sendJobDry = p.bSendDryTimeEnd;
    v.jobDry = p.nDryTimeEnd;
    v.feedMode = p.bSendFeedCorrection ? 1 : 0;
    v.feedValue = p.nFeedCorrection;
    v.dotCode = p.nDotSize;
    v.pass = passes;
    v.direction = p.nPrintDirection;
    v.inkLayers = p.bSendOverprint ? p.nOverprint : 0;
    // Heaters: the global switch off keeps the printer's settings; a heater
    // not used is turned off.
    const int on = p.bUseHeaterGlobal ? 2 : 0;
    v.heaters[0] = {p.bUseHeaterGlobal && !p.bUsePreHeater ? 1 : on, p.nPreHeaterTemp};
    v.heaters[1] = {p.bUseHeaterGlobal && !p.bUsePrintHeater ? 1 : on, p.nPrintHeaterTemp};
    v.heaters[2] = {p.bUseHeaterGlobal && !p.bUseAfterHeater ? 1 : on, p.nAfterHeaterTemp};
    v.offTime = p.bOFFTime ? p.nOFFTime : -2;
    v.machine = {p.bAbsorbationFan ? p.nAbsorbationFanLevel : kKeep, p.bStandByTime ? p.nStandByTime : kKeep,
                 p.bColorPattern};
    return v;
}

} // namespace mimaki::mrl
