// Running a program as a child process and collecting what it printed.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct RunResult {
    int status = -1;  // exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
    std::vector<std::string> ErrLines() const;
};

struct RunOptions {
    RunOptions(std::string cwd_ = {}, std::vector<std::string> env_ = {}, int signalAfterMs_ = 0, int signal_ = 2,
               int killAfterMs_ = 0)
        : cwd(std::move(cwd_)), env(std::move(env_)), signalAfterMs(signalAfterMs_), signal(signal_),
          killAfterMs(killAfterMs_)
    {
    }
    std::string cwd;               // empty: this process's folder
    std::vector<std::string> env;  // "KEY=VALUE" sets, "KEY" removes
    int signalAfterMs = 0;         // > 0: the signal after that time
    int signal = 2;                // SIGINT
    // With signalAfterMs: not before this path (relative to cwd) exists,
    // so that the signal finds the program at work.
    std::string signalWhenPath;
    // > 0: SIGKILL when still running that long after the start, so that a
    // program that hangs fails its test (status 137) instead of stalling it.
    int killAfterMs = 0;
    std::string stdinPath;         // empty: /dev/null
    bool closeStdin = false;
    std::string stdoutPath;        // empty: collected into RunResult::out
    long long fileSizeLimit = -1;  // >= 0: RLIMIT_FSIZE of the program
    int uid = -1;                  // >= 0: run as that user (and group), when root
};

// Runs program with args.
RunResult Run(const std::string& program, const std::vector<std::string>& args, const RunOptions& options = {});

} // namespace testsupport
