#include "tests/support/Process.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <chrono>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

std::string ReadAll(int fd)
{
    std::string data;
    char buf[65536];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buf, sizeof buf, at);
        if (n <= 0)
            return data;
        data.append(buf, static_cast<std::size_t>(n));
        at += n;
    }
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> p;
    for (auto& s : strings)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

} // namespace

std::vector<std::string> RunResult::ErrLines() const
{
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

RunResult Run(const std::string& program, const std::vector<std::string>& args, const RunOptions& options)
{
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        bool replaced = false;
        for (const std::string& change : options.env) {
            const std::string key = change.substr(0, change.find('='));
            replaced |= std::strncmp(*e, key.c_str(), key.size()) == 0 && (*e)[key.size()] == '=';
        }
        if (!replaced)
            envStrings.emplace_back(*e);
    }
    for (const std::string& change : options.env)
        if (change.find('=') != std::string::npos)
            envStrings.push_back(change);
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> envp = Pointers(envStrings), argv = Pointers(argStrings);

    // Memory files: nothing appears in the folder the program works in.
    const int out = ::memfd_create("stdout", MFD_CLOEXEC), err = ::memfd_create("stderr", MFD_CLOEXEC);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open(options.stdinPath.empty() ? "/dev/null" : options.stdinPath.c_str(), O_RDONLY);
        const int toOut = options.stdoutPath.empty() ? out : ::open(options.stdoutPath.c_str(), O_WRONLY);
        if (in < 0 || toOut < 0 || out < 0 || err < 0 || (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0))
            ::_exit(127);
        ::dup2(in, 0);
        ::dup2(toOut, 1);
        ::dup2(err, 2);
        if (options.closeStdin)
            ::close(0);
        const rlimit noCore{0, 0}; // a test that kills its program leaves no core
        ::setrlimit(RLIMIT_CORE, &noCore);
        if (options.fileSizeLimit >= 0) {
            const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (options.uid >= 0 && ::geteuid() == 0 &&
            (::setgid(static_cast<gid_t>(options.uid)) != 0 || ::setuid(static_cast<uid_t>(options.uid)) != 0))
            ::_exit(127);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    const auto start = std::chrono::steady_clock::now();
    auto elapsedMs = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    };
    bool signalled = options.signalAfterMs <= 0;
    const std::string waitFor = options.signalWhenPath.empty() || options.signalWhenPath[0] == '/' || options.cwd.empty()
                                    ? options.signalWhenPath
                                    : options.cwd + "/" + options.signalWhenPath;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (!signalled && elapsedMs() >= options.signalAfterMs &&
            (waitFor.empty() || ::access(waitFor.c_str(), F_OK) == 0)) {
            ::kill(pid, options.signal);
            signalled = true;
        }
        if (options.killAfterMs > 0 && elapsedMs() >= options.killAfterMs)
            ::kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    RunResult r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    ::close(out);
    ::close(err);
    return r;
}

} // namespace testsupport
