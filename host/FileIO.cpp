#include "FileIO.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

bool ReadWholeFile(const std::string& path, std::string& data, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) {
        error = path + ": read error";
        return false;
    }
    data = std::move(ss).str();
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& data, std::string& error)
{
    std::string tmpl = path + ".tmpXXXXXX";
    const int fd = mkstemp(tmpl.data());
    if (fd < 0) {
        error = path + ": cannot create temporary file: " + std::strerror(errno);
        return false;
    }
    ::fchmod(fd, 0644);
    // The errno of the first failing step is the one reported.
    int err = 0;
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t w = ::write(fd, data.data() + done, data.size() - done);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            break;
        }
        done += static_cast<std::size_t>(w);
    }
    if (!err && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    if (!err && std::rename(tmpl.c_str(), path.c_str()) != 0)
        err = errno;
    if (err) {
        error = path + ": cannot write: " + std::strerror(err);
        ::unlink(tmpl.c_str());
        return false;
    }
    return true;
}
