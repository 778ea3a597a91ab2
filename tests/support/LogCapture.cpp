#include "tests/support/LogCapture.h"

#include <regex>

#include "host/Log.h"

namespace testsupport {

LogCapture::LogCapture(int level) : m_saved(CVoLogReporter::LoggingLevel())
{
    CVoLogReporter::SetLoggingLevel(level);
    CVoLogReporter::SetCapture([this](int lvl, const std::string& text) {
        lines.push_back(text);
        levels.push_back(lvl);
    });
}

LogCapture::~LogCapture()
{
    CVoLogReporter::SetCapture(nullptr);
    CVoLogReporter::SetLoggingLevel(m_saved);
    CVoLogReporter::SetLogFile("");
}

bool LogCapture::Contains(const std::string& part) const
{
    for (const auto& l : lines)
        if (l.find(part) != std::string::npos)
            return true;
    return false;
}

std::vector<std::string> LogCapture::Normalized() const
{
    static const std::regex line("^((?:\\*\\*\\*|!!!)?[A-Za-z_:]+)#([0-9]+): ");
    std::vector<std::string> out;
    for (const std::string& s : lines) {
        std::smatch m;
        if (std::regex_search(s, m, line) && std::stoi(m[2].str()) > 0)
            out.push_back(m[1].str() + "#L: " + m.suffix().str());
        else
            out.push_back(s);
    }
    return out;
}

void LogCapture::Clear()
{
    lines.clear();
    levels.clear();
}

} // namespace testsupport
