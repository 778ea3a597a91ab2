#include "tests/printersim/SimProcess.h"

#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

std::string Tool(const char* name)
{
    const std::string n = name;
    return n == "printersim" ? PRINTERSIM_EXE : n == "rasterjob" ? RASTERJOB_EXE : PARMTOOL_EXE;
}

std::size_t CountEntries(const char* folder)
{
    std::size_t n = 0;
    if (DIR* d = ::opendir(folder)) {
        while (::readdir(d))
            ++n;
        ::closedir(d);
    }
    return n;
}

SimProcess::SimProcess(std::vector<std::string> args)
{
    bool placed = false;
    for (const std::string& a : args)
        placed |= a == "--pty" || a == "--listen";
    if (!placed)
        args.insert(args.end(), {"--listen", "127.0.0.1:0"});
    args.insert(args.begin(), Tool("printersim"));
    const std::string out = m_dir / "stdout";
    m_pid = ::fork();
    if (m_pid == 0) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(fd, 1);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    const std::vector<std::string> first = WaitForLines("", 1, 10000);
    if (first.empty()) {
        Stop();
        throw std::runtime_error("printersim did not start");
    }
    m_address = first[0];
}

SimProcess::~SimProcess()
{
    Stop();
}

void SimProcess::Stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 400 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (::waitpid(m_pid, &status, WNOHANG) == 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
}

std::string SimProcess::Output() const
{
    return testsupport::ReadFile(m_dir / "stdout");
}

std::vector<std::string> SimProcess::WaitForLines(const std::string& prefix, std::size_t count, int ms) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        std::vector<std::string> lines;
        std::istringstream in(Output());
        for (std::string line; std::getline(in, line);)
            if (line.rfind(prefix, 0) == 0 && !in.eof())
                lines.push_back(line);
        if (lines.size() >= count || std::chrono::steady_clock::now() > end)
            return lines;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
