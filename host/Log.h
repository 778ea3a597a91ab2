// The host's log reporter. Reports at or below the current logging level are
// written to the log file (or standard error) and to an optional capture.
#pragma once

#include <functional>
#include <string>

#include "HostApi.h"

class HOST_API CVoLogReporter {
public:
    static CVoLogReporter* Instance() noexcept;
    static void ReleaseInstance() noexcept;

    // Formats printf-style and reports when level <= LoggingLevel(). Never
    // throws: a report is made with what memory there is, or dropped.
    void ReportStatusPF(const char* format, int level, const char* sourceFile, int sourceLine, ...) noexcept
        __attribute__((format(printf, 2, 6)));

    static int LoggingLevel();
    static void SetLoggingLevel(int level);

    // Log destination: a file path (appended to), or empty for standard error.
    static void SetLogFile(const std::string& path);
    // Folder for diagnostic dumps ("VoLogging"): $MIMAKI_LOG_DIR, else
    // $TMPDIR/VoLogging. Created on demand.
    static std::string LogFolder();
    static void SetLogFolder(const std::string& folder);

    // Every emitted report (already formatted) also goes here; tests use it.
    using Capture = std::function<void(int level, const std::string& text)>;
    static void SetCapture(Capture capture);

private:
    CVoLogReporter() = default;
};

// RAII helper for the Instance/ReleaseInstance pairing.
struct CVoLog {
    CVoLogReporter* r = CVoLogReporter::Instance();
    ~CVoLog() { CVoLogReporter::ReleaseInstance(); }
    CVoLogReporter* operator->() const { return r; }
};
