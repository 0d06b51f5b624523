// Parsing of the simulator's script and control lines, and of its options.
#include "Command.h"
#include "Options.h"

#include <gtest/gtest.h>

#include <vector>

namespace rfsim {
namespace {

using Kind = Command::Kind;
using Status = ParsedLine::Status;

TEST(RfsimCommand, BlankLinesAndCommentsAreEmpty)
{
    for (const char *line : {"", "   ", "\t", "# vote 1 a", "  #comment"})
        EXPECT_EQ(parseCommandLine(line).status, Status::Empty) << line;
}

TEST(RfsimCommand, VoteTakesLettersOrCodes)
{
    const struct
    {
        const char *line;
        std::uint32_t remote;
        int answer;
    } cases[] = {
        {"vote 123456 b", 123456, 2},     {"vote 100000 A", 100000, 1}, {"vote 85000 j", 85000, 10},
        {"vote 2097151 15", 2097151, 15}, {"  vote\t0  0 ", 0, 0},
    };
    for (const auto &c : cases) {
        const ParsedLine parsed = parseCommandLine(c.line);
        ASSERT_EQ(parsed.status, Status::Ok) << c.line << ": " << parsed.error;
        EXPECT_EQ(parsed.command.kind, Kind::Vote);
        EXPECT_EQ(parsed.command.remote, c.remote) << c.line;
        EXPECT_EQ(parsed.command.answer, c.answer) << c.line;
    }
}

TEST(RfsimCommand, TextKeepsEverythingAfterOneBlank)
{
    const struct
    {
        const char *line;
        const char *text;
    } cases[] = {
        {"text 100001 It's \"x\" \\ y", "It's \"x\" \\ y"},
        {"text 100001  two leading", " two leading"},
        {"text 100001 trailing  ", "trailing  "},
        {"text 100001 ');alert(1);//", "');alert(1);//"},
        {"text 100001 12345678901234567890", "12345678901234567890"},
        {"text 100001", ""},
        {"text 100001 ", ""},
    };
    for (const auto &c : cases) {
        const ParsedLine parsed = parseCommandLine(c.line);
        ASSERT_EQ(parsed.status, Status::Ok) << c.line << ": " << parsed.error;
        EXPECT_EQ(parsed.command.kind, Kind::Text);
        EXPECT_EQ(parsed.command.remote, 100001u);
        EXPECT_EQ(parsed.command.text, c.text) << c.line;
    }
}

TEST(RfsimCommand, BytesAcceptHexPairsInAnyGrouping)
{
    const ParsedLine parsed = parseCommandLine("bytes be 5E4b 00 ff");
    ASSERT_EQ(parsed.status, Status::Ok) << parsed.error;
    EXPECT_EQ(parsed.command.bytes, (std::vector<std::uint8_t>{0xbe, 0x5e, 0x4b, 0x00, 0xff}));
}

TEST(RfsimCommand, ClassOptions)
{
    const ParsedLine parsed =
        parseCommandLine("class 40 rate=line count=100 endless answers=a:3,c:1 first=90000 seed=9");
    ASSERT_EQ(parsed.status, Status::Ok) << parsed.error;
    const ClassSettings &s = parsed.command.classSettings;
    EXPECT_EQ(s.remotes, 40u);
    EXPECT_EQ(s.rate, 0.0);
    EXPECT_EQ(s.count, 100u);
    EXPECT_TRUE(s.endless);
    EXPECT_EQ(s.firstRemote, 90000u);
    EXPECT_EQ(s.seed, 9u);
    ASSERT_EQ(s.weights.size(), 16u);
    EXPECT_EQ(s.weights[1], 3.0);
    EXPECT_EQ(s.weights[2], 0.0);
    EXPECT_EQ(s.weights[3], 1.0);
}

TEST(RfsimCommand, NoiseNamesOnlyWhatIsOn)
{
    const ParsedLine parsed = parseCommandLine("noise flip=0.25 seed=4");
    ASSERT_EQ(parsed.status, Status::Ok) << parsed.error;
    EXPECT_EQ(parsed.command.noise.flip, 0.25);
    EXPECT_EQ(parsed.command.noise.stray, 0.0);
    EXPECT_EQ(parsed.command.noise.drop, 0.0);
    EXPECT_EQ(parsed.command.noise.seed, 4u);
    EXPECT_FALSE(parseCommandLine("noise").command.noise.any());
}

TEST(RfsimCommand, BareCommandsAndPace)
{
    EXPECT_EQ(parseCommandLine("unplug").command.kind, Kind::Unplug);
    EXPECT_EQ(parseCommandLine("mode?").command.kind, Kind::QueryMode);
    EXPECT_EQ(parseCommandLine("sleep 250").command.milliseconds, 250u);
    EXPECT_EQ(parseCommandLine("pace line").command.baud, 19200);
    EXPECT_EQ(parseCommandLine("pace off").command.baud, 0);
    EXPECT_EQ(parseCommandLine("pace 9600").command.baud, 9600);
}

TEST(RfsimCommand, BadLinesAreRejectedWithAMessage)
{
    for (const char *line : {
             "vote",                              // missing arguments
             "vote 123456",                       //
             "vote 123456 k",                     // no such key
             "vote 123456 16",                    // code beyond 4 bits
             "vote 2097152 a",                    // remote beyond 21 bits
             "vote -5 a",                         //
             "vote 12x a",                        //
             "vote 123456 a extra",               //
             "text",                              //
             "text abc hello",                    //
             "text 100001 123456789012345678901", // 21 characters
             "text 100001 tab\there",             // control character
             "text 100001 caf\xc3\xa9",           // not 7-bit
             "bytes",                             //
             "bytes abc",                         // odd number of digits
             "bytes zz",                          //
             "sleep",                             //
             "sleep -1",                          //
             "sleep 86400001",                    // more than a day
             "class",                             //
             "class 0",                           // nobody to vote
             "class 10 rate=fast",                //
             "class 10 rate=-1",                  //
             "class 10 answers=a:0",              // all weights zero
             "class 10 answers=k:1",              //
             "class 10 first=2097150",            // ids past 21 bits
             "class 10 colour=red",               //
             "noise flip=1.5",                    //
             "noise hum=0.1",                     //
             "pace fast",                         //
             "pace 0",                            //
             "quit now",                          //
             "explode",                           //
         }) {
        const ParsedLine parsed = parseCommandLine(line);
        EXPECT_EQ(parsed.status, Status::Error) << line;
        EXPECT_FALSE(parsed.error.empty()) << line;
    }
}

bool parse(std::vector<const char *> args, Options &options, std::string &error)
{
    args.insert(args.begin(), "rfsim");
    return parseOptions(int(args.size()), args.data(), options, error);
}

TEST(RfsimOptions, ClassAndNoiseOptionsBothForms)
{
    Options options;
    std::string error;
    ASSERT_TRUE(parse({"--link", "/tmp/r", "--class=25", "--rate", "line", "--seed", "7", "--noise",
                       "stray=0.1", "--unthrottled", "--endless"},
                      options, error))
        << error;
    EXPECT_EQ(options.link, "/tmp/r");
    ASSERT_TRUE(options.classSettings);
    EXPECT_EQ(options.classSettings->remotes, 25u);
    EXPECT_EQ(options.classSettings->rate, 0.0);
    EXPECT_EQ(options.classSettings->seed, 7u);
    EXPECT_TRUE(options.classSettings->endless);
    EXPECT_EQ(options.noise.stray, 0.1);
    EXPECT_EQ(options.noise.seed, 7u);
    EXPECT_TRUE(options.unthrottled);
}

TEST(RfsimOptions, RejectsUnknownMissingAndConflicting)
{
    for (const std::vector<const char *> &args : std::vector<std::vector<const char *>>{
             {"--bogus"},
             {"--link"},
             {"--class", "ten"},
             {"--class", "0"},
             {"--rate", "fast"},
             {"--noise", "flip=2"},
             {"--link", "/tmp/a", "--device", "/dev/ttyS0"},
             {"--device", "/dev/ttyGS0", "--gadget", "/sys/kernel/config/usb_gadget/r"},
             {"--gadget", "/sys/kernel/config/usb_gadget/r", "--udc", "dummy_udc.0"},
             {"--unthrottled=yes"},
         }) {
        Options options;
        std::string error;
        EXPECT_FALSE(parse(args, options, error)) << args.front();
        EXPECT_FALSE(error.empty());
    }
}

} // namespace
} // namespace rfsim
