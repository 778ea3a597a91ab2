// Scratch folders and whole-file reads and writes for tests.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under $TMPDIR, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    std::string Sub(const std::string& name) const;  // makes a subfolder
    std::vector<std::string> List() const;           // names in it, sorted
    // Names in any folder, sorted; none when it does not exist.
    static std::vector<std::string> ListOf(const std::string& folder);

private:
    std::string m_path;
};

// The file's bytes, or "" when it cannot be read.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);

} // namespace testsupport
