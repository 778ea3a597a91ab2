#include "host/OutputSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <csignal>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/Loopback.h"
#include "tests/support/TempDir.h"

using namespace testsupport;
using testsupport::ReceiverBehaviour;
using testsupport::UnansweredPort;

namespace {

const BYTE* B(const char* s) { return reinterpret_cast<const BYTE*>(s); }

// A small stream with an empty write in it; 16 bytes in all.
const std::vector<std::string> kStream = {"abc", "", "defgh", "i", "jklmnop"};
const std::string kAll = "abcdefghijklmnop";

} // namespace

TEST(MemorySink, CollectsBytes)
{
    CMemorySink sink;
    EXPECT_TRUE(sink.Write(B("ab\0c"), 4));
    EXPECT_TRUE(sink.Write(nullptr, 0));
    EXPECT_EQ(sink.Data(), std::string("ab\0c", 4));
    EXPECT_EQ(sink.BytesWritten(), 4u);
    EXPECT_TRUE(sink.Commit());
    sink.Clear();
    EXPECT_EQ(sink.Data(), "");
    EXPECT_FALSE(sink.Failed());
}

TEST(MemorySink, FailAfterEveryLimit)
{
    for (std::size_t limit = 0; limit <= kAll.size() + 1; ++limit) {
        CMemorySink sink;
        sink.SetFailAfter(limit);
        std::size_t sent = 0;
        std::size_t callsAfter = 0;
        bool failedYet = false;
        for (const std::string& part : kStream) {
            callsAfter += failedYet;
            const bool ok = sink.Write(B(part.data()), part.size());
            const bool crosses = sent + part.size() > limit;
            if (failedYet || crosses) {
                EXPECT_FALSE(ok) << "limit " << limit << " at " << sent;
                failedYet = true;
            } else {
                EXPECT_TRUE(ok) << "limit " << limit << " at " << sent;
                sent += part.size();
            }
        }
        const std::size_t expected = std::min(limit, kAll.size());
        EXPECT_EQ(sink.Data(), kAll.substr(0, expected)) << "limit " << limit;
        EXPECT_EQ(sink.BytesWritten(), expected);
        EXPECT_EQ(sink.Failed(), limit < kAll.size());
        if (sink.Failed()) {
            EXPECT_FALSE(sink.Error().empty());
            // Every later call fails, even an empty one.
            EXPECT_FALSE(sink.Write(B("x"), 1));
            EXPECT_FALSE(sink.Write(nullptr, 0));
            callsAfter += 2;
            EXPECT_EQ(sink.Data(), kAll.substr(0, expected));
        }
        EXPECT_EQ(sink.CallsAfterFailure(), callsAfter) << "limit " << limit;
    }
}

TEST(MemorySink, LimitBelowWhatWasWritten)
{
    CMemorySink sink;
    ASSERT_TRUE(sink.Write(B("0123456789"), 10));
    sink.SetFailAfter(3);
    EXPECT_TRUE(sink.Write(nullptr, 0));
    EXPECT_FALSE(sink.Write(B("x"), 1));
    EXPECT_TRUE(sink.Failed());
    EXPECT_EQ(sink.Data(), "0123456789");
    EXPECT_EQ(sink.BytesWritten(), 10u);
}

TEST(FdSink, BuffersAndWritesLargeBlocksDirectly)
{
    const int fd = memfd_create("sink", 0);
    ASSERT_GE(fd, 0);
    {
        CFdSink sink(fd, "memfd", 8);
        std::string expected;
        for (std::size_t n : {3u, 4u, 1u, 2u, 8u, 20u, 0u, 7u, 9u}) {
            const std::string part(n, static_cast<char>('a' + expected.size() % 26));
            ASSERT_TRUE(sink.Write(B(part.data()), part.size()));
            expected += part;
        }
        ASSERT_TRUE(sink.Flush());
        EXPECT_EQ(sink.BytesWritten(), expected.size());
        std::string got(expected.size() + 10, '\0');
        const ssize_t r = pread(fd, got.data(), got.size(), 0);
        ASSERT_EQ(r, static_cast<ssize_t>(expected.size()));
        got.resize(static_cast<std::size_t>(r));
        EXPECT_EQ(got, expected);
    }
    // The descriptor belongs to the caller.
    EXPECT_EQ(fcntl(fd, F_GETFD), 0);
    close(fd);
}

TEST(FdSink, WriteOrFlushErrorIsReportedAndFailsTheCommit)
{
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    for (bool overflow : {true, false}) {
        CFdSink sink(full, "/dev/full", 4);
        EXPECT_TRUE(sink.Write(B("ab"), 2)) << "buffered";
        // The buffer overflows, or is flushed: that fails and so does every
        // later call.
        EXPECT_FALSE(overflow ? sink.Write(B("cdef"), 4) : sink.Flush());
        EXPECT_TRUE(sink.Failed());
        EXPECT_NE(sink.Error().find("/dev/full"), std::string::npos) << sink.Error();
        EXPECT_NE(sink.Error().find(std::strerror(ENOSPC)), std::string::npos) << sink.Error();
        EXPECT_FALSE(sink.Write(B("x"), 1));
        EXPECT_FALSE(sink.Flush());
        EXPECT_FALSE(sink.Commit());
    }
    close(full);
}

TEST(FdSink, PipeWithoutReaderFailsWithoutSignal)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    CFdSink sink(fds[1], "pipe", 4);
    // Larger than the buffer, so written at once: EPIPE, not SIGPIPE.
    EXPECT_FALSE(sink.Write(B("0123456789"), 10));
    EXPECT_TRUE(sink.Failed());
    EXPECT_NE(sink.Error().find(std::strerror(EPIPE)), std::string::npos) << sink.Error();
    sigset_t pending;
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE)) << "the signal was consumed";
    close(fds[1]);
}

TEST(FileSink, CommitPutsTheUnnamedFileInPlace)
{
    TempDir dir;
    const std::string path = dir / "job.prn";
    std::string error;
    auto sink = CFileSink::Create(path, error);
    ASSERT_TRUE(sink) << error;
    ASSERT_TRUE(sink->Write(B("\x1B@data\0"), 7));
    // While the job runs the file has no name: a killed job leaves nothing.
    EXPECT_EQ(dir.List(), std::vector<std::string>{});
    ASSERT_TRUE(sink->Commit()) << sink->Error();
    EXPECT_EQ(dir.List(), std::vector<std::string>{"job.prn"});
    EXPECT_EQ(ReadFile(path), std::string("\x1B@data\0", 7));
    // A second Commit has nothing left to do.
    EXPECT_FALSE(sink->Commit());
    // Writing after Commit never reaches a file opened since, even when that
    // file got the descriptor number the sink had.
    const int other = open((dir / "other").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    ASSERT_GE(other, 0);
    sink->Write(B("late"), 4);
    EXPECT_FALSE(sink->Flush());
    sink.reset();
    close(other);
    EXPECT_EQ(ReadFile(dir / "other"), "");
    EXPECT_EQ(ReadFile(path), std::string("\x1B@data\0", 7));
}

TEST(FileSink, CommitReplacesAnOldFile)
{
    TempDir dir;
    const std::string path = dir / "job.prn";
    WriteFile(path, "old contents");
    std::string error;
    auto sink = CFileSink::Create(path, error);
    ASSERT_TRUE(sink) << error;
    EXPECT_EQ(ReadFile(path), "old contents");
    ASSERT_TRUE(sink->Write(B("new"), 3));
    ASSERT_TRUE(sink->Commit());
    EXPECT_EQ(ReadFile(path), "new");
}

TEST(FileSink, DiscardAndDestructionLeaveNothing)
{
    TempDir dir;
    std::string error;
    {
        auto sink = CFileSink::Create(dir / "a.prn", error);
        ASSERT_TRUE(sink);
        sink->Write(B("abc"), 3);
        sink->Discard();
        EXPECT_TRUE(dir.List().empty());
        sink->Discard();
        EXPECT_FALSE(sink->Commit());
    }
    {
        auto sink = CFileSink::Create(dir / "b.prn", error);
        ASSERT_TRUE(sink);
        sink->Write(B("abc"), 3);
    }
    EXPECT_TRUE(dir.List().empty());
    // An existing file survives a discarded job.
    WriteFile(dir / "c.prn", "keep");
    CFileSink::Create(dir / "c.prn", error)->Write(B("zz"), 2);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"c.prn"});
    EXPECT_EQ(ReadFile(dir / "c.prn"), "keep");
}

TEST(FileSink, FailedJobIsNotCommitted)
{
    TempDir dir;
    std::string error;
    auto sink = CFileSink::Create(dir / "f.prn", error);
    ASSERT_TRUE(sink);
    sink->SetFailAfter(2);
    EXPECT_FALSE(sink->Write(B("abc"), 3));
    EXPECT_FALSE(sink->Commit());
    EXPECT_TRUE(dir.List().empty());
}

TEST(FileSink, FolderRenameFailureAndMissingFolder)
{
    TempDir dir;
    std::string error;
    EXPECT_FALSE(CFileSink::Create(dir / "none/x.prn", error));
    EXPECT_NE(error.find("none/x.prn: cannot create: No such file or directory"), std::string::npos) << error;
    std::filesystem::create_directory(dir / "folder");
    EXPECT_FALSE(CFileSink::Create(dir / "folder", error));
    EXPECT_NE(error.find("folder: cannot write: Is a directory"), std::string::npos) << error;

    // A folder that took the file's place while the job ran.
    const std::string target = dir / "target";
    auto sink = CFileSink::Create(target, error);
    ASSERT_TRUE(sink) << error;
    ASSERT_TRUE(sink->Write(B("abc"), 3));
    std::filesystem::create_directory(target);
    WriteFile(target + "/inside", "x");
    EXPECT_FALSE(sink->Commit());
    EXPECT_NE(sink->Error().find(target + ": cannot put the file in place: "), std::string::npos) << sink->Error();
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"folder", "target"}));
}

// A replaced file keeps its permissions, a new one gets 0666 less the
// umask; a symbolic link is written through, and stays a link.
TEST(FileSink, PermissionsAreKeptAndLinksWrittenThrough)
{
    TempDir dir;
    namespace fs = std::filesystem;
    auto write = [&](const std::string& path, const char* data) {
        std::string error;
        auto sink = CFileSink::Create(path, error);
        ASSERT_TRUE(sink) << error;
        ASSERT_TRUE(sink->Write(B(data), std::strlen(data)));
        ASSERT_TRUE(sink->Commit()) << sink->Error();
    };
    auto mode = [](const std::string& path) {
        struct stat st{};
        ::stat(path.c_str(), &st);
        return st.st_mode & 07777;
    };
    WriteFile(dir / "private.prn", "old");
    ::chmod((dir / "private.prn").c_str(), 0600);
    write(dir / "private.prn", "new");
    EXPECT_EQ(mode(dir / "private.prn"), 0600u);
    WriteFile(dir / "readonly.prn", "old");
    ::chmod((dir / "readonly.prn").c_str(), 0444);
    if (::geteuid() == 0) {  // only root may replace it
        write(dir / "readonly.prn", "new");
        EXPECT_EQ(ReadFile(dir / "readonly.prn"), "new");
        EXPECT_EQ(mode(dir / "readonly.prn"), 0444u);
    }
    const mode_t mask = ::umask(027);
    write(dir / "fresh.prn", "new");
    ::umask(mask);
    EXPECT_EQ(mode(dir / "fresh.prn"), 0640u);

    const std::string sub = dir.Sub("jobs");
    WriteFile(sub + "/real.prn", "old");
    fs::create_symlink("jobs/real.prn", dir / "link.prn");      // relative to the link's folder
    fs::create_symlink(dir / "link.prn", dir / "chain.prn");    // a link to a link
    fs::create_symlink("jobs/later.prn", dir / "dangling.prn");
    write(dir / "chain.prn", "through");
    write(dir / "dangling.prn", "created");
    EXPECT_EQ(ReadFile(sub + "/real.prn"), "through");
    EXPECT_EQ(ReadFile(sub + "/later.prn"), "created");
    EXPECT_TRUE(fs::is_symlink(dir / "link.prn"));
    EXPECT_TRUE(fs::is_symlink(dir / "chain.prn"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.prn"));
    EXPECT_EQ(TempDir::ListOf(sub), (std::vector<std::string>{"later.prn", "real.prn"}));
}

TEST(SocketSink, SendsEverythingToTheListener)
{
    LoopbackReceiver receiver;
    std::string error;
    auto sink = CSocketSink::Connect("127.0.0.1", receiver.Port(), error);
    ASSERT_TRUE(sink) << error;
    std::string expected;
    for (int i = 0; i < 3000; ++i) {
        const std::string part = "row " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 700), '\0');
        ASSERT_TRUE(sink->Write(B(part.data()), part.size()));
        expected += part;
    }
    ASSERT_TRUE(sink->Commit()) << sink->Error();
    EXPECT_EQ(receiver.Received(), expected);
    EXPECT_EQ(sink->BytesWritten(), expected.size());
}

TEST(SocketSink, RefusedConnectionIsReported)
{
    const RefusingPort refusing;
    const int port = refusing.Port();
    std::string error;
    EXPECT_FALSE(CSocketSink::Connect("127.0.0.1", port, error));
    EXPECT_NE(error.find("socket://127.0.0.1:" + std::to_string(port)), std::string::npos) << error;
    EXPECT_NE(error.find(std::strerror(ECONNREFUSED)), std::string::npos) << error;

    error.clear();
    EXPECT_FALSE(CSocketSink::Connect("no such host.invalid", 9100, error));
    EXPECT_FALSE(error.empty());
}

TEST(SocketSink, PeerGoneFailsTheWrite)
{
    // The receiver hangs up at once; later sends fail with an error instead
    // of killing the process with SIGPIPE.
    LoopbackReceiver receiver(true);
    std::string error;
    auto sink = CSocketSink::Connect("127.0.0.1", receiver.Port(), error);
    ASSERT_TRUE(sink) << error;
    receiver.Received();
    const std::string block(65536, 'z');
    bool failed = false;
    for (int i = 0; i < 200 && !failed; ++i)
        failed = !sink->Write(B(block.data()), block.size()) || !sink->Flush();
    EXPECT_TRUE(failed);
    EXPECT_FALSE(sink->Error().empty());
    EXPECT_FALSE(sink->Commit());
}

// The job counts as delivered only when the printer took every byte: one
// that reads a little and closes fails the commit, even when the job fitted
// into the connection's buffers.
TEST(SocketSink, PrinterThatClosesEarlyFailsTheCommit)
{
    for (const std::size_t size : {20000u, 20000000u}) {
        LoopbackReceiver receiver(ReceiverBehaviour{false, 1000});
        std::string error;
        auto sink = CSocketSink::Connect("127.0.0.1", receiver.Port(), error);
        ASSERT_TRUE(sink) << error;
        const std::string block(size, 'x');
        const bool written = sink->Write(B(block.data()), block.size());
        EXPECT_FALSE(written && sink->Commit()) << size;
        EXPECT_NE(sink->Error().find("the printer "), std::string::npos) << sink->Error();
        EXPECT_EQ(receiver.Received().size(), 1000u);
    }
}

// Once everything is acknowledged, the wait for the printer to close is
// short and status bytes it sends do not extend it.
TEST(SocketSink, StatusBytesDoNotExtendTheCloseWait)
{
    LoopbackReceiver receiver(ReceiverBehaviour{false, std::size_t(-1), false, 100});
    std::string error;
    auto sink = CSocketSink::Connect("127.0.0.1", receiver.Port(), error);
    ASSERT_TRUE(sink) << error;
    ASSERT_TRUE(sink->Write(B("job"), 3));
    EXPECT_TRUE(sink->Commit()) << sink->Error();
    EXPECT_EQ(sink->BytesDelivered(), 3u);
    EXPECT_EQ(receiver.Received(), "job");
    // The wait lasts a second; 100 bytes are sent over ten.
    EXPECT_LT(receiver.StatusBytesSent(), 100);
}

// A printer that takes no data: the stall limit fails the job, and a stop
// (a signal) ends every wait, connecting included.
TEST(SocketSink, StallLimitAndStopEndTheWaits)
{
    const std::string block(1 << 20, 'x');
    auto fill = [&](CSocketSink& sink) {
        for (int i = 0; i < 200; ++i)
            if (!sink.Write(B(block.data()), block.size()))
                return false;
        return sink.Commit();
    };
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    {
        LoopbackReceiver receiver(ReceiverBehaviour{false, std::size_t(-1), true});
        std::string error;
        auto sink = CSocketSink::Connect("127.0.0.1", receiver.Port(), error);
        ASSERT_TRUE(sink) << error;
        sink->SetStallTimeout(1.5);
        std::vector<double> waits;
        sink->SetWaitCallback([&](double s) { waits.push_back(s); });
        EXPECT_FALSE(fill(*sink));
        EXPECT_NE(sink->Error().find(": took no data for 1.5 s"), std::string::npos) << sink->Error();
        ASSERT_FALSE(waits.empty());
        EXPECT_GE(waits.front(), 1.0);
        EXPECT_TRUE(sink->StallTimedOut());
        EXPECT_LT(sink->BytesDelivered(), sink->BytesWritten());
    }
    ASSERT_EQ(::write(stop[1], "x", 1), 1);
    {
        LoopbackReceiver receiver(ReceiverBehaviour{false, std::size_t(-1), true});
        std::string error;
        auto sink = CSocketSink::Connect("127.0.0.1", receiver.Port(), error);
        ASSERT_TRUE(sink) << error;
        sink->SetStopFd(stop[0]);
        EXPECT_FALSE(fill(*sink));
        EXPECT_NE(sink->Error().find(": took no more data in the 2 s allowed after the stop"), std::string::npos)
            << sink->Error();
        EXPECT_FALSE(sink->StallTimedOut());
    }
    const UnansweredPort silent;
    std::string error;
    EXPECT_FALSE(CSocketSink::Connect("127.0.0.1", silent.Port(), error, 30, stop[0]));
    EXPECT_NE(error.find(": stopped while connecting"), std::string::npos) << error;
    EXPECT_FALSE(CSocketSink::Connect("127.0.0.1", silent.Port(), error, 0.3));
    EXPECT_NE(error.find(": no answer within 0.3 s (Connection timed out)"), std::string::npos) << error;
    ::close(stop[0]);
    ::close(stop[1]);
}

// A pipe whose reader stopped reading: written without blocking, so the
// stop ends the wait as it does for a socket.
TEST(FdSink, StoppedPipeWaitEnds)
{
    int fds[2], stop[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::pipe(stop), 0);
    ASSERT_EQ(::write(stop[1], "x", 1), 1);
    {
        CFdSink sink(fds[1], "pipe", 4096);
        sink.SetStopFd(stop[0]);
        const std::string block(1 << 20, 'x');
        EXPECT_FALSE(sink.Write(B(block.data()), block.size()));
        EXPECT_NE(sink.Error().find("pipe: took no more data"), std::string::npos) << sink.Error();
        EXPECT_EQ(sink.BytesDelivered(), 65536u);  // what the pipe holds
    }
    // The descriptor's own flags are given back.
    EXPECT_EQ(::fcntl(fds[1], F_GETFL) & O_NONBLOCK, 0);
    for (int fd : {fds[0], fds[1], stop[0], stop[1]})
        ::close(fd);
}
