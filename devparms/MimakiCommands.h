// Building job start and end commands in the escaped template notation, one
// parameter byte at a time, and the job data they read from the driver.
#pragma once

#include <string>

class CPrinterDriverBase;
class CPrintEnv;

namespace mimaki::cmd {

// 0xFF in a parameter byte keeps the printer's own setting.
constexpr int kKeep = 0xFF;

// A command text: literal template text and parameter bytes written as
// "\xHH" escapes, turned into bytes by preProcess.
class Text {
public:
    // Template text as it stands ("Q@\\000", "QA\\003").
    Text& Raw(const std::string& tmpl);
    // One parameter byte (the low 8 bits).
    Text& Byte(int value);
    // 16 or 32 bits, low byte first.
    Text& Word(int value);
    Text& Dword(int value);
    // Sign byte (1 negative, 0 positive) and magnitude (8 or 16 bits).
    Text& Signed(int value);
    Text& SignedWord(int value);
    // The byte when the flag is set, else 0xFF (the printer's setting).
    Text& ByteIf(bool send, int value) { return Byte(send ? value : kKeep); }
    Text& WordIf(bool send, int value);

    const std::string& Template() const { return m_text; }
    // The bytes of the text.
    std::string Bytes() const;

private:
    std::string m_text;
};

// The job data the start strings read from the driver.
struct Job {
    int dpiHorz = 0; // whole dots per inch
    int dpiVert = 0;
    int cutOption = 0; // 0 no cut, 1 cut, 2 the device's setting
    int commandSet = 0;
    bool cutAfterEnd = false; // the job-end action is "EndeCutAfter"
    const CPrintEnv* env = nullptr;
};
Job JobOf(CPrinterDriverBase* driver);

// The job's cut option with 2 ("use the device's setting") replaced by the
// operator's cut setting, as 1 or 0.
int CutOf(const Job& job, int deviceCut);

} // namespace mimaki::cmd
