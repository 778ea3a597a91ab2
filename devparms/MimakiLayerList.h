// The layer list of the flatbeds that print a page as a stack of layers
// (UJF7151 plus II, JFX200EX): one record per layer in print order, stored
// as "<prefix>_Layer<n>.<field>" (n from 1) after the count
// "<prefix>_nNumberOfLayers". Each class names the fields it keeps; one
// routine loads and one saves them.
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

class CPrintEnv;
class CUnivDevParmsBase;

struct CMimakiLayerRecord {
    int nType = 0;          // multi-layer kind, 255 none
    int bMirror = 0;        // printed mirrored over the job's width
    int nPass = 0;          // 0: the printer's own
    int nWaveForm = 0;      // 0: the printer's own
    int nDirection = 0;     // 0 unidirectional, 1 bidirectional
    int bSecondHalf = 0;    // sandwich double width: the row's second half
    int bFlipWhenBackward = 0; // the JFX200EX's two direction bits: read the
    int bFlipWhenForward = 0;  // streams the other way than the last layer did
};

namespace mimaki::layerlist {

constexpr int kNone = 255;
// More layers than this are not kept (a damaged count is not a reason to
// read thousands of keys).
constexpr int kMaxLayers = 64;

struct Field {
    const wchar_t* name;
    int CMimakiLayerRecord::*member;
};

class LayerList {
public:
    LayerList(const wchar_t* prefix, std::span<const Field> fields) : m_prefix(prefix), m_fields(fields) {}

    // Records 1..count of the store; a count outside 0..kMaxLayers and a
    // kind that is no multi-layer kind are logged with their key.
    void Load(const CPrintEnv& env, int count);
    // Writes every record and removes the records of a longer list stored
    // before.
    void Save(CPrintEnv& env) const;

    std::vector<CMimakiLayerRecord>& Records() { return m_records; }
    const std::vector<CMimakiLayerRecord>& Records() const { return m_records; }
    // What prints: the list, or one Color layer when it is empty.
    const std::vector<CMimakiLayerRecord>& Effective() const;
    // Whether a layer of the list prints the kind (never for kNone).
    bool Schedules(int kind) const;

    std::wstring KeyName(int n, const wchar_t* field) const;
    // Every stored field as (key without the prefix, value), in store order.
    std::vector<std::pair<std::wstring, int>> Entries() const;
    std::span<const Field> Fields() const { return m_fields; }
    const wchar_t* Prefix() const { return m_prefix; }

private:
    const wchar_t* m_prefix;
    std::span<const Field> m_fields;
    std::vector<CMimakiLayerRecord> m_records;
};

// The fields each class keeps.
std::span<const Field> Ujf7151PlusIIFields();
std::span<const Field> Jfx200EXFields();

// The layer list of a parameter object, or null when its class keeps none.
LayerList* Of(CUnivDevParmsBase* parms);

} // namespace mimaki::layerlist
