#include "devparms/MimakiLayerList.h"

#include "devparms/MimakiDevParmsUJF.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"

namespace mimaki::layerlist {

namespace {

constexpr int kKindCount = 34; // kinds 0..33

const std::vector<CMimakiLayerRecord>& OneColourLayer()
{
    static const std::vector<CMimakiLayerRecord> list(1);
    return list;
}

} // namespace

std::wstring LayerList::KeyName(int n, const wchar_t* field) const
{
    return std::wstring(m_prefix) + L"_Layer" + std::to_wstring(n) + L"." + field;
}

void LayerList::Load(const CPrintEnv& env, int count)
{
    if (count < 0 || count > kMaxLayers) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: %s_nNumberOfLayers is %d; %d layers are kept\n", 4, __FILE__, __LINE__,
                            "LayerList::Load", __LINE__, WideToUtf8(m_prefix).c_str(), count,
                            count < 0 ? 0 : kMaxLayers);
        count = count < 0 ? 0 : kMaxLayers;
    }
    m_records.assign(static_cast<std::size_t>(count), CMimakiLayerRecord{});
    for (int n = 1; n <= count; ++n) {
        CMimakiLayerRecord& r = m_records[static_cast<std::size_t>(n - 1)];
        for (const Field& f : m_fields)
            r.*f.member = env.GetInt(KeyName(n, f.name).c_str(), r.*f.member);
        if (r.nType != kNone && (r.nType < 0 || r.nType >= kKindCount)) {
            CVoLog log;
            log->ReportStatusPF("***%s#%d: %s=%d is no layer kind (0 to %d, or 255 for none); the layer prints "
                                "nothing\n",
                                4, __FILE__, __LINE__, "LayerList::Load", __LINE__,
                                WideToUtf8(KeyName(n, L"nType")).c_str(), r.nType, kKindCount - 1);
        }
    }
}

void LayerList::Save(CPrintEnv& env) const
{
    const int count = static_cast<int>(m_records.size());
    for (int n = 1; n <= count; ++n)
        for (const Field& f : m_fields)
            env.PutInt(KeyName(n, f.name).c_str(), m_records[static_cast<std::size_t>(n - 1)].*f.member);
    // A list that was longer leaves no records behind.
    for (int n = count + 1; n <= kMaxLayers; ++n) {
        bool any = false;
        for (const Field& f : m_fields) {
            const std::wstring key = KeyName(n, f.name);
            if (env.HasKey(key.c_str())) {
                env.DeleteEntry(key.c_str());
                any = true;
            }
        }
        if (!any)
            break;
    }
}

const std::vector<CMimakiLayerRecord>& LayerList::Effective() const
{
    return m_records.empty() ? OneColourLayer() : m_records;
}

bool LayerList::Schedules(int kind) const
{
    if (kind == kNone)
        return false;
    for (const CMimakiLayerRecord& r : Effective())
        if (r.nType == kind)
            return true;
    return false;
}

std::vector<std::pair<std::wstring, int>> LayerList::Entries() const
{
    std::vector<std::pair<std::wstring, int>> out;
    for (std::size_t i = 0; i < m_records.size(); ++i)
        for (const Field& f : m_fields)
            out.emplace_back(L"Layer" + std::to_wstring(i + 1) + L"." + f.name, m_records[i].*f.member);
    return out;
}

LayerList* Of(CUnivDevParmsBase* parms)
{
    if (auto* p = dynamic_cast<DEVPARMUJF7151plusII_CLASS*>(parms))
        return &p->m_LayerList;
    if (auto* p = dynamic_cast<DEVPARMS_JFX200EX_CLASS*>(parms))
        return &p->m_LayerList;
    return nullptr;
}

} // namespace mimaki::layerlist

namespace mimaki::layerlist {

std::span<const Field> Ujf7151PlusIIFields()
{
    using R = CMimakiLayerRecord;
    static const Field fields[] = {{L"nType", &R::nType},         {L"bMirror", &R::bMirror},
                                   {L"nPass", &R::nPass},         {L"nWaveForm", &R::nWaveForm},
                                   {L"nDirection", &R::nDirection}, {L"bSecondHalf", &R::bSecondHalf}};
    return fields;
}

std::span<const Field> Jfx200EXFields()
{
    using R = CMimakiLayerRecord;
    static const Field fields[] = {{L"nType", &R::nType},
                                   {L"bMirror", &R::bMirror},
                                   {L"nPass", &R::nPass},
                                   {L"nWaveForm", &R::nWaveForm},
                                   {L"nDirection", &R::nDirection},
                                   {L"bFlipWhenBackward", &R::bFlipWhenBackward},
                                   {L"bFlipWhenForward", &R::bFlipWhenForward}};
    return fields;
}

} // namespace mimaki::layerlist

// The two classes that keep a layer list: the list follows the count on
// load, the count follows the list on save, and the layer questions are
// answered from it (underprints by the class's kind mask).
#define LAYER_LIST_OPERATIONS(cls)                                                                          \
    void cls::OnLoaded(const CPrintEnv& env) { m_LayerList.Load(env, nNumberOfLayers); }                   \
    int cls::Save(CPrintEnv* pEnv)                                                                          \
    {                                                                                                       \
        nNumberOfLayers = static_cast<int>(m_LayerList.Records().size());                                   \
        const int result = CMimakiDevParmsBase::Save(pEnv);                                                 \
        if (pEnv)                                                                                           \
            m_LayerList.Save(*pEnv);                                                                        \
        return result;                                                                                      \
    }                                                                                                       \
    int cls::IsLayerScheduled(int nKind) { return m_LayerList.Schedules(nKind) ? 1 : 0; }                  \
    int cls::IsLayerReversed(int nKind) { return IsLayerScheduled(nKind) && CMimakiDevParmsBase::IsLayerReversed(nKind); }
LAYER_LIST_OPERATIONS(DEVPARMUJF7151plusII_CLASS)
LAYER_LIST_OPERATIONS(DEVPARMS_JFX200EX_CLASS)
#undef LAYER_LIST_OPERATIONS
