#include "tests/support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

#include "host/PrintEnv.h"

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir()
{
    std::string tmpl = (fs::temp_directory_path() / "mimaki-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

TempDir::~TempDir()
{
    // A test may have taken the write permission away.
    std::error_code ec;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

std::string TempDir::Sub(const std::string& name) const
{
    const std::string p = *this / name;
    fs::create_directories(p);
    return p;
}

std::vector<std::string> TempDir::List() const
{
    return ListOf(m_path);
}

std::vector<std::string> TempDir::ListOf(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::string& path)
{
    std::string data, error;
    return ReadWholeFile(path, data, error) ? data : std::string();
}

void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

} // namespace testsupport
