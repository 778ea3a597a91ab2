#include "layers/LayerOutput.h"

#include <cstring>

#include "host/PrinterDriverBase.h"

namespace mimaki::layers {

void LayerOutput::Start(std::size_t nMinimum)
{
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    const std::size_t size = nMinimum > kPiece ? nMinimum : kPiece;
    if (m_buffer.size() < size)
        m_buffer.resize(size);
    m_length = 0;
    m_failed = false;
}

bool LayerOutput::Flush()
{
    if (m_failed)
        return false;
    const std::size_t n = m_length;
    m_length = 0;
    if (n && !m_driver.Output(m_buffer.data(), static_cast<long>(n), 0))
        m_failed = true;
    return !m_failed;
}

BYTE* LayerOutput::Reserve(std::size_t n)
{
    if (m_length + n > m_buffer.size() && !Flush())
        return nullptr;
    if (m_failed)
        return nullptr;
    if (n > m_buffer.size())
        m_buffer.resize(n);
    return m_buffer.data() + m_length;
}

bool LayerOutput::Put(const void* data, std::size_t n)
{
    BYTE* p = Reserve(n);
    if (!p)
        return false;
    std::memcpy(p, data, n);
    m_length += n;
    return true;
}

} // namespace mimaki::layers
