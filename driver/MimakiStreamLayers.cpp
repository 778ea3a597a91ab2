#include "driver/MimakiStreamLayers.h"

#include "host/Log.h"
#include "layers/JfxLayerKinds.h"

namespace mimaki::streamlayers {

bool KindCarries(int kind, int hostColour)
{
    const int record = jfx::KindRecord(kind);
    if (record < 0 || hostColour < 0)
        return false;
    for (const int k : jfx::ChannelKinds(jfx::Model::JFX200, hostColour).kinds)
        if (jfx::KindRecord(k) == record)
            return true;
    return false;
}

bool IsDoubleWhite(int kind) { return kind >= 26 && kind <= 31; }

std::vector<PrintedLayer> PrintedLayers(const std::vector<CMimakiLayerRecord>& list, const char* driver)
{
    std::vector<PrintedLayer> out;
    const auto& layers = mimaki::layerlist::Effective(list);
    for (std::size_t i = 0; i < layers.size(); ++i) {
        if (jfx::KindRecord(layers[i].nType) >= 0) {
            out.push_back({static_cast<int>(i), layers[i]});
        } else {
            CVoLog log;
            log->ReportStatusPF("%s#%d: layer %d (kind %d) prints nothing\n", 8, __FILE__, __LINE__, driver,
                                __LINE__, static_cast<int>(i) + 1, layers[i].nType);
        }
    }
    return out;
}

void ReportNoLayer(bool bNone, const char* driver)
{
    if (!bNone)
        return;
    CVoLog log;
    log->ReportStatusPF("***%s#%d: no layer of the list prints an ink of this job (see \"SlotsSetting\"): the page "
                        "prints nothing\n",
                        4, __FILE__, __LINE__, driver, __LINE__);
}

void PutLE32(BYTE* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}

std::uint32_t GetLE32(const BYTE* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace mimaki::streamlayers
