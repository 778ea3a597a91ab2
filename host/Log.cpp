#include "Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace {

struct LogState {
    std::mutex mutex;
    int level = 4;
    int users = 0;
    std::string filePath;
    std::string folder;
    CVoLogReporter::Capture capture;
    LogState()
    {
        if (const char* env = std::getenv("VO_LOGGING_LEVEL"))
            level = std::atoi(env);
        if (const char* env = std::getenv("VO_LOG_FILE"))
            filePath = env;
    }
};

LogState& State()
{
    static LogState state;
    return state;
}

} // namespace

CVoLogReporter* CVoLogReporter::Instance()
{
    static CVoLogReporter instance;
    std::lock_guard<std::mutex> lock(State().mutex);
    ++State().users;
    return &instance;
}

void CVoLogReporter::ReleaseInstance()
{
    std::lock_guard<std::mutex> lock(State().mutex);
    if (State().users > 0)
        --State().users;
}

void CVoLogReporter::ReportStatusPF(const char* format, int level, const char* sourceFile, int sourceLine, ...)
{
    LogState& st = State();
    {
        std::lock_guard<std::mutex> lock(st.mutex);
        if (level > st.level)
            return;
    }
    va_list args;
    va_start(args, sourceLine);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);

    // The capture runs outside the lock, so that it may log or ask the level.
    CVoLogReporter::Capture capture;
    {
        std::lock_guard<std::mutex> lock(st.mutex);
        capture = st.capture;
    }
    if (capture)
        capture(level, text);
    std::lock_guard<std::mutex> lock(st.mutex);
    std::string line = text;
    if (line.empty() || line.back() != '\n')
        line += '\n';
    if (!st.filePath.empty()) {
        if (FILE* f = std::fopen(st.filePath.c_str(), "a")) {
            std::fprintf(f, "[%d] %s:%d: %s", level, sourceFile ? sourceFile : "", sourceLine, line.c_str());
            std::fclose(f);
            return;
        }
    }
    std::fputs(line.c_str(), stderr);
}

int CVoLogReporter::LoggingLevel()
{
    std::lock_guard<std::mutex> lock(State().mutex);
    return State().level;
}

void CVoLogReporter::SetLoggingLevel(int level)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    State().level = level;
}

void CVoLogReporter::SetLogFile(const std::string& path)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    State().filePath = path;
}

std::string CVoLogReporter::LogFolder()
{
    std::string folder;
    {
        std::lock_guard<std::mutex> lock(State().mutex);
        folder = State().folder;
    }
    if (folder.empty()) {
        if (const char* env = std::getenv("MIMAKI_LOG_DIR"))
            folder = env;
        else
            folder = (std::filesystem::temp_directory_path() / "VoLogging").string();
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
}

void CVoLogReporter::SetLogFolder(const std::string& folder)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    State().folder = folder;
}

void CVoLogReporter::SetCapture(Capture capture)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    State().capture = std::move(capture);
}
