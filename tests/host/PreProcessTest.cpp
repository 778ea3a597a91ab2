#include "host/PreProcess.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/Bytes.h"

using testsupport::Bytes;

namespace {

// Both forms of preProcess must agree; the reference form also clears what
// the string held before.
std::string Pre(const char* tmpl)
{
    std::string out = "stale";
    preProcess(out, tmpl);
    EXPECT_EQ(out, preProcess(tmpl));
    EXPECT_EQ(out, preProcess(std::string(tmpl)));
    return out;
}

} // namespace

TEST(PreProcess, OctalEscapes)
{
    EXPECT_EQ(Pre("\\033@"), Bytes({0x1B, '@'}));
    EXPECT_EQ(Pre("\\000\\001\\377"), Bytes({0, 1, 0xFF}));
    // An escape is exactly three octal digits: fewer are a backslash before
    // an ordinary character, which stands for itself.
    EXPECT_EQ(Pre("A\\1B"), Bytes({'A', '1', 'B'}));
    EXPECT_EQ(Pre("\\0A"), Bytes({'0', 'A'}));
    EXPECT_EQ(Pre("\\78"), Bytes({'7', '8'}));
    EXPECT_EQ(Pre("\\01"), Bytes({'0', '1'}));
    EXPECT_EQ(Pre("\\12\\033"), Bytes({'1', '2', 0x1B}));
    // At most three digits belong to the escape.
    EXPECT_EQ(Pre("\\1011"), Bytes({'A', '1'}));
    EXPECT_EQ(Pre("\\0101"), Bytes({8, '1'}));
    // Values above 255 keep their low 8 bits.
    EXPECT_EQ(Pre("\\400"), Bytes({0}));
    EXPECT_EQ(Pre("\\777"), Bytes({0xFF}));
    EXPECT_EQ(Pre("\\401x"), Bytes({1, 'x'}));
}

TEST(PreProcess, HexEscapes)
{
    EXPECT_EQ(Pre("\\x01"), Bytes({1}));
    EXPECT_EQ(Pre("\\x5"), Bytes({5}));
    EXPECT_EQ(Pre("\\xFF\\xfe\\xAb"), Bytes({0xFF, 0xFE, 0xAB}));
    // Two digits at most: the third is an ordinary character.
    EXPECT_EQ(Pre("\\x123"), Bytes({0x12, '3'}));
    EXPECT_EQ(Pre("\\x7\\x%"), Bytes({7, 'x', '%'}));
    // "\x" without a hex digit is the letter x.
    EXPECT_EQ(Pre("\\xg"), Bytes({'x', 'g'}));
    EXPECT_EQ(Pre("\\x"), Bytes({'x'}));
    EXPECT_EQ(Pre("A\\x\\x41"), Bytes({'A', 'x', 'A'}));
    // Upper-case X is not the hex escape.
    EXPECT_EQ(Pre("\\X41"), Bytes({'X', '4', '1'}));
}

TEST(PreProcess, OtherCharactersAndRawBytes)
{
    EXPECT_EQ(Pre("\\QR\\001\\001"), Bytes({'Q', 'R', 1, 1}));
    EXPECT_EQ(Pre("\\QE\\000"), Pre("QE\\000"));
    EXPECT_EQ(Pre("\\\\"), Bytes({'\\'}));
    EXPECT_EQ(Pre("a\\\\033"), Bytes({'a', '\\', '0', '3', '3'}));
    EXPECT_EQ(Pre("\\%"), Bytes({'%'}));
    EXPECT_EQ(Pre("\\8\\9"), Bytes({'8', '9'}));
    // Raw control and high bytes pass unchanged.
    EXPECT_EQ(Pre("\x1B(v\x02\\000LH"), Bytes({0x1B, '(', 'v', 2, 0, 'L', 'H'}));
    EXPECT_EQ(Pre("\n\x01\x05\xFF\x80"), Bytes({'\n', 1, 5, 0xFF, 0x80}));
    EXPECT_EQ(Pre(""), "");
}

TEST(PreProcess, NullTemplateIsEmpty)
{
    std::string out = "stale";
    preProcess(out, nullptr);
    EXPECT_EQ(out, "");
    EXPECT_EQ(preProcess(static_cast<const char*>(nullptr)), "");
}

TEST(PreProcess, TrailingBackslashGivesNothing)
{
    EXPECT_EQ(Pre("AB\\"), "AB");
    EXPECT_EQ(Pre("\\"), "");
    EXPECT_EQ(Pre("\\\\\\"), "\\");
}

TEST(PreProcess, ZeroBytesAreKept)
{
    const std::string out = Pre("QY\\005\\000\\000\\000\\000\\000");
    EXPECT_EQ(out.size(), 8u);
    EXPECT_EQ(out, Bytes({'Q', 'Y', 5, 0, 0, 0, 0, 0}));
    // A raw zero byte inside a std::string template is a byte like any other.
    const std::string tmpl("A\0B\\000", 7);
    EXPECT_EQ(preProcess(tmpl), Bytes({'A', 0, 'B', 0}));
}

TEST(PreProcess, MrlRowHeaderTemplate)
{
    const std::string h = Pre("\\QY\\005\\000\\000\\000\\000\\000\\QR\\001\\000\\QD\\007\\000\\001bLH\\001\\000");
    EXPECT_EQ(h, Bytes({'Q', 'Y', 5, 0, 0, 0, 0, 0, 'Q', 'R', 1, 0, 'Q', 'D', 7, 0, 1, 'b', 'L', 'H', 1, 0}));
}

TEST(FormatTemplate, JobStartExamples)
{
    EXPECT_EQ(preProcess(FormatTemplate("\\033@\\033(U\\001\\000\\%03o", {5})),
              Bytes({0x1B, '@', 0x1B, '(', 'U', 1, 0, 5}));
    EXPECT_EQ(FormatTemplate("\\033@\\033(U\\001\\000\\%03o", {5}), "\\033@\\033(U\\001\\000\\005");

    const std::string mp = "MP\\%03o\\%03o\\%03o\\%03o\\%03o\\%03o\\%03o\\%03o\\%03o";
    EXPECT_EQ(preProcess(FormatTemplate(mp, {1, 0, 255, 2, 0x2C, 0x01, 0xFF, 0xFF, 255})),
              Bytes({'M', 'P', 1, 0, 0xFF, 2, 0x2C, 1, 0xFF, 0xFF, 0xFF}));

    EXPECT_EQ(FormatTemplate("QA\\x03\\x%02x\\x%02x\\x%02x", {1, 0x34, 0x12}), "QA\\x03\\x01\\x34\\x12");
    EXPECT_EQ(preProcess(FormatTemplate("QA\\x03\\x%02x\\x%02x\\x%02x", {0, 0xAB, 0})),
              Bytes({'Q', 'A', 3, 0, 0xAB, 0}));

    EXPECT_EQ(FormatTemplate("QH\\x%2.2hhx\\x%2.2hhx", {1, 0xEF}), "QH\\x01\\xef");
    EXPECT_EQ(preProcess(FormatTemplate("PF\\x7\\x%02x\\xFF\\xFF\\x%02x", {0x10, 9})),
              Bytes({'P', 'F', 7, 0x10, 0xFF, 0xFF, 9}));
}

TEST(FormatTemplate, ValuesAreMaskedTo8Bits)
{
    EXPECT_EQ(FormatTemplate("%03o%02x%2.2hhx", {256, 0x1FF, 0x1234}), "000ff34");
    EXPECT_EQ(FormatTemplate("%03o|%02x", {-1, -2}), "377|fe");
    // Every byte value survives formatting and conversion.
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(preProcess(FormatTemplate("\\%03o", {v})), std::string(1, static_cast<char>(v))) << v;
        EXPECT_EQ(preProcess(FormatTemplate("\\x%02x", {v})), std::string(1, static_cast<char>(v))) << v;
        EXPECT_EQ(preProcess(FormatTemplate("\\x%2.2hhx", {v})), std::string(1, static_cast<char>(v))) << v;
    }
}

TEST(FormatTemplate, OtherConversionsAreCopiedNeverInterpreted)
{
    EXPECT_EQ(FormatTemplate("%s%n%d%p%x%o%3o%*d", {1, 2, 3}), "%s%n%d%p%x%o%3o%*d");
    // The values are still consumed only by real placeholders, in order.
    EXPECT_EQ(FormatTemplate("%s\\%03o%n\\%03o", {1, 2}), "%s\\001%n\\002");
    EXPECT_EQ(FormatTemplate("100%% %03o", {8}), "100% 010");
    EXPECT_EQ(FormatTemplate("end%", {}), "end%");
    EXPECT_EQ(FormatTemplate("%0", {7}), "%0");
    EXPECT_EQ(FormatTemplate("%02", {7}), "%02");
    EXPECT_EQ(FormatTemplate("%2.2hh", {7}), "%2.2hh");
}

TEST(FormatTemplate, MissingValuesGiveZeroAndExtraValuesAreIgnored)
{
    EXPECT_EQ(FormatTemplate("\\%03o\\%03o\\%03o", {9}), "\\011\\000\\000");
    EXPECT_EQ(FormatTemplate("\\x%02x", {}), "\\x00");
    EXPECT_EQ(FormatTemplate("AB", {1, 2, 3}), "AB");
    EXPECT_EQ(FormatTemplate("", {1}), "");
}

TEST(FormatTemplate, ValuesByCountAreReadNoFurther)
{
    const int values[] = {1, 2, 0x33};
    EXPECT_EQ(FormatTemplate("%02x%02x%02x", values, 2), "010200");
    EXPECT_EQ(FormatTemplate("%02x", nullptr, 0), "00");
}

TEST(FormatTemplate, RawBytesAndZeroBytesPassThrough)
{
    const std::string tmpl("\x1B\0%03o\xFF", 7);
    EXPECT_EQ(FormatTemplate(tmpl, {3}), std::string("\x1B\0" "003\xFF", 6));
}
