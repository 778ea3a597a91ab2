#include "tools/parmtool/Layers.h"

#include <memory>
#include <ostream>
#include <stdexcept>

#include "devparms/MimakiDevParms.h"
#include "entry/ModelTable.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "layers/MimakiJFX500WhiteDriver.h"
#include "tools/common/Json.h"

namespace parmtool {

int ListLayers(CPrintEnv& env, int uid, bool json, std::ostream& out)
{
    // The driver Create builds for the model answers for its own class.
    std::unique_ptr<IPrinterDriver> made(mimaki::CreateForRow(&env, mimaki::FindModel(uid), uid));
    auto* jfx = dynamic_cast<CMimakiWhitePrinterDriverJFX500Base*>(made.get());
    if (!jfx)
        throw std::runtime_error("UID " + std::to_string(uid) +
                                 " has no JFX layer catalogue: its driver is not a JFX500 or JFX200 driver");
    auto* parms = dynamic_cast<CMimakiDevParmsBase*>(jfx->GetDevParms());
    const std::string cls = mimaki::FindModel(uid).driver ? mimaki::FindModel(uid).driver->name : "";
    const int type = jfx->PrinterType(), mode = jfx->LayerMode();
    const std::vector<int> kinds = jfx->GetMultiLayers(type, mode);
    const std::vector<int> basics = jfx->GetBasicLayers(type);
    const int flagUjf = env.GetInt(L"bUJF7151", 0), flagJfx200 = env.GetInt(L"bJFX200", 0);
    if (json) {
        out << "{\"uid\": " << uid << ", \"driverClass\": " << JsonString(cls) << ", \"printerType\": " << type
            << ", \"layerMode\": " << mode << ", \"bUJF7151\": " << flagUjf << ", \"bJFX200\": " << flagJfx200
            << ", \"kinds\": [";
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            const int k = kinds[i], rec = mimaki::jfx::KindRecord(k);
            out << (i ? ", " : "") << "{\"id\": " << k << ", \"label\": " << JsonString(jfx->GetMultiLayerName(k))
                << ", \"record\": " << (rec < 0 ? "null" : std::to_string(rec))
                << ", \"reversed\": " << (parms && parms->IsLayerReversed(k) ? "true" : "false")
                << ", \"supported\": " << (jfx->IsMultiLayerSupported(k) ? "true" : "false") << "}";
        }
        out << "], \"basicLayers\": [";
        for (std::size_t i = 0; i < basics.size(); ++i)
            out << (i ? ", " : "") << "{\"id\": " << basics[i] << ", \"label\": "
                << JsonString(jfx->GetBasicLayerName(basics[i])) << ", \"supported\": "
                << (jfx->IsBasicLayerSupported(basics[i]) ? "true" : "false") << "}";
        out << "]}\n";
        return 0;
    }
    out << cls << " (UID " << uid << "): printer type \"" << WideToUtf8(env.GetString(L"JFXPrinterType", L""))
        << "\" (" << type << "), layer mode \"" << WideToUtf8(env.GetString(L"JFXLayerMode", L"")) << "\" (" << mode
        << "), bUJF7151 " << flagUjf << ", bJFX200 " << flagJfx200 << "\n";
    out << "kinds (" << kinds.size() << "):\n";
    for (const int k : kinds) {
        const int rec = mimaki::jfx::KindRecord(k);
        std::string line = std::string(k < 10 ? "    " : k < 100 ? "   " : "  ") + std::to_string(k) + "  " +
                           jfx->GetMultiLayerName(k);
        line.resize(line.size() < 47 ? 47 : line.size(), ' ');
        line += rec < 0 ? std::string() : "record " + std::to_string(rec);
        if (parms && parms->IsLayerReversed(k))
            line += ", underprint";
        if (!jfx->IsMultiLayerSupported(k))
            line += ", not supported";
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << "\n";
    }
    out << "basic layers (" << basics.size() << "):";
    for (std::size_t i = 0; i < basics.size(); ++i)
        out << (i ? ", " : " ") << basics[i] << " " << jfx->GetBasicLayerName(basics[i])
            << (jfx->IsBasicLayerSupported(basics[i]) ? "" : " (not supported)");
    out << "\n";
    return 0;
}

} // namespace parmtool
