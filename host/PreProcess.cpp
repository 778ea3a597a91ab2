#include "PreProcess.h"

#include <cstring>

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void Convert(std::string& out, const char* p, const char* end)
{
    out.clear();
    out.reserve(static_cast<std::size_t>(end - p));
    while (p < end) {
        const char c = *p++;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (p == end)
            break; // trailing backslash
        const char e = *p;
        const auto octal = [](char c) { return c >= '0' && c <= '7'; };
        if (end - p >= 3 && octal(p[0]) && octal(p[1]) && octal(p[2])) {
            // Exactly three digits; fewer are an ordinary escaped character.
            const unsigned v = static_cast<unsigned>((p[0] - '0') * 64 + (p[1] - '0') * 8 + (p[2] - '0'));
            p += 3;
            out += static_cast<char>(v & 0xFF);
        } else if (e == 'x' && p + 1 < end && HexDigit(p[1]) >= 0) {
            ++p;
            unsigned v = 0;
            for (int k = 0; k < 2 && p < end && HexDigit(*p) >= 0; ++k)
                v = v * 16 + static_cast<unsigned>(HexDigit(*p++));
            out += static_cast<char>(v);
        } else {
            out += e;
            ++p;
        }
    }
}

} // namespace

void preProcess(std::string& out, const char* tmpl)
{
    if (!tmpl) {
        out.clear();
        return;
    }
    Convert(out, tmpl, tmpl + std::strlen(tmpl));
}

std::string preProcess(const char* tmpl)
{
    std::string out;
    preProcess(out, tmpl);
    return out;
}

std::string preProcess(const std::string& tmpl)
{
    std::string out;
    Convert(out, tmpl.data(), tmpl.data() + tmpl.size());
    return out;
}

std::string FormatTemplate(const std::string& tmpl, const int* values, std::size_t count)
{
    static const char* const kForms[] = {"%03o", "%02x", "%2.2hhx"};
    std::string out;
    out.reserve(tmpl.size() + 8);
    std::size_t next = 0;
    for (std::size_t i = 0; i < tmpl.size();) {
        if (tmpl[i] != '%') {
            out += tmpl[i++];
            continue;
        }
        if (tmpl.compare(i, 2, "%%") == 0) {
            out += '%';
            i += 2;
            continue;
        }
        bool matched = false;
        for (const char* form : kForms) {
            const std::size_t len = std::strlen(form);
            if (tmpl.compare(i, len, form) != 0)
                continue;
            const unsigned v = next < count ? static_cast<unsigned>(values[next++]) & 0xFFu : 0u;
            char buf[8];
            if (form[1] == '0' && form[3] == 'o') {
                buf[0] = static_cast<char>('0' + (v >> 6));
                buf[1] = static_cast<char>('0' + ((v >> 3) & 7));
                buf[2] = static_cast<char>('0' + (v & 7));
            } else {
                static const char hex[] = "0123456789abcdef";
                buf[0] = hex[v >> 4];
                buf[1] = hex[v & 15];
                buf[2] = 0;
            }
            out.append(buf, form[3] == 'o' ? 3 : 2);
            i += len;
            matched = true;
            break;
        }
        if (!matched)
            out += tmpl[i++];
    }
    return out;
}
