#include "tools/rasterjob/InkReach.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "host/HostJob.h"
#include "host/Log.h"
#include "host/OutputSink.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/StrUtil.h"
#include "host/UnivDevParmsBase.h"
#include "tools/rasterjob/Plugin.h"
#include "tools/streamdump/StreamParser.h"

namespace rasterjob {

namespace {

// The colour byte of a channel without a printer colour.
constexpr int kNoPrinterColour = 99;

enum class Verdict { Printed, NoColour, NoLayer, Unknown };

// Channel `inked` solid, the others blank, in a job of a few rows.
Verdict ProbeChannel(const Plugin& plugin, const CPrintEnv& env, const CPrintJobOpenContext& job, std::size_t inked,
                     std::wstring& layers, std::wstring& colours)
{
    CPrintEnv copy = env;
    // Nothing of the probe may reach a mirror file or wait before the job.
    copy.PutInt(L"nRedirectMode", 0);
    copy.PutInt(L"nWaitSecondsBeforeJob", 0);
    std::unique_ptr<IPrinterDriver> object(plugin.Create(&copy));
    auto* driver = dynamic_cast<CPrinterDriverBase*>(object.get());
    if (!driver)
        return Verdict::Unknown;
    if (CUnivDevParmsBase* parms = driver->GetDevParms()) {
        layers = parms->RoutingSettings(CUnivDevParmsBase::kRoutingLayers);
        colours = parms->RoutingSettings(CUnivDevParmsBase::kRoutingColours);
    }
    CMemorySink sink;
    driver->SetOutputSink(&sink);
    CPrintJobOpenContext ctx = job;
    ctx.pixelWidth = std::min(job.pixelWidth, 256);
    ctx.rowCount = 4;
    ctx.jobName = L"probe";
    bool ok = HostJobBegin(*driver, ctx) != 0;
    for (int row = 0; ok && row < ctx.rowCount; ++row) {
        for (std::size_t c = 0; c < ctx.colourCodes.size(); ++c) {
            CRasterPixelBuffer* buffer = driver->GetRasterPixelBufferByIndex(static_cast<int>(c));
            if (!buffer) {
                ok = false;
                break;
            }
            std::memset(buffer->pWriteRow(), c == inked ? 0xFF : 0, buffer->BytesPerRow());
        }
        ok = ok && driver->OutputOneRow() != 0;
    }
    if (!HostJobEnd(*driver, ok))
        return Verdict::Unknown;
    streamparse::ParseOptions options;
    options.keepRows = false;
    const streamparse::ParseResult parsed = streamparse::ParseStream(sink.Data(), options);
    if (!parsed.ok())
        return Verdict::Unknown;
    bool underNoColour = false;
    for (const streamparse::Plane& plane : parsed.planes) {
        if (plane.firstInkRow < 0)
            continue;
        if (plane.key.colour != kNoPrinterColour)
            return Verdict::Printed;
        underNoColour = true;
    }
    return underNoColour ? Verdict::NoColour : Verdict::NoLayer;
}

} // namespace

std::vector<ChannelReach> ProbeInkReach(const Plugin& plugin, const CPrintEnv& env, const CPrintJobOpenContext& job)
{
    // The probes' drivers log what the real one logs already.
    const int level = CVoLogReporter::LoggingLevel();
    CVoLogReporter::SetLoggingLevel(-1);
    std::vector<ChannelReach> reach;
    for (std::size_t c = 0; c < job.colourCodes.size(); ++c) {
        std::wstring layers, colours;
        const Verdict verdict = ProbeChannel(plugin, env, job, c, layers, colours);
        if (verdict == Verdict::Unknown) {
            reach.clear();
            break;
        }
        ChannelReach r;
        r.index = static_cast<int>(c);
        r.colourCode = job.colourCodes[c];
        const std::string code = std::to_string(r.colourCode);
        if (verdict == Verdict::NoColour)
            r.why = "colour code " + code + " goes out under colour byte 99, which no printer ink has: " +
                    (colours.empty() ? "its command set (nFunctModeId=" +
                                           std::to_string(env.GetInt(L"nFunctModeId", 0)) +
                                           ") has no printer colour for it; choose another command set or channel"
                                     : "give it a slot and colour id (" + WideToUtf8(colours) + ")");
        else if (verdict == Verdict::NoLayer)
            r.why = "colour code " + code + " goes into no layer the printer gets: " +
                    (layers.empty() ? std::string("the driver sends no ink of it")
                                    : "change the layer settings (" + WideToUtf8(layers) + ")");
        reach.push_back(std::move(r));
    }
    CVoLogReporter::SetLoggingLevel(level);
    return reach;
}

std::string NoInkReason(const std::vector<ChannelReach>& reach, std::vector<ChannelReach>& dropped,
                        const std::string& outcome)
{
    dropped.clear();
    for (const ChannelReach& r : reach)
        if (!r.why.empty())
            dropped.push_back(r);
    if (reach.empty() || dropped.size() != reach.size())
        return {};
    std::string line = "no channel of this job reaches the printer, so it would print nothing; " + outcome;
    for (const ChannelReach& r : dropped)
        line += "; channel " + std::to_string(r.index) + ": " + r.why;
    return line;
}

} // namespace rasterjob
