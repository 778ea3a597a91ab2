#include "Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>

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

CVoLogReporter* CVoLogReporter::Instance() noexcept
{
    static CVoLogReporter instance;
    try {
        std::lock_guard<std::mutex> lock(State().mutex);
        ++State().users;
    } catch (...) {
    }
    return &instance;
}

void CVoLogReporter::ReleaseInstance() noexcept
{
    try {
        std::lock_guard<std::mutex> lock(State().mutex);
        if (State().users > 0)
            --State().users;
    } catch (...) {
    }
}

// Reports are most needed when things go wrong, out of memory included: the
// text is formatted on the stack when it fits, and writing it to the log
// needs no heap. Only the test capture takes a copy, and it is skipped when
// that copy cannot be made.
void CVoLogReporter::ReportStatusPF(const char* format, int level, const char* sourceFile, int sourceLine,
                                    ...) noexcept
{
    try {
        LogState& st = State();
        {
            std::lock_guard<std::mutex> lock(st.mutex);
            if (level > st.level)
                return;
        }
        char local[1024];
        std::unique_ptr<char[]> heap;
        const char* text = local;
        va_list args;
        va_start(args, sourceLine);
        va_list copy;
        va_copy(copy, args);
        int n = std::vsnprintf(local, sizeof local, format, copy);
        va_end(copy);
        if (n < 0) {
            local[0] = 0;
            n = 0;
        } else if (static_cast<std::size_t>(n) >= sizeof local) {
            heap.reset(new (std::nothrow) char[static_cast<std::size_t>(n) + 1]);
            if (heap) {
                std::vsnprintf(heap.get(), static_cast<std::size_t>(n) + 1, format, args);
                text = heap.get();
            } else {
                n = sizeof local - 1; // cut, rather than lost
            }
        }
        va_end(args);
        const std::size_t length = static_cast<std::size_t>(n);

        // The capture runs outside the lock, so that it may log or ask the level.
        try {
            CVoLogReporter::Capture capture;
            {
                std::lock_guard<std::mutex> lock(st.mutex);
                capture = st.capture;
            }
            if (capture)
                capture(level, std::string(text, length));
        } catch (...) {
        }
        std::lock_guard<std::mutex> lock(st.mutex);
        const char* newline = length && text[length - 1] == '\n' ? "" : "\n";
        if (!st.filePath.empty()) {
            if (FILE* f = std::fopen(st.filePath.c_str(), "a")) {
                std::fprintf(f, "[%d] %s:%d: %.*s%s", level, sourceFile ? sourceFile : "", sourceLine,
                             static_cast<int>(length), text, newline);
                std::fclose(f);
                return;
            }
        }
        std::fprintf(stderr, "%.*s%s", static_cast<int>(length), text, newline);
    } catch (...) {
        // A report that cannot be made must not take its caller down.
    }
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
