#include "host/HostJob.h"
#include "host/PackBits.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/UnivDevParmsBase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

using Events = std::vector<std::string>;

// Device parameters that send fixed start and end strings and note it.
class TestParms : public CUnivDevParmsBase {
public:
    explicit TestParms(Events* events) : CUnivDevParmsBase(sizeof(TestParms), 1), m_events(events) {}
    ~TestParms() override { m_events->push_back("parms deleted"); }
    std::string GetStartString(CPrinterDriverBase*) override
    {
        m_events->push_back("start string");
        return "<start>";
    }
    std::string GetEndString(CPrinterDriverBase*) override
    {
        m_events->push_back("end string");
        return "<end>";
    }

private:
    Events* m_events;
};

// A driver that frames each row as "[count:bytes]" per channel and blank
// stretches as "{advance N}", and notes every host call.
class TestDriver : public CPrinterDriverBase {
public:
    TestDriver(CPrintEnv* env, Events* events, bool withParms = true)
        : CPrinterDriverBase(env, withParms ? new TestParms(events) : nullptr), m_events(*events)
    {
    }

    int JobOpen(CPrintJobOpenContext* ctx) override
    {
        m_events.push_back("JobOpen");
        return CPrinterDriverBase::JobOpen(ctx);
    }
    int JobClose() override
    {
        m_events.push_back("JobClose");
        return CPrinterDriverBase::JobClose();
    }
    int OutputInit(int w, int rows) override
    {
        m_events.push_back("OutputInit " + std::to_string(w) + " " + std::to_string(rows));
        return CPrinterDriverBase::OutputInit(w, rows);
    }
    int OutputExit() override
    {
        m_events.push_back("OutputExit");
        return CPrinterDriverBase::OutputExit();
    }
    int OutputCurrentRow() override
    {
        // Appended piece by piece: GCC 12 at -O3 sees a false overlap in
        // "literal" + std::string.
        std::string ev = "row ";
        ev += std::to_string(GetScanRow());
        for (int c = 0; c < GetCountPrimCols(); ++c) {
            const int n = GetChannelByteCount(c);
            const std::string count = std::to_string(n);
            ev += ' ';
            ev += count;
            const BYTE* row = GetRasterPixelBufferByIndex(c)->pReadRow();
            if (!Output(std::string("[").append(count).append(":")) || !Output(row, n, 0) || !Output("]"))
                return 0;
        }
        m_events.push_back(ev);
        return 1;
    }
    int AdvanceRows(int n) override
    {
        m_events.push_back("advance " + std::to_string(n));
        return Output("{advance " + std::to_string(n) + "}");
    }

    const BYTE* ReplaceVal() const { return m_ReplaceVal; }
    std::size_t CompressBufferSize() const { return m_compressBuffer.size(); }

private:
    Events& m_events;
};

CPrintJobOpenContext Context(int width = 16, int bits = 2, std::vector<int> colours = {0, 1, 2, 3})
{
    CPrintJobOpenContext ctx;
    ctx.pixelWidth = width;
    ctx.bitsPerPixel = bits;
    ctx.colourCodes = std::move(colours);
    ctx.rowCount = 10;
    return ctx;
}

void SetRow(CPrinterDriverBase& d, int channel, std::vector<BYTE> bytes)
{
    BYTE* row = d.GetRasterPixelBufferByIndex(channel)->pWriteRow();
    const std::size_t n = d.GetRasterPixelBufferByIndex(channel)->BytesPerRow();
    for (std::size_t i = 0; i < n; ++i)
        row[i] = i < bytes.size() ? bytes[i] : 0;
}

void ClearRows(CPrinterDriverBase& d)
{
    for (int c = 0; c < d.GetCountPrimCols(); ++c)
        SetRow(d, c, {});
}

struct Fixture {
    CPrintEnv env;
    Events events;
    CMemorySink sink;
    CAbortProc abort;
    TestDriver driver;
    explicit Fixture(bool withParms = true) : driver(&env, &events, withParms) { driver.SetOutputSink(&sink); }
};

} // namespace

TEST(DriverBase, JobOpenValidatesTheContext)
{
    Fixture f;
    EXPECT_EQ(f.driver.JobOpen(nullptr), 0);
    EXPECT_NE(f.driver.GetError(), 0);
    EXPECT_FALSE(f.driver.GetErrorString().empty());

    const auto rejected = [&](auto change) {
        CPrintJobOpenContext ctx = Context();
        change(ctx);
        return f.driver.JobOpen(&ctx) == 0 && f.driver.GetError() != 0;
    };
    EXPECT_TRUE(rejected([](auto& c) { c.pixelWidth = 0; }));
    EXPECT_TRUE(rejected([](auto& c) { c.pixelWidth = -3; }));
    EXPECT_TRUE(rejected([](auto& c) { c.colourCodes.clear(); }));
    EXPECT_TRUE(rejected([](auto& c) { c.bitsPerPixel = 0; }));
    EXPECT_TRUE(rejected([](auto& c) { c.bitsPerPixel = 3; }));
    EXPECT_TRUE(rejected([](auto& c) { c.bitsPerPixel = 16; }));
    EXPECT_TRUE(rejected([](auto& c) { c.dpiFirst = 0; }));
    EXPECT_TRUE(rejected([](auto& c) { c.dpiSecond = -720; }));
    EXPECT_TRUE(rejected([](auto& c) { c.dpiFirst = std::nan(""); }));
    EXPECT_TRUE(rejected([](auto& c) { c.dpiSecond = std::numeric_limits<double>::infinity(); }));

    CPrintJobOpenContext ctx = Context(100, 2, {0, 1, 2});
    ctx.dpiFirst = 1440;
    ctx.dpiSecond = 720;
    ctx.compressMode = 1;
    ctx.dotDataType = 2;
    ctx.functMode = 3;
    ctx.cutOption = 2;
    ctx.jobName = L"poster";
    ASSERT_EQ(f.driver.JobOpen(&ctx), 1);
    EXPECT_EQ(f.driver.GetError(), 0);
    EXPECT_EQ(f.driver.GetCountPrimCols(), 3);
    EXPECT_EQ(f.driver.GetBytesPerRow(), 25);
    EXPECT_EQ(f.driver.dpiHorzDevice(), 1440);
    EXPECT_EQ(f.driver.dpiVertDevice(), 720);
    EXPECT_EQ(f.driver.GetCompressMode(), 1);
    EXPECT_EQ(f.driver.GetDotDataType(), 2);
    EXPECT_EQ(f.driver.GetFunctMode(), 3);
    EXPECT_EQ(f.driver.GetCutOption(), 2);
    EXPECT_EQ(f.driver.GetJobName(), L"poster");
    EXPECT_EQ(f.driver.GetChannelColour(2), 2);
    EXPECT_EQ(f.driver.GetChannelColour(3), -1);
    for (int bits : {1, 4, 8}) {
        CPrintJobOpenContext c = Context(9, bits);
        ASSERT_EQ(f.driver.JobOpen(&c), 1);
        EXPECT_EQ(f.driver.GetBytesPerRow(), (9 * bits + 7) / 8);
    }
}

TEST(DriverBase, UidComesFromTheSettings)
{
    CPrintEnv env;
    env.PutInt(PrEnv_UID, 0x1234);
    Events events;
    TestDriver d(&env, &events);
    EXPECT_EQ(d.GetUID(), 0x34);
    TestDriver none(nullptr, &events);
    EXPECT_EQ(none.GetUID(), 0);
}

TEST(DriverBase, OutputInitPreparesBuffers)
{
    Fixture f;
    EXPECT_EQ(f.driver.OutputInit(10, 10), 0) << "no job open";
    CPrintJobOpenContext ctx = Context(10, 2, {0, 1, 8});
    ASSERT_EQ(f.driver.JobOpen(&ctx), 1);
    ASSERT_EQ(f.driver.OutputInit(10, 5), 1);
    EXPECT_EQ(f.driver.GetBytesPerRow(), 3);
    EXPECT_EQ(f.driver.GetJobPixelLength(), 5);
    for (int c = 0; c < 3; ++c) {
        CRasterPixelBuffer* b = f.driver.GetRasterPixelBufferByIndex(c);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->BytesPerRow(), 3u);
        EXPECT_EQ(b->pReadRow()[0] | b->pReadRow()[1] | b->pReadRow()[2], 0);
    }
    EXPECT_EQ(f.driver.GetRasterPixelBufferByIndex(3), nullptr);
    EXPECT_EQ(f.driver.GetRasterPixelBufferByIndex(-1), nullptr);
    EXPECT_EQ(f.driver.GetRasterPixelBuffer(enmDevicePrimColor{8}, 0), f.driver.GetRasterPixelBufferByIndex(2));
    EXPECT_EQ(f.driver.GetRasterPixelBuffer(enmDevicePrimColor{8}, 1), nullptr);
    EXPECT_GE(f.driver.CompressBufferSize(), packbits_bound(3));

    // A new width resizes every buffer; a dirty row from before is cleared.
    SetRow(f.driver, 0, {1, 2, 3});
    ASSERT_EQ(f.driver.OutputInit(1000, 0), 1);
    EXPECT_EQ(f.driver.GetBytesPerRow(), 250);
    EXPECT_EQ(f.driver.GetRasterPixelBufferByIndex(1)->BytesPerRow(), 250u);
    EXPECT_GE(f.driver.CompressBufferSize(), packbits_bound(250));
    EXPECT_EQ(f.driver.GetJobPixelLength(), 5);
    ASSERT_EQ(f.driver.OutputInit(1000, 0), 1);
    EXPECT_EQ(f.driver.GetRasterPixelBufferByIndex(0)->pReadRow()[0], 0);
}

TEST(DriverBase, RowByteCountsLeaveOutTrailingZeros)
{
    Fixture f;
    CPrintJobOpenContext ctx = Context(20, 2, {0, 1, 2});
    ASSERT_EQ(HostJobBegin(f.driver, ctx), 1);
    f.sink.Clear();
    SetRow(f.driver, 0, {1, 0, 2, 0, 0});
    SetRow(f.driver, 1, {});
    SetRow(f.driver, 2, {0, 0, 0, 0, 9});
    ASSERT_EQ(f.driver.OutputOneRow(), 1);
    EXPECT_EQ(f.driver.GetChannelByteCount(0), 3);
    EXPECT_EQ(f.driver.GetChannelByteCount(1), 0);
    EXPECT_EQ(f.driver.GetChannelByteCount(2), 5);
    EXPECT_EQ(f.events.back(), "row 0 3 0 5");
    EXPECT_EQ(f.sink.Data(), std::string("[3:\x01\x00\x02][0:][5:\x00\x00\x00\x00\x09]", 20));

    // A row the producer keeps elsewhere is read in place.
    const BYTE external[5] = {7, 7, 7, 7, 7};
    f.driver.GetRasterPixelBufferByIndex(1)->SetRow(external);
    ASSERT_EQ(f.driver.OutputOneRow(), 1);
    EXPECT_EQ(f.events.back(), "row 1 3 5 5");
    EXPECT_EQ(f.driver.GetCurrentRow(), 2);
}

// Blank rows wait for the next printed row or the job's end and go out as
// one advance, in pieces of at most 32767; without advancing they go
// through as rows; an advance that cannot be sent fails the row after it.
TEST(DriverBase, BlankRowsAreAdvancedBeforeTheNextRowOrAtExit)
{
    const struct Case {
        const char* what;
        bool advance;
        std::vector<std::pair<int, bool>> feed;  // blank rows, then a printed row or not
        bool failAtPrintedRow;
        Events events;
        const char* sent;  // null: not compared
    } cases[] = {
        {"before a row and at the end", true, {{3, true}, {2, false}}, false,
         {"advance 3", "row 3 0 1", "OutputExit", "advance 2", "end string", "JobClose"},
         "{advance 3}[0:][1:\x80]{advance 2}<end>"},
        {"a long stretch", true, {{70000, true}}, false,
         {"advance 32767", "advance 32767", "advance 4466", "row 70000 0 1", "OutputExit", "end string", "JobClose"},
         nullptr},
        {"not advanced", false, {{1, false}}, false, {"row 0 0 0", "OutputExit", "end string", "JobClose"},
         "[0:][0:]<end>"},
        {"a failed advance", true, {{1, true}}, true, {"advance 1", "JobClose"}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f;
        CPrintJobOpenContext ctx = Context(8, 1, {0, 1});
        ctx.advanceBlankRows = c.advance;
        ASSERT_EQ(HostJobBegin(f.driver, ctx), 1);
        f.events.clear();
        f.sink.Clear();
        for (const auto& [blank, printed] : c.feed) {
            ClearRows(f.driver);
            for (int i = 0; i < blank; ++i)
                ASSERT_EQ(f.driver.OutputOneRow(), 1);
            if (!printed)
                continue;
            SetRow(f.driver, 1, {0x80});
            if (c.failAtPrintedRow)
                f.sink.SetFailAfter(f.sink.BytesWritten());
            EXPECT_EQ(f.driver.OutputOneRow(), c.failAtPrintedRow ? 0 : 1);
        }
        HostJobEnd(f.driver, !c.failAtPrintedRow);
        EXPECT_EQ(f.events, c.events);
        EXPECT_EQ(f.sink.CallsAfterFailure(), 0u) << "the row went on after its advance failed";
        if (c.sent) {
            EXPECT_EQ(f.sink.Data(), c.sent);
        }
    }
}

TEST(DriverBase, OutputRefusesAfterAbortButOutputForceSends)
{
    Fixture f;
    CAbortProc abort;
    f.driver.SetAbortProc(&abort);
    const BYTE esc[2] = {0x1B, 'A'};
    EXPECT_EQ(f.driver.Output(esc, 2, 0), 1);
    EXPECT_EQ(f.driver.Output(std::string("\0x", 2)), 1);
    CMemFile mf;
    mf.Write("mem", 3);
    EXPECT_EQ(f.driver.Output(mf), 1);
    EXPECT_EQ(f.driver.Output(esc, 0, 0), 1);
    EXPECT_EQ(f.driver.Output(esc, -1, 0), 0);
    EXPECT_EQ(f.sink.Data(), std::string("\x1B" "A\0xmem", 7));
    EXPECT_EQ(f.driver.Aborted(), 0);
    abort.Abort();
    EXPECT_NE(f.driver.Aborted(), 0);
    EXPECT_EQ(f.driver.Output(esc, 2, 0), 0);
    EXPECT_EQ(f.driver.Output(std::string("zz")), 0);
    EXPECT_EQ(f.driver.Output(mf), 0);
    EXPECT_EQ(f.driver.OutputForce(esc, 2), 1);
    EXPECT_EQ(f.driver.OutputForce(esc, -1), 0);
    EXPECT_EQ(f.sink.Data(), std::string("\x1B" "A\0xmem\x1B" "A", 9));
    // OutputForce still reports a failing sink.
    f.sink.SetFailAfter(f.sink.BytesWritten());
    EXPECT_EQ(f.driver.OutputForce(esc, 2), 0);
    // No sink, no output.
    f.driver.SetOutputSink(nullptr);
    EXPECT_EQ(f.driver.OutputForce(esc, 2), 0);
    f.driver.SetAbortProc(nullptr);
    EXPECT_EQ(f.driver.Output(esc, 2, 0), 0);
}

TEST(DriverBase, MediumDotReplacementTable)
{
    Fixture f;
    for (int v = 0; v < 256; ++v)
        ASSERT_EQ(f.driver.ReplaceVal()[v], v) << "identity before the table is set";
    f.driver.InitReplaceValNoMediumDot();
    const BYTE* t = f.driver.ReplaceVal();
    EXPECT_EQ(t[0x00], 0x00);
    EXPECT_EQ(t[0xAA], 0x00);
    EXPECT_EQ(t[0xFF], 0xFF);
    EXPECT_EQ(t[0x55], 0x55);
    EXPECT_EQ(t[0x9B], 0x13); // 10 01 10 11 -> 00 01 00 11
    EXPECT_EQ(t[0x80], 0x00);
    EXPECT_EQ(t[0x02], 0x00);
    EXPECT_EQ(t[0xE4], 0xC4); // 11 10 01 00 -> 11 00 01 00
    EXPECT_EQ(t[0x27], 0x07); // 00 10 01 11 -> 00 00 01 11
    EXPECT_EQ(t[0x7D], 0x7D); // 01 11 11 01: no medium dot, unchanged
}

// The host's calls in order, and JobClose whatever failed before it.
TEST(HostJob, CallOrderAndJobCloseAlwaysRuns)
{
    using Step = std::function<void(Fixture&)>;
    const Step none = [](Fixture&) {};
    const struct Case {
        const char* what;
        bool withParms;
        int width;
        Step before, during;
        bool rowsOk;
        int begun, ended;
        Events events;
        const char* sent;  // null: not compared
    } cases[] = {
        {"a whole job", true, 8, none,
         [](Fixture& f) {
             SetRow(f.driver, 0, {0xF0});
             ASSERT_EQ(f.driver.OutputOneRow(), 1);
         },
         true, 1, 1,
         {"JobOpen", "start string", "OutputInit 8 10", "row 0 1", "OutputExit", "end string", "JobClose"},
         "<start>[1:\xF0]<end>"},
        {"no device parameters", false, 8, none, none, true, 1, 1,
         {"JobOpen", "OutputInit 8 10", "OutputExit", "JobClose"}, ""},
        {"JobOpen fails", true, 0, none, none, false, 0, 0, {"JobOpen", "JobClose"}, nullptr},
        {"the start string fails", true, 8, [](Fixture& f) { f.sink.SetFailAfter(3); }, none, false, 0, 0,
         {"JobOpen", "start string", "JobClose"}, nullptr},
        {"rows failed", true, 8, none, none, false, 1, 0, {"JobOpen", "start string", "OutputInit 8 10", "JobClose"},
         nullptr},
        {"aborted", true, 8, [](Fixture& f) { f.driver.SetAbortProc(&f.abort); },
         [](Fixture& f) { f.abort.Abort(); }, true, 1, 0, {"JobOpen", "start string", "OutputInit 8 10", "JobClose"},
         nullptr},
        {"the end string fails", true, 8, none, [](Fixture& f) { f.sink.SetFailAfter(f.sink.BytesWritten() + 2); },
         true, 1, 0, {"JobOpen", "start string", "OutputInit 8 10", "OutputExit", "end string", "JobClose"}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f(c.withParms);
        c.before(f);
        CPrintJobOpenContext ctx = Context(c.width, 1, {0});
        ASSERT_EQ(HostJobBegin(f.driver, ctx), c.begun);
        c.during(f);
        EXPECT_EQ(HostJobEnd(f.driver, c.rowsOk), c.ended);
        EXPECT_EQ(f.events, c.events);
        if (c.sent) {
            EXPECT_EQ(f.sink.Data(), c.sent);
        }
    }
}

TEST(DriverBase, DeviceParametersGoWithTheDriver)
{
    Events events;
    {
        CPrintEnv env;
        TestDriver d(&env, &events);
        EXPECT_EQ(d.GetDevParmsSize(), static_cast<int>(sizeof(TestParms)));
    }
    EXPECT_EQ(events, Events{"parms deleted"});
}

TEST(DriverBase, DriverInfo)
{
    Fixture f;
    EXPECT_EQ(f.driver.GetDriverInfo(L"CommandSet"), L"");
    f.driver.SetDriverInfo(L"CommandSet", L"4");
    f.driver.SetDriverInfo(L"Layers", L"W,C");
    f.driver.SetDriverInfo(L"CommandSet", L"2");
    EXPECT_EQ(f.driver.GetDriverInfo(L"CommandSet"), L"2");
    EXPECT_EQ(f.driver.GetDriverInfo(L"Layers"), L"W,C");
    EXPECT_EQ(f.driver.GetDriverInfo(L"commandset"), L"");
}
