// Running a program as a child process and collecting what it printed.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct RunResult {
    int status = -1;  // exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
    std::vector<std::string> ErrLines() const;
};

struct RunOptions {
    std::string cwd;               // empty: this process's folder
    std::vector<std::string> env;  // "KEY=VALUE" sets, "KEY" removes
    int signalAfterMs = 0;         // > 0: SIGINT after that time
};

// Runs program with args, standard input from /dev/null.
RunResult Run(const std::string& program, const std::vector<std::string>& args, const RunOptions& options = {});

} // namespace testsupport
