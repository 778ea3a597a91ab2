// The key lists of every class, checked against the published key lists
// kept as test data: which keys Save writes, in which order, with which
// defaults, and which model-definition keys Load reads.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "DevParmsTestUtil.h"
#include "devparms/ParmKeys.h"
#include "host/StrUtil.h"
#include "tests/support/LogCapture.h"

using namespace devparmstest;
using mimaki::parms::IsModelKey;
using mimaki::parms::Kind;

namespace {

struct ListedKey {
    std::string name;
    std::string def; // as written in the list, without parentheses; empty when none
};

struct ListedClass {
    std::string cls;
    std::string prefix;
    std::vector<ListedKey> keys;
    std::vector<ListedKey> modelKeys;
    bool layerParameters = false;
};

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(' ');
    const auto e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Splits at ", " outside parentheses.
std::vector<std::string> SplitItems(const std::string& text)
{
    std::vector<std::string> items;
    int depth = 0;
    std::string cur;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '(') ++depth;
        if (c == ')') --depth;
        if (c == ',' && depth == 0) {
            items.push_back(Trim(cur));
            cur.clear();
            continue;
        }
        cur += c;
    }
    if (!Trim(cur).empty())
        items.push_back(Trim(cur));
    return items;
}

// "a (d)" -> name a, default d.
ListedKey ParseItem(std::string item)
{
    ListedKey key;
    const auto open = item.find(" (");
    if (open != std::string::npos) {
        key.def = item.substr(open + 2, item.rfind(')') - open - 2);
        item = item.substr(0, open);
    }
    key.name = Trim(item);
    return key;
}

// "nLayer2Mode to nLayer5Mode" and "nLayerOpt1.nPass to nLayerOpt5.nPass":
// the two names differ in one digit, which runs from the first to the last.
std::vector<std::string> ExpandRange(const std::string& first, const std::string& last)
{
    std::size_t i = 0;
    while (i < first.size() && first[i] == last[i])
        ++i;
    EXPECT_TRUE(i < first.size() && std::isdigit(static_cast<unsigned char>(first[i]))) << first << " to " << last;
    std::vector<std::string> names;
    for (char d = first[i]; d <= last[i]; ++d) {
        std::string n = first;
        n[i] = d;
        names.push_back(n);
    }
    EXPECT_EQ(names.back(), last);
    return names;
}

std::vector<ListedClass> ReadKeyLists()
{
    std::ifstream in(DataFile("key_lists.txt"));
    std::vector<ListedClass> classes;
    std::string line;
    while (std::getline(in, line)) {
        ListedClass c;
        const auto tick = line.find('`');
        c.cls = line.substr(tick + 1, line.find('`', tick + 1) - tick - 1);
        const auto p = line.find("prefix \"") + 8;
        c.prefix = line.substr(p, line.find('"', p) - p);
        std::string body = line.substr(line.find("\": ", p) + 3);
        std::string model;
        const auto m = body.find(" Model-definition keys read: ");
        if (m != std::string::npos) {
            model = body.substr(m + 29);
            body = body.substr(0, m);
        }
        const auto also = body.find(" Also thirty layer-parameter keys");
        if (also != std::string::npos) {
            c.layerParameters = true;
            body = body.substr(0, also);
        }
        while (!body.empty() && body.back() == '.')
            body.pop_back();
        for (const std::string& item : SplitItems(body)) {
            ListedKey key = ParseItem(item);
            const auto to = key.name.find(" to ");
            if (to == std::string::npos) {
                c.keys.push_back(key);
                continue;
            }
            for (const std::string& n : ExpandRange(key.name.substr(0, to), key.name.substr(to + 4)))
                c.keys.push_back({n, key.def});
        }
        while (!model.empty() && model.back() == '.')
            model.pop_back();
        for (std::string item : SplitItems(model)) {
            ListedKey key = ParseItem(item);
            key.name = key.name.substr(1, key.name.size() - 2); // quoted
            c.modelKeys.push_back(key);
        }
        classes.push_back(c);
    }
    return classes;
}

// The dot-volume table as described: three 16-bit values (low byte first)
// for six inks, twelve 0xFF, three smaller values for six inks, four 0xFF.
std::string DotVolumesPrefix()
{
    std::string hex;
    const auto triples = [&hex](const char* three) {
        for (int i = 0; i < 6; ++i)
            hex += three;
    };
    triples("50008C00F000");
    hex += std::string(24, 'F');
    triples("3C007800C800");
    hex += "FFFFFFFF";
    return hex;
}

// A text in double quotes, as the lists write text defaults.
std::string Quoted(const wchar_t* text)
{
    std::string quoted(1, '"');
    quoted += WideToUtf8(text);
    quoted += '"';
    return quoted;
}

// The value Save writes for a key not in the store.
std::string ExpectedDefault(const ListedKey& key, const std::string& member)
{
    const bool text = member.rfind("str", 0) == 0;
    const bool real = member.rfind("d", 0) == 0 || member.rfind("m_d", 0) == 0;
    if (key.def.empty())
        return text ? "" : real ? "0.00" : "0";
    if (key.def == "255 or 254")
        return "254"; // the model key "bSpecifyMediaFeedQuality" is not set
    if (key.def.front() == '"')
        return key.def.substr(1, key.def.size() - 2);
    return key.def;
}

} // namespace

TEST(KeyLists, SaveWritesEveryListedKeyInOrderWithItsDefault)
{
    testsupport::LogCapture quiet; // empty stores have no slots
    const std::vector<ListedClass> classes = ReadKeyLists();
    ASSERT_GE(classes.size(), 50u);
    std::set<std::string> seen;
    for (const ListedClass& c : classes) {
        SCOPED_TRACE(c.cls);
        seen.insert(c.cls);
        auto parms = MakeClass(c.cls);
        ASSERT_TRUE(parms) << "no class " << c.cls;
        CPrintEnv empty;
        parms->Load(&empty);
        std::vector<CDeviceEnv::Entry> saved = SavedEntries(*parms);
        // Host entries and the hybrid ink set are not record keys.
        std::erase_if(saved, [](const CDeviceEnv::Entry& e) {
            return e.first.rfind(L"PrEnv_", 0) == 0 || e.first == L"MimakiCurrentInkset";
        });
        std::size_t i = 0;
        for (const ListedKey& key : c.keys) {
            ASSERT_LT(i, saved.size()) << "missing " << key.name;
            const std::string stored = WideToUtf8(saved[i].first);
            EXPECT_EQ(stored, c.prefix + "_" + key.name);
            const std::string value = WideToUtf8(saved[i].second);
            // Dot-volume tables always hold 360 bytes; the models named with
            // their own table (in the list, or among the tables that have
            // one) start with the common drop volumes, the others are zero.
            const bool modelTable = key.def == "model hex table" || stored == "TxF150_strDotVolumesData";
            if (key.name == "strDotVolumesData" && !modelTable) {
                EXPECT_EQ(value, std::string(720, '0'));
            } else if (key.def != "not constant" &&
                       (key.name.rfind("dNonBlank", 0) == 0 || key.name.rfind("dConsecutive", 0) == 0)) {
                // Written as the host writes a number.
                EXPECT_EQ(DoubleFromString(saved[i].second), 0.0) << key.name;
            } else if (modelTable) {
                EXPECT_EQ(value.size(), 720u) << key.name;
                EXPECT_EQ(value.substr(0, DotVolumesPrefix().size()), DotVolumesPrefix()) << key.name;
            } else if (key.def == "\"-1\"") {
                EXPECT_EQ(value, "-1.0") << key.name; // an old key is saved as not set
            } else if (key.def != "not constant") {
                EXPECT_EQ(value, ExpectedDefault(key, key.name)) << key.name;
            }
            ++i;
        }
        // What follows the list: the thirty quoted layer keys, or the one
        // quirky key of the UJF7151 plus II.
        std::vector<std::string> rest;
        for (; i < saved.size(); ++i)
            rest.push_back(WideToUtf8(saved[i].first));
        std::vector<std::string> expectedRest;
        if (c.layerParameters)
            for (int layer = 1; layer <= 5; ++layer)
                for (const char* part : {"IDS", "PAS", "FD", "LB", "SB", "WS"})
                    expectedRest.push_back(c.prefix + "_\"LP" + std::to_string(layer) + "_" + part + "\"");
        if (c.cls == "DEVPARMUJF7151plusII_CLASS")
            expectedRest.push_back("DP53_L\"dCommandManualVersion\"");
        EXPECT_EQ(rest, expectedRest);
    }
    // Every class but the JV330's twin has a list.
    for (const std::string& name : ClassNames()) {
        if (name != "DEVPARMCJV330_CLASS") {
            EXPECT_TRUE(seen.count(name)) << name << " has no key list";
        }
    }
}

TEST(KeyLists, ModelKeysAreReadWithTheirDefaultsAndNeverWritten)
{
    testsupport::LogCapture quiet;
    for (const ListedClass& c : ReadKeyLists()) {
        SCOPED_TRACE(c.cls);
        auto parms = MakeClass(c.cls);
        ASSERT_TRUE(parms);
        const mimaki::parms::KeyTable& table = TableOf(*parms);
        std::map<std::string, ListedKey> listed;
        for (const ListedKey& k : c.modelKeys)
            listed[k.name] = k;
        std::set<std::string> read;
        for (std::size_t i = 0; i < table.Keys().size(); ++i) {
            const mimaki::parms::Key& key = table.Keys()[i];
            if (!IsModelKey(key.kind))
                continue;
            const std::string name = WideToUtf8(table.StoredName(i));
            read.insert(name);
            ASSERT_TRUE(listed.count(name)) << name << " is read but not listed";
            const std::string def = listed[name].def;
            if (def.empty() || def == "not constant")
                continue;
            if (key.kind == Kind::ModelInt) {
                EXPECT_EQ(std::to_string(key.def), def) << name;
            } else {
                EXPECT_EQ(Quoted(key.text), def) << name;
            }
        }
        // The hybrid ink set is read with the print-condition data.
        for (const auto& [name, key] : listed) {
            if (name != "MimakiCurrentInkset") {
                EXPECT_TRUE(read.count(name)) << name << " is listed but not read";
            }
        }

        // Present in the store, they survive Save whatever the record holds.
        CPrintEnv env;
        for (const auto& [name, key] : listed)
            env.PutString(Utf8ToWide(name).c_str(), L"7");
        parms->Load(&env);
        parms->Save(&env);
        for (const auto& [name, key] : listed) {
            if (name != "MimakiCurrentInkset") {
                EXPECT_EQ(env.GetString(Utf8ToWide(name).c_str(), L""), L"7") << name;
            }
        }
    }
}

// The representative class's table lists every key its Load reads, model
// keys included, in order.
TEST(KeyLists, Ts300pAdvancedReadsItsWholeTableInOrder)
{
    std::ifstream in(DataFile("ts300p_advanced_keys.txt"));
    std::vector<std::pair<std::string, std::string>> rows; // key, default
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '|'))
            cells.push_back(Trim(cell));
        // "| key | type | default | meaning |" -> "", key, type, default, meaning
        ASSERT_GE(cells.size(), 5u) << line;
        rows.emplace_back(cells[1].substr(1, cells[1].size() - 2), cells[3]);
    }
    ASSERT_EQ(rows.size(), 67u);

    auto parms = MakeClass("DEVPARMTS300P_ADVANCED_CLASS");
    const mimaki::parms::KeyTable& table = TableOf(*parms);
    ASSERT_EQ(table.Keys().size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(WideToUtf8(table.StoredName(i)), rows[i].first) << i;
        const mimaki::parms::Key& key = table.Keys()[i];
        const std::string& def = rows[i].second;
        if (key.kind == Kind::Int || key.kind == Kind::ModelInt || key.kind == Kind::OldDotSize ||
            key.kind == Kind::OldHeater) {
            if (def == "255 or 254") {
                EXPECT_TRUE(key.intDefault) << rows[i].first;
            } else {
                EXPECT_EQ(std::to_string(key.def), def) << rows[i].first;
            }
        } else if (def.front() == '"') {
            EXPECT_EQ(Quoted(key.text), def) << rows[i].first;
        }
    }
}

// The layer lists in both key spellings: entry by entry after the other
// keys (and after the host entries Save derives), the length key kept as
// stored, a longer list stored before removed, out-of-range lengths logged.
TEST(KeyLists, LayerListsFollowTheirLengthInBothSpellings)
{
    const std::pair<const char*, std::wstring> cases[] = { // the keys of layer %, after the prefix
        {"DEVPARMCJV300_PLUS_CLASS",
         L"DPCVJ_300_PLUS_ layer1_% layer2_% layer3_% layer4_% layer5_% bMirror_% bUseSandwich_%"},
        {"DEVPARMJV330_CLASS", L"DPCVJ_330_ layer1_% layer2_% layer3_% bMirror_%"},
        {"DEVPARMUJF7151plusII_CLASS",
         L"DP53_ Layer%.nType Layer%.bMirror Layer%.nPass Layer%.nWaveForm Layer%.nDirection Layer%.bSecondHalf"},
        {"DEVPARMS_JFX200EX_CLASS", L"DP46_ Layer%.nType Layer%.bMirror Layer%.nPass Layer%.nWaveForm "
                                    L"Layer%.nDirection Layer%.bFlipWhenBackward Layer%.bFlipWhenForward"},
    };
    for (const auto& [cls, text] : cases) {
        SCOPED_TRACE(cls);
        std::vector<std::wstring> fields = Split(text, L' ', 1);
        const std::wstring count = fields.front() + L"nNumberOfLayers";
        fields.erase(fields.begin());
        const auto key = [&](std::size_t f, int n) {
            std::wstring k = text.substr(0, text.find(L' ')) + fields[f];
            return k.replace(k.find(L'%'), 1, std::to_wstring(n));
        };
        testsupport::LogCapture log;
        // Two layers; a store that held five (the fourth already gone).
        CPrintEnv env;
        env.PutInt(count.c_str(), 2);
        for (int n = 1; n <= 5; ++n)
            for (std::size_t f = 0; f < fields.size() && n != 4; ++f)
                env.PutInt(key(f, n).c_str(), 10 * n + static_cast<int>(f));
        auto parms = MakeClass(cls);
        parms->Load(&env);
        EXPECT_FALSE(log.Contains("is no layer kind"));

        const std::vector<CDeviceEnv::Entry> saved = SavedEntries(*parms);
        const std::size_t listed = 2 * fields.size();
        ASSERT_GE(saved.size(), listed);
        for (std::size_t i = 0; i < listed; ++i) {
            const int n = static_cast<int>(i / fields.size()) + 1;
            const CDeviceEnv::Entry& e = saved[saved.size() - listed + i];
            EXPECT_EQ(WideToUtf8(e.first + L"=" + e.second),
                      WideToUtf8(key(i % fields.size(), n) + L"=" + std::to_wstring(10 * n + i % fields.size())));
        }
        parms->Save(&env);
        EXPECT_EQ(env.GetInt(count.c_str(), -1), 2);
        for (int n = 3; n <= 5; ++n)
            for (std::size_t f = 0; f < fields.size(); ++f)
                EXPECT_FALSE(env.HasKey(key(f, n).c_str())) << WideToUtf8(key(f, n));

        // Past the most a list holds the rest is unread, and a negative
        // length is no list; either stays as stored.
        for (const int length : {70, -3}) {
            env.PutInt(count.c_str(), length);
            parms->Load(&env);
            EXPECT_EQ(TableOf(*parms).ListEntries(*parms).size(), length < 0 ? 0 : 64 * fields.size());
            EXPECT_TRUE(log.Contains(WideToUtf8(count) + (length < 0 ? " is -3; no entries are read"
                                                                     : " is 70; the list holds at most 64 "
                                                                       "entries, the rest are not read")));
            parms->Save(&env);
            EXPECT_EQ(env.GetInt(count.c_str(), 0), length);
        }
        EXPECT_FALSE(env.HasKey(key(0, 1).c_str()));
    }
}
