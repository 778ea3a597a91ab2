// A stand-in plug-in for rasterjob's tests. Its stream is easy to decode:
//   start string "<start>", end string "<end>"
//   per row: for every channel with ink 'R', host colour code, byte count
//            (2 bytes LE), the bytes; then '\n'
//   a feed:  'F' and the row count (4 bytes LE)
// The key "Test_Fail" names the call that answers 0 ("JobOpen",
// "StartString", "OutputInit", "Row" at row "Test_FailRow", "OutputExit",
// "EndString", "JobClose"); UID 99 gets no driver, UID 1 a second class.
// "Test_CopyRows" = 1 makes it copy every row into a new buffer, as a
// driver that allocates per row would; "Test_RowDelayUs" slows every row
// down, as a slow driver would. For UID 99 Create logs its reason.
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/Log.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/StrUtil.h"
#include "host/UnivDevParmsBase.h"

// Named at file scope so that their RTTI names are plain.
class CTestDevParms : public CUnivDevParmsBase {
public:
    explicit CTestDevParms(std::wstring fail) : CUnivDevParmsBase(sizeof(CTestDevParms), 261), m_fail(std::move(fail)) {}
    std::string GetStartString(CPrinterDriverBase*) override { return "<start>"; }
    std::string GetEndString(CPrinterDriverBase*) override { return "<end>"; }
    int OutputStartString(CPrinterDriverBase* pDriver) override
    {
        return m_fail == L"StartString" ? 0 : CUnivDevParmsBase::OutputStartString(pDriver);
    }
    int OutputEndString(CPrinterDriverBase* pDriver) override
    {
        return m_fail == L"EndString" ? 0 : CUnivDevParmsBase::OutputEndString(pDriver);
    }

private:
    std::wstring m_fail;
};

class CTestDriver : public CPrinterDriverBase {
public:
    CTestDriver(CPrintEnv* env, CUnivDevParmsBase* parms)
        : CPrinterDriverBase(env, parms), m_fail(env->GetString(L"Test_Fail", L"")),
          m_failRow(env->GetInt(L"Test_FailRow", 1)), m_copyRows(env->GetInt(L"Test_CopyRows", 0) != 0),
          m_delayUs(env->GetInt(L"Test_RowDelayUs", 0))
    {
    }

    int JobOpen(CPrintJobOpenContext* context) override
    {
        return m_fail == L"JobOpen" ? 0 : CPrinterDriverBase::JobOpen(context);
    }
    int OutputInit(int width, int rows) override
    {
        m_rowsOut = 0;
        return m_fail == L"OutputInit" ? 0 : CPrinterDriverBase::OutputInit(width, rows);
    }
    int OutputExit() override { return m_fail == L"OutputExit" ? 0 : CPrinterDriverBase::OutputExit(); }
    int JobClose() override
    {
        if (Aborted()) {
            const std::string command = preProcess(WideToAnsi(m_pPrintEnv->GetString(PrEnv_AbortCommand)));
            if (!command.empty())
                OutputForce(reinterpret_cast<const BYTE*>(command.data()), static_cast<long>(command.size()));
        }
        const int closed = CPrinterDriverBase::JobClose();
        return m_fail == L"JobClose" ? 0 : closed;
    }
    std::wstring RetrieveOrChangeSpecialDriverSettings(const std::wstring& query) override
    {
        return query == L"CommandSet" ? m_pPrintEnv->GetString(L"Test_CommandSet", L"") : std::wstring();
    }

    int OutputCurrentRow() override
    {
        if (m_fail == L"Row" && ++m_rowsOut >= m_failRow)
            return 0;
        if (m_delayUs > 0)
            ::usleep(static_cast<useconds_t>(m_delayUs));
        for (int c = 0; c < GetCountPrimCols(); ++c) {
            const int n = GetChannelByteCount(c);
            if (!n)
                continue;
            const BYTE head[4] = {'R', static_cast<BYTE>(GetChannelColour(c)), static_cast<BYTE>(n),
                                  static_cast<BYTE>(n >> 8)};
            const BYTE* row = GetRasterPixelBufferByIndex(c)->pReadRow();
            std::vector<BYTE> copy;
            if (m_copyRows) {
                copy.assign(row, row + n);
                row = copy.data();
            }
            if (!Output(head, 4, 0) || !Output(row, n, 0))
                return 0;
        }
        return Output(std::string("\n"));
    }

protected:
    int AdvanceRows(int rows) override
    {
        const BYTE feed[5] = {'F', static_cast<BYTE>(rows), static_cast<BYTE>(rows >> 8), static_cast<BYTE>(rows >> 16),
                              static_cast<BYTE>(rows >> 24)};
        return Output(feed, 5, 0);
    }

private:
    std::wstring m_fail;
    int m_failRow;
    bool m_copyRows;
    int m_delayUs;
    int m_rowsOut = 0;
};

class CTestDriverOther : public CTestDriver {
    using CTestDriver::CTestDriver;
};

__attribute__((visibility("default"))) IPrinterDriver* Create(CPrintEnv* env)
{
    const int uid = env->GetInt(PrEnv_UID) & 255;
    if (uid == 99) {
        CVoLog()->ReportStatusPF("***%s#%d: UID %d is not made by the test plug-in\n", 4, __FILE__, __LINE__, "Create",
                                 __LINE__, uid);
        return nullptr;
    }
    auto* parms = new CTestDevParms(env->GetString(L"Test_Fail", L""));
    if (uid == 1)
        return new CTestDriverOther(env, parms);
    return new CTestDriver(env, parms);
}
