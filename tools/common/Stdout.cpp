#include "tools/common/Stdout.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

bool FlushStdout(std::string& error)
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && !std::ferror(stdout))
        return true;
    // A failure seen by an earlier write left no errno behind; an empty
    // write asks the file again (a full device answers, a pipe does not).
    int err = errno;
    if (!err) {
        errno = 0;
        if (::write(::fileno(stdout), "", 0) < 0)
            err = errno;
    }
    error = std::string("standard output: ") + (err ? std::strerror(err) : "cannot write");
    return false;
}
