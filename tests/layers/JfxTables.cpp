#include "tests/layers/JfxTables.h"

#include <cctype>
#include <cstring>
#include <regex>
#include <sstream>

#include "tests/layers/FlatbedTestSupport.h"

namespace jfxdoc {

using spooltest::DataLines;
using spooltest::Numbers;
using spooltest::TableCells;

const char* const kTypes[7] = {"WW", "VV", "WV", "PP", "WP", "VP", "WVP"};

namespace {

int TypeOf(const std::string& name)
{
    for (int t = 0; t < 7; ++t)
        if (name == kTypes[t])
            return t;
    return -1;
}

void ReadKinds(Tables& d)
{
    for (const std::string& l : DataLines("jfx_layer_kinds.md")) {
        const auto c = TableCells(l);
        if (c.size() == 3 && !c[1].empty() && c[1][0] == '"') {
            const int id = std::stoi(c[0]);
            d.label[id] = c[1].substr(1, c[1].find('"', 1) - 1);
            d.record[id] = std::stoi(c[2]);
            if (c[1].find("(JFX200)") != std::string::npos)
                d.jfx200Only.insert(id);
        }
        if (l.rfind("Underprints:", 0) == 0) {
            const auto from = l.find("true for"), split = l.find("JFX200 for");
            for (int k : Numbers(l.substr(from, split - from)))
                d.reversed[0].insert(k);
            for (int k : Numbers(l.substr(split + std::strlen("JFX200 for"))))
                d.reversed[1].insert(k);
        }
        if (c.size() != 4)
            continue;
        if (TypeOf(c[0]) >= 0)
            d.lists[{TypeOf(c[0]), c[1]}] = {Numbers(c[2]), Numbers(c[3])};
        if (c[0] == "any other" || std::isdigit(static_cast<unsigned char>(c[0][0]))) {
            // "34, or 33 when 34 has no code (JFX200: always 34)", "0", "its own"
            Tables::Dist& t = d.dist[c[0] == "any other" ? -1 : std::stoi(c[0])];
            t.kinds[0] = Numbers(c[1]);
            t.kinds[1] = Numbers(c[2]);
            const auto n = Numbers(c[3]);
            if (c[3] != "its own")
                t.code = n[0];
            if (n.size() > 1) {
                t.fallback[0] = n[1];
                t.fallback[1] = c[3].find("always") == std::string::npos ? n[1] : -1;
            }
        }
    }
}

void ReadCodes(Tables& d)
{
    const std::regex assign("(\\d+) ← \"([A-Za-z0-9_]+)\" \\((\\d+)\\)");
    const std::regex arrow("(\\d+)→(\\d+)");
    for (const std::string& l : DataLines("jfx_codes.md")) {
        const auto c = TableCells(l);
        if (c.size() == 2 && TypeOf(c[0]) >= 0)
            for (std::sregex_iterator it(c[1].begin(), c[1].end(), assign), e; it != e; ++it)
                d.initCodes[TypeOf(c[0])].push_back({std::stoi((*it)[1]), (*it)[2], std::stoi((*it)[3])});
        if (l.rfind("Colour-code map:", 0) == 0)
            for (std::sregex_iterator it(l.begin(), l.end(), arrow), e; it != e; ++it)
                d.construction[std::stoi((*it)[1])] = std::stoi((*it)[2]);
        if (l.rfind("Afterwards:", 0) == 0) {
            // "for WW, WV, WP and WVP an identifier 34 still at 99 becomes 254; ..."
            std::stringstream ss(l.substr(l.find(':') + 1));
            for (std::string part; std::getline(ss, part, ';');) {
                const auto n = Numbers(part.substr(part.find("identifier")));
                const std::regex type("\\b(WVP|WW|VV|WV|PP|WP|VP)\\b");
                for (std::sregex_iterator it(part.begin(), part.end(), type), e; it != e; ++it)
                    d.afterwards[TypeOf((*it)[1])][n[0]] = n[2];
            }
        }
        if (l.rfind("- With", 0) != 0)
            continue;
        // "- Without the mirror flag: ... spot ink: records 1, 3 → code of identifier 34; ..."
        const bool mirror = l.rfind("- With ", 0) == 0;
        std::stringstream ss(l.substr(l.find(mirror ? "gets: " : "spot ink: ") + (mirror ? 6 : 10)));
        for (std::string part; std::getline(ss, part, ';');) {
            const std::size_t at = part.find("→"); // "other records send nothing for it" has none
            const std::string left = part.substr(0, at), right = at == std::string::npos ? part : part.substr(at);
            std::vector<int> ids;
            if (right.find("primer") != std::string::npos)
                ids = {-25};
            else if (right.find("varnish") != std::string::npos)
                ids = {-30};
            else if (right.find("nothing") == std::string::npos)
                ids = Numbers(right.substr(0, right.find('.')));
            std::vector<int> recs = Numbers(left);
            if (left.find(" to ") != std::string::npos)
                for (int r = recs[0] + 1; r < recs[1]; ++r)
                    recs.push_back(r);
            if (left.find("other") != std::string::npos)
                recs = {-1};
            for (int r : recs)
                d.spot[mirror][r] = ids;
        }
    }
}

} // namespace

const Tables& Doc()
{
    static const Tables d = [] {
        Tables t;
        ReadKinds(t);
        ReadCodes(t);
        return t;
    }();
    return d;
}

} // namespace jfxdoc
