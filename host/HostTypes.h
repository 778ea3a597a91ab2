// Small value types of the host's driver interface.
#pragma once

#include <string>

#include "HostApi.h"

// Host colour code of an ink channel (0 black, 1 cyan, 2 magenta, 3 yellow,
// 8 light cyan, 9 light magenta, ...).
enum enmDevicePrimColor : int {};

// A rectangle or a set of margins in millimetres.
struct CDRc {
    double left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const CDRc&) const = default;
};

struct CMediaSize {
    std::wstring name;
    double widthMm = 0;
    double heightMm = 0;
};

struct CQueryNpMargin {
    CMediaSize media;
};

struct CJobPrintOptionQuery {
    int option = 0;
    int value = 0;
};

class CGlobalContext;
class CInkControl;
class CPrintEnvPropertyPage;
class CDevParmsBase;
class CSpoolData;
class IColMeasureCtxt;

// A byte buffer used as a file.
class HOST_API CMemFile {
public:
    void Write(const void* data, std::size_t len) { m_data.append(static_cast<const char*>(data), len); }
    const std::string& Data() const { return m_data; }
    std::size_t GetLength() const { return m_data.size(); }
    // Empties the file and keeps its memory for the next use.
    void Reset() { m_data.clear(); }
    // Cuts the file to n bytes (n not above its length).
    void SetLength(std::size_t n) { m_data.resize(n < m_data.size() ? n : m_data.size()); }

private:
    std::string m_data;
};
