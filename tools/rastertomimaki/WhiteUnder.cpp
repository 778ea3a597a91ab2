#include "tools/rastertomimaki/WhiteUnder.h"

#include <cstring>
#include <string>

#include "host/PrintEnv.h"
#include "host/StrUtil.h"

namespace rastertomimaki {

namespace {

constexpr int kWhiteId = 254;

// The union of one row's colour dots, as the sources hand their rows over.
struct Coverage {
    std::vector<BYTE> bits;
    int row = -1;
    void Add(int y, const BYTE* data)
    {
        if (y != row) {
            std::memset(bits.data(), 0, bits.size());
            row = y;
        }
        for (std::size_t i = 0; i < bits.size(); ++i)
            bits[i] |= data[i];
    }
};

class TappedSource : public rasterjob::IRowSource {
public:
    TappedSource(std::unique_ptr<rasterjob::IRowSource> inner, std::shared_ptr<Coverage> coverage)
        : m_inner(std::move(inner)), m_coverage(std::move(coverage))
    {
    }
    const BYTE* Row(int y, BYTE* scratch) override
    {
        const BYTE* row = m_inner->Row(y, scratch);
        if (!row)
            m_error = m_inner->Error();
        else
            m_coverage->Add(y, row);
        return row;
    }

private:
    std::unique_ptr<rasterjob::IRowSource> m_inner;
    std::shared_ptr<Coverage> m_coverage;
};

class WhiteSource : public rasterjob::IRowSource {
public:
    WhiteSource(std::shared_ptr<Coverage> coverage, bool under, int bits)
        : m_coverage(std::move(coverage)), m_under(under), m_bits(bits)
    {
    }
    const BYTE* Row(int y, BYTE* scratch) override
    {
        const std::vector<BYTE>& c = m_coverage->bits;
        if (!m_under || m_coverage->row != y) {
            std::memset(scratch, 0, c.size());
            return scratch;
        }
        for (std::size_t i = 0; i < c.size(); ++i) {
            // A pixel with any dot of any size gets the largest white dot.
            BYTE dots = c[i];
            if (m_bits == 2) {
                dots = static_cast<BYTE>((dots | (dots >> 1)) & 0x55);
                dots = static_cast<BYTE>(dots | (dots << 1));
            }
            scratch[i] = dots;
        }
        return scratch;
    }

private:
    std::shared_ptr<Coverage> m_coverage;
    bool m_under;
    int m_bits;
};

} // namespace

int WhiteChannelsAfter(const CPrintEnv& env, std::size_t planes)
{
    // Read as the driver reads it: each entry's leading integer.
    const std::vector<std::wstring> ids = Split(env.GetString(L"MimakiColorSequence", L""), L',', 1);
    if (ids.size() <= planes)
        return 0;
    for (std::size_t i = planes; i < ids.size(); ++i)
        if (IntFromString(ids[i]) != kWhiteId)
            return 0;
    return static_cast<int>(ids.size() - planes);
}

void AddWhiteSources(std::vector<std::unique_ptr<rasterjob::IRowSource>>& sources, int count, bool under, int bits,
                     std::size_t rowBytes)
{
    auto coverage = std::make_shared<Coverage>();
    coverage->bits.assign(rowBytes, 0);
    for (auto& source : sources)
        source = std::make_unique<TappedSource>(std::move(source), coverage);
    for (int i = 0; i < count; ++i)
        sources.push_back(std::make_unique<WhiteSource>(coverage, under, bits));
}

} // namespace rastertomimaki
