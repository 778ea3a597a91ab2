#include "WriteTarget.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int DescriptorOfPath(const std::string& path)
{
    if (path == "/dev/stdout")
        return 1;
    if (path == "/dev/stderr")
        return 2;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::size_t n = std::strlen(prefix);
        if (path.compare(0, n, prefix) == 0 && path.size() > n && path.size() - n < 8 &&
            path.find_first_not_of("0123456789", n) == std::string::npos)
            return std::atoi(path.c_str() + n);
    }
    return -1;
}

bool WritesInPlace(const std::string& path)
{
    if (path == "-" || DescriptorOfPath(path) >= 0)
        return true;
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode) ||
                                             S_ISSOCK(st.st_mode));
}

std::string WriteErrorText(int err)
{
    std::string text = std::strerror(err);
    if (err == ENOSPC || err == EDQUOT)
        text += err == ENOSPC ? " (the disk is full)" : " (the disk quota is used up)";
    return text;
}

bool WriteInPlace(const std::string& path, const std::string& text, std::string& error)
{
    const int named = path == "-" ? 1 : DescriptorOfPath(path);
    const int fd = named >= 0 ? named : ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    int err = 0;
    for (std::size_t done = 0; done < text.size() && !err;) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR)
            err = errno;
        else if (n == 0)
            err = EIO;
    }
    if (named < 0 && ::close(fd) != 0 && !err && errno != EINTR)
        err = errno;
    if (err) {
        error = (path == "-" ? std::string("standard output") : path) + ": cannot write: " + WriteErrorText(err);
        return false;
    }
    return true;
}
