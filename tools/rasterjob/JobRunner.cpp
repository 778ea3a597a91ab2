#include "tools/rasterjob/JobRunner.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "host/HostJob.h"
#include "host/OutputSink.h"
#include "host/PrinterDriverBase.h"
#include "host/StrUtil.h"
#include "host/UnivDevParmsBase.h"
#include "tools/rasterjob/Screen.h"

namespace rasterjob {

namespace {

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

ProgressLine::ProgressLine(bool enabled, int totalRows, std::size_t bytesPerRow)
    : m_enabled(enabled && ::isatty(2)), m_total(totalRows), m_bytesPerRow(bytesPerRow),
      m_start(std::chrono::steady_clock::now())
{
}

void ProgressLine::Rows(int rows)
{
    m_rows = rows;
    if (!m_enabled)
        return;
    const double t = Seconds(m_start);
    if (t < 1.0 || t - m_last < 0.1)
        return;
    m_last = t;
    Draw(0);
}

void ProgressLine::Waiting(double seconds)
{
    if (m_enabled)
        Draw(seconds);
}

void ProgressLine::Finish()
{
    if (!m_enabled || !m_drawn)
        return;
    Draw(0);
    std::fputc('\n', stderr);
    m_drawn = false;
}

void ProgressLine::Draw(double waiting)
{
    constexpr int kBar = 30;
    const double part = m_total ? static_cast<double>(m_rows) / m_total : 1.0;
    const int fill = static_cast<int>(part * kBar);
    char bar[kBar + 1];
    for (int i = 0; i < kBar; ++i)
        bar[i] = i < fill ? '#' : '.';
    bar[kBar] = 0;
    const double t = Seconds(m_start);
    const double mb = static_cast<double>(m_rows) * static_cast<double>(m_bytesPerRow) / 1e6;
    if (waiting > 0)
        std::fprintf(stderr, "\r[%s] %3d%%  %d/%d rows  waiting for the printer to take data: %.0f s ", bar,
                     static_cast<int>(part * 100), m_rows, m_total, waiting);
    else
        std::fprintf(stderr, "\r[%s] %3d%%  %d/%d rows  %.1f MB/s%36s", bar, static_cast<int>(part * 100), m_rows,
                     m_total, t > 0 ? mb / t : 0.0, "");
    std::fflush(stderr);
    m_drawn = true;
}

JobResult RunDriverJob(CPrinterDriverBase& driver, CPrintJobOpenContext& context,
                       std::vector<std::unique_ptr<IRowSource>>& sources, const FeedOptions& options)
{
    JobResult result;
    const auto start = std::chrono::steady_clock::now();
    const std::size_t channels = context.colourCodes.size();
    const int bytesPerRow = BytesPerRow(context.pixelWidth, context.bitsPerPixel);
    const int height = context.rowCount;
    IOutputSink* sink = driver.GetOutputSink();
    // When the output failed, that is what the user must hear about, not
    // the driver's step that noticed it.
    auto sinkFailed = [&]() { return sink && sink->Failed(); };
    auto sinkError = [&]() { return sink->Error().empty() ? std::string("the output failed") : sink->Error(); };
    // The driver's own line for a failure it found (a spool file that
    // could not be written), else what the caller knows.
    auto driverError = [&](const std::string& otherwise) {
        const std::wstring text = driver.GetErrorString();
        return text.empty() || text == L"driver error" ? otherwise : WideToUtf8(text);
    };

    CAbortProc abortProc;
    driver.SetAbortProc(&abortProc);
    auto finish = [&](JobOutcome outcome, std::string error) {
        driver.SetAbortProc(nullptr);
        result.outcome = outcome;
        result.error = std::move(error);
        result.seconds = Seconds(start);
        return result;
    };
    // A job that stops early: its stream ends as an abort where it cannot be
    // taken back, else JobClose just closes it.
    auto stop = [&]() {
        if (options.abortOnStop && !sinkFailed()) {
            abortProc.Abort();
            HostJobEnd(driver, true);
            result.endedAsAbort = true;
        } else {
            HostJobEnd(driver, false);
        }
    };
    auto interrupted = [&]() { return options.interrupted && *options.interrupted; };

    if (sources.size() != channels)
        return finish(JobOutcome::Failed, "one row source per channel needed");
    if (!HostJobBegin(driver, context)) {
        const std::string error = sinkFailed()
                                      ? sinkError()
                                      : driverError("the driver did not start the job (JobOpen, the start string or "
                                                    "OutputInit answered 0)");
        stop();
        return finish(interrupted() ? JobOutcome::Interrupted : JobOutcome::Failed, error);
    }
    std::vector<CRasterPixelBuffer*> buffers(channels);
    for (std::size_t c = 0; c < channels; ++c) {
        buffers[c] = driver.GetRasterPixelBufferByIndex(static_cast<int>(c));
        if (!buffers[c] || buffers[c]->BytesPerRow() != static_cast<std::size_t>(bytesPerRow)) {
            stop();
            return finish(JobOutcome::Failed, "the driver's raster buffer of channel " + std::to_string(c) +
                                                  " does not hold rows of " + std::to_string(bytesPerRow) + " bytes");
        }
    }

    // Everything in this loop runs per row and allocates nothing: rows are
    // written into the driver's buffers or handed over by pointer.
    // --abort-after aborts only a job it cuts short.
    const bool cut = options.abortAfter >= 0 && options.abortAfter < height;
    const int stopAt = cut ? static_cast<int>(options.abortAfter) : height;
    std::string rowError;
    int rows = 0;
    for (; rows < stopAt; ++rows) {
        if (interrupted())
            break;
        for (std::size_t c = 0; c < channels; ++c) {
            BYTE* scratch = buffers[c]->pWriteRow();
            const BYTE* row = sources[c]->Row(rows, scratch);
            if (!row) {
                rowError = sources[c]->Error();
                break;
            }
            if (row != scratch)
                buffers[c]->SetRow(row);
            if (options.digests)
                (*options.digests)[c].AddRow(row, static_cast<std::size_t>(bytesPerRow));
            if (options.writers)
                (*options.writers)[c]->WriteRow(row);
        }
        if (!rowError.empty())
            break;
        if (!driver.OutputOneRow()) {
            rowError = sinkFailed() ? sinkError() : driverError("OutputOneRow answered 0 at row " + std::to_string(rows + 1));
            break;
        }
        if (options.progress)
            options.progress->Rows(rows + 1);
    }
    result.rows = rows;

    if (!rowError.empty() || interrupted()) {
        stop();
        return finish(interrupted() ? JobOutcome::Interrupted : JobOutcome::Failed, rowError);
    }
    if (cut) {
        // The operator's cancel: no more rows, and JobClose sends the
        // printer's abort command.
        abortProc.Abort();
        HostJobEnd(driver, true);
        result.endedAsAbort = true;
        return finish(JobOutcome::Aborted, {});
    }
    if (!HostJobEnd(driver, true))
        return finish(JobOutcome::Failed,
                      sinkFailed() ? sinkError()
                                   : driverError("the driver did not end the job (OutputExit, the end string or "
                                                 "JobClose answered 0)"));
    return finish(JobOutcome::Done, {});
}

int DefaultCutOption(CPrinterDriverBase& driver)
{
    CJobPrintOptionQuery query;
    query.option = 0;
    query.value = 0;
    if (CUnivDevParmsBase* parms = driver.GetDevParms())
        parms->JobPrintOptionAvailable(query);
    return query.value;
}

} // namespace rasterjob
