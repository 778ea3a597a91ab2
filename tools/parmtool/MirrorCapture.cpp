#include "tools/parmtool/MirrorCapture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace parmtool {

MirrorCapture::MirrorCapture()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/parmtool-mirror-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        throw std::runtime_error("cannot make a folder for the mirror file in " + pattern.substr(0, pattern.rfind('/')));
    m_dir = buf.data();
    if (const char* old = std::getenv("MIMAKI_USER_DATA")) {
        m_hadValue = true;
        m_oldValue = old;
    }
    ::setenv("MIMAKI_USER_DATA", m_dir.c_str(), 1);
}

MirrorCapture::~MirrorCapture()
{
    if (m_hadValue)
        ::setenv("MIMAKI_USER_DATA", m_oldValue.c_str(), 1);
    else
        ::unsetenv("MIMAKI_USER_DATA");
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

bool MirrorCapture::Take(std::string& name, std::string& bytes) const
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir, ec)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        name = entry.path().filename().string();
        return true;
    }
    return false;
}

} // namespace parmtool
