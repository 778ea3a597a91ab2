// Writing to what is not a plain file: devices, FIFOs, standard output, a
// full disk; and killing a job on its way into a file.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "tests/usage/Tools.h"

using namespace usage;

namespace {

ino_t Inode(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

TEST(WriteSpecialFiles, SaveWritesDevicesFifosAndStdoutInPlace)
{
    TempDir dir;
    const RunResult full = Parmtool({"save", "--uid", "48", "-o", "/dev/full"});
    EXPECT_EQ(full.status, 1);
    EXPECT_TRUE(Has(full.err, "disk is full")) << full.err;

    const RunResult dash = Parmtool({"save", "--uid", "48", "-o", "-"});
    EXPECT_EQ(dash.status, 0) << dash.err;
    EXPECT_TRUE(Has(dash.out, "[UID 48]\n")) << dash.out;
    EXPECT_TRUE(Has(dash.out, "PrEnv_UID=48\n"));

    // /dev/stdout leading to a file: that file gets the text, and stays the
    // same file.
    const std::string file = dir / "redirected.ini";
    WriteFile(file, "");
    const ino_t before = Inode(file);
    RunOptions toFile;
    toFile.stdoutPath = file;
    ASSERT_EQ(Parmtool({"save", "--uid", "48", "-o", "/dev/stdout"}, toFile).status, 0);
    EXPECT_EQ(Inode(file), before);
    EXPECT_TRUE(Has(ReadFile(file), "PrEnv_UID=48\n"));
    ASSERT_EQ(Rasterjob(SmallJob({"--set", "PrEnv_UID=1", "-o", "/dev/stdout"}), toFile).status, 0);
    EXPECT_EQ(Inode(file), before);
    EXPECT_EQ(ReadFile(file).rfind("\x1B@", 0), 0u);

    // A FIFO stays a FIFO and its reader gets the section.
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] { got = ReadFile(fifo); });
    const RunResult piped = Parmtool({"save", "--uid", "48", "-o", fifo});
    reader.join();
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_TRUE(Has(got, "PrEnv_UID=48\n")) << got;
    struct stat st{};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"pipe", "redirected.ini"}));
}

TEST(WriteSpecialFiles, HelpToAFullDiskFails)
{
    RunOptions full;
    full.stdoutPath = "/dev/full";
    EXPECT_NE(Streamdump({"--help"}, full).status, 0);
    EXPECT_NE(Parmtool({"--help"}, full).status, 0);
    EXPECT_NE(Rasterjob({"--help"}, full).status, 0);
}

TEST(KillAJob, KilledJobLeavesNoPartialFile)
{
    for (const int sig : {SIGKILL, SIGQUIT, SIGABRT}) {
        TempDir dir;
        RunOptions options;
        options.cwd = dir.Path();
        options.signalAfterMs = 400;
        options.signal = sig;
        const RunResult r = Rasterjob({"--set", "PrEnv_UID=1", "--pattern", "random", "--width", "20000", "--height",
                                       "400000", "-q", "-o", "job.prn"},
                                      options);
        EXPECT_EQ(r.status, 128 + sig) << "the job was not killed in time: " << r.err;
        EXPECT_EQ(dir.List(), std::vector<std::string>{}) << "signal " << sig;
    }
}
