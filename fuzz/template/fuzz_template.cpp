// Template text and parameter values in: formatting and preProcess must
// never crash nor read past the values given (they sit in a buffer of
// exactly their count, which AddressSanitizer guards), and
// - formatting fills exactly the "%03o", "%02x" and "%2.2hhx" placeholders,
//   as printf fills them with the value masked to a byte (0 once the values
//   run out); "%%" gives "%"; every other byte stays as it is;
// - preProcess gives no more bytes than its template has, the same by
//   pointer and by string, and every byte back that was written as an
//   octal escape, a hex escape or itself.
//
// Input: byte 0 the number of values (0 to 16), then the values as 32-bit
// little-endian integers, then the template.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "host/PreProcess.h"

namespace {

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_template: %s\n", what);
        std::abort();
    }
}

bool At(const std::string& s, std::size_t i, const char* form) { return s.compare(i, std::strlen(form), form) == 0; }

// What printf makes of the placeholders, one at a time.
std::string Expected(const std::string& tmpl, const int* values, std::size_t count)
{
    std::string out;
    std::size_t next = 0;
    auto value = [&] { return next < count ? static_cast<unsigned>(values[next++]) & 0xFFu : 0u; };
    for (std::size_t i = 0; i < tmpl.size();) {
        char buf[16];
        if (At(tmpl, i, "%%")) {
            out += '%';
            i += 2;
        } else if (At(tmpl, i, "%03o")) {
            std::snprintf(buf, sizeof buf, "%03o", value());
            out += buf;
            i += 4;
        } else if (At(tmpl, i, "%02x")) {
            std::snprintf(buf, sizeof buf, "%02x", value());
            out += buf;
            i += 4;
        } else if (At(tmpl, i, "%2.2hhx")) {
            std::snprintf(buf, sizeof buf, "%2.2hhx", static_cast<unsigned char>(value()));
            out += buf;
            i += 7;
        } else {
            out += tmpl[i++];
        }
    }
    return out;
}

void CheckPreProcess(const std::string& tmpl)
{
    const std::string out = preProcess(tmpl);
    Check(out.size() <= tmpl.size(), "preProcess made more bytes than its template has");
    // By pointer the template ends at its first zero byte.
    const std::string head = tmpl.substr(0, tmpl.find('\0'));
    std::string byRef = "stale";
    preProcess(byRef, head.c_str());
    Check(byRef == preProcess(head), "preProcess by pointer and by string differ");
}

// Each byte written in one of the three ways the notation allows.
void CheckRoundTrip(const std::string& bytes)
{
    static const char kHex[] = "0123456789abcdef";
    std::string tmpl;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        switch ((b + i) % 3) {
        case 0:
            tmpl += {'\\', static_cast<char>('0' + (b >> 6)), static_cast<char>('0' + (b >> 3 & 7)),
                     static_cast<char>('0' + (b & 7))};
            break;
        case 1:
            tmpl += {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
            break;
        default:
            if (b == '\\')
                tmpl += "\\\\";
            else
                tmpl += static_cast<char>(b);
        }
    }
    Check(preProcess(tmpl) == bytes, "escaped bytes do not come back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::size_t count = data[0] % 17;
    std::size_t at = 1;
    if (size - at < count * 4)
        count = (size - at) / 4;
    // Exactly count values, so that a read past them is a heap overflow.
    std::unique_ptr<int[]> values(count ? new int[count] : nullptr);
    for (std::size_t i = 0; i < count; ++i, at += 4)
        values[i] = static_cast<int>(data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
                                     static_cast<std::uint32_t>(data[at + 3]) << 24);
    const std::string tmpl(reinterpret_cast<const char*>(data + at), size - at);

    const std::string formatted = FormatTemplate(tmpl, values.get(), count);
    Check(formatted == Expected(tmpl, values.get(), count), "formatting differs from printf's");
    CheckPreProcess(tmpl);
    CheckPreProcess(formatted);
    CheckRoundTrip(tmpl);

    // Values given as hex placeholders come back as their low bytes.
    std::string bytes;
    std::string hexTemplate;
    for (std::size_t i = 0; i < count; ++i) {
        bytes += static_cast<char>(values[i] & 0xFF);
        hexTemplate += i % 2 ? "\\x%02x" : "\\%03o";
    }
    Check(preProcess(FormatTemplate(hexTemplate, values.get(), count)) == bytes, "a value does not come back");
    return 0;
}
