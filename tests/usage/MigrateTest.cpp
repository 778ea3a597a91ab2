// Migrating a store with `parmtool save`: what printed before prints after,
// and the file stays as its owner wrote it.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>

#include "devparms/ParmKeys.h"
#include "entry/ModelTable.h"
#include "host/HostJob.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/StrUtil.h"
#include "host/UnivDevParmsBase.h"
#include "tests/usage/Tools.h"
#include "tools/parmtool/ParmTool.h"
#include "tools/streamdump/StreamParser.h"

using namespace usage;
using mimaki::parms::Kind;

namespace {

// A small job of every kind of channel through the plug-in, in memory.
std::string Print(const std::string& ini, std::string& why)
{
    CPrintEnv env;
    std::string error;
    if (!env.LoadFromIni(ini, L"R", error)) {
        why = error;
        return {};
    }
    const int uid = env.GetInt(PrEnv_UID);
    std::unique_ptr<IPrinterDriver> object(mimaki::CreateForRow(&env, mimaki::FindModel(uid), uid));
    auto* driver = dynamic_cast<CPrinterDriverBase*>(object.get());
    if (!driver) {
        why = "no driver";
        return {};
    }
    CMemorySink sink;
    driver->SetOutputSink(&sink);
    CPrintJobOpenContext ctx;
    ctx.pixelWidth = 64;
    ctx.rowCount = 12;
    ctx.colourCodes = {0, 1, 2, 3, 34, 30};
    ctx.compressMode = 1;
    bool ok = HostJobBegin(*driver, ctx) != 0;
    std::mt19937 bytes(7);
    for (int row = 0; ok && row < ctx.rowCount; ++row) {
        for (std::size_t c = 0; c < ctx.colourCodes.size(); ++c) {
            CRasterPixelBuffer* buffer = driver->GetRasterPixelBufferByIndex(static_cast<int>(c));
            BYTE* p = buffer->pWriteRow();
            for (std::size_t i = 0; i < buffer->BytesPerRow(); ++i)
                p[i] = (row + c) % 3 ? static_cast<BYTE>(bytes()) : 0;
        }
        ok = driver->OutputOneRow() != 0;
    }
    if (!HostJobEnd(*driver, ok))
        why = "the job failed";
    return sink.Data();
}

// A value an old version could have stored for the key.
std::wstring OldValue(const mimaki::parms::Key& key, std::mt19937& rng)
{
    auto pick = [&](std::initializer_list<int> values) {
        return std::to_wstring(*(values.begin() + rng() % values.size()));
    };
    switch (key.kind) {
    case Kind::OldDotSize: return pick({0, 1, 2, 3});
    case Kind::OldHeater: return pick({0, 1, 35, 50});
    case Kind::OldDryTime: return pick({0, 1, 2, 3}) + L".5";
    case Kind::OldWhite: return pick({0, 1, 2, 3});
    case Kind::Int:
    case Kind::ModelInt: return pick({-1, 0, 1, 2, 3, 4, 255});
    case Kind::Real:
    case Kind::RealToString: return pick({0, 1, 12}) + L".5";
    default: return {};
    }
}

} // namespace

TEST(Migrate, Jv400StoreMigratedInPlacePrintsTheSameWhite)
{
    TempDir dir;
    const std::string ini = dir / "p.ini";
    WriteFile(ini, "[JV400]\nPrEnv_UID=22\nDP22_m_nWhiteMode=1\nDP22_m_dDryTimeValue=1.5\n");
    ASSERT_EQ(Rasterjob(SmallJob({"--settings", ini, "--channels", "0,1,2,3,34", "--pattern", "random", "-o",
                                  dir / "before.prn"})).status, 0);
    const RunResult saved = Parmtool({"save", "--settings", ini, "-o", ini});
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_TRUE(Has(ReadFile(ini), "DP22_m_nWhiteMode=1\n")) << ReadFile(ini);
    ASSERT_EQ(Rasterjob(SmallJob({"--settings", ini, "--channels", "0,1,2,3,34", "--pattern", "random", "-o",
                                  dir / "after.prn"})).status, 0);
    EXPECT_EQ(ReadFile(dir / "after.prn"), ReadFile(dir / "before.prn"));
    // The white layer is there: colour byte 254 in layer section 1.
    EXPECT_TRUE(Has(Streamdump({"--json", dir / "after.prn"}).out, "\"colour\": 254")) << "no white";
}

// Every UID the plug-in prints: a store an old version wrote, with random
// values under every key (old names included), prints the same bytes
// before and after `parmtool save` migrated it in place; and its job opens
// with the model's start commands and closes with its end.
TEST(Migrate, EveryUidReplaysTheSameAfterMigration)
{
    CVoLogReporter::SetLoggingLevel(-1);
    TempDir dir;
    int replayed = 0;
    for (int uid = 0; uid < 64; ++uid) {
        const mimaki::ModelRow& row = mimaki::FindModel(uid);
        CPrintEnv probe;
        std::unique_ptr<CUnivDevParmsBase> parms(mimaki::SelectParms(row, probe)->make());
        const mimaki::parms::KeyTable* table = mimaki::KeyTableOf(parms.get());
        std::mt19937 rng(static_cast<unsigned>(uid));
        std::ostringstream text;
        text << "[R]\nPrEnv_UID=" << uid << "\nSlotsSetting=0`1`2`3`34`30\nMimakiColorSequence=4,1,2,3,10,11\n";
        for (std::size_t i = 0; table && i < table->Keys().size(); ++i) {
            const std::wstring value = OldValue(table->Keys()[i], rng);
            if (!value.empty() && table->StoredName(i) != L"UJFPrinterTyp")
                text << WideToUtf8(table->StoredName(i)) << "=" << WideToUtf8(value) << "\n";
        }
        const std::string ini = dir / ("uid" + std::to_string(uid) + ".ini");
        WriteFile(ini, text.str());

        std::string why;
        const std::string before = Print(ini, why);
        if (why == "no driver")
            continue; // picked up once the model's driver exists
        ASSERT_EQ(why, "") << "UID " << uid;
        std::ostringstream out, err;
        ASSERT_EQ(parmtool::Run({"save", "--settings", ini, "-o", ini}, out, err), 0) << err.str();
        const std::string after = Print(ini, why);
        ASSERT_EQ(why, "") << "UID " << uid;
        EXPECT_EQ(after, before) << "UID " << uid << " prints differently after migration:\n" << text.str();

        // The plain parameters of UIDs without a model start with nothing; a
        // store whose layers print nothing (the white driver's layer order 0,
        // random layer settings of a layered model that take no ink of the
        // job) sends nothing at all.
        if (table && !after.empty()) {
            streamparse::ParseOptions options;
            options.expectJobEnd = true;
            bool first = true, opensWithStart = false;
            options.onCommand = [&](const streamparse::Command& c) {
                if (first && c.name != "NUL")
                    opensWithStart = c.job, first = false;
            };
            const streamparse::ParseResult parsed = streamparse::ParseStream(after, options);
            EXPECT_TRUE(opensWithStart) << "UID " << uid << ": the job does not open with its start commands:\n"
                                        << text.str();
            EXPECT_TRUE(parsed.ok()) << "UID " << uid << ": " << parsed.errors[0].message;
        }
        ++replayed;
    }
    EXPECT_GE(replayed, 40);
}

TEST(Migrate, InPlaceSaveKeepsCommentsPathsAndOtherSections)
{
    TempDir dir;
    const std::string ini = dir / "shop.ini";
    WriteFile(ini, "; shop printers, edited by hand\n"
                   "[\xC3\x84rger Drucker]   ; the big one\n"
                   "# dot size from the old driver\n"
                   "PrEnv_UID=48 ; JV100\n"
                   "JV100_m_nDotSize=2   # old key\n"
                   "Profile=C:\\new\\test\\x41.icc\n"
                   "\n[Other]\n; keep me\nkeep=1 ; trailing\n");
    // The section is named in another case, also for its non-ASCII letter.
    const RunResult r = Parmtool({"save", "--settings", ini, "--printer", "\xC3\xA4RGER DRUCKER", "-o", ini});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string after = ReadFile(ini);
    for (const char* kept : {"; shop printers, edited by hand\n", "# dot size from the old driver\n", "; keep me\n",
                             "keep=1 ; trailing\n", "PrEnv_UID=48 ; JV100\n", "Profile=C:\\new\\test\\x41.icc\n",
                             "JV100_m_nDotSizeV2=17\n"})
        EXPECT_TRUE(Has(after, kept)) << kept << "\n" << after;
    CPrintEnv env;
    std::string error;
    ASSERT_TRUE(env.LoadFromIni(ini, L"\u00e4rger drucker", error)) << error;
    EXPECT_EQ(env.GetString(L"Profile", L""), L"C:\\new\\test\\x41.icc");
    EXPECT_EQ(env.GetInt(L"JV100_m_nDotSize", 0), -1);
    EXPECT_EQ(env.GetInt(PrEnv_UID), 48);
}

TEST(Migrate, SaveOfAGivenUidWritesThatUid)
{
    TempDir dir;
    const RunResult r = Parmtool({"save", "--uid", "48", "-o", dir / "new.ini"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(ReadFile(dir / "new.ini"), "PrEnv_UID=48\n")) << ReadFile(dir / "new.ini");
    const RunResult shown = Parmtool({"show", "--settings", dir / "new.ini", "--json"});
    EXPECT_TRUE(Has(shown.out, "\"uid\": 48")) << shown.out << shown.err;
}
