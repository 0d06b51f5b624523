// The command table and the exact output reports of every command, as the
// simulated base recorded them.

#include "DeviceTestSupport.h"

#include <boost/thread/thread.hpp>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes text(const std::string &value)
{
    return Bytes(value.begin(), value.end());
}

class ReportBytesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        basesim::reset();
        ASSERT_TRUE(graph.hid.open());
    }

    RecordingSleeper sleeper;
    DeviceGraph graph{&sleeper};
};

TEST_F(ReportBytesTest, TableHoldsTwentyFourEntriesUnderKindTimes255PlusCommand)
{
    const std::vector<std::pair<int, int>> registered = {
        {1, 16}, {1, 17}, {1, 18}, {1, 21}, {1, 22}, {2, 23}, {1, 25}, {1, 30},
        {1, 31}, {1, 32}, {1, 33}, {1, 34}, {1, 35}, {1, 36}, {1, 37}, {1, 19},
        {1, 20}, {1, 24}, {1, 41}, {1, 42}, {1, 45}, {1, 46}, {1, 48}, {1, 255}};
    EXPECT_EQ(graph.specifications.size(), 24u);
    for (const auto &[kind, command] : registered) {
        IUSBSpecifications *entry = graph.specifications.getSpecification(kind, command);
        ASSERT_NE(entry, nullptr) << kind << "/" << command;
        EXPECT_EQ(entry->kind, kind);
        EXPECT_EQ(entry->command, command);
        EXPECT_EQ(entry->hid, &graph.hid);
    }
    EXPECT_EQ(graph.specifications.getSpecification(1, 16)->description,
              "Set frequencies for communication with remote units");
    EXPECT_EQ(graph.specifications.getSpecification(1, 18)->description, "Stop vote");
    EXPECT_EQ(graph.specifications.getSpecification(1, 24)->description, "");
    EXPECT_EQ(graph.specifications.getSpecification(1, 26), nullptr);
    // Kind 1 command 255 shares key 510 with kind 2 command 0.
    EXPECT_EQ(graph.specifications.getSpecification(2, 0),
              graph.specifications.getSpecification(1, 255));
    EXPECT_EQ(graph.specifications.size(), 24u) << "a lookup must not create entries";
}

TEST_F(ReportBytesTest, PayloadUpTo61BytesFillsTheReportAndLongerIsRefused)
{
    IUSBSpecifications *entry = graph.specifications.getSpecification(1, 30);
    Bytes payload(62);
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<unsigned char>(0xA0 + i);

    EXPECT_FALSE(entry->sendReport(payload.data(), 62));
    EXPECT_TRUE(writtenBytes().empty());

    ASSERT_TRUE(entry->sendReport(payload.data(), 61));
    Bytes expected = {0x00, 0x01, 30};
    expected.insert(expected.end(), payload.begin(), payload.begin() + 61);
    EXPECT_EQ(writtenBytes(), std::vector<Bytes>{expected});
}

TEST_F(ReportBytesTest, EachCommandWritesItsReports)
{
    struct Case
    {
        const char *name;
        std::function<bool(ProtocolVexor &)> send;
        std::vector<Bytes> reports;
    };
    const std::string twenty = "ABCDEFGHIJKLMNOPQRST";
    const std::vector<Case> cases = {
        {"frequencies A A",
         [](ProtocolVexor &p) { return p.setFrequencies('A', 'A', false); },
         {outputReport(0x10, {0x21, 0x41, 0x00})}},
        {"frequencies B D",
         [](ProtocolVexor &p) { return p.setFrequencies('B', 'D', false); },
         {outputReport(0x10, {0x22, 0x44, 0x06})}},
        {"frequencies wrap modulo 256",
         [](ProtocolVexor &p) { return p.setFrequencies('\x10', '\xF0', false); },
         {outputReport(0x10, {0xF0, 0xF0, 0xE0})}},
        {"start vote",
         [](ProtocolVexor &p) { return p.startVote(0x07); },
         {outputReport(0x19, {0x07}), outputReport(0x11)}},
        {"stop vote", [](ProtocolVexor &p) { return p.stopVote(); }, {outputReport(0x12)}},
        {"line 1 padded",
         [](ProtocolVexor &p) { return p.setDisplayLine("Welcome", 1); },
         {outputReport(0x13, text("Welcome         "))}},
        {"empty line 2",
         [](ProtocolVexor &p) { return p.setDisplayLine("", 2); },
         {outputReport(0x14, text("                "))}},
        {"line 3 cut to 16",
         [&](ProtocolVexor &p) { return p.setDisplayLine(twenty, 3); },
         {outputReport(0x14, text("ABCDEFGHIJKLMNOP"))}},
        {"line 0 uses the second line",
         [](ProtocolVexor &p) { return p.setDisplayLine("x", 0); },
         {outputReport(0x14, text("x               "))}},
        {"bytes sent untranslated",
         [](ProtocolVexor &p) { return p.setDisplayLine(std::string("\xC3\xA9\0z", 4), 1); },
         {outputReport(0x13, {0xC3, 0xA9, 0x00, 'z', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                              ' ', ' ', ' '})}},
        {"command 24", [](ProtocolVexor &p) { return p.sendCommand24(); }, {outputReport(0x18)}},
    };
    for (const Case &c : cases) {
        basesim::clearWrittenReports();
        EXPECT_TRUE(c.send(graph.protocol)) << c.name;
        EXPECT_EQ(writtenBytes(), c.reports) << c.name;
    }
}

TEST_F(ReportBytesTest, StartVoteSkipsCommand17WhenCommand25Fails)
{
    basesim::failWrite(1);
    EXPECT_FALSE(graph.protocol.startVote(3));
    EXPECT_TRUE(writtenBytes().empty());
}

TEST_F(ReportBytesTest, OpeningSequenceWritesItsFiveReportsInOrder)
{
    graph.hid.close();
    ASSERT_TRUE(graph.protocol.openBase());
    const std::vector<Bytes> expected = {
        outputReport(0x10, {0x21, 0x41, 0x00}),
        outputReport(0x12),
        outputReport(0x13, text("Welcome         ")),
        outputReport(0x14, text("VexorLite       ")),
        outputReport(0x2D),
    };
    EXPECT_EQ(writtenBytes(), expected);
    EXPECT_TRUE(graph.hid.isOpen());
    EXPECT_EQ(graph.hid.numInputBuffers(), 512u);
}

// Two openings at once (say, a connection loop that a client runs itself
// beside the library's) take turns: each writes its whole sequence before the
// other starts.
TEST(ReportBytesOfTwoOpenings, TwoOpeningsAtOnceTakeTurns)
{
    basesim::reset();
    RecordingSleeper sleeper(1);
    DeviceGraph graph(&sleeper);
    boost::thread other([&] { EXPECT_TRUE(graph.protocol.openBase()); });
    EXPECT_TRUE(graph.protocol.openBase());
    other.join();

    std::vector<int> commands;
    for (const Bytes &report : writtenBytes())
        commands.push_back(report[2]);
    EXPECT_EQ(commands, (std::vector<int>{16, 18, 19, 20, 45, 16, 18, 19, 20, 45}));
}

TEST_F(ReportBytesTest, BaseAnswersVoteStartAndStop)
{
    ASSERT_TRUE(graph.protocol.startVote(1));
    ASSERT_TRUE(graph.protocol.stopVote());
    unsigned char buffer[64] = {};
    ASSERT_TRUE(graph.protocol.readReport(buffer, 64, 1000));
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0x01, 0x11, 0x00}));
    ASSERT_TRUE(graph.protocol.readReport(buffer, 64, 1000));
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0x01, 0x12, 0x00}));
}

TEST_F(ReportBytesTest, CommandsFailOnceTheBaseIsGone)
{
    basesim::unplug();
    EXPECT_FALSE(graph.protocol.setFrequencies('A', 'A', false));
    EXPECT_FALSE(graph.protocol.stopVote());
    EXPECT_FALSE(graph.protocol.setDisplayLine("x", 1));
    EXPECT_FALSE(graph.protocol.sendCommand24());
    EXPECT_TRUE(writtenBytes().empty());
}

} // namespace
