// Writes the seed corpus of fuzz_analyze: every embedded block in binary
// form (mode byte 0), and a few as hex text (mode byte 1).
//
// Usage: fuzz_analyze_seeds DIRECTORY

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/StrUtil.h"
#include "printcond/MimakiPrintModeDataTables.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_analyze_seeds DIRECTORY\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "fuzz_analyze_seeds: %s: %s\n", argv[1], ec.message().c_str());
        return 1;
    }
    int written = 0;
    for (const EmbeddedPrintModeEntry* e = EmbeddedPrintModeTable; e->name[0] != 0; ++e) {
        const std::wstring hex = EmbeddedPrintModeText(*e);
        std::vector<BYTE> bytes;
        HexStringToBin(hex, bytes);
        const std::string name = WideToUtf8(e->name);
        std::string bin(1, '\0');
        bin.append(bytes.begin(), bytes.end());
        std::vector<std::pair<std::string, std::string>> files = {{"bin_" + name, bin}};
        if (bytes.size() < 1200)
            files.push_back({"hex_" + name, "\x01" + WideToAnsi(hex)});
        for (const auto& [file, content] : files) {
            const std::filesystem::path tmp = dir / (file + ".tmp");
            std::ofstream out(tmp, std::ios::binary);
            out.write(content.data(), static_cast<std::streamsize>(content.size()));
            out.close();
            if (!out) {
                std::fprintf(stderr, "fuzz_analyze_seeds: cannot write %s\n", tmp.string().c_str());
                return 1;
            }
            std::filesystem::rename(tmp, dir / file, ec);
            if (ec) {
                std::fprintf(stderr, "fuzz_analyze_seeds: %s: %s\n", file.c_str(), ec.message().c_str());
                return 1;
            }
            ++written;
        }
    }
    std::printf("fuzz_analyze_seeds: %d seeds in %s\n", written, argv[1]);
    return 0;
}
