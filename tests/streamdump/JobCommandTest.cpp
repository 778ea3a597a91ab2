// Job start, end and layer commands: every command a start, end or layer
// string holds, decoded with its parameter bytes named; wrong lengths,
// unknown blocks and bad values reported with their offsets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Bytes.h"
#include "tools/streamdump/StreamParser.h"

using namespace streamparse;

namespace {

constexpr int ESC = 0x1B;
constexpr auto B = &testsupport::Bytes;

struct Decoded {
    ParseResult result;
    std::vector<Command> commands;  // job commands, in order
};

Decoded Decode(const std::string& s, int uid = -1)
{
    ParseOptions options;
    options.keepJobCommands = true;
    options.uid = uid;
    Decoded d{ParseStream(s, options), {}};
    d.commands = d.result.jobCommands;
    return d;
}

std::string Errors(const ParseResult& r)
{
    std::string s;
    for (const ParseError& e : r.errors)
        s += "  at " + std::to_string(e.offset) + ": " + e.message + (e.fatal ? " (fatal)" : "") + "\n";
    return s;
}

// "name meaning: params" per job command, for whole-sequence comparisons.
std::vector<std::string> Lines(const Decoded& d)
{
    std::vector<std::string> lines;
    for (const Command& c : d.commands)
        lines.push_back(c.name + " " + c.meaning + (c.params.empty() ? "" : ": " + ParamsText(c.params)));
    return lines;
}

} // namespace

// Reset, unit and the first family's print mode: banding 4, one direction,
// overprint left to the printer, cut, 300 tenths of scan dry time, the job
// end dry time left to the printer.
TEST(JobCommands, FirstFamilyStart)
{
    const std::string s = B({ESC, '@', ESC, '(', 'U', 1, 0, 5}) +
                          B({'M', 'P', 4, 1, 0xFF, 1, 0x2C, 0x01, 0xFF, 0xFF, 0xFF}) + B({0x0C, 0xFF});
    const Decoded d = Decode(s);
    EXPECT_TRUE(d.result.ok()) << Errors(d.result);
    EXPECT_EQ(Lines(d), (std::vector<std::string>{
                            "ESC @ reset",
                            "ESC (U unit: unit=5",
                            "MP print mode: banding=4 unidirectional=1 overprint=printer cut=1 dryTimeScan=300 "
                            "dryTimeEnd=printer byte9=printer",
                            "FF page end",
                            "0xFF job end",
                        }));
    EXPECT_EQ(d.commands[2].offset, 8u);
    EXPECT_EQ(d.commands[2].length, 11u);
}

// Every "M" family command; the print mode at 720 x 720 dpi, quality 1,
// high speed, is 8 passes with bit 0x80, dot code 2.
TEST(JobCommands, MFamilyCommands)
{
    const std::string s = B({ESC, '@', 'M', 'D', 0xD0, 0x02, 0x68, 0x01}) +
                          B({'M', 'P', 0x88, 0, 0xFF, 2, 0xFF, 0xFF, 0x0A, 0x00, 0xFF}) + B({'M', 'C', 2}) +
                          B({'M', 'E', 0, 1, 0, 'M', 'B', 0, 'M', 'Y', 3, 'M', 'A', 0xFF, 0xFF, 1, 0xFB}) +
                          B({'M', 'F', 1, 'M', 'K', 0, 40, 0, 0, 0, 'M', 'n', 1, 'W', 'C', 1, 'M', 'X', 1}) +
                          B({'S', 'O', 1, 0, 0x2C, 0x01, 0xFF, 2, 'S', 'A', 1, 0x20, 0, 3}) +
                          B({'S', 'D', 0xFF, 0xFF, 0xFF, 'S', 'U', 1, 2, 'M', 'A', 0xFF, 0xFF, 0, 7});
    const Decoded d = Decode(s);
    EXPECT_TRUE(d.result.ok()) << Errors(d.result);
    EXPECT_EQ(Lines(d), (std::vector<std::string>{
                            "ESC @ reset",
                            "MD resolution: vertDpi=720 horzDpi=360",
                            "MP print mode: passes=8 highSpeed=1 direction=0 overprint=printer cut=2 "
                            "dryTimeScan=printer dryTimeEnd=10 byte9=printer",
                            "MC dot code: dotCode=0x02",
                            "ME density mode: byte1=0 doubleDensity=1 byte3=0",
                            "MB MB: value=0",
                            "MY ink set: inkSet=3",
                            "MA feed correction: byte1=printer byte2=printer feedCorrection=-5",
                            "MF refresh: refresh=1",
                            "MK heaters: byte1=0 heater1=40 heater2=0 byte4=0 byte5=0",
                            "Mn layer mode: layerMode=1",
                            "WC layer: layer=1",
                            "MX fixed dot size: fixedDotSize=1",
                            "SO white options: white=1 whiteMode=0 dryTime=300 splitHeadMode=printer printMode=2",
                            "SA weaving: enabled=1 sawToothHeight=32 passIndex=3",
                            "SD dot sizes: big=printer medium=printer small=printer",
                            "SU UV light: illumination=1 irradiation=2",
                            "MA feed correction: byte1=printer byte2=printer feedCorrection=7",
                        }));
    // The trace shows the same names.
    std::string traced;
    ParseOptions options;
    options.onCommand = [&](const Command& c) {
        if (c.name == "MP")
            traced = c.fields;
    };
    ParseStream(s, options);
    EXPECT_EQ(traced, "print mode: passes=8 highSpeed=1 direction=0 overprint=printer cut=2 dryTimeScan=printer "
                      "dryTimeEnd=10 byte9=printer");
}

// The MRL III start of a string-object roll model: job options with a left
// margin of -5 mm, feed correction -10, four ink slots, print mode, heaters,
// the job size the host filled in, heads, feed speed, head cleaning off,
// high quality, power off, media loosening, UV, layer settings.
TEST(JobCommands, StringObjectStartAndEnds)
{
    const std::string start =
        B({'Q', '@', 0}) + B({'Q', 'C', 12, 0, 1, 5, 0x2C, 0x01, 0xFF, 2, 1, 5, 0xFF, 0, 3}) +
        B({'Q', 'A', 3, 1, 10, 0}) + B({'Q', 'B', 4, 1, 2, 3, 4}) +
        B({'Q', 'P', 18, 1, 0xD0, 0x02, 0x68, 0x01, 8, 0, 1, 0xFF, 0xFF, 3, 0, 0xFF, 1, 2, 7, 0, 0}) +
        B({'Q', 'K', 9, 0xFF, 0, 45, 0xFF, 0xFF, 0, 30, 0xFF, 0xFF}) + B({'Q', 'K', 5, 1, 40, 0xFF, 0, 50}) +
        B({'Q', 'S', 8, 0x10, 0x27, 0, 0, 0x40, 0x0B, 0, 0}) + B({'Q', 'H', 1, 3}) +
        B({'P', 'P', 4, 0xFF, 0xFF, 100, 0xFF}) + B({'P', 'P', 3, 2, 0xFF, 1}) + B({'P', 'S', 1, 0}) +
        B({'P', 'B', 1, 0xFF}) + B({'P', 'O', 3, 1, 0x2C, 0x01}) +
        B({'P', 'F', 7, 1, 0xFF, 0xFF, 0x10, 0x27, 0, 0}) + B({'Q', 'V', 2, 1, 80}) + B({'P', 'L', 1, 2}) +
        B({'P', 'L', 4, 1, 0x2C, 0x01, 1});
    const std::string ends = B({'Q', 'E', 0, 'P', 'H', 2, 0xFF, 0xFF, 'G', 'T', 1, 0, 'P', 'S', 1, 1});
    const Decoded d = Decode(start + ends);
    EXPECT_TRUE(d.result.ok()) << Errors(d.result);
    EXPECT_EQ(Lines(d), (std::vector<std::string>{
                            "Q@ job or layer start",
                            "QC job options: byte1=0 cut=1 dryTimeScan=5 dryTimeEnd=300 byte6=printer vacuum=2 "
                            "leftMargin=-5 rightMargin=printer topBlower=3",
                            "QA media feed correction: feedCorrection=-10",
                            "QB ink slots: colourId1=1 colourId2=2 colourId3=3 colourId4=4",
                            "QP print mode: dotCode=0x01 vertDpi=720 horzDpi=360 passes=8 highSpeedMode=0 "
                            "bidirectional=1 inkLayers=printer byte10=printer waveShape=3 byte12=0 byte13=printer "
                            "bandAdjust=-2 printModeSet=7 byte17=0 byte18=0",
                            "QK heaters: preHeater=printer platenHeater=0 afterHeater=45 byte4=printer byte5=printer "
                            "offTimeMode=0 offTime=30 byte8=printer byte9=printer",
                            "QK more heaters: form=1 post2Heater=40 post3Heater=printer post4Heater=0 dryHeater=50",
                            "QS job size: copyHeight=10000 width=2880",
                            "QH head selection: heads=3",
                            "PP feed speed: byte1=printer byte2=printer feedSpeed=100 byte4=printer",
                            "PP machine settings: fanLevel=2 standbyTime=printer colourPattern=1",
                            "PS head cleaning: headCleaning=0",
                            "PB high quality: hq=printer",
                            "PO power off: powerOff=1 minutes=300",
                            "PF media loosening: loosening=1 byte2=printer byte3=printer value=10000",
                            "QV UV light: uvMode=1 uvValue=80",
                            "PL layer settings: printingWay=2",
                            "PL layer settings: value1=1 value2=44 value3=1 value4=1",
                            "QE job or layer end",
                            "PH back to origin: byte1=printer byte2=printer",
                            "GT medium out: value=0",
                            "PS head cleaning: headCleaning=1",
                        }));
}

// White and layer settings ("PL") and machine settings ("PP") are the
// model's own: named as the model sends them when its UID is known, else
// by position; a model that sends none of them leaves them by position too.
TEST(JobCommands, ModelLayoutsByUid)
{
    const std::string pl4 = B({'P', 'L', 4, 1, 0x2C, 0x01, 1});
    const std::string pl3 = B({'P', 'L', 3, 1, 2, 0});
    const std::string pp4 = B({'P', 'P', 4, 10, 20, 30, 2});
    auto line = [](const std::string& s, int uid) {
        const Decoded d = Decode(s, uid);
        EXPECT_TRUE(d.result.ok()) << Errors(d.result);
        return d.commands.size() == 1 ? d.commands[0].meaning + ": " + ParamsText(d.commands[0].params) : "?";
    };
    EXPECT_EQ(line(pl4, 34), "layer settings: whiteMode=1 layerOffset=300 highDensity=1");
    EXPECT_EQ(line(pl4, 37), "layer settings: whiteMode=1 layerOffset=300 useWhite=1");
    EXPECT_EQ(line(pl4, 13), "layer settings: white=1 whiteFirst=44 whiteMode=1 whiteLayerMode=1");
    EXPECT_EQ(line(pl4, 29), "layer settings: white=1 whiteOrder=44 splitHeadMode=1 inkType=1");
    EXPECT_EQ(line(pl4, 256 + 34), "layer settings: whiteMode=1 layerOffset=300 highDensity=1");
    EXPECT_EQ(line(pl4, 2), "layer settings: value1=1 value2=44 value3=1 value4=1");
    EXPECT_EQ(line(pl3, 27), "layer settings: whiteMode=1 whiteLevel=2 useWhite=0");
    EXPECT_EQ(line(pl3, 22), "layer settings: whiteMode=1 whiteLevel=2 bandsReduction=0");
    EXPECT_EQ(line(pl3, 24), "layer settings: white=1 whiteOrder=2 splitHeadMode=0");
    EXPECT_EQ(line(pl3, -1), "layer settings: value1=1 value2=2 value3=0");
    EXPECT_EQ(line(pp4, 18), "machine settings: preFeed=10 preFeedSpeed=20 dryTime=30 refresh=2");
    EXPECT_EQ(line(pp4, -1), "feed speed: byte1=10 byte2=20 feedSpeed=30 byte4=2");
}

// The DTF printer's job start: one "Q@" block of 16- and 32-bit fields,
// two's complement where negative (no top blower -1, left margin -7 mm,
// off time -2).
TEST(JobCommands, DtfJobStartFields)
{
    std::string fields = B({0, 0, 1, 0, 0, 0});  // media feed mode 0, value 1
    for (int v : {1, 100, 1, 0, 0, 5, 10, 2, 0xFFFF, 1})
        fields += B({v & 0xFF, v >> 8});
    fields += B({0xF9, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0});  // left -7, right margin unset and 0
    for (int v : {2, 45, 0, 50, 1, 50, 0xFFFE, 0, 0, 1, 0, 0xFFFF, 0xFFFF, 0, 3, 0xFFFF})
        fields += B({v & 0xFF, v >> 8});
    ASSERT_EQ(fields.size(), 68u);
    const Decoded d = Decode(B({'Q', '@', 68}) + fields + B({'Q', 'E', 0}));
    EXPECT_TRUE(d.result.ok()) << Errors(d.result);
    ASSERT_EQ(d.commands.size(), 2u);
    EXPECT_EQ(d.commands[0].meaning, "job start");
    EXPECT_EQ(ParamsText(d.commands[0].params),
              "mediaFeedMode=0 mediaFeedValue=1 feedSpeedMode=1 feedSpeedValue=100 autoCut=1 dryTimeScanMode=0 "
              "dryTimeJobMode=0 dryTimeScan=5 dryTimeJob=10 fanStrength=2 topBlower=-1 setLeftMargin=1 "
              "leftMargin=-7 setRightMargin=0 rightMargin=0 preHeaterMode=2 preHeater=45 printHeaterMode=0 "
              "printHeater=50 afterHeaterMode=1 afterHeater=50 offTime=-2 bandDivision=0 overprint=0 dotSize=1 "
              "printLayers=0 layerMode=-1 printOrder=-1 scanSpeed=0 waveForm=3 printDirection=-1");
}

// The UJV100 ends with its long back-to-origin block and one zero byte more
// than the block announces: one command, no error.
TEST(JobCommands, LongBackToOriginWithItsExtraZeroByte)
{
    const std::string ph = B({'P', 'H', 0x16}) + std::string(23, '\0');
    std::vector<Command> trace;
    ParseOptions options;
    options.expectJobEnd = true;
    options.onCommand = [&](const Command& c) { trace.push_back(c); };
    const ParseResult r = ParseStream(B({'Q', '@', 0, 'Q', 'E', 0}) + ph, options);
    EXPECT_TRUE(r.ok()) << Errors(r);
    ASSERT_EQ(trace.size(), 3u);
    EXPECT_EQ(trace[2].name, "PH");
    EXPECT_EQ(trace[2].offset, 6u);
    EXPECT_EQ(trace[2].length, 3u + 23u);
    EXPECT_EQ(trace[2].params.size(), 22u);
    EXPECT_NE(trace[2].fields.find("(and one zero byte past its length)"), std::string::npos) << trace[2].fields;
    EXPECT_EQ(r.bytesParsed, 6u + 26u);

    // The block as announced, the next command right after it.
    const Decoded exact = Decode(B({'Q', 'E', 0}) + ph.substr(0, 25) + B({'G', 'T', 1, 0}));
    EXPECT_TRUE(exact.result.ok()) << Errors(exact.result);
    ASSERT_EQ(exact.commands.size(), 3u);
    EXPECT_EQ(exact.commands[1].length, 25u);
    EXPECT_EQ(exact.commands[2].name, "GT");
}

// A layer section of the layered models; "PB", "PL" and "QV" name their
// bytes as a layer's after the short print mode and as a job start's after
// the long one.
TEST(JobCommands, LayerSectionCommands)
{
    const std::string layer =
        B({'G', 'R', 0, 'Q', 'M', 4, 0x2C, 0x01, 3, 1, 'Q', '@', 0}) +
        B({'Q', 'P', 9, 1, 0xD0, 0x02, 0xD0, 0x02, 8, 1, 2, 3}) + B({'Q', 'A', 3, 0, 0x34, 0x12}) +
        B({'Q', 'C', 2, 1, 1}) + B({'Q', 'T', 5, 0, 1, 0xFF, 90, 80}) + B({'Q', 'H', 1, 0xFF}) +
        B({'P', 'B', 1, 1}) + B({'P', 'O', 3, 0, 0, 0}) + B({'P', 'I', 1, 2}) + B({'P', 'L', 1, 0xFF}) +
        B({'P', 'X', 1, 1}) + B({'Q', 'V', 3, 90, 80, 70}) + B({'Q', 'L', 2, 5, 6}) + B({'P', 'D', 2, 0xFF, 1}) +
        B({'Q', 'X', 5, 1, 0, 0, 0, 0, 'Q', 'E', 0});
    const Decoded d = Decode(layer);
    EXPECT_TRUE(d.result.ok()) << Errors(d.result);
    EXPECT_EQ(Lines(d), (std::vector<std::string>{
                            "GR GR",
                            "QM layer count: commandVersion=300 layers=3 position=1",
                            "Q@ job or layer start",
                            "QP layer print mode: dotSize=1 vertDpi=720 horzDpi=720 passes=8 direction=1 layers=2 "
                            "waveShape=3",
                            "QA media feed correction: feedCorrection=4660",
                            "QC layer options: refresh=1 underprint=1",
                            "QT UV lamps: policyLeft=0 policyRight=1 policySpot=printer power1=90 power2=80",
                            "QH head selection: heads=printer",
                            "PB band mode: bandMode=1",
                            "PO power off: powerOff=0 minutes=0",
                            "PI layer position: positionKind=2",
                            "PL model type: modelType=printer",
                            "PX head selection: heads=1",
                            "QV UV lamp powers: power1=90 power2=80 power3=70",
                            "QL layer parameters: parm1=5 parm2=6",
                            "PD pass and dot size: passItem=printer dotSize=1",
                            "QE job or layer end",
                        }));

    // Before a section's start, the UJF flatbeds name the layer that follows.
    const Decoded ujf = Decode(B({'P', 'I', 1, 2, 'Q', '@', 0, 'Q', 'P', 9, 1, 0xD0, 2, 0xD0, 2, 8, 1, 2, 3}) +
                               B({'P', 'I', 1, 0, 'Q', 'E', 0, 'P', 'I', 1, 3}));
    EXPECT_EQ(Lines(ujf)[0], "PI layer: layer=2");
    EXPECT_EQ(Lines(ujf)[3], "PI layer position: positionKind=0");
    EXPECT_EQ(Lines(ujf)[5], "PI layer: layer=3");

    // The same bytes after a long print mode: a job start's.
    const std::string qp18 = B({'Q', 'P', 18}) + std::string(18, '\0');
    const Decoded roll = Decode(qp18 + B({'P', 'B', 1, 1, 'P', 'L', 1, 2, 'Q', 'V', 2, 1, 2}) +
                                B({'Q', 'P', 9, 1, 0xD0, 0x02, 0xD0, 0x02, 8, 1, 2, 3, 'Q', 'V', 2, 1, 2}));
    EXPECT_TRUE(roll.result.ok()) << Errors(roll.result);
    ASSERT_EQ(roll.commands.size(), 6u);
    EXPECT_EQ(roll.commands[1].meaning, "high quality");
    EXPECT_EQ(roll.commands[2].meaning, "layer settings");
    EXPECT_EQ(roll.commands[3].meaning, "UV light");
    EXPECT_EQ(roll.commands[5].meaning, "UV lamp powers");
}

// What does not fit is reported at its offset; framed blocks are skipped
// by their length and parsing goes on.
TEST(JobCommands, WrongLengthsUnknownBlocksAndBadValues)
{
    auto one = [](const std::string& s, std::size_t offset, const std::string& text, bool fatal) {
        const ParseResult r = ParseStream(s);
        ASSERT_EQ(r.errors.size(), 1u) << Errors(r);
        EXPECT_EQ(r.errors[0].offset, offset);
        EXPECT_NE(r.errors[0].message.find(text), std::string::npos) << r.errors[0].message;
        EXPECT_EQ(r.errors[0].fatal, fatal) << r.errors[0].message;
        if (!fatal) {
            EXPECT_EQ(r.bytesParsed, s.size());
        }
    };
    const std::string qe = B({'Q', 'E', 0});
    one(B({'Q', '@', 0, 'Q', 'C', 5, 1, 2, 3, 4, 5}) + qe, 3, "QC with 5 parameter bytes (2 or 12 expected)", false);
    one(B({'Q', '@', 0, 'Q', 'K', 3, 1, 2, 3}) + qe, 3, "QK with 3 parameter bytes (9 or 5 expected)", false);
    one(B({'Q', '@', 0, 'Q', 'Z', 2, 1, 2}) + qe, 3, "unknown MRL III block QZ with 2 parameter bytes", false);
    one(B({'Q', '@', 1, 7}) + qe, 0, "Q@ with 1 parameter bytes (0 or 68 expected)", false);
    one(B({'Q', 'C', 12, 0, 1, 5, 0, 0, 0xFF, 2, 7, 5, 0xFF, 0, 3}) + qe, 0, "QC leftMargin: sign byte 7", false);
    one(B({'M', 'A', 0xFF, 0xFF, 2, 5, 0x0C}), 0, "MA feedCorrection: sign byte 2", false);
    one(B({ESC, '(', 'U', 1, 0, 0, 0x0C}), 0, "ESC (U with unit 0", false);
    one(B({ESC, '(', 'U', 2, 0, 5, 5, 0x0C}), 0, "ESC (U with 2 parameter bytes", false);
    one(B({ESC, '(', 'q', 1, 0, 5, 0x0C}), 0, "unknown command ESC (q with 1 parameter bytes", false);
    // Cut short: parsing stops.
    one(B({'Q', '@', 0, 'Q', 'C', 12, 0, 1}), 3, "truncated QC block: needs 15 bytes, 5 left", true);
    one(B({0x0C, 'S', 'O', 1, 0}), 1, "truncated SO", true);
    one(B({0x0C, 'P', 'H', 0x16, 0}), 1, "truncated PH block", true);
}
