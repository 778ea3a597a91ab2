#include "host/StrUtil.h"

#include <gtest/gtest.h>

#include <climits>

TEST(HexText, Decode)
{
    std::vector<BYTE> out;
    EXPECT_TRUE(HexStringToBin(L"00FFa07f", out));
    EXPECT_EQ(out, (std::vector<BYTE>{0x00, 0xFF, 0xA0, 0x7F}));
    EXPECT_TRUE(HexStringToBin(L"", out));
    EXPECT_TRUE(out.empty());
    // Stops at the first bad pair and says so.
    EXPECT_FALSE(HexStringToBin(L"12ZZ34", out));
    EXPECT_EQ(out, (std::vector<BYTE>{0x12}));
    EXPECT_FALSE(HexStringToBin(L"1G", out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(HexStringToBin(L"12 34", out));
    EXPECT_EQ(out, (std::vector<BYTE>{0x12}));
    // An odd last digit is dropped.
    EXPECT_FALSE(HexStringToBin(L"ABC", out));
    EXPECT_EQ(out, (std::vector<BYTE>{0xAB}));
    // Non-ASCII characters are not digits, whatever their low bits.
    EXPECT_FALSE(HexStringToBin(std::wstring(L"1") + wchar_t(0x10031), out));
    EXPECT_EQ(HexStringToBin(L"0a0B"), (std::vector<BYTE>{0x0A, 0x0B}));
    // The old content of out does not survive.
    out = {1, 2, 3};
    EXPECT_TRUE(HexStringToBin(L"", out));
    EXPECT_TRUE(out.empty());
}

TEST(HexText, EncodeAndRoundTrip)
{
    EXPECT_EQ(BinToHexString(std::vector<BYTE>{}), L"");
    EXPECT_EQ(BinToHexString(std::vector<BYTE>{0x00, 0x0F, 0xA5, 0xFF}), L"000FA5FF");
    std::vector<BYTE> all(256);
    for (int i = 0; i < 256; ++i)
        all[static_cast<std::size_t>(i)] = static_cast<BYTE>(i);
    const std::wstring text = BinToHexString(all.data(), all.size());
    EXPECT_EQ(text.size(), 512u);
    EXPECT_EQ(text.substr(0, 8), L"00010203");
    EXPECT_EQ(text.substr(504), L"FCFDFEFF");
    EXPECT_EQ(HexStringToBin(text), all);
}

TEST(SplitText, Separators)
{
    using V = std::vector<std::wstring>;
    EXPECT_EQ(Split(L"1`2`3", L'`'), (V{L"1", L"2", L"3"}));
    EXPECT_EQ(Split(L"a,,b", L','), (V{L"a", L"", L"b"}));
    EXPECT_EQ(Split(L",a", L','), (V{L"", L"a"}));
    EXPECT_EQ(Split(L"a,", L','), (V{L"a"}));
    EXPECT_EQ(Split(L"a,", L',', 0), (V{L"a", L""}));
    EXPECT_EQ(Split(L"a,,", L','), (V{L"a", L""}));
    EXPECT_EQ(Split(L"", L','), V{});
    EXPECT_EQ(Split(L"", L',', 0), V{L""});
    EXPECT_EQ(Split(L",", L','), V{L""});
    EXPECT_EQ(Split(L"abc", L','), V{L"abc"});
    EXPECT_EQ(Split(L"a b", L' '), (V{L"a", L"b"}));
}

TEST(Numbers, IntFromString)
{
    EXPECT_EQ(IntFromString(L"42"), 42);
    EXPECT_EQ(IntFromString(L" \t-7"), -7);
    EXPECT_EQ(IntFromString(L"+3"), 3);
    EXPECT_EQ(IntFromString(L"12abc"), 12);
    EXPECT_EQ(IntFromString(L"1.9"), 1);
    EXPECT_EQ(IntFromString(L"0x10"), 0);
    EXPECT_EQ(IntFromString(L"abc"), 0);
    EXPECT_EQ(IntFromString(L""), 0);
    EXPECT_EQ(IntFromString(L"-"), 0);
    EXPECT_EQ(IntFromString(L"- 5"), 0);
    EXPECT_EQ(IntFromString(L"2147483647"), INT_MAX);
    EXPECT_EQ(IntFromString(L"-2147483648"), INT_MIN);
    // Out of range clamps instead of wrapping.
    EXPECT_EQ(IntFromString(L"2147483648"), INT_MAX);
    EXPECT_EQ(IntFromString(L"99999999999999999999"), INT_MAX);
    EXPECT_EQ(IntFromString(L"-99999999999999999999"), INT_MIN);
}

TEST(Numbers, DoublesAndToString)
{
    EXPECT_DOUBLE_EQ(DoubleFromString(L"1.5"), 1.5);
    EXPECT_DOUBLE_EQ(DoubleFromString(L" -0.25x"), -0.25);
    EXPECT_DOUBLE_EQ(DoubleFromString(L"abc"), 0.0);
    EXPECT_DOUBLE_EQ(DoubleFromString(L""), 0.0);
    EXPECT_EQ(ToString(-12), L"-12");
    EXPECT_EQ(ToString(100.0), L"100");
    EXPECT_EQ(ToString(0.5), L"0.5");
    EXPECT_EQ(ToString2f(15.0), L"15.00");
    EXPECT_EQ(ToString2f(-1.0), L"-1.00");
    // Two decimals only where they hold the value; else the shortest text
    // that reads back as it.
    EXPECT_EQ(ToString2f(2.345), L"2.345");
    EXPECT_EQ(ToString2f(1e100), L"1e+100");
    EXPECT_EQ(ToString(1234567.0), L"1234567");
    EXPECT_EQ(ToString(0.1), L"0.1");
}

TEST(TextConversion, Utf8RoundTrip)
{
    const std::wstring wide = L"A\u00e9\u65e5\u672c\U0001F600";
    const std::string utf8 = "A\xC3\xA9\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80";
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToWide(utf8), wide);
    EXPECT_EQ(WideToUtf8(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(Utf8ToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
    // Boundaries of each sequence length.
    for (std::uint32_t c : {0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFDu, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
        const std::wstring w(1, static_cast<wchar_t>(c));
        EXPECT_EQ(Utf8ToWide(WideToUtf8(w)), w) << std::hex << c;
    }
}

TEST(TextConversion, InvalidUtf8BecomesReplacementCharacters)
{
    const wchar_t R = 0xFFFD;
    EXPECT_EQ(Utf8ToWide("\xFF"), std::wstring(1, R));
    EXPECT_EQ(Utf8ToWide("a\x80z"), (std::wstring{L'a', R, L'z'}));
    // A sequence cut short, at the end and before an ASCII byte.
    EXPECT_EQ(Utf8ToWide("\xE6\x97"), (std::wstring{R, R}));
    EXPECT_EQ(Utf8ToWide("\xE6\x97" "A"), (std::wstring{R, R, L'A'}));
    EXPECT_EQ(Utf8ToWide("\xC3"), std::wstring(1, R));
    // Overlong forms must not smuggle in ASCII (NUL, '/').
    EXPECT_EQ(Utf8ToWide("\xC0\x80"), (std::wstring{R, R}));
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), (std::wstring{R, R}));
    EXPECT_EQ(Utf8ToWide("\xE0\x80\xAF"), (std::wstring{R, R, R}));
    EXPECT_EQ(Utf8ToWide("\xF0\x80\x80\xAF"), (std::wstring{R, R, R, R}));
    // UTF-16 surrogates and values beyond U+10FFFF are not characters.
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), (std::wstring{R, R, R}));
    EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), (std::wstring{R, R, R, R}));
    EXPECT_EQ(Utf8ToWide("\xF7\xBF\xBF\xBF"), (std::wstring{R, R, R, R}));
    // Wide text that is no character is written as U+FFFD.
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD");
}

TEST(TextConversion, Ansi)
{
    EXPECT_EQ(WideToAnsi(L"a\u00e9\u00ff\u65e5"), "a\xE9\xFF?");
    EXPECT_EQ(WideToAnsi(std::wstring(L"\x1B\0A", 3)), std::string("\x1B\0A", 3));
    EXPECT_EQ(AnsiToWide("\x1B\xE9\xFF"), (std::wstring{0x1B, 0xE9, 0xFF}));
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(WideToAnsi(AnsiToWide(all)), all);
}
