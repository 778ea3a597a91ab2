#include "FileIO.h"
#include "WriteTarget.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool ReadWholeFd(int fd, const std::string& name, std::string& data, std::string& error)
{
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0)
            break;
        if (errno == EINTR)
            continue;
        error = name + ": cannot read: " + std::strerror(errno);
        return false;
    }
    data = std::move(out);
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& data, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    struct stat st{};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && S_ISDIR(st.st_mode)) {
        error = path + ": is a folder, not a file (" + std::strerror(EISDIR) + ")";
        ok = false;
    } else if (ok) {
        if (S_ISREG(st.st_mode))
            data.reserve(static_cast<std::size_t>(st.st_size));
        ok = ReadWholeFd(fd, path, data, error);
    } else {
        error = path + ": cannot open: " + std::strerror(errno);
    }
    ::close(fd);
    return ok;
}

namespace {

std::string Folder(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links ends at (which need not exist yet).
bool FollowLinks(const std::string& path, std::string& target, std::string& error)
{
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st{};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        char buf[4096];
        const ssize_t n = ::readlink(target.c_str(), buf, sizeof buf - 1);
        if (n < 0) {
            error = path + ": cannot follow its link: " + std::strerror(errno);
            return false;
        }
        const std::string link(buf, static_cast<std::size_t>(n));
        target = link[0] == '/' ? link : Folder(target) + "/" + link;
    }
    error = path + ": cannot follow its link: " + std::strerror(ELOOP);
    return false;
}

std::string TempSuffix()
{
    static std::atomic<unsigned> counter{0};
    const auto t = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned long long v = t * 6364136223846793005ULL + ::getpid() * 1442695040888963407ULL + counter++;
    std::string s;
    for (int i = 0; i < 6; ++i) {
        s += kDigits[v % 36];
        v /= 36;
    }
    return s;
}

} // namespace

int OpenReplacement(const std::string& path, std::string& target, std::string& tmpPath, std::string& error)
{
    if (!FollowLinks(path, target, error))
        return -1;
    const std::string named = target == path ? path : path + " (" + target + ")";
    struct stat st{};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        error = named + ": cannot write: " + std::strerror(EISDIR);
        return -1;
    }
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        error = named + ": cannot replace it: " + std::strerror(errno) + " (the file is write-protected)";
        return -1;
    }
    // A new file gets 0666 less the umask from open; a replaced one keeps
    // its permissions (and its owner where that can be kept). Where the
    // file system allows, the file has no name until it is complete, so
    // that nothing of it is left when the process is killed.
    int fd = -1;
    tmpPath.clear();
    if (::access("/proc/self/fd", X_OK) == 0)
        fd = ::open(Folder(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmpPath = target + ".part" + TempSuffix();
        fd = ::open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int err = errno;
        if (err == EACCES || err == EPERM || err == EROFS)
            error = named + ": cannot write into its folder " + Folder(target) + ": " + std::strerror(err) +
                    " (the file is written there under a temporary name and renamed)";
        else
            error = named + ": cannot create: " + std::strerror(err);
        return -1;
    }
    if (exists) {
        ::fchmod(fd, st.st_mode & 07777);
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            [[maybe_unused]] const int owned = ::fchown(fd, st.st_uid, st.st_gid);
        }
    }
    return fd;
}

bool PublishReplacement(int fd, const std::string& tmpPath, const std::string& target, int& err)
{
    err = 0;
    std::string named = tmpPath;
    if (named.empty()) {
        // Linked under a temporary name beside the target, then renamed over
        // it: a link cannot replace a file.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        for (int attempt = 0; attempt < 100; ++attempt) {
            named = target + ".part" + TempSuffix();
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW) == 0)
                break;
            if (errno != EEXIST) {
                err = errno;
                return false;
            }
        }
    }
    if (std::rename(named.c_str(), target.c_str()) != 0) {
        err = errno;
        ::unlink(named.c_str());
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& data, std::string& error)
{
    std::string target, tmp;
    const int fd = OpenReplacement(path, target, tmp, error);
    if (fd < 0)
        return false;
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
    if (!err)
        PublishReplacement(fd, tmp, target, err);
    if (::close(fd) != 0 && !err)
        err = errno;
    if (err) {
        error = path + ": cannot write: " + WriteErrorText(err);
        if (!tmp.empty())
            ::unlink(tmp.c_str());
        return false;
    }
    return true;
}
