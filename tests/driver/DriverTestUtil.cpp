#include "DriverTestUtil.h"

#include <cstdio>
#include <cstring>

#include "host/Log.h"
#include "host/PrinterDriverBase.h"

IPrinterDriver* Create(CPrintEnv* pEnv);

std::string Hex(const std::string& text)
{
    std::string out;
    int nibble = -1;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else continue;
        if (nibble < 0)
            nibble = v;
        else {
            out += static_cast<char>(nibble * 16 + v);
            nibble = -1;
        }
    }
    return out;
}

std::string ToHex(const std::string& bytes)
{
    std::string out;
    char buf[4];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    return out;
}

JobResult RunJob(CPrinterDriverBase& driver, CPrintJobOpenContext context, const std::vector<Row>& rows,
                 std::uint64_t failAfter, int abortAfterRows)
{
    CMemorySink sink;
    sink.SetFailAfter(failAfter);
    CAbortProc abort;
    driver.SetOutputSink(&sink);
    driver.SetAbortProc(&abort);
    bool ok = HostJobBegin(driver, context) != 0;
    for (std::size_t r = 0; ok && r < rows.size(); ++r) {
        if (abortAfterRows >= 0 && static_cast<int>(r) == abortAfterRows) {
            abort.Abort();
            break;
        }
        for (int ch = 0; ch < driver.GetCountPrimCols(); ++ch) {
            CRasterPixelBuffer* buf = driver.GetRasterPixelBufferByIndex(ch);
            BYTE* dst = buf->pWriteRow();
            std::memset(dst, 0, buf->BytesPerRow());
            const auto& src = rows[r][static_cast<std::size_t>(ch)];
            std::memcpy(dst, src.data(), std::min(src.size(), buf->BytesPerRow()));
        }
        ok = driver.OutputOneRow() != 0;
    }
    JobResult result;
    result.ok = HostJobEnd(driver, ok);
    result.bytes = sink.Data();
    result.callsAfterFailure = sink.CallsAfterFailure();
    driver.SetOutputSink(nullptr);
    driver.SetAbortProc(nullptr);
    return result;
}

std::unique_ptr<CPrinterDriverBase> CreateDriver(CPrintEnv& env)
{
    IPrinterDriver* d = Create(&env);
    return std::unique_ptr<CPrinterDriverBase>(dynamic_cast<CPrinterDriverBase*>(d));
}

LogCapture::LogCapture(int level) : m_oldLevel(CVoLogReporter::LoggingLevel())
{
    CVoLogReporter::SetLoggingLevel(level);
    CVoLogReporter::SetCapture([this](int, const std::string& text) { lines.push_back(text); });
}

LogCapture::~LogCapture()
{
    CVoLogReporter::SetCapture(nullptr);
    CVoLogReporter::SetLoggingLevel(m_oldLevel);
}

bool LogCapture::Contains(const std::string& part) const
{
    for (const auto& l : lines)
        if (l.find(part) != std::string::npos)
            return true;
    return false;
}
