#include "StrOb.h"

#include <cstdlib>
#include <filesystem>

#include "PreProcess.h"

CStrOb::~CStrOb() = default;

std::string CStrOb::Bytes() const
{
    const unsigned h = static_cast<unsigned>(m_nOneCopyPixelHeight);
    const unsigned w = static_cast<unsigned>(m_nOutputPixelWidth);
    const auto b = [](unsigned v, int shift) { return static_cast<int>((v >> shift) & 0xFF); };
    // Only the job-size command is formatted; every other text of the
    // commands, the operator's own included, is taken as it stands.
    std::string text = m_strCommands;
    const std::size_t at = text.find(kJobSizeTemplate);
    if (at != std::string::npos)
        text.replace(at, sizeof kJobSizeTemplate - 1,
                     FormatTemplate(kJobSizeTemplate, {8, b(h, 0), b(h, 8), b(h, 16), b(h, 24), b(w, 0), b(w, 8),
                                                       b(w, 16), b(w, 24)}));
    return preProcess(text);
}

#define MIMAKI_STROB_DESTRUCTOR(name) name::~name() = default;
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiTS300P)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiJV300)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiUJV100)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiUCJV300)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiCJV150300)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiTS500)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiTS3)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiSWJ320)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiSWJ320EA)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiJV34)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiTX400)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiJV33)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiJV22)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiJV4)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiJV5)
MIMAKI_STROB_DESTRUCTOR(CStrObMimakiLayers)

std::string BuildUserDataPathName(const std::string& name, int)
{
    std::filesystem::path dir;
    if (const char* own = std::getenv("MIMAKI_USER_DATA"); own && *own)
        dir = own;
    else if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        dir = std::filesystem::path(xdg) / "mimaki";
    else if (const char* home = std::getenv("HOME"); home && *home)
        dir = std::filesystem::path(home) / ".local" / "share" / "mimaki";
    else
        dir = std::filesystem::temp_directory_path() / "mimaki";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return (dir / name).string();
}

std::string SafeFileName(const std::string& name, std::size_t keepTail)
{
    constexpr std::size_t kMaxName = 255; // bytes of one folder entry
    std::string safe = name;
    for (char& c : safe)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '_';
    if (safe == "." || safe == "..")
        safe = "_" + safe;
    if (safe.size() <= kMaxName)
        return safe;
    keepTail = keepTail < kMaxName ? keepTail : 0;
    std::size_t head = kMaxName - keepTail;
    // Not inside a UTF-8 sequence: back up over continuation bytes.
    while (head > 0 && (static_cast<unsigned char>(safe[head]) & 0xC0) == 0x80)
        --head;
    return safe.substr(0, head) + safe.substr(safe.size() - keepTail);
}
