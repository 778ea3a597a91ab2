#include "tests/support/Process.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/mman.h>
#include <sys/wait.h>
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
        const int in = ::open("/dev/null", O_RDONLY);
        if (in < 0 || out < 0 || err < 0 || (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0))
            ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    if (options.signalAfterMs > 0) {
        ::usleep(static_cast<useconds_t>(options.signalAfterMs) * 1000);
        ::kill(pid, SIGINT);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    RunResult r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    ::close(out);
    ::close(err);
    return r;
}

} // namespace testsupport
