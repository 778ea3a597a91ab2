// Layer bytes on their way to the printer: gathered in one buffer and
// handed to the driver's output in large pieces, so that a page end does
// not make one output call per record. The first failed output ends it:
// every later call answers false and nothing more is sent.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/HostTypes.h"

class CPrinterDriverBase;

namespace mimaki::layers {

class LayerOutput {
public:
    explicit LayerOutput(CPrinterDriverBase& driver) : m_driver(driver) {}

    // A new page: room for at least nMinimum bytes at once; failures cleared.
    void Start(std::size_t nMinimum);
    // n bytes of room at the end of the gathered bytes (sending what is
    // gathered first when they do not fit), or null after a failure. The
    // caller writes them and then calls Commit with how many it wrote.
    BYTE* Reserve(std::size_t n);
    void Commit(std::size_t n) { m_length += n; }
    bool Put(const void* data, std::size_t n);
    bool Put(const std::string& s) { return Put(s.data(), s.size()); }
    // Sends what is gathered.
    bool Flush();
    bool Failed() const { return m_failed; }

private:
    CPrinterDriverBase& m_driver;
    std::vector<BYTE> m_buffer;
    std::size_t m_length = 0;
    bool m_failed = false;
};

} // namespace mimaki::layers
