#include "tools/common/Stdout.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool FlushStdout(std::string& error)
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && !std::ferror(stdout))
        return true;
    // A failure seen by an earlier write left no errno behind.
    error = std::string("standard output: ") + (errno ? std::strerror(errno) : "cannot write");
    return false;
}
