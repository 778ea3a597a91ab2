// Collects the log's reports while alive.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// Sets the logging level for its lifetime; restores level, capture and log
// file afterwards.
class LogCapture {
public:
    explicit LogCapture(int level = 4);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    bool Contains(const std::string& part) const;
    // The lines with the source line after '#' replaced by "#L" (it must be
    // a positive number).
    std::vector<std::string> Normalized() const;
    void Clear();

    std::vector<std::string> lines;
    std::vector<int> levels;  // of each line

private:
    int m_saved;
};

} // namespace testsupport
