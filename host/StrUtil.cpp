#include "StrUtil.h"

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cstdlib>

std::string WideToUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring Utf8ToWide(const std::string& text)
{
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra;
        std::uint32_t c;
        if (b < 0x80) { c = b; extra = 0; }
        else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; extra = 1; }
        else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; extra = 2; }
        else if ((b & 0xF8) == 0xF0) { c = b & 0x07; extra = 3; }
        else { out += L'\xFFFD'; ++i; continue; }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= n || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) { ok = false; break; }
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        // Overlong forms (which could smuggle in '/' or NUL), UTF-16
        // surrogates and values beyond U+10FFFF are no characters.
        static const std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (ok && (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
            ok = false;
        if (!ok) { out += L'\xFFFD'; ++i; continue; }
        out += static_cast<wchar_t>(c);
        i += 1 + extra;
    }
    return out;
}

std::string WideToAnsi(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text)
        out += static_cast<std::uint32_t>(wc) <= 0xFF ? static_cast<char>(wc) : '?';
    return out;
}

std::wstring AnsiToWide(const std::string& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (char c : text)
        out += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return out;
}

static int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

bool HexStringToBin(const std::wstring& text, std::vector<BYTE>& out)
{
    out.clear();
    out.reserve(text.size() / 2);
    std::size_t i = 0;
    for (; i + 1 < text.size(); i += 2) {
        const int hi = HexValue(text[i]);
        const int lo = HexValue(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<BYTE>(hi << 4 | lo));
    }
    return i == text.size();
}

std::vector<BYTE> HexStringToBin(const std::wstring& text)
{
    std::vector<BYTE> out;
    HexStringToBin(text, out);
    return out;
}

std::wstring BinToHexString(const BYTE* data, std::size_t length)
{
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring out(length * 2, L'0');
    for (std::size_t i = 0; i < length; ++i) {
        out[2 * i] = digits[data[i] >> 4];
        out[2 * i + 1] = digits[data[i] & 15];
    }
    return out;
}

std::wstring BinToHexString(const std::vector<BYTE>& data)
{
    return BinToHexString(data.data(), data.size());
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator, int bSkipTrailingEmpty)
{
    std::vector<std::wstring> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = text.find(separator, start);
        if (pos == std::wstring::npos) {
            items.push_back(text.substr(start));
            break;
        }
        items.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
    if (bSkipTrailingEmpty && !items.empty() && items.back().empty())
        items.pop_back();
    return items;
}

int IntFromString(const std::wstring& text)
{
    const wchar_t* p = text.c_str();
    while (*p == L' ' || *p == L'\t')
        ++p;
    bool neg = false;
    if (*p == L'+' || *p == L'-')
        neg = *p++ == L'-';
    long long v = 0;
    while (*p >= L'0' && *p <= L'9') {
        v = v * 10 + (*p++ - L'0');
        if (v > 2147483648LL)
            v = 2147483648LL;
    }
    if (neg)
        v = -v;
    if (v > 2147483647LL)
        v = 2147483647LL;
    return static_cast<int>(v);
}

int SaturatedInt(double value)
{
    if (!(value == value))
        return 0;
    if (value >= 2147483647.0)
        return 2147483647;
    if (value <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(value);
}

double DoubleFromString(const std::wstring& text)
{
    return std::wcstod(text.c_str(), nullptr);
}

std::wstring ToString(int value)
{
    return std::to_wstring(value);
}

namespace {

// The shortest "%.Ng" text, N from 6 up, that reads back as value.
std::string ShortestText(double value)
{
    char buf[64];
    for (int digits = 6; digits <= 17; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, value);
        if (std::strtod(buf, nullptr) == value)
            break;
    }
    return buf;
}

} // namespace

std::wstring ToString(double value)
{
    return AnsiToWide(ShortestText(value));
}

std::wstring ToString2f(double value)
{
    // Two decimals where they hold the value, else as many digits as it
    // takes: a saved number always loads back as itself.
    if (std::isfinite(value) && std::fabs(value) < 1e15) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2f", value);
        if (std::strtod(buf, nullptr) == value)
            return AnsiToWide(buf);
    }
    return AnsiToWide(ShortestText(value));
}
